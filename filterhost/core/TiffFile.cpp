// TIFF documents through libtiff: RGB, CMYK and CIELab at 8 or 16 bits, any layout and
// compression libtiff reads; written losslessly.
#include "core/HostFailure.h"
#include "core/ImageFiles.h"
#include "core/ImageFormats.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace quillon::filterhost {
namespace {

thread_local char gTiffMessage[256];

void OnTiffError(const char*, const char* format, va_list args) {
    std::vsnprintf(gTiffMessage, sizeof gTiffMessage, format, args);
}

// libtiff reports through process-wide handlers; keep them off the terminal.
void SilenceTiff() {
    static const bool silenced = [] {
        TIFFSetErrorHandler(OnTiffError);
        TIFFSetWarningHandler(nullptr);
        return true;
    }();
    (void)silenced;
}

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using Tiff = std::unique_ptr<TIFF, TiffCloser>;

HostFailure Broken(const std::filesystem::path& path, const std::string& what) {
    std::string detail = gTiffMessage[0] ? std::string(": ") + gTiffMessage : "";
    gTiffMessage[0] = 0;
    return HostFailure(path.string() + ": " + what + detail);
}

template <typename T> T Field(TIFF* tiff, ttag_t tag, T fallback) {
    T value = fallback;
    TIFFGetFieldDefaulted(tiff, tag, &value);
    return value;
}

// Reads every sample of the image into one interleaved buffer, from strips or tiles, contiguous
// or separate planes.
std::vector<uint8_t> ReadAllSamples(TIFF* tiff, const std::filesystem::path& path, uint32_t width,
                                    uint32_t height, uint16_t samples, uint16_t bits) {
    const size_t bytes = bits / 8;
    const size_t pixelBytes = samples * bytes;
    std::vector<uint8_t> image(size_t(width) * height * pixelBytes);
    const bool separate = Field<uint16_t>(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) ==
                          PLANARCONFIG_SEPARATE;
    const uint16_t planes = separate ? samples : 1;
    const size_t unitBytes = separate ? bytes : pixelBytes; // bytes per pixel in one plane

    // Copies a decoded block of one plane (w x h pixels at x0, y0) into the image.
    auto place = [&](const uint8_t* block, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h,
                     size_t blockRowBytes, uint16_t plane) {
        for (uint32_t y = 0; y < h && y0 + y < height; ++y)
            for (uint32_t x = 0; x < w && x0 + x < width; ++x) {
                const uint8_t* from = block + y * blockRowBytes + x * unitBytes;
                uint8_t* to = image.data() + (size_t(y0 + y) * width + x0 + x) * pixelBytes +
                              plane * bytes;
                std::memcpy(to, from, unitBytes);
            }
    };

    if (TIFFIsTiled(tiff)) {
        const uint32_t tw = Field<uint32_t>(tiff, TIFFTAG_TILEWIDTH, 0);
        const uint32_t th = Field<uint32_t>(tiff, TIFFTAG_TILELENGTH, 0);
        const tmsize_t tileSize = TIFFTileSize(tiff);
        if (tw == 0 || th == 0 || tileSize <= 0 || size_t(tileSize) < size_t(tw) * th * unitBytes)
            throw Broken(path, "broken tile layout");
        std::vector<uint8_t> tile(static_cast<size_t>(tileSize));
        for (uint16_t plane = 0; plane < planes; ++plane)
            for (uint32_t y = 0; y < height; y += th)
                for (uint32_t x = 0; x < width; x += tw) {
                    if (TIFFReadTile(tiff, tile.data(), x, y, 0, plane) < 0)
                        throw Broken(path, "unreadable tile");
                    place(tile.data(), x, y, tw, th, tw * unitBytes, plane);
                }
    } else {
        const tmsize_t lineSize = TIFFScanlineSize(tiff);
        if (lineSize <= 0 || size_t(lineSize) < width * unitBytes)
            throw Broken(path, "broken strip layout");
        std::vector<uint8_t> line(static_cast<size_t>(lineSize));
        for (uint16_t plane = 0; plane < planes; ++plane)
            for (uint32_t y = 0; y < height; ++y) {
                if (TIFFReadScanline(tiff, line.data(), y, plane) < 0)
                    throw Broken(path, "unreadable row " + std::to_string(y));
                place(line.data(), 0, y, width, 1, size_t(lineSize), plane);
            }
    }
    return image;
}

uint16_t Sample(const uint8_t* p, size_t bytes) {
    if (bytes == 1) return *p;
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// A stored sample on the host's scale. CIELab keeps a and b signed (16 bits: 256 units of a*),
// ICCLab unsigned around 0x80 or 0x8080.
uint16_t ToHostSample(uint16_t photometric, int channel, size_t bytes, uint16_t stored) {
    const bool chroma = channel > 0 && (photometric == PHOTOMETRIC_CIELAB ||
                                        photometric == PHOTOMETRIC_ICCLAB);
    if (bytes == 1) {
        return photometric == PHOTOMETRIC_CIELAB && chroma ? uint16_t(uint8_t(stored ^ 0x80))
                                                           : stored;
    }
    if (!chroma) return FromFile16(stored);
    if (photometric == PHOTOMETRIC_CIELAB)
        return uint16_t(16384 + std::lround(int16_t(stored) / 2.0));
    return uint16_t(std::min(32768L, std::lround(stored * 128.0 / 257.0)));
}

uint16_t ToStoredSample(ColorMode mode, int channel, size_t bytes, uint16_t v) {
    const bool chroma = mode == ColorMode::Lab && channel > 0;
    if (bytes == 1) return chroma ? uint16_t(uint8_t(v) ^ 0x80) : v;
    if (!chroma) return ToFile16(v);
    return uint16_t(int16_t(std::clamp((int32_t(v) - 16384) * 2, -32768, 32767)));
}

// Layouts the sample reader does not take (palettes, bilevel, YCbCr, odd depths) go through
// libtiff's RGBA interface at 8 bits.
Document ReadThroughRgba(TIFF* tiff, const std::filesystem::path& path, uint32_t width,
                         uint32_t height) {
    char message[1024];
    if (!TIFFRGBAImageOK(tiff, message))
        throw HostFailure(path.string() + ": unsupported TIFF layout: " + message);
    std::vector<uint32_t> raster(size_t(width) * height);
    if (!TIFFReadRGBAImageOriented(tiff, width, height, raster.data(), ORIENTATION_TOPLEFT, 0))
        throw Broken(path, "unreadable TIFF image");
    Document d = MakeDocument(ColorMode::RGB, 8, int32_t(width), int32_t(height));
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t p = raster[size_t(y) * width + x];
            d.At(0, int32_t(x), int32_t(y)) = uint16_t(TIFFGetR(p));
            d.At(1, int32_t(x), int32_t(y)) = uint16_t(TIFFGetG(p));
            d.At(2, int32_t(x), int32_t(y)) = uint16_t(TIFFGetB(p));
        }
    return d;
}

} // namespace

Document ReadTiff(const std::filesystem::path& path) {
    SilenceTiff();
    Tiff tiff(TIFFOpen(path.c_str(), "r"));
    if (!tiff) throw Broken(path, "not a readable TIFF file");
    TIFF* t = tiff.get();
    const uint32_t width = Field<uint32_t>(t, TIFFTAG_IMAGEWIDTH, 0);
    const uint32_t height = Field<uint32_t>(t, TIFFTAG_IMAGELENGTH, 0);
    if (width == 0 || height == 0 || int64_t(width) * height > kMaxImagePixels)
        throw HostFailure(path.string() + ": unsupported picture size " + std::to_string(width) +
                          " x " + std::to_string(height));
    const uint16_t bits = Field<uint16_t>(t, TIFFTAG_BITSPERSAMPLE, 1);
    const uint16_t samples = Field<uint16_t>(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    const uint16_t photometric = Field<uint16_t>(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    const uint16_t inkSet = Field<uint16_t>(t, TIFFTAG_INKSET, INKSET_CMYK);
    const uint16_t format = Field<uint16_t>(t, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);

    ColorMode mode;
    int colorSamples;
    bool grey = false;
    switch (photometric) {
    case PHOTOMETRIC_RGB: mode = ColorMode::RGB, colorSamples = 3; break;
    case PHOTOMETRIC_SEPARATED: mode = ColorMode::CMYK, colorSamples = 4; break;
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB: mode = ColorMode::Lab, colorSamples = 3; break;
    case PHOTOMETRIC_MINISBLACK: mode = ColorMode::RGB, colorSamples = 1, grey = true; break;
    default: mode = ColorMode::RGB, colorSamples = 0; break;
    }
    const bool direct = colorSamples > 0 && (bits == 8 || bits == 16) && samples >= colorSamples &&
                        format == SAMPLEFORMAT_UINT &&
                        (mode != ColorMode::CMYK || (inkSet == INKSET_CMYK && samples <= 5));
    if (!direct) {
        if (mode == ColorMode::CMYK || mode == ColorMode::Lab)
            throw HostFailure(path.string() + ": unsupported " + ModeName(mode) + " TIFF layout (" +
                              std::to_string(samples) + " samples of " + std::to_string(bits) +
                              " bits)");
        return ReadThroughRgba(t, path, width, height);
    }

    const bool alpha = samples > colorSamples;
    const std::vector<uint8_t> raw = ReadAllSamples(t, path, width, height, samples, bits);
    Document d = MakeDocument(mode, bits, int32_t(width), int32_t(height), alpha);
    uint32_t iccLength = 0;
    void* icc = nullptr;
    if (TIFFGetField(t, TIFFTAG_ICCPROFILE, &iccLength, &icc) && icc)
        d.iccProfile.assign(static_cast<uint8_t*>(icc), static_cast<uint8_t*>(icc) + iccLength);

    const size_t bytes = bits / 8;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* pixel = raw.data() + (size_t(y) * width + x) * samples * bytes;
            for (int c = 0; c < d.ColorChannels(); ++c) {
                const uint16_t stored = Sample(pixel + size_t(grey ? 0 : c) * bytes, bytes);
                d.At(c, int32_t(x), int32_t(y)) = ToHostSample(photometric, c, bytes, stored);
            }
            if (alpha) {
                const uint16_t a = Sample(pixel + size_t(colorSamples) * bytes, bytes);
                d.At(d.ColorChannels(), int32_t(x), int32_t(y)) = bytes == 2 ? FromFile16(a) : a;
            }
        }
    return d;
}

} // namespace quillon::filterhost

namespace quillon::filterhost {

void WriteTiff(const Document& d, const std::filesystem::path& path) {
    SilenceTiff();
    Tiff tiff(TIFFOpen(path.c_str(), "w"));
    if (!tiff) throw Broken(path, "cannot create TIFF file");
    TIFF* t = tiff.get();
    const int colorSamples = d.ColorChannels();
    const int samples = colorSamples + (d.hasAlpha ? 1 : 0);
    const size_t bytes = d.depth == 16 ? 2 : 1;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(d.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(d.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(d.depth));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    // The fastest deflate level: still lossless, and a large picture writes several times faster.
    TIFFSetField(t, TIFFTAG_ZIPQUALITY, 1);
    switch (d.mode) {
    case ColorMode::CMYK:
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
        TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
        break;
    case ColorMode::Lab: TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CIELAB); break;
    default: TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB); break;
    }
    if (d.hasAlpha) {
        const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
    }
    if (!d.iccProfile.empty())
        TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(d.iccProfile.size()), d.iccProfile.data());
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));

    std::vector<uint8_t> line(size_t(d.width) * size_t(samples) * bytes);
    for (int32_t y = 0; y < d.height; ++y) {
        for (int32_t x = 0; x < d.width; ++x)
            for (int c = 0; c < samples; ++c) {
                const uint16_t v = c < colorSamples ? ToStoredSample(d.mode, c, bytes, d.At(c, x, y))
                                                    : ToStoredSample(ColorMode::RGB, c, bytes, d.At(c, x, y));
                uint8_t* to = line.data() + (size_t(x) * size_t(samples) + size_t(c)) * bytes;
                if (bytes == 1) *to = uint8_t(v);
                else std::memcpy(to, &v, 2);
            }
        if (TIFFWriteScanline(t, line.data(), uint32_t(y), 0) < 0)
            throw Broken(path, "cannot write row " + std::to_string(y));
    }
    TIFF* closing = tiff.release();
    if (!TIFFFlush(closing)) {
        TIFFClose(closing);
        throw Broken(path, "cannot finish TIFF file");
    }
    TIFFClose(closing);
}

} // namespace quillon::filterhost

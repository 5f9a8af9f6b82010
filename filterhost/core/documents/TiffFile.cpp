// TIFF documents through libtiff: RGB, CMYK and CIELab at 8 or 16 bits, any layout and
// compression libtiff reads; written losslessly.
#include "core/HostFailure.h"
#include "core/documents/ImageFiles.h"
#include "core/documents/ImageFormats.h"

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

// Colour samples plus alpha and other extra channels a picture may carry.
constexpr uint16_t kMaxSamplesPerPixel = 16;

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

// Hands every row of the image to store(row, y) as interleaved samples. Contiguous strips go
// row by row through one line buffer; tiles and separate planes are gathered into one
// interleaved image first.
template <typename Store>
void ForEachRow(TIFF* tiff, const std::filesystem::path& path, uint32_t width, uint32_t height,
                uint16_t samples, uint16_t bits, Store store) {
    const size_t bytes = bits / 8;
    const size_t pixelBytes = samples * bytes;
    const size_t rowBytes = size_t(width) * pixelBytes;
    const bool separate =
        Field<uint16_t>(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == PLANARCONFIG_SEPARATE;
    const uint16_t planes = separate ? samples : 1;
    const size_t unitBytes = separate ? bytes : pixelBytes; // bytes per pixel in one plane

    const bool tiled = TIFFIsTiled(tiff);
    std::vector<uint8_t> line;
    if (!tiled) {
        const tmsize_t lineSize = TIFFScanlineSize(tiff);
        if (lineSize <= 0 || size_t(lineSize) < width * unitBytes)
            throw Broken(path, "broken strip layout");
        line.resize(static_cast<size_t>(lineSize));
    }
    auto readRow = [&](uint32_t y, uint16_t plane) {
        if (TIFFReadScanline(tiff, line.data(), y, plane) < 0)
            throw Broken(path, "unreadable row " + std::to_string(y));
    };
    if (!tiled && !separate) {
        for (uint32_t y = 0; y < height; ++y) {
            readRow(y, 0);
            store(line.data(), y);
        }
        return;
    }

    std::vector<uint8_t> image(rowBytes * height);
    // Copies a run of w pixels of one plane to the interleaved image.
    auto place = [&](const uint8_t* from, uint32_t w, uint32_t x0, uint32_t y, uint16_t plane) {
        uint8_t* to = image.data() + size_t(y) * rowBytes + x0 * pixelBytes + plane * bytes;
        if (!separate) {
            std::memcpy(to, from, w * pixelBytes);
            return;
        }
        for (uint32_t x = 0; x < w; ++x)
            std::memcpy(to + x * pixelBytes, from + x * bytes, bytes);
    };
    if (!tiled) {
        for (uint16_t plane = 0; plane < planes; ++plane)
            for (uint32_t y = 0; y < height; ++y) {
                readRow(y, plane);
                place(line.data(), width, 0, y, plane);
            }
    } else {
        const uint32_t tw = Field<uint32_t>(tiff, TIFFTAG_TILEWIDTH, 0);
        const uint32_t th = Field<uint32_t>(tiff, TIFFTAG_TILELENGTH, 0);
        const tmsize_t tileSize = TIFFTileSize(tiff);
        if (tw == 0 || th == 0 || tileSize <= 0 || size_t(tileSize) < size_t(tw) * th * unitBytes)
            throw Broken(path, "broken tile layout");
        std::vector<uint8_t> tile(static_cast<size_t>(tileSize));
        for (uint16_t plane = 0; plane < planes; ++plane)
            for (uint32_t y0 = 0; y0 < height; y0 += th)
                for (uint32_t x0 = 0; x0 < width; x0 += tw) {
                    if (TIFFReadTile(tiff, tile.data(), x0, y0, 0, plane) < 0)
                        throw Broken(path, "unreadable tile");
                    const uint32_t w = std::min(tw, width - x0), h = std::min(th, height - y0);
                    for (uint32_t y = 0; y < h; ++y)
                        place(tile.data() + size_t(y) * tw * unitBytes, w, x0, y0 + y, plane);
                }
    }
    for (uint32_t y = 0; y < height; ++y)
        store(image.data() + size_t(y) * rowBytes, y);
}

uint16_t Sample16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// A stored sample on the host's scale. CIELab keeps a and b signed (16 bits: 256 units of a*),
// ICCLab unsigned around 0x80 or 0x8080.
uint16_t ToHostSample(uint16_t photometric, bool chroma, size_t bytes, uint16_t stored) {
    if (bytes == 1) {
        return photometric == PHOTOMETRIC_CIELAB && chroma ? uint16_t(uint8_t(stored ^ 0x80))
                                                           : stored;
    }
    if (!chroma) return FromFile16(stored);
    if (photometric == PHOTOMETRIC_CIELAB)
        return uint16_t(16384 + std::lround(int16_t(stored) / 2.0));
    return uint16_t(std::min(32768L, std::lround(stored * 128.0 / 257.0)));
}

uint16_t ToStoredSample(bool chroma, size_t bytes, uint16_t v) {
    if (bytes == 1) return chroma ? uint16_t(uint8_t(v) ^ 0x80) : v;
    if (!chroma) return ToFile16(v);
    return uint16_t(int16_t(std::clamp((int32_t(v) - 16384) * 2, -32768, 32767)));
}

// Every value of one channel's samples mapped once, so rows convert by lookup.
template <typename Map> std::vector<uint16_t> SampleTable(size_t bytes, Map map) {
    std::vector<uint16_t> table(size_t{1} << (8 * bytes));
    for (size_t v = 0; v < table.size(); ++v)
        table[v] = map(uint16_t(v));
    return table;
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

Document ReadTiff(const std::filesystem::path& path, int64_t maxPixels) {
    SilenceTiff();
    Tiff tiff(TIFFOpen(path.c_str(), "r"));
    if (!tiff) throw Broken(path, "not a readable TIFF file");
    TIFF* t = tiff.get();
    const uint32_t width = Field<uint32_t>(t, TIFFTAG_IMAGEWIDTH, 0);
    const uint32_t height = Field<uint32_t>(t, TIFFTAG_IMAGELENGTH, 0);
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width == 0 || height == 0)
        throw HostFailure(path.string() + ": unsupported picture size " + size);
    if (int64_t(width) * height > maxPixels)
        throw HostFailure(path.string() + ": picture too large (" + size + ")");
    const uint16_t bits = Field<uint16_t>(t, TIFFTAG_BITSPERSAMPLE, 1);
    const uint16_t samples = Field<uint16_t>(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    const uint16_t photometric = Field<uint16_t>(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    const uint16_t inkSet = Field<uint16_t>(t, TIFFTAG_INKSET, INKSET_CMYK);
    const uint16_t format = Field<uint16_t>(t, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);

    ColorMode mode;
    int colorSamples;
    bool grey = false;
    switch (photometric) {
    case PHOTOMETRIC_RGB:
        mode = ColorMode::RGB, colorSamples = 3;
        break;
    case PHOTOMETRIC_SEPARATED:
        mode = ColorMode::CMYK, colorSamples = 4;
        break;
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
        mode = ColorMode::Lab, colorSamples = 3;
        break;
    case PHOTOMETRIC_MINISBLACK:
        mode = ColorMode::RGB, colorSamples = 1, grey = true;
        break;
    default:
        mode = ColorMode::RGB, colorSamples = 0;
        break;
    }
    // Tiled and separate layouts are gathered whole, so the samples per pixel are bounded.
    const bool direct = colorSamples > 0 && (bits == 8 || bits == 16) && samples >= colorSamples &&
                        samples <= kMaxSamplesPerPixel && format == SAMPLEFORMAT_UINT &&
                        (mode != ColorMode::CMYK || (inkSet == INKSET_CMYK && samples <= 5));
    if (!direct) {
        if (mode == ColorMode::CMYK || mode == ColorMode::Lab)
            throw HostFailure(path.string() + ": unsupported " + ModeName(mode) + " TIFF layout (" +
                              std::to_string(samples) + " samples of " + std::to_string(bits) +
                              " bits)");
        return ReadThroughRgba(t, path, width, height);
    }

    const bool alpha = samples > colorSamples;
    Document d = MakeDocument(mode, bits, int32_t(width), int32_t(height), alpha);
    uint32_t iccLength = 0;
    void* icc = nullptr;
    if (TIFFGetField(t, TIFFTAG_ICCPROFILE, &iccLength, &icc) && icc)
        d.iccProfile.assign(static_cast<uint8_t*>(icc), static_cast<uint8_t*>(icc) + iccLength);

    const size_t bytes = bits / 8;
    const bool lab = mode == ColorMode::Lab;
    std::vector<std::vector<uint16_t>> tables;
    std::vector<size_t> offsets; // of each plane's sample within a pixel
    for (int c = 0; c < int(d.planes.size()); ++c) {
        const bool chroma = lab && c > 0 && c < colorSamples;
        tables.push_back(SampleTable(
            bytes, [&](uint16_t v) { return ToHostSample(photometric, chroma, bytes, v); }));
        offsets.push_back(c == d.ColorChannels() ? size_t(colorSamples) : grey ? 0 : size_t(c));
    }
    ForEachRow(t, path, width, height, samples, bits, [&](const uint8_t* row, uint32_t y) {
        for (size_t c = 0; c < d.planes.size(); ++c) {
            uint16_t* to = d.planes[c].data() + size_t(y) * width;
            const uint16_t* table = tables[c].data();
            const uint8_t* from = row + offsets[c] * bytes;
            if (bytes == 1) {
                for (uint32_t x = 0; x < width; ++x)
                    to[x] = table[from[size_t(x) * samples]];
            } else {
                for (uint32_t x = 0; x < width; ++x)
                    to[x] = table[Sample16(from + size_t(x) * samples * 2)];
            }
        }
    });
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
    case ColorMode::Lab:
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CIELAB);
        break;
    default:
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        break;
    }
    if (d.hasAlpha) {
        const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
    }
    if (!d.iccProfile.empty())
        TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(d.iccProfile.size()), d.iccProfile.data());
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));

    std::vector<std::vector<uint16_t>> tables;
    for (int c = 0; c < samples; ++c) {
        const bool chroma = d.mode == ColorMode::Lab && c > 0 && c < colorSamples;
        tables.push_back(
            SampleTable(2, [&](uint16_t v) { return ToStoredSample(chroma, bytes, v); }));
    }
    std::vector<uint8_t> line(size_t(d.width) * size_t(samples) * bytes);
    for (int32_t y = 0; y < d.height; ++y) {
        for (int c = 0; c < samples; ++c) {
            const uint16_t* from = d.planes[size_t(c)].data() + size_t(y) * size_t(d.width);
            const uint16_t* table = tables[size_t(c)].data();
            uint8_t* to = line.data() + size_t(c) * bytes;
            if (bytes == 1) {
                for (int32_t x = 0; x < d.width; ++x)
                    to[size_t(x) * size_t(samples)] = uint8_t(table[from[x]]);
            } else {
                for (int32_t x = 0; x < d.width; ++x)
                    std::memcpy(to + size_t(x) * size_t(samples) * 2, &table[from[x]], 2);
            }
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

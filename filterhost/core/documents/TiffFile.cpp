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
// Pages of one file; each costs a directory the size limit alone does not bound.
constexpr size_t kMaxPages = 4096;

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
                uint16_t samples, uint16_t bits, const CancelCheck& cancel, Store store) {
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
        if (cancel && cancel()) throw Cancelled();
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
                    if (cancel && cancel()) throw Cancelled();
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

// 16-bit colour and alpha samples, and CIELab's signed a and b.
const SampleScale16& PlainScale() {
    static const SampleScale16 scale(FromFile16, ToFile16);
    return scale;
}
const SampleScale16& CieLabChromaScale() {
    static const SampleScale16 scale(
        [](uint16_t v) { return ToHostSample(PHOTOMETRIC_CIELAB, true, 2, v); },
        [](uint16_t v) { return ToStoredSample(true, 2, v); });
    return scale;
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
                         uint32_t height, const CancelCheck& cancel) {
    char message[1024];
    if (!TIFFRGBAImageOK(tiff, message))
        throw HostFailure(path.string() + ": unsupported TIFF layout: " + message);
    std::vector<uint32_t> raster(size_t(width) * height);
    if (cancel && cancel()) throw Cancelled();
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

// Resolution, orientation, XMP and the colour profile of the current directory.
void ReadExtras(TIFF* t, Document& d, bool grey) {
    Metadata& m = d.metadata;
    float x = 0, y = 0;
    if (TIFFGetField(t, TIFFTAG_XRESOLUTION, &x) && TIFFGetField(t, TIFFTAG_YRESOLUTION, &y) &&
        std::isfinite(x) && std::isfinite(y) && x > 0 && y > 0) {
        m.xResolution = x;
        m.yResolution = y;
        const uint16_t unit = Field<uint16_t>(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        m.resolutionUnit = unit == RESUNIT_INCH         ? ResolutionUnit::Inch
                           : unit == RESUNIT_CENTIMETER ? ResolutionUnit::Centimetre
                                                        : ResolutionUnit::None;
    }
    uint16_t orientation = 0;
    if (TIFFGetField(t, TIFFTAG_ORIENTATION, &orientation) && orientation >= 1 && orientation <= 8)
        m.orientation = orientation;
    uint32_t length = 0;
    void* data = nullptr;
    if (TIFFGetField(t, TIFFTAG_XMLPACKET, &length, &data) && data)
        m.xmp.assign(static_cast<const char*>(data), length);
    data = nullptr;
    if (TIFFGetField(t, TIFFTAG_ICCPROFILE, &length, &data) && data)
        SettleProfile(
            d,
            std::vector<uint8_t>(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + length),
            grey);
}

Document ReadPage(TIFF* t, const std::filesystem::path& path, int64_t maxPixels,
                  const CancelCheck& cancel) {
    const uint32_t width = Field<uint32_t>(t, TIFFTAG_IMAGEWIDTH, 0);
    const uint32_t height = Field<uint32_t>(t, TIFFTAG_IMAGELENGTH, 0);
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width == 0 || height == 0)
        throw HostFailure(path.string() + ": unsupported picture size " + size);
    if (int64_t(width) * height > maxPixels)
        throw HostFailure(path.string() + ": picture too large (" + size +
                          (TIFFCurrentDirectory(t) > 0
                               ? " on page " + std::to_string(TIFFCurrentDirectory(t) + 1)
                               : "") +
                          ")");
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
        Document d = ReadThroughRgba(t, path, width, height, cancel);
        ReadExtras(t, d, photometric == PHOTOMETRIC_MINISWHITE || grey);
        // libtiff's RGBA reader has turned the picture upright already when it only flips.
        if (d.metadata.orientation <= ORIENTATION_BOTLEFT) d.metadata.orientation = 0;
        return d;
    }

    const bool alpha = samples > colorSamples;
    Document d = MakeDocument(mode, bits, int32_t(width), int32_t(height), alpha);

    const size_t bytes = bits / 8;
    const bool lab = mode == ColorMode::Lab;
    std::vector<std::vector<uint16_t>> tables;
    std::vector<const SampleScale16*> scales; // for 16-bit samples the writer stores the same way
    std::vector<size_t> offsets;              // of each plane's sample within a pixel
    for (int c = 0; c < int(d.planes.size()); ++c) {
        const bool chroma = lab && c > 0 && c < colorSamples;
        tables.push_back(SampleTable(
            bytes, [&](uint16_t v) { return ToHostSample(photometric, chroma, bytes, v); }));
        scales.push_back(!chroma                             ? &PlainScale()
                         : photometric == PHOTOMETRIC_CIELAB ? &CieLabChromaScale()
                                                             : nullptr);
        offsets.push_back(c == d.ColorChannels() ? size_t(colorSamples) : grey ? 0 : size_t(c));
    }
    std::vector<uint16_t> stored(bytes == 2 ? size_t(width) * samples : 0);
    ForEachRow(t, path, width, height, samples, bits, cancel, [&](const uint8_t* row, uint32_t y) {
        if (bytes == 2) std::memcpy(stored.data(), row, stored.size() * 2);
        for (size_t c = 0; c < d.planes.size(); ++c) {
            uint16_t* to = d.planes[c].data() + size_t(y) * width;
            const uint16_t* table = tables[c].data();
            if (bytes == 1) {
                const uint8_t* from = row + offsets[c];
                for (uint32_t x = 0; x < width; ++x)
                    to[x] = table[from[size_t(x) * samples]];
            } else {
                const uint16_t* from = stored.data() + offsets[c];
                for (uint32_t x = 0; x < width; ++x)
                    to[x] = table[from[size_t(x) * samples]];
                if (scales[c])
                    KeepOffsets(d, c, size_t(y) * width, from, width, samples, *scales[c]);
            }
        }
    });
    ReadExtras(t, d, grey);
    return d;
}

} // namespace

std::vector<Document> ReadTiff(const std::filesystem::path& path, int64_t maxPixels,
                               const CancelCheck& cancel) {
    SilenceTiff();
    Tiff tiff(TIFFOpen(path.c_str(), "r"));
    if (!tiff) throw Broken(path, "not a readable TIFF file");
    std::vector<Document> pages;
    int64_t left = maxPixels;
    do {
        if (pages.size() == kMaxPages)
            throw HostFailure(path.string() + ": more than " + std::to_string(kMaxPages) +
                              " pages");
        pages.push_back(ReadPage(tiff.get(), path, left, cancel));
        left -= int64_t(pages.back().width) * pages.back().height;
    } while (TIFFReadDirectory(tiff.get()));
    return pages;
}

} // namespace quillon::filterhost

namespace quillon::filterhost {
namespace {

void WritePage(TIFF* t, const Document& d, const std::filesystem::path& shown, size_t page,
               size_t pages, const CancelCheck& cancel) {
    const int colorSamples = d.ColorChannels();
    const int samples = colorSamples + (d.hasAlpha ? 1 : 0);
    const size_t bytes = d.depth == 16 ? 2 : 1;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(d.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(d.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(d.depth));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    const Metadata& m = d.metadata;
    TIFFSetField(t, TIFFTAG_ORIENTATION, m.orientation ? m.orientation : ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    // The fastest deflate level: still lossless, and a large picture writes several times faster.
    TIFFSetField(t, TIFFTAG_ZIPQUALITY, 1);
    if (pages > 1) {
        TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(t, TIFFTAG_PAGENUMBER, uint16_t(page), uint16_t(pages));
    }
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
    if (m.xResolution > 0 && m.yResolution > 0) {
        TIFFSetField(t, TIFFTAG_XRESOLUTION, float(m.xResolution));
        TIFFSetField(t, TIFFTAG_YRESOLUTION, float(m.yResolution));
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT,
                     m.resolutionUnit == ResolutionUnit::Inch         ? RESUNIT_INCH
                     : m.resolutionUnit == ResolutionUnit::Centimetre ? RESUNIT_CENTIMETER
                                                                      : RESUNIT_NONE);
    }
    if (!m.xmp.empty()) TIFFSetField(t, TIFFTAG_XMLPACKET, uint32_t(m.xmp.size()), m.xmp.data());
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));

    std::vector<std::vector<uint16_t>> tables;
    std::vector<const SampleScale16*> scales;
    for (int c = 0; c < samples; ++c) {
        const bool chroma = d.mode == ColorMode::Lab && c > 0 && c < colorSamples;
        tables.push_back(
            SampleTable(2, [&](uint16_t v) { return ToStoredSample(chroma, bytes, v); }));
        scales.push_back(chroma ? &CieLabChromaScale() : &PlainScale());
    }
    std::vector<uint8_t> line(size_t(d.width) * size_t(samples) * bytes);
    for (int32_t y = 0; y < d.height; ++y) {
        if (cancel && cancel()) throw Cancelled();
        const size_t row = size_t(y) * size_t(d.width);
        for (int c = 0; c < samples; ++c) {
            const uint16_t* from = d.planes[size_t(c)].data() + row;
            const uint16_t* table = tables[size_t(c)].data();
            uint8_t* to = line.data() + size_t(c) * bytes;
            const bool exact =
                bytes == 2 && size_t(c) < d.fileOffsets.size() && !d.fileOffsets[size_t(c)].empty();
            if (bytes == 1) {
                for (int32_t x = 0; x < d.width; ++x)
                    to[size_t(x) * size_t(samples)] = uint8_t(table[from[x]]);
            } else if (exact) {
                const int8_t* offsets = d.fileOffsets[size_t(c)].data() + row;
                const SampleScale16& scale = *scales[size_t(c)];
                for (int32_t x = 0; x < d.width; ++x) {
                    const uint16_t v = scale.Write(from[x], offsets[x]);
                    std::memcpy(to + size_t(x) * size_t(samples) * 2, &v, 2);
                }
            } else {
                for (int32_t x = 0; x < d.width; ++x)
                    std::memcpy(to + size_t(x) * size_t(samples) * 2, &table[from[x]], 2);
            }
        }
        if (TIFFWriteScanline(t, line.data(), uint32_t(y), 0) < 0)
            throw Broken(shown, "cannot write row " + std::to_string(y));
    }
}

} // namespace

void WriteTiff(const std::vector<const Document*>& pages, const std::filesystem::path& path,
               const std::filesystem::path& shown, const CancelCheck& cancel) {
    SilenceTiff();
    Tiff tiff(TIFFOpen(path.c_str(), "w"));
    if (!tiff) throw Broken(shown, "cannot create TIFF file");
    TIFF* t = tiff.get();
    for (size_t page = 0; page < pages.size(); ++page) {
        WritePage(t, *pages[page], shown, page, pages.size(), cancel);
        if (pages.size() > 1 && !TIFFWriteDirectory(t))
            throw Broken(shown, "cannot write page " + std::to_string(page + 1));
    }
    TIFF* closing = tiff.release();
    if (!TIFFFlush(closing)) {
        TIFFClose(closing);
        throw Broken(shown, "cannot finish TIFF file");
    }
    TIFFClose(closing);
}

} // namespace quillon::filterhost

// TIFF documents read through libtiff: RGB, CMYK and CIELab at 8 or 16 bits, any layout and
// compression libtiff reads.
#include "core/HostFailure.h"
#include "core/documents/ImageFiles.h"
#include "core/documents/ImageFormats.h"
#include "core/documents/SizeClaims.h"
#include "core/documents/TiffSupport.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace quillon::filterhost {
namespace {

using namespace tiff;

// Colour samples plus alpha and other extra channels a picture may carry.
constexpr uint16_t kMaxSamplesPerPixel = 16;
// Pages of one file; each costs a directory the size limit alone does not bound.
constexpr size_t kMaxPages = 4096;

template <typename T> T Field(TIFF* tiff, ttag_t tag, T fallback) {
    T value = fallback;
    TIFFGetFieldDefaulted(tiff, tag, &value);
    return value;
}

// Below this many bytes of samples a page is read on one thread: a second handle would cost
// more than it saves.
constexpr size_t kSplitBytes = size_t{4} << 20;

// The first row of the lower half when a page of contiguous strips is worth reading in two
// halves that meet at a strip boundary, else height.
uint32_t SplitRow(TIFF* tiff, uint32_t height, size_t rowBytes) {
    const uint64_t strips = TIFFNumberOfStrips(tiff);
    if (strips < 2 || size_t(height) * rowBytes < kSplitBytes ||
        std::thread::hardware_concurrency() < 2)
        return height;
    const uint64_t split = strips / 2 * Field<uint32_t>(tiff, TIFFTAG_ROWSPERSTRIP, height);
    return split > 0 && split < height ? uint32_t(split) : height;
}

// Hands every row of the image to a store as interleaved samples: store(row, y), where store is
// what makeStore() returns, one per thread. Contiguous strips go row by row through one line
// buffer, a large page's lower half through a second handle on another thread (libtiff's handles
// are independent, and decoding is most of reading); tiles and separate planes are gathered into
// one interleaved image first.
template <typename MakeStore>
void ForEachRow(TIFF* tiff, const std::filesystem::path& path, uint32_t width, uint32_t height,
                uint16_t samples, uint16_t bits, const CancelCheck& cancel, MakeStore makeStore) {
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
        const uint32_t split = SplitRow(tiff, height, rowBytes);
        Tiff second(split < height ? TIFFOpen(path.c_str(), "r") : nullptr);
        if (second && (!TIFFSetDirectory(second.get(), TIFFCurrentDirectory(tiff)) ||
                       TIFFScanlineSize(second.get()) != TIFFScanlineSize(tiff)))
            second.reset();
        std::exception_ptr failure;
        // Declared after the handle it reads, so it stops and is joined before the handle closes.
        std::optional<std::jthread> lower;
        if (second)
            lower.emplace([&](std::stop_token stop) {
                try {
                    auto store = makeStore();
                    std::vector<uint8_t> own(line.size());
                    for (uint32_t y = split; y < height && !stop.stop_requested(); ++y) {
                        if (TIFFReadScanline(second.get(), own.data(), y, 0) < 0)
                            throw Broken(path, "unreadable row " + std::to_string(y));
                        store(own.data(), y);
                    }
                } catch (...) {
                    failure = std::current_exception();
                }
            });
        auto store = makeStore();
        for (uint32_t y = 0, end = second ? split : height; y < end; ++y) {
            readRow(y, 0);
            store(line.data(), y);
        }
        if (lower) lower->join();
        if (failure) std::rethrow_exception(failure);
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
    auto store = makeStore();
    for (uint32_t y = 0; y < height; ++y)
        store(image.data() + size_t(y) * rowBytes, y);
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
    if (!PixelsWithin(width, height, maxPixels))
        throw HostFailure(path.string() + ": picture too large (" + size +
                          (TIFFCurrentDirectory(t) > 0
                               ? " on page " + std::to_string(TIFFCurrentDirectory(t) + 1)
                               : "") +
                          ")");
    CheckTiffStoredBytes(t, path);
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
    // Rows may be stored from two threads: the kept offsets are all in place before.
    if (bytes == 2) {
        d.fileOffsets.resize(d.planes.size());
        for (size_t c = 0; c < d.planes.size(); ++c)
            if (scales[c]) d.fileOffsets[c].resize(d.planes[c].size());
    }
    // Each thread's store aligns 16-bit rows in a buffer of its own.
    auto makeStore = [&] {
        return [&, stored = std::vector<uint16_t>(bytes == 2 ? size_t(width) * samples : 0)](
                   const uint8_t* row, uint32_t y) mutable {
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
        };
    };
    ForEachRow(t, path, width, height, samples, bits, cancel, makeStore);
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

// TIFF documents through libtiff: RGB, CMYK and CIELab at 8 or 16 bits, any layout and
// compression libtiff reads; written losslessly.
#include "core/HostFailure.h"
#include "core/documents/ImageFiles.h"
#include "core/documents/ImageFormats.h"
#include "core/documents/SizeClaims.h"
#include "core/documents/StripEncoder.h"

#include <libdeflate.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
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

namespace quillon::filterhost {

namespace {

// About 8 KB of samples per strip, as libtiff chooses by default.
constexpr size_t kStripBytes = 8192;
// The fastest deflate level: still lossless, and a large picture writes several times faster.
constexpr int kDeflateLevel = 1;

unsigned DefaultThreads() {
    return std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
}

} // namespace

// What one worker reuses from strip to strip: the rows before compression and the compressor.
struct StripEncoder::Scratch {
    explicit Scratch(const StripEncoder& e)
        : raw((e.rowBytes_ * size_t(e.rowsPerStrip_) + 1) / 2),
          compressor(libdeflate_alloc_compressor(kDeflateLevel), libdeflate_free_compressor) {
        if (!compressor) throw std::bad_alloc();
        packed.resize(libdeflate_zlib_compress_bound(compressor.get(), raw.size() * 2));
    }
    std::vector<uint16_t> raw; // 16-bit words, so 16-bit samples are aligned
    std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor;
    std::vector<uint8_t> packed;
};

StripEncoder::StripEncoder(const Document& d, unsigned threads)
    : document_(d), samples_(d.ColorChannels() + (d.hasAlpha ? 1 : 0)),
      bytes_(d.depth == 16 ? 2 : 1), rowBytes_(size_t(d.width) * size_t(samples_) * bytes_) {
    rowsPerStrip_ = int32_t(std::clamp<size_t>(kStripBytes / rowBytes_, 1, size_t(d.height)));
    const size_t count = (size_t(d.height) + size_t(rowsPerStrip_) - 1) / size_t(rowsPerStrip_);
    state_.assign(count, State::Waiting);
    strips_.resize(count);
    for (int c = 0; c < samples_; ++c) {
        const bool chroma = d.mode == ColorMode::Lab && c > 0 && c < d.ColorChannels();
        tables_.push_back(
            SampleTable(2, [&](uint16_t v) { return ToStoredSample(chroma, bytes_, v); }));
        scales_.push_back(chroma ? &CieLabChromaScale() : &PlainScale());
    }
    try {
        for (unsigned i = 0, n = threads ? threads : DefaultThreads(); i < n; ++i)
            workers_.emplace_back([this] { Work(); });
    } catch (...) {
        Stop();
        throw;
    }
}

StripEncoder::~StripEncoder() {
    Stop();
}

void StripEncoder::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
    workers_.clear();
}

size_t StripEncoder::StripsOfRows(int32_t rows) const {
    return rows >= document_.height ? state_.size() : size_t(rows / rowsPerStrip_);
}

void StripEncoder::RowsFinal(int32_t rows) {
    rows = std::clamp(rows, 0, document_.height);
    std::unique_lock lock(mutex_);
    if (rows < finalRows_) {
        // Strips a worker is encoding are left to finish: their rows have not changed yet. A
        // worker that failed leaves its strip for Strip to report.
        const size_t first = size_t(rows / rowsPerStrip_);
        done_.wait(lock, [&] {
            return failure_ || std::none_of(state_.begin() + ptrdiff_t(first), state_.end(),
                                            [](State s) { return s == State::Working; });
        });
        for (size_t k = first; k < state_.size(); ++k) {
            state_[k] = State::Waiting;
            strips_[k] = {};
        }
        next_ = std::min(next_, first);
        ready_ = std::min(ready_, first);
        followRows_ = false;
    } else if (followRows_ || rows == document_.height) {
        ready_ = StripsOfRows(rows);
    } else {
        return;
    }
    finalRows_ = rows;
    lock.unlock();
    wake_.notify_all();
}

void StripEncoder::Finish() {
    RowsFinal(document_.height);
    {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&] {
            return failure_ || std::all_of(state_.begin(), state_.end(),
                                           [](State s) { return s == State::Done; });
        });
    }
    Stop();
}

const std::vector<uint8_t>& StripEncoder::Strip(size_t k) {
    std::unique_lock lock(mutex_);
    if (k >= ready_) throw std::logic_error("strip asked for before its rows are final");
    done_.wait(lock, [&] { return failure_ || state_[k] == State::Done; });
    if (state_[k] != State::Done) std::rethrow_exception(failure_);
    return strips_[k];
}

void StripEncoder::Release(size_t k) {
    std::lock_guard lock(mutex_);
    strips_[k] = {};
}

void StripEncoder::Work() {
    try {
        Scratch scratch(*this);
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stop_ || next_ < ready_; });
            if (stop_) return;
            const size_t k = next_++;
            state_[k] = State::Working;
            lock.unlock();
            std::vector<uint8_t> bytes = Encode(k, scratch);
            lock.lock();
            strips_[k] = std::move(bytes);
            state_[k] = State::Done;
            done_.notify_all();
        }
    } catch (...) {
        std::lock_guard lock(mutex_);
        if (!failure_) failure_ = std::current_exception();
        done_.notify_all();
    }
}

// One row as the file stores it, samples interleaved.
void StripEncoder::StoreRow(int32_t y, uint8_t* line) const {
    const Document& d = document_;
    const size_t row = size_t(y) * size_t(d.width), samples = size_t(samples_);
    for (size_t c = 0; c < samples; ++c) {
        const uint16_t* from = d.planes[c].data() + row;
        const uint16_t* table = tables_[c].data();
        if (bytes_ == 1) {
            uint8_t* to = line + c;
            for (int32_t x = 0; x < d.width; ++x)
                to[size_t(x) * samples] = uint8_t(table[from[x]]);
            continue;
        }
        uint16_t* to = reinterpret_cast<uint16_t*>(line) + c;
        if (c < d.fileOffsets.size() && !d.fileOffsets[c].empty()) {
            const int8_t* offsets = d.fileOffsets[c].data() + row;
            const SampleScale16& scale = *scales_[c];
            for (int32_t x = 0; x < d.width; ++x)
                to[size_t(x) * samples] = scale.Write(from[x], offsets[x]);
        } else {
            for (int32_t x = 0; x < d.width; ++x)
                to[size_t(x) * samples] = table[from[x]];
        }
    }
}

// Each sample minus the same sample of the pixel to its left (the horizontal predictor), from
// the right so every difference is taken from the stored values.
template <typename Sample> void Differences(Sample* row, size_t count, size_t samples) {
    for (size_t i = count; i-- > samples;)
        row[i] = Sample(row[i] - row[i - samples]);
}

std::vector<uint8_t> StripEncoder::Encode(size_t k, Scratch& scratch) const {
    const int32_t top = int32_t(k) * rowsPerStrip_;
    const int32_t bottom = std::min(top + rowsPerStrip_, document_.height);
    uint8_t* raw = reinterpret_cast<uint8_t*>(scratch.raw.data());
    const size_t count = size_t(document_.width) * size_t(samples_);
    for (int32_t y = top; y < bottom; ++y) {
        uint8_t* line = raw + size_t(y - top) * rowBytes_;
        StoreRow(y, line);
        if (bytes_ == 1)
            Differences(line, count, size_t(samples_));
        else
            Differences(reinterpret_cast<uint16_t*>(line), count, size_t(samples_));
    }
    const size_t size =
        libdeflate_zlib_compress(scratch.compressor.get(), raw, size_t(bottom - top) * rowBytes_,
                                 scratch.packed.data(), scratch.packed.size());
    if (size == 0) throw std::runtime_error("deflate found no room for a strip");
    return {scratch.packed.begin(), scratch.packed.begin() + ptrdiff_t(size)};
}

namespace {

// Tags from the document, then the strips: the encoder's, or ones encoded here. The file is
// in the machine's byte order (libtiff's default for a new file), as the encoder stores samples.
void WritePage(TIFF* t, const Document& d, const std::filesystem::path& shown, size_t page,
               size_t pages, StripEncoder* encoded, const CancelCheck& cancel) {
    const int samples = d.ColorChannels() + (d.hasAlpha ? 1 : 0);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(d.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(d.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(d.depth));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    const Metadata& m = d.metadata;
    TIFFSetField(t, TIFFTAG_ORIENTATION, m.orientation ? m.orientation : ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
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

    std::optional<StripEncoder> own;
    StripEncoder& strips = encoded ? *encoded : own.emplace(d);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(strips.RowsPerStrip()));
    strips.RowsFinal(d.height);
    for (size_t k = 0; k < strips.StripCount(); ++k) {
        if (cancel && cancel()) throw Cancelled();
        const std::vector<uint8_t>& bytes = strips.Strip(k);
        if (TIFFWriteRawStrip(t, uint32_t(k), const_cast<uint8_t*>(bytes.data()),
                              tmsize_t(bytes.size())) < 0)
            throw Broken(shown, "cannot write strip " + std::to_string(k));
        strips.Release(k);
    }
}

} // namespace

void WriteTiff(const std::vector<const Document*>& pages, const std::filesystem::path& path,
               const std::filesystem::path& shown, const CancelCheck& cancel,
               const std::vector<StripEncoder*>& encoded) {
    for (size_t page = 0; page < encoded.size(); ++page)
        if (encoded[page] && (page >= pages.size() || &encoded[page]->Of() != pages[page]))
            throw std::logic_error("strips encoded from another document");
    SilenceTiff();
    Tiff tiff(TIFFOpen(path.c_str(), "w"));
    if (!tiff) throw Broken(shown, "cannot create TIFF file");
    TIFF* t = tiff.get();
    for (size_t page = 0; page < pages.size(); ++page) {
        WritePage(t, *pages[page], shown, page, pages.size(),
                  page < encoded.size() ? encoded[page] : nullptr, cancel);
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

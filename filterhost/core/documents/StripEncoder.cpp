#include "core/documents/StripEncoder.h"

#include "core/documents/TiffSupport.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace quillon::filterhost {
namespace {

using namespace tiff;

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

} // namespace quillon::filterhost

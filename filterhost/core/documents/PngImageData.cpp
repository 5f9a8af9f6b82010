#include "core/documents/PngImageData.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

namespace quillon::filterhost {
namespace {

// deflate looks back at most this far: each piece is primed with the filtered bytes before it,
// so cutting the stream into pieces costs next to nothing in size.
constexpr size_t kWindowBytes = 32768;
// How often the caller's thread looks at the interrupt while it waits for a piece.
constexpr auto kCancelPoll = std::chrono::milliseconds(20);
// deflate is fed this much at a time, so that a worker sees a stop within a few milliseconds.
constexpr size_t kFeedBytes = size_t{256} << 10;

// The signed magnitude libpng's heuristic sums: a filtered byte near 0 or near 256 is cheap.
inline uint32_t Cost(uint8_t v) {
    return v < 128 ? v : 256u - v;
}

inline uint8_t PaethPredictor(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Each filter over the whole row into its own buffer; the loops are simple enough to vectorise.
template <typename Predict>
uint64_t Filtered(const uint8_t* row, const uint8_t* above, size_t n, size_t bpp, uint8_t* out,
                  Predict predict) {
    uint64_t sum = 0;
    const size_t lead = std::min(bpp, n);
    for (size_t i = 0; i < lead; ++i) {
        out[i] = uint8_t(row[i] - predict(0, above[i], 0));
        sum += Cost(out[i]);
    }
    for (size_t i = lead; i < n; ++i) {
        out[i] = uint8_t(row[i] - predict(row[i - bpp], above[i], above[i - bpp]));
        sum += Cost(out[i]);
    }
    return sum;
}

struct Piece {
    int32_t first = 0, end = 0; // rows
    std::vector<uint8_t> bytes; // compressed
    uLong adler = 1;            // of the filtered bytes of its own rows
    size_t filteredBytes = 0;
    bool done = false;
};

class Compressor {
  public:
    Compressor(const ImageDataShape& shape, const StoredRow& stored, int level, unsigned threads,
               size_t pieceBytes)
        : shape_(shape), stored_(stored), level_(level) {
        const size_t lineBytes = shape.rowBytes + 1;
        const int32_t rowsPerPiece = int32_t(std::clamp<size_t>(
            pieceBytes / lineBytes, 1, size_t(std::max<int32_t>(shape.height, 1))));
        for (int32_t first = 0; first < shape.height; first += rowsPerPiece) {
            Piece& p = pieces_.emplace_back();
            p.first = first;
            p.end = std::min(shape.height, first + rowsPerPiece);
        }
        if (threads == 0) threads = std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
        threads = std::min<unsigned>(threads, unsigned(pieces_.size()));
        try {
            for (unsigned t = 0; t < threads; ++t)
                workers_.emplace_back([this] { Work(); });
        } catch (...) {
            Stop();
            throw;
        }
    }
    ~Compressor() { Stop(); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    // Hands the stream to the sink piece by piece, in order.
    void Deliver(const ImageDataSink& sink, const CancelCheck& cancel) {
        uLong adler = 1;
        for (size_t k = 0; k < pieces_.size(); ++k) {
            std::vector<uint8_t> bytes;
            if (cancel && cancel()) throw Cancelled();
            {
                std::unique_lock lock(mutex_);
                while (!pieces_[k].done && !failure_) {
                    done_.wait_for(lock, kCancelPoll);
                    if (!pieces_[k].done && cancel && cancel()) {
                        throw Cancelled();
                    }
                }
                if (failure_) std::rethrow_exception(failure_);
                bytes.swap(pieces_[k].bytes);
            }
            const Piece& p = pieces_[k];
            adler = adler32_combine(adler, p.adler, z_off_t(p.filteredBytes));
            if (k + 1 == pieces_.size())
                for (int shift = 24; shift >= 0; shift -= 8)
                    bytes.push_back(uint8_t(adler >> shift));
            sink(bytes.data(), bytes.size());
        }
    }

  private:
    void Work() {
        for (;;) {
            size_t k;
            {
                std::lock_guard lock(mutex_);
                if (stop_ || next_ == pieces_.size()) return;
                k = next_++;
            }
            try {
                Encode(pieces_[k], k == 0, k + 1 == pieces_.size());
            } catch (...) {
                std::lock_guard lock(mutex_);
                if (!failure_) failure_ = std::current_exception();
                stop_ = true;
                done_.notify_all();
                return;
            }
            std::lock_guard lock(mutex_);
            pieces_[k].done = true;
            done_.notify_all();
        }
    }

    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        for (std::thread& t : workers_)
            if (t.joinable()) t.join();
    }

    // Filters the piece's rows, after enough rows above it to prime deflate's window (filtered
    // anew: the result is the same bytes the piece above made), and compresses them. The first
    // piece starts the zlib stream; every other one follows on at a byte boundary.
    void Encode(Piece& p, bool first, bool last) {
        const size_t lineBytes = shape_.rowBytes + 1;
        const int32_t primeRows =
            std::min<int32_t>(p.first, int32_t((kWindowBytes + lineBytes - 1) / lineBytes));
        const int32_t from = p.first - primeRows;
        std::vector<uint8_t> row(shape_.rowBytes), above(shape_.rowBytes, 0);
        RowFilter filter(shape_.rowBytes, shape_.pixelBytes);
        if (from > 0) stored_(from - 1, above.data());
        std::vector<uint8_t> filtered(size_t(p.end - from) * lineBytes);
        for (int32_t y = from; y < p.end; ++y) {
            if (stop_) return;
            stored_(y, row.data());
            filter.Filter(row.data(), above.data(), filtered.data() + size_t(y - from) * lineBytes);
            row.swap(above);
        }
        const size_t primeBytes = size_t(primeRows) * lineBytes;
        const uint8_t* own = filtered.data() + primeBytes;
        p.filteredBytes = filtered.size() - primeBytes;
        p.adler = adler32_z(1, own, p.filteredBytes);

        if (p.filteredBytes > std::numeric_limits<uInt>::max() / 2)
            throw std::length_error("rows too long to compress");
        z_stream z{};
        const int windowBits = first ? 15 : -15; // raw deflate after the first piece
        if (deflateInit2(&z, level_, Z_DEFLATED, windowBits, 8, Z_FILTERED) != Z_OK)
            throw std::bad_alloc();
        struct End {
            z_stream* z;
            ~End() { deflateEnd(z); }
        } end{&z};
        if (primeBytes > 0) {
            const size_t dictionary = std::min(primeBytes, kWindowBytes);
            deflateSetDictionary(&z, own - dictionary, uInt(dictionary));
        }
        // A sync flush ends on a byte boundary with an empty stored block of 5 bytes.
        p.bytes.resize(deflateBound(&z, uLong(p.filteredBytes)) + 16);
        z.next_in = const_cast<uint8_t*>(own);
        z.next_out = p.bytes.data();
        z.avail_out = uInt(p.bytes.size());
        for (size_t left = p.filteredBytes; left > kFeedBytes; left -= kFeedBytes) {
            if (stop_) return;
            z.avail_in = uInt(kFeedBytes);
            if (deflate(&z, Z_NO_FLUSH) != Z_OK || z.avail_in != 0)
                throw std::runtime_error("compressing the image data failed");
        }
        z.avail_in = uInt(own + p.filteredBytes - z.next_in);
        const int status = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
        // Output space to spare is the sign that the flush is complete.
        if (status != (last ? Z_STREAM_END : Z_OK) || z.avail_in != 0 || z.avail_out == 0)
            throw std::runtime_error("compressing the image data failed");
        p.bytes.resize(p.bytes.size() - z.avail_out);
        // The first piece's stream would end with its own checksum; the whole stream's comes
        // from the pieces' checksums combined.
        if (first && last) p.bytes.resize(p.bytes.size() - 4);
        p.bytes.shrink_to_fit();
    }

    const ImageDataShape shape_;
    const StoredRow& stored_;
    const int level_;
    std::vector<Piece> pieces_;

    std::mutex mutex_;
    std::condition_variable done_;
    size_t next_ = 0;
    std::atomic<bool> stop_ = false; // read by the workers between rows and between feeds
    std::exception_ptr failure_;
    std::vector<std::thread> workers_;
};

} // namespace

RowFilter::RowFilter(size_t rowBytes, size_t pixelBytes)
    : rowBytes_(rowBytes), pixelBytes_(pixelBytes), scratch_(4 * rowBytes) {}

PngFilter RowFilter::Filter(const uint8_t* row, const uint8_t* above, uint8_t* out) {
    const size_t n = rowBytes_, bpp = pixelBytes_;
    // None goes straight to `out`, the others to the scratch rows.
    uint8_t* const candidates[5] = {out + 1, scratch_.data(), scratch_.data() + n,
                                    scratch_.data() + 2 * n, scratch_.data() + 3 * n};
    uint64_t sums[5];
    sums[kFilterNone] =
        Filtered(row, above, n, bpp, candidates[kFilterNone], [](int, int, int) { return 0; });
    sums[kFilterSub] =
        Filtered(row, above, n, bpp, candidates[kFilterSub], [](int a, int, int) { return a; });
    sums[kFilterUp] =
        Filtered(row, above, n, bpp, candidates[kFilterUp], [](int, int b, int) { return b; });
    sums[kFilterAverage] = Filtered(row, above, n, bpp, candidates[kFilterAverage],
                                    [](int a, int b, int) { return (a + b) >> 1; });
    sums[kFilterPaeth] = Filtered(row, above, n, bpp, candidates[kFilterPaeth], PaethPredictor);
    PngFilter best = kFilterNone;
    for (uint8_t t = kFilterSub; t <= kFilterPaeth; ++t)
        if (sums[t] < sums[best]) best = PngFilter(t);
    if (best != kFilterNone) std::memcpy(out + 1, candidates[best], n);
    out[0] = best;
    return best;
}

void CompressImageData(const ImageDataShape& shape, const StoredRow& stored,
                       const ImageDataSink& sink, const CancelCheck& cancel, int level,
                       unsigned threads, size_t pieceBytes) {
    Compressor compressor(shape, stored, level, threads, pieceBytes);
    compressor.Deliver(sink, cancel);
}

} // namespace quillon::filterhost

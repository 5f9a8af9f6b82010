// The image data of a non-interlaced PNG: each row filtered with the filter type that suits it
// best, and the filtered rows compressed as one zlib stream, in pieces on worker threads.
#pragma once

#include "core/documents/ImageFiles.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace quillon::filterhost {

enum PngFilter : uint8_t { kFilterNone, kFilterSub, kFilterUp, kFilterAverage, kFilterPaeth };

// Chooses each row's filter type and filters the row with it; holds the candidates' scratch rows.
class RowFilter {
  public:
    // `pixelBytes`: how far back the byte of the pixel on the left is.
    RowFilter(size_t rowBytes, size_t pixelBytes);
    // Writes the filter type to out[0] and `row` filtered with it to out[1..rowBytes]. `above` is
    // the row above (all zeros above the first row). The type is the one whose bytes, taken as
    // signed, have the least sum of magnitudes.
    PngFilter Filter(const uint8_t* row, const uint8_t* above, uint8_t* out);

  private:
    size_t rowBytes_, pixelBytes_;
    std::vector<uint8_t> scratch_;
};

struct ImageDataShape {
    int32_t height;
    size_t rowBytes;   // stored bytes of one row, without its filter type
    size_t pixelBytes; // stored bytes of one pixel
};

// Fills `row` with the stored bytes of row y; called from the worker threads, at the same time.
using StoredRow = std::function<void(int32_t y, uint8_t* row)>;
// Takes the next bytes of the zlib stream, in order, on the calling thread.
using ImageDataSink = std::function<void(const uint8_t* bytes, size_t count)>;

// zlib's level for image data of the given bits per sample: the fastest whose files stay within
// 10 % of what ImageMagick writes by default, on the photograph-like landscape of bench_png. At 8
// bits level 3 takes a quarter of level 6's time for 7 % more bytes (from level 4 up zlib runs its
// slower matcher); 16-bit rows carry noise in their low bytes that no level finds much in, and
// level 1 takes two thirds of level 3's time for 1 % more.
constexpr int ImageDataLevel(int bitsPerSample) {
    return bitsPerSample == 16 ? 1 : 3;
}

// Rows of about this many filtered bytes make a piece of the stream: small enough for a prompt
// cancel and an even share between the threads, large enough that the 5 bytes that end each
// piece, and each thread's start, cost nothing.
constexpr size_t kImageDataPieceBytes = size_t{4} << 20;

// Filters and compresses the rows on `threads` workers (0: one per processor, at most two) and
// hands the stream to `sink` piece by piece. Looks at `cancel` before each piece and while it
// waits for one, and throws Cancelled when it answers true; rethrows what `stored` or the
// compression threw.
void CompressImageData(const ImageDataShape& shape, const StoredRow& stored,
                       const ImageDataSink& sink, const CancelCheck& cancel, int level,
                       unsigned threads = 0, size_t pieceBytes = kImageDataPieceBytes);

} // namespace quillon::filterhost

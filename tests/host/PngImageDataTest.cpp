// PNG image data: the per-row filter choice, and the zlib stream made in pieces on threads,
// checked by inflating it with zlib and undoing the filters as a PNG decoder does.
#include "core/documents/PngImageData.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace quillon::filterhost;
using Bytes = std::vector<uint8_t>;

int Predict(uint8_t type, int a, int b, int c) {
    switch (type) {
    case kFilterSub:
        return a;
    case kFilterUp:
        return b;
    case kFilterAverage:
        return (a + b) / 2;
    case kFilterPaeth: {
        const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    }
    default:
        return 0;
    }
}

// A decoder's view: the row back from its filtered bytes (filter type first) and the row above.
Bytes Unfilter(const uint8_t* line, const Bytes& above, size_t bpp) {
    Bytes row(above.size());
    for (size_t i = 0; i < row.size(); ++i) {
        const int a = i >= bpp ? row[i - bpp] : 0, c = i >= bpp ? above[i - bpp] : 0;
        row[i] = uint8_t(line[1 + i] + Predict(line[0], a, above[i], c));
    }
    return row;
}

// The row filtered with the given type, and the sum the choice is made on.
uint64_t CostOf(uint8_t type, const Bytes& row, const Bytes& above, size_t bpp) {
    uint64_t sum = 0;
    for (size_t i = 0; i < row.size(); ++i) {
        const int a = i >= bpp ? row[i - bpp] : 0, c = i >= bpp ? above[i - bpp] : 0;
        const uint8_t v = uint8_t(row[i] - Predict(type, a, above[i], c));
        sum += v < 128 ? v : 256 - v;
    }
    return sum;
}

// Large enough that the five predictions part ways from the first pixel on.
uint8_t Seed(size_t i) {
    return uint8_t(100 + 20 * i);
}

Bytes Noise(size_t n, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes b(n);
    for (uint8_t& v : b)
        v = uint8_t(random());
    return b;
}

// The seed in the first pixel, and past it what the given filter predicts from the pixels on the
// left and above: filtered with that type, the row is the seed and then zeros.
Bytes PredictedRow(uint8_t type, const Bytes& above, size_t bpp) {
    Bytes row(above.size());
    for (size_t i = 0; i < row.size(); ++i) {
        const int a = i >= bpp ? row[i - bpp] : 0, c = i >= bpp ? above[i - bpp] : 0;
        row[i] = uint8_t(Predict(type, a, above[i], c) + (i < bpp ? Seed(i) : 0));
    }
    return row;
}

struct FilterCase {
    const char* name;
    size_t bpp;
    uint8_t expected; // the filter that predicts the row past its first pixel
};

class RowFilterChoice : public ::testing::TestWithParam<FilterCase> {};

TEST_P(RowFilterChoice, PicksTheFilterThatPredictsTheRow) {
    const FilterCase c = GetParam();
    const size_t n = c.bpp * 37;
    const Bytes above = Noise(n, 11);
    const Bytes row = PredictedRow(c.expected, above, c.bpp);
    RowFilter filter(n, c.bpp);
    Bytes out(n + 1);
    EXPECT_EQ(filter.Filter(row.data(), above.data(), out.data()), c.expected);
    EXPECT_EQ(out[0], c.expected);
    Bytes filtered(n, 0);
    for (size_t i = 0; i < c.bpp; ++i)
        filtered[i] = Seed(i);
    EXPECT_EQ(Bytes(out.begin() + 1, out.end()), filtered);
    EXPECT_EQ(Unfilter(out.data(), above, c.bpp), row);
}

INSTANTIATE_TEST_SUITE_P(EachType, RowFilterChoice,
                         ::testing::Values(FilterCase{"None_rgb8", 3, kFilterNone},
                                           FilterCase{"Sub_rgb8", 3, kFilterSub},
                                           FilterCase{"Up_rgb8", 3, kFilterUp},
                                           FilterCase{"Average_rgb8", 3, kFilterAverage},
                                           FilterCase{"Paeth_rgb8", 3, kFilterPaeth},
                                           FilterCase{"Sub_rgba16", 8, kFilterSub},
                                           FilterCase{"Average_rgb16", 6, kFilterAverage},
                                           FilterCase{"Paeth_rgba8", 4, kFilterPaeth}),
                         [](const auto& info) { return std::string(info.param.name); });

// On rows of every kind, the filtered bytes decode back to the row and the chosen type's sum is
// the least of the five.
TEST(RowFilter, ChoosesTheLeastSumAndDecodesBack) {
    std::mt19937 random(5);
    for (const size_t bpp : {size_t(1), size_t(3), size_t(4), size_t(6), size_t(8)})
        for (const size_t pixels : {size_t(1), size_t(2), size_t(50)})
            for (int trial = 0; trial < 20; ++trial) {
                const size_t n = bpp * pixels;
                // Smooth rows with some noise, so that every type gets chosen now and then.
                Bytes above(n), row(n);
                const int step = int(random() % 7) - 3, noise = int(random() % 9) + 1;
                for (size_t i = 0; i < n; ++i) {
                    above[i] = uint8_t(int(i / bpp) * step + int(random() % noise));
                    row[i] = uint8_t(above[i] + int(random() % noise) - noise / 2);
                }
                RowFilter filter(n, bpp);
                Bytes out(n + 1);
                const uint8_t type = filter.Filter(row.data(), above.data(), out.data());
                ASSERT_LE(type, kFilterPaeth);
                EXPECT_EQ(Unfilter(out.data(), above, bpp), row) << "bpp " << bpp;
                for (uint8_t other = kFilterNone; other <= kFilterPaeth; ++other)
                    EXPECT_LE(CostOf(type, row, above, bpp), CostOf(other, row, above, bpp))
                        << "type " << int(type) << " against " << int(other);
            }
}

// Stored rows of a picture: smooth with texture, different on every row.
Bytes Picture(int32_t height, size_t rowBytes) {
    Bytes p(size_t(height) * rowBytes);
    std::mt19937 random(3);
    for (int32_t y = 0; y < height; ++y)
        for (size_t i = 0; i < rowBytes; ++i)
            p[size_t(y) * rowBytes + i] = uint8_t((i / 3) * 2 + size_t(y) * 3 + random() % 5);
    return p;
}

StoredRow RowsOf(const Bytes& picture, size_t rowBytes) {
    return [&picture, rowBytes](int32_t y, uint8_t* row) {
        std::copy_n(picture.data() + size_t(y) * rowBytes, rowBytes, row);
    };
}

Bytes Compress(const ImageDataShape& shape, const Bytes& picture, unsigned threads,
               size_t pieceBytes, size_t* pieces = nullptr, int level = ImageDataLevel(8)) {
    Bytes stream;
    size_t count = 0;
    CompressImageData(
        shape, RowsOf(picture, shape.rowBytes),
        [&](const uint8_t* bytes, size_t n) {
            stream.insert(stream.end(), bytes, bytes + n);
            ++count;
        },
        {}, level, threads, pieceBytes);
    if (pieces) *pieces = count;
    return stream;
}

// zlib inflates the stream and checks its Adler-32; the rows are then unfiltered.
Bytes Decode(const Bytes& stream, const ImageDataShape& shape) {
    Bytes filtered(size_t(shape.height) * (shape.rowBytes + 1) + 1);
    uLongf length = uLongf(filtered.size());
    const int status = uncompress(filtered.data(), &length, stream.data(), uLong(stream.size()));
    if (status != Z_OK) throw std::runtime_error("inflate: " + std::to_string(status));
    if (length != filtered.size() - 1) throw std::runtime_error("wrong length");
    Bytes rows, above(shape.rowBytes, 0);
    for (int32_t y = 0; y < shape.height; ++y) {
        const uint8_t* line = filtered.data() + size_t(y) * (shape.rowBytes + 1);
        if (line[0] > kFilterPaeth) throw std::runtime_error("bad filter type");
        above = Unfilter(line, above, shape.pixelBytes);
        rows.insert(rows.end(), above.begin(), above.end());
    }
    return rows;
}

struct StreamCase {
    const char* name;
    int32_t width, height;
    size_t pixelBytes;
    size_t pieceBytes;
    unsigned threads;
    size_t pieces; // expected
    int level = ImageDataLevel(8);
};

class ImageDataStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(ImageDataStream, InflatesToTheRows) {
    const StreamCase c = GetParam();
    const ImageDataShape shape{c.height, size_t(c.width) * c.pixelBytes, c.pixelBytes};
    const Bytes picture = Picture(c.height, shape.rowBytes);
    size_t pieces = 0;
    const Bytes stream = Compress(shape, picture, c.threads, c.pieceBytes, &pieces, c.level);
    EXPECT_EQ(pieces, c.pieces);
    EXPECT_EQ(Decode(stream, shape), picture);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ImageDataStream,
    ::testing::Values(
        // One piece: the whole stream from one deflate call.
        StreamCase{"OnePiece", 40, 30, 3, kImageDataPieceBytes, 2, 1},
        StreamCase{"OneRow", 7, 1, 6, kImageDataPieceBytes, 2, 1},
        // A piece per row: each is primed with many rows above it.
        StreamCase{"RowPerPiece", 40, 30, 3, 1, 2, 30},
        StreamCase{"RowPerPieceOneThread", 40, 30, 8, 1, 1, 30},
        // Pieces of three rows (401 bytes each), the last one of two.
        StreamCase{"SeveralRows", 100, 47, 4, 1500, 2, 16},
        // Rows wider than deflate's window: one row above primes it.
        StreamCase{"WideRows", 6000, 9, 6, 40000, 2, 9},
        // The level 16-bit rows are written at (two rows a piece), and zlib's slower matcher.
        StreamCase{"SixteenBitLevel", 500, 40, 6, 9000, 2, 20, ImageDataLevel(16)},
        StreamCase{"LevelSix", 100, 47, 4, 1500, 2, 16, 6}),
    [](const auto& info) { return std::string(info.param.name); });

// Cut into pieces or not, on one thread or two, the stream inflates to the same rows and is
// about as small.
TEST(ImageDataStream, PiecesCostLittle) {
    const ImageDataShape shape{200, 300 * 3, 3};
    const Bytes picture = Picture(shape.height, shape.rowBytes);
    const Bytes whole = Compress(shape, picture, 1, kImageDataPieceBytes);
    const Bytes cut = Compress(shape, picture, 2, 20000);
    EXPECT_EQ(Decode(cut, shape), Decode(whole, shape));
    EXPECT_LT(double(cut.size()), 1.01 * double(whole.size()) + 100);
}

TEST(ImageDataStream, CancelStopsBeforeTheEnd) {
    const ImageDataShape shape{64, 50 * 3, 3};
    const Bytes picture = Picture(shape.height, shape.rowBytes);
    for (const int answerAfter : {0, 1, 5}) {
        int asked = 0;
        size_t delivered = 0;
        EXPECT_THROW(CompressImageData(
                         shape, RowsOf(picture, shape.rowBytes),
                         [&](const uint8_t*, size_t) { ++delivered; },
                         [&] { return asked++ >= answerAfter; }, ImageDataLevel(8), 2, 1),
                     Cancelled);
        EXPECT_LE(delivered, size_t(answerAfter)) << "answer after " << answerAfter;
    }
}

TEST(ImageDataStream, FailuresReachTheCaller) {
    const ImageDataShape shape{64, 50 * 3, 3};
    const Bytes picture = Picture(shape.height, shape.rowBytes);
    const StoredRow failing = [&](int32_t y, uint8_t* row) {
        if (y == 40) throw std::runtime_error("row 40 cannot be read");
        RowsOf(picture, shape.rowBytes)(y, row);
    };
    EXPECT_THROW(CompressImageData(
                     shape, failing, [](const uint8_t*, size_t) {}, {}, ImageDataLevel(8), 2, 1),
                 std::runtime_error);
    // A sink that cannot write stops the workers too.
    EXPECT_THROW(CompressImageData(
                     shape, RowsOf(picture, shape.rowBytes),
                     [](const uint8_t*, size_t) { throw std::runtime_error("disk full"); }, {},
                     ImageDataLevel(8), 2, 1),
                 std::runtime_error);
}

} // namespace

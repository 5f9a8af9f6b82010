// Per-thread last error code and the allocation helpers every reader shares.
#pragma once

#include "codec/ImageCodec.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace quillon::codec {

void SetCodecError(int code);

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};
using PixelBlock = std::unique_ptr<uint8_t, FreeDeleter>;

// A picture under construction; released automatically when a reader fails.
struct DecodedImage {
    PixelBlock pixels;
    int32_t width = 0;
    int32_t height = 0;
};

// Allocates a zero-filled width x height RGB block for code that cannot hold C++ objects (the
// library readers' error-exit paths); sets *code to 0, or 1 when the block is over the limit or
// cannot be had, or 3 for a size below 1.
uint8_t* AllocateRgbBlock(int64_t width, int64_t height, int* code) noexcept;

// Allocates a zero-filled width x height RGB block. Returns 0, or code 1 when the block would be
// larger than kMaxImageBytes or cannot be had; code 3 for a size below 1.
int AllocateRgb(int64_t width, int64_t height, DecodedImage& image);
// Ends a reader that decoded into a block of its own: on success the image takes the block, on
// failure the block is freed. Returns code.
int AdoptRgb(int code, uint8_t* block, int32_t width, int32_t height, DecodedImage& image);

// Whether a width x height RGB block stays within kMaxImageBytes. Readers ask before anything
// else about the size, so that an impossible size fails as out of memory (code 1).
bool FitsBlockLimit(uint64_t width, uint64_t height) noexcept;

// Below this many pixels a picture is cheap enough to allocate whatever its file claims.
inline constexpr uint64_t kAlwaysAllowedPixels = uint64_t{1} << 20;

// Whether `storedBytes` of coded data could possibly describe `units` decoded units when the
// coding yields at most `unitsPerByte` units per stored byte. Guards against tiny files that
// declare huge pictures.
// Products of header fields, saturating instead of wrapping.
inline uint64_t SatMul(uint64_t a, uint64_t b) {
    uint64_t r = 0;
    return __builtin_mul_overflow(a, b, &r) ? UINT64_MAX : r;
}

bool CouldHold(uint64_t units, uint64_t storedBytes, uint64_t unitsPerByte);

} // namespace quillon::codec

// Sizes a file's header claims, computed without overflow, and the most a compressed stream can
// expand to: a reader refuses a claim its data cannot hold before it allocates for it.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace quillon::filterhost {

// a × b, or nothing when the product does not fit in 64 bits.
inline std::optional<uint64_t> Product(uint64_t a, uint64_t b) {
    uint64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product)) return std::nullopt;
    return product;
}

// width × height pixels are at most limit.
inline bool PixelsWithin(uint64_t width, uint64_t height, int64_t limit) {
    const std::optional<uint64_t> pixels = Product(width, height);
    return limit >= 0 && pixels && *pixels <= uint64_t(limit);
}

// Deflate codes a match of 258 bytes in two bits at best.
inline constexpr uint64_t kMaxDeflateRatio = 1032;

// `stored` bytes of a stream that expands at most ratio:1 can give `claimed` bytes.
inline bool CanHold(uint64_t stored, uint64_t ratio, uint64_t claimed) {
    const std::optional<uint64_t> most = Product(stored, ratio);
    return !most || *most >= claimed;
}

// Throws HostFailure when the strips or tiles of the current directory, by their byte counts,
// cannot hold the samples the directory claims for its compression (compressions without a
// known bound pass).
void CheckTiffStoredBytes(TIFF* tiff, const std::filesystem::path& path);

} // namespace quillon::filterhost

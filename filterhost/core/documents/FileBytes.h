// Whole files as bytes, for the formats whose libraries decode from memory and encode to it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quillon::filterhost {

// The most a picture file read whole may hold.
inline constexpr uint64_t kMaxWholeFileBytes = uint64_t{1} << 30;

// Throws HostFailure naming the file when it cannot be read or is larger than the limit.
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& file);
// Throws HostFailure naming `shown` when the bytes cannot all be written.
void WriteFileBytes(const std::filesystem::path& file, const std::filesystem::path& shown,
                    const uint8_t* data, size_t size);

// An EXIF block as documents keep it (a TIFF header first): a leading "Exif\0\0" that some
// writers put before the header is left out.
std::vector<uint8_t> ExifFromTiffHeader(const uint8_t* data, size_t size);

} // namespace quillon::filterhost

// The plug-in's storage cell kept between runs of the host, one file per plug-in in the
// configuration folder, with the strength the host faded the run by.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::filterhost {

struct StoredSettings {
    std::vector<uint8_t> cell; // the bytes of the plug-in's storage cell
    double amount = 100;       // the host's fade, in percent
};

// A cell larger than this is no plug-in's settings block.
inline constexpr size_t kMaxStoredCellBytes = size_t{1} << 20;

// The file's bytes: a signature, a version, the amount, the cell's length and bytes, and a
// CRC-32 of all that precedes it.
std::string FormatStoredSettings(const StoredSettings& settings);
// Throws HostFailure saying what is wrong: a foreign or truncated file, a length or amount out of
// bounds, a checksum that does not match.
StoredSettings ParseStoredSettings(std::string_view bytes);

// Throws HostFailure naming the file when it cannot be read or is damaged.
StoredSettings ReadStoredSettings(const std::filesystem::path& file);
// Written whole or not at all, its folder made when missing.
void WriteStoredSettings(const StoredSettings& settings, const std::filesystem::path& file);

} // namespace quillon::filterhost

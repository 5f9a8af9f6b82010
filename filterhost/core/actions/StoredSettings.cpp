#include "core/actions/StoredSettings.h"

#include "core/HostFailure.h"
#include "core/documents/AtomicFile.h"

#include <zlib.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace quillon::filterhost {
namespace {

constexpr char kSignature[8] = {'Q', 'L', 'N', 'C', 'E', 'L', 'L', '\n'};
constexpr uint32_t kVersion = 1;
// Signature, version, amount (IEEE double), cell length; then the cell, then the CRC.
constexpr size_t kHeaderBytes = sizeof kSignature + 4 + 8 + 4;
constexpr size_t kCrcBytes = 4;

void PutLittle(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += char(uint8_t(value >> (8 * i)));
}

uint64_t GetLittle(std::string_view bytes, size_t at, int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value |= uint64_t(uint8_t(bytes[at + size_t(i)])) << (8 * i);
    return value;
}

uint32_t Crc32(std::string_view bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes lengths as uInt; the bytes are bounded well below that.
    return uint32_t(crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size())));
}

} // namespace

std::string FormatStoredSettings(const StoredSettings& settings) {
    if (settings.cell.size() > kMaxStoredCellBytes)
        throw HostFailure("the plug-in's settings are too large to keep (" +
                          std::to_string(settings.cell.size()) + " bytes)");
    std::string out(kSignature, sizeof kSignature);
    PutLittle(out, kVersion, 4);
    uint64_t amountBits = 0;
    std::memcpy(&amountBits, &settings.amount, sizeof amountBits);
    PutLittle(out, amountBits, 8);
    PutLittle(out, settings.cell.size(), 4);
    out.append(settings.cell.begin(), settings.cell.end());
    PutLittle(out, Crc32(out), 4);
    return out;
}

StoredSettings ParseStoredSettings(std::string_view bytes) {
    if (bytes.size() < sizeof kSignature ||
        std::memcmp(bytes.data(), kSignature, sizeof kSignature) != 0)
        throw HostFailure("not a quillon settings file");
    if (bytes.size() < kHeaderBytes + kCrcBytes) throw HostFailure("settings file cut short");
    const uint64_t version = GetLittle(bytes, sizeof kSignature, 4);
    if (version != kVersion)
        throw HostFailure("settings file version " + std::to_string(version) + " is not supported");
    const uint64_t length = GetLittle(bytes, kHeaderBytes - 4, 4);
    if (length > kMaxStoredCellBytes)
        throw HostFailure("settings file claims " + std::to_string(length) + " bytes of settings");
    // Both sides are bounded: length by the check above, size by the check before.
    if (bytes.size() - kHeaderBytes - kCrcBytes != length)
        throw HostFailure("settings file holds " +
                          std::to_string(bytes.size() - kHeaderBytes - kCrcBytes) +
                          " bytes of settings where its header says " + std::to_string(length));
    const size_t crcAt = kHeaderBytes + size_t(length);
    if (GetLittle(bytes, crcAt, 4) != Crc32(bytes.substr(0, crcAt)))
        throw HostFailure("settings file damaged (checksum mismatch)");
    StoredSettings settings;
    const uint64_t amountBits = GetLittle(bytes, sizeof kSignature + 4, 8);
    std::memcpy(&settings.amount, &amountBits, sizeof amountBits);
    if (!std::isfinite(settings.amount) || settings.amount < 0 || settings.amount > 100)
        throw HostFailure("settings file holds an amount out of 0..100");
    const auto* cell = reinterpret_cast<const uint8_t*>(bytes.data() + kHeaderBytes);
    settings.cell.assign(cell, cell + length);
    return settings;
}

StoredSettings ReadStoredSettings(const std::filesystem::path& file) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error) throw HostFailure("cannot read " + file.string() + ": " + error.message());
    if (size > kHeaderBytes + kMaxStoredCellBytes + kCrcBytes)
        throw HostFailure(file.string() + ": too large for a settings file");
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    if (!in) throw HostFailure("cannot read " + file.string());
    try {
        return ParseStoredSettings(bytes.str());
    } catch (const HostFailure& e) {
        throw HostFailure(file.string() + ": " + e.what());
    }
}

void WriteStoredSettings(const StoredSettings& settings, const std::filesystem::path& file) {
    const std::string bytes = FormatStoredSettings(settings);
    std::filesystem::create_directories(file.parent_path());
    WriteFileAtomically(file, bytes);
}

} // namespace quillon::filterhost

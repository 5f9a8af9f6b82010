#include "core/documents/FileBytes.h"

#include "core/HostFailure.h"

#include <cstring>
#include <fstream>

namespace quillon::filterhost {

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& file) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(file, error);
    if (error) throw HostFailure("cannot open " + file.string());
    if (size > kMaxWholeFileBytes)
        throw HostFailure(file.string() + ": larger than the " +
                          std::to_string(kMaxWholeFileBytes >> 20) + " MiB the host reads");
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes(size_t(size), 0);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!in || size_t(in.gcount()) != bytes.size())
        throw HostFailure("cannot read " + file.string());
    return bytes;
}

void WriteFileBytes(const std::filesystem::path& file, const std::filesystem::path& shown,
                    const uint8_t* data, size_t size) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    out.flush();
    if (!out) throw HostFailure("cannot write " + shown.string());
}

std::vector<uint8_t> ExifFromTiffHeader(const uint8_t* data, size_t size) {
    if (size >= 6 && std::memcmp(data, "Exif\0\0", 6) == 0) data += 6, size -= 6;
    return {data, data + size};
}

} // namespace quillon::filterhost

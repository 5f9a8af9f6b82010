// Byte sources behind the opaque ImageSource handle of the public interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon::codec {

struct ImageSource {
    enum class Kind { Memory, Handle, File };

    static constexpr uint32_t kMagic = 0x51534f55; // "QSOU"

    uint32_t magic = kMagic;
    Kind kind = Kind::Memory;
    const uint8_t* bytes = nullptr; // memory
    size_t byteCount = 0;
    int fd = -1;      // handle, file
    std::string name; // file only
    uint64_t position = 0;

    ~ImageSource();

    bool Valid() const;
    // Reads up to n bytes at the current position; returns how many were read.
    size_t ReadUpTo(void* dst, size_t n);
    bool ReadExact(void* dst, size_t n);
    // whence: SEEK_SET, SEEK_CUR or SEEK_END. Positions past the end are refused.
    bool Seek(int64_t offset, int whence);
    uint64_t Tell() const { return position; }
    // False when the size cannot be learnt (e.g. a pipe).
    bool Size(uint64_t* size) const;
    bool HasName() const { return kind == Kind::File; }
};

} // namespace quillon::codec

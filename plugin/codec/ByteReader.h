// The one bounded reader every hand-written decoder uses. Reading past the end never touches
// memory outside the buffer: it yields zeros and leaves a sticky "truncated" state that the
// reader turns into its error code.
#pragma once

#include "codec/ImageSource.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillon::codec {

class ByteReader {
  public:
    explicit ByteReader(ImageSource& source);

    uint8_t U8();
    uint16_t U16LE();
    uint16_t U16BE();
    uint32_t U32LE();
    uint32_t U32BE();

    // Reads exactly n bytes; on a short read the rest of dst is zeroed and the reader truncated.
    bool Read(void* dst, size_t n);
    // Reads what is there, up to n bytes; never marks the reader truncated.
    size_t ReadUpTo(void* dst, size_t n);
    bool Skip(uint64_t n);
    bool Seek(uint64_t position);

    uint64_t Tell() const { return bufferStart_ + bufferPos_; }
    uint64_t Size() const { return size_; }
    uint64_t Remaining() const { return Tell() < size_ ? size_ - Tell() : 0; }
    bool Truncated() const { return truncated_; }

  private:
    bool Refill();

    ImageSource& source_;
    uint64_t size_ = 0;
    uint64_t bufferStart_ = 0; // source position of buffer_[0]
    size_t bufferPos_ = 0;
    size_t bufferLen_ = 0;
    bool truncated_ = false;
    std::array<uint8_t, 16384> buffer_{};
};

} // namespace quillon::codec

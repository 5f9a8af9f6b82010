#include "codec/ByteReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace quillon::codec {

ByteReader::ByteReader(ImageSource& source) : source_(source) {
    if (!source_.Size(&size_)) size_ = 0;
    bufferStart_ = source_.Tell();
}

bool ByteReader::Refill() {
    bufferStart_ += bufferLen_;
    bufferPos_ = 0;
    bufferLen_ = 0;
    if (bufferStart_ >= size_) return false;
    if (source_.Tell() != bufferStart_ &&
        !source_.Seek(static_cast<int64_t>(bufferStart_), SEEK_SET)) {
        return false;
    }
    bufferLen_ = source_.ReadUpTo(buffer_.data(), buffer_.size());
    return bufferLen_ > 0;
}

uint8_t ByteReader::U8() {
    if (bufferPos_ == bufferLen_ && !Refill()) {
        truncated_ = true;
        return 0;
    }
    return buffer_[bufferPos_++];
}

uint16_t ByteReader::U16LE() {
    uint16_t lo = U8();
    return static_cast<uint16_t>(lo | (U8() << 8));
}

uint16_t ByteReader::U16BE() {
    uint16_t hi = U8();
    return static_cast<uint16_t>((hi << 8) | U8());
}

uint32_t ByteReader::U32LE() {
    uint32_t lo = U16LE();
    return lo | (static_cast<uint32_t>(U16LE()) << 16);
}

uint32_t ByteReader::U32BE() {
    uint32_t hi = U16BE();
    return (hi << 16) | U16BE();
}

size_t ByteReader::ReadUpTo(void* dst, size_t n) {
    auto* out = static_cast<uint8_t*>(dst);
    size_t done = 0;
    while (done < n) {
        if (bufferPos_ == bufferLen_ && !Refill()) break;
        size_t chunk = std::min(n - done, bufferLen_ - bufferPos_);
        std::memcpy(out + done, buffer_.data() + bufferPos_, chunk);
        bufferPos_ += chunk;
        done += chunk;
    }
    return done;
}

bool ByteReader::Read(void* dst, size_t n) {
    size_t done = ReadUpTo(dst, n);
    if (done == n) return true;
    std::memset(static_cast<uint8_t*>(dst) + done, 0, n - done);
    truncated_ = true;
    return false;
}

bool ByteReader::Seek(uint64_t position) {
    if (position > size_) {
        truncated_ = true;
        return false;
    }
    if (position >= bufferStart_ && position <= bufferStart_ + bufferLen_) {
        bufferPos_ = static_cast<size_t>(position - bufferStart_);
        return true;
    }
    bufferStart_ = position;
    bufferPos_ = 0;
    bufferLen_ = 0;
    return true;
}

bool ByteReader::Skip(uint64_t n) {
    uint64_t target = 0;
    if (__builtin_add_overflow(Tell(), n, &target) || target > size_) {
        truncated_ = true;
        return false;
    }
    return Seek(target);
}

} // namespace quillon::codec

// Reads little-endian values from a module's resource; every read is checked against the end
// first, and a short resource fails naming the resource and the field.
#pragma once

#include "core/HostFailure.h"

#include <cstdint>
#include <span>
#include <string>

namespace quillon::filterhost {

class ResourceReader {
  public:
    // resource names the format in messages ("PIPL", "terminology").
    ResourceReader(std::span<const uint8_t> bytes, const char* resource)
        : bytes_(bytes), resource_(resource) {}

    size_t Left() const { return bytes_.size() - pos_; }
    void Need(size_t n, const char* what) const {
        if (n > Left()) throw HostFailure(std::string("truncated ") + resource_ + ": " + what);
    }
    uint8_t U8(const char* what) {
        Need(1, what);
        return bytes_[pos_++];
    }
    uint16_t U16(const char* what) {
        Need(2, what);
        uint16_t v = uint16_t(bytes_[pos_] | bytes_[pos_ + 1] << 8);
        pos_ += 2;
        return v;
    }
    uint32_t U32(const char* what) {
        Need(4, what);
        uint32_t v = uint32_t(bytes_[pos_]) | uint32_t(bytes_[pos_ + 1]) << 8 |
                     uint32_t(bytes_[pos_ + 2]) << 16 | uint32_t(bytes_[pos_ + 3]) << 24;
        pos_ += 4;
        return v;
    }
    std::span<const uint8_t> Bytes(size_t n, const char* what) {
        Need(n, what);
        auto out = bytes_.subspan(pos_, n);
        pos_ += n;
        return out;
    }
    // One length byte, then the text.
    std::string PascalString(const char* what) {
        const uint8_t length = U8(what);
        auto text = Bytes(length, what);
        return {text.begin(), text.end()};
    }

  private:
    std::span<const uint8_t> bytes_;
    const char* resource_;
    size_t pos_ = 0;
};

} // namespace quillon::filterhost

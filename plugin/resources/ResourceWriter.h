// Little-endian byte writer for the module's resource formats.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace quillon::resources {

class ResourceWriter {
  public:
    void U8(uint8_t v) { bytes_.push_back(v); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        U16(static_cast<uint16_t>(v));
        U16(static_cast<uint16_t>(v >> 16));
    }
    // Four-character codes are 32-bit integers, so their letters land reversed.
    void FourCC(const char (&code)[5]) {
        U32(uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
            uint32_t(uint8_t(code[2])) << 8 | uint32_t(uint8_t(code[3])));
    }
    // One length byte, then the text.
    void PascalString(std::string_view text) {
        U8(static_cast<uint8_t>(text.size()));
        Text(text);
    }
    void CString(std::string_view text) {
        Text(text);
        U8(0);
    }
    void Text(std::string_view text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }
    void Append(const std::vector<uint8_t>& more) {
        bytes_.insert(bytes_.end(), more.begin(), more.end());
    }
    void PadTo4() {
        while (bytes_.size() % 4 != 0)
            U8(0);
    }
    size_t Size() const { return bytes_.size(); }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

  private:
    std::vector<uint8_t> bytes_;
};

// One property of a registration resource: vendor '8BIM', key, id 0, the padded length, then the
// data padded with zeros to a multiple of four.
inline void WriteProperty(ResourceWriter& out, const char (&key)[5],
                          const std::function<void(ResourceWriter&)>& write) {
    ResourceWriter data;
    write(data);
    data.PadTo4();
    out.FourCC("8BIM");
    out.FourCC(key);
    out.U32(0);
    out.U32(static_cast<uint32_t>(data.Size()));
    out.Append(data.Take());
}

} // namespace quillon::resources

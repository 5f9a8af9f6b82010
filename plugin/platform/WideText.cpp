// The sample path's wide characters and UTF-8, the form hosts and descriptors exchange.
#include "platform/Platform.h"

namespace quillon::platform {

bool Utf8ToWide(std::string_view text, wchar_t* out, size_t capacity) {
    if (capacity == 0) return false;
    size_t written = 0;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80         ? 1
                              : (lead >> 5) == 6  ? 2
                              : (lead >> 4) == 14 ? 3
                              : (lead >> 3) == 30 ? 4
                                                  : 0;
        if (length == 0 || i + length > text.size() || written + 1 >= capacity) {
            out[0] = 0;
            return false;
        }
        char32_t code = length == 1 ? lead : lead & (0x7f >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80) {
                out[0] = 0;
                return false;
            }
            code = code << 6 | (next & 0x3f);
        }
        out[written++] = static_cast<wchar_t>(code);
        i += length;
    }
    out[written] = 0;
    return true;
}

std::string WideToUtf8(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) {
        const auto code = static_cast<char32_t>(*text);
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xc0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xe0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3f));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        }
    }
    return out;
}

} // namespace quillon::platform

#include "core/suites/Descriptor.h"

#include "core/HostFailure.h"

#include <utility>

namespace quillon::filterhost {

const DescriptorItem* Descriptor::Find(DescriptorKeyID key) const {
    for (const auto& item : items)
        if (item.key == key) return &item;
    return nullptr;
}

void Descriptor::Put(DescriptorItem item) {
    for (auto& existing : items)
        if (existing.key == item.key) {
            existing = std::move(item);
            return;
        }
    items.push_back(std::move(item));
}

std::string FourCCText(uint32_t code) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i)
        s[size_t(i)] = char(code >> (24 - 8 * i));
    return s;
}

uint32_t FourCCFromText(const std::string& text) {
    if (text.size() != 4)
        throw HostFailure("a four-character code has four characters: \"" + text + "\"");
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 |
           uint32_t(uint8_t(text[2])) << 8 | uint32_t(uint8_t(text[3]));
}

} // namespace quillon::filterhost

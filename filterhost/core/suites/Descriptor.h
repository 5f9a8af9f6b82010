// Descriptors: typed key/value sets the plug-in records and the host stores, in the host's key
// order (the order the values were put).
#pragma once

#include "pluginapi/PIActions.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace quillon::filterhost {

struct DescriptorItem {
    DescriptorKeyID key = 0;
    DescriptorTypeID type = 0;
    std::variant<bool, double, int32_t, std::string> value;
};

struct Descriptor {
    std::vector<DescriptorItem> items;

    const DescriptorItem* Find(DescriptorKeyID key) const;
    void Put(DescriptorItem item); // replaces an item of the same key in place
};

std::string FourCCText(uint32_t code);
uint32_t FourCCFromText(const std::string& text); // throws HostFailure unless 4 characters

} // namespace quillon::filterhost

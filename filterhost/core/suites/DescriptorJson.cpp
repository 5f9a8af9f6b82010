#include "core/suites/DescriptorJson.h"

#include "core/HostFailure.h"

#include <nlohmann/json.hpp>

#include <cstdint>

namespace quillon::filterhost {

using nlohmann::json;

std::string DescriptorToJson(const Descriptor& descriptor) {
    json items = json::array();
    for (const auto& item : descriptor.items) {
        json entry = {{"key", FourCCText(item.key)}, {"type", FourCCText(item.type)}};
        std::visit([&entry](const auto& v) { entry["value"] = v; }, item.value);
        items.push_back(entry);
    }
    return items.dump(2);
}

Descriptor DescriptorFromJson(const std::string& text) {
    Descriptor descriptor;
    try {
        const json items = json::parse(text);
        if (!items.is_array()) throw HostFailure("a descriptor is a list of items");
        for (const auto& entry : items) {
            if (!entry.is_object() || !entry.contains("key") || !entry.contains("type") ||
                !entry.contains("value"))
                throw HostFailure("a descriptor item needs a key, a type and a value");
            DescriptorItem item;
            item.key = FourCCFromText(entry.at("key").get<std::string>());
            item.type = FourCCFromText(entry.at("type").get<std::string>());
            const json& value = entry.at("value");
            // Values are checked before conversion: a number too large for 32 bits would
            // otherwise convert with undefined behaviour.
            auto fail = [&item] {
                throw HostFailure("descriptor value of '" + FourCCText(item.key) +
                                  "' has the wrong type");
            };
            switch (item.type) {
            case typeBoolean:
                if (!value.is_boolean()) fail();
                item.value = value.get<bool>();
                break;
            case typeFloat:
                if (!value.is_number()) fail();
                item.value = value.get<double>();
                break;
            case typeInteger:
            case typeEnumerated:
                if (!value.is_number_integer() || value.get<int64_t>() < INT32_MIN ||
                    value.get<int64_t>() > INT32_MAX ||
                    (value.is_number_unsigned() && value.get<uint64_t>() > INT32_MAX))
                    fail();
                item.value = int32_t(value.get<int64_t>());
                break;
            case typeChar:
            case typePath:
                if (!value.is_string()) fail();
                item.value = value.get<std::string>();
                break;
            default:
                throw HostFailure("unknown descriptor value type '" + FourCCText(item.type) + "'");
            }
            descriptor.Put(std::move(item));
        }
    } catch (const json::exception& e) {
        throw HostFailure(std::string("malformed descriptor: ") + e.what());
    }
    return descriptor;
}

} // namespace quillon::filterhost

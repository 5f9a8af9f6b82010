#include "gimp/GimpParameters.h"

#include "core/HostFailure.h"
#include "core/looks/ColorsText.h"
#include "core/suites/DescriptorJson.h"
#include "pluginapi/PIActions.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace quillon::gimp {
namespace {

using filterhost::DescriptorItem;
using filterhost::HostFailure;
using filterhost::TerminologyParameter;

const TerminologyParameter& Declared(const std::vector<TerminologyParameter>& declared,
                                     const std::string& name, uint32_t type) {
    for (const TerminologyParameter& p : declared) {
        if (p.name != name) continue;
        if (p.type != type)
            throw HostFailure("the filter declares \"" + name + "\" as '" +
                              filterhost::FourCCText(p.type) + "', not '" +
                              filterhost::FourCCText(type) + "'");
        return p;
    }
    throw HostFailure("the filter declares no parameter \"" + name + "\"");
}

} // namespace

std::string CheckCallValues(const CallValues& v) {
    if (!std::isfinite(v.fuzziness) || v.fuzziness < 1 || v.fuzziness > 10)
        return "Fuzziness must lie from 1 to 10";
    if (!std::isfinite(v.amount) || v.amount < 0 || v.amount > 100)
        return "Amount must lie from 0 to 100";
    try {
        filterhost::CheckColorsText(v.colors);
    } catch (const HostFailure& e) {
        return std::string("Colors: ") + e.what();
    }
    return {};
}

filterhost::Descriptor PlaybackOf(const CallValues& v,
                                  const std::vector<TerminologyParameter>& declared) {
    filterhost::Descriptor d;
    d.Put({Declared(declared, "Colors", typeChar).key, typeChar, v.colors});
    d.Put({Declared(declared, "Fuzziness", typeFloat).key, typeFloat, v.fuzziness});
    d.Put({Declared(declared, "Preserve Luminosity", typeBoolean).key, typeBoolean,
           v.preserveLuminosity});
    return d;
}

std::string LastUseText(const LastUse& use) {
    nlohmann::json text;
    text["amount"] = use.amount;
    text["parameters"] = nlohmann::json::parse(filterhost::DescriptorToJson(use.parameters));
    return text.dump();
}

std::optional<LastUse> ReadLastUse(const std::string& text) {
    try {
        const nlohmann::json j = nlohmann::json::parse(text);
        LastUse use;
        use.amount = j.at("amount").get<double>();
        if (!std::isfinite(use.amount) || use.amount < 0 || use.amount > 100) return std::nullopt;
        use.parameters = filterhost::DescriptorFromJson(j.at("parameters").dump());
        return use;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace quillon::gimp

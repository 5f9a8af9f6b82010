#include "cli/FilterOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace quillon::cli {
namespace {

using filterhost::Descriptor;
using filterhost::DescriptorItem;
using filterhost::FourCCText;
using filterhost::TerminologyParameter;

// A parameter name as an option spells it: lower case, words joined by hyphens.
std::string OptionSpelling(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            out += char(std::tolower(static_cast<unsigned char>(c)));
        else if (!out.empty() && out.back() != '-')
            out += '-';
    }
    while (!out.empty() && out.back() == '-')
        out.pop_back();
    return out;
}

// The declared parameter a name means: its name in any case with spaces or hyphens, or its key.
const TerminologyParameter* Find(const std::vector<TerminologyParameter>& declared,
                                 const std::string& name) {
    for (const TerminologyParameter& p : declared)
        if (OptionSpelling(p.name) == OptionSpelling(name) || FourCCText(p.key) == name) return &p;
    return nullptr;
}

std::string DeclaredNames(const std::vector<TerminologyParameter>& declared) {
    std::string names;
    for (const TerminologyParameter& p : declared)
        names += (names.empty() ? "" : ", ") + p.name;
    return names.empty() ? "none" : names;
}

std::optional<bool> ParseSwitch(std::string value) {
    std::transform(value.begin(), value.end(), value.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    for (const char* on : {"on", "true", "yes", "1"})
        if (value == on) return true;
    for (const char* off : {"off", "false", "no", "0"})
        if (value == off) return false;
    return std::nullopt;
}

std::optional<double> ParseNumber(const std::string& value) {
    if (value.empty() || std::isspace(static_cast<unsigned char>(value.front()))) return {};
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    if (end != value.c_str() + value.size() || !std::isfinite(number)) return {};
    return number;
}

std::optional<int32_t> ParseInteger(const std::string& value) {
    int32_t number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size()) return {};
    return number;
}

// The value converted by the parameter's declared type; `given` names the option in messages.
DescriptorItem Convert(const TerminologyParameter& p, const std::string& value,
                       const std::string& given) {
    auto refuse = [&] {
        return UsageError(given + ": \"" + p.name + "\" takes " + TypeInWords(p.type) + ", not \"" +
                          value + "\"");
    };
    switch (p.type) {
    case typeBoolean:
        if (auto on = ParseSwitch(value)) return {p.key, typeBoolean, *on};
        throw refuse();
    case typeFloat:
        if (auto number = ParseNumber(value)) return {p.key, typeFloat, *number};
        throw refuse();
    case typeInteger:
        if (auto number = ParseInteger(value)) return {p.key, typeInteger, *number};
        throw refuse();
    case typeChar:
        return {p.key, typeChar, value};
    case typePath:
        if (value.empty()) throw refuse();
        return {p.key, typePath, std::filesystem::absolute(value).string()};
    default:
        throw UsageError(given + ": \"" + p.name + "\" is of type '" + FourCCText(p.type) +
                         "', which the command line cannot give");
    }
}

struct Convenience {
    const char* option;
    const char* parameter; // the declared name it stands for
    std::optional<std::string> FilterOptions::*value;
    const char* help;
};

constexpr Convenience kConvenience[] = {
    {"--colors", "Colors", &FilterOptions::colors,
     "adjustments as a Colors text, e.g. \"Lab[20000,16384,16384]:Lab[22000,17000,15000] \""},
    {"--fuzziness", "Fuzziness", &FilterOptions::fuzziness, "reach of each adjustment, 1 to 10"},
    {"--preserve-luminosity", "Preserve Luminosity", &FilterOptions::preserveLuminosity,
     "on or off"},
    {"--sample", "Sample File", &FilterOptions::sample,
     "the sample picture to record with the action"},
};

} // namespace

std::string TypeInWords(uint32_t type) {
    switch (type) {
    case typeBoolean:
        return "on or off";
    case typeFloat:
        return "a number";
    case typeInteger:
        return "a whole number";
    case typeChar:
        return "text";
    case typePath:
        return "a file";
    default:
        return "'" + FourCCText(type) + "'";
    }
}

void AddFilterOptions(CLI::App& command, FilterOptions& options) {
    for (const Convenience& c : kConvenience) {
        CLI::Option* option = command.add_option(c.option, options.*c.value, c.help);
        // The user's scales, checked before any module is loaded.
        if (c.value == &FilterOptions::fuzziness) option->check(CLI::Range(1.0, 10.0));
        if (c.value == &FilterOptions::preserveLuminosity)
            option->check(CLI::IsMember({"on", "off"}));
    }
    // One NAME=VALUE after each --set, so the pictures that follow stay positional.
    command
        .add_option("--set", options.set,
                    "NAME=VALUE: any parameter the filter declares (quillon info lists them)")
        ->allow_extra_args(false);
}

std::optional<Descriptor> FilterDescriptor(const FilterOptions& options,
                                           const filterhost::PluginModule& module,
                                           std::optional<Descriptor> base) {
    bool any = !options.set.empty();
    for (const Convenience& c : kConvenience)
        any |= (options.*c.value).has_value();
    if (!any) return base;

    const std::vector<TerminologyParameter> declared = module.Parameters();
    auto put = [&](const std::string& name, const std::string& value, const std::string& given) {
        const TerminologyParameter* p = Find(declared, name);
        if (!p)
            throw UsageError(given + ": " + module.Pipl().name + " declares no parameter \"" +
                             name + "\" (it takes " + DeclaredNames(declared) + ")");
        if (!base) base.emplace();
        base->Put(Convert(*p, value, given));
    };
    for (const Convenience& c : kConvenience)
        if (const auto& value = options.*c.value) put(c.parameter, *value, c.option);
    for (const std::string& setting : options.set) {
        const size_t equals = setting.find('=');
        if (equals == std::string::npos || equals == 0)
            throw UsageError("--set " + setting + ": NAME=VALUE expected");
        put(setting.substr(0, equals), setting.substr(equals + 1), "--set " + setting);
    }
    return base;
}

} // namespace quillon::cli

#include "cli/FilterOptions.h"

#include "core/looks/ColorsText.h"

#include "core/HostFailure.h"
#include "core/actions/ActionFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <sstream>

namespace quillon::cli {
namespace {

using namespace filterhost;

// The convenience options, each standing for the parameter a filter declares under that name.
struct Convenience {
    const char* option;
    const char* parameter;
};
constexpr Convenience kConvenience[] = {{"--preserve-luminosity", "Preserve Luminosity"},
                                        {"--fuzziness", "Fuzziness"},
                                        {"--sample", "Sample File"},
                                        {"--colors", "Colors"}};

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

// The checks a parameter's value must pass beyond its type, the same whether a convenience option
// or --set names it: a fuzziness within 1..10, a sample file that exists, a sound Colors text.
void CheckValue(const TerminologyParameter& p, const DescriptorItem& item, const std::string& value,
                const std::string& given) {
    if (p.name == "Fuzziness") {
        const double* fuzziness = std::get_if<double>(&item.value);
        if (fuzziness && (*fuzziness < 1 || *fuzziness > 10))
            throw UsageError(given + ": expected a fuzziness from 1 to 10, got \"" + value + "\"");
    } else if (p.name == "Sample File") {
        std::error_code error;
        if (!std::filesystem::is_regular_file(value, error))
            throw UsageError(given + ": no sample file " + value);
    } else if (p.name == "Colors") {
        try {
            CheckColorsText(value);
        } catch (const HostFailure& e) {
            throw HostFailure("bad parameters in " + given + ": " + e.what());
        }
    }
}

// Full precision, so that the declared type reads back the number given.
std::string NumberText(double value) {
    std::ostringstream text;
    text << std::setprecision(17) << value;
    return text.str();
}

// A number within bounds; CLI11's range check would let "nan" through.
CLI::Validator FiniteRange(double low, double high, const std::string& what) {
    return CLI::Validator(
        [=](const std::string& text) -> std::string {
            const std::string refusal = "expected " + what + " from " +
                                        CLI::detail::to_string(low) + " to " +
                                        CLI::detail::to_string(high) + ", got \"" + text + "\"";
            size_t used = 0;
            double v = 0;
            try {
                v = std::stod(text, &used);
            } catch (const std::exception&) {
                return refusal;
            }
            return used != text.size() || !std::isfinite(v) || v < low || v > high ? refusal : "";
        },
        "NUMBER");
}

std::string MapLabel(const FilterOptions::ColorsPart& part) {
    return "item " + std::to_string(part.item) + " \"" + part.text + "\"";
}

} // namespace

const TerminologyParameter* FindDeclared(const std::vector<TerminologyParameter>& declared,
                                         const std::string& name) {
    for (const TerminologyParameter& p : declared)
        if (OptionSpelling(p.name) == OptionSpelling(name) || FourCCText(p.key) == name) return &p;
    return nullptr;
}

void AddFilterOptions(CLI::App& command, FilterOptions& o) {
    // Repeatable, one value each time: the pictures after them stay pictures.
    command
        .add_option("--colors", o.colorsTexts,
                    "adjustments as a Colors text, e.g. "
                    "\"Lab[20000,16384,16384]:Lab[22000,17000,15000] \"")
        ->allow_extra_args(false);
    command
        .add_option("--map", o.mapTexts,
                    "move a colour to another: FROM:TO, each #rrggbb, rgb(R,G,B) (0..255), "
                    "lab(L,a,b) (D50) or, for FROM, @X,Y (the picture's colour there)")
        ->allow_extra_args(false);
    command.add_option("--fuzziness", o.fuzziness, "reach of each adjustment, 1 to 10")
        ->check(FiniteRange(1, 10, "a fuzziness"));
    command.add_option("--preserve-luminosity", o.preserveLuminosity, "on or off")
        ->check(CLI::IsMember({"on", "off"}));
    command.add_option("--sample", o.sample, "the sample picture to record with the action")
        ->check(CLI::ExistingFile);
    // One NAME=VALUE after each --set, so the pictures that follow stay positional.
    command
        .add_option("--set", o.set,
                    "NAME=VALUE: any parameter the filter declares (quillon info lists them)")
        ->allow_extra_args(false);
    command.add_option("--action", o.action, "replay a recorded action (JSON file)")
        ->check(CLI::ExistingFile);
    command.add_flag("--last", o.last, "repeat the previous use's settings");
    command
        .add_option("--amount", o.amount,
                    "strength of the filter in percent (default: the amount --action or --last "
                    "recorded, else 100)")
        ->check(FiniteRange(0, 100, "a percentage"));
    command.add_option("--filter", o.filter, "menu name of the filter to use");
}

void GatherFilterOptions(const CLI::App& command, FilterOptions& o) {
    o.colors.clear();
    const CLI::Option* colors = command.get_option("--colors");
    const CLI::Option* map = command.get_option("--map");
    size_t nextColors = 0, nextMap = 0;
    for (const CLI::Option* option : command.parse_order()) {
        if (option == colors && nextColors < o.colorsTexts.size()) {
            o.colors.push_back({o.colorsTexts[nextColors++], std::nullopt, 0});
        } else if (option == map && nextMap < o.mapTexts.size()) {
            FilterOptions::ColorsPart part{o.mapTexts[nextMap++], std::nullopt, int(nextMap)};
            try {
                part.mapping = ParseColorMapping(part.text);
            } catch (const NotationError& e) {
                throw CLI::ValidationError("--map", MapLabel(part) + ": " + e.what());
            }
            o.colors.push_back(std::move(part));
        }
    }
}

bool ReadsPicture(const FilterOptions& o) {
    for (const auto& part : o.colors)
        if (part.mapping && NeedsPicture(*part.mapping)) return true;
    return false;
}

std::optional<Descriptor> PlaybackDescriptor(const FilterOptions& o, const PluginModule& module,
                                             const Document& document,
                                             EyedropperSample eyedropper) {
    std::optional<Descriptor> playback;
    if (o.action) {
        Action action = ReadActionFile(*o.action);
        if (action.pluginKey != module.Pipl().uniqueString)
            throw HostFailure(o.action->string() + ": recorded by another plug-in (" +
                              (action.pluginName.empty() ? action.pluginKey : action.pluginName) +
                              ")");
        playback = std::move(action.descriptor);
    }
    if (!o.preserveLuminosity && !o.fuzziness && !o.sample && o.colors.empty() && o.set.empty())
        return playback;
    const std::vector<TerminologyParameter> declared = module.Parameters();
    auto put = [&](const std::string& name, const std::string& value, const std::string& given) {
        const TerminologyParameter* p = FindDeclared(declared, name);
        if (!p)
            throw UsageError(given + ": " + module.Pipl().name + " declares no parameter \"" +
                             name + "\" (it takes " + DeclaredNames(declared) + ")");
        if (!playback) playback.emplace();
        DescriptorItem item = Convert(*p, value, given);
        CheckValue(*p, item, value, given);
        playback->Put(std::move(item));
    };
    if (o.preserveLuminosity)
        put("Preserve Luminosity", *o.preserveLuminosity, "--preserve-luminosity");
    if (o.fuzziness) put("Fuzziness", NumberText(*o.fuzziness), "--fuzziness");
    if (o.sample) put("Sample File", o.sample->string(), "--sample");
    if (!o.colors.empty()) {
        std::string text;
        for (const auto& part : o.colors) {
            if (!part.mapping) {
                text += part.text;
                if (!text.empty() && text.back() != ' ') text += ' ';
                continue;
            }
            try {
                text += ColorsItem(ResolveMapping(*part.mapping, document, eyedropper));
            } catch (const HostFailure& e) {
                throw HostFailure("--map " + MapLabel(part) + ": " + e.what());
            }
        }
        put("Colors", text, "--colors");
    }
    for (const std::string& setting : o.set) {
        const size_t equals = setting.find('=');
        if (equals == std::string::npos || equals == 0)
            throw UsageError("--set " + setting + ": NAME=VALUE expected");
        put(setting.substr(0, equals), setting.substr(equals + 1), "--set " + setting);
    }
    return playback;
}

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

std::string DescribeParameters(const Descriptor& recorded,
                               const std::vector<TerminologyParameter>& declared) {
    std::ostringstream text;
    const char* separator = "";
    for (const TerminologyParameter& p : declared) {
        const DescriptorItem* item = recorded.Find(p.key);
        if (!item) continue;
        const std::string value = std::visit(
            [](const auto& v) -> std::string {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, bool>)
                    return v ? "on" : "off";
                else if constexpr (std::is_same_v<T, std::string>)
                    return "'" + v + "'";
                else if constexpr (std::is_same_v<T, double>) {
                    std::ostringstream number;
                    number << v;
                    return number.str();
                } else
                    return std::to_string(v);
            },
            item->value);
        const auto convenience =
            std::find_if(std::begin(kConvenience), std::end(kConvenience),
                         [&p](const Convenience& c) { return p.name == c.parameter; });
        text << std::exchange(separator, " ");
        if (convenience != std::end(kConvenience))
            text << convenience->option << " " << value;
        else
            text << "--set " << OptionSpelling(p.name) << "=" << value;
    }
    return text.str();
}

} // namespace quillon::cli

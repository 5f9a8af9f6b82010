#include "cli/FilterOptions.h"

#include "core/HostFailure.h"
#include "core/actions/ActionFile.h"

#include <cmath>
#include <sstream>

namespace quillon::cli {
namespace {

using namespace filterhost;

constexpr DescriptorKeyID kKeyPreserveLuminosity = PI_FOURCC('P', 'r', 's', 'L');
constexpr DescriptorKeyID kKeyFuzziness = PI_FOURCC('F', 'z', 'n', 's');
constexpr DescriptorKeyID kKeySampleFile = PI_FOURCC('q', 'l', 'n', 'F');
constexpr DescriptorKeyID kKeyColors = PI_FOURCC('s', 'm', 'p', 'l');

// A percentage 0..100; CLI11's range check would let "nan" through.
const CLI::Validator kPercent(
    [](const std::string& text) -> std::string {
        double v = 0;
        size_t used = 0;
        try {
            v = std::stod(text, &used);
        } catch (const std::exception&) {
            return "expected a percentage from 0 to 100, got \"" + text + "\"";
        }
        if (used != text.size() || !std::isfinite(v) || v < 0 || v > 100)
            return "expected a percentage from 0 to 100, got \"" + text + "\"";
        return {};
    },
    "PERCENT");

std::string MapLabel(const FilterOptions::ColorsPart& part) {
    return "item " + std::to_string(part.item) + " \"" + part.text + "\"";
}

template <typename T> const T* ValueOf(const Descriptor& descriptor, DescriptorKeyID key) {
    const DescriptorItem* item = descriptor.Find(key);
    return item ? std::get_if<T>(&item->value) : nullptr;
}

} // namespace

void AddFilterOptions(CLI::App& command, FilterOptions& o) {
    command.add_option(
        "--colors", o.colorsTexts,
        "adjustments as a Colors text, e.g. \"Lab[20000,16384,16384]:Lab[22000,17000,15000] \"");
    command.add_option("--map", o.mapTexts,
                       "move a colour to another: FROM:TO, each #rrggbb, rgb(R,G,B) (0..255), "
                       "lab(L,a,b) (D50) or, for FROM, @X,Y (the picture's colour there)");
    command.add_option("--fuzziness", o.fuzziness, "reach of each adjustment, 1 to 10")
        ->check(CLI::Range(1.0, 10.0));
    command.add_option("--preserve-luminosity", o.preserveLuminosity, "on or off")
        ->check(CLI::IsMember({"on", "off"}));
    command.add_option("--sample", o.sample, "the sample picture to record with the action");
    command.add_option("--action", o.action, "replay a recorded action (JSON file)")
        ->check(CLI::ExistingFile);
    command.add_flag("--last", o.last, "repeat the previous use's settings");
    command.add_option("--amount", o.amount, "strength of the filter in percent (default 100)")
        ->check(kPercent);
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
    auto put = [&playback](DescriptorItem item) {
        if (!playback) playback.emplace();
        playback->Put(std::move(item));
    };
    if (o.preserveLuminosity)
        put({kKeyPreserveLuminosity, typeBoolean, *o.preserveLuminosity == "on"});
    if (o.fuzziness) put({kKeyFuzziness, typeFloat, *o.fuzziness});
    if (o.sample) put({kKeySampleFile, typeChar, std::filesystem::absolute(*o.sample).string()});
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
        put({kKeyColors, typeChar, text});
    }
    return playback;
}

std::string DescribeParameters(const Descriptor& recorded) {
    std::ostringstream text;
    const char* separator = "";
    if (const double* f = ValueOf<double>(recorded, kKeyFuzziness))
        text << std::exchange(separator, " ") << "--fuzziness " << *f;
    if (const bool* p = ValueOf<bool>(recorded, kKeyPreserveLuminosity))
        text << std::exchange(separator, " ") << "--preserve-luminosity " << (*p ? "on" : "off");
    if (const std::string* c = ValueOf<std::string>(recorded, kKeyColors))
        text << std::exchange(separator, " ") << "--colors '" << *c << "'";
    return text.str();
}

} // namespace quillon::cli

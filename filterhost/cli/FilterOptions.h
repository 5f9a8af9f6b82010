// The options that choose a filter's parameters, shared by every command that runs the filter:
// --colors, --map, --fuzziness, --preserve-luminosity, --sample, --set, --action, --last,
// --amount, --filter. Parameters are found in the module's terminology by their declared names
// and converted by their declared types, so the host knows no plug-in's descriptor keys: --set
// NAME=VALUE gives any declared parameter, and the convenience options each stand for one.
#pragma once

#include "core/HostFailure.h"
#include "core/documents/Document.h"
#include "core/looks/ColorNotation.h"
#include "core/module/PluginModule.h"
#include "core/suites/ActionControl.h"
#include "core/suites/DescriptorServices.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

// Parameters the filter cannot take (a name it does not declare, a value of the wrong type):
// a usage error, exit status 2.
class UsageError : public filterhost::HostFailure {
  public:
    using filterhost::HostFailure::HostFailure;
};

struct FilterOptions {
    // --colors texts and --map items, in the order of the command line.
    struct ColorsPart {
        std::string text;                                // as written
        std::optional<filterhost::ColorMapping> mapping; // set for --map
        int item = 0;                                    // --map's number among the mappings
    };
    std::vector<ColorsPart> colors;
    std::optional<double> fuzziness;
    std::optional<std::string> preserveLuminosity;
    std::optional<std::filesystem::path> sample;
    std::vector<std::string> set; // --set NAME=VALUE, in the order given
    std::optional<std::filesystem::path> action;
    bool last = false;
    // Starts from the plug-in's settings of the last use when they are there and sound (edit's
    // start without --fresh); a damaged file is noted and the run starts fresh.
    bool resume = false;
    // --amount; without it, the amount the action or --last's use was faded by, else 100.
    std::optional<double> amount;
    std::string filter = "Quillon...";

    // What CLI11 fills; Gather turns it into `colors`.
    std::vector<std::string> colorsTexts, mapTexts;
};

void AddFilterOptions(CLI::App& command, FilterOptions& options);

// Called from the command's callback: orders --colors and --map as given and parses every --map.
// Throws CLI::ValidationError naming the item and the character position.
void GatherFilterOptions(const CLI::App& command, FilterOptions& options);

// Whether any --map reads the picture (@X,Y).
bool ReadsPicture(const FilterOptions& options);

// The parameters handed to the plug-in for play-back: the --action file's, with the convenience
// options on top and then each --set in order. --map items are resolved against the document.
// Throws UsageError for a name the module does not declare or a value its declared type cannot
// take, HostFailure for anything else.
std::optional<filterhost::Descriptor> PlaybackDescriptor(const FilterOptions& options,
                                                         const filterhost::PluginModule& module,
                                                         const filterhost::Document& document,
                                                         filterhost::EyedropperSample eyedropper);

// The parameters a run used, as the plug-in recorded them under the declared parameters, for a
// human reader: "--preserve-luminosity on --fuzziness 3 --colors '...'".
std::string DescribeParameters(const filterhost::Descriptor& recorded,
                               const std::vector<filterhost::TerminologyParameter>& declared);

// The declared parameter a name means: its name in any case with spaces or hyphens, or its key;
// null when none.
const filterhost::TerminologyParameter*
FindDeclared(const std::vector<filterhost::TerminologyParameter>& declared,
             const std::string& name);

// A declared type in words, for help and info: "on or off", "a number", "text", ...
std::string TypeInWords(uint32_t type);

} // namespace quillon::cli

// The options that choose a filter's parameters, shared by every command that runs the filter:
// --colors, --map, --fuzziness, --preserve-luminosity, --sample, --action, --last, --amount,
// --filter.
#pragma once

#include "core/documents/Document.h"
#include "core/looks/ColorNotation.h"
#include "core/module/PluginModule.h"
#include "core/suites/ActionControl.h"
#include "core/suites/Descriptors.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

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
    std::optional<std::filesystem::path> action;
    bool last = false;
    double amount = 100;
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

// The parameters handed to the plug-in for play-back: the --action file's, with the options
// given on top. --map items are resolved against the document. Throws HostFailure.
std::optional<filterhost::Descriptor> PlaybackDescriptor(const FilterOptions& options,
                                                         const filterhost::PluginModule& module,
                                                         const filterhost::Document& document,
                                                         filterhost::EyedropperSample eyedropper);

// The parameters a run used, as the plug-in recorded them, for a human reader:
// "--fuzziness 3 --preserve-luminosity on --colors '...'".
std::string DescribeParameters(const filterhost::Descriptor& recorded);

} // namespace quillon::cli

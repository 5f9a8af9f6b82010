// The filter's parameters on the command line, shared by the subcommands that run a filter:
// --set NAME=VALUE for any parameter the module's terminology declares, and convenience options
// that each stand for one declared parameter. Values are converted by the type the terminology
// declares, so the host knows no plug-in's keys.
#pragma once

#include "core/module/PluginModule.h"
#include "core/suites/Descriptors.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillon::cli {

// A command line the filter cannot take: exit status 2 and one line saying why.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct FilterOptions {
    std::vector<std::string> set; // NAME=VALUE, in the order given
    // The convenience options, by the parameter each stands for.
    std::optional<std::string> colors;             // "Colors"
    std::optional<std::string> fuzziness;          // "Fuzziness"
    std::optional<std::string> preserveLuminosity; // "Preserve Luminosity"
    std::optional<std::string> sample;             // "Sample File"
};

void AddFilterOptions(CLI::App& command, FilterOptions& options);

// The parameters the options set, put over base (an action's parameters, or none): the
// convenience options first, then --set in order. Without any option, base as it was. Throws
// UsageError for a name the module does not declare or a value its declared type cannot take,
// HostFailure when the module's terminology is damaged.
std::optional<filterhost::Descriptor> FilterDescriptor(const FilterOptions& options,
                                                       const filterhost::PluginModule& module,
                                                       std::optional<filterhost::Descriptor> base);

// A declared type in words, for help and info: "on or off", "number", "text", ...
std::string TypeInWords(uint32_t type);

} // namespace quillon::cli

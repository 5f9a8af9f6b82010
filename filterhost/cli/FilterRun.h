// One run of a filter on a document without its dialog, as every command does it: the module
// found by name, the previous use's settings when asked, the parameters handed for play-back,
// the host's fade by --amount afterwards.
#pragma once

#include "cli/Commands.h"
#include "cli/FilterOptions.h"
#include "cli/HostSettings.h"
#include "core/session/FilterSession.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

struct FilterResult {
    std::string pluginKey, pluginName;
    std::optional<filterhost::Descriptor> recorded;         // the parameters the plug-in recorded
    std::vector<filterhost::TerminologyParameter> declared; // the parameters the filter declares
    std::filesystem::path settingsFile;
    std::vector<uint8_t> settings; // the plug-in's settings block after the run
};

// Filters the document in place; `run` brings tiles, progress and abort. Throws HostFailure
// (naming `target`, the file that will not be written, when the filter fails or is cancelled).
FilterResult RunFilter(const GlobalOptions& global, const HostSettings& host,
                       const FilterOptions& options, filterhost::Document& document,
                       filterhost::RunOptions run, const std::filesystem::path& target);

// Keeps the plug-in's settings for the next --last: call once the result is safely written.
void KeepSettings(const FilterResult& result);

} // namespace quillon::cli

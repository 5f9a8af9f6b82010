// One run of a filter on a document, as every command does it: the module found by name, the
// previous use's settings when asked, the parameters handed for play-back (or to the dialog as
// its starting state), the host's fade by --amount afterwards.
#pragma once

#include "cli/Commands.h"
#include "cli/FilterOptions.h"
#include "cli/HostSettings.h"
#include "core/module/PluginModule.h"
#include "core/session/FilterSession.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
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
    double amount = 100;           // the fade the run was given, in percent
};

// What lives around the filter while it runs, such as the user interface of its dialog. Finished
// is told once the filter is done, before its result is looked at; it may throw HostFailure.
class RunScope {
  public:
    virtual ~RunScope() = default;
    virtual void Finished(const std::filesystem::path& target) = 0;
};
// Called once the module is found and the parameters are known to be good, just before the run.
using RunSetup = std::function<std::unique_ptr<RunScope>(filterhost::FilterSession& session,
                                                         const filterhost::PluginModule& module,
                                                         filterhost::RunOptions& run)>;

// One filter, loaded and opened once, for every document of a run (the pages of a picture): the
// module found by name in the plug-in folder and one session, whose settings carry from one
// document to the next as they would in an editor.
class FilterRunner {
  public:
    // Throws HostFailure when no module of the filter's name loads, or --last has nothing sound to
    // use.
    FilterRunner(const GlobalOptions& global, const HostSettings& host,
                 const FilterOptions& options);

    // Filters the document in place; `run` brings tiles, progress and abort. Throws HostFailure
    // (naming `target`, the file that will not be written, when the filter fails or is
    // cancelled).
    FilterResult Run(filterhost::Document& document, filterhost::RunOptions run,
                     const std::filesystem::path& target, const RunSetup& setup = {});

  private:
    const HostSettings& host_;
    const FilterOptions& options_;
    filterhost::ModuleScan scan_;
    const filterhost::PluginModule* module_ = nullptr;
    std::filesystem::path settingsFile_;
    double amount_ = 100;
    std::unique_ptr<filterhost::FilterSession> session_;
};

// One document through a runner of its own.
FilterResult RunFilter(const GlobalOptions& global, const HostSettings& host,
                       const FilterOptions& options, filterhost::Document& document,
                       filterhost::RunOptions run, const std::filesystem::path& target,
                       const RunSetup& setup = {});

// Keeps the plug-in's settings and the amount for the next --last and edit: call once the result
// is safely written.
void KeepSettings(const FilterResult& result);

// Writes the parameters the run recorded as an action file; throws HostFailure when the filter
// recorded none.
void RecordAction(const FilterResult& result, const std::filesystem::path& file);

} // namespace quillon::cli

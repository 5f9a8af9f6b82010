// One run of a filter on a document, as every command does it: the module found by name, the
// previous use's settings when asked, the parameters handed for play-back (or to the dialog as
// its starting state), the host's fade by --amount afterwards; and what the commands share
// around it: writing the results, Ctrl-C, progress.
#pragma once

#include "cli/Commands.h"
#include "cli/FilterOptions.h"
#include "cli/HostSettings.h"
#include "core/documents/ImageFiles.h"
#include "core/session/FilterDriver.h"

#include <chrono>
#include <csignal>
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
    std::optional<filterhost::Descriptor> recorded; // the parameters the plug-in recorded
    std::filesystem::path settingsFile;
    std::vector<uint8_t> settings; // the plug-in's settings block after the run
};

// What lives around the filter while it runs, such as the user interface of its dialog. Finished
// is told once the filter is done, before its result is looked at; it may throw HostFailure.
class RunScope {
  public:
    virtual ~RunScope() = default;
    virtual void Finished(const std::filesystem::path& target) = 0;
};
// Called once the module is found and the parameters are known to be good, just before the run.
using RunSetup = std::function<std::unique_ptr<RunScope>(filterhost::FilterHost& host,
                                                         const filterhost::PluginModule& module,
                                                         filterhost::RunOptions& run)>;

// Filters the document in place; `run` brings tiles, progress and abort. Throws HostFailure
// (naming `target`, the file that will not be written, when the filter fails or is cancelled).
FilterResult RunFilter(const GlobalOptions& global, const HostSettings& host,
                       const FilterOptions& options, filterhost::Document& document,
                       filterhost::RunOptions run, const std::filesystem::path& target,
                       const RunSetup& setup = {});

// Keeps the plug-in's settings for the next --last: call once the result is safely written.
void KeepSettings(const FilterResult& result);

// After a run: OUT written whole, the settings kept, and with `record` the action that replays
// it.
void SaveResult(const FilterResult& result, const filterhost::LoadedImage& image,
                const std::filesystem::path& out,
                const std::optional<std::filesystem::path>& record);

// Throws HostFailure unless OUT can be written: its folder exists and takes new files, and OUT
// is not a folder.
void CheckWritable(const std::filesystem::path& out);

// Runs a command's body; a HostFailure or a file-system error becomes its one line on standard
// error and exit status 1.
int ReportingFailures(const std::function<int()>& body);

// Ctrl-C asks the filter to stop at its next abort test; a second Ctrl-C ends at once.
class InterruptScope {
  public:
    InterruptScope();
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;
    static bool Interrupted();

  private:
    struct sigaction previous_ {};
};

// A progress bar on standard error, once the work has taken more than a second.
class ProgressBar {
  public:
    void Update(int32_t done, int32_t total);
    ~ProgressBar();

  private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    bool shown_ = false;
};

} // namespace quillon::cli

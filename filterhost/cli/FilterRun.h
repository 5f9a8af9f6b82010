// What every command that runs a filter over one picture shares: finding the filter, the
// settings kept from one use to the next, play-back of a recorded action, progress, Ctrl-C, and
// writing the results.
#pragma once

#include "core/documents/ImageFiles.h"
#include "core/module/PluginModule.h"
#include "core/session/FilterDriver.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

inline constexpr const char* kDefaultFilter = "Quillon...";

const filterhost::PluginModule& FindFilter(const filterhost::ModuleScan& scan,
                                           const std::string& name,
                                           const std::filesystem::path& folder);

// Where the settings of the module's last use are kept.
std::filesystem::path SettingsFile(const filterhost::PluginModule& module);
// The kept settings; throws HostFailure when there are none.
std::vector<uint8_t> ReadSettings(const filterhost::PluginModule& module);

// The parameters of a recorded action for play-back; throws HostFailure for a malformed file or
// one recorded by another plug-in.
filterhost::Descriptor ReadPlayback(const std::filesystem::path& action,
                                    const filterhost::PluginModule& module);

// Runs a command's body; a HostFailure or a file-system error becomes its one line on standard
// error and exit status 1.
int ReportingFailures(const std::function<int()>& body);

// Says what a selector's result code means.
std::string ResultMessage(int16_t result);

// Throws HostFailure unless OUT can be written: its folder exists and takes new files, and OUT
// is not a folder.
void CheckWritable(const std::filesystem::path& out);

// After a successful run: OUT whole, the settings for the next use, and when asked the action.
void SaveResults(filterhost::FilterHost& host, const filterhost::PluginModule& module,
                 const filterhost::RunReport& report, const filterhost::LoadedImage& image,
                 const std::filesystem::path& out,
                 const std::optional<std::filesystem::path>& record);

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

// The subcommands of the quillon command line.
#pragma once

#include <CLI/CLI.hpp>

#include <filesystem>
#include <functional>
#include <string>

namespace quillon::cli {

// Exit statuses: success, a failure the user can mend, a usage error.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct GlobalOptions {
    std::filesystem::path pluginFolder;
};

struct HostSettings;

void AddInfoCommand(CLI::App& app, const GlobalOptions& global, int& status);
void AddApplyCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                     int& status);
void AddLutCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                   int& status);
void AddFitCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                   int& status);
void AddMatchCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                     int& status);
void AddAboutCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                     int& status);
void AddVariantsCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                        int& status);
void AddEditCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                    int& status);

// Runs a command; a failure the user can mend (HostFailure, a file system error) becomes one
// line on standard error and exit status 1.
int ReportingFailures(const std::function<int()>& run);

// The plug-in folder: --plugins, else the folder of the quillon binary.
std::filesystem::path PluginFolder(const GlobalOptions& global);

} // namespace quillon::cli

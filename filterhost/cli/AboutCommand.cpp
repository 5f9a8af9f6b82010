// quillon about: shows the plug-in's about box, on the screen or driven by a script.
#include "cli/Commands.h"
#include "cli/HostSettings.h"
#include "cli/ScriptedUi.h"

#include "core/module/PluginModule.h"
#include "core/session/FilterDriver.h"

#include <iostream>
#include <optional>

namespace quillon::cli {
namespace {

int RunAbout(const GlobalOptions& global, const HostSettings& settings,
             const ScriptOptions& options) {
    int status = kExitOk;
    std::optional<std::vector<ui::ScriptCommand>> commands;
    if (!options.script.empty() && !(commands = LoadScript(options.script, status))) return status;
    if (!ChooseDisplay(bool(commands), options.show, "the about box")) return kExitFailure;

    // The host outlives the modules: unloading one releases its suites through the host.
    filterhost::FilterHost host;
    const auto folder = PluginFolder(global);
    auto scan = filterhost::ScanPluginFolder(folder);
    for (const auto& failure : scan.failures)
        std::cerr << "quillon: " << failure << "\n";
    if (scan.modules.empty()) {
        std::cerr << "quillon: no filter plug-ins found in " << folder.string() << "\n";
        return kExitFailure;
    }
    const filterhost::PluginModule& module = *scan.modules.front();
    DialogSession session(host, module, settings, std::move(commands));

    const int16_t result = host.About(module);
    // A failing plug-in explains a script left without its dialog, so it is told first.
    if (result != 0) {
        std::cerr << "quillon: the about box of " << module.File().filename().string()
                  << " failed with code " << result << "\n";
        return kExitFailure;
    }
    const std::string failure = session.ScriptFailure();
    if (!failure.empty()) {
        std::cerr << "quillon: " << options.script << ": " << failure << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace

void AddAboutCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                     int& status) {
    auto options = std::make_shared<ScriptOptions>();
    auto* about = app.add_subcommand("about", "show the plug-in's about box");
    AddScriptOptions(*about, *options);
    about->callback(
        [&global, &settings, &status, options] { status = RunAbout(global, settings, *options); });
}

} // namespace quillon::cli

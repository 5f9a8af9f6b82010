// quillon about: shows the plug-in's about box, on the screen or driven by a script.
#include "cli/Commands.h"
#include "cli/HostSettings.h"
#include "cli/ScriptedUi.h"

#include "core/module/PluginModule.h"
#include "core/session/FilterDriver.h"
#include "core/suites/ActionControl.h"
#include "ui/ColorPicker.h"
#include "ui/DialogManager.h"
#include "ui/ScriptRunner.h"

#include <QApplication>

#include <iostream>
#include <optional>

namespace quillon::cli {
namespace {

struct AboutOptions {
    std::string script;
    bool show = false;
};

int RunAbout(const GlobalOptions& global, const HostSettings& settings,
             const AboutOptions& options) {
    int status = kExitOk;
    std::optional<std::vector<ui::ScriptCommand>> commands;
    if (!options.script.empty() && !(commands = LoadScript(options.script, status))) return status;

    if (!ChooseDisplay(bool(commands), options.show, "the about box")) return kExitFailure;
    int argc = 1;
    char name[] = "quillon";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    QApplication::setStyle("Fusion");

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

    ui::DialogManager dialogs(
        host.Suites(), [&module](uint32_t type, int32_t id) { return module.Resource(type, id); },
        [&module](const std::string& message) {
            std::cerr << "quillon: " << module.File().filename().string() << ": " << message
                      << "\n";
        });
    filterhost::ActionControl actions(host.Suites(), host.Descriptors(), settings.eyedropper);
    std::optional<ui::ScriptRunner> runner;
    if (commands) runner.emplace(std::move(*commands));

    const int16_t result = host.About(module);
    // A failing plug-in explains a script left without its dialog, so it is told first.
    if (result != 0) {
        std::cerr << "quillon: the about box of " << module.File().filename().string()
                  << " failed with code " << result << "\n";
        return kExitFailure;
    }
    if (runner) {
        const std::string failure = runner->Failure();
        if (!failure.empty()) {
            std::cerr << "quillon: " << options.script << ": " << failure << "\n";
            return kExitFailure;
        }
    }
    return kExitOk;
}

} // namespace

void AddAboutCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                     int& status) {
    auto options = std::make_shared<AboutOptions>();
    auto* about = app.add_subcommand("about", "show the plug-in's about box");
    about->add_option("--script", options->script,
                      "replay the commands of FILE against the dialogs, headless unless --show");
    about->add_flag("--show", options->show, "show the dialogs on the screen while a script runs");
    about->callback(
        [&global, &settings, &status, options] { status = RunAbout(global, settings, *options); });
}

} // namespace quillon::cli

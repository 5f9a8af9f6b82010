// quillon about: shows the plug-in's about box, on the screen or driven by a script.
#include "cli/Commands.h"
#include "cli/HostSettings.h"

#include "core/module/PluginModule.h"
#include "core/session/FilterSession.h"
#include "ui/ColorPicker.h"
#include "ui/DialogManager.h"
#include "ui/ScriptRunner.h"

#include <QApplication>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

namespace quillon::cli {
namespace {

struct AboutOptions {
    std::string script;
    bool show = false;
};

// Reads and checks the whole script before any dialog opens.
std::optional<std::vector<ui::ScriptCommand>> LoadScript(const std::string& file, int& status) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) {
        std::cerr << "quillon: cannot read script " << file << "\n";
        status = kExitFailure;
        return std::nullopt;
    }
    try {
        return ui::ParseScript(text.str());
    } catch (const ui::ScriptError& error) {
        std::cerr << "quillon: " << file << ": " << error.what() << "\n";
        status = kExitUsage;
        return std::nullopt;
    }
}

bool HasDisplay() {
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") ||
           std::getenv("QT_QPA_PLATFORM");
}

int RunAbout(const GlobalOptions& global, const HostSettings& settings,
             const AboutOptions& options) {
    int status = kExitOk;
    std::optional<std::vector<ui::ScriptCommand>> commands;
    if (!options.script.empty() && !(commands = LoadScript(options.script, status))) return status;

    // Scripts run headless unless the dialog is to be seen.
    if (commands && !options.show)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else if (!HasDisplay()) {
        std::cerr << "quillon: no display to show the about box on (give --script to run "
                     "without one)\n";
        return kExitFailure;
    }
    int argc = 1;
    char name[] = "quillon";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    QApplication::setStyle("Fusion");

    // The session outlives the modules: unloading one releases its suites through the session.
    filterhost::FilterSession session;
    const auto folder = PluginFolder(global);
    auto scan = filterhost::ScanPluginFolder(folder);
    for (const auto& failure : scan.failures)
        std::cerr << "quillon: " << failure << "\n";
    if (scan.modules.empty()) {
        std::cerr << "quillon: no filter plug-ins found in " << folder.string() << "\n";
        return kExitFailure;
    }
    const filterhost::PluginModule& module = *scan.modules.front();

    ui::DialogManager::Open(
        session, [&module](uint32_t type, int32_t id) { return module.Resource(type, id); },
        [&module](const std::string& message) {
            std::cerr << "quillon: " << module.File().filename().string() << ": " << message
                      << "\n";
        });
    session.OpenActionControl(settings.eyedropper);
    std::optional<ui::ScriptRunner> runner;
    if (commands) runner.emplace(std::move(*commands));

    const int16_t result = session.About(module);
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

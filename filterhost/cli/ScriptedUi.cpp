#include "cli/ScriptedUi.h"

#include "cli/Commands.h"

#include <QByteArray>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace quillon::cli {

void AddScriptOptions(CLI::App& command, ScriptOptions& options) {
    command.add_option("--script", options.script,
                       "replay the commands of FILE against the dialogs, headless unless --show");
    command.add_flag("--show", options.show, "show the dialogs on the screen while a script runs");
}

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

bool ChooseDisplay(bool scripted, bool show, const char* what) {
    if (scripted && !show) {
        // The offscreen platform may come with options (a screen of another size).
        if (!qgetenv("QT_QPA_PLATFORM").startsWith("offscreen"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return true;
    }
    if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM"))
        return true;
    std::cerr << "quillon: no display to show " << what
              << " on (give --script to run without one)\n";
    return false;
}

DialogSession::DialogSession(filterhost::FilterHost& host, const filterhost::PluginModule& module,
                             const HostSettings& settings,
                             std::optional<std::vector<ui::ScriptCommand>> commands)
    : application_(argc_, argv_),
      dialogs_(
          host.Suites(), [&module](uint32_t type, int32_t id) { return module.Resource(type, id); },
          [&module](const std::string& message) {
              std::cerr << "quillon: " << module.File().filename().string() << ": " << message
                        << "\n";
          }),
      actions_(host.Suites(), host.Descriptors(), settings.eyedropper) {
    QApplication::setStyle("Fusion");
    if (commands) runner_.emplace(std::move(*commands));
}

} // namespace quillon::cli

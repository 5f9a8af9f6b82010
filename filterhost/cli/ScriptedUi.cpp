#include "cli/ScriptedUi.h"

#include "cli/Commands.h"
#include "core/HostFailure.h"

#include <QByteArray>

#include <xcb/xcb.h>

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

void ChooseDisplay(bool scripted, bool show, const char* what) {
    if (scripted && !show) {
        // The offscreen platform may come with options (a screen of another size).
        if (!qgetenv("QT_QPA_PLATFORM").startsWith("offscreen"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return;
    }
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    // Qt's xcb platform ends the process when it cannot open the display, so the host tries it
    // first; other platforms say for themselves.
    const bool x11 = platform.isEmpty() ? !wayland : platform.startsWith("xcb");
    if (!x11 && (wayland || !platform.isEmpty())) return;
    if (!display)
        throw filterhost::HostFailure(std::string("no display to show ") + what +
                                      " on (give --script to run without one)");
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    const int error = xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    if (error != 0)
        throw filterhost::HostFailure("cannot open display \"" + std::string(display) +
                                      "\" to show " + what +
                                      " on (give --script to run without one)");
}

DialogSession::DialogSession(filterhost::FilterSession& session,
                             const filterhost::PluginModule& module, const HostSettings& settings,
                             std::optional<std::vector<ui::ScriptCommand>> commands,
                             std::string scriptFile)
    : application_(argc_, argv_), session_(session), scriptFile_(std::move(scriptFile)) {
    QApplication::setStyle("Fusion");
    ui::DialogManager::Open(
        session, [&module](uint32_t type, int32_t id) { return module.Resource(type, id); },
        [&module](const std::string& message) {
            std::cerr << "quillon: " << module.File().filename().string() << ": " << message
                      << "\n";
        });
    session.OpenActionControl(settings.eyedropper);
    if (commands) runner_.emplace(std::move(*commands));
}

DialogSession::~DialogSession() {
    session_.DetachDialogs();
}

void DialogSession::Finished(const std::filesystem::path& target) {
    if (const int line = runner_ ? runner_->LeftOver() : 0) {
        std::cerr << "quillon: note: " << scriptFile_ << ": the commands from line " << line
                  << " on came after the dialog had closed and were ignored\n";
        return;
    }
    const std::string failure = ScriptFailure();
    if (!failure.empty())
        throw filterhost::HostFailure(scriptFile_ + ": " + failure + "; " + target.string() +
                                      " not written");
}

} // namespace quillon::cli

#include "cli/ScriptedUi.h"

#include "cli/Commands.h"

#include <QByteArray>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace quillon::cli {

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

} // namespace quillon::cli

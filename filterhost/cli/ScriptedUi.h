// What the commands that show dialogs share: the script that may drive them and the display
// they appear on.
#pragma once

#include "ui/Script.h"

#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

// Reads and checks the whole script before any dialog opens; on failure says why on standard
// error and sets status (1 unreadable, 2 malformed).
std::optional<std::vector<ui::ScriptCommand>> LoadScript(const std::string& file, int& status);

// Chooses where the dialogs appear, before the application starts: Qt's offscreen platform for a
// script that is not to be seen (with the options QT_QPA_PLATFORM gives it, if it names that
// platform), else the user's display. False (with a line on standard error)
// when there is no display to show `what` on.
bool ChooseDisplay(bool scripted, bool show, const char* what);

} // namespace quillon::cli

// Settings of the host application that plug-ins may ask about.
#pragma once

#include "core/suites/ActionControl.h"

#include <CLI/CLI.hpp>

namespace quillon::cli {

struct HostSettings {
    filterhost::EyedropperSample eyedropper = filterhost::EyedropperSample::Point;
};

// --eyedropper point|3x3|5x5: the square the application's eyedropper averages over.
void AddHostSettings(CLI::App& app, HostSettings& settings);

} // namespace quillon::cli

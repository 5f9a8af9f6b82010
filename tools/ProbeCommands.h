#pragma once

#include <CLI/CLI.hpp>

namespace quillon::probe {

// `quillon-probe engine`: the colour engine on the command line.
void AddEngineCommand(CLI::App& app);

} // namespace quillon::probe

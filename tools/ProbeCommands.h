#pragma once

#include <CLI/CLI.hpp>

// `quillon-probe engine`: the colour engine on the command line.
void AddEngineCommand(CLI::App& app);

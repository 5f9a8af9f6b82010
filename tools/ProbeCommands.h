// Subcommands of quillon-probe; each registers itself on the application.
#pragma once

#include <CLI/CLI.hpp>

// `quillon-probe engine`: the colour engine on the command line.
void AddEngineCommand(CLI::App& app);
// `quillon-probe decode`: the codec layer on the command line.
void AddDecodeCommand(CLI::App& app);

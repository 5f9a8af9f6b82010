// Subcommands of quillon-probe; each registers itself on the application.
#pragma once

#include <CLI/CLI.hpp>

void AddDecodeCommand(CLI::App& app);

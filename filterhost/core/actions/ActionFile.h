// Recorded actions on disk: which plug-in recorded them, the descriptor it recorded and the
// strength the host faded the result by.
#pragma once

#include "core/suites/DescriptorServices.h"

#include <filesystem>
#include <string>

namespace quillon::filterhost {

struct Action {
    std::string pluginKey; // the plug-in's unique scripting key
    std::string pluginName;
    Descriptor descriptor;
    double amount = 100; // the host's fade, in percent
};

// Throws HostFailure naming what is wrong: not JSON, not an action, a damaged descriptor.
Action ParseAction(const std::string& text);
Action ReadActionFile(const std::filesystem::path& file);
// Written whole or not at all.
void WriteActionFile(const Action& action, const std::filesystem::path& file);

} // namespace quillon::filterhost

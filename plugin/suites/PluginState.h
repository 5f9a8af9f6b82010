// Everything the plug-in keeps from one host call to the next, in one place.
#pragma once

#include "engine/ColorEngine.h"
#include "pluginapi/PIFilter.h"

#include <cstdint>

namespace quillon::suites {

struct PluginState {
    FilterRecord* filterRecord = nullptr;
    int16_t* result = nullptr;
    intptr_t* data = nullptr;
    const SPBasicSuite* basic = nullptr;
    // Set by the parameters selector and never cleared: every later start shows the dialog.
    bool showDialog = false;
    bool dialogAccepted = false;
    // Empty when the built-in sample is in use.
    wchar_t sampleFilePath[1024] = {};
};

PluginState& State();

// The one colour engine, built when the module loads.
engine::ColorEngine& Engine();

} // namespace quillon::suites

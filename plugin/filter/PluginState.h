// Everything the plug-in keeps from one host call to the next, in one place.
#pragma once

#include "dialog/MainDialog.h"
#include "engine/ColorEngine.h"
#include "pluginapi/PIFilter.h"

#include <cstdint>

namespace quillon::filter {

struct PluginState {
    FilterRecord* filterRecord = nullptr;
    int16_t* result = nullptr;
    intptr_t* data = nullptr;
    // Set by the parameters selector and never cleared: every later start shows the dialog.
    bool showDialog = false;
    // Empty when the built-in sample is in use.
    wchar_t sampleFilePath[1024] = {};
    // What the dialog keeps from one opening to the next.
    dialog::DialogMemory dialogMemory;
};

PluginState& State();

// The one colour engine, built when the module loads.
engine::ColorEngine& Engine();

} // namespace quillon::filter

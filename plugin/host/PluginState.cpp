#include "host/PluginState.h"

#include "host/SuiteHolder.h"

namespace quillon::host {
namespace {

PluginState gState;
engine::ColorEngine gEngine;

// Declared after the state so that it is destroyed first, while the state is still whole.
struct ReleaseSuitesAtUnload {
    ~ReleaseSuitesAtUnload() { ReleaseAllSuites(); }
} gReleaseSuitesAtUnload;

} // namespace

PluginState& State() { return gState; }

engine::ColorEngine& Engine() { return gEngine; }

} // namespace quillon::host

#include "suites/PluginState.h"

#include "suites/SuiteHolder.h"

namespace quillon::suites {
namespace {

PluginState gState;
engine::ColorEngine gEngine;

// Declared after the state so that it is destroyed first, while the state is still whole.
struct ReleaseSuitesAtUnload {
    ~ReleaseSuitesAtUnload() { ReleaseAllSuites(); }
} gReleaseSuitesAtUnload;

} // namespace

PluginState& State() {
    return gState;
}

engine::ColorEngine& Engine() {
    return gEngine;
}

} // namespace quillon::suites

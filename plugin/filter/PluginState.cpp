#include "filter/PluginState.h"

#include "suites/SuiteHolder.h"

namespace quillon::filter {
namespace {

PluginState gState;
engine::ColorEngine gEngine;

// Declared after the state so that it is destroyed first, while the state is still whole.
struct ReleaseSuitesAtUnload {
    ~ReleaseSuitesAtUnload() { suites::ReleaseAllSuites(); }
} gReleaseSuitesAtUnload;

} // namespace

PluginState& State() {
    return gState;
}

engine::ColorEngine& Engine() {
    return gEngine;
}

} // namespace quillon::filter

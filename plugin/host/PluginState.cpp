#include "host/PluginState.h"

#include "host/SuiteHolder.h"

namespace quillon::host {
namespace {

PluginState gState;

// Declared after the state so that it is destroyed first, while the state is still whole.
struct ReleaseSuitesAtUnload {
    ~ReleaseSuitesAtUnload() { ReleaseAllSuites(); }
} gReleaseSuitesAtUnload;

} // namespace

PluginState& State() { return gState; }

} // namespace quillon::host

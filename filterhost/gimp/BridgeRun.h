// One call of plug-in-quillon: the module beside the plug-in loaded, a filter session opened on
// the drawable's pixels, the dialog shown when asked, the result written back into the image.
#pragma once

#include "gimp/GimpParameters.h"

#include <cstdint>
#include <optional>

namespace quillon::gimp {

enum class RunMode { Interactive, NonInteractive, WithLastValues };

// Names the file of a script that drives the dialog, for tests: the same commands
// `quillon edit --script` replays.
inline constexpr const char* kScriptVariable = "QUILLON_GIMP_SCRIPT";

struct BridgeRequest {
    RunMode mode = RunMode::NonInteractive;
    int32_t image = -1, drawable = -1;
    CallValues values;           // what a non-interactive call gives
    std::optional<LastUse> last; // the last use in this GIMP session, if any
};

struct BridgeOutcome {
    bool cancelled = false;
    // What the filter applied, for the next use; empty when nothing ran.
    std::optional<LastUse> use;
};

// Throws HostFailure (or std::bad_alloc) naming the cause; the image is then unchanged.
BridgeOutcome RunBridge(const BridgeRequest& request);

} // namespace quillon::gimp

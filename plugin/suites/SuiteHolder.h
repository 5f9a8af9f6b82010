// Host suites acquired lazily by name and version, cached until the module unloads.
#pragma once

#include "pluginapi/SPBasic.h"

#include <cstdint>

namespace quillon::suites {

// The host's basic suite, through which every other suite is acquired; the entry point sets it
// from each call's parameter block.
void SetBasicSuite(const SPBasicSuite* basic);
const SPBasicSuite* BasicSuite();

struct SuiteHolder {
    const void* suite;
    int32_t version;
    const char* name;
    int32_t error;
};

// Returns the holder's suite, acquiring it on first use. A suite the host cannot give is
// reported to the user and abandons the operation with the host's code (HostError).
const void* AcquireSuite(SuiteHolder& holder);

template <typename Suite> const Suite& Use(SuiteHolder& holder) {
    return *static_cast<const Suite*>(AcquireSuite(holder));
}

// Releases every acquired suite; the module's unload calls it.
void ReleaseAllSuites();

// Formats into the process-wide message buffer (at most 200 characters) and shows it under the
// title "Error".
void ReportError(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace quillon::suites

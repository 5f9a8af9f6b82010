// The pass over the document's output tiles.
#pragma once

#include "suites/HostSuites.h"

namespace quillon::filter {

using suites::ImageModeToSpace;

// Filters the filter rectangle tile by tile through the engine and writes the selector's result.
void RunFilteringPass();

} // namespace quillon::filter

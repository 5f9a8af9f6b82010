// The pass over the document's output tiles, and the document facts it works from.
#pragma once

#include "pluginapi/PIColorSpace.h"
#include "pluginapi/PIFilter.h"
#include "suites/HostSuites.h"

namespace quillon::filter {

using suites::ImageModeToSpace;

// Filters the filter rectangle tile by tile through the engine and writes the selector's result.
void RunFilteringPass();

// One tile of the host's output buffer, rewritten in place.
void ProcessTile8(uint8_t* rows, const VRect& tile, int32_t rowBytes);
void ProcessTile16(uint8_t* rows, const VRect& tile, int32_t rowBytes);

// Rectangles prefer the 32-bit big-document record once the plug-in has asked for it.
VRect FilterRectangle();
VRect OutputRectangle();
void SetOutputRectangle(int32_t top, int32_t left, int32_t bottom, int32_t right);

} // namespace quillon::filter

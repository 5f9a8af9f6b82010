// The pass over the document's output tiles, and the document facts it works from.
#pragma once

#include "pluginapi/PIColorSpace.h"
#include "pluginapi/PIFilter.h"

namespace quillon::host {

// The host colour-space code of an image mode (0 RGB, 2 CMYK, 3 Lab), or -1 when unsupported.
int16_t ImageModeToSpace(int32_t imageMode);

// Rectangles prefer the 32-bit big-document record once the plug-in has asked for it.
VRect FilterRectangle();
VRect OutputRectangle();
void SetOutputRectangle(int32_t top, int32_t left, int32_t bottom, int32_t right);

} // namespace quillon::host

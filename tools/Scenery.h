// A picture that looks like a photograph, painted by code: sky with clouds, hazy mountains, a
// lake, a meadow with flowers, a house with a red roof, grain and vignetting. Smooth gradients and
// texture in the proportions of a real landscape, for the demo, tests and benchmarks.
#pragma once

#include "core/documents/Document.h"

namespace quillon::tools {

// An 8-bit sRGB document; the same size always gives the same pixels.
filterhost::Document MakeScenery(int32_t width, int32_t height);

} // namespace quillon::tools

// The host's fade of a filter: each filtered sample moved back towards the original.
#pragma once

#include "core/documents/Document.h"

namespace quillon::filterhost {

// Blends the colour channels of `filtered` with those of `original` (same mode, depth and size)
// in the document's own space: percent 100 keeps the filtered sample, 0 restores the original,
// values between are rounded to the nearest sample. Alpha is left as it is.
void Fade(Document& filtered, const Document& original, double percent);

} // namespace quillon::filterhost

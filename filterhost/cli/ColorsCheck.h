// A strict reading of a "Colors" text given on the command line, so a mistyped item is refused
// with its place named before any work starts.
#pragma once

#include <string>

namespace quillon::cli {

struct ColorsSummary {
    int items = 0;
    int moves = 0; // items with a target that differs from their colour
};

// Items are Lab[L,a,b], then optionally [h,v], then optionally :Lab[L,a,b] and [h,v], separated
// by spaces; components run 0..32768, positions fit in 32 bits. Throws HostFailure naming the
// item, its position and what is wrong.
ColorsSummary CheckColorsText(const std::string& text);

} // namespace quillon::cli

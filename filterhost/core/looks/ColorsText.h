// The host's side of the filter's "Colors" text: items "Lab[L,a,b][h,v]:Lab[L,a,b][h,v] " on
// the 16-bit Lab scale (L 0..32768, a and b neutral at 16384), read strictly so that a mistyped
// item is refused with its place named before any work starts, and written from colours.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillon::filterhost {

// A colour on the host's 16-bit Lab scale: L 0..32768, a and b neutral at 16384.
struct HostLab {
    uint16_t L = 0, a = 16384, b = 16384;
};

// One item of a Colors text: a colour and, when it moves, its target (positions are not kept).
struct ColorsTextItem {
    HostLab from;
    std::optional<HostLab> to;
};

struct ColorsSummary {
    int items = 0;
    int moves = 0; // items with a target that differs from their colour
};

// Items are Lab[L,a,b], then optionally [h,v], then optionally :Lab[L,a,b] and [h,v], separated
// by spaces; components run 0..32768, positions fit in 32 bits. Throws HostFailure naming the
// item, its position and what is wrong.
ColorsSummary CheckColorsText(const std::string& text);
// The items of a text read with the same checks.
std::vector<ColorsTextItem> ReadColorsText(const std::string& text);

struct ColorsPosition {
    int32_t x = 0, y = 0;
};

// "Lab[L,a,b][X,Y]:Lab[L,a,b] ", the position only when given.
std::string ColorsItem(const HostLab& from, const std::optional<ColorsPosition>& at,
                       const HostLab& to);

} // namespace quillon::filterhost

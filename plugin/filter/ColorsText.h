#pragma once

// The "Colors" text of the recorded parameters: one item per user adjustment, in table order,
// each followed by a space:
//   Lab[L,a,b]            the original colour (ICS components)
//   [h,v]                 optional: where it was picked in the document
//   :Lab[L,a,b]           optional: the target, when the adjustment is not locked and moves
//   [h,v]                 optional after a target: where it was picked in the sample image
// Example: "Lab[20000,16384,16384][10,20]:Lab[22000,17000,15000][5,6] ".

#include "engine/ColorEngine.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon::filter {

enum class ColorsTextError {
    None,
    Malformed,          // a character that does not fit the grammar
    TooManyAdjustments, // the table holds its maximum of user adjustments
};

struct ParseColorsResult {
    ColorsTextError error = ColorsTextError::None;
    std::size_t offset = 0; // where parsing stopped
    explicit operator bool() const { return error == ColorsTextError::None; }
};

// Loads one adjustment per item with LoadAdjustment (no rebuild). The text ends at its end or at
// its first NUL. Parsing stops at the first fault, and at the item the table has no room for;
// the adjustments loaded before stay loaded. Colour numbers are kept modulo 65536 (LoadAdjustment
// then clamps them into 0..32768); positions must fit in 32 bits.
ParseColorsResult ParseColors(engine::ColorEngine& engine, std::string_view text);

// The text of the engine's user adjustments, without a terminating NUL; a handle for it needs
// size() + 1 bytes.
std::string FormatColors(const engine::ColorEngine& engine);

const char* DescribeColorsError(ColorsTextError error);

} // namespace quillon::filter

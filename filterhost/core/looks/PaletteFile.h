// Named colours from a file: a CSV of name and colour (any colour notation of --map but @X,Y),
// or a GIMP palette (.gpl). The file comes from outside, so every line is checked before use.
#pragma once

#include "core/looks/ColorNotation.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillon::filterhost {

inline constexpr size_t kMaxPaletteEntries = 1024;
inline constexpr size_t kMaxPaletteLine = 1024;
inline constexpr size_t kMaxColorName = 128;

struct NamedColor {
    std::string name; // as the file gives it, valid UTF-8 without control characters
    WrittenColor color;
};

// A GIMP palette when the text starts with "GIMP Palette", else CSV lines "name,colour" (a
// first line "name,colour" or "name,color" is a header; a name may be quoted, "" for a quote).
// Blank lines are left out; a GIMP colour without a name is named by its line. Throws
// HostFailure naming `shown` and the line.
std::vector<NamedColor> ParsePaletteFile(std::string_view text, const std::string& shown);

// A name fit for a file name: letters and digits (non-ASCII UTF-8 too), '_' and '.' kept, any
// other run of bytes one '-', no leading '.' or '-' nor trailing '-'; "colour" when nothing is
// left.
std::string FileSafeName(std::string_view name);

} // namespace quillon::filterhost

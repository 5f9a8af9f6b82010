// Colours as people write them (#rrggbb, rgb(), lab(), @X,Y) turned into items of the filter's
// "Colors" text: "Lab[L,a,b]:Lab[L,a,b] " on the host's 16-bit Lab scale.
#pragma once

#include "core/documents/Document.h"
#include "core/looks/ColorsText.h"
#include "core/suites/ActionControl.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillon::filterhost {

// A malformed mapping: the message names the character position (1-based) in the item.
class NotationError : public std::runtime_error {
  public:
    NotationError(size_t position, const std::string& what)
        : std::runtime_error("at character " + std::to_string(position) + ": " + what),
          position_(position) {}
    size_t Position() const { return position_; }

  private:
    size_t position_;
};

// One colour of a mapping as written: an sRGB triple on 0..255, a CIE L*a*b* (D50) triple, or
// the document's colour at a pixel.
struct WrittenColor {
    enum class Kind { Rgb, Lab, Pixel } kind = Kind::Rgb;
    double v[3] = {0, 0, 0}; // R, G, B 0..255; or L* 0..100, a*, b* -128..127
    int32_t x = 0, y = 0;    // Kind::Pixel
};

struct ColorMapping {
    WrittenColor from, to;
};

// Parses "FROM:TO"; @X,Y is accepted only for FROM. Throws NotationError.
ColorMapping ParseColorMapping(std::string_view text);

// Parses one colour, the whole of text; @X,Y only when pixelAllowed. Throws NotationError.
WrittenColor ParseWrittenColor(std::string_view text, bool pixelAllowed);

// Converts a mapping's colours to the host's Lab the way the filter's eyedropper sees the
// document: RGB through the document's colour services at 16 bits, a pixel averaged in the
// document's own space over the eyedropper square. Throws HostFailure when @X,Y lies outside
// the document.
struct ResolvedMapping {
    HostLab from, to;
    bool hasPosition = false;
    int32_t x = 0, y = 0;
};
ResolvedMapping ResolveMapping(const ColorMapping& mapping, const Document& document,
                               EyedropperSample sample);

// "Lab[L,a,b][X,Y]:Lab[L,a,b] " (the position only for a picked colour).
inline std::string ColorsItem(const ResolvedMapping& mapping) {
    return ColorsItem(mapping.from,
                      mapping.hasPosition ? std::optional(ColorsPosition{mapping.x, mapping.y})
                                          : std::nullopt,
                      mapping.to);
}

// Whether a mapping needs a document to be resolved (@X,Y).
inline bool NeedsPicture(const ColorMapping& mapping) {
    return mapping.from.kind == WrittenColor::Kind::Pixel;
}

} // namespace quillon::filterhost

// The preview's rows: the document's channels, read at display size with one byte per sample,
// turned into the blue-green-red pixels of the display image, through the colour transformation
// or as they are.
#pragma once

#include "engine/ColorEngine.h"
#include "pluginapi/PIChannelPorts.h"
#include "pluginapi/PIColorSpace.h"
#include "pluginapi/PIFilter.h"

#include <array>
#include <cstdint>

namespace quillon::dialog {

// Reads the source rectangle of every colour channel, scaled by the host to width x height at 8
// bits per sample, into the plane of its component (cyan 0; red, magenta, L 1; green, yellow, a 2;
// blue, black, b 3). Only the shown part of the document is read, whatever the zoom.
void ReadPreviewPlanes(const ReadChannelDesc* channels, const ChannelPortProcs& ports,
                       const VRect& source, int32_t width, int32_t height,
                       const std::array<uint8_t*, 4>& planes);

struct PreviewPlanes {
    // Components 0 to 3 of every pixel, each plane width x height bytes; unused planes are zero.
    const uint8_t* planes[4];
    int32_t width, height;
    // The document's host colour space (0 RGB, 2 CMYK, 3 Lab).
    int16_t space;
    // 16-bit documents go through the 16-bit transformation, their samples shifted left by 7.
    bool sixteenBit;
    // Through the transformation, or the original.
    bool live;
};

struct DisplayPixels {
    uint8_t* base;
    ptrdiff_t rowBytes;
    int32_t pixelBytes;
};

// Fills the display from the planes. `row` is scratch storage of planes.width records.
void ConvertPreviewRows(const PreviewPlanes& planes, engine::ColorEngine& engine,
                        const PSColorSpaceSuite1& colorSpace, Color16* row,
                        const DisplayPixels& display);

// Fills the display with what the transformation moves: pixels it leaves as they were as a dim
// grey of their lightness, moved ones coloured by how far they move (CIE76 colour difference),
// from blue for a slight move through green and yellow to red for kMovesFullScale and more.
// `rows` is scratch storage of 2 x planes.width records, `moved` of planes.width flags.
inline constexpr double kMovesFullScale = 25.0;
void ConvertMovesRows(const PreviewPlanes& planes, engine::ColorEngine& engine,
                      const PSColorSpaceSuite1& colorSpace, Color16* rows, bool* moved,
                      const DisplayPixels& display);

} // namespace quillon::dialog

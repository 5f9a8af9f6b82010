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
#include <memory>
#include <vector>

namespace quillon::dialog {

// Reads the source rectangle of every colour channel, scaled by the host to width x height at 8
// bits per sample, into the plane of its component (cyan 0; red, magenta, L 1; green, yellow, a 2;
// blue, black, b 3). Only the shown part of the document is read, whatever the zoom. False when
// the host refused a channel.
bool ReadPreviewPlanes(const ReadChannelDesc* channels, const ChannelPortProcs& ports,
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

// The planes' colours in the engine's space, converted once and kept while the planes and the
// engine's space stay as they are: an edit of the adjustments maps them anew without converting
// the document's colours again.
class IcsColours {
  public:
    // The next use converts again: the planes now hold other pixels.
    void Forget() { kept_ = false; }
    // Frees the storage.
    void Release();
    // The colours of every pixel of the planes, rows of planes.width records; converted when
    // they are not kept. Colours are kept only when the host converted every row; a row it
    // refused holds its records as the host left them. Throws std::bad_alloc.
    const Color8* Of8(const PreviewPlanes& planes, const PSColorSpaceSuite1& colorSpace,
                      int16_t ics);
    const Color16* Of16(const PreviewPlanes& planes, const PSColorSpaceSuite1& colorSpace,
                        int16_t ics);
    // Whether a row of the last colours handed out is in the engine's space.
    bool RowConverted(int32_t row) const {
        return row >= 0 && size_t(row) < converted_.size() && converted_[size_t(row)] != 0;
    }

  private:
    template <typename Record>
    const Record* Of(std::vector<Record>& records, const PreviewPlanes& planes,
                     const PSColorSpaceSuite1& colorSpace, int16_t ics);

    std::vector<Color8> records8_;
    std::vector<Color16> records16_;
    std::vector<uint8_t> converted_;
    bool kept_ = false;
    bool sixteenBit_ = false;
    int16_t space_ = 0, ics_ = 0;
    int32_t width_ = 0, height_ = 0;
};

// Fills the display from the planes; live rows map the colours `ics` keeps. `row` is scratch
// storage of planes.width records.
void ConvertPreviewRows(const PreviewPlanes& planes, engine::ColorEngine& engine,
                        const PSColorSpaceSuite1& colorSpace, IcsColours& ics, Color16* row,
                        const DisplayPixels& display);

// Fills the display with what the transformation moves: pixels it leaves as they were as a dim
// grey of their lightness, moved ones coloured by how far they move (CIE76 colour difference),
// from blue for a slight move through green and yellow to red for kMovesFullScale and more.
// `rows` is scratch storage of 2 x planes.width records, `moved` of planes.width flags.
inline constexpr double kMovesFullScale = 25.0;
void ConvertMovesRows(const PreviewPlanes& planes, engine::ColorEngine& engine,
                      const PSColorSpaceSuite1& colorSpace, Color16* rows, bool* moved,
                      const DisplayPixels& display);

// What the left pane keeps between draws: the document's channels as read for the view shown,
// and their colours in the engine's space. The document does not change while the dialog is
// open, so it is read through the host only when the view changes (scroll, zoom, pane size); an
// update after an edit costs one pass over the display's pixels, never one over the document.
class PreviewSource {
  public:
    struct View {
        VRect source;          // the document's part shown
        int32_t width, height; // its size on the display
        bool operator==(const View& other) const {
            return source.top == other.source.top && source.left == other.source.left &&
                   source.bottom == other.source.bottom && source.right == other.source.right &&
                   width == other.width && height == other.height;
        }
    };

    // Storage for views of width x height, the first plane zeroed; throws std::bad_alloc.
    void Allocate(int32_t width, int32_t height);
    void Release();
    bool Allocated() const { return !row_.empty(); }

    // Reads the view's planes unless they hold it already; a read the host refused is tried
    // again at the next call. True when the host was asked.
    bool Read(const ReadChannelDesc* channels, const ChannelPortProcs& ports, const View& view);

    PreviewPlanes Planes(int16_t space, bool sixteenBit, bool live) const;
    IcsColours& Ics() { return ics_; }
    // Scratch storage of two rows of colour records and a row of flags.
    Color16* Rows() { return reinterpret_cast<Color16*>(row_.data()); }
    bool* Moved() { return moved_.get(); }

  private:
    std::vector<uint8_t> planes_[4];
    std::vector<uint8_t> row_;
    std::unique_ptr<bool[]> moved_;
    IcsColours ics_;
    int32_t width_ = 0, height_ = 0;
    View read_{};
    bool holdsView_ = false;
};

} // namespace quillon::dialog

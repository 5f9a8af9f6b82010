// The strip between the two panes that lists the colour adjustments as pairs of swatches, one
// page at a time: the page that holds the selected adjustment.
#pragma once

#include "dialog/QLNItem.h"
#include "pluginapi/PIColorSpace.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace quillon::engine {
class ColorEngine;
}

namespace quillon::dialog {

// What the strip tells the dialog after an edit made in it.
// TargetFollowing: the target shows the colour being chosen in the open picker (or the one it
// had again, after a cancel); no edit to record yet.
enum class SwatchChange : int32_t {
    Selection = 1,
    Removed = 2,
    TargetPicked = 3,
    TargetFollowing = 4
};

// What the mouse is over, as SwatchPane::SwatchState reports it to the hint line.
inline constexpr int32_t kSwatchOverNothing = 0;
inline constexpr int32_t kSwatchOverRow = 1;         // a row that is not selected
inline constexpr int32_t kSwatchOverSelectedRow = 2; // the selected row
inline constexpr int32_t kSwatchOverRemove = 3;      // the selected row's wastebasket
inline constexpr int32_t kSwatchOverPrevious = 4;    // the previous-page button
inline constexpr int32_t kSwatchOverNext = 5;        // the next-page button

// Heights of the strip's parts, in pixels.
inline constexpr int32_t kSwatchRowHeight = 18;
// The page buttons' strip and the gap above it.
inline constexpr int32_t kSwatchBelowRows = 25;

// One page of the strip and what lies where on it, for a table with user adjustments from
// `first` to `count` - 1, the selected index `selected` (-1 or any index outside them for none),
// `rows` rows per page and a pane of `width` by `height` pixels. Points are local to the pane;
// a point outside it (a drag that left it) is over nothing.
//
//   x: 0 2    16 19   33 35 37   53 56
//      +--------------------+             row i: y 18i .. 18i + 18, selection frame
//      | [orig]   [target]  |  [bin]      y 18i + 2 .. 18i + 20, swatches y 18i + 4 .. 18i + 18,
//      +--------------------+             wastebasket (selected row only) y 18i + 3 .. 18i + 19
//      ...
//      [ <-- ]      [ --> ]               the bottom 19 pixels: previous x 0..25, next x 30..55
class SwatchLayout {
  public:
    SwatchLayout(int32_t first, int32_t count, int32_t selected, int32_t rows, int32_t width,
                 int32_t height);

    // The adjustment shown in the first row, and the number of rows shown: none without a
    // selection.
    int32_t Start() const { return start_; }
    int32_t Shown() const { return shown_; }
    // The selected user adjustment, if any.
    std::optional<int32_t> Selected() const { return selected_; }
    bool HasPrevious() const { return start_ > first_; }
    bool HasNext() const { return start_ + rows_ < count_; }
    // What the page buttons select: the last adjustment of the previous page, the first of the
    // next one.
    int32_t PreviousTarget() const { return std::max(first_, start_ - 1); }
    int32_t NextTarget() const { return std::min(count_ - 1, start_ + rows_); }

    // The adjustment of the row under the point.
    std::optional<int32_t> RowAt(ADMPoint point) const;
    bool OverRemove(ADMPoint point) const;
    // Only a button that is shown can be over the point.
    bool OverPrevious(ADMPoint point) const;
    bool OverNext(ADMPoint point) const;
    // kSwatchOverNothing .. kSwatchOverNext for the point.
    int32_t StateAt(ADMPoint point) const;

  private:
    bool InPane(ADMPoint point) const;
    bool InButtonStrip(ADMPoint point) const;

    int32_t first_, count_, rows_, width_, height_;
    std::optional<int32_t> selected_;
    int32_t start_ = 0;
    int32_t shown_ = 0;
};

class SwatchPane;
using SwatchChangeCallback = void (*)(SwatchPane& pane, const Tracker& tracker,
                                      SwatchChange change);

class SwatchPane : public QLNItem {
  public:
    void SetEngine(engine::ColorEngine* engine) { engine_ = engine; }
    // The module whose icons the strip draws.
    void SetPluginRef(ADMPluginRef plugin) { plugin_ = plugin; }
    void SetChangeCallback(SwatchChangeCallback callback) { change_ = callback; }

    // What the mouse is over, for the hint line: kSwatchOverNothing .. kSwatchOverNext.
    int32_t SwatchState() const { return swatchState_; }
    int32_t VisibleRows() const { return visibleRows_; }
    // Rows per page from the pane's height; never fewer than one.
    void UpdateVisibleRows();

    static void Draw(SwatchPane& pane, Drawer& drawer);
    static void Track(SwatchPane& pane, const Tracker& tracker);

    void OnEnter() override;
    void OnLeave() override;

  private:
    SwatchLayout Layout() const;
    void Changed(const Tracker& tracker, SwatchChange change);
    void OnButtonDown(const Tracker& tracker);
    // The state for the point; the wastebasket and the page buttons are redrawn when the mouse
    // comes onto or leaves them, and the hint line hears of every change.
    void OnMouseMoved(ADMPoint point);
    void OnButtonUp(const Tracker& tracker);
    // A double-click on a row: its target from the host's colour picker, followed while the
    // picker is open where the host reports each change.
    void PickTarget(const Tracker& tracker);
    struct PickFollow;
    static void PickerChanged(void* data, ColorID id);
    // The selected adjustment's target from 8-bit components of space.
    void SetPickedTarget(const uint8_t components[4], ColorSpace space);
    void DrawRow(Drawer& drawer, const SwatchLayout& layout, int32_t row, ADMPoint mouse) const;

    engine::ColorEngine* engine_ = nullptr;
    ADMPluginRef plugin_ = nullptr;
    SwatchChangeCallback change_ = nullptr;
    int32_t swatchState_ = kSwatchOverNothing;
    // The state when the button went down: the wastebasket and the page buttons act when it is
    // released over what it was pressed on.
    int32_t pressedState_ = kSwatchOverNothing;
    int32_t visibleRows_ = 2;
};

} // namespace quillon::dialog

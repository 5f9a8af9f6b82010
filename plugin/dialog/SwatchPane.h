// The strip between the two panes that lists the colour adjustments as pairs of swatches.
#pragma once

#include "dialog/QLNItem.h"

#include <cstdint>

namespace quillon::engine {
class ColorEngine;
}

namespace quillon::dialog {

// What the strip tells the dialog after an edit made in it.
enum class SwatchChange : int32_t { Selection = 1, Removed = 2, TargetPicked = 3 };

class SwatchPane;
using SwatchChangeCallback = void (*)(SwatchPane& pane, const Tracker& tracker,
                                      SwatchChange change);

class SwatchPane : public QLNItem {
  public:
    void SetEngine(engine::ColorEngine* engine) { engine_ = engine; }
    void SetChangeCallback(SwatchChangeCallback callback) { change_ = callback; }

    // What the mouse is over, for the hint line.
    int32_t SwatchState() const { return swatchState_; }
    int32_t VisibleRows() const { return visibleRows_; }
    // Rows per page from the pane's height; never fewer than one.
    void UpdateVisibleRows();

    static void Draw(SwatchPane& pane, Drawer& drawer);
    static void Track(SwatchPane& pane, const Tracker& tracker);

  private:
    engine::ColorEngine* engine_ = nullptr;
    SwatchChangeCallback change_ = nullptr;
    int32_t swatchState_ = 0;
    int32_t visibleRows_ = 2;
};

} // namespace quillon::dialog

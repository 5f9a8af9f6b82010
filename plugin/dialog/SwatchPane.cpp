#include "dialog/SwatchPane.h"

#include <algorithm>

namespace quillon::dialog {
namespace {

constexpr int32_t kRowHeight = 18;
// The page buttons' strip and the gap above it.
constexpr int32_t kBelowRows = 25;

} // namespace

void SwatchPane::UpdateVisibleRows() {
    const ADMRect local = GetItem().LocalRect();
    visibleRows_ = std::max(1, (local.bottom - local.top - kBelowRows) / kRowHeight);
}

void SwatchPane::Draw(SwatchPane& pane, Drawer& drawer) {
    drawer.SunkenRect(pane.GetItem().LocalRect());
}

void SwatchPane::Track(SwatchPane& pane, const Tracker& tracker) {
    pane.PreTrack(tracker);
}

} // namespace quillon::dialog

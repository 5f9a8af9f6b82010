#include "dialog/SwatchPane.h"

#include "engine/ColorEngine.h"
#include "pluginapi/PIPickerFollow.h"
#include "suites/HostSuites.h"
#include "suites/ScopedSuite.h"

#include <utility>

namespace quillon::dialog {
namespace {

// Icons of the plug-in's resources.
constexpr ADMInt32 kRemoveIcon = 43;
constexpr ADMInt32 kRemoveHighlightedIcon = 44;
constexpr ADMInt32 kPadlockIcon = 46;
constexpr ADMInt32 kPreviousIcon = 50;
constexpr ADMInt32 kPreviousHighlightedIcon = 51;
constexpr ADMInt32 kNextIcon = 52;
constexpr ADMInt32 kNextHighlightedIcon = 53;

// Columns of a row and of the button strip (left, right; right exclusive).
constexpr int32_t kFrameRight = 35;
constexpr int32_t kOriginalLeft = 2, kOriginalRight = 16;
constexpr int32_t kTargetLeft = 19, kTargetRight = 33;
constexpr int32_t kRemoveLeft = 37, kRemoveRight = 53;
// The wastebasket answers from this column on.
constexpr int32_t kRemoveHitLeft = 38;
constexpr int32_t kPreviousLeft = 0, kPreviousRight = 25;
constexpr int32_t kNextLeft = 30, kNextRight = 55;
// The button strip's height, and the height its hit test reaches up from the bottom.
constexpr int32_t kButtonStripHeight = 19;
constexpr int32_t kButtonHitHeight = 20;

// A point no pane holds, for a mouse that is not over the pane.
constexpr ADMPoint kNowhere = {-100000, -100000};

// A component on the 0..32768 scale as the drawer's 16-bit one: doubled, full scale to 65535.
uint16_t DisplayComponent(int32_t v) {
    const int32_t clamped = std::clamp(v, 0, engine::kFullScale16);
    return clamped == engine::kFullScale16 ? uint16_t(65535) : uint16_t(2 * clamped);
}

uint16_t Component16(int32_t v) {
    return uint16_t(std::clamp(v, 0, engine::kFullScale16));
}

void DrawIcon(Drawer& drawer, ADMPluginRef plugin, ADMInt32 id, const ADMRect& rect) {
    const Icon icon(plugin, id);
    drawer.IconCentered(icon, rect);
}

// A sunken frame, a black outline inside it and the colour inside that.
void DrawSwatch(Drawer& drawer, const ADMRect& rect, const int32_t rgb[3]) {
    drawer.SunkenRect(rect);
    drawer.SetColor(kADMBlackColor);
    drawer.Rect({rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1});
    drawer.SetRGBColor(DisplayComponent(rgb[0]), DisplayComponent(rgb[1]),
                       DisplayComponent(rgb[2]));
    drawer.FillRect({rect.left + 2, rect.top + 2, rect.right - 2, rect.bottom - 2});
}

bool IsButtonState(int32_t state) {
    return state == kSwatchOverRemove || state == kSwatchOverPrevious || state == kSwatchOverNext;
}

} // namespace

// --- layout -----------------------------------------------------------------------------------

SwatchLayout::SwatchLayout(int32_t first, int32_t count, int32_t selected, int32_t rows,
                           int32_t width, int32_t height)
    : first_(first), count_(std::max(count, first)), rows_(std::max(1, rows)), width_(width),
      height_(height) {
    start_ = first_;
    if (selected < first_ || selected >= count_) return;
    selected_ = selected;
    start_ = first_ + rows_ * ((selected - first_) / rows_);
    shown_ = std::min(rows_, count_ - start_);
}

bool SwatchLayout::InPane(ADMPoint point) const {
    return point.h >= 0 && point.h < width_ && point.v >= 0 && point.v < height_;
}

bool SwatchLayout::InButtonStrip(ADMPoint point) const {
    return InPane(point) && point.v >= height_ - kButtonHitHeight;
}

std::optional<int32_t> SwatchLayout::RowAt(ADMPoint point) const {
    if (!selected_ || !InPane(point)) return std::nullopt;
    const int32_t row = point.v / kSwatchRowHeight;
    if (row >= shown_) return std::nullopt;
    return start_ + row;
}

bool SwatchLayout::OverRemove(ADMPoint point) const {
    return selected_ && RowAt(point) == selected_ && point.h >= kRemoveHitLeft;
}

bool SwatchLayout::OverPrevious(ADMPoint point) const {
    return HasPrevious() && InButtonStrip(point) && point.h >= kPreviousLeft &&
           point.h <= kPreviousRight;
}

bool SwatchLayout::OverNext(ADMPoint point) const {
    return HasNext() && InButtonStrip(point) && point.h >= kNextLeft && point.h <= kNextRight;
}

int32_t SwatchLayout::StateAt(ADMPoint point) const {
    if (OverRemove(point)) return kSwatchOverRemove;
    if (OverPrevious(point)) return kSwatchOverPrevious;
    if (OverNext(point)) return kSwatchOverNext;
    const std::optional<int32_t> row = RowAt(point);
    if (!row) return kSwatchOverNothing;
    return row == selected_ ? kSwatchOverSelectedRow : kSwatchOverRow;
}

// --- the pane ---------------------------------------------------------------------------------

void SwatchPane::UpdateVisibleRows() {
    const ADMRect local = GetItem().LocalRect();
    visibleRows_ = std::max(1, (local.bottom - local.top - kSwatchBelowRows) / kSwatchRowHeight);
}

SwatchLayout SwatchPane::Layout() const {
    const ADMRect local = ItemRef() ? GetItem().LocalRect() : ADMRect{0, 0, 0, 0};
    return SwatchLayout(engine_->FirstUserIndex(), engine_->EntryCount(), engine_->Selected(),
                        visibleRows_, local.right - local.left, local.bottom - local.top);
}

void SwatchPane::Changed(const Tracker& tracker, SwatchChange change) {
    if (change_) change_(*this, tracker, change);
}

void SwatchPane::DrawRow(Drawer& drawer, const SwatchLayout& layout, int32_t row,
                         ADMPoint mouse) const {
    const int32_t index = layout.Start() + row;
    const engine::Adjustment& a = engine_->Record(index);
    const bool selected = layout.Selected() == index;
    const int32_t top = row * kSwatchRowHeight;

    drawer.SetColor(selected ? kADMHiliteColor : kADMPaneColor);
    drawer.Rect({0, top + 2, kFrameRight, top + 20});
    DrawSwatch(drawer, {kOriginalLeft, top + 4, kOriginalRight, top + 18}, a.originalRgb);
    const ADMRect target{kTargetLeft, top + 4, kTargetRight, top + 18};
    if (a.locked) {
        // A locked adjustment keeps its colour: it has no target to show.
        drawer.SetColor(kADMPaneColor);
        drawer.FillRect(target);
        DrawIcon(drawer, plugin_, kPadlockIcon, target);
    } else {
        DrawSwatch(drawer, target, a.targetRgb);
    }
    const ADMRect remove{kRemoveLeft, top + 3, kRemoveRight, top + 19};
    drawer.SetColor(kADMPaneColor);
    drawer.FillRect(remove);
    if (selected) {
        const bool over = swatchState_ == kSwatchOverRemove || layout.OverRemove(mouse);
        DrawIcon(drawer, plugin_, over ? kRemoveHighlightedIcon : kRemoveIcon, remove);
    }
}

void SwatchPane::Draw(SwatchPane& pane, Drawer& drawer) {
    if (!pane.engine_) return;
    const ADMRect local = pane.GetItem().LocalRect();
    const int32_t width = local.right - local.left;
    const int32_t height = local.bottom - local.top;
    const SwatchLayout layout = pane.Layout();
    const ADMPoint mouse =
        pane.Inside() ? pane.GetItem().ScreenToLocal(CurrentState().Point()) : kNowhere;

    for (int32_t row = 0; row < layout.Shown(); ++row)
        pane.DrawRow(drawer, layout, row, mouse);
    drawer.SetColor(kADMPaneColor);
    drawer.FillRect({0, layout.Shown() * kSwatchRowHeight + 2, width, height - 20});
    const int32_t stripTop = height - kButtonStripHeight;
    drawer.FillRect({0, stripTop, width, height});
    const int32_t state = pane.swatchState_;
    if (layout.HasPrevious()) {
        const bool over = state == kSwatchOverPrevious || layout.OverPrevious(mouse);
        DrawIcon(drawer, pane.plugin_, over ? kPreviousHighlightedIcon : kPreviousIcon,
                 {kPreviousLeft, stripTop, kPreviousRight, height});
    }
    if (layout.HasNext()) {
        const bool over = state == kSwatchOverNext || layout.OverNext(mouse);
        DrawIcon(drawer, pane.plugin_, over ? kNextHighlightedIcon : kNextIcon,
                 {kNextLeft, stripTop, kNextRight, height});
    }
}

void SwatchPane::Track(SwatchPane& pane, const Tracker& tracker) {
    if (pane.PreTrack(tracker) || !pane.engine_) return;
    switch (tracker.Action()) {
    case kADMButtonDownAction:
        pane.OnButtonDown(tracker);
        break;
    case kADMMouseMovedUpAction:
    case kADMMouseMovedDownAction:
        pane.OnMouseMoved(tracker.Point());
        break;
    case kADMButtonUpAction:
        pane.OnButtonUp(tracker);
        break;
    default:
        break;
    }
}

void SwatchPane::OnMouseMoved(ADMPoint point) {
    const int32_t old = swatchState_;
    swatchState_ = Layout().StateAt(point);
    if (swatchState_ == old) return;
    if (IsButtonState(old) || IsButtonState(swatchState_)) GetItem().Invalidate();
    Hint(HintReason::Changed);
}

void SwatchPane::OnButtonDown(const Tracker& tracker) {
    pressedState_ = swatchState_;
    const bool onRow = swatchState_ == kSwatchOverRow || swatchState_ == kSwatchOverSelectedRow;
    if (onRow && tracker.TestModifier(kADMDoubleClickModifier)) {
        PickTarget(tracker);
        return;
    }
    if (const std::optional<int32_t> row = Layout().RowAt(tracker.Point())) engine_->Select(*row);
    GetItem().Invalidate();
    Changed(tracker, SwatchChange::Selection);
    // The row under the mouse may be the selected one now, with its wastebasket.
    OnMouseMoved(tracker.Point());
}

void SwatchPane::OnButtonUp(const Tracker& tracker) {
    // A press on a row that only brought the wastebasket under the mouse, or a drag from one
    // button to another, is no click on what it was released over.
    const int32_t pressed = std::exchange(pressedState_, kSwatchOverNothing);
    if (pressed != swatchState_) return;
    // The table may have changed under a resting mouse (undo from the keyboard): each action
    // checks that what it acts on is still there.
    const SwatchLayout layout = Layout();
    switch (swatchState_) {
    case kSwatchOverRemove:
        if (!layout.Selected()) return;
        engine_->RemoveSelected();
        GetItem().Invalidate();
        Changed(tracker, SwatchChange::Removed);
        break;
    case kSwatchOverPrevious:
        if (!layout.HasPrevious()) return;
        engine_->Select(layout.PreviousTarget());
        GetItem().Invalidate();
        Changed(tracker, SwatchChange::Selection);
        break;
    case kSwatchOverNext:
        if (!layout.HasNext()) return;
        engine_->Select(layout.NextTarget());
        GetItem().Invalidate();
        Changed(tracker, SwatchChange::Selection);
        break;
    default:
        return;
    }
    // A second click where the wastebasket or a page button was must not act on what moved
    // under the mouse.
    OnMouseMoved(tracker.Point());
}

// The picker's reports of the colour being chosen, and what they are applied with.
struct SwatchPane::PickFollow {
    SwatchPane& pane;
    const Tracker& tracker;
    ColorSpace space;
    bool followed = false;
};

void SwatchPane::PickerChanged(void* data, ColorID id) {
    auto& follow = *static_cast<PickFollow*>(data);
    uint8_t c[4] = {};
    if (suites::ColorSpace().ExtractComponents(id, follow.space, &c[0], &c[1], &c[2], &c[3],
                                               nullptr) != kSPNoError)
        return;
    follow.pane.SetPickedTarget(c, follow.space);
    follow.followed = true;
    follow.pane.Changed(follow.tracker, SwatchChange::TargetFollowing);
}

void SwatchPane::PickTarget(const Tracker& tracker) {
    const std::optional<int32_t> row = Layout().RowAt(tracker.Point());
    if (!row) return;
    if (*row != engine_->Selected()) {
        engine_->Select(*row);
        Changed(tracker, SwatchChange::Selection);
    }

    // The picker works on 8-bit colours in the engine's space; components in record order, the
    // first one carrying no colour.
    const engine::Adjustment before = engine_->Record(*row);
    const uint16_t shown16[4] = {0, Component16(before.target[0]), Component16(before.target[1]),
                                 Component16(before.target[2])};
    const PSColorSpaceSuite1& cs = suites::ColorSpace();
    const auto space = ColorSpace(engine_->IcsCode());
    uint8_t shown[4] = {};
    cs.Convert16to8(shown16, shown, 4);
    uint8_t picked[4] = {shown[0], shown[1], shown[2], shown[3]};
    PickFollow follow{*this, tracker, space};
    ColorID id = nullptr;
    if (cs.Make(&id) == kSPNoError && id) {
        cs.StuffComponents(id, space, shown[0], shown[1], shown[2], shown[3]);
        // Where the host reports the colour being chosen, the preview follows the picker.
        // Cancelled or failed, the picker leaves the colour as it was.
        const suites::ScopedSuite<QuillonPickerFollowSuite1> following(
            suites::BasicSuite(), kQuillonPickerFollowSuite, kQuillonPickerFollowSuiteVersion1);
        if (following)
            following->PickColorFollowing(&id, nullptr, &PickerChanged, &follow);
        else
            cs.PickColor(&id, nullptr);
        cs.ExtractComponents(id, space, &picked[0], &picked[1], &picked[2], &picked[3], nullptr);
        cs.Delete(&id);
    }
    if (picked[1] == shown[1] && picked[2] == shown[2] && picked[3] == shown[3]) {
        // Cancelled, or confirmed as it opened: the adjustment exactly as it was, and no edit.
        if (!follow.followed) return;
        engine_->ReplaceSelected(before);
        GetItem().Invalidate();
        Changed(tracker, SwatchChange::TargetFollowing);
        return;
    }
    SetPickedTarget(picked, space);
    Changed(tracker, SwatchChange::TargetPicked);
}

void SwatchPane::SetPickedTarget(const uint8_t components[4], ColorSpace space) {
    const PSColorSpaceSuite1& cs = suites::ColorSpace();
    const uint8_t picked[4] = {0, components[1], components[2], components[3]};
    uint16_t wide[4] = {};
    cs.Convert8to16(picked, wide, 4);
    const engine::ColorRecord16 color{0, wide[1], wide[2], wide[3]};
    Color16 rgb{0, wide[1], wide[2], wide[3]};
    cs.Convert16(space, plugIncolorServicesRGBSpace, &rgb, 1);
    engine_->SetTarget(color, {rgb.c0, rgb.c1, rgb.c2, rgb.c3}, std::nullopt);
    GetItem().Invalidate();
}

void SwatchPane::OnEnter() {
    const ADMPoint point = GetItem().ScreenToLocal(CurrentState().Point());
    const SwatchLayout layout = Layout();
    if (layout.OverRemove(point))
        swatchState_ = kSwatchOverRemove;
    else if (layout.OverPrevious(point))
        swatchState_ = kSwatchOverPrevious;
    else if (layout.OverNext(point))
        swatchState_ = kSwatchOverNext;
    else {
        swatchState_ = kSwatchOverNothing;
        return;
    }
    GetItem().Invalidate();
}

void SwatchPane::OnLeave() {
    if (!IsButtonState(swatchState_)) return;
    swatchState_ = kSwatchOverNothing;
    GetItem().Invalidate();
}

} // namespace quillon::dialog

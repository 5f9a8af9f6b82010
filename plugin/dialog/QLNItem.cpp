#include "dialog/QLNItem.h"

#include <algorithm>

namespace quillon::dialog {
namespace {

bool Contains(const ADMRect& rect, ADMPoint point) {
    return point.h >= rect.left && point.h < rect.right && point.v >= rect.top &&
           point.v < rect.bottom;
}

void Unregister(HoverState& hover, QLNItem* item) {
    std::replace(hover.items.begin(), hover.items.end(), item, static_cast<QLNItem*>(nullptr));
    if (hover.hovered == item) hover.Forget();
}

} // namespace

QLNItem::~QLNItem() {
    if (hover_) Unregister(*hover_, this);
}

void QLNItem::Bind(ADMItemRef item, HoverState* hover) {
    if (hover_) Unregister(*hover_, this);
    item_ = item;
    hover_ = item ? hover : nullptr;
    inside_ = false;
    hoverTimer_ = 0;
    if (!hover_) return;
    const auto free = std::find(hover_->items.begin(), hover_->items.end(), nullptr);
    if (free != hover_->items.end()) *free = this;
}

void QLNItem::Enter() {
    inside_ = true;
    if (hoverTimer_ == 0 && hover_) {
        hover_->hovered = this;
        hover_->altPoll = HoverState::AltPoll::Unknown;
        hoverTimer_ = GetItem().GetDialog().CreateTimer(kHoverPeriodMilliseconds, &HoverTimer);
    }
    OnEnter();
    Hint(HintReason::Entered);
}

void QLNItem::Leave() {
    inside_ = false;
    if (hoverTimer_ != 0) {
        GetItem().GetDialog().AbortTimer(hoverTimer_);
        hoverTimer_ = 0;
        if (hover_ && hover_->hovered == this) hover_->hovered = nullptr;
    }
    OnLeave();
    Hint(HintReason::Left);
}

bool QLNItem::PreTrack(const Tracker& tracker) {
    switch (tracker.Action()) {
    case kADMEnterAction:
        Enter();
        return true;
    case kADMLeaveAction:
        Leave();
        return true;
    case kADMMouseMovedUpAction:
    case kADMMouseMovedDownAction:
        if (cursorName_) SetCursor(cursorName_);
        // A move inside without an enter before it (the window system may not send one).
        if (!inside_ && Contains(GetItem().LocalRect(), tracker.Point())) Enter();
        return false;
    default:
        return false;
    }
}

void QLNItem::SetCursorName(const char* name) {
    cursorName_ = name;
    // Shown only under the mouse: a tool chosen on its button must not change the button's.
    if (name && inside_) SetCursor(name);
}

ADMBoolean HoverTimer(ADMDialogRef dialog, ADMTimerID timer) noexcept {
    auto* session = static_cast<CustomItemsSession*>(ModalSession::Of(dialog));
    if (!session) return false;
    HoverState& hover = session->hover;
    ADMBoolean keepGoing = false;
    Guarded(dialog, [&] {
        QLNItem* item = hover.hovered;
        if (!item) return;
        const Tracker now = CurrentState();
        const ADMPoint point = item->GetItem().ScreenToLocal(now.Point());
        const bool altDown = now.TestModifier(kADMOptionKeyModifier);
        if (altDown && hover.altPoll != HoverState::AltPoll::Down) {
            hover.altPoll = HoverState::AltPoll::Down;
            item->OnAltDown();
        } else if (!altDown && hover.altPoll != HoverState::AltPoll::Up) {
            hover.altPoll = HoverState::AltPoll::Up;
            item->OnAltUp();
        }
        if (Contains(item->GetItem().LocalRect(), point)) {
            keepGoing = true;
            return;
        }
        item->Leave();
    });
    if (!keepGoing)
        for (QLNItem* item : hover.items)
            if (item && item->hoverTimer_ == timer) item->hoverTimer_ = 0;
    return keepGoing;
}

} // namespace quillon::dialog

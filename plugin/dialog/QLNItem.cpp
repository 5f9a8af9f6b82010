#include "dialog/QLNItem.h"

#include <algorithm>
#include <array>

namespace quillon::dialog {
namespace {

enum class AltPoll { Unknown, Up, Down };

// The item entered last, whose timer is running, and what the timer last saw of the Alt key.
QLNItem* gHovered = nullptr;
AltPoll gAltPoll = AltPoll::Unknown;

// Every item object, so a timer that stops can be struck off whichever item started it: the
// timer polls the item entered last, which need not be its own.
constexpr size_t kMaxItems = 16;
std::array<QLNItem*, kMaxItems> gItems{};

bool Contains(const ADMRect& rect, ADMPoint point) {
    return point.h >= rect.left && point.h < rect.right && point.v >= rect.top &&
           point.v < rect.bottom;
}

} // namespace

QLNItem::QLNItem() {
    const auto free = std::find(gItems.begin(), gItems.end(), nullptr);
    if (free != gItems.end()) *free = this;
}

QLNItem::~QLNItem() {
    std::replace(gItems.begin(), gItems.end(), this, static_cast<QLNItem*>(nullptr));
    if (gHovered == this) gHovered = nullptr;
}

void ForgetHoveredItem() {
    gHovered = nullptr;
    gAltPoll = AltPoll::Unknown;
}

void QLNItem::Bind(ADMItemRef item) {
    if (gHovered == this) ForgetHoveredItem();
    item_ = item;
    inside_ = false;
    hoverTimer_ = 0;
}

void QLNItem::Enter() {
    inside_ = true;
    if (hoverTimer_ == 0) {
        gHovered = this;
        gAltPoll = AltPoll::Unknown;
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
        if (gHovered == this) gHovered = nullptr;
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
    ADMBoolean keepGoing = false;
    Guarded(dialog, [&] {
        QLNItem* item = gHovered;
        if (!item) return;
        const Tracker now = CurrentState();
        const ADMPoint point = item->GetItem().ScreenToLocal(now.Point());
        const bool altDown = now.TestModifier(kADMOptionKeyModifier);
        if (altDown && gAltPoll != AltPoll::Down) {
            gAltPoll = AltPoll::Down;
            item->OnAltDown();
        } else if (!altDown && gAltPoll != AltPoll::Up) {
            gAltPoll = AltPoll::Up;
            item->OnAltUp();
        }
        if (Contains(item->GetItem().LocalRect(), point)) {
            keepGoing = true;
            return;
        }
        item->Leave();
    });
    if (!keepGoing)
        for (QLNItem* item : gItems)
            if (item && item->hoverTimer_ == timer) item->hoverTimer_ = 0;
    return keepGoing;
}

} // namespace quillon::dialog

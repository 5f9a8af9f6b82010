// The root of the main dialog's custom items: how mouse events reach an item, how entering and
// leaving it is seen, the Alt key polled while the mouse rests on it, and host cursors by name.
// Every item object lives as long as its dialog's session and is bound to the dialog item built
// for it.
#pragma once

#include "dialog/AdmWrappers.h"

#include <array>
#include <cstddef>

namespace quillon::dialog {

class QLNItem;

// Why the hint line is asked for a new text.
enum class HintReason { Entered = 0, Left = 1, Changed = 2 };
using HintCallback = void (*)(QLNItem& item, HintReason reason);

// What the custom items of one opening share about the mouse resting on them: the item entered
// last, whose timer polls the Alt key, and every bound item, so a timer that stops can be struck
// off whichever item started it (the timer polls the item entered last, which need not be its
// own).
struct HoverState {
    enum class AltPoll { Unknown, Up, Down };
    static constexpr size_t kMaxItems = 16;

    QLNItem* hovered = nullptr;
    AltPoll altPoll = AltPoll::Unknown;
    std::array<QLNItem*, kMaxItems> items{};

    // Clears the hovered item; the dialog calls it when it closes.
    void Forget() {
        hovered = nullptr;
        altPoll = AltPoll::Unknown;
    }
};

// The session of a dialog with custom items: the hover timer finds the items' shared state
// through it.
class CustomItemsSession : public ModalSession {
  public:
    HoverState hover;
};

class QLNItem {
  public:
    QLNItem() = default;
    virtual ~QLNItem();
    QLNItem(const QLNItem&) = delete;
    QLNItem& operator=(const QLNItem&) = delete;

    // Ties the object to the dialog item built for it, sharing the hover state of the items of
    // its dialog; a null item unbinds it.
    void Bind(ADMItemRef item, HoverState* hover);
    ADMItemRef ItemRef() const { return item_; }
    Item GetItem() const { return Item(item_); }
    bool Inside() const { return inside_; }

    void SetHintCallback(HintCallback callback) { hint_ = callback; }

    // Mouse in and out; both tell the hint line afterwards.
    void Enter();
    void Leave();
    // The first step of every custom item's track callback: true when the event was an enter or
    // leave and nothing more is to be done with it.
    bool PreTrack(const Tracker& tracker);

    // The host cursor shown over the item, at once when the mouse is inside and again on every
    // mouse move; null shows none.
    void SetCursorName(const char* name);
    const char* CursorName() const { return cursorName_; }

    virtual void OnEnter() {}
    virtual void OnLeave() {}
    virtual void OnAltDown() {}
    virtual void OnAltUp() {}
    virtual void OnShiftDown() {}
    virtual void OnShiftUp() {}

  protected:
    void Hint(HintReason reason) {
        if (hint_) hint_(*this, reason);
    }

  private:
    friend ADMBoolean HoverTimer(ADMDialogRef dialog, ADMTimerID timer) noexcept;

    ADMItemRef item_ = nullptr;
    bool inside_ = false;
    ADMTimerID hoverTimer_ = 0;
    HoverState* hover_ = nullptr;
    const char* cursorName_ = nullptr;
    HintCallback hint_ = nullptr;
};

// How often the item under the mouse is polled for the Alt key and for the mouse leaving it.
inline constexpr ADMInt32 kHoverPeriodMilliseconds = 50;

ADMBoolean HoverTimer(ADMDialogRef dialog, ADMTimerID timer) noexcept;

} // namespace quillon::dialog

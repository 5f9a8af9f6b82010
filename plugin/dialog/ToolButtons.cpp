#include "dialog/ToolButtons.h"

namespace quillon::dialog {
namespace {

QLNToolButton* ButtonOf(ADMItemRef ref) {
    return ref ? static_cast<QLNToolButton*>(Item(ref).UserData()) : nullptr;
}

} // namespace

ToolButtons MakeToolButtons() {
    return {
        QLNToolButton(Tool::Eyedropper, {39, 40, 41, 42}),
        QLNToolButton(Tool::Hand, {31, 32, 33, 34}),
        QLNToolButton(Tool::Zoom, {35, 36, 37, 38}),
    };
}

const QLNToolButton* ToolButtonOfItem(const ToolButtons& buttons, ADMItemRef item) {
    for (const QLNToolButton& button : buttons)
        if (item && button.ItemRef() == item) return &button;
    return nullptr;
}

void QLNToolButton::BindButton(Item item, HoverState* hover, ADMPluginRef plugin,
                               ToolChosenCallback chosen) {
    Bind(item.Ref(), hover);
    item.SetUserData(this);
    item.SetDrawProc(&DrawToolButton);
    item.SetTrackProc(&TrackToolButton);
    item.SetMask(kADMAllActionsMask);
    plugin_ = plugin;
    chosen_ = chosen;
}

void QLNToolButton::SetPressed(bool pressed) {
    if (pressed == pressed_) return;
    pressed_ = pressed;
    if (ItemRef()) GetItem().Invalidate();
}

ADMInt32 QLNToolButton::IconFor() const {
    if (pressed_) return mouseOver_ ? icons_[3] : icons_[2];
    return mouseOver_ ? icons_[1] : icons_[0];
}

void QLNToolButton::OnEnter() {
    mouseOver_ = true;
    GetItem().Invalidate();
}

void QLNToolButton::OnLeave() {
    mouseOver_ = false;
    GetItem().Invalidate();
}

void DrawToolButton(ADMItemRef ref, ADMDrawerRef drawerRef) noexcept {
    Item item(ref);
    GuardedItem(ref, [&] {
        const QLNToolButton* button = ButtonOf(ref);
        if (!button) return;
        Drawer drawer(drawerRef);
        const ADMRect local = item.LocalRect();
        drawer.SetColor(button->Pressed() ? kADMButtonFaceColor : kADMPaneColor);
        drawer.FillRect(local);
        // Sunken when pressed under the mouse, raised when pressed or under the mouse.
        if (button->Pressed() && button->MouseOver())
            drawer.SunkenRect(local);
        else if (button->Pressed() != button->MouseOver())
            drawer.RaisedRect(local);
        const Icon icon(button->plugin_, button->IconFor());
        drawer.IconCentered(icon, local);
    });
}

ADMBoolean TrackToolButton(ADMItemRef ref, ADMTrackerRef trackerRef) noexcept {
    GuardedItem(ref, [&] {
        QLNToolButton* button = ButtonOf(ref);
        if (!button) return;
        const Tracker tracker(trackerRef);
        if (button->PreTrack(tracker)) return;
        if (tracker.Action() != kADMButtonDownAction) return;
        // A press on the pressed button changes nothing.
        if (!button->Pressed() && button->chosen_) button->chosen_(*button);
    });
    return false;
}

} // namespace quillon::dialog

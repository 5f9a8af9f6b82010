#include "dialog/ToolButtons.h"

#include "dialog/DialogObjects.h"
#include "suites/PluginState.h"

namespace quillon::dialog {
namespace {

std::array<QLNToolButton, 3> gButtons = {
    QLNToolButton(Tool::Eyedropper, {39, 40, 41, 42}),
    QLNToolButton(Tool::Hand, {31, 32, 33, 34}),
    QLNToolButton(Tool::Zoom, {35, 36, 37, 38}),
};

Tool gCurrentTool = Tool::Eyedropper;

ADMPluginRef PluginRef() {
    const FilterRecord* record = suites::State().filterRecord;
    return record ? static_cast<ADMPluginRef>(record->plugInRef) : nullptr;
}

} // namespace

std::array<QLNToolButton, 3>& ToolButtons() {
    return gButtons;
}

QLNToolButton* ToolButtonOfItem(ADMItemRef item) {
    for (QLNToolButton& button : gButtons)
        if (item && button.ItemRef() == item) return &button;
    return nullptr;
}

Tool CurrentTool() {
    return gCurrentTool;
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

void ChooseTool(Tool tool) {
    gCurrentTool = tool;
    for (QLNToolButton& button : gButtons)
        button.SetPressed(button.ButtonTool() == tool);
    LeftPane().SetTool(tool);
    RightPane().SetTool(tool);
}

void DrawToolButton(ADMItemRef ref, ADMDrawerRef drawerRef) noexcept {
    Item item(ref);
    GuardedItem(ref, [&] {
        const QLNToolButton* button = ToolButtonOfItem(ref);
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
        const Icon icon(PluginRef(), button->IconFor());
        drawer.IconCentered(icon, local);
    });
}

ADMBoolean TrackToolButton(ADMItemRef ref, ADMTrackerRef trackerRef) noexcept {
    GuardedItem(ref, [&] {
        QLNToolButton* button = ToolButtonOfItem(ref);
        if (!button) return;
        const Tracker tracker(trackerRef);
        if (button->PreTrack(tracker)) return;
        if (tracker.Action() != kADMButtonDownAction) return;
        // A press on the pressed button changes nothing.
        if (!button->Pressed()) ChooseTool(button->ButtonTool());
    });
    return false;
}

} // namespace quillon::dialog

// The three tool buttons: eyedropper, hand and zoom. Exactly one is pressed, the current tool's;
// a button is released only by choosing another tool.
#pragma once

#include "dialog/ImagePanes.h"
#include "dialog/QLNItem.h"

#include <array>
#include <cstdint>

namespace quillon::dialog {

class QLNToolButton;
// Told when a press on a released button chooses its tool.
using ToolChosenCallback = void (*)(QLNToolButton& button);

class QLNToolButton : public QLNItem {
  public:
    // Icons: resting, under the mouse, pressed, pressed under the mouse.
    QLNToolButton(Tool tool, std::array<ADMInt32, 4> icons) : tool_(tool), icons_(icons) {}

    // The dialog item carries the button as its user data, so the shared callbacks find it.
    void BindButton(Item item, HoverState* hover, ADMPluginRef plugin, ToolChosenCallback chosen);
    void Unbind() { Bind(nullptr, nullptr); }

    Tool ButtonTool() const { return tool_; }
    bool Pressed() const { return pressed_; }
    bool MouseOver() const { return mouseOver_; }
    void SetPressed(bool pressed);
    ADMInt32 IconFor() const;

    void OnEnter() override;
    void OnLeave() override;

  private:
    friend void DrawToolButton(ADMItemRef item, ADMDrawerRef drawer) noexcept;
    friend ADMBoolean TrackToolButton(ADMItemRef item, ADMTrackerRef tracker) noexcept;

    Tool tool_;
    std::array<ADMInt32, 4> icons_;
    bool pressed_ = false;
    bool mouseOver_ = false;
    ADMPluginRef plugin_ = nullptr;
    ToolChosenCallback chosen_ = nullptr;
};

// In tool order, so a button's index is its tool's number.
using ToolButtons = std::array<QLNToolButton, 3>;
ToolButtons MakeToolButtons();

// The button bound to the item, if any.
const QLNToolButton* ToolButtonOfItem(const ToolButtons& buttons, ADMItemRef item);

// The draw and track callbacks all three buttons share.
void DrawToolButton(ADMItemRef item, ADMDrawerRef drawer) noexcept;
ADMBoolean TrackToolButton(ADMItemRef item, ADMTrackerRef tracker) noexcept;

} // namespace quillon::dialog

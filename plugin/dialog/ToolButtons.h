// The three tool buttons: eyedropper, hand and zoom. Exactly one is pressed, the current tool's;
// a button is released only by choosing another tool, and the choice outlives the dialog.
#pragma once

#include "dialog/ImagePanes.h"
#include "dialog/QLNItem.h"

#include <array>
#include <cstdint>

namespace quillon::dialog {

class QLNToolButton : public QLNItem {
  public:
    // Icons: resting, under the mouse, pressed, pressed under the mouse.
    QLNToolButton(Tool tool, std::array<ADMInt32, 4> icons) : tool_(tool), icons_(icons) {}

    Tool ButtonTool() const { return tool_; }
    bool Pressed() const { return pressed_; }
    bool MouseOver() const { return mouseOver_; }
    void SetPressed(bool pressed);
    ADMInt32 IconFor() const;

    void OnEnter() override;
    void OnLeave() override;

  private:
    Tool tool_;
    std::array<ADMInt32, 4> icons_;
    bool pressed_ = false;
    bool mouseOver_ = false;
};

// In tool order, so a button's index is its tool's number.
std::array<QLNToolButton, 3>& ToolButtons();
QLNToolButton* ToolButtonOfItem(ADMItemRef item);

// The tool in use; it stays chosen from one opening of the dialog to the next.
Tool CurrentTool();
// Presses the tool's button, releases the others and hands the tool to both panes.
void ChooseTool(Tool tool);

// The draw and track callbacks all three buttons share.
void DrawToolButton(ADMItemRef item, ADMDrawerRef drawer) noexcept;
ADMBoolean TrackToolButton(ADMItemRef item, ADMTrackerRef tracker) noexcept;

} // namespace quillon::dialog

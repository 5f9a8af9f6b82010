#include "dialog/HintLine.h"

#include "engine/ColorEngine.h"

namespace quillon::dialog {
namespace {

const char* const kToolHints[] = {
    "Choose this tool to adjust colors.",
    "Choose this tool to display a different part of the image.",
    "Choose this tool to zoom in or out.",
};

const char* FuzzinessHint() {
    return "Choose a small value to adjust only very similar colors.\n\rIncrease fuzziness to "
           "include colors that are less similar.";
}

const char* SwatchHint(int32_t state) {
    switch (state) {
    case 1:
        return "Click to select this color adjustment.";
    case 2:
        return "Double-click for color picker dialog.";
    case 3:
        return "Click to remove the selected color adjustment";
    case 4:
        return "Display previous set of color adjustments";
    case 5:
        return "Display next set of color adjustments";
    default:
        return nullptr;
    }
}

constexpr const char* kDragSampler = "You can drag the sampler to a different part of the image.";

const char* LeftPaneHint(CursorZone zone, bool hasSelection) {
    switch (zone) {
    case CursorZone::Image:
        return hasSelection ? "Click to select another color for adjustment.\n\rCtrl-click to "
                              "move the sampler.\n\rShift-click to lock an original "
                              "color.\n\rHold Shift key to view original image."
                            : "Select a color that needs to be adjusted.";
    case CursorZone::Sampler:
        return kDragSampler;
    case CursorZone::Elsewhere:
        break;
    }
    return nullptr;
}

const char* RightPaneHint(const QLNSampleImagePane& pane, bool hasSelection) {
    if (!pane.HasUserSample())
        return "Use the Open Sample button to load a sample image.\n\rSelect a color that needs "
               "to be adjusted in the left image.";
    if (!hasSelection) return "Select a color that needs to be adjusted in the left image first.";
    switch (pane.Zone()) {
    case CursorZone::Image:
        return "Select the desired color from this image to adjust the left image.";
    case CursorZone::Sampler:
        return kDragSampler;
    case CursorZone::Elsewhere:
        break;
    }
    return nullptr;
}

} // namespace

bool HintLine::HasSelection() const {
    return engine_.Selected() >= engine_.FirstUserIndex();
}

// What the swatch strip and the image panes say in their current state under the mouse; null for
// the general text.
const char* HintLine::FrameHint(ADMItemRef ref) const {
    if (ref == swatches_.ItemRef()) return SwatchHint(swatches_.SwatchState());
    if (left_.CurrentTool() == Tool::Hand) return "Use the mouse to drag the image around.";
    if (left_.CurrentTool() == Tool::Zoom) return "Click to zoom in.\n\rAlt-click to zoom out.";
    return ref == left_.ItemRef() ? LeftPaneHint(left_.Zone(), HasSelection())
                                  : RightPaneHint(right_, HasSelection());
}

// What a control says when the mouse enters it; null for the general text.
const char* HintLine::ControlHint(ADMItemRef ref) const {
    if (const QLNToolButton* button = ToolButtonOfItem(buttons_, ref))
        return button->Pressed() ? nullptr : kToolHints[int32_t(button->ButtonTool())];
    const ADMInt32 id = Item(ref).ID();
    if (id == kOKItem) return "Click Ok to apply the color change to the current document";
    if (id == kCancelItem) return "Click Cancel to quit.\n\rAlt-Cancel resets parameters.";
    if (id == kOpenSampleItem)
        return right_.HasUserSample()
                   ? "Open a different sample image.\n\rAlt-Open Sample to close the sample image."
                   : "Open a sample image. You will use it to choose desired colors.";
    if (id == items_.slider || id == items_.fuzzinessEdit) return FuzzinessHint();
    if (id == items_.checkBox)
        return "When checked, the luminosity (brightness) of the original colors is "
               "preserved.\n\rWhen unchecked, the luminosity is adjusted along with the colors.";
    if (id == items_.leftZoomMenu || id == items_.rightZoomMenu) return "Zoom in or out";
    return nullptr;
}

// The frames speak on entering and whenever their state under the mouse changes; the controls
// only on entering. Leaving always gives the general text.
const char* HintLine::ItemHint(ADMItemRef ref, HintReason reason) const {
    if (reason == HintReason::Left) return nullptr;
    if (ref == left_.ItemRef() || ref == right_.ItemRef() || ref == swatches_.ItemRef())
        return FrameHint(ref);
    return reason == HintReason::Entered ? ControlHint(ref) : nullptr;
}

void HintLine::Show(ADMItemRef ref, HintReason reason) {
    if (reason == HintReason::Entered && ref == lastHinted_) return;
    lastHinted_ = ref;
    const char* text = ItemHint(ref, reason);
    ShowText(text ? text : GeneralHint());
    if (reason == HintReason::Left) lastHinted_ = nullptr;
}

void HintLine::ShowText(const char* text) {
    if (!items_.hintText || !left_.ItemRef()) return;
    left_.GetItem().GetDialog().GetItem(items_.hintText).SetText(text);
}

const char* HintLine::GeneralHint() const {
    switch (left_.CurrentTool()) {
    case Tool::Zoom:
        return "Click on either the left or the right image to zoom in.\n\rAlt-click to zoom out.";
    case Tool::Hand:
        return "Drag either the left or the right image to display a different part.";
    case Tool::Eyedropper:
        break;
    }
    if (!HasSelection()) return "Select a color that needs to be adjusted in the left image.";
    if (right_.HasUserSample())
        return "Use the left image to add another color adjustment.\n\rUse the right image to "
               "pick the desired color.";
    return "Use the Open Sample button to open a sample image.\n\rOr double-click on a swatch to "
           "adjust selected color.\n\rOr pick a color from the right set of swatches.";
}

void HintLine::OnStandardTrack(ADMItemRef ref, ADMInt32 action) {
    switch (action) {
    case kADMEnterAction:
    case kADMMouseMovedUpAction:
        Show(ref, HintReason::Entered);
        break;
    case kADMLeaveAction:
        Show(ref, HintReason::Left);
        break;
    default:
        break;
    }
}

} // namespace quillon::dialog

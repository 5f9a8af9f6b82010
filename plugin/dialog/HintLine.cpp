#include "dialog/HintLine.h"

#include "dialog/DialogObjects.h"
#include "dialog/MainDialog.h"
#include "dialog/ToolButtons.h"
#include "suites/PluginState.h"

namespace quillon::dialog {
namespace {

ADMItemRef gLastHinted = nullptr;

const char* const kToolHints[] = {
    "Choose this tool to adjust colors.",
    "Choose this tool to display a different part of the image.",
    "Choose this tool to zoom in or out.",
};

const char* FuzzinessHint() {
    return "Choose a small value to adjust only very similar colors.\n\rIncrease fuzziness to "
           "include colors that are less similar.";
}

bool HasSelection() {
    const engine::ColorEngine& engine = suites::Engine();
    return engine.Selected() >= engine.FirstUserIndex();
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

const char* LeftPaneHint(CursorZone zone) {
    switch (zone) {
    case CursorZone::Image:
        return HasSelection() ? "Click to select another color for adjustment.\n\rCtrl-click to "
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

const char* RightPaneHint(CursorZone zone) {
    if (!RightPane().HasUserSample())
        return "Use the Open Sample button to load a sample image.\n\rSelect a color that needs "
               "to be adjusted in the left image.";
    if (!HasSelection()) return "Select a color that needs to be adjusted in the left image first.";
    switch (zone) {
    case CursorZone::Image:
        return "Select the desired color from this image to adjust the left image.";
    case CursorZone::Sampler:
        return kDragSampler;
    case CursorZone::Elsewhere:
        break;
    }
    return nullptr;
}

// What the swatch strip and the image panes say in their current state under the mouse; null for
// the general text.
const char* FrameHint(ADMItemRef ref) {
    if (ref == Swatches().ItemRef()) return SwatchHint(Swatches().SwatchState());
    if (CurrentTool() == Tool::Hand) return "Use the mouse to drag the image around.";
    if (CurrentTool() == Tool::Zoom) return "Click to zoom in.\n\rAlt-click to zoom out.";
    return ref == LeftPane().ItemRef() ? LeftPaneHint(LeftPane().Zone())
                                       : RightPaneHint(RightPane().Zone());
}

// What a control says when the mouse enters it; null for the general text.
const char* ControlHint(ADMItemRef ref) {
    const MainItems& items = MainDialogItems();
    if (const QLNToolButton* button = ToolButtonOfItem(ref))
        return button->Pressed() ? nullptr : kToolHints[int32_t(button->ButtonTool())];
    const ADMInt32 id = Item(ref).ID();
    if (id == kOKItem) return "Click Ok to apply the color change to the current document";
    if (id == kCancelItem) return "Click Cancel to quit.\n\rAlt-Cancel resets parameters.";
    if (id == kOpenSampleItem)
        return RightPane().HasUserSample()
                   ? "Open a different sample image.\n\rAlt-Open Sample to close the sample image."
                   : "Open a sample image. You will use it to choose desired colors.";
    if (id == items.slider || id == items.fuzzinessEdit) return FuzzinessHint();
    if (id == items.checkBox)
        return "When checked, the luminosity (brightness) of the original colors is "
               "preserved.\n\rWhen unchecked, the luminosity is adjusted along with the colors.";
    if (id == items.leftZoomMenu || id == items.rightZoomMenu) return "Zoom in or out";
    return nullptr;
}

// The frames speak on entering and whenever their state under the mouse changes; the controls
// only on entering. Leaving always gives the general text.
const char* ItemHint(ADMItemRef ref, HintReason reason) {
    if (reason == HintReason::Left) return nullptr;
    if (ref == LeftPane().ItemRef() || ref == RightPane().ItemRef() || ref == Swatches().ItemRef())
        return FrameHint(ref);
    return reason == HintReason::Entered ? ControlHint(ref) : nullptr;
}

void Show(ADMItemRef ref, HintReason reason) {
    if (reason == HintReason::Entered && ref == gLastHinted) return;
    gLastHinted = ref;
    const char* text = ItemHint(ref, reason);
    ShowHintText(text ? text : GeneralHint());
    if (reason == HintReason::Left) gLastHinted = nullptr;
}

} // namespace

const char* GeneralHint() {
    switch (CurrentTool()) {
    case Tool::Zoom:
        return "Click on either the left or the right image to zoom in.\n\rAlt-click to zoom out.";
    case Tool::Hand:
        return "Drag either the left or the right image to display a different part.";
    case Tool::Eyedropper:
        break;
    }
    if (!HasSelection()) return "Select a color that needs to be adjusted in the left image.";
    if (RightPane().HasUserSample())
        return "Use the left image to add another color adjustment.\n\rUse the right image to "
               "pick the desired color.";
    return "Use the Open Sample button to open a sample image.\n\rOr double-click on a swatch to "
           "adjust selected color.\n\rOr pick a color from the right set of swatches.";
}

void UpdateHint(QLNItem& item, HintReason reason) {
    Show(item.ItemRef(), reason);
}

ADMBoolean StandardTrack(ADMItemRef ref, ADMTrackerRef trackerRef) noexcept {
    bool handled = false;
    GuardedItem(ref, [&] {
        Item item(ref);
        const Tracker tracker(trackerRef);
        switch (tracker.Action()) {
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
        handled = item.DefaultTrack(tracker);
    });
    return handled;
}

void ResetHintLine() {
    gLastHinted = nullptr;
}

} // namespace quillon::dialog

// The plug-in's working dialog: the document on the left, the sample on the right, the swatch
// strip between them, the tools, zoom menus, fuzziness and luminosity controls and the buttons.
#pragma once

#include "dialog/AdmWrappers.h"

namespace quillon::dialog {

// The items of the dialog resource.
inline constexpr ADMInt32 kOKItem = 1;
inline constexpr ADMInt32 kCancelItem = 2;
inline constexpr ADMInt32 kOpenSampleItem = 99;

// What the dialog needs from the filter around it.
struct MainDialogServices {
    // Replaces the engine's settings with the parameters the host recorded, if any.
    void (*applyRecordedParameters)();
};

// Runs the dialog modally; true when the user confirmed with OK.
bool RunMainDialog(const MainDialogServices& services);

// The ids the dialog manager gave the items the dialog creates, valid while it is open.
struct MainItems {
    ADMInt32 leftFrame, rightFrame, swatchFrame, hintFrame, hintText;
    ADMInt32 fuzzinessLabel, slider, fuzzinessEdit, checkBox;
    ADMInt32 leftZoomMenu, rightZoomMenu, leftZoomLabel, rightZoomLabel;
};
const MainItems& MainDialogItems();

// Writes the hint line.
void ShowHintText(const char* text);

// Enables the fuzziness controls and makes the right pane active exactly when there is a user
// adjustment.
void UpdateControlStates(Dialog dialog);
// The engine's fuzziness and Preserve Luminosity into the controls.
void SyncFuzzinessControls(Dialog dialog);
// Places every item for the dialog's current size.
void LayoutDialog(Dialog dialog);
// Both zooms to fit without enlarging, and the dialog over the screen's work area.
void FitDialogToScreen(Dialog dialog);
// Alt-Cancel: no adjustments, default fuzziness and luminosity; the dialog stays open.
void ResetAdjustments(Dialog dialog);

} // namespace quillon::dialog

// The main dialog's items: those of its resource, and the ids the dialog manager gives the items
// the dialog creates at each opening.
#pragma once

#include "pluginapi/ADMSuites.h"

namespace quillon::dialog {

inline constexpr ADMInt32 kOKItem = 1;
inline constexpr ADMInt32 kCancelItem = 2;
inline constexpr ADMInt32 kOpenSampleItem = 99;

struct MainItems {
    ADMInt32 leftFrame, rightFrame, swatchFrame, hintFrame, hintText;
    ADMInt32 fuzzinessLabel, slider, fuzzinessEdit, checkBox;
    ADMInt32 leftZoomMenu, rightZoomMenu, leftZoomLabel, rightZoomLabel;
};

} // namespace quillon::dialog

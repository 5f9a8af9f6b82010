// The main dialog's objects that outlive it: the panes, the swatch strip and the zoom controls,
// built when the module loads and bound to new dialog items at each opening.
#pragma once

#include "dialog/ImagePanes.h"
#include "dialog/SwatchPane.h"
#include "dialog/ZoomControl.h"

namespace quillon::dialog {

QLNPreviewImagePane& LeftPane();
QLNSampleImagePane& RightPane();
SwatchPane& Swatches();
ZoomControl& LeftZoom();
ZoomControl& RightZoom();

} // namespace quillon::dialog

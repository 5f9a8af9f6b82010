// The main dialog's objects that outlive it: the panes, the swatch strip, the zoom controls and
// the edit history, built when the module loads; the items are bound to new dialog items at each
// opening.
#pragma once

#include "dialog/ImagePanes.h"
#include "dialog/SwatchPane.h"
#include "dialog/ZoomControl.h"
#include "history/EditHistory.h"

namespace quillon::dialog {

QLNPreviewImagePane& LeftPane();
QLNSampleImagePane& RightPane();
SwatchPane& Swatches();
ZoomControl& LeftZoom();
ZoomControl& RightZoom();
history::EditHistory& History();
// The selected adjustment as of the last recorded edit or change of selection: what the next
// edit of it changes from.
engine::Adjustment& SelectionSnapshot();

} // namespace quillon::dialog

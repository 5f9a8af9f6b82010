// The hint line at the dialog's top left: it always says what the item under the mouse does.
#pragma once

#include "dialog/QLNItem.h"

namespace quillon::dialog {

// The hint callback of every custom item.
void UpdateHint(QLNItem& item, HintReason reason);

// The track callback of the standard controls: their hint on entering, the general one on
// leaving, then the dialog manager's own tracking.
ADMBoolean StandardTrack(ADMItemRef item, ADMTrackerRef tracker) noexcept;

// The text for leaving any item, which depends on the tool in use.
const char* GeneralHint();

// Forgets the item last hinted; the dialog calls it when it opens.
void ResetHintLine();

} // namespace quillon::dialog

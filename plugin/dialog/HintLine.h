// The hint line at the dialog's top left: it always says what the item under the mouse does.
#pragma once

#include "dialog/DialogItems.h"
#include "dialog/ImagePanes.h"
#include "dialog/QLNItem.h"
#include "dialog/SwatchPane.h"
#include "dialog/ToolButtons.h"

namespace quillon::engine {
class ColorEngine;
}

namespace quillon::dialog {

class HintLine {
  public:
    HintLine(const engine::ColorEngine& engine, const MainItems& items,
             const QLNPreviewImagePane& left, const QLNSampleImagePane& right,
             const SwatchPane& swatches, const ToolButtons& buttons)
        : engine_(engine), items_(items), left_(left), right_(right), swatches_(swatches),
          buttons_(buttons) {}

    // The text for the item under the mouse after it was entered, left or changed.
    void Show(ADMItemRef item, HintReason reason);
    // The standard controls: their hint on entering, the general one on leaving.
    void OnStandardTrack(ADMItemRef item, ADMInt32 action);
    // The text for leaving any item, which depends on the tool in use.
    const char* GeneralHint() const;
    // Forgets the item last hinted, for a new opening.
    void Reset() { lastHinted_ = nullptr; }

  private:
    bool HasSelection() const;
    const char* FrameHint(ADMItemRef ref) const;
    const char* ControlHint(ADMItemRef ref) const;
    const char* ItemHint(ADMItemRef ref, HintReason reason) const;
    void ShowText(const char* text);

    const engine::ColorEngine& engine_;
    const MainItems& items_;
    const QLNPreviewImagePane& left_;
    const QLNSampleImagePane& right_;
    const SwatchPane& swatches_;
    const ToolButtons& buttons_;
    ADMItemRef lastHinted_ = nullptr;
};

} // namespace quillon::dialog

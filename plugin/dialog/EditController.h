// What a click, a drag, a key or a picker result does to the adjustments: the edits of the
// engine's table and settings that the panes, the strip and the controls ask for, each recorded
// in the history, and what each asks the dialog to show anew.
#pragma once

#include "dialog/Eyedroppers.h"
#include "dialog/ImagePanes.h"
#include "dialog/SwatchPane.h"
#include "history/EditHistory.h"

#include <cstdint>
#include <optional>

namespace quillon::dialog {

// The parts of the dialog an edit changed, for the dialog to bring up to date.
using Refresh = uint32_t;
inline constexpr Refresh kRefreshPreview = 1u << 0;
inline constexpr Refresh kRefreshStrip = 1u << 1;
inline constexpr Refresh kRefreshDocumentSampler = 1u << 2;
inline constexpr Refresh kRefreshSampleSampler = 1u << 3;
// The left pane's hint, whose text depends on the selection.
inline constexpr Refresh kRefreshDocumentHint = 1u << 4;
// The fuzziness slider, its edit box and the Preserve Luminosity box show the engine's values.
inline constexpr Refresh kRefreshSettings = 1u << 5;
// The controls that need an adjustment are enabled exactly when there is one.
inline constexpr Refresh kRefreshControls = 1u << 6;
inline constexpr Refresh kRefreshSamplers = kRefreshDocumentSampler | kRefreshSampleSampler;
inline constexpr Refresh kRefreshTable = kRefreshPreview | kRefreshStrip | kRefreshControls;

class EditController {
  public:
    // `fuzzinessBeforeDrag` is kept by the dialog's owner from one opening to the next.
    EditController(engine::ColorEngine& engine, history::EditHistory& history,
                   const QLNEyedropper& document, const QLNEyedropper& sample,
                   float& fuzzinessBeforeDrag)
        : engine_(engine), history_(history), document_(document), sample_(sample),
          fuzzinessBeforeDrag_(fuzzinessBeforeDrag) {}

    // The table was refilled for a new opening: earlier edits no longer name its records, and
    // positions whose colours have moved are forgotten.
    void BeginOpening();

    // The left pane's sampler placed, dragged or released at `at`; with Ctrl held a placement
    // moves the selected adjustment's original colour instead of adding one.
    Refresh OnDocumentSampler(PaneEvent event, ImagePoint at, bool ctrlHeld, bool live);
    // The right pane's sampler: the selected adjustment's target.
    Refresh OnSampleSampler(PaneEvent event, ImagePoint at);
    // What the swatch strip did to the table.
    Refresh OnSwatchChange(SwatchChange change);

    // The slider moving (not yet an edit), committed, and the edit box's value; each in the
    // engine's fuzziness.
    Refresh DragFuzziness(float fuzziness);
    Refresh CommitFuzzinessDrag(float fuzziness);
    Refresh SetFuzziness(float fuzziness);
    Refresh SetPreserveLuminosity(bool on);
    // No adjustments, default fuzziness and luminosity.
    Refresh Reset();

    bool Undo(history::HistoryView& view) { return history_.Undo(engine_, view); }
    bool Redo(history::HistoryView& view) { return history_.Redo(engine_, view); }

    // Copies the selected adjustment as the before-state of the next edit of it.
    void TakeSelectionSnapshot();

    bool SelectedIsUser() const;
    // Where the selected user adjustment's colours were picked; none when not known.
    std::optional<ImagePoint> SelectedDocumentPoint() const;
    std::optional<ImagePoint> SelectedSamplePoint() const;

  private:
    PickedColor PickAt(const QLNEyedropper& eyedropper, ImagePoint at) const;
    void Record(history::EditKind kind, int32_t indexA, int32_t indexB);
    void RecordFuzziness(float before);
    void CheckRememberedPositions();

    engine::ColorEngine& engine_;
    history::EditHistory& history_;
    const QLNEyedropper& document_;
    const QLNEyedropper& sample_;
    float& fuzzinessBeforeDrag_;

    // The selected adjustment as of the last recorded edit or change of selection, and the
    // index it was taken at: what the next edit changes from, and where a removed record stood.
    engine::Adjustment snapshot_;
    int32_t snapshotIndex_ = -1;
    // Whether a press in the left pane made an edit that its release is to record, and whether
    // that edit added an adjustment.
    bool pressEdits_ = false;
    bool added_ = false;
    // The selected index when the last left-pane press began.
    int32_t indexBeforeClick_ = -1;
};

} // namespace quillon::dialog

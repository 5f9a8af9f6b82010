#include "dialog/EditController.h"

#include <cstdlib>

namespace quillon::dialog {
namespace {

// A colour whose L, a or b moved by more than this no longer lies at its remembered position.
constexpr int32_t kPositionTolerance = 128;
constexpr float kNoFuzzinessCaptured = -1.0f;

engine::Position ToPosition(ImagePoint point) {
    return {point.x, point.y};
}

} // namespace

PickedColor EditController::PickAt(const QLNEyedropper& eyedropper, ImagePoint at) const {
    return Pick(eyedropper, at, int16_t(engine_.IcsCode()));
}

bool EditController::SelectedIsUser() const {
    return engine_.Selected() >= engine_.FirstUserIndex() &&
           engine_.Selected() < engine_.EntryCount();
}

std::optional<ImagePoint> EditController::SelectedDocumentPoint() const {
    engine::Adjustment selected;
    if (!SelectedIsUser() || !engine_.CopySelected(selected) || selected.documentPosition.h < 0)
        return std::nullopt;
    return ImagePoint{selected.documentPosition.h, selected.documentPosition.v};
}

std::optional<ImagePoint> EditController::SelectedSamplePoint() const {
    engine::Adjustment selected;
    if (!SelectedIsUser() || !engine_.CopySelected(selected) || selected.samplePosition.h < 0)
        return std::nullopt;
    return ImagePoint{selected.samplePosition.h, selected.samplePosition.v};
}

void EditController::TakeSelectionSnapshot() {
    engine_.CopySelected(snapshot_);
    snapshotIndex_ = engine_.Selected();
}

void EditController::Record(history::EditKind kind, int32_t indexA, int32_t indexB) {
    history::HistoryEntry entry;
    entry.kind = kind;
    entry.indexA = indexA;
    entry.indexB = indexB;
    engine_.CopySelected(entry.entryA);
    entry.entryB = snapshot_;
    TakeSelectionSnapshot();
    history_.Push(entry);
}

void EditController::BeginOpening() {
    history_.Clear();
    TakeSelectionSnapshot();
    CheckRememberedPositions();
}

Refresh EditController::OnDocumentSampler(PaneEvent event, ImagePoint at, bool ctrlHeld,
                                          bool live) {
    switch (event) {
    case PaneEvent::SamplerPlaced: {
        indexBeforeClick_ = engine_.Selected();
        added_ = false;
        PickedColor picked = PickAt(document_, at);
        if (engine_.UserCount() > 0 && live && ctrlHeld) {
            engine_.ChangeOriginal(picked.color, picked.rgb, ToPosition(at));
            pressEdits_ = SelectedIsUser();
        } else {
            added_ = engine_.AddAdjustment(picked.color, picked.rgb, ToPosition(at), live);
            pressEdits_ = added_;
        }
        TakeSelectionSnapshot();
        return kRefreshTable | kRefreshSampleSampler | kRefreshDocumentHint;
    }
    case PaneEvent::SamplerMoved:
    case PaneEvent::SamplerReleased: {
        if (!pressEdits_ || !SelectedIsUser()) break;
        PickedColor picked = PickAt(document_, at);
        engine_.ChangeOriginal(picked.color, picked.rgb, ToPosition(at));
        if (event != PaneEvent::SamplerReleased) return kRefreshTable;
        pressEdits_ = false;
        if (added_) {
            added_ = false;
            Record(history::EditKind::AddColor, engine_.Selected(), indexBeforeClick_);
        } else {
            Record(history::EditKind::ChangeSample, engine_.Selected(), engine_.Selected());
        }
        return kRefreshTable;
    }
    case PaneEvent::HandDragEnded:
    case PaneEvent::FileDropped:
        break;
    }
    return kRefreshControls;
}

Refresh EditController::OnSampleSampler(PaneEvent event, ImagePoint at) {
    if (event == PaneEvent::HandDragEnded || !SelectedIsUser()) return kRefreshControls;
    const PickedColor picked = PickAt(sample_, at);
    engine_.SetTarget(picked.color, picked.rgb, ToPosition(at));
    if (event == PaneEvent::SamplerReleased)
        Record(history::EditKind::ChangeSample, engine_.Selected(), engine_.Selected());
    return kRefreshTable;
}

Refresh EditController::OnSwatchChange(SwatchChange change) {
    switch (change) {
    case SwatchChange::Selection:
        TakeSelectionSnapshot();
        return kRefreshSamplers | kRefreshControls;
    case SwatchChange::Removed: {
        history::HistoryEntry entry;
        entry.kind = history::EditKind::DeleteColor;
        // The strip removed the record the snapshot was taken of.
        entry.indexB = snapshotIndex_;
        entry.entryB = snapshot_;
        TakeSelectionSnapshot();
        history_.Push(entry);
        return kRefreshSamplers | kRefreshTable;
    }
    case SwatchChange::TargetPicked:
        Record(history::EditKind::ChangeSample, engine_.Selected(), engine_.Selected());
        return kRefreshSampleSampler | kRefreshTable;
    }
    return kRefreshControls;
}

Refresh EditController::DragFuzziness(float fuzziness) {
    if (fuzzinessBeforeDrag_ == kNoFuzzinessCaptured) fuzzinessBeforeDrag_ = engine_.Fuzziness();
    engine_.SetFuzziness(fuzziness);
    return kRefreshPreview;
}

// A value committed without a drag before it (a key, a click on the groove) is applied here, so
// the history never records a change that did not happen.
Refresh EditController::CommitFuzzinessDrag(float fuzziness) {
    if (fuzzinessBeforeDrag_ == kNoFuzzinessCaptured || fuzziness != engine_.Fuzziness())
        DragFuzziness(fuzziness);
    const float before = fuzzinessBeforeDrag_;
    fuzzinessBeforeDrag_ = kNoFuzzinessCaptured;
    RecordFuzziness(before);
    return kRefreshPreview;
}

Refresh EditController::SetFuzziness(float fuzziness) {
    const float before = engine_.Fuzziness();
    engine_.SetFuzziness(fuzziness);
    RecordFuzziness(before);
    return kRefreshPreview;
}

// A commit that leaves the fuzziness as it was (a click on the slider's handle, the same number
// typed again) is no edit to undo.
void EditController::RecordFuzziness(float before) {
    if (before == engine_.Fuzziness()) return;
    history::HistoryEntry entry;
    entry.kind = history::EditKind::Fuzz;
    entry.fuzzinessBefore = before;
    entry.fuzzinessAfter = engine_.Fuzziness();
    history_.Push(entry);
}

Refresh EditController::SetPreserveLuminosity(bool on) {
    engine_.SetPreserveLuminosity(on);
    history::HistoryEntry entry;
    entry.kind = history::EditKind::Lum;
    history_.Push(entry);
    return kRefreshPreview;
}

// One step of the history: undo puts every adjustment back.
Refresh EditController::Reset() {
    if (engine_.UserCount() > 0) {
        history::HistoryEntry entry;
        entry.kind = history::EditKind::Reset;
        entry.indexA = engine_.Selected();
        std::vector<engine::Adjustment> table;
        for (int32_t i = engine_.FirstUserIndex(); i < engine_.EntryCount(); ++i)
            table.push_back(engine_.Record(i));
        entry.table = std::make_shared<const std::vector<engine::Adjustment>>(std::move(table));
        history_.Push(entry);
    }
    engine_.ClearAdjustments();
    return kRefreshSamplers | kRefreshSettings | kRefreshTable;
}

void EditController::CheckRememberedPositions() {
    // Whether the colour read now lies farther from the recorded L, a, b than the tolerance.
    auto moved = [](const engine::ColorRecord16& c, const int32_t lab[3]) {
        return std::abs(c.c1 - lab[0]) > kPositionTolerance ||
               std::abs(c.c2 - lab[1]) > kPositionTolerance ||
               std::abs(c.c3 - lab[2]) > kPositionTolerance;
    };
    for (int32_t i = engine_.FirstUserIndex(); i < engine_.EntryCount(); ++i) {
        const engine::Adjustment& a = engine_.Record(i);
        bool dropDocument = false, dropSample = false;
        if (a.documentPosition.h >= 0) {
            const PickedColor c = PickAt(document_, {a.documentPosition.h, a.documentPosition.v});
            dropDocument = moved(c.color, a.original);
        }
        if (a.samplePosition.h >= 0) {
            const PickedColor c = PickAt(sample_, {a.samplePosition.h, a.samplePosition.v});
            dropSample = moved(c.color, a.target);
        }
        engine_.ForgetPositions(i, dropDocument, dropSample);
    }
}

} // namespace quillon::dialog

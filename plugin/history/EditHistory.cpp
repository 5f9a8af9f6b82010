#include "history/EditHistory.h"

#include <algorithm>

namespace quillon::history {
namespace {

using engine::ColorEngine;

bool IsUserIndex(const ColorEngine& engine, int32_t index) {
    return index >= engine.FirstUserIndex() && index < engine.EntryCount();
}

// Selects `index`, or nothing when the table holds no user record there.
void SelectIfUser(ColorEngine& engine, int32_t index) {
    engine.Select(IsUserIndex(engine, index) ? index : -1);
}

bool RemoveAt(ColorEngine& engine, int32_t index) {
    if (!IsUserIndex(engine, index)) return false;
    engine.Select(index);
    engine.RemoveSelected();
    return true;
}

bool ReplaceAt(ColorEngine& engine, HistoryView& view, int32_t index,
               const engine::Adjustment& record) {
    if (!IsUserIndex(engine, index)) return false;
    engine.Select(index);
    engine.ReplaceSelected(record);
    view.SnapshotSelection();
    view.RefreshAfterRecordChange();
    return true;
}

void ApplyFuzziness(ColorEngine& engine, HistoryView& view, float fuzziness) {
    engine.SetFuzziness(fuzziness);
    view.ShowFuzziness(engine.Fuzziness());
}

void TogglePreserveLuminosity(ColorEngine& engine, HistoryView& view) {
    engine.SetPreserveLuminosity(!engine.PreserveLuminosity());
    view.ShowPreserveLuminosity(engine.PreserveLuminosity());
}

// Puts back every record a reset removed, with one rebuild, and the selection it had.
bool RestoreTable(const HistoryEntry& e, ColorEngine& engine, HistoryView& view) {
    if (!e.table || engine.UserCount() != 0) return false;
    {
        ColorEngine::EditBatch batch(engine);
        for (const engine::Adjustment& record : *e.table)
            engine.AppendAdjustment(record);
    }
    SelectIfUser(engine, e.indexA);
    view.SnapshotSelection();
    view.RefreshAfterRemoval();
    return true;
}

bool ApplyUndo(const HistoryEntry& e, ColorEngine& engine, HistoryView& view) {
    switch (e.kind) {
    case EditKind::AddColor:
        if (!RemoveAt(engine, e.indexA)) return false;
        SelectIfUser(engine, e.indexB);
        view.SnapshotSelection();
        view.RefreshAfterRemoval();
        return true;
    case EditKind::DeleteColor:
        // Puts the record back where it was and selects it.
        if (!engine.InsertAdjustmentAt(e.entryB, e.indexB)) return false;
        view.SnapshotSelection();
        view.RefreshAfterRemoval();
        return true;
    case EditKind::ChangeSample:
        return ReplaceAt(engine, view, e.indexB, e.entryB);
    case EditKind::Fuzz:
        ApplyFuzziness(engine, view, e.fuzzinessBefore);
        return true;
    case EditKind::Lum:
        TogglePreserveLuminosity(engine, view);
        return true;
    case EditKind::Reset:
        return RestoreTable(e, engine, view);
    case EditKind::None:
        break;
    }
    return false;
}

bool ApplyRedo(const HistoryEntry& e, ColorEngine& engine, HistoryView& view) {
    switch (e.kind) {
    case EditKind::AddColor:
        if (!engine.AppendAdjustment(e.entryA)) return false;
        engine.Select(engine.EntryCount() - 1);
        view.SnapshotSelection();
        view.RefreshAfterRecordChange();
        return true;
    case EditKind::DeleteColor:
        if (!RemoveAt(engine, e.indexB)) return false;
        view.SnapshotSelection();
        view.RefreshAfterRemoval();
        return true;
    case EditKind::ChangeSample:
        return ReplaceAt(engine, view, e.indexB, e.entryA);
    case EditKind::Fuzz:
        ApplyFuzziness(engine, view, e.fuzzinessAfter);
        return true;
    case EditKind::Lum:
        TogglePreserveLuminosity(engine, view);
        return true;
    case EditKind::Reset:
        engine.ClearAdjustments();
        view.SnapshotSelection();
        view.RefreshAfterRemoval();
        return true;
    case EditKind::None:
        break;
    }
    return false;
}

} // namespace

void EditHistory::Push(const HistoryEntry& entry) {
    // A new edit after undo makes the history linear again: the undone edits are gone.
    if (undone_ > 0) {
        std::move(entries_ + undone_, entries_ + count_, entries_);
        count_ -= undone_;
        undone_ = 0;
    }
    const int32_t kept = std::min(count_, kHistoryCapacity - 1);
    std::move_backward(entries_, entries_ + kept, entries_ + kept + 1);
    entries_[0] = entry;
    count_ = kept + 1;
}

void EditHistory::Clear() {
    count_ = 0;
    undone_ = 0;
}

bool EditHistory::Undo(ColorEngine& engine, HistoryView& view) {
    if (!CanUndo() || !ApplyUndo(entries_[undone_], engine, view)) return false;
    ++undone_;
    return true;
}

bool EditHistory::Redo(ColorEngine& engine, HistoryView& view) {
    if (!CanRedo() || !ApplyRedo(entries_[undone_ - 1], engine, view)) return false;
    --undone_;
    return true;
}

} // namespace quillon::history

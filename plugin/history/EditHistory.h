// The dialog's undo and redo history: the last 64 edits, newest first, each holding whole copies
// of the adjustment records it changed, so that undo and redo restore states rather than replay
// operations.
#pragma once

#include "engine/ColorEngine.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace quillon::history {

enum class EditKind : int32_t {
    None = 0,
    AddColor = 1,
    DeleteColor = 2,
    ChangeSample = 3,
    Fuzz = 4,
    Lum = 5,
    Reset = 6,
};

// What one edit changed. The recording code fills the fields its kind uses:
//   AddColor      indexA = added index, entryA = the added record, indexB = selection before
//   DeleteColor   indexB = index the removed record held, entryB = the removed record
//   ChangeSample  indexB = index of the changed record, entryA = after, entryB = before
//   Fuzz          fuzzinessAfter, fuzzinessBefore
//   Lum           nothing: undo and redo both toggle
//   Reset         table = every user record before, indexA = selection before
struct HistoryEntry {
    EditKind kind = EditKind::None;
    int32_t indexA = 0;
    engine::Adjustment entryA;
    int32_t indexB = 0;
    engine::Adjustment entryB;
    float fuzzinessAfter = 0;
    float fuzzinessBefore = 0;
    std::shared_ptr<const std::vector<engine::Adjustment>> table;
};

// How undo and redo show their effect in the dialog. The history edits the engine's table itself
// and then asks the dialog to bring its controls, samplers and frames up to date.
class HistoryView {
  public:
    virtual ~HistoryView() = default;
    // The table lost or regained a record the way the swatch strip's remove button changes it.
    virtual void RefreshAfterRemoval() = 0;
    // A record was appended or replaced: samplers placed, swatch and left frames redrawn,
    // control states updated.
    virtual void RefreshAfterRecordChange() = 0;
    // The engine's fuzziness changed: slider and edit box show it, the preview is redrawn.
    virtual void ShowFuzziness(float fuzziness) = 0;
    // Preserve Luminosity changed: the check box shows it, the preview is redrawn.
    virtual void ShowPreserveLuminosity(bool on) = 0;
    // The selected record as the dialog remembers it for the next sampler edit.
    virtual void SnapshotSelection() = 0;
};

inline constexpr int32_t kHistoryCapacity = 64;

class EditHistory {
  public:
    // Records a new edit; undone edits are discarded first and the oldest falls off a full
    // history.
    void Push(const HistoryEntry& entry);
    // Forgets every edit, for a table that was refilled since they were recorded.
    void Clear();

    bool CanUndo() const { return undone_ < count_; }
    bool CanRedo() const { return undone_ > 0; }
    int32_t Count() const { return count_; }
    int32_t Undone() const { return undone_; }

    // Apply the next edit backwards or forwards. False, with nothing changed, when there is
    // nothing to undo or redo, or when the edit names a record the table does not hold (an edit
    // recorded against another table, or a table that is full).
    bool Undo(engine::ColorEngine& engine, HistoryView& view);
    bool Redo(engine::ColorEngine& engine, HistoryView& view);

  private:
    HistoryEntry entries_[kHistoryCapacity];
    int32_t count_ = 0;
    int32_t undone_ = 0;
};

} // namespace quillon::history

#include "history/EditHistory.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace quillon::history {
namespace {

using engine::Adjustment;
using engine::ColorEngine;
using engine::ColorRecord16;

// Remembers what the history asked the dialog to show.
struct RecordingView : HistoryView {
    std::vector<std::string> calls;
    float fuzziness = -1;
    int luminosity = -1;
    Adjustment snapshot;
    const ColorEngine* engine = nullptr;

    void RefreshAfterRemoval() override { calls.push_back("removal"); }
    void RefreshAfterRecordChange() override { calls.push_back("change"); }
    void ShowFuzziness(float f) override { fuzziness = f; }
    void ShowPreserveLuminosity(bool on) override { luminosity = on; }
    void SnapshotSelection() override {
        calls.push_back("snapshot");
        snapshot = {};
        engine->CopySelected(snapshot);
    }
};

// The user's part of a record; a rebuild may renumber and nudge the mesh vertex.
bool SameRecord(const Adjustment& a, const Adjustment& b) {
    const auto same3 = [](const int32_t* x, const int32_t* y) { return std::equal(x, x + 3, y); };
    return same3(a.original, b.original) && same3(a.target, b.target) &&
           same3(a.originalRgb, b.originalRgb) && same3(a.targetRgb, b.targetRgb) &&
           a.documentPosition.h == b.documentPosition.h &&
           a.documentPosition.v == b.documentPosition.v &&
           a.samplePosition.h == b.samplePosition.h && a.samplePosition.v == b.samplePosition.v &&
           a.locked == b.locked && a.provisional == b.provisional;
}

class EditHistoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        engine = engine::test::MakeEngine(false);
        view.engine = engine.get();
        for (int i = 0; i < 4; ++i)
            Click(4000 + 5000 * i, 12000 + 2000 * i, 20000 - 1500 * i);
    }

    // An eyedropper click in the document, recorded the way the dialog records it.
    void Click(int l, int a, int b, bool record = true) {
        const int32_t before = engine->Selected();
        const ColorRecord16 lab{0, uint16_t(l), uint16_t(a), uint16_t(b)};
        ASSERT_TRUE(engine->AddAdjustment(lab, lab, {1, 1}, false));
        HistoryEntry e;
        e.kind = EditKind::AddColor;
        e.indexA = engine->Selected();
        engine->CopySelected(e.entryA);
        e.indexB = before;
        if (record) history.Push(e);
    }

    int32_t User(int32_t i) const { return engine->FirstUserIndex() + i; }

    std::vector<Adjustment> Table() const {
        std::vector<Adjustment> t;
        for (int32_t i = engine->FirstUserIndex(); i < engine->EntryCount(); ++i)
            t.push_back(engine->Record(i));
        return t;
    }

    std::unique_ptr<ColorEngine> engine;
    RecordingView view;
    EditHistory history;
};

HistoryEntry FuzzEntry(float before, float after) {
    HistoryEntry e;
    e.kind = EditKind::Fuzz;
    e.fuzzinessBefore = before;
    e.fuzzinessAfter = after;
    return e;
}

TEST_F(EditHistoryTest, KeepsTheLast64Edits) {
    history.Clear();
    for (int i = 0; i < 70; ++i)
        history.Push(FuzzEntry(i / 100.0f, (i + 1) / 100.0f));
    EXPECT_EQ(history.Count(), kHistoryCapacity);
    for (int i = 0; i < 64; ++i)
        ASSERT_TRUE(history.Undo(*engine, view)) << i;
    EXPECT_FALSE(history.Undo(*engine, view));
    // The oldest edit left is the seventh: its undo restored the value before it.
    EXPECT_FLOAT_EQ(view.fuzziness, 6 / 100.0f);
    EXPECT_FLOAT_EQ(engine->Fuzziness(), 6 / 100.0f);
}

TEST_F(EditHistoryTest, NewEditAfterUndoDiscardsTheUndoneEdits) {
    ASSERT_TRUE(history.Undo(*engine, view));
    ASSERT_TRUE(history.Undo(*engine, view));
    history.Push(FuzzEntry(0.2f, 0.3f));
    EXPECT_FALSE(history.CanRedo());
    EXPECT_FALSE(history.Redo(*engine, view));
    EXPECT_EQ(history.Count(), 3); // two clicks left and the new edit
}

TEST_F(EditHistoryTest, UndoOfAddColorReselectsAndRedoAppendsAgain) {
    engine->Select(User(1));
    Click(30000, 8000, 9000);
    const Adjustment added = engine->Record(User(4));
    ASSERT_EQ(engine->Selected(), User(4));

    ASSERT_TRUE(history.Undo(*engine, view));
    EXPECT_EQ(engine->UserCount(), 4);
    EXPECT_EQ(engine->Selected(), User(1));
    EXPECT_TRUE(SameRecord(view.snapshot, engine->Record(User(1))));
    EXPECT_EQ(view.calls.back(), "removal");

    ASSERT_TRUE(history.Redo(*engine, view));
    EXPECT_EQ(engine->UserCount(), 5);
    EXPECT_EQ(engine->Selected(), User(4));
    EXPECT_TRUE(SameRecord(engine->Record(User(4)), added));
    EXPECT_EQ(view.calls.back(), "change");
}

TEST_F(EditHistoryTest, UndoOfDeleteColorPutsItBackAtItsIndex) {
    const std::vector<Adjustment> before = Table();
    engine->Select(User(1));
    HistoryEntry e;
    e.kind = EditKind::DeleteColor;
    e.indexB = User(1);
    engine->CopySelected(e.entryB);
    engine->RemoveSelected();
    history.Push(e);

    ASSERT_TRUE(history.Undo(*engine, view));
    EXPECT_EQ(engine->Selected(), User(1));
    const std::vector<Adjustment> after = Table();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i)
        EXPECT_TRUE(SameRecord(after[i], before[i])) << i;

    ASSERT_TRUE(history.Redo(*engine, view));
    EXPECT_EQ(engine->UserCount(), 3);
    EXPECT_TRUE(SameRecord(engine->Record(User(1)), before[2]));
}

TEST_F(EditHistoryTest, ChangeSampleRestoresTheRecordBeforeAndAfter) {
    engine->Select(User(2));
    HistoryEntry e;
    e.kind = EditKind::ChangeSample;
    e.indexB = User(2);
    engine->CopySelected(e.entryB);
    const ColorRecord16 target{0, 9000, 25000, 7000};
    engine->SetTarget(target, target, engine::Position{3, 4});
    engine->CopySelected(e.entryA);
    history.Push(e);
    engine->Select(User(0));

    ASSERT_TRUE(history.Undo(*engine, view));
    EXPECT_EQ(engine->Selected(), User(2));
    EXPECT_TRUE(SameRecord(engine->Record(User(2)), e.entryB));
    ASSERT_TRUE(history.Redo(*engine, view));
    EXPECT_TRUE(SameRecord(engine->Record(User(2)), e.entryA));
    EXPECT_EQ(engine->Record(User(2)).samplePosition.h, 3);
}

TEST_F(EditHistoryTest, LumTogglesWhateverStateItFinds) {
    HistoryEntry e;
    e.kind = EditKind::Lum;
    history.Push(e);
    for (const bool start : {false, true}) {
        engine->SetPreserveLuminosity(start);
        ASSERT_TRUE(history.Undo(*engine, view));
        EXPECT_EQ(engine->PreserveLuminosity(), !start);
        EXPECT_EQ(view.luminosity, int(!start));
        ASSERT_TRUE(history.Redo(*engine, view));
        EXPECT_EQ(engine->PreserveLuminosity(), start);
    }
}

TEST_F(EditHistoryTest, SliderDragUndoShowsTheValueBeforeTheDrag) {
    // The slider runs 10..100 for fuzziness 0..1 as (9f + 1) * 10; a drag from 50 to 80.
    const auto fromSlider = [](int v) { return (v / 10.0f - 1.0f) / 9.0f; };
    history.Push(FuzzEntry(fromSlider(50), fromSlider(80)));
    engine->SetFuzziness(fromSlider(80));
    ASSERT_TRUE(history.Undo(*engine, view));
    EXPECT_EQ(std::lround((9 * view.fuzziness + 1) * 10), 50);
    EXPECT_EQ(std::lround(9 * view.fuzziness + 1), 5);
    ASSERT_TRUE(history.Redo(*engine, view));
    EXPECT_EQ(std::lround((9 * view.fuzziness + 1) * 10), 80);
}

// Edits recorded while the dialog showed a larger table, applied after it was refilled with two
// records (the table is refilled from the parameters each time the dialog opens).
TEST_F(EditHistoryTest, EditsOfAnotherTableNeverTouchARecordOutsideIt) {
    const Adjustment some = engine->Record(User(0));
    struct Case {
        const char* name;
        EditKind kind;
        int32_t indexA, indexB;
        bool redo; // undone on the large table, redone on the small one
    };
    const Case cases[] = {
        {"add undo", EditKind::AddColor, 3, 0, false},
        {"delete undo", EditKind::DeleteColor, 0, 3, false},
        {"delete redo", EditKind::DeleteColor, 0, 3, true},
        {"change undo", EditKind::ChangeSample, 0, 3, false},
        {"change redo", EditKind::ChangeSample, 0, 3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engine->ClearAdjustments();
        for (int i = 0; i < 4; ++i)
            Click(4000 + 5000 * i, 12000 + 2000 * i, 20000 - 1500 * i);
        history.Clear();
        HistoryEntry e;
        e.kind = c.kind;
        e.indexA = User(c.indexA);
        e.indexB = User(c.indexB);
        e.entryA = e.entryB = some;
        history.Push(e);
        if (c.redo) {
            ASSERT_TRUE(history.Undo(*engine, view));
        }

        engine->ClearAdjustments();
        Click(5000, 6000, 7000, false);
        Click(9000, 20000, 11000, false);
        const std::vector<Adjustment> before = Table();
        view.calls.clear();
        EXPECT_FALSE(c.redo ? history.Redo(*engine, view) : history.Undo(*engine, view));
        EXPECT_TRUE(view.calls.empty());
        const std::vector<Adjustment> after = Table();
        ASSERT_EQ(after.size(), before.size());
        for (size_t i = 0; i < after.size(); ++i)
            EXPECT_TRUE(SameRecord(after[i], before[i]));
    }
}

} // namespace
} // namespace quillon::history

#include "EngineInspector.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quillon::engine {
namespace {

using test::ExpectedRgb;
using test::Lab;
using test::MakeEngine;
using test::Stored;

void ExpectOriginal(const Adjustment& a, int32_t l, int32_t aa, int32_t b) {
    EXPECT_EQ(a.original[0], l);
    EXPECT_EQ(a.original[1], aa);
    EXPECT_EQ(a.original[2], b);
    EXPECT_EQ(a.position[0], aa);
    EXPECT_EQ(a.position[1], b);
    EXPECT_EQ(a.position[2], l);
    int32_t rgb[3];
    ExpectedRgb(l, aa, b, rgb);
    EXPECT_EQ(a.originalRgb[0], rgb[0]);
    EXPECT_EQ(a.originalRgb[1], rgb[1]);
    EXPECT_EQ(a.originalRgb[2], rgb[2]);
}

void ExpectTarget(const Adjustment& a, int32_t l, int32_t aa, int32_t b, int32_t tolerance = 0) {
    const Triple target{a.target[0], a.target[1], a.target[2]};
    EXPECT_NEAR(target[0], l, tolerance);
    EXPECT_NEAR(target[1], aa, tolerance);
    EXPECT_NEAR(target[2], b, tolerance);
    int32_t rgb[3];
    ExpectedRgb(target[0], target[1], target[2], rgb);
    EXPECT_EQ(a.targetRgb[0], rgb[0]);
    EXPECT_EQ(a.targetRgb[1], rgb[1]);
    EXPECT_EQ(a.targetRgb[2], rgb[2]);
}

ColorRecord16 Rgb(const ColorRecord16& lab) {
    ColorRecord16 r = lab;
    test::FakeConvert16(nullptr, kIcsCode, kSpaceRgb, &r, 1);
    r.c0 = 0;
    return r;
}

TEST(TableTest, ResetPlacesTheFixedPoints) {
    auto e = MakeEngine(false);
    EXPECT_EQ(e->FirstUserIndex(), 12);
    EXPECT_EQ(e->EntryCount(), 12);
    EXPECT_EQ(e->IcsCode(), 3);
    struct Case {
        int index;
        int32_t x, y, z;
    } cases[] = {{0, -4000, -4000, -4000}, {1, -4000, 36768, 36768}, {2, 36768, 36768, -4000},
                 {3, 36768, -4000, 36768}, {4, -256, -256, -256},    {5, -256, -256, 33024},
                 {6, -256, 33024, -256},   {8, 33024, -256, -256},   {11, 33024, 33024, 33024}};
    for (const Case& c : cases) {
        const Adjustment& a = e->Record(c.index);
        EXPECT_EQ(a.id, c.index);
        EXPECT_EQ(a.fixed, 1);
        EXPECT_EQ(a.position[0], c.x) << c.index;
        EXPECT_EQ(a.position[1], c.y) << c.index;
        EXPECT_EQ(a.position[2], c.z) << c.index;
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(a.target[k], c.index < 4 ? 0 : MeshToLab(a.position)[size_t(k)]);
    }
}

TEST(TableTest, FuzzinessRadii) {
    auto e = MakeEngine(false);
    struct Case {
        float f;
        double r2, r3;
    } cases[] = {
        {0, 181.019, 221.703}, {1, 46340.950, 28377.920}, {kDefaultFuzziness, 9299.03, 5783.42}};
    for (const Case& c : cases) {
        e->SetFuzziness(c.f);
        EXPECT_NEAR(EngineInspector::Radius2D(*e), c.r2, 0.01) << c.f;
        EXPECT_NEAR(EngineInspector::Radius3D(*e), c.r3, 0.01) << c.f;
    }
    e->SetFuzziness(std::nanf(""));
    EXPECT_EQ(e->Fuzziness(), kDefaultFuzziness);
    e->SetFuzziness(INFINITY);
    EXPECT_EQ(e->Fuzziness(), kDefaultFuzziness);
}

TEST(TableTest, LoadAdjustmentStoresAndClamps) {
    auto e = MakeEngine(false);
    // A provisional record left in the slot must not leak into the loaded one.
    e->AddAdjustment(Lab(1000, 2000, 3000), Rgb(Lab(1000, 2000, 3000)), {1, 2}, true);
    e->RemoveSelected();
    StoredAdjustment s = Stored(40000, 65535, 32768, 100, 33000, 200);
    s.document = {10, 20};
    s.sample = {5, 6};
    s.locked = true;
    ASSERT_TRUE(e->LoadAdjustment(s));
    const Adjustment& a = e->Record(12);
    ExpectOriginal(a, 32768, 32768, 32768);
    ExpectTarget(a, 100, 32768, 200);
    EXPECT_EQ(a.locked, 1);
    EXPECT_EQ(a.provisional, 0);
    EXPECT_EQ(a.fixed, 0);
    EXPECT_EQ(a.documentPosition.h, 10);
    EXPECT_EQ(a.documentPosition.v, 20);
    EXPECT_EQ(a.samplePosition.h, 5);
    EXPECT_EQ(a.samplePosition.v, 6);
    EXPECT_EQ(e->Selected(), 12);
    ASSERT_TRUE(e->LoadAdjustment(Stored(1, 2, 3, 1, 2, 3)));
    EXPECT_GT(e->Record(13).id, a.id);
}

TEST(TableTest, EveryWayOfAddingStopsAtTheMaximum) {
    auto e = MakeEngine(false);
    for (int i = 0; i < kMaxUserAdjustments; ++i)
        ASSERT_TRUE(e->LoadAdjustment(
            Stored(i * 151, i * 7919 % 32768, i * 104729 % 32768, i * 151, 17000, 15000)));
    e->Rebuild();
    EXPECT_FALSE(e->LoadAdjustment(Stored(1, 1, 1, 1, 1, 1)));
    EXPECT_FALSE(e->AddAdjustment(Lab(5, 5, 5), Rgb(Lab(5, 5, 5)), {0, 0}, true));
    Adjustment copy = e->Record(20);
    EXPECT_FALSE(e->InsertAdjustmentAt(copy, 20));
    EXPECT_FALSE(e->AppendAdjustment(copy));
    EXPECT_EQ(e->UserCount(), kMaxUserAdjustments);
    e->Select(20);
    e->RemoveSelected();
    EXPECT_TRUE(e->AppendAdjustment(copy));
}

TEST(TableTest, PlainClickTakesTheShownColourAsProvisionalTarget) {
    auto e = MakeEngine(false);
    e->LoadAdjustment(Stored(20000, 10000, 22000, 23000, 12000, 20000));
    e->Rebuild();
    ColorRecord16 shown = Lab(20100, 10100, 21900);
    e->Transform16(&shown, 1);
    ASSERT_NE(shown.c1, 20100);
    ASSERT_TRUE(
        e->AddAdjustment(Lab(20100, 10100, 21900), Rgb(Lab(20100, 10100, 21900)), {7, 8}, true));
    EXPECT_EQ(e->Selected(), 13);
    const Adjustment& a = e->Record(13);
    ExpectOriginal(a, 20100, 10100, 21900);
    // Re-meshing around the new point can move the shown colour by a unit.
    ExpectTarget(a, shown.c1, shown.c2, shown.c3, 1);
    EXPECT_EQ(a.provisional, 1);
    EXPECT_EQ(a.locked, 0);
    EXPECT_EQ(a.documentPosition.h, 7);
    EXPECT_EQ(a.samplePosition.h, -1);

    // Moving a provisional original takes the new shown colour along.
    ColorRecord16 moved = Lab(5000, 26000, 6000), movedRgb = Rgb(moved);
    ColorRecord16 expected = moved;
    e->Transform16(&expected, 1);
    e->ChangeOriginal(moved, movedRgb, {1, 1});
    ExpectOriginal(e->Record(13), 5000, 26000, 6000);
    ExpectTarget(e->Record(13), expected.c1, expected.c2, expected.c3, 1);
    EXPECT_EQ(e->Record(13).provisional, 1);
}

TEST(TableTest, ShiftClickPinsTheOriginal) {
    auto e = MakeEngine(false);
    ASSERT_TRUE(
        e->AddAdjustment(Lab(9000, 12000, 30000), Rgb(Lab(9000, 12000, 30000)), {3, 4}, false));
    const Adjustment& a = e->Record(12);
    ExpectTarget(a, 9000, 12000, 30000);
    EXPECT_EQ(a.locked, 1);
    EXPECT_EQ(a.provisional, 1);

    ColorRecord16 moved = Lab(11000, 14000, 28000), rgb = Rgb(moved);
    e->ChangeOriginal(moved, rgb, {5, 5});
    ExpectOriginal(a, 11000, 14000, 28000);
    ExpectTarget(a, 11000, 14000, 28000);
    EXPECT_EQ(a.locked, 1);
}

TEST(TableTest, ChosenTargetStaysWhenTheOriginalMoves) {
    auto e = MakeEngine(false);
    e->AddAdjustment(Lab(9000, 12000, 30000), Rgb(Lab(9000, 12000, 30000)), {3, 4}, false);
    ColorRecord16 target = Lab(15000, 16000, 17000);
    e->SetTarget(target, Rgb(target), Position{40, 50});
    const Adjustment& a = e->Record(12);
    EXPECT_EQ(a.locked, 0);
    EXPECT_EQ(a.provisional, 0);
    EXPECT_EQ(a.samplePosition.h, 40);
    EXPECT_EQ(a.samplePosition.v, 50);
    ExpectTarget(a, 15000, 16000, 17000);

    ColorRecord16 moved = Lab(1000, 2000, 3000), rgb = Rgb(moved);
    e->ChangeOriginal(moved, rgb, {0, 0});
    ExpectTarget(a, 15000, 16000, 17000);
    EXPECT_EQ(a.samplePosition.h, 40);

    // The refresh makes the transformation reach the new target without a rebuild.
    ColorRecord16 c = Lab(1000, 2000, 3000);
    e->Transform16(&c, 1);
    EXPECT_NEAR(c.c1, 15000, 1);
    e->SetTarget(Lab(20000, 21000, 22000), Rgb(Lab(20000, 21000, 22000)), std::nullopt);
    EXPECT_EQ(a.samplePosition.h, -1);
    EXPECT_EQ(a.samplePosition.v, 50);
    c = Lab(1000, 2000, 3000);
    e->Transform16(&c, 1);
    EXPECT_NEAR(c.c1, 20000, 1);
    EXPECT_NEAR(c.c2, 21000, 1);
    EXPECT_NEAR(c.c3, 22000, 1);
}

TEST(TableTest, DuplicateOriginalIsJittered) {
    auto e = MakeEngine(false);
    test::SequenceRandom random{{200, 10, 128}}; // offsets +72, -118, 0
    e->SetRandomSource(test::SequenceRandom::Next, &random);
    const ColorRecord16 c = Lab(10000, 20000, 30000);
    e->AddAdjustment(c, Rgb(c), {0, 0}, false);
    ColorRecord16 again = c, rgb = Rgb(c);
    e->AddAdjustment(again, rgb, {0, 0}, false);
    ExpectOriginal(e->Record(12), 10000, 20000, 30000);
    ExpectOriginal(e->Record(13), 10072, 19882, 30000);
    ExpectTarget(e->Record(13), 10000, 20000, 30000); // the target was taken before

    // ChangeOriginal writes the jitter back into its arguments.
    random.next = 0;
    ColorRecord16 moved = c, movedRgb = Rgb(c);
    e->ChangeOriginal(moved, movedRgb, {0, 0});
    EXPECT_EQ(moved.c1, 10072);
    EXPECT_EQ(moved.c2, 19882);
    EXPECT_EQ(moved.c3, 30000);
    EXPECT_EQ(movedRgb.c1, Rgb(moved).c1);
    EXPECT_EQ(movedRgb.c3, Rgb(moved).c3);
}

TEST(TableTest, DuplicateTestsFollowTheMode) {
    test::SequenceRandom random{{255}}; // +127 on every channel
    struct Case {
        bool chromaOnly;
        ColorRecord16 first, second;
        bool jittered;
    } cases[] = {
        {true, Lab(1000, 5000, 6000), Lab(9000, 5000, 6000), true},
        {false, Lab(1000, 5000, 6000), Lab(9000, 5000, 6000), false},
        {false, Lab(1000, 5000, 6000), Lab(1000, 5000, 6000), true},
        {false, Lab(1000, 5000, 6000), Lab(0, 0, 0), true}, // the fixed points' original
        {true, Lab(1000, 5000, 6000), Lab(32768, 0, 0), true},
    };
    for (const Case& c : cases) {
        auto e = MakeEngine(c.chromaOnly);
        e->SetRandomSource(test::SequenceRandom::Next, &random);
        e->AddAdjustment(c.first, Rgb(c.first), {0, 0}, false);
        e->AddAdjustment(c.second, Rgb(c.second), {0, 0}, false);
        const Adjustment& a = e->Record(13);
        EXPECT_EQ(a.original[1] != c.second.c2, c.jittered) << c.chromaOnly << " " << c.second.c1;
        if (c.jittered) {
            EXPECT_EQ(a.original[1], c.second.c2 + 127);
        }
    }
}

TEST(TableTest, RemoveSelectedKeepsASensibleSelection) {
    auto e = MakeEngine(false);
    for (int i = 0; i < 3; ++i)
        e->LoadAdjustment(Stored(1000 * (i + 1), 3000, 5000, 1000 * (i + 1), 3000, 5000));
    e->Rebuild();
    const int32_t secondId = e->Record(13).id;

    e->Select(12); // the middle of three: the next one moves into its place
    e->RemoveSelected();
    EXPECT_EQ(e->Selected(), 12);
    EXPECT_EQ(e->Record(12).id, secondId);
    EXPECT_EQ(e->UserCount(), 2);

    e->Select(13); // the last: the one before it is selected
    e->RemoveSelected();
    EXPECT_EQ(e->Selected(), 12);

    e->RemoveSelected(); // the only one
    EXPECT_EQ(e->Selected(), -1);
    EXPECT_EQ(e->UserCount(), 0);
    e->RemoveSelected(); // nothing selected: nothing happens
    EXPECT_EQ(e->EntryCount(), 12);
}

TEST(TableTest, HistoryEditsCopyWholeRecords) {
    auto e = MakeEngine(false);
    for (int i = 0; i < 3; ++i)
        e->LoadAdjustment(Stored(1000 * (i + 1), 3000, 5000, 1000 * (i + 1), 4000, 5000));
    e->Rebuild();
    Adjustment saved;
    e->Select(13);
    ASSERT_TRUE(e->CopySelected(saved));
    e->RemoveSelected();
    ASSERT_TRUE(e->InsertAdjustmentAt(saved, 13));
    EXPECT_EQ(e->Selected(), 13);
    EXPECT_EQ(e->Record(13).id, saved.id);
    EXPECT_EQ(e->Record(14).original[0], 3000);
    EXPECT_FALSE(e->InsertAdjustmentAt(saved, 11));
    EXPECT_FALSE(e->InsertAdjustmentAt(saved, 16));

    Adjustment changed = saved;
    changed.target[2] = 9000;
    e->ReplaceSelected(changed);
    EXPECT_EQ(e->Record(13).target[2], 9000);

    e->Select(12);
    ASSERT_TRUE(e->AppendAdjustment(saved));
    EXPECT_EQ(e->Selected(), 12);
    EXPECT_EQ(e->UserCount(), 4);
    EXPECT_EQ(e->Record(15).id, saved.id);
}

TEST(TableTest, ForgetSamplePositionsAndClear) {
    auto e = MakeEngine(false);
    StoredAdjustment s = Stored(1000, 2000, 3000, 1500, 2000, 3000);
    s.sample = {4, 5};
    s.document = {6, 7};
    e->LoadAdjustment(s);
    e->Rebuild();
    e->ForgetSamplePositions();
    EXPECT_EQ(e->Record(12).samplePosition.h, -1);
    EXPECT_EQ(e->Record(12).documentPosition.h, 6);

    e->SetFuzziness(0.9f);
    e->ClearAdjustments();
    EXPECT_EQ(e->UserCount(), 0);
    EXPECT_EQ(e->Selected(), -1);
    EXPECT_EQ(e->Fuzziness(), kDefaultFuzziness);
    EXPECT_TRUE(e->PreserveLuminosity());
    EXPECT_EQ(e->PointCount(), 12);
    Adjustment out;
    EXPECT_FALSE(e->CopySelected(out));
}

} // namespace
} // namespace quillon::engine

#include "EngineInspector.h"
#include "TestSupport.h"

#include "engine/MeshBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

namespace quillon::engine {
namespace {

using test::Lab;
using test::MakeEngine;
using test::Stored;

std::vector<int32_t> VertexIds(const Tetrahedron& t) {
    return {t.Vertex(0)->id, t.Vertex(1)->id, t.Vertex(2)->id, t.Vertex(3)->id};
}

std::vector<int32_t> VertexIds(const Triangle& t) {
    return {t.Vertex(0)->id, t.Vertex(1)->id, t.Vertex(2)->id};
}

TEST(MeshTest, InitialMeshesAfterReset) {
    auto e = MakeEngine(false);
    EXPECT_EQ(e->PointCount(), 12);
    EXPECT_EQ(e->UserCount(), 0);
    ASSERT_EQ(e->TetrahedronCount(), 17);
    using V = std::vector<int32_t>;
    const V expected[17] = {
        {4, 5, 6, 8},  {4, 5, 6, 0},  {4, 6, 8, 0},   {4, 5, 8, 0},  {7, 5, 6, 11},  {7, 5, 6, 1},
        {7, 6, 11, 1}, {7, 5, 11, 1}, {10, 6, 8, 11}, {10, 6, 8, 2}, {10, 8, 11, 2}, {10, 6, 11, 2},
        {9, 5, 8, 11}, {9, 5, 8, 3},  {9, 8, 11, 3},  {9, 5, 11, 3}, {5, 6, 8, 11}};
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(VertexIds(EngineInspector::TetrahedronAt(*e, i)), expected[i]) << i;
        EXPECT_EQ(EngineInspector::TetrahedronAt(*e, i).Outer(), expected[i][3] < 4) << i;
    }

    e->SetPreserveLuminosity(true);
    ASSERT_EQ(e->TriangleCount(), 6);
    const V triangles[6] = {{4, 6, 8}, {4, 6, 0}, {4, 8, 0}, {10, 6, 8}, {10, 6, 2}, {10, 8, 2}};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(VertexIds(EngineInspector::TriangleAt(*e, i)), triangles[i]) << i;
    EXPECT_EQ(e->PointCount(), 12);
    // The 3D mesh keeps what its last build left.
    EXPECT_EQ(e->TetrahedronCount(), 17);
}

double DistanceTo(const Adjustment& a, const int32_t p[3]) {
    return std::sqrt(SquaredDistance3D(a.position, p));
}

TEST(MeshTest, CentreAdjustmentGetsEightAnchorsAtFuzzinessZero) {
    auto e = MakeEngine(false);
    e->SetFuzziness(0);
    ASSERT_TRUE(e->LoadAdjustment(Stored(16384, 16384, 16384, 20000, 17000, 15000)));
    e->Rebuild();
    ASSERT_EQ(e->PointCount(), 21);
    const Adjustment& user = e->Record(12);
    std::set<std::vector<int32_t>> positions;
    for (int32_t i = 13; i < 21; ++i) {
        const Adjustment& anchor = e->Record(i);
        EXPECT_NEAR(DistanceTo(anchor, user.position), 221.7, 1.8);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(anchor.target[k], MeshToLab(anchor.position)[size_t(k)]);
        positions.insert({anchor.position[0], anchor.position[1], anchor.position[2]});
    }
    EXPECT_EQ(positions.size(), 8u);
    // The anchors are in the mesh: each is a vertex of some tetrahedron.
    for (int32_t i = 13; i < 21; ++i) {
        bool found = false;
        for (int32_t t = 0; t < e->TetrahedronCount() && !found; ++t)
            found = EngineInspector::TetrahedronAt(*e, t).HasVertex(e->Record(i));
        EXPECT_TRUE(found) << i;
    }

    e->SetFuzziness(1);
    EXPECT_EQ(e->PointCount(), 13);
}

TEST(MeshTest, NoAnchorBetweenCloseAdjustments) {
    auto e = MakeEngine(false);
    e->SetFuzziness(0);
    e->LoadAdjustment(Stored(15000, 15100, 14900, 15000, 18000, 14000));
    e->LoadAdjustment(Stored(15200, 15300, 15000, 15200, 18000, 14000)); // about 300 away
    e->Rebuild();
    ASSERT_GT(e->PointCount(), 14);
    for (int32_t i = e->EntryCount(); i < e->PointCount(); ++i)
        for (int32_t u = 12; u < 14; ++u)
            EXPECT_GT(DistanceTo(e->Record(u), e->Record(i).position), 219.0) << i;
}

TEST(MeshTest, ChromaOnlyAnchorsLieInThePlane) {
    auto e = MakeEngine(true);
    e->SetFuzziness(0);
    e->LoadAdjustment(Stored(30000, 9000, 23000, 30000, 12000, 20000));
    e->Rebuild();
    ASSERT_GT(e->PointCount(), 13);
    const Adjustment& user = e->Record(12);
    for (int32_t i = 13; i < e->PointCount(); ++i) {
        const Adjustment& anchor = e->Record(i);
        EXPECT_EQ(anchor.position[2], 0);
        EXPECT_NEAR(std::sqrt(SquaredDistance2D(anchor.position, user.position)), 181.0, 1.5);
    }
    e->SetFuzziness(1);
    EXPECT_EQ(e->PointCount(), 13);
}

TEST(MeshTest, RebuildResetsTheSearchOrder) {
    auto e = MakeEngine(false);
    e->LoadAdjustment(Stored(12000, 20000, 9000, 14000, 21000, 8000));
    e->Rebuild();
    std::vector<ColorRecord16> colours;
    for (int32_t v = 0; v <= 32768; v += 4096)
        colours.push_back(Lab(v, 32768 - v, v / 2));
    e->Transform16(colours.data(), int32_t(colours.size()));
    auto order = EngineInspector::TetrahedronSearchOrder(*e);
    ASSERT_FALSE(std::is_sorted(order.begin(), order.end()));
    e->SetFuzziness(0.3f);
    order = EngineInspector::TetrahedronSearchOrder(*e);
    ASSERT_EQ(int32_t(order.size()), e->TetrahedronCount());
    for (size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(order[i], int32_t(i));
}

// Spreads n adjustments over the colour cube, each moved by up to `shift`.
void LoadSpread(ColorEngine& e, int n, uint64_t seed, int32_t shift) {
    test::Lcg rng{seed};
    for (int i = 0; i < n; ++i) {
        const int32_t l = rng.Next(32769), a = rng.Next(32769), b = rng.Next(32769);
        auto moved = [&](int32_t v) {
            return std::clamp(v + rng.Next(2 * shift + 1) - shift, 0, 32768);
        };
        ASSERT_TRUE(e.LoadAdjustment(Stored(l, a, b, moved(l), moved(a), moved(b)))) << i;
    }
    e.Rebuild();
}

// Mesh invariant: every colour of a dense grid lies in some simplex.
void ExpectGridCovered(const ColorEngine& e, int32_t step) {
    int missing = 0;
    for (int32_t l = 0; l <= 32768; l += step)
        for (int32_t a = 0; a <= 32768; a += step)
            for (int32_t b = 0; b <= 32768; b += step) {
                const bool found = e.PreserveLuminosity()
                                       ? EngineInspector::LocateTriangle(e, a, b) >= 0
                                       : EngineInspector::LocateTetrahedron(e, a, b, l) >= 0;
                missing += found ? 0 : 1;
                if (e.PreserveLuminosity()) break;
            }
    EXPECT_EQ(missing, 0);
}

TEST(MeshLimitTest, TwoHundredAdjustmentsAtLowestFuzzinessStillCoverTheCube) {
    for (bool chromaOnly : {false, true}) {
        SCOPED_TRACE(chromaOnly ? "chroma-only" : "3D");
        auto e = MakeEngine(chromaOnly);
        e->SetFuzziness(0);
        LoadSpread(*e, kMaxUserAdjustments, 7, 3000);
        EXPECT_EQ(e->UserCount(), kMaxUserAdjustments);
        EXPECT_LE(e->PointCount(), kPointLimit);
        EXPECT_GT(e->PointCount(), e->EntryCount()); // some anchors still placed
        if (!chromaOnly) {
            EXPECT_LE(e->TetrahedronCount(), kTetrahedronLimit);
        }
        ExpectGridCovered(*e, 1024);
        // Every user adjustment reaches its target.
        for (int32_t i = e->FirstUserIndex(); i < e->EntryCount(); i += 7) {
            const Adjustment& a = e->Record(i);
            ColorRecord16 c = Lab(a.original[0], a.original[1], a.original[2]);
            e->Transform16(&c, 1);
            const Triple got = MeshPointOf(c);
            const Triple target = LabToMesh(a.target);
            EXPECT_NEAR(got[kAxisOfA], target[kAxisOfA], 1) << i;
            EXPECT_NEAR(got[kAxisOfB], target[kAxisOfB], 1) << i;
            EXPECT_NEAR(c.c1, chromaOnly ? a.original[0] : target[kAxisOfL], chromaOnly ? 0 : 1)
                << i;
        }
    }
}

TEST(MeshLimitTest, AnchorsStopAtThePointLimit) {
    auto e = MakeEngine(true);
    e->SetFuzziness(0);
    LoadSpread(*e, 120, 11, 2000);
    EXPECT_EQ(e->PointCount(), kPointLimit);
    ExpectGridCovered(*e, 512);
}

TEST(MeshLimitTest, EqualOriginalsFailingTenTimesLeaveAHole) {
    // A random source whose offsets are all zero: a nudge never moves anything, so inserting
    // the second of two equal originals fails ten times and leaves its cavity empty.
    test::SequenceRandom still{{128}};
    auto e = MakeEngine(false);
    e->SetRandomSource(test::SequenceRandom::Next, &still);
    e->SetFuzziness(0.5f);
    e->LoadAdjustment(Stored(8000, 8000, 8000, 9000, 12000, 5000));
    e->LoadAdjustment(Stored(24000, 23000, 25000, 24000, 23000, 25000));
    e->LoadAdjustment(Stored(24000, 23000, 25000, 24000, 23000, 25000));
    e->Rebuild();
    EXPECT_GE(still.calls, 9 * 3);

    // Find a colour in the hole.
    std::vector<ColorRecord16> hole;
    for (int32_t l = 0; l <= 32768 && hole.empty(); l += 256)
        for (int32_t a = 0; a <= 32768 && hole.empty(); a += 256)
            for (int32_t b = 0; b <= 32768 && hole.empty(); b += 256)
                if (EngineInspector::LocateTetrahedron(*e, a, b, l) < 0)
                    hole.push_back(Lab(l, a, b));
    ASSERT_FALSE(hole.empty());

    // The colour in the hole stays as it is; the buffer goes on.
    ColorRecord16 buffer[3] = {hole[0], Lab(8000, 8000, 8000), hole[0]};
    buffer[0].c0 = 77;
    e->Transform16(buffer, 3);
    EXPECT_EQ(buffer[0].c0, 77);
    EXPECT_EQ(buffer[0].c1, hole[0].c1);
    EXPECT_EQ(buffer[0].c2, hole[0].c2);
    EXPECT_EQ(buffer[0].c3, hole[0].c3);
    EXPECT_NEAR(buffer[1].c1, 9000, 1);
    EXPECT_NEAR(buffer[1].c2, 12000, 1);
    EXPECT_NEAR(buffer[1].c3, 5000, 1);
    EXPECT_EQ(buffer[2].c2, hole[0].c2);
}

TEST(MeshLimitTest, ChromaOnlyHoleLeavesTheColour) {
    test::SequenceRandom still{{128}};
    auto e = MakeEngine(true);
    e->SetRandomSource(test::SequenceRandom::Next, &still);
    // Same a and b: a duplicate in the plane whatever L is.
    e->LoadAdjustment(Stored(5000, 20000, 12000, 5000, 22000, 10000));
    e->LoadAdjustment(Stored(30000, 20000, 12000, 30000, 20000, 12000));
    e->Rebuild();
    int32_t hx = -1, hy = -1;
    for (int32_t a = 0; a <= 32768 && hx < 0; a += 64)
        for (int32_t b = 0; b <= 32768 && hx < 0; b += 64)
            if (EngineInspector::LocateTriangle(*e, a, b) < 0) hx = a, hy = b;
    ASSERT_GE(hx, 0);
    ColorRecord16 buffer[2] = {Lab(1234, hx, hy), Lab(4321, 0, 0)};
    e->Transform16(buffer, 2);
    EXPECT_EQ(buffer[0].c1, 1234);
    EXPECT_EQ(buffer[0].c2, hx);
    EXPECT_EQ(buffer[0].c3, hy);
    EXPECT_EQ(buffer[1].c1, 4321);
}

// The hashed search for cavity faces must build exactly the mesh the plain matching builds.
template <int D> void ExpectSameMeshes(bool chromaOnly, int users, uint64_t seed, float fuzziness) {
    auto e = MakeEngine(chromaOnly);
    e->SetFuzziness(fuzziness);
    LoadSpread(*e, users, seed, 4000);
    const int32_t points = e->PointCount();
    // The table after the engine's build, anchors included, with nudges undone.
    std::vector<Adjustment> table(kTableCapacity);
    for (int32_t i = 0; i < points; ++i)
        table[i] = e->Record(i);
    for (int32_t i = 12; i < e->EntryCount(); ++i)
        Assign(table[i].position, LabToMesh(table[i].original));
    const int32_t bounds[6] = {0, 32768, 0, 32768, 0, 32768};
    std::vector<Adjustment> plainTable = table;
    test::SequenceRandom r1{{5, 250, 77, 130, 9}}, r2 = r1;
    auto hashed = std::make_unique<detail::MeshBuilder<D>>();
    auto plain = std::make_unique<detail::MeshBuilder<D>>();
    plain->UsePlainMatching(true);
    const auto a = hashed->Build({table.data(), bounds, test::SequenceRandom::Next, &r1}, 12,
                                 points, e->EntryCount(), 5000);
    const auto b = plain->Build({plainTable.data(), bounds, test::SequenceRandom::Next, &r2}, 12,
                                points, e->EntryCount(), 5000);
    EXPECT_EQ(a.cut, b.cut);
    ASSERT_EQ(hashed->Count(), plain->Count());
    for (int32_t i = 0; i < hashed->Count(); ++i) {
        for (int k = 0; k < D + 1; ++k)
            ASSERT_EQ(hashed->At(i).v[k], plain->At(i).v[k]) << i;
        ASSERT_EQ(hashed->At(i).outer, plain->At(i).outer);
    }
    EXPECT_EQ(r1.calls, r2.calls);
}

TEST(MeshBuilderTest, HashedFaceMatchingEqualsPlainMatching) {
    ExpectSameMeshes<3>(false, 6, 21, 0.3f);
    ExpectSameMeshes<3>(false, 12, 22, 0.7f);
    ExpectSameMeshes<2>(true, 20, 23, 0.1f);
}

// A record that would take the mesh past its limit is not inserted: the build stops with the
// mesh exactly as the records before it left it.
TEST(MeshBuilderTest, StopsBeforeTheRecordThatDoesNotFit) {
    auto e = MakeEngine(false);
    LoadSpread(*e, 30, 5, 1000);
    std::vector<Adjustment> table(kTableCapacity);
    for (int32_t i = 0; i < e->EntryCount(); ++i)
        table[i] = e->Record(i);
    const int32_t bounds[6] = {0, 32768, 0, 32768, 0, 32768};
    test::SequenceRandom random{{7, 201, 90}};
    const detail::BuildContext context{table.data(), bounds, test::SequenceRandom::Next, &random};
    auto cut = std::make_unique<detail::MeshBuilder<3>>();
    const auto outcome = cut->Build(context, 12, e->EntryCount(), 12, 60);
    ASSERT_TRUE(outcome.cut);
    EXPECT_LE(cut->Count(), 60);
    auto prefix = std::make_unique<detail::MeshBuilder<3>>();
    EXPECT_FALSE(prefix->Build(context, 12, outcome.stoppedAt, 12, 5000).cut);
    ASSERT_EQ(prefix->Count(), cut->Count());
    for (int32_t i = 0; i < cut->Count(); ++i)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(prefix->At(i).v[k], cut->At(i).v[k]);
}

TEST(MeshBuilderTest, DuplicateOriginalsKeepTheMeshWhole) {
    // A second point at a vertex lies on the circumspheres around it: the rounding of the
    // circumsphere test either leaves its cavity empty (the point stays out of the mesh) or
    // makes a flat simplex, and the point is nudged. Either way the mesh stays whole.
    int nudged = 0;
    const int32_t colours[][3] = {
        {10000, 21000, 11000}, {5000, 7000, 30000}, {12345, 23456, 3456}, {30000, 1000, 20000}};
    for (bool chromaOnly : {false, true})
        for (const auto& c : colours) {
            auto e = MakeEngine(chromaOnly);
            e->LoadAdjustment(Stored(c[0], c[1], c[2], c[0], c[1] + 900, c[2]));
            e->LoadAdjustment(
                Stored(chromaOnly ? 32768 - c[0] : c[0], c[1], c[2], c[0], c[1], c[2]));
            e->Rebuild();
            const Adjustment& second = e->Record(13);
            EXPECT_EQ(second.original[1], c[1]); // only the position moves
            if (second.position[0] != c[1] || second.position[1] != c[2]) ++nudged;
            ExpectGridCovered(*e, 2048);
        }
    EXPECT_GT(nudged, 0);
}

} // namespace
} // namespace quillon::engine

#include "EngineInspector.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace quillon::engine {
namespace {

using test::Lab;
using test::MakeEngine;
using test::Stored;

TEST(ScaleTest, EightBitScale) {
    struct Case {
        int32_t v16, v8;
    } down[] = {{32768, 255}, {32767, 255}, {32640, 255}, {32639, 254}, {16384, 128}, {0, 0}};
    for (const Case& c : down)
        EXPECT_EQ(to8(c.v16), c.v8) << c.v16;
    EXPECT_EQ(to16(128), 16384);
    EXPECT_EQ(to16(255), 32640);
}

TEST(TransformTest, BeforeResetNothingChanges) {
    ColorEngine e;
    ColorRecord16 c = Lab(12345, 32768, 1);
    e.Transform16(&c, 1);
    EXPECT_EQ(c.c1, 12345);
    EXPECT_EQ(c.c2, 32768);
    EXPECT_EQ(c.c3, 1);
    // Settings before the first Reset build nothing.
    e.SetPreserveLuminosity(false);
    EXPECT_EQ(e.PointCount(), 0);
    e.Transform16(&c, 1);
    EXPECT_EQ(c.c1, 12345);
}

// Without user adjustments every colour comes back as it went in, or one unit lower where the
// interpolation falls a hair below the integer.
TEST(TransformTest, IdentityWithinTruncationAfterReset) {
    for (bool chromaOnly : {false, true}) {
        auto e = MakeEngine(chromaOnly);
        std::vector<ColorRecord16> grid;
        for (int32_t l = 0; l <= 32768; l += 2048)
            for (int32_t a = 0; a <= 32768; a += 1024)
                for (int32_t b = 0; b <= 32768; b += 1024)
                    grid.push_back(Lab(l, a, b + (a == 0 ? 1 : 0)));
        std::vector<ColorRecord16> out = grid;
        e->Transform16(out.data(), int32_t(out.size()));
        for (size_t i = 0; i < grid.size(); ++i) {
            const ColorRecord16 &in = grid[i], &r = out[i];
            // In chroma-only mode the map clamps to 32767.
            const int32_t top = chromaOnly ? 32767 : 32768;
            EXPECT_LE(r.c2, std::min<int32_t>(in.c2, top));
            EXPECT_GE(r.c2, std::min<int32_t>(in.c2, top) - 1);
            EXPECT_LE(r.c3, std::min<int32_t>(in.c3, top));
            EXPECT_GE(r.c3, std::min<int32_t>(in.c3, top) - 1);
            if (chromaOnly) {
                EXPECT_EQ(r.c1, in.c1);
            } else {
                EXPECT_LE(r.c1, in.c1);
                EXPECT_GE(r.c1, in.c1 - 1);
            }
        }
    }
}

TEST(TransformTest, OriginalsGoToTheirTargets) {
    const StoredAdjustment adjustments[] = {
        Stored(20000, 16000, 17000, 22000, 17000, 15000),
        Stored(5000, 26000, 9000, 7000, 22000, 12000),
        Stored(30000, 4000, 28000, 27000, 6000, 25000),
    };
    for (bool chromaOnly : {false, true})
        for (float f : {0.0f, kDefaultFuzziness, 1.0f}) {
            SCOPED_TRACE(::testing::Message() << "chroma-only " << chromaOnly << " f " << f);
            auto e = MakeEngine(chromaOnly);
            e->SetFuzziness(f);
            for (const auto& s : adjustments)
                e->LoadAdjustment(s);
            e->Rebuild();
            for (const auto& s : adjustments) {
                ColorRecord16 c = Lab(s.original[0], s.original[1], s.original[2]);
                c.c0 = 4242;
                e->Transform16(&c, 1);
                EXPECT_EQ(c.c0, 4242);
                EXPECT_NEAR(c.c2, s.target[1], 1);
                EXPECT_LE(c.c2, s.target[1]);
                EXPECT_NEAR(c.c3, s.target[2], 1);
                if (chromaOnly)
                    EXPECT_EQ(c.c1, s.original[0]);
                else
                    EXPECT_NEAR(c.c1, s.target[0], 1);
            }
        }
}

TEST(TransformTest, EightBitPathScalesAndSaturates) {
    auto e = MakeEngine(false);
    e->LoadAdjustment(Stored(100 * 128, 90 * 128, 200 * 128, 32768, 32768, 0));
    e->LoadAdjustment(Stored(20 * 128, 40 * 128, 60 * 128, 21 * 128, 41 * 128, 61 * 128));
    e->Rebuild();
    ColorRecord8 c[2] = {{9, 100, 90, 200}, {250, 20, 40, 60}};
    e->Transform8(c, 2);
    EXPECT_EQ(c[0].c0, 9);
    EXPECT_EQ(c[0].c1, 255);
    EXPECT_EQ(c[0].c2, 255);
    EXPECT_EQ(c[0].c3, 0);
    EXPECT_EQ(c[1].c0, 250);
    // An exact multiple of 128 can come back one level lower.
    EXPECT_NEAR(c[1].c1, 21, 1);
    EXPECT_NEAR(c[1].c2, 41, 1);
    EXPECT_NEAR(c[1].c3, 61, 1);
}

TEST(TransformTest, ChromaOnlyTopOfTheRangeComesBackAs32767) {
    auto e = MakeEngine(true);
    ColorRecord16 c = Lab(500, 32768, 32768);
    e->Transform16(&c, 1);
    EXPECT_EQ(c.c1, 500);
    EXPECT_EQ(c.c2, 32767);
    EXPECT_EQ(c.c3, 32767);
}

TEST(TransformTest, FoundSimplexMovesToTheFront) {
    auto e = MakeEngine(false);
    // After Reset the search order is the array order; take the centroid of tetrahedron 8, the
    // corner tetrahedron at corner 10, which no other one contains.
    const Tetrahedron& t = EngineInspector::TetrahedronAt(*e, 8);
    int32_t p[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k) {
        for (int v = 0; v < 4; ++v)
            p[k] += t.Vertex(v)->position[k];
        p[k] /= 4;
    }
    ASSERT_EQ(EngineInspector::LocateTetrahedron(*e, p[0], p[1], p[2]), 8);
    ColorRecord16 c{0, uint16_t(p[2]), uint16_t(p[0]), uint16_t(p[1])};
    e->Transform16(&c, 1);
    auto order = EngineInspector::TetrahedronSearchOrder(*e);
    EXPECT_EQ(order[0], 8);
    EXPECT_EQ(order[8], 0);
    for (int i = 1; i < 17; ++i)
        if (i != 8) {
            EXPECT_EQ(order[i], i);
        }

    // A colour of the first tetrahedron is now found at position 8 and swaps back.
    ColorRecord16 corner = Lab(100, 100, 100);
    ASSERT_EQ(EngineInspector::LocateTetrahedron(*e, 100, 100, 100), 0);
    e->Transform16(&corner, 1);
    EXPECT_EQ(EngineInspector::TetrahedronSearchOrder(*e)[0], 0);
    EXPECT_EQ(EngineInspector::TetrahedronSearchOrder(*e)[8], 8);
}

// The engine's search must pick the simplex a walk along the search order meets first, and
// evolve the order the same way: a colour on a shared face maps through that simplex. Meshes
// sparse and dense, colours at random, on the corners and edges of the search's grid cells
// (multiples of 1024 and one below) and on the mesh's own vertices.
TEST(TransformTest, SearchFollowsTheWalkAlongTheOrder) {
    struct Mesh {
        const char* name;
        float fuzziness;
        int adjustments;
    } meshes[] = {{"three adjustments", 0.2f, 3}, {"thirty adjustments", 5.0f / 9, 30}};
    for (const Mesh& mesh : meshes)
        for (bool chromaOnly : {false, true}) {
            SCOPED_TRACE(std::string(mesh.name) + (chromaOnly ? ", chroma-only" : ", 3D"));
            auto e = MakeEngine(chromaOnly);
            e->SetFuzziness(mesh.fuzziness);
            test::Lcg rng{7};
            for (int i = 0; i < mesh.adjustments; ++i) {
                const int32_t l = 3000 + rng.Next(26000), a = 6000 + rng.Next(20000),
                              b = 6000 + rng.Next(20000);
                e->LoadAdjustment(Stored(l, a, b, l + rng.Next(2000), a + 1500 - rng.Next(3000),
                                         b + 1500 - rng.Next(3000)));
            }
            e->Rebuild();
            std::vector<ColorRecord16> colors;
            for (int i = 0; i < 3000; ++i) {
                // Mostly 8-bit grid colours, which often lie on shared faces, and some beyond
                // the 16-bit range of the ICS.
                const int32_t bound = i % 10 == 0 ? 65536 : 257;
                const int32_t scale = i % 10 == 0 ? 1 : 128;
                colors.push_back(
                    Lab(rng.Next(bound) * scale, rng.Next(bound) * scale, rng.Next(bound) * scale));
            }
            auto edge = [&rng] { return std::min(1024 * rng.Next(33) - rng.Next(2), 32768); };
            for (int i = 0; i < 2000; ++i)
                colors.push_back(Lab(edge(), edge(), edge()));
            for (int32_t i = 0; i < e->PointCount(); ++i) {
                const int32_t* p = e->Record(i).position;
                colors.push_back(Lab(p[kAxisOfL], p[kAxisOfA], p[kAxisOfB]));
            }
            auto span = chromaOnly ? EngineInspector::TriangleSearchOrder(*e)
                                   : EngineInspector::TetrahedronSearchOrder(*e);
            std::vector<int32_t> order(span.begin(), span.end());
            for (size_t i = 0; i < colors.size(); ++i) {
                ColorRecord16 c = colors[i];
                for (size_t k = 0; k < order.size(); ++k) {
                    const bool inside =
                        chromaOnly ? EngineInspector::TriangleAt(*e, order[k]).Contains(c.c2, c.c3)
                                   : EngineInspector::TetrahedronAt(*e, order[k])
                                         .Contains(c.c2, c.c3, c.c1);
                    if (inside) {
                        std::swap(order[k], order[0]);
                        break;
                    }
                }
                e->Transform16(&c, 1);
                auto now = chromaOnly ? EngineInspector::TriangleSearchOrder(*e)
                                      : EngineInspector::TetrahedronSearchOrder(*e);
                ASSERT_TRUE(std::equal(order.begin(), order.end(), now.begin())) << i;
            }
        }
}

// Callers with their own search orders only read the mesh: evaluations on two threads give what
// one caller gets alone, the engine's own order is left as it was, and an order kept across a
// rebuild starts again from the array order.
TEST(TransformTest, CallersWithTheirOwnOrdersEvaluateTogether) {
    for (bool chromaOnly : {false, true}) {
        SCOPED_TRACE(chromaOnly ? "chroma-only" : "3D");
        auto e = MakeEngine(chromaOnly);
        e->SetFuzziness(0.2f);
        e->LoadAdjustment(Stored(20000, 16000, 17000, 22000, 17000, 15000));
        e->LoadAdjustment(Stored(5000, 26000, 9000, 7000, 22000, 12000));
        e->Rebuild();
        std::vector<ColorRecord16> colours;
        test::Lcg rng{7};
        for (int i = 0; i < 20000; ++i)
            colours.push_back(Lab(rng.Next(257) * 128, rng.Next(257) * 128, rng.Next(257) * 128));
        auto alone = colours;
        auto order = std::make_unique<SearchOrder>();
        e->Transform16(alone.data(), int32_t(alone.size()), *order);
        const auto ownBefore = chromaOnly ? EngineInspector::TriangleSearchOrder(*e)
                                          : EngineInspector::TetrahedronSearchOrder(*e);
        const std::vector<int32_t> own(ownBefore.begin(), ownBefore.end());

        const ColorEngine& shared = *e;
        std::vector<ColorRecord16> results[2] = {colours, colours};
        std::unique_ptr<SearchOrder> orders[2] = {std::make_unique<SearchOrder>(),
                                                  std::make_unique<SearchOrder>()};
        std::thread threads[2];
        for (int k = 0; k < 2; ++k)
            threads[k] = std::thread([&, k] {
                shared.Transform16(results[k].data(), int32_t(results[k].size()), *orders[k]);
            });
        for (auto& t : threads)
            t.join();
        for (const auto& r : results)
            for (size_t i = 0; i < r.size(); ++i)
                ASSERT_EQ(std::tie(r[i].c1, r[i].c2, r[i].c3),
                          std::tie(alone[i].c1, alone[i].c2, alone[i].c3))
                    << i;
        const auto ownAfter = chromaOnly ? EngineInspector::TriangleSearchOrder(*e)
                                         : EngineInspector::TetrahedronSearchOrder(*e);
        EXPECT_TRUE(std::equal(own.begin(), own.end(), ownAfter.begin(), ownAfter.end()));

        const auto moved = chromaOnly ? order->Triangles() : order->Tetrahedra();
        ASSERT_FALSE(std::is_sorted(moved.begin(), moved.end()));
        e->SetFuzziness(0.3f);
        ColorRecord16 c = Lab(0, 0, 0);
        e->Transform16(&c, 1, *order);
        const auto fresh = chromaOnly ? order->Triangles() : order->Tetrahedra();
        ASSERT_EQ(int32_t(fresh.size()), chromaOnly ? e->TriangleCount() : e->TetrahedronCount());
        for (size_t i = 1; i < fresh.size(); ++i)
            if (fresh[i] != int32_t(i)) {
                EXPECT_EQ(fresh[0], int32_t(i)) << i;
            }
    }
}

TEST(TransformTest, ChromaOnlyLeavesLightness) {
    auto e = MakeEngine(true);
    e->LoadAdjustment(Stored(16000, 10000, 20000, 30000, 14000, 18000));
    e->Rebuild();
    std::vector<ColorRecord16> buffer;
    for (int32_t i = 0; i < 64; ++i)
        buffer.push_back(
            {uint16_t(i), uint16_t(i * 512), uint16_t(8000 + i * 64), uint16_t(20000 - i * 32)});
    e->Transform16(buffer.data(), int32_t(buffer.size()));
    bool changed = false;
    for (int32_t i = 0; i < 64; ++i) {
        EXPECT_EQ(buffer[i].c0, i);
        EXPECT_EQ(buffer[i].c1, i * 512);
        changed = changed || buffer[i].c2 != 8000 + i * 64;
    }
    EXPECT_TRUE(changed);
}

} // namespace
} // namespace quillon::engine

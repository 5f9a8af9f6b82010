#include "TestSupport.h"

#include "filter/ColorsText.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon::filter {
namespace {

using engine::Adjustment;
using engine::ColorEngine;
using engine::test::MakeEngine;

void ExpectColors(const Adjustment& a, int32_t l, int32_t aa, int32_t b, int32_t tl, int32_t ta,
                  int32_t tb) {
    EXPECT_EQ(a.original[0], l);
    EXPECT_EQ(a.original[1], aa);
    EXPECT_EQ(a.original[2], b);
    EXPECT_EQ((engine::Triple{a.target[0], a.target[1], a.target[2]}),
              (engine::Triple{tl, ta, tb}));
}

TEST(ColorsTextTest, FullItemRoundTrips) {
    auto e = MakeEngine(false);
    const std::string text = "Lab[20000,16384,16384][10,20]:Lab[22000,17000,15000][5,6] "
                             "Lab[16384,16384,16384] ";
    ASSERT_TRUE(ParseColors(*e, text));
    ASSERT_EQ(e->UserCount(), 2);
    const Adjustment& a = e->Record(12);
    ExpectColors(a, 20000, 16384, 16384, 22000, 17000, 15000);
    EXPECT_EQ(a.documentPosition.h, 10);
    EXPECT_EQ(a.documentPosition.v, 20);
    EXPECT_EQ(a.samplePosition.h, 5);
    EXPECT_EQ(a.samplePosition.v, 6);
    EXPECT_EQ(a.locked, 0);
    const Adjustment& b = e->Record(13);
    EXPECT_EQ(b.locked, 1);
    EXPECT_EQ(b.documentPosition.h, -1);
    ExpectColors(b, 16384, 16384, 16384, 16384, 16384, 16384);
    EXPECT_EQ(FormatColors(*e), text);
}

TEST(ColorsTextTest, ItemsOfTheGrammar) {
    struct Case {
        const char* text;
        int users;
        int32_t first[6]; // original L, a, b, target L, a, b of the first item
        bool locked;
        int32_t documentH, sampleH;
    } cases[] = {
        {"Lab[1,2,3]:Lab[4,5,6] ", 1, {1, 2, 3, 4, 5, 6}, false, -1, -1},
        {"Lab[1,2,3][7,8] Lab[9,9,9] ", 2, {1, 2, 3, 1, 2, 3}, true, 7, -1},
        {"Lab[1,2,3]", 1, {1, 2, 3, 1, 2, 3}, true, -1, -1},
        {"Lab[1,2,3]:Lab[4,5,6][0,0]   ", 1, {1, 2, 3, 4, 5, 6}, false, -1, 0},
        {"Lab[5]:Lab[,7] ", 1, {5, 0, 0, 0, 7, 0}, false, -1, -1},
        {"Lab[,,]", 1, {0, 0, 0, 0, 0, 0}, true, -1, -1},
        // Kept modulo 65536, then clamped into 0..32768.
        {"Lab[65537,70000,40000] ", 1, {1, 4464, 32768, 1, 4464, 32768}, true, -1, -1},
        {"Lab[1,2,3][-5,2147483647] ", 1, {1, 2, 3, 1, 2, 3}, true, -5, -1},
        {"", 0, {}, false, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto e = MakeEngine(false);
        EXPECT_TRUE(ParseColors(*e, c.text));
        ASSERT_EQ(e->UserCount(), c.users);
        if (c.users == 0) continue;
        const Adjustment& a = e->Record(12);
        ExpectColors(a, c.first[0], c.first[1], c.first[2], c.first[3], c.first[4], c.first[5]);
        EXPECT_EQ(a.locked, c.locked ? 1 : 0);
        EXPECT_EQ(a.documentPosition.h, c.documentH);
        EXPECT_EQ(a.samplePosition.h, c.sampleH);
    }
}

TEST(ColorsTextTest, FaultsStopParsingAndKeepEarlierItems) {
    struct Case {
        std::string text;
        int users;
        size_t offset;
    } cases[] = {
        {"Lab(1,2,3)", 0, 3},
        {"Lab[1,2,3] Lab[4,5", 1, 18},
        {"Lab[1,2,3,4]", 0, 9},
        {"Lab[1,2,3]:Lab[4,5,6]x", 1, 21},
        {"Lab[1,2,3]:lab[4,5,6]", 0, 11},
        {"Lab[1,2,3][7]", 0, 12},
        {"Lab[1,2,3][2147483648,1]", 0, 20},
        {"Lab[1,2,3] \tLab[1,2,3]", 1, 11},
        {std::string("Lab[1,2,3] \0Lab(", 16), 1, 11}, // the text ends at its NUL
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto e = MakeEngine(false);
        const ParseColorsResult r = ParseColors(*e, c.text);
        EXPECT_EQ(e->UserCount(), c.users);
        if (c.offset == 11 && c.text.size() == 16) {
            EXPECT_TRUE(r);
            continue;
        }
        EXPECT_EQ(r.error, ColorsTextError::Malformed);
        EXPECT_EQ(r.offset, c.offset);
    }
}

TEST(ColorsTextTest, LoadingStopsAtTheMaximum) {
    auto e = MakeEngine(false);
    std::string text;
    for (int i = 0; i < engine::kMaxUserAdjustments + 5; ++i)
        text += "Lab[" + std::to_string(i * 100) + ",1000,2000]:Lab[1,2,3] ";
    const ParseColorsResult r = ParseColors(*e, text);
    EXPECT_EQ(r.error, ColorsTextError::TooManyAdjustments);
    EXPECT_EQ(e->UserCount(), engine::kMaxUserAdjustments);
    EXPECT_EQ(text.compare(r.offset, 10, "Lab[20000,"), 0);
    e->Rebuild();
    EXPECT_EQ(e->UserCount(), engine::kMaxUserAdjustments);
}

TEST(ColorsTextTest, FormatLeavesOutTargetsThatDoNotMove) {
    auto e = MakeEngine(false);
    engine::ColorRecord16 c{0, 20000, 16384, 16384};
    engine::ColorRecord16 rgb{};
    e->AddAdjustment(c, rgb, {3, 4}, false); // locked
    c.c2 = 9000;
    e->AddAdjustment(c, rgb, {-1, 0}, false);
    // Unlocked, but its target equals its original: written locked.
    e->SetTarget(c, rgb, engine::Position{8, 9});
    EXPECT_EQ(FormatColors(*e), "Lab[20000,16384,16384][3,4] Lab[20000,9000,16384] ");

    auto back = MakeEngine(false);
    ASSERT_TRUE(ParseColors(*back, FormatColors(*e)));
    EXPECT_EQ(back->Record(13).locked, 1);
}

} // namespace
} // namespace quillon::filter

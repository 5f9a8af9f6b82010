// Whole uses of the filter on documents of every mode: tiles, conversions, depths, cancelling.
#include "PluginFixture.h"

#include <lcms2.h>

#include <algorithm>
#include <set>

namespace {

using namespace quillon::testing;

// An adjustment of the ICS colour (20000, 12000, 21000) towards (22000, 17000, 15000).
const std::string kMove = "Lab[20000,12000,21000]:Lab[22000,17000,15000] ";

class FilteringPassTest : public PluginFixture {};

TEST_F(FilteringPassTest, TilesRowsAndProgressFollowTheFilterRectangle) {
    struct Case {
        ColorMode mode;
        int space;
        int depth;
        int convertedRows; // pixel rows of tiles converted each way
    };
    // An RGB or CMYK pass converts only the colours it has not seen yet: in this one-colour
    // document, those of the first row of the first tile.
    for (Case c : {Case{ColorMode::RGB, plugIncolorServicesRGBSpace, 8, 1},
                   Case{ColorMode::RGB, plugIncolorServicesRGBSpace, 16, 1},
                   Case{ColorMode::CMYK, plugIncolorServicesCMYKSpace, 8, 1},
                   Case{ColorMode::Lab, plugIncolorServicesLabSpace, 8, 0}}) {
        Document document = MakeDocument(c.mode, c.depth, 1000, 300);
        RunOptions options;
        options.tileWidth = 256;
        options.tileHeight = 128;
        RunTrace trace;
        options.trace = &trace;
        RunReport report = Run(document, Playback(kMove), options);
        ASSERT_EQ(report.result, 0) << ModeName(c.mode);
        EXPECT_EQ(trace.advanceCalls, 12);
        EXPECT_EQ(trace.progressCalls,
                  (std::vector<std::pair<int32_t, int32_t>>{{1, 3}, {2, 3}, {3, 3}}));
        // One conversion each way per converted pixel row; the engine's own space needs none.
        // (Lab to RGB also serves the adjustments' companion colours.)
        const int lab = plugIncolorServicesLabSpace;
        auto count = [&](int from, int to) {
            auto it = trace.conversions.find({from, to});
            return it == trace.conversions.end() ? 0 : it->second;
        };
        if (c.space == lab) {
            EXPECT_EQ(count(plugIncolorServicesRGBSpace, lab) +
                          count(plugIncolorServicesCMYKSpace, lab),
                      0);
        } else {
            EXPECT_EQ(count(c.space, lab), c.convertedRows) << ModeName(c.mode);
            EXPECT_GE(count(lab, c.space), c.convertedRows) << ModeName(c.mode);
        }
    }
}

TEST_F(FilteringPassTest, CancelAfterTheFirstTileRowStopsWithUserCancelled) {
    Document document = Filled(ColorMode::Lab, 16, 1000, 300, {20000, 12000, 21000});
    RunOptions options;
    options.tileWidth = 256;
    options.tileHeight = 128;
    options.abort = [] { return true; };
    RunTrace trace;
    options.trace = &trace;
    RunReport report = Run(document, Playback(kMove), options);
    EXPECT_EQ(report.result, userCanceledErr);
    EXPECT_EQ(trace.advanceCalls, 4);
    EXPECT_EQ(trace.progressCalls.size(), 1u);
    // only the first tile row was filtered (the pending last tile of it is not written back)
    EXPECT_NE(document.At(0, 10, 10), 20000);
    EXPECT_EQ(document.At(0, 10, 200), 20000);
}

TEST_F(FilteringPassTest, LabSamplesTravelUnscaledAtBothDepths) {
    // 16 bits: the original goes to its target, a far colour stays exactly.
    Document deep = Filled(ColorMode::Lab, 16, 40, 30, {20000, 12000, 21000});
    deep.At(0, 5, 5) = 5000, deep.At(1, 5, 5) = 25000, deep.At(2, 5, 5) = 8000;
    ASSERT_EQ(Run(deep, Playback(kMove)).result, 0);
    EXPECT_NEAR(deep.At(0, 0, 0), 22000, 1);
    EXPECT_NEAR(deep.At(1, 0, 0), 17000, 1);
    EXPECT_NEAR(deep.At(2, 0, 0), 15000, 1);
    EXPECT_EQ(deep.At(0, 5, 5), 5000);
    EXPECT_EQ(deep.At(1, 5, 5), 25000);
    EXPECT_EQ(deep.At(2, 5, 5), 8000);

    // 8 bits enter the engine multiplied by 128 and leave shifted back.
    Document shallow = Filled(ColorMode::Lab, 8, 40, 30, {156, 94, 164});
    ASSERT_EQ(Run(shallow, Playback("Lab[19968,12032,20992]:Lab[22016,16896,14976] ")).result, 0);
    EXPECT_NEAR(shallow.At(0, 3, 3), 172, 1);
    EXPECT_NEAR(shallow.At(1, 3, 3), 132, 1);
    EXPECT_NEAR(shallow.At(2, 3, 3), 117, 1);
}

TEST_F(FilteringPassTest, EveryModeAndDepthMovesTheOriginalAndKeepsFarColours) {
    // The original is a document colour, turned into the engine's space by the host.
    struct Case {
        ColorMode mode;
        int depth;
        std::vector<uint16_t> original, far;
    };
    const Case cases[] = {
        {ColorMode::RGB, 8, {70, 150, 60}, {200, 40, 45}},
        {ColorMode::RGB, 16, {8800, 19000, 7600}, {25000, 5000, 5600}},
        {ColorMode::CMYK, 8, {170, 40, 200, 20}, {10, 200, 180, 10}},
        {ColorMode::CMYK, 16, {21000, 5000, 25000, 2500}, {1200, 25000, 22000, 1200}},
    };
    for (const Case& c : cases) {
        std::string colors;
        {
            ColorServices services;
            Color16 lab{};
            if (c.depth == 8) {
                Color8 rec = c.mode == ColorMode::CMYK
                                 ? Color8{uint8(c.original[0]), uint8(c.original[1]),
                                          uint8(c.original[2]), uint8(c.original[3])}
                                 : Color8{0, uint8(c.original[0]), uint8(c.original[1]),
                                          uint8(c.original[2])};
                services.Convert8(c.mode == ColorMode::CMYK ? plugIncolorServicesCMYKSpace
                                                            : plugIncolorServicesRGBSpace,
                                  plugIncolorServicesLabSpace, &rec, 1);
                lab = {0, uint16(rec.c1 * 128), uint16(rec.c2 * 128), uint16(rec.c3 * 128)};
            } else {
                lab = c.mode == ColorMode::CMYK
                          ? Color16{c.original[0], c.original[1], c.original[2], c.original[3]}
                          : Color16{0, c.original[0], c.original[1], c.original[2]};
                services.Convert16(c.mode == ColorMode::CMYK ? plugIncolorServicesCMYKSpace
                                                             : plugIncolorServicesRGBSpace,
                                   plugIncolorServicesLabSpace, &lab, 1);
            }
            const int target_b = lab.c3 > 16384 ? lab.c3 - 6000 : lab.c3 + 6000;
            colors = "Lab[" + std::to_string(lab.c1) + "," + std::to_string(lab.c2) + "," +
                     std::to_string(lab.c3) + "]:Lab[" + std::to_string(lab.c1) + "," +
                     std::to_string(lab.c2) + "," + std::to_string(target_b) + "] ";
        }
        Document document = MakeDocument(c.mode, c.depth, 64, 16, true);
        for (int32_t y = 0; y < 16; ++y)
            for (int32_t x = 0; x < 64; ++x) {
                const auto& color = x < 32 ? c.original : c.far;
                for (size_t p = 0; p < color.size(); ++p)
                    document.At(int(p), x, y) = color[p];
                document.At(document.ColorChannels(), x, y) = uint16_t(x * 3);
            }
        const Document before = document;
        ASSERT_EQ(Run(document, Playback(colors)).result, 0);
        bool moved = false;
        for (size_t p = 0; p < c.original.size(); ++p)
            moved |= document.At(int(p), 1, 1) != c.original[p];
        EXPECT_TRUE(moved) << ModeName(c.mode) << c.depth;
        for (size_t p = 0; p < c.far.size(); ++p)
            EXPECT_EQ(document.At(int(p), 40, 1), c.far[p]) << ModeName(c.mode) << c.depth;
        EXPECT_EQ(document.planes.back(), before.planes.back()) << "alpha is left to the host";
    }
}

// A steep look on an 8-bit gradient of one-level steps: mapped at 16 bits and rounded once, the
// result keeps its steps small and its colours apart, as the 16-bit pass does.
TEST_F(FilteringPassTest, ASmoothEightBitGradientStaysSmooth) {
    struct Case {
        ColorMode mode;
        std::vector<uint16_t> fixed; // the samples of the other channels
    };
    const Case cases[] = {{ColorMode::RGB, {128, 96}}, {ColorMode::CMYK, {90, 140, 30}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(ModeName(c.mode));
        Document document = MakeDocument(c.mode, 8, 256, 2);
        for (int32_t y = 0; y < 2; ++y)
            for (int32_t x = 0; x < 256; ++x) {
                document.At(0, x, y) = uint16_t(x);
                for (size_t p = 0; p < c.fixed.size(); ++p)
                    document.At(int(p) + 1, x, y) = c.fixed[p];
            }
        // The gradient's middle moves far in a, b and L; fuzziness 10 carries the whole ramp.
        ColorServices services;
        Color16 mid =
            c.mode == ColorMode::CMYK
                ? Color16{EightToHost16(128), EightToHost16(uint8(c.fixed[0])),
                          EightToHost16(uint8(c.fixed[1])), EightToHost16(uint8(c.fixed[2]))}
                : Color16{0, EightToHost16(128), EightToHost16(uint8(c.fixed[0])),
                          EightToHost16(uint8(c.fixed[1]))};
        services.Convert16(c.mode == ColorMode::CMYK ? plugIncolorServicesCMYKSpace
                                                     : plugIncolorServicesRGBSpace,
                           plugIncolorServicesLabSpace, &mid, 1);
        const std::string colors =
            "Lab[" + std::to_string(mid.c1) + "," + std::to_string(mid.c2) + "," +
            std::to_string(mid.c3) + "]:Lab[" + std::to_string(std::min(32768, mid.c1 + 6000)) +
            "," + std::to_string(mid.c2 + 7000) + "," + std::to_string(mid.c3 - 7000) + "] ";
        ASSERT_EQ(Run(document, Playback(colors, false, 10)).result, 0);
        int largestStep = 0;
        std::set<std::vector<uint16_t>> distinct;
        for (int32_t x = 0; x < 256; ++x) {
            std::vector<uint16_t> color;
            for (int p = 0; p < document.ColorChannels(); ++p) {
                color.push_back(document.At(p, x, 0));
                if (x > 0)
                    largestStep = std::max(largestStep, std::abs(int(document.At(p, x, 0)) -
                                                                 int(document.At(p, x - 1, 0))));
            }
            distinct.insert(color);
        }
        // Through 8-bit Lab the same ramp jumps by 5 levels and keeps 99 to 129 colours.
        EXPECT_LE(largestStep, 2);
        EXPECT_GE(distinct.size(), 150u);
    }
}

TEST_F(FilteringPassTest, RowsWiderThanTheRowBufferAreFilteredWhole) {
    Document document = Filled(ColorMode::Lab, 16, 20000, 2, {20000, 12000, 21000});
    RunOptions options;
    options.tileWidth = 20000;
    options.tileHeight = 2;
    ASSERT_EQ(Run(document, Playback(kMove), options).result, 0);
    for (int32_t x : {0, 15999, 16000, 19999})
        EXPECT_NEAR(document.At(2, x, 1), 15000, 1) << x;
}

TEST_F(FilteringPassTest, SixteenBitRectanglesWorkWithoutTheBigDocumentRecord) {
    Document document = Filled(ColorMode::Lab, 8, 300, 200, {156, 94, 164});
    RunOptions options;
    options.bigDocument = false;
    options.tileWidth = options.tileHeight = 64;
    RunTrace trace;
    options.trace = &trace;
    RunReport report =
        Run(document, Playback("Lab[19968,12032,20992]:Lab[22016,16896,14976] "), options);
    ASSERT_EQ(report.result, 0);
    EXPECT_EQ(trace.advanceCalls, 5 * 4);
    EXPECT_NEAR(document.At(0, 299, 199), 172, 1);
}

// A CMYK document whose embedded profile LittleCMS cannot use: not a profile at all, or a valid
// profile of another colour space. The conversion fails with an error code, the plug-in passes it
// on through its entry point, and the run reports the real cause.
TEST_F(FilteringPassTest, AnUnusableColourProfileEndsTheRunWithTheCause) {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(srgb, nullptr, &size);
    std::vector<uint8_t> rgbProfile(size);
    cmsSaveProfileToMem(srgb, rgbProfile.data(), &size);
    cmsCloseProfile(srgb);
    const std::pair<const char*, std::vector<uint8_t>> profiles[] = {
        {"not a profile", std::vector<uint8_t>(300, 0x41)},
        {"an RGB profile", rgbProfile},
    };
    for (const auto& [what, profile] : profiles) {
        Document document = Filled(ColorMode::CMYK, 8, 64, 64, {10, 20, 30, 40});
        document.iccProfile = profile;
        const Document before = document;
        RunReport report = Run(document, Playback(kMove));
        EXPECT_EQ(report.result, filterBadParameters) << what;
        EXPECT_EQ(report.failedSelector, filterSelectorStart) << what;
        EXPECT_NE(report.hostFailure.find("document's embedded CMYK colour profile cannot be used"),
                  std::string::npos)
            << what << ": " << report.hostFailure;
        EXPECT_EQ(document.planes, before.planes) << what;
    }
    // The session goes on working for a document it can convert.
    Document good = Filled(ColorMode::CMYK, 8, 16, 16, {10, 20, 30, 40});
    EXPECT_EQ(Run(good, Playback(kMove)).result, 0);
}

} // namespace

// The colour-space suite: scales, neutral points, round trips and whole-row calls.
#include "core/session/FilterSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using quillon::filterhost::ColorServices;
using quillon::filterhost::FilterSession;

constexpr ColorSpace kRGB = plugIncolorServicesRGBSpace;
constexpr ColorSpace kCMYK = plugIncolorServicesCMYKSpace;
constexpr ColorSpace kLab = plugIncolorServicesLabSpace;

std::vector<Color8> RgbGrid8(int step) {
    std::vector<Color8> grid;
    for (int r = 0; r < 256; r += step)
        for (int g = 0; g < 256; g += step)
            for (int b = 0; b < 256; b += step)
                grid.push_back({0, uint8(r), uint8(g), uint8(b)});
    return grid;
}

TEST(ColorServices, Rgb8ThroughLab16AndBackIsWithinOneLevel) {
    FilterSession session;
    ColorServices& services = session.OpenColors();
    const PSColorSpaceSuite1& suite = *services.Suite();
    const auto original = RgbGrid8(15);
    std::vector<uint8> components(original.size() * 4);
    std::memcpy(components.data(), original.data(), components.size());
    std::vector<Color16> deep(original.size());
    ASSERT_EQ(suite.Convert8to16(components.data(), &deep[0].c0, int16(components.size())), 0);
    ASSERT_EQ(suite.Convert16(kRGB, kLab, deep.data(), int16(deep.size())), 0);
    ASSERT_EQ(suite.Convert16(kLab, kRGB, deep.data(), int16(deep.size())), 0);
    ASSERT_EQ(suite.Convert16to8(&deep[0].c0, components.data(), int16(components.size())), 0);
    for (size_t i = 0; i < original.size(); ++i) {
        const uint8* back = &components[i * 4];
        EXPECT_LE(std::abs(back[1] - original[i].c1), 1) << i;
        EXPECT_LE(std::abs(back[2] - original[i].c2), 1) << i;
        EXPECT_LE(std::abs(back[3] - original[i].c3), 1) << i;
    }
}

TEST(ColorServices, MidToneRgb8ThroughLab8AndBackStaysClose) {
    FilterSession session;
    ColorServices& services = session.OpenColors();
    std::vector<Color8> colors;
    for (int r = 64; r <= 192; r += 16)
        for (int g = 64; g <= 192; g += 16)
            for (int b = 64; b <= 192; b += 16)
                colors.push_back({0, uint8(r), uint8(g), uint8(b)});
    const auto original = colors;
    services.Convert8(kRGB, kLab, colors.data(), int(colors.size()));
    services.Convert8(kLab, kRGB, colors.data(), int(colors.size()));
    int worst = 0;
    for (size_t i = 0; i < colors.size(); ++i) {
        worst = std::max({worst, std::abs(colors[i].c1 - original[i].c1),
                          std::abs(colors[i].c2 - original[i].c2),
                          std::abs(colors[i].c3 - original[i].c3)});
    }
    // 8-bit Lab keeps whole units of a* and b*: a few levels here, many near the gamut's edge.
    EXPECT_LE(worst, 3);
}

TEST(ColorServices, LabNeutralPointsAreGreys) {
    FilterSession session;
    ColorServices& services = session.OpenColors();
    std::vector<Color16> deep = {
        {0, 16384, 16384, 16384}, {0, 0, 16384, 16384}, {0, 32768, 16384, 16384}};
    services.Convert16(kLab, kRGB, deep.data(), int(deep.size()));
    for (const Color16& c : deep) {
        EXPECT_NEAR(c.c1, c.c2, 40);
        EXPECT_NEAR(c.c2, c.c3, 40);
    }
    EXPECT_LE(deep[1].c1, 40);
    EXPECT_GE(deep[2].c1, 32768 - 40);
    EXPECT_NEAR(deep[0].c1, 32768 * 0.466, 400); // L* 50 is about 46.6% sRGB

    std::vector<Color8> shallow = {{7, 128, 128, 128}};
    services.Convert8(kLab, kRGB, shallow.data(), 1);
    EXPECT_NEAR(shallow[0].c1, shallow[0].c2, 1);
    EXPECT_NEAR(shallow[0].c2, shallow[0].c3, 1);
    EXPECT_EQ(shallow[0].c0, 7) << "the pad travels untouched";
}

TEST(ColorServices, ConvertsAWholeRowInOneCall) {
    FilterSession session;
    ColorServices& services = session.OpenColors();
    ColorServices::ConversionCounts counts;
    services.CountConversionsIn(&counts);
    std::vector<Color16> row(16000, Color16{0, 30000, 2000, 9000});
    ASSERT_EQ(services.Suite()->Convert16(kRGB, kLab, row.data(), int16(row.size())), 0);
    EXPECT_EQ(counts, (ColorServices::ConversionCounts{{{kRGB, kLab}, 1}}));
    EXPECT_EQ(row.front().c1, row.back().c1);
    EXPECT_EQ(row.front().c3, row.back().c3);
}

TEST(ColorServices, CmykRoundTripKeepsColoursRecognisable) {
    FilterSession session;
    ColorServices& services = session.OpenColors();
    std::vector<Color8> colors = {{0, 170, 90, 80}, {0, 90, 150, 100}, {0, 90, 100, 160}};
    const auto original = colors;
    services.Convert8(kRGB, kCMYK, colors.data(), 3);
    EXPECT_GT(colors[0].c1, 128) << "red needs magenta";
    services.Convert8(kCMYK, kRGB, colors.data(), 3);
    for (size_t i = 0; i < colors.size(); ++i) {
        EXPECT_NEAR(colors[i].c1, original[i].c1, 6);
        EXPECT_NEAR(colors[i].c2, original[i].c2, 6);
        EXPECT_NEAR(colors[i].c3, original[i].c3, 6);
    }
}

TEST(ColorServices, EightToSixteenBitScale) {
    FilterSession session;
    ColorServices& services = session.OpenColors();
    const uint8 in[] = {0, 1, 128, 254, 255};
    uint16 out[5];
    services.Suite()->Convert8to16(in, out, 5);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 129);   // 32768 / 255 = 128.5, rounded
    EXPECT_EQ(out[2], 16448); // 128 * 32768 / 255 = 16448.25
    EXPECT_EQ(out[3], 32639); // 32639.498, rounded
    EXPECT_EQ(out[4], 32768);
    uint8 back[5];
    services.Suite()->Convert16to8(out, back, 5);
    EXPECT_EQ(std::vector<uint8>(back, back + 5), std::vector<uint8>(in, in + 5));
}

TEST(ColorServices, ColorRecordsStuffExtractAndPick) {
    FilterSession session;
    ColorServices& services = session.OpenColors();
    const PSColorSpaceSuite1& suite = *services.Suite();
    ColorID color = nullptr;
    ASSERT_EQ(suite.Make(&color), 0);
    ASSERT_EQ(suite.StuffComponents(color, kRGB, 0, 255, 255, 255), 0);
    uint8 c0, c1, c2, c3;
    ASSERT_EQ(suite.ExtractComponents(color, kLab, &c0, &c1, &c2, &c3, nullptr), 0);
    EXPECT_GE(c1, 254);
    EXPECT_NEAR(c2, 128, 1);
    EXPECT_NEAR(c3, 128, 1);

    services.SetPickColorHook([](ColorSpace, uint8_t c[4], const ColorServices::PickChanged&) {
        c[1] = 10;
        return true;
    });
    ASSERT_EQ(suite.PickColor(&color, nullptr), 0);
    ASSERT_EQ(suite.ExtractComponents(color, kRGB, &c0, &c1, &c2, &c3, nullptr), 0);
    EXPECT_EQ(c1, 10);

    services.SetPickColorHook([](ColorSpace, uint8_t c[4], const ColorServices::PickChanged&) {
        c[1] = 99;
        return false; // cancelled
    });
    ASSERT_EQ(suite.PickColor(&color, nullptr), 0);
    ASSERT_EQ(suite.ExtractComponents(color, kRGB, &c0, &c1, &c2, &c3, nullptr), 0);
    EXPECT_EQ(c1, 10);

    ASSERT_EQ(suite.Delete(&color), 0);
    EXPECT_EQ(color, nullptr);
    EXPECT_EQ(services.LiveColors(), 0u);
}

} // namespace

// The preview's rows from the document's 8-bit planes: which conversions and which
// transformation each kind of document goes through. The colour-space suite here converts
// nothing and notes what it was given, so each path shows in its calls.
#include "dialog/PreviewRows.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace quillon;

struct Calls {
    int convert8 = 0, convert16 = 0;
    Color8 first8{};
    Color16 first16{};
};
Calls gCalls;

SPErr Convert8(ColorSpace, ColorSpace, Color8* records, int16 count) {
    if (gCalls.convert8++ == 0 && count > 0) gCalls.first8 = records[0];
    return kSPNoError;
}
SPErr Convert16(ColorSpace, ColorSpace, Color16* records, int16 count) {
    if (gCalls.convert16++ == 0 && count > 0) gCalls.first16 = records[0];
    return kSPNoError;
}

const PSColorSpaceSuite1 kNoting{nullptr,   nullptr,    nullptr, nullptr, nullptr,
                                 &Convert8, &Convert16, nullptr, nullptr};

struct Case {
    const char* name;
    int16_t space;
    bool sixteenBit, live;
    int convert8, convert16;
};

TEST(PreviewRows, EachDocumentTakesItsPath) {
    const Case cases[] = {
        // Samples of 16-bit documents enter the 16-bit path times 128.
        {"16-bit RGB, live", plugIncolorServicesRGBSpace, true, true, 0, 2},
        {"8-bit RGB, live", plugIncolorServicesRGBSpace, false, true, 2, 0},
        {"RGB, original", plugIncolorServicesRGBSpace, false, false, 0, 0},
        {"16-bit Lab, live", plugIncolorServicesLabSpace, true, true, 0, 1},
        {"CMYK, original", plugIncolorServicesCMYKSpace, false, false, 1, 0},
    };
    auto engine = std::make_unique<engine::ColorEngine>();
    const std::vector<uint8_t> p0(4, 10), p1(4, 200), p2(4, 100), p3(4, 50);
    for (const Case& c : cases) {
        gCalls = {};
        std::vector<Color16> row(4);
        std::vector<uint8_t> display(4 * 4, 0);
        const dialog::PreviewPlanes planes{
            {p0.data(), p1.data(), p2.data(), p3.data()}, 4, 1, c.space, c.sixteenBit, c.live};
        dialog::ConvertPreviewRows(planes, *engine, kNoting, row.data(), {display.data(), 16, 4});
        EXPECT_EQ(gCalls.convert8, c.convert8) << c.name;
        EXPECT_EQ(gCalls.convert16, c.convert16) << c.name;
        if (c.convert16 > 0 && c.space == plugIncolorServicesRGBSpace) {
            EXPECT_EQ(gCalls.first16.c1, 200 * 128) << c.name;
            EXPECT_EQ(gCalls.first16.c3, 50 * 128) << c.name;
        }
        if (c.convert8 > 0) {
            EXPECT_EQ(gCalls.first8.c1, 200) << c.name;
        }
        // Blue, green, red in the display; conversions that change nothing leave the planes.
        if (c.space == plugIncolorServicesRGBSpace) {
            EXPECT_NEAR(display[0], 50, 1) << c.name;
            EXPECT_NEAR(display[1], 100, 1) << c.name;
            EXPECT_NEAR(display[2], 200, 1) << c.name;
        }
    }
}

} // namespace

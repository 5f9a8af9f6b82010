// --map end to end: each notation becomes the "Colors" item the plug-in receives (read back from
// the action it records), computed here independently of the host's notation code.
#include "Scenery.h"
#include "core/actions/ActionFile.h"
#include "core/documents/ImageFiles.h"
#include "core/suites/ColorServices.h"

#include "QuillonRun.h"

#include <cmath>
#include <sstream>

namespace {

using namespace quillon::filterhost;
using quillon::testing::Outcome;
using MapOptionTest = quillon::testing::QuillonTest;
namespace fs = std::filesystem;

constexpr DescriptorKeyID kKeyColors = PI_FOURCC('s', 'm', 'p', 'l');

std::string Lab(const Color16& c) {
    std::ostringstream text;
    text << "Lab[" << c.c1 << "," << c.c2 << "," << c.c3 << "]";
    return text.str();
}

// sRGB 0..255 on the host's 16-bit scale, then to Lab through the colour services.
Color16 LabOfRgb(int r, int g, int b) {
    ColorServices services;
    auto scale = [](int v) { return uint16_t(std::lround(v * 32768.0 / 255.0)); };
    Color16 c{0, scale(r), scale(g), scale(b)};
    services.Convert16(plugIncolorServicesRGBSpace, plugIncolorServicesLabSpace, &c, 1);
    return c;
}

// The eyedropper's average over a square (clipped to the picture) in the document's space.
Color16 LabAt(const Document& d, int32_t x, int32_t y, int reach) {
    uint32_t sum[4] = {0, 0, 0, 0}, count = 0;
    const int channels = d.ColorChannels();
    for (int32_t dy = -reach; dy <= reach; ++dy)
        for (int32_t dx = -reach; dx <= reach; ++dx) {
            if (x + dx < 0 || y + dy < 0 || x + dx >= d.width || y + dy >= d.height) continue;
            for (int c = 0; c < channels; ++c) {
                const uint16_t v = d.At(c, x + dx, y + dy);
                sum[c + (channels == 3 ? 1 : 0)] +=
                    d.depth == 16 ? v : uint16_t(std::lround(v * 32768.0 / 255.0));
            }
            ++count;
        }
    Color16 c{uint16_t(sum[0] / count), uint16_t(sum[1] / count), uint16_t(sum[2] / count),
              uint16_t(sum[3] / count)};
    if (d.mode == ColorMode::Lab) return c;
    ColorServices services;
    services.Convert16(d.mode == ColorMode::CMYK ? plugIncolorServicesCMYKSpace
                                                 : plugIncolorServicesRGBSpace,
                       plugIncolorServicesLabSpace, &c, 1);
    return c;
}

Document Picture(ColorMode mode, int depth) {
    const Document scenery = quillon::tools::MakeScenery(64, 48);
    Document d = MakeDocument(mode, depth, 64, 48);
    const int max = depth == 16 ? 32768 : 255;
    for (int c = 0; c < d.ColorChannels(); ++c)
        for (int32_t y = 0; y < d.height; ++y)
            for (int32_t x = 0; x < d.width; ++x)
                d.At(c, x, y) = uint16_t(scenery.At(c % 3, x, y) * max / 255);
    return d;
}

TEST_F(MapOptionTest, EachNotationBecomesTheColorsItemTheEyedropperWouldGive) {
    const Document rgb8 = Picture(ColorMode::RGB, 8);
    WriteImageFile(rgb8, FileFormat::Png, folder_ / "rgb8.png");
    const Document cmyk16 = Picture(ColorMode::CMYK, 16);
    WriteImageFile(cmyk16, FileFormat::Tiff, folder_ / "cmyk16.tif");
    const Document lab8 = Picture(ColorMode::Lab, 8);
    WriteImageFile(lab8, FileFormat::Tiff, folder_ / "lab8.tif");

    const std::string orange = Lab(LabOfRgb(208, 128, 64)), blue = Lab(LabOfRgb(64, 128, 208));
    struct Case {
        std::string arguments;
        std::string colors;
    };
    const Case cases[] = {
        {"apply rgb8.png out.tif --map '#d08040:#4080d0'", orange + ":" + blue + " "},
        {"apply rgb8.png out.tif --map '#D08040:#4080D0'", orange + ":" + blue + " "},
        // each --map takes one value: the pictures after it stay pictures
        {"apply --map '#d08040:#4080d0' rgb8.png out.tif", orange + ":" + blue + " "},
        {"apply rgb8.png out.tif --map 'rgb(208, 128, 64):rgb(64,128,208)'",
         orange + ":" + blue + " "},
        {"apply rgb8.png out.tif --map '#fa0:#000'",
         Lab(LabOfRgb(255, 170, 0)) + ":" + Lab(LabOfRgb(0, 0, 0)) + " "},
        {"apply rgb8.png out.tif --map 'lab(50,20,-30):LAB(70.5,0,127)'",
         "Lab[16384,18944,12544]:Lab[23101,16384,32640] "},
        {"apply rgb8.png out.tif --map '@5,6:#4080d0'",
         Lab(LabAt(rgb8, 5, 6, 0)) + "[5,6]:" + blue + " "},
        // the eyedropper setting averages @X,Y: a 5x5 square at the corner holds 9 pixels
        {"--eyedropper 5x5 apply rgb8.png out.tif --map '@0,0:#4080d0'",
         Lab(LabAt(rgb8, 0, 0, 2)) + "[0,0]:" + blue + " "},
        {"--eyedropper 3x3 apply rgb8.png out.tif --map '@20,20:#4080d0'",
         Lab(LabAt(rgb8, 20, 20, 1)) + "[20,20]:" + blue + " "},
        // ... and at the right and bottom edges counts only the pixels inside the picture
        {"--eyedropper 3x3 apply rgb8.png out.tif --map '@63,20:#4080d0'",
         Lab(LabAt(rgb8, 63, 20, 1)) + "[63,20]:" + blue + " "},
        {"--eyedropper 5x5 apply rgb8.png out.tif --map '@62,30:#4080d0'",
         Lab(LabAt(rgb8, 62, 30, 2)) + "[62,30]:" + blue + " "},
        {"--eyedropper 3x3 apply rgb8.png out.tif --map '@30,47:#4080d0'",
         Lab(LabAt(rgb8, 30, 47, 1)) + "[30,47]:" + blue + " "},
        {"--eyedropper 5x5 apply rgb8.png out.tif --map '@63,47:#4080d0'",
         Lab(LabAt(rgb8, 63, 47, 2)) + "[63,47]:" + blue + " "},
        {"apply cmyk16.tif out.tif --map '@0,47:#4080d0'",
         Lab(LabAt(cmyk16, 0, 47, 0)) + "[0,47]:" + blue + " "},
        {"apply lab8.tif out.tif --map '@63,0:lab(50,0,0)'",
         Lab(LabAt(lab8, 63, 0, 0)) + "[63,0]:Lab[16384,16384,16384] "},
        // --colors and --map in the order given
        {"apply rgb8.png out.tif --colors 'Lab[1000,2000,3000]:Lab[4000,5000,6000] ' --map "
         "'#d08040:#4080d0' --colors 'Lab[7000,8000,9000]:Lab[1,2,3]'",
         "Lab[1000,2000,3000]:Lab[4000,5000,6000] " + orange + ":" + blue +
             " Lab[7000,8000,9000]:Lab[1,2,3] "},
    };
    for (const Case& c : cases) {
        const std::string& arguments = c.arguments;
        const std::string& colors = c.colors;
        const Outcome outcome = Quillon(arguments + " --record action.json");
        ASSERT_EQ(outcome.status, 0) << arguments << ": " << outcome.error;
        const Action action = ReadActionFile(folder_ / "action.json");
        const DescriptorItem* recorded = action.descriptor.Find(kKeyColors);
        ASSERT_NE(recorded, nullptr) << arguments;
        EXPECT_EQ(std::get<std::string>(recorded->value), colors) << arguments;
    }
}

// At 16 bits the pixel holds exactly the colour the item names, so even the shortest reach moves
// it onto the target. The 8-bit pass sees the pixel through 8-bit Lab, up to half a step (64 of
// 32768) away from the item's colour, so there it takes a wider reach to land on the target.
TEST_F(MapOptionTest, AMappedColourMovesOntoItsTargetAndOthersStay) {
    struct Case {
        int depth;
        const char* fuzziness;
    };
    for (const Case c : {Case{16, "1"}, Case{8, "5"}}) {
        Document d = MakeDocument(ColorMode::RGB, c.depth, 2, 1);
        const int orange[3] = {208, 128, 64}, grey[3] = {128, 128, 128}, blue[3] = {64, 128, 208};
        const int max = c.depth == 16 ? 32768 : 255;
        auto scale = [&](int v) { return uint16_t(std::lround(v * double(max) / 255)); };
        for (int ch = 0; ch < 3; ++ch) {
            d.At(ch, 0, 0) = scale(orange[ch]);
            d.At(ch, 1, 0) = scale(grey[ch]);
        }
        WriteImageFile(d, FileFormat::Tiff, folder_ / "two.tif");
        ASSERT_EQ(Quillon(std::string("apply two.tif out.tif --map '#d08040:#4080d0' ") +
                          "--preserve-luminosity off --fuzziness " + c.fuzziness)
                      .status,
                  0);
        const Document out = ReadImageFile(folder_ / "out.tif").document;
        for (int ch = 0; ch < 3; ++ch) {
            EXPECT_NEAR(out.At(ch, 0, 0), scale(blue[ch]), c.depth == 16 ? 128 : 2)
                << c.depth << "-bit, channel " << ch;
            EXPECT_EQ(out.At(ch, 1, 0), scale(grey[ch])) << c.depth << "-bit, channel " << ch;
        }
    }
}

TEST_F(MapOptionTest, MalformedColoursNameTheItemAndPosition) {
    WriteImageFile(Picture(ColorMode::RGB, 8), FileFormat::Png, folder_ / "in.png");
    struct Case {
        std::string maps;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"--map '#d08040'", 2, "item 1 \"#d08040\": at character 8: expected ':'"},
        {"--map '#d08040:#4080d0' --map '#d0804:#fff'", 2,
         "item 2 \"#d0804:#fff\": at character 2"},
        {"--map '#d0g040:#fff'", 2, "at character 4: not a hexadecimal digit"},
        {"--map 'hsl(1,2,3):#fff'", 2, "at character 1: unknown colour notation"},
        {"--map '#fff:cmyk(1,2,3,4)'", 2, "at character 6: unknown colour notation"},
        {"--map 'rgb(1,2,256):#fff'", 2, "at character 9: R, G and B run from 0 to 255"},
        {"--map 'rgb(1,2):#fff'", 2, "at character 8: expected ','"},
        {"--map 'rgb(nan,2,3):#fff'", 2, "at character 5: expected a number"},
        {"--map 'lab(101,0,0):#fff'", 2, "at character 5: L* runs from 0 to 100"},
        {"--map 'lab(50,0,-129):#fff'", 2, "b* runs from -128 to 127"},
        {"--map '#fff:#000 x'", 2, "at character 11: unexpected text"},
        {"--map '#fff:@1,2'", 2, "at character 6: @X,Y names a colour of the picture"},
        {"--map '@-1,2:#fff'", 2, "at character 2: expected a pixel coordinate"},
        {"--map '@64,0:#fff'", 1, "item 1 \"@64,0:#fff\": @64,0 lies outside the picture (64 x 48"},
        {"--map '@0,48:#fff'", 1, "@0,48 lies outside the picture"},
        {"--map '@99999999999,0:#fff'", 2, "pixel coordinate too large"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Quillon("apply in.png out.png " + c.maps);
        EXPECT_EQ(outcome.status, c.status) << c.maps << ": " << outcome.error;
        EXPECT_NE(outcome.error.find(c.message), std::string::npos)
            << c.maps << ": " << outcome.error;
        EXPECT_EQ(std::count(outcome.error.begin(), outcome.error.end(), '\n'), 1) << outcome.error;
        EXPECT_FALSE(fs::exists(folder_ / "out.png")) << c.maps;
    }
}

} // namespace

// quillon apply end to end: real files in, real files out, through the real plug-in.
#include "core/documents/ImageFiles.h"
#include "core/suites/ColorServices.h"

#include "QuillonRun.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace quillon::filterhost;
namespace fs = std::filesystem;

using ApplyCommandTest = quillon::testing::QuillonTest;
using quillon::testing::Outcome;

// Distinct colours in blocks, so some pixels hold exactly the colour an adjustment names.
Document Blocks(ColorMode mode, int depth) {
    Document d = MakeDocument(mode, depth, 48, 32);
    const int max = depth == 16 ? 32768 : 255;
    for (int32_t y = 0; y < d.height; ++y)
        for (int32_t x = 0; x < d.width; ++x)
            for (int c = 0; c < d.ColorChannels(); ++c)
                d.At(c, x, y) = uint16_t((x / 16 * 97 + y / 16 * 61 + c * 71) % 256 * max / 255);
    return d;
}

std::string Describe(ColorMode mode, int depth) {
    return std::string(ModeName(mode)) + std::to_string(depth);
}

TEST_F(ApplyCommandTest, WithoutAdjustmentsEveryFormatComesBackUnchanged) {
    struct Case {
        ColorMode mode;
        int depth;
        FileFormat format;
        const char* file;
    };
    const Case cases[] = {
        {ColorMode::RGB, 8, FileFormat::Tiff, "rgb8.tif"},
        {ColorMode::RGB, 16, FileFormat::Tiff, "rgb16.tif"},
        {ColorMode::CMYK, 8, FileFormat::Tiff, "cmyk8.tif"},
        {ColorMode::CMYK, 16, FileFormat::Tiff, "cmyk16.tif"},
        {ColorMode::Lab, 8, FileFormat::Tiff, "lab8.tif"},
        {ColorMode::Lab, 16, FileFormat::Tiff, "lab16.tif"},
        {ColorMode::RGB, 8, FileFormat::Png, "rgb8.png"},
        {ColorMode::RGB, 16, FileFormat::Png, "rgb16.png"},
    };
    for (const Case& c : cases) {
        const Document original = Blocks(c.mode, c.depth);
        WriteImageFile(original, c.format, folder_ / c.file);
        const Outcome outcome = Quillon(std::string("apply ") + c.file + " out-" + c.file);
        ASSERT_EQ(outcome.status, 0) << c.file << ": " << outcome.error;
        const LoadedImage out = ReadImageFile(folder_ / ("out-" + std::string(c.file)));
        EXPECT_EQ(out.format, c.format);
        EXPECT_EQ(out.document.mode, c.mode);
        EXPECT_EQ(out.document.depth, c.depth);
        EXPECT_EQ(out.document.planes, original.planes) << c.file;
    }
}

TEST_F(ApplyCommandTest, JpegKeepsItsModeAndPicture) {
    for (ColorMode mode : {ColorMode::RGB, ColorMode::CMYK}) {
        WriteImageFile(Blocks(mode, 8), FileFormat::Jpeg, folder_ / "in.jpg");
        const Document in = ReadImageFile(folder_ / "in.jpg").document;
        ASSERT_EQ(Quillon("apply in.jpg out.jpg").status, 0);
        const Document out = ReadImageFile(folder_ / "out.jpg").document;
        EXPECT_EQ(out.mode, mode);
        for (int c = 0; c < in.ColorChannels(); ++c)
            EXPECT_NEAR(out.At(c, 8, 8), in.At(c, 8, 8), 3);
    }
}

// The "Colors" text that moves the document colour at (8, 8) by 40 units of b*, computed the way
// the filter will see it.
std::string MoveColorAt(const Document& d) {
    ColorServices services;
    Color16 lab{0, 0, 0, 0};
    const bool cmyk = d.mode == ColorMode::CMYK;
    const int space = cmyk                       ? plugIncolorServicesCMYKSpace
                      : d.mode == ColorMode::Lab ? plugIncolorServicesLabSpace
                                                 : plugIncolorServicesRGBSpace;
    if (d.depth == 8) {
        Color8 r =
            cmyk ? Color8{uint8(d.At(0, 8, 8)), uint8(d.At(1, 8, 8)), uint8(d.At(2, 8, 8)),
                          uint8(d.At(3, 8, 8))}
                 : Color8{0, uint8(d.At(0, 8, 8)), uint8(d.At(1, 8, 8)), uint8(d.At(2, 8, 8))};
        services.Convert8(int16(space), plugIncolorServicesLabSpace, &r, 1);
        lab = {0, uint16(r.c1 * 128), uint16(r.c2 * 128), uint16(r.c3 * 128)};
    } else {
        lab = cmyk ? Color16{d.At(0, 8, 8), d.At(1, 8, 8), d.At(2, 8, 8), d.At(3, 8, 8)}
                   : Color16{0, d.At(0, 8, 8), d.At(1, 8, 8), d.At(2, 8, 8)};
        services.Convert16(int16(space), plugIncolorServicesLabSpace, &lab, 1);
    }
    const int b = lab.c3 > 16384 ? lab.c3 - 5120 : lab.c3 + 5120;
    std::ostringstream text;
    text << "Lab[" << lab.c1 << "," << lab.c2 << "," << lab.c3 << "]:Lab[" << lab.c1 << ","
         << lab.c2 << "," << b << "] ";
    return text.str();
}

TEST_F(ApplyCommandTest, AnAdjustmentMovesItsColourAndLeavesFarColoursAlone) {
    for (ColorMode mode : {ColorMode::RGB, ColorMode::CMYK, ColorMode::Lab})
        for (int depth : {8, 16}) {
            const Document original = Blocks(mode, depth);
            WriteImageFile(original, FileFormat::Tiff, folder_ / "in.tif");
            const std::string colors = MoveColorAt(original);
            const Outcome outcome =
                Quillon("apply in.tif out.tif --fuzziness 1 --preserve-luminosity off --colors '" +
                        colors + "'");
            ASSERT_EQ(outcome.status, 0) << outcome.error;
            const Document out = ReadImageFile(folder_ / "out.tif").document;
            bool moved = false;
            for (int c = 0; c < original.ColorChannels(); ++c)
                moved |= out.At(c, 8, 8) != original.At(c, 8, 8);
            EXPECT_TRUE(moved) << Describe(mode, depth);
            // the block at (40, 24) holds a clearly different colour
            for (int c = 0; c < original.ColorChannels(); ++c)
                EXPECT_EQ(out.At(c, 40, 24), original.At(c, 40, 24)) << Describe(mode, depth);
        }
}

// --amount blends each filtered sample with the original in the document's own space.
TEST_F(ApplyCommandTest, AmountFadesTheFilterInEveryModeAndDepth) {
    for (ColorMode mode : {ColorMode::RGB, ColorMode::CMYK, ColorMode::Lab})
        for (int depth : {8, 16}) {
            const Document original = Blocks(mode, depth);
            WriteImageFile(original, FileFormat::Tiff, folder_ / "in.tif");
            const std::string look = " --fuzziness 6 --colors '" + MoveColorAt(original) + "'";
            for (const char* amount : {"0", "50", "100"})
                ASSERT_EQ(Quillon("apply in.tif out" + std::string(amount) + ".tif --amount " +
                                  amount + look)
                              .status,
                          0);
            ASSERT_EQ(Quillon("apply in.tif full.tif" + look).status, 0);
            const Document none = ReadImageFile(folder_ / "out0.tif").document;
            const Document half = ReadImageFile(folder_ / "out50.tif").document;
            const Document all = ReadImageFile(folder_ / "out100.tif").document;
            const Document full = ReadImageFile(folder_ / "full.tif").document;
            EXPECT_EQ(none.planes, original.planes) << Describe(mode, depth);
            EXPECT_EQ(all.planes, full.planes) << Describe(mode, depth);
            ASSERT_NE(full.planes, original.planes) << Describe(mode, depth);
            for (size_t c = 0; c < size_t(original.ColorChannels()); ++c)
                for (size_t i = 0; i < original.planes[c].size(); ++i) {
                    const double expected = (original.planes[c][i] + full.planes[c][i]) / 2.0;
                    ASSERT_LE(std::abs(half.planes[c][i] - expected), 0.5)
                        << Describe(mode, depth) << " plane " << c << " sample " << i;
                }
        }
}

TEST_F(ApplyCommandTest, ARecordedActionReplaysTheSameAdjustmentOnAnotherPicture) {
    const Document first = Blocks(ColorMode::RGB, 8);
    WriteImageFile(first, FileFormat::Png, folder_ / "first.png");
    Document second = Blocks(ColorMode::RGB, 8);
    for (int c = 0; c < 3; ++c)
        second.At(c, 47, 31) = 17;
    WriteImageFile(second, FileFormat::Png, folder_ / "second.png");
    const std::string colors = MoveColorAt(first);
    ASSERT_EQ(Quillon("apply first.png a.png --fuzziness 4 --colors '" + colors +
                      "' --record action.json")
                  .status,
              0);
    ASSERT_EQ(Quillon("apply second.png direct.png --fuzziness 4 --colors '" + colors + "'").status,
              0);
    const Outcome replay = Quillon("apply second.png replayed.png --action action.json");
    ASSERT_EQ(replay.status, 0) << replay.error;
    EXPECT_EQ(ReadImageFile(folder_ / "replayed.png").document.planes,
              ReadImageFile(folder_ / "direct.png").document.planes);
    EXPECT_NE(ReadImageFile(folder_ / "replayed.png").document.planes, second.planes);
}

TEST_F(ApplyCommandTest, LastRepeatsThePreviousUse) {
    const Document picture = Blocks(ColorMode::RGB, 16);
    WriteImageFile(picture, FileFormat::Tiff, folder_ / "in.tif");
    ASSERT_EQ(
        Quillon("apply in.tif first.tif --fuzziness 3 --colors '" + MoveColorAt(picture) + "'")
            .status,
        0);
    const Outcome again = Quillon("apply in.tif again.tif --last");
    ASSERT_EQ(again.status, 0) << again.error;
    EXPECT_EQ(ReadImageFile(folder_ / "again.tif").document.planes,
              ReadImageFile(folder_ / "first.tif").document.planes);
    EXPECT_NE(ReadImageFile(folder_ / "again.tif").document.planes, picture.planes);
}

TEST_F(ApplyCommandTest, BadInputIsOneClearLineAndNoOutput) {
    WriteImageFile(Blocks(ColorMode::RGB, 8), FileFormat::Png, folder_ / "in.png");
    std::ofstream(folder_ / "notes.txt") << "not a picture";
    std::ofstream(folder_ / "broken.json") << "{\"format\": \"quillon-action\", \"version\": 1, ";
    std::ofstream(folder_ / "foreign.json")
        << R"({"format":"quillon-action","version":1,"plugin":"someone-else","name":"Other...","descriptor":[]})";
    // First a good run, so there are settings and a registry to keep safe.
    ASSERT_EQ(Quillon("apply in.png good.png --colors 'Lab[1,2,3] '").status, 0);
    const auto settingsBefore = fs::last_write_time(
        folder_ / "config" / "quillon" / "d9347b0c-3c91-71d4-47bc-00b0d0f04936.settings");

    struct Case {
        std::string arguments;
        std::string message;
    };
    const Case cases[] = {
        {"apply missing.png out.png", "missing.png: no such file"},
        {"apply notes.txt out.png", "not a PNG, JPEG or TIFF file"},
        {"apply in.png out.png --colors 'Lab(1,2,3)'", "bad parameters"},
        {"apply in.png out.png --action broken.json", "malformed action file"},
        {"apply in.png out.png --action foreign.json", "recorded by another plug-in (Other...)"},
        {"apply in.png notes.txt/out.png --colors 'Lab[1,2,3] '", "cannot write"},
        {"apply in.png out.jpg --filter Nothing...", "no filter named \"Nothing...\""},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Quillon(c.arguments);
        EXPECT_EQ(outcome.status, 1) << c.arguments;
        EXPECT_NE(outcome.error.find(c.message), std::string::npos)
            << c.arguments << ": " << outcome.error;
        EXPECT_EQ(std::count(outcome.error.begin(), outcome.error.end(), '\n'), 1) << outcome.error;
        EXPECT_FALSE(fs::exists(folder_ / "out.png")) << c.arguments;
    }
    EXPECT_EQ(fs::last_write_time(folder_ / "config" / "quillon" /
                                  "d9347b0c-3c91-71d4-47bc-00b0d0f04936.settings"),
              settingsBefore)
        << "a failed run leaves the settings of the last good one";
}

TEST_F(ApplyCommandTest, InterruptCancelsAndWritesNothing) {
    Document big = MakeDocument(ColorMode::RGB, 16, 2000, 2000);
    WriteImageFile(big, FileFormat::Tiff, folder_ / "big.tif");
    // Small tiles keep the filter busy well past the interrupt.
    const Outcome outcome = Quillon(
        "apply big.tif out.tif --tile 4 --colors 'Lab[0,16384,16384]:Lab[900,16384,16384] '",
        "sleep 1; kill -INT $pid;");
    EXPECT_EQ(outcome.status, 1) << outcome.error;
    EXPECT_NE(outcome.error.find("cancelled; out.tif not written"), std::string::npos)
        << outcome.error;
    EXPECT_FALSE(fs::exists(folder_ / "out.tif"));
}

TEST_F(ApplyCommandTest, UsageErrorsExitWithTwo) {
    for (const char* arguments :
         {"apply", "apply a.png", "apply a.png b.png --fuzziness 11",
          "apply a.png b.png --preserve-luminosity maybe", "frobnicate",
          "apply a.png b.png --amount -1", "apply a.png b.png --amount 101",
          "apply a.png b.png --amount nan", "apply a.png b.png --amount 5x"}) {
        const Outcome outcome = Quillon(arguments);
        EXPECT_EQ(outcome.status, 2) << arguments;
        EXPECT_EQ(std::count(outcome.error.begin(), outcome.error.end(), '\n'), 1)
            << arguments << ": " << outcome.error;
    }
}

} // namespace

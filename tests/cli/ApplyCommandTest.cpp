// quillon apply end to end: real files in, real files out, through the real plug-in.
#include "core/documents/ImageFiles.h"
#include "core/suites/ColorServices.h"

#include "QuillonRun.h"

#include <lcms2.h>
#include <png.h>
#include <zlib.h>

#include <sys/stat.h>

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

// A TIFF OUT has its strips compressed while the filter works on the rows below them; a PNG OUT
// is written once the filter is done. Both hold the same pixels, whatever the tile size.
TEST_F(ApplyCommandTest, TiffWrittenWhileFilteringHoldsThePixelsOfAWriteAfterwards) {
    const std::string colors =
        " --fuzziness 5 --colors 'Lab[9000,12000,20000]:Lab[9800,13500,18500] "
        "Lab[21000,16500,16500]:Lab[21800,18000,15000] '";
    for (int depth : {8, 16}) {
        Document in = MakeDocument(ColorMode::RGB, depth, 300, 200);
        const int max = depth == 16 ? 32768 : 255;
        for (int32_t y = 0; y < in.height; ++y)
            for (int32_t x = 0; x < in.width; ++x)
                for (int c = 0; c < 3; ++c)
                    in.At(c, x, y) =
                        uint16_t((x * (c + 1) + y * (3 - c) + x * y % 7) % 256 * max / 255);
        WriteImageFile(in, FileFormat::Tiff, folder_ / "in.tif");
        for (const char* tile : {"7", "64", "256"}) {
            const std::string what = "depth " + std::to_string(depth) + ", tile " + tile;
            const std::string options = std::string(" --tile ") + tile + colors;
            ASSERT_EQ(Quillon("apply in.tif out.tif" + options).status, 0) << what;
            ASSERT_EQ(Quillon("apply in.tif out.png" + options).status, 0) << what;
            const Document tiff = ReadImageFile(folder_ / "out.tif").document;
            EXPECT_EQ(tiff.planes, ReadImageFile(folder_ / "out.png").document.planes) << what;
            EXPECT_NE(tiff.planes, in.planes) << what << ": the adjustments moved no colour";
        }
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

// A profile that cannot be read is left out with a note, and the picture is filtered as an
// untagged CMYK one rather than refused.
TEST_F(ApplyCommandTest, ACmykJpegWithAnUnusableProfileSaysSoAndIsFilteredWithout) {
    Document picture = Blocks(ColorMode::CMYK, 8);
    picture.iccProfile.assign(300, 0x41);
    WriteImageFile(picture, FileFormat::Jpeg, folder_ / "in.jpg");
    const Outcome outcome = Quillon("apply in.jpg out.jpg --colors '" + MoveColorAt(picture) + "'");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_EQ(outcome.error,
              "quillon: note: in.jpg: its colour profile cannot be read; it is left out\n");
    const LoadedImage out = ReadImageFile(folder_ / "out.jpg");
    EXPECT_EQ(out.document.mode, ColorMode::CMYK);
    EXPECT_TRUE(out.document.iccProfile.empty());
    EXPECT_NE(out.document.planes, ReadImageFile(folder_ / "in.jpg").document.planes);
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
        {"apply notes.txt out.png", "not a PNG, JPEG, TIFF, WebP, HEIF or AVIF file"},
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
    // Colours that hardly repeat and small tiles keep the filter busy well past the interrupt.
    Document big = MakeDocument(ColorMode::RGB, 16, 2000, 2000);
    uint32_t noise = 1;
    for (auto& plane : big.planes)
        for (uint16_t& sample : plane) {
            noise = noise * 1664525u + 1013904223u;
            sample = uint16_t((noise >> 8) % 32769);
        }
    WriteImageFile(big, FileFormat::Tiff, folder_ / "big.tif");
    const Outcome outcome = Quillon(
        "apply big.tif out.tif --tile 4 --colors 'Lab[0,16384,16384]:Lab[900,16384,16384] '",
        "sleep 1; kill -INT $pid;");
    EXPECT_EQ(outcome.status, 1) << outcome.error;
    // Reading may still be going on when the interrupt comes on a busy machine.
    EXPECT_TRUE(outcome.error == "quillon: cancelled; out.tif not written\n" ||
                outcome.error == "quillon: cancelled; nothing written\n")
        << outcome.error;
    EXPECT_FALSE(fs::exists(folder_ / "out.tif"));
}

// --set gives every parameter the terminology declares, by name in any spelling or by key, and
// converts its value by the declared type: the result is what the convenience option gives.
TEST_F(ApplyCommandTest, SetGivesEveryDeclaredParameter) {
    const Document picture = Blocks(ColorMode::RGB, 8);
    WriteImageFile(picture, FileFormat::Png, folder_ / "in.png");
    WriteImageFile(Blocks(ColorMode::RGB, 16), FileFormat::Png, folder_ / "sample.png");
    const std::string colors = "'" + MoveColorAt(picture) + "'";
    struct Case {
        std::string set, convenience;
    };
    const Case cases[] = {
        {"--set Colors=" + colors, "--colors " + colors},
        {"--set Fuzziness=6.5 --set colors=" + colors, "--fuzziness 6.5 --colors " + colors},
        {"--set 'Preserve Luminosity=on' --set smpl=" + colors,
         "--preserve-luminosity on --colors " + colors},
        {"--set preserve-luminosity=off --set Fzns=2 --colors " + colors,
         "--preserve-luminosity off --fuzziness 2 --colors " + colors},
        {"--set 'sample file=sample.png' --colors " + colors + " --record set.json",
         "--sample sample.png --colors " + colors + " --record convenience.json"},
    };
    for (const Case& c : cases) {
        const Outcome set = Quillon("apply in.png set.png " + c.set);
        ASSERT_EQ(set.status, 0) << c.set << ": " << set.error;
        const Outcome convenience = Quillon("apply in.png convenience.png " + c.convenience);
        ASSERT_EQ(convenience.status, 0) << c.convenience << ": " << convenience.error;
        const Document out = ReadImageFile(folder_ / "set.png").document;
        EXPECT_EQ(out.planes, ReadImageFile(folder_ / "convenience.png").document.planes) << c.set;
        EXPECT_NE(out.planes, picture.planes) << c.set;
    }
    // The sample file went in as a path, absolute, and was recorded with the action.
    std::ifstream action(folder_ / "set.json");
    std::stringstream text;
    text << action.rdbuf();
    EXPECT_NE(text.str().find((folder_ / "sample.png").string()), std::string::npos) << text.str();

    // The value is not ignored: the reach of the adjustment follows it.
    ASSERT_EQ(Quillon("apply in.png near.png --set Fuzziness=1 --colors " + colors).status, 0);
    ASSERT_EQ(Quillon("apply in.png far.png --set Fuzziness=10 --colors " + colors).status, 0);
    EXPECT_NE(ReadImageFile(folder_ / "near.png").document.planes,
              ReadImageFile(folder_ / "far.png").document.planes);
}

TEST_F(ApplyCommandTest, SetRefusesUnknownNamesAndValuesOfTheWrongType) {
    WriteImageFile(Blocks(ColorMode::RGB, 8), FileFormat::Png, folder_ / "in.png");
    struct Case {
        const char* arguments;
        const char* message;
    };
    const Case cases[] = {
        {"--set Sharpness=3", "--set Sharpness=3: Quillon... declares no parameter \"Sharpness\" "
                              "(it takes Preserve Luminosity, Fuzziness, Sample File, Colors)"},
        {"--set Fuzziness=high",
         "--set Fuzziness=high: \"Fuzziness\" takes a number, not \"high\""},
        {"--set 'Preserve Luminosity=maybe'",
         "--set Preserve Luminosity=maybe: \"Preserve Luminosity\" takes on or off, not \"maybe\""},
        {"--set Fuzziness", "--set Fuzziness: NAME=VALUE expected"},
        {"--set 'Sample File='", "--set Sample File=: \"Sample File\" takes a file, not \"\""},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Quillon(std::string("apply in.png out.png ") + c.arguments);
        EXPECT_EQ(outcome.status, 2) << c.arguments;
        EXPECT_EQ(outcome.error, std::string("quillon: ") + c.message + "\n") << c.arguments;
        EXPECT_FALSE(fs::exists(folder_ / "out.png")) << c.arguments;
    }
}

// --set checks a value as the option made for its parameter does: the range of Fuzziness, that
// the sample exists, the items of a Colors text; nothing is written or recorded.
TEST_F(ApplyCommandTest, SetChecksEachValueAsTheParametersOwnOptionDoes) {
    WriteImageFile(Blocks(ColorMode::RGB, 8), FileFormat::Png, folder_ / "in.png");
    struct Case {
        const char* arguments;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"--set Fuzziness=11", 2, "--set Fuzziness=11: expected a fuzziness from 1 to 10"},
        {"--set Fuzziness=-5", 2, "expected a fuzziness from 1 to 10, got \"-5\""},
        {"--set Fzns=1e9", 2, "expected a fuzziness from 1 to 10, got \"1e9\""},
        {"--fuzziness 11", 2, "expected a fuzziness from 1 to 10"},
        {"--set 'Sample File=/nonexistent'", 2, "no sample file /nonexistent"},
        {"--set Colors=garbage", 1,
         "bad parameters in --set Colors=garbage: item 1 (\"garbage\") at character 1"},
        {"--colors garbage", 1, "item 1 (\"garbage\") at character 1"},
    };
    for (const Case& c : cases) {
        const Outcome outcome =
            Quillon(std::string("apply in.png out.png --record a.json ") + c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments << ": " << outcome.error;
        EXPECT_NE(outcome.error.find(c.message), std::string::npos)
            << c.arguments << ": " << outcome.error;
        EXPECT_FALSE(fs::exists(folder_ / "out.png")) << c.arguments;
        EXPECT_FALSE(fs::exists(folder_ / "a.json")) << c.arguments;
    }
    // The bounds themselves are values like any other.
    for (const char* fuzziness : {"1", "10"})
        EXPECT_EQ(Quillon(std::string("apply in.png out.png --set Fuzziness=") + fuzziness).status,
                  0)
            << fuzziness;
}

TEST_F(ApplyCommandTest, UsageErrorsExitWithTwo) {
    for (const char* arguments : {"apply", "apply a.png", "apply a.png b.png --fuzziness 11",
                                  "apply a.png b.png --preserve-luminosity maybe", "frobnicate",
                                  "apply a.png b.png --amount -1", "apply a.png b.png --amount 101",
                                  "apply a.png b.png --amount nan", "apply a.png b.png --amount 5x",
                                  "apply a.png b.png --fuzziness nan"}) {
        const Outcome outcome = Quillon(arguments);
        EXPECT_EQ(outcome.status, 2) << arguments;
        EXPECT_EQ(std::count(outcome.error.begin(), outcome.error.end(), '\n'), 1)
            << arguments << ": " << outcome.error;
    }
}

// Values out of place are refused in a line: a limit of no pixels, a suffix or pattern that
// would leave the output folder; an input no reader takes is blamed, not OUT's extension.
TEST_F(ApplyCommandTest, ValuesOutOfPlaceAreRefusedInALine) {
    WriteImageFile(Blocks(ColorMode::RGB, 8), FileFormat::Png, folder_ / "in.png");
    std::ofstream(folder_ / "notes.gif") << "GIF89a but not really";
    struct Case {
        const char* arguments;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"apply in.png out.png --max-pixels 0", 2,
         "--max-pixels: Value 0 not in range 1 to 2147483648"},
        {"apply in.png --out-dir out --suffix '/../..'", 2, "--suffix: may not hold '/' or '..'"},
        {"apply in.png --out-dir out --suffix '..x'", 2, "--suffix: may not hold '/' or '..'"},
        {"apply in.png --out '../{name}-outside-quillon-test.png'", 2, "--out: may not hold '..'"},
        {"apply notes.gif --out-dir out", 1,
         "notes.gif: not a PNG, JPEG, TIFF, WebP, HEIF or AVIF file"},
        {"apply notes.gif out.gif", 1, "notes.gif: not a PNG, JPEG, TIFF, WebP, HEIF or AVIF file"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Quillon(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments << ": " << outcome.error;
        EXPECT_NE(outcome.error.find(c.message), std::string::npos)
            << c.arguments << ": " << outcome.error;
        EXPECT_LT(outcome.error.size(), 200u) << c.arguments << ": " << outcome.error;
    }
    EXPECT_FALSE(fs::exists(folder_.parent_path() / "in-outside-quillon-test.png"));
    EXPECT_FALSE(fs::exists(folder_ / "in.png..png"));
}

// libpng drops a profile that does not fit a grey PNG (an RGB one) with only a warning; the
// user hears of it as of any profile left out.
TEST_F(ApplyCommandTest, AProfileLibpngDropsIsLeftOutWithANote) {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsUInt32Number length = 0;
    cmsSaveProfileToMem(srgb, nullptr, &length);
    std::vector<uint8_t> icc(length);
    cmsSaveProfileToMem(srgb, icc.data(), &length);
    cmsCloseProfile(srgb);
    uLongf packedLength = compressBound(uLong(icc.size()));
    std::vector<uint8_t> chunk{'s', 'R', 'G', 'B', 0, 0};
    chunk.resize(chunk.size() + packedLength);
    ASSERT_EQ(compress(chunk.data() + 6, &packedLength, icc.data(), uLong(icc.size())), Z_OK);
    chunk.resize(6 + packedLength);

    FILE* f = std::fopen((folder_ / "page.png").c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, 32, 16, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_chunk(png, reinterpret_cast<png_const_bytep>("iCCP"), chunk.data(), chunk.size());
    std::vector<uint8_t> row(32, 90);
    for (int y = 0; y < 16; ++y)
        png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);

    const Outcome outcome = Quillon("apply page.png out.png");
    EXPECT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_NE(outcome.error.find("note: page.png: its colour profile cannot be used (iCCP"),
              std::string::npos)
        << outcome.error;
    EXPECT_NE(outcome.error.find("it is left out"), std::string::npos) << outcome.error;
}

// A grey PNG carrying a grey profile of gamma 1.8, as image editors save grey pictures.
void WriteGreyPngWithProfile(const fs::path& file) {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
    cmsHPROFILE grey = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    cmsUInt32Number length = 0;
    cmsSaveProfileToMem(grey, nullptr, &length);
    std::vector<uint8_t> icc(length);
    cmsSaveProfileToMem(grey, icc.data(), &length);
    cmsCloseProfile(grey);
    FILE* f = std::fopen(file.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, 32, 16, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_iCCP(png, info, "Dot Gain", PNG_COMPRESSION_TYPE_BASE, icc.data(), length);
    png_write_info(png, info);
    std::vector<uint8_t> row(32);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x)
            row[size_t(x)] = uint8_t(x * 8 + y);
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

TEST_F(ApplyCommandTest, GreyPicturesWithGreyProfilesAreFiltered) {
    WriteGreyPngWithProfile(folder_ / "grey.png");
    for (const char* colors : {"", " --colors 'Lab[16000,16384,16384]:Lab[16000,20000,16384] '"}) {
        const Outcome outcome = Quillon(std::string("apply grey.png out.png") + colors);
        ASSERT_EQ(outcome.status, 0) << outcome.error;
        const Document out = ReadImageFile(folder_ / "out.png").document;
        EXPECT_EQ(out.mode, ColorMode::RGB);
        EXPECT_FALSE(out.iccProfile.empty()) << "the sRGB the grey was turned into";
    }
}

TEST_F(ApplyCommandTest, MaxPixelsBoundsThePicturesOpened) {
    WriteImageFile(Blocks(ColorMode::RGB, 8), FileFormat::Jpeg, folder_ / "in.jpg"); // 48 x 32
    EXPECT_EQ(Quillon("apply in.jpg out.jpg --max-pixels 1536").status, 0);
    const Outcome outcome = Quillon("apply in.jpg big.jpg --max-pixels 1535");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.error.find("picture too large (48 x 32)"), std::string::npos)
        << outcome.error;
    EXPECT_FALSE(fs::exists(folder_ / "big.jpg"));
    EXPECT_EQ(Quillon("apply in.jpg big.jpg --max-pixels 0").status, 2);
}

// 16-bit RGBA PNG samples as stored, big-endian pairs.
void WritePng16(const fs::path& file, const std::vector<uint8_t>& samples, uint32_t size) {
    FILE* f = std::fopen(file.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, size, size, 16, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (uint32_t y = 0; y < size; ++y)
        png_write_row(png, samples.data() + size_t(y) * size * 8);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

std::vector<uint8_t> ReadPng16(const fs::path& file, uint32_t size) {
    std::vector<uint8_t> samples(size_t(size) * size * 8);
    FILE* f = std::fopen(file.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_read_info(png, info);
    if (png_get_bit_depth(png, info) == 16 && png_get_channels(png, info) == 4)
        for (uint32_t y = 0; y < size; ++y)
            png_read_row(png, samples.data() + size_t(y) * size * 8, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return samples;
}

TEST_F(ApplyCommandTest, SixteenBitPicturesComeBackExactlyWhereTheFilterLeftThemAlone) {
    // Every 16-bit value in every channel, alpha included: half of them are not on the host's
    // scale.
    const uint32_t size = 256;
    std::vector<uint8_t> samples(size_t(size) * size * 8);
    for (size_t i = 0; i < samples.size() / 2; ++i) {
        const uint16_t v = uint16_t(i / 4 * (i % 4 * 2 + 1));
        samples[2 * i] = uint8_t(v >> 8);
        samples[2 * i + 1] = uint8_t(v);
    }
    WritePng16(folder_ / "in.png", samples, size);
    ASSERT_EQ(Quillon("apply in.png out.png").status, 0);
    EXPECT_TRUE(ReadPng16(folder_ / "out.png", size) == samples)
        << "a run without adjustments changed 16-bit samples";
    ASSERT_EQ(Quillon("apply in.png out.tif").status, 0);
    ASSERT_EQ(Quillon("apply out.tif again.png").status, 0);
    EXPECT_TRUE(ReadPng16(folder_ / "again.png", size) == samples) << "through TIFF and back";
}

// The filter of a multi-page picture is loaded and opened once for all its pages.
TEST_F(ApplyCommandTest, FivePagesLoadTheModuleOnce) {
    const Document page = Blocks(ColorMode::RGB, 8);
    WriteImageFile({&page, &page, &page, &page, &page}, FileFormat::Tiff, folder_ / "five.tif");
    ::setenv("QUILLON_TRACE_MODULES", "1", 1);
    const Outcome outcome =
        Quillon("apply five.tif out.tif --fuzziness 1 --colors '" + MoveColorAt(page) + "'");
    ::unsetenv("QUILLON_TRACE_MODULES");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    size_t loads = 0;
    for (size_t at = outcome.error.find("loaded module"); at != std::string::npos;
         at = outcome.error.find("loaded module", at + 1))
        if (outcome.error.compare(outcome.error.find_first_of('\n', at) - 11, 11, "Quillon.8bf") ==
            0)
            ++loads;
    EXPECT_EQ(loads, 1u) << outcome.error;
    const LoadedImage out = ReadImageFile(folder_ / "out.tif");
    ASSERT_EQ(out.morePages.size(), 4u);
    for (const Document& later : out.morePages)
        EXPECT_EQ(later.planes, out.document.planes) << "every page with the same parameters";
}

TEST_F(ApplyCommandTest, EveryPageIsFilteredWithTheSameParameters) {
    const Document page = Blocks(ColorMode::RGB, 8);
    const Document deep = Blocks(ColorMode::RGB, 16);
    WriteImageFile({&page, &deep, &page}, FileFormat::Tiff, folder_ / "pages.tif");
    const std::string colors = " --fuzziness 1 --colors '" + MoveColorAt(page) + "'";
    const Outcome outcome = Quillon("apply pages.tif out.tif" + colors);
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    const LoadedImage out = ReadImageFile(folder_ / "out.tif");
    ASSERT_EQ(out.morePages.size(), 2u);
    EXPECT_NE(out.document.planes, page.planes);
    EXPECT_EQ(out.morePages[1].planes, out.document.planes) << "the same parameters";
    EXPECT_EQ(out.morePages[0].depth, 16);
    EXPECT_NE(out.morePages[0].planes, deep.planes);

    const Outcome png = Quillon("apply pages.tif out.png" + colors);
    EXPECT_EQ(png.status, 1);
    EXPECT_NE(png.error.find("3 pages"), std::string::npos) << png.error;
    EXPECT_FALSE(fs::exists(folder_ / "out.png"));
}

TEST_F(ApplyCommandTest, OutputsThatAreNotRegularFilesAreNeverReplaced) {
    WriteImageFile(Blocks(ColorMode::RGB, 8), FileFormat::Png, folder_ / "in.png");
    fs::create_directories(folder_ / "pictures");
    fs::create_symlink("pictures/target.png", folder_ / "link.png");
    ASSERT_EQ(Quillon("apply in.png link.png").status, 0);
    EXPECT_TRUE(fs::is_symlink(folder_ / "link.png"));
    EXPECT_EQ(ReadImageFile(folder_ / "pictures" / "target.png").document.width, 48);

    ASSERT_EQ(::mkfifo((folder_ / "pipe").c_str(), 0600), 0);
    const Outcome piped =
        Quillon("apply in.png pipe", "cat pipe > from-pipe.png & reader=$!; wait $reader;");
    ASSERT_EQ(piped.status, 0) << piped.error;
    EXPECT_TRUE(fs::is_fifo(folder_ / "pipe"));
    EXPECT_EQ(ReadImageFile(folder_ / "from-pipe.png").document.width, 48);

    EXPECT_EQ(Quillon("apply in.png /dev/null").status, 0);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    const Outcome folder = Quillon("apply in.png pictures");
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.error.find("it is a folder"), std::string::npos) << folder.error;
}

TEST_F(ApplyCommandTest, SignalsCancelAtEveryStageAndLeaveOutAsItWas) {
    // Big enough that reading, filtering in small tiles and writing each take a while.
    WriteImageFile(MakeDocument(ColorMode::RGB, 16, 3000, 2000), FileFormat::Tiff,
                   folder_ / "big.tif");
    const auto finished = [](const Outcome& o) { return o.status == 0; };
    std::ofstream(folder_ / "out.tif") << "an earlier result";
    // The signal comes while the picture is read or filtered (with the strips of finished rows
    // compressing meanwhile), or once the result's temporary file appears, which is while it is
    // written. A faded result is compressed only once the filter is done, so that writing lasts
    // long enough to be caught.
    struct Stage {
        const char* name;
        const char* wait;
        const char* options;
    };
    const Stage stages[] = {{"early", "sleep 1;", ""},
                            {"while writing",
                             "until ls .out.tif.* >/dev/null 2>&1; do "
                             "kill -0 $pid 2>/dev/null || break; sleep 0.01; done;",
                             " --amount 99"}};
    for (const char* signal : {"INT", "TERM"})
        for (const Stage& stage : stages) {
            const std::string what = std::string(signal) + " " + stage.name;
            const Outcome outcome =
                Quillon(std::string("apply big.tif out.tif --tile 16 --colors "
                                    "'Lab[0,16384,16384]:Lab[900,16384,16384] '") +
                            stage.options,
                        std::string(stage.wait) + " kill -" + signal + " $pid;");
            ASSERT_FALSE(finished(outcome)) << what << ": the run ended before the signal";
            EXPECT_EQ(outcome.status, 1) << what << ": " << outcome.error;
            EXPECT_NE(outcome.error.find("cancelled"), std::string::npos) << what << outcome.error;
            std::ifstream in(folder_ / "out.tif");
            std::string text;
            std::getline(in, text);
            EXPECT_TRUE(text == "an earlier result") << what << ": OUT was replaced";
            for (const auto& entry : fs::directory_iterator(folder_))
                EXPECT_NE(entry.path().filename().string().rfind(".out.tif.", 0), 0u)
                    << what << ": " << entry.path() << " left behind";
        }
}

TEST_F(ApplyCommandTest, OutputsAreCheckedBeforeAnyWork) {
    WriteImageFile(Blocks(ColorMode::RGB, 8), FileFormat::Png, folder_ / "in.png");
    struct Case {
        std::string arguments;
        int status;
        std::string message;
        const char* unwritten;
    };
    const Case cases[] = {
        {"apply in.png out.gif", 1, ".png, .jpg, .jpeg, .tif, .tiff, .webp, .heic, .heif and .avif",
         "out.gif"},
        {"apply in.png out.jxl", 1, "the host writes", "out.jxl"},
        {"apply in.png out", 1, "the host writes", "out"},
        {"apply in.png out.png --record missing/action.json", 1, "no folder missing", "out.png"},
        {"apply in.png out.png --sample missing.png", 2, "missing.png", "out.png"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Quillon(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments;
        EXPECT_NE(outcome.error.find(c.message), std::string::npos)
            << c.arguments << ": " << outcome.error;
        EXPECT_FALSE(fs::exists(folder_ / c.unwritten)) << c.arguments;
    }
}

TEST_F(ApplyCommandTest, ParametersThatMeanNothingAreRefused) {
    WriteImageFile(Blocks(ColorMode::RGB, 8), FileFormat::Png, folder_ / "in.png");
    EXPECT_EQ(Quillon("apply in.png out.png --fuzziness nan").status, 2);
    EXPECT_EQ(Quillon("apply in.png out.png --fuzziness inf").status, 2);
    struct Case {
        const char* colors;
        const char* message;
    };
    const Case cases[] = {
        {"Lab[1,2,3]:Lab[4,5,6] Lab[1,2]:Lab[3,4,5] ",
         "item 2 (\"Lab[1,2]:Lab[3,4,5]\") at character 30: expected ','"},
        {"Lab[1,2,3]: ", "item 1 (\"Lab[1,2,3]:\") at character 12: ':' without a target"},
        {"Lab[1,2,40000]:Lab[1,2,3] ", "item 1 (\"Lab[1,2,40000]:Lab[1,2,3]\") at character 9: "
                                       "component 40000 is beyond 32768"},
        {"Lab[1,2,3][5,2147483648]:Lab[1,2,4] ", "at character 14: position 2147483648 is beyond"},
        // A control character is quoted, not passed into the message.
        {"Lab[1,2,\x1b[31m] ",
         "item 1 (\"Lab[1,2,\\x1b[31m]\") at character 9: expected a component"},
    };
    for (const Case& c : cases) {
        const Outcome outcome =
            Quillon(std::string("apply in.png out.png --colors '") + c.colors + "'");
        EXPECT_EQ(outcome.status, 1) << c.colors;
        EXPECT_NE(outcome.error.find(c.message), std::string::npos)
            << c.colors << ": " << outcome.error;
        EXPECT_FALSE(fs::exists(folder_ / "out.png")) << c.colors;
    }
    // No adjustment at all: said so, and OUT is IN.
    const Outcome nothing = Quillon("apply in.png same.png");
    EXPECT_EQ(nothing.status, 0);
    EXPECT_NE(nothing.error.find("no adjustment"), std::string::npos) << nothing.error;
    EXPECT_EQ(ReadImageFile(folder_ / "same.png").document.planes,
              ReadImageFile(folder_ / "in.png").document.planes);
}

TEST_F(ApplyCommandTest, NoProgressBarIsDrawnIntoFilesOrPipes) {
    WriteImageFile(MakeDocument(ColorMode::RGB, 16, 1200, 1200), FileFormat::Tiff,
                   folder_ / "in.tif");
    const Outcome outcome = Quillon(
        "apply in.tif out.tif --tile 8 --colors 'Lab[0,16384,16384]:Lab[900,16384,16384] '");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_EQ(outcome.error.find("["), std::string::npos) << outcome.error;
}

} // namespace

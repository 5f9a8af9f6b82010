// quillon variants end to end: a palette's colours on a photograph-like picture, the report's
// colours checked against the written pictures, and the ways a request is refused.
#include "Scenery.h"
#include "core/documents/ImageFiles.h"
#include "core/suites/ColorServices.h"

#include "QuillonRun.h"

#include <lcms2.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <set>

namespace {

using namespace quillon::filterhost;
using quillon::testing::Outcome;
using quillon::testing::SignalOnceTwoWorkersRun;
using VariantsCommandTest = quillon::testing::QuillonTest;
namespace fs = std::filesystem;

// The landscape in CMYK through the system profile: its gamut leaves out the most saturated
// sRGB colours.
Document CmykLandscape() {
    const Document rgb = quillon::tools::MakeScenery(240, 160);
    Document cmyk = MakeDocument(ColorMode::CMYK, 16, rgb.width, rgb.height);
    ColorServices services;
    std::vector<Color16> records(rgb.planes[0].size());
    for (size_t i = 0; i < records.size(); ++i)
        records[i] = {0, EightToHost16(uint8_t(rgb.planes[0][i])),
                      EightToHost16(uint8_t(rgb.planes[1][i])),
                      EightToHost16(uint8_t(rgb.planes[2][i]))};
    services.Convert16(plugIncolorServicesRGBSpace, plugIncolorServicesCMYKSpace, records.data(),
                       int(records.size()));
    for (size_t i = 0; i < records.size(); ++i) {
        cmyk.planes[0][i] = records[i].c0;
        cmyk.planes[1][i] = records[i].c1;
        cmyk.planes[2][i] = records[i].c2;
        cmyk.planes[3][i] = records[i].c3;
    }
    return cmyk;
}

// A CMYK pixel in Lab, as the host's colour services see it.
cmsCIELab PixelLab(const Document& d, int32_t x, int32_t y) {
    ColorServices services;
    Color16 record{d.At(0, x, y), d.At(1, x, y), d.At(2, x, y), d.At(3, x, y)};
    services.Convert16(plugIncolorServicesCMYKSpace, plugIncolorServicesLabSpace, &record, 1);
    return {record.c1 * 100.0 / 32768, record.c2 / 128.0 - 128, record.c3 / 128.0 - 128};
}

cmsCIELab Lab(const nlohmann::json& triple) {
    return {triple[0].get<double>(), triple[1].get<double>(), triple[2].get<double>()};
}

nlohmann::json ReadJson(const fs::path& file) {
    std::ifstream in(file);
    return nlohmann::json::parse(in);
}

TEST_F(VariantsCommandTest, TwelvePaletteColoursReachTheSourcePointOrAreFlagged) {
    WriteImageFile(CmykLandscape(), FileFormat::Tiff, folder_ / "landscape.tif");
    std::ofstream(folder_ / "catalogue.gpl") << "GIMP Palette\nName: Catalogue\nColumns: 4\n#\n"
                                                "170  60  50\tBrick\n110 110  50\tOlive\n"
                                                " 40  50 100\tNavy\n 50 120 120\tTeal\n"
                                                "200 180 140\tSand\n110  60 100\tPlum\n"
                                                "100 110 120\tSlate\n180  90  40\tRust\n"
                                                " 90 120  60\tMoss\n  0 255   0\tNeon green\n"
                                                "  0  80 255\tElectric blue\n"
                                                "120   0 255\tViolet\n";
    const Outcome outcome =
        Quillon("variants landscape.tif --from @120,20 --palette catalogue.gpl --fuzziness 4 "
                "--out 'shirts/{name}.tif' --report report.json --sheet sheet.png --jobs 2");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    const nlohmann::json report = ReadJson(folder_ / "report.json");
    ASSERT_EQ(report["variants"].size(), 12u);
    std::set<std::string> flagged, written;
    for (const auto& entry : fs::directory_iterator(folder_ / "shirts"))
        written.insert(entry.path().filename().string());
    EXPECT_EQ(written.size(), 12u);
    const Document source = ReadImageFile(folder_ / "landscape.tif").document;
    for (const nlohmann::json& v : report["variants"]) {
        const std::string name = v["name"];
        ASSERT_EQ(v["status"], "written") << name;
        const Document result = ReadImageFile(folder_ / v["output"].get<std::string>()).document;
        EXPECT_EQ(result.mode, ColorMode::CMYK);
        EXPECT_NE(result.planes, source.planes) << name;
        // The report's achieved colour is the written picture's at the source point.
        const cmsCIELab achieved = Lab(v["achieved"]), wanted = Lab(v["wanted"]);
        const cmsCIELab pixel = PixelLab(result, 120, 20);
        EXPECT_LE(cmsCIE2000DeltaE(&achieved, &pixel, 1, 1, 1), 0.1) << name;
        EXPECT_NEAR(v["deltaE00"].get<double>(), cmsCIE2000DeltaE(&wanted, &achieved, 1, 1, 1),
                    0.05)
            << name;
        bool outside = false;
        for (const auto& warning : v["warnings"])
            outside |=
                warning.get<std::string>().find("outside the output's gamut") != std::string::npos;
        if (outside) {
            flagged.insert(name);
            EXPECT_GT(v["deltaE00"].get<double>(), 1.5) << name << " is flagged yet reached";
        } else {
            EXPECT_LE(v["deltaE00"].get<double>(), 2) << name;
        }
    }
    // The most saturated sRGB colours lie far outside the CMYK gamut; the muted ones within.
    for (const char* name : {"Neon green", "Electric blue", "Violet"})
        EXPECT_TRUE(flagged.count(name)) << name;
    for (const char* name : {"Teal", "Sand", "Plum", "Slate", "Brick", "Moss"})
        EXPECT_FALSE(flagged.count(name)) << name;
    const Document sheet = ReadImageFile(folder_ / "sheet.png").document;
    EXPECT_GT(sheet.width, 4 * 256);
    EXPECT_GT(sheet.height, 3 * 256);
}

// --to colours are named by what they say, a CSV palette by its names; an 8-bit RGB picture
// stays RGB; with Preserve Luminosity on, the wanted colour keeps the source's lightness.
TEST_F(VariantsCommandTest, ColoursFromTheCommandLineOrACsvPalette) {
    WriteImageFile(quillon::tools::MakeScenery(120, 80), FileFormat::Png, folder_ / "p.png");
    Outcome outcome = Quillon("variants p.png --from '#2654a0' --to '#c03030' --to "
                              "'lab(70,-40,50)' --report r.json");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_TRUE(fs::exists(folder_ / "p-c03030.png"));
    EXPECT_TRUE(fs::exists(folder_ / "p-lab-70-40-50.png"));
    const nlohmann::json first = ReadJson(folder_ / "r.json");
    for (const nlohmann::json& v : first["variants"])
        EXPECT_LE(v["deltaE00"].get<double>(), 1) << v.dump();

    std::ofstream(folder_ / "colours.csv") << "name,colour\n\"Deep \"\"sea\"\"\",rgb(20, 60, 90)\n"
                                              "lifted,lab(95,0,0)\n";
    outcome = Quillon("variants p.png --from @60,10 --palette colours.csv --out 'v/{name}.jpg' "
                      "--quality 80 --report r2.json --preserve-luminosity on");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_EQ(ReadImageFile(folder_ / "v/Deep-sea.jpg").format, FileFormat::Jpeg);
    const nlohmann::json report = ReadJson(folder_ / "r2.json");
    ASSERT_EQ(report["variants"].size(), 2u);
    const double sourceL = report["source"][0];
    for (const nlohmann::json& v : report["variants"]) {
        EXPECT_NEAR(v["wanted"][0].get<double>(), sourceL, 0.01) << v.dump();
        EXPECT_TRUE(v["warnings"].empty()) << "no lightness is asked for: " << v.dump();
    }
    EXPECT_EQ(report["variants"][0]["name"], "Deep \"sea\"");

    // Without Preserve Luminosity a far lightness is warned of.
    outcome = Quillon("variants p.png --from @60,10 --palette colours.csv --out 'w/{name}.png' "
                      "--report r3.json");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    const nlohmann::json lifted = ReadJson(folder_ / "r3.json")["variants"][1];
    ASSERT_EQ(lifted["warnings"].size(), 1u) << lifted.dump();
    EXPECT_NE(lifted["warnings"][0].get<std::string>().find("lightness shift"), std::string::npos);
}

TEST_F(VariantsCommandTest, BadRequestsAreOneClearLineAndWriteNothing) {
    WriteImageFile(quillon::tools::MakeScenery(40, 30), FileFormat::Png, folder_ / "p.png");
    std::ofstream(folder_ / "bad.gpl") << "GIMP Palette\n10 20 30 ok\n10 20 300 too bright\n";
    std::ofstream(folder_ / "bad.csv") << "red,#ff0000\nblue,@3,4\n";
    std::ofstream(folder_ / "same.csv") << "a b,#ff0000\na/b,#00ff00\n";
    struct Case {
        const char* arguments;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"variants p.png --from '#ff0000'", 2, "--to COLOR... or --palette FILE"},
        {"variants p.png --from 'hsv(1)' --to '#000000'", 2, "unknown colour notation"},
        {"variants p.png --from '#ff0000' --to '#000000' --palette bad.csv", 2, "excludes"},
        {"variants p.png --from '#ff0000' --to '#000000' --to '#ffffff' --out x.png", 2,
         "needs {name}"},
        {"variants p.png --from '#ff0000' --to 'red'", 2, "--to \"red\""},
        {"variants p.png --from @99,5 --to '#000000'", 1, "lies outside the picture"},
        {"variants p.png --from '#ff0000' --palette bad.gpl", 1, "bad.gpl, line 3: expected R G B"},
        {"variants p.png --from '#ff0000' --palette bad.csv", 1, "bad.csv, line 2: the colour"},
        {"variants p.png --from '#ff0000' --palette same.csv", 1, "would both be written"},
        {"variants p.png --from '#ff0000' --to '#000000' --out 'p.png'", 1,
         "would replace the picture"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Quillon(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments << ": " << outcome.error;
        EXPECT_NE(outcome.error.find(c.message), std::string::npos)
            << c.arguments << ": " << outcome.error;
        EXPECT_EQ(std::count(outcome.error.begin(), outcome.error.end(), '\n'), 1) << outcome.error;
    }
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(folder_))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 5u) << "the picture, three palettes, stderr and nothing else";
}

// Ctrl-C to the whole command, or SIGTERM to it alone, while both workers filter: every worker has
// ended when the command does, the exit status is the signal's, and whatever is in the folder is
// a whole picture (no temporary or half-written file).
TEST_F(VariantsCommandTest, SignalsStopTheWorkersAndLeaveNoHalfWrittenPicture) {
    // A megapixel at 16 bits keeps each worker busy past the signal.
    const Document scenery = quillon::tools::MakeScenery(1000, 1000);
    Document picture = MakeDocument(ColorMode::RGB, 16, scenery.width, scenery.height);
    for (size_t c = 0; c < 3; ++c)
        for (size_t i = 0; i < picture.planes[c].size(); ++i)
            picture.planes[c][i] = uint16_t(scenery.planes[c][i] * 128 + i % 127);
    WriteImageFile(picture, FileFormat::Png, folder_ / "p.png");
    const struct {
        const char* name;
        const char* send; // with $pid the command
        int status;
    } cases[] = {
        {"Ctrl-C to the group", "pkill -INT -P $pid; kill -INT $pid;", 130},
        {"SIGTERM to the command", "kill -TERM $pid;", 143},
    };
    for (const auto& c : cases) {
        fs::remove_all(folder_ / "v");
        const Outcome outcome =
            Quillon("variants p.png --from '#2654a0' --to '#c03030' --to '#30c030' --to '#3030c0' "
                    "--to '#c0c030' --jobs 2 --out 'v/{name}.png'",
                    SignalOnceTwoWorkersRun(c.send));
        EXPECT_EQ(outcome.status, c.status) << c.name << ": " << outcome.error;
        EXPECT_EQ(outcome.error.find("still running"), std::string::npos) << c.name;
        EXPECT_NE(outcome.error.find("interrupted; 2 variants not started"), std::string::npos)
            << c.name << ": " << outcome.error;
        // One line for each variant that was cancelled, none for those never started.
        EXPECT_EQ(outcome.error.find(": \n"), std::string::npos) << c.name << ": " << outcome.error;
        if (!fs::exists(folder_ / "v")) continue;
        for (const auto& entry : fs::directory_iterator(folder_ / "v")) {
            EXPECT_EQ(entry.path().extension(), ".png") << c.name << ": " << entry.path();
            EXPECT_NO_THROW(ReadImageFile(entry.path())) << c.name << ": " << entry.path();
        }
    }
}

} // namespace

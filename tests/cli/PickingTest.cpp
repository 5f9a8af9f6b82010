// Picking colours in quillon edit: the document on the left, a sample or the built-in chart on
// the right, driven by scripts on Qt's offscreen platform.
#include "CliTest.h"

#include "core/documents/ImageFiles.h"
#include "core/suites/ColorServices.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using namespace quillon::filterhost;
using nlohmann::json;
using quillon::testing::Outcome;
namespace fs = std::filesystem;

// Where things are at 600 x 300. The 64 x 48 document sits at 100% in the middle of the left
// pane (client x 136..199, y 151..198), red left of x 168 and green right of it; a 32 x 32 sample
// sits in the middle of the right pane (client x 455..486, y 159..190).
constexpr const char* kSmall = "resize 600 300\nwait 50\n";
constexpr const char* kClickOK = "click 540 22\n";
constexpr const char* kOpenSample = "click 430 50\nwait 50\n";
constexpr const char* kClickRed = "click 145 175\nwait 20\n";
constexpr const char* kClickSample = "click 470 175\nwait 20\n";
constexpr const char* kLuminosityOff = "click 245 50\nwait 20\n";
constexpr const char* kNotAnImage = "Cannot open file, it doesn't appear to be a valid image.";

struct Rgb {
    int r, g, b;
};

// The colour as the host's 16-bit Lab in a "Colors" text.
std::string LabText(Rgb c) {
    ColorServices services;
    auto wide = [](int v) { return uint16_t((v * 32768 + 127) / 255); };
    Color16 lab{0, wide(c.r), wide(c.g), wide(c.b)};
    services.Convert16(plugIncolorServicesRGBSpace, plugIncolorServicesLabSpace, &lab, 1);
    return "Lab[" + std::to_string(lab.c1) + "," + std::to_string(lab.c2) + "," +
           std::to_string(lab.c3) + "]";
}

class PickingTest : public quillon::testing::CliTest {
  protected:
    void SetUp() override {
        CliTest::SetUp();
        Document d = MakeDocument(ColorMode::RGB, 8, 64, 48);
        for (int32_t y = 0; y < d.height; ++y)
            for (int32_t x = 0; x < d.width; ++x) {
                d.At(0, x, y) = x < 32 ? 255 : 0;
                d.At(1, x, y) = x < 32 ? 0 : 255;
                d.At(2, x, y) = 0;
            }
        WriteImageFile(d, FileFormat::Png, folder_ / "in.png");
        Document blue = MakeDocument(ColorMode::RGB, 8, 32, 32);
        for (int32_t y = 0; y < 32; ++y)
            for (int32_t x = 0; x < 32; ++x)
                blue.At(2, x, y) = 255;
        WriteImageFile(blue, FileFormat::Png, folder_ / "blue.png");
        std::ofstream(folder_ / "notes.txt") << "not a picture at all\n";
    }

    Outcome Edit(const std::string& script) {
        std::ofstream(folder_ / "script.txt") << script;
        return Quillon("edit in.png out.png --script script.txt");
    }

    // The file dialog opens in the working folder, the test's own.
    std::string OpenSample(const std::string& file) {
        return std::string(kOpenSample) + "type " + file + "\nkey enter\nwait 50\n";
    }

    json State(const std::string& file) {
        std::ifstream in(folder_ / file);
        return json::parse(in);
    }

    // Everything the host keeps in its configuration folder, as text.
    std::string Registry() {
        std::string all;
        for (const auto& entry : fs::recursive_directory_iterator(folder_ / "config"))
            if (entry.is_regular_file()) {
                std::ifstream in(entry.path());
                std::stringstream text;
                text << in.rdbuf();
                all += text.str();
            }
        return all;
    }

    Document Out() { return ReadImageFile(folder_ / "out.png").document; }

    // What the batch command makes of the same document with the one adjustment from one 8-bit
    // RGB colour to another and Preserve Luminosity off: the picks must have made exactly that
    // adjustment.
    Document Mapped(Rgb from, Rgb to) {
        const Outcome outcome =
            Quillon("apply in.png mapped.png --preserve-luminosity off " +
                    std::string("--colors '") + LabText(from) + ":" + LabText(to) + " '");
        EXPECT_EQ(outcome.status, 0) << outcome.error;
        return ReadImageFile(folder_ / "mapped.png").document;
    }
};

Rgb At(const Document& d, int32_t x, int32_t y) {
    return {d.At(0, x, y), d.At(1, x, y), d.At(2, x, y)};
}

void ExpectNear(Rgb got, Rgb want, int tolerance, const std::string& what) {
    EXPECT_NEAR(got.r, want.r, tolerance) << what;
    EXPECT_NEAR(got.g, want.g, tolerance) << what;
    EXPECT_NEAR(got.b, want.b, tolerance) << what;
}

void ExpectGreenUnchanged(const Document& out) {
    for (int32_t y = 0; y < out.height; ++y)
        for (int32_t x = 32; x < out.width; ++x) {
            const Rgb p = At(out, x, y);
            ASSERT_TRUE(p.r == 0 && p.g == 255 && p.b == 0) << x << "," << y;
        }
}

TEST_F(PickingTest, RedBecomesTheBlueOfAnOpenedSample) {
    const Outcome outcome = Edit(std::string(kSmall) + OpenSample("blue.png") + kClickRed +
                                 kLuminosityOff + kClickSample + kClickOK);
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    const Document out = Out();
    const Document mapped = Mapped({255, 0, 0}, {0, 0, 255});
    ExpectNear(At(out, 5, 5), At(mapped, 5, 5), 1, "red half");
    ExpectNear(At(out, 31, 47), At(mapped, 5, 5), 1, "red half");
    EXPECT_LT(At(out, 5, 5).r, 128);
    EXPECT_GT(At(out, 5, 5).b, 200);
    ExpectGreenUnchanged(out);
    // The sample is remembered for the next time.
    EXPECT_NE(Registry().find((folder_ / "blue.png").string()), std::string::npos);
}

TEST_F(PickingTest, RedBecomesASwatchOfTheBuiltInChart) {
    // The 256 x 384 chart fits the right pane at 186 / 384; the first swatch of the last row,
    // (0, 0, 128), covers chart pixels 0..15 x 368..383.
    const double z = 186.0 / 384.0;
    const int displayWidth = int(256 * z);
    const int x = 353 + (237 - displayWidth) / 2 + int(8 * z);
    const int y = 80 + 2 + int(376 * z);
    const Outcome outcome =
        Edit(std::string(kSmall) + kClickRed + kLuminosityOff + "click " + std::to_string(x) + " " +
             std::to_string(y) + "\nwait 20\n" + kClickOK);
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    const Document out = Out();
    ExpectNear(At(out, 10, 10), At(Mapped({255, 0, 0}, {0, 0, 128}), 10, 10), 2, "red half");
    ExpectGreenUnchanged(out);
}

TEST_F(PickingTest, ShiftClickAddsALockedAdjustmentThatChangesNothing) {
    const Outcome outcome = Edit(std::string(kSmall) + "hold shift\nclick 145 175 shift\n" +
                                 "letgo shift\nwait 20\n" + kClickOK);
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_EQ(Out().planes, ReadImageFile(folder_ / "in.png").document.planes);
}

TEST_F(PickingTest, ADeletedRememberedSampleGivesWayToTheChartSilently) {
    ASSERT_EQ(Edit(std::string(kSmall) + OpenSample("blue.png") + kClickOK).status, 0);
    const std::string before = Registry();
    fs::remove(folder_ / "blue.png");
    const Outcome outcome = Edit(std::string(kSmall) + "state opened.json\n" + kClickOK);
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    // The main dialog is the one open: no message came first.
    EXPECT_EQ(State("opened.json")["title"], "Nerrow Quillon");
    EXPECT_EQ(Registry(), before);
}

TEST_F(PickingTest, CtrlClickMovesTheOriginal) {
    const Outcome outcome =
        Edit(std::string(kSmall) + OpenSample("blue.png") + kClickRed + kLuminosityOff +
             kClickSample + "click 185 175 ctrl\nwait 20\n" + kClickOK);
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    const Document out = Out();
    ExpectNear(At(out, 50, 10), At(Mapped({0, 255, 0}, {0, 0, 255}), 50, 10), 1, "green half");
    ExpectNear(At(out, 10, 10), {255, 0, 0}, 0, "red half");
}

// One press and drag is one edit: undoing it empties the table, redoing it brings back the
// adjustment with the colour under the release point as its original.
TEST_F(PickingTest, ASamplerDragIsOneEditEndingAtTheReleasePoint) {
    const Outcome outcome =
        Edit(std::string(kSmall) + OpenSample("blue.png") + "press 145 175\ndrag 160 175\n" +
             "release 185 175\nwait 20\nkey z ctrl\nwait 20\nstate undone.json\n" +
             "key z ctrl shift\nwait 20\n" + kLuminosityOff + kClickSample + kClickOK);
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    const Document out = Out();
    ExpectNear(At(out, 50, 10), At(Mapped({0, 255, 0}, {0, 0, 255}), 50, 10), 1, "green half");
    ExpectNear(At(out, 10, 10), {255, 0, 0}, 0, "red half");
    // With the add undone the fuzziness controls are disabled again.
    bool sliderEnabled = true;
    const json undone = State("undone.json");
    for (const json& item : undone["items"])
        if (item["type"] == "ADM Slider Type") sliderEnabled = item["enabled"];
    EXPECT_FALSE(sliderEnabled);
}

TEST_F(PickingTest, AFileThatIsNotAPictureKeepsTheSampleAndItsPath) {
    const Outcome outcome =
        Edit(std::string(kSmall) + OpenSample("blue.png") + OpenSample("notes.txt") +
             "state message.json\nkey enter\n" + "wait 20\n" + kClickRed + kLuminosityOff +
             kClickSample + kClickOK);
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_EQ(State("message.json")["text"], kNotAnImage);
    ExpectNear(At(Out(), 10, 10), At(Mapped({255, 0, 0}, {0, 0, 255}), 10, 10), 1, "red half");
    const std::string registry = Registry();
    EXPECT_NE(registry.find((folder_ / "blue.png").string()), std::string::npos);
    EXPECT_EQ(registry.find("notes.txt"), std::string::npos);
}

} // namespace

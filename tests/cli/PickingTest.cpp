// Picking colours in quillon edit: the document on the left, a sample or the built-in chart on
// the right, driven by scripts on Qt's offscreen platform.
#include "DialogScript.h"
#include "PickingPictures.h"

#include "Fixtures.h"
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
using namespace quillon::testing;
namespace fs = std::filesystem;

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

class PickingTest : public quillon::testing::PickingPicturesTest {
  protected:
    void SetUp() override {
        PickingPicturesTest::SetUp();
        std::ofstream(folder_ / "notes.txt") << "not a picture at all\n";
    }

    // The "Colors" text an action recorded.
    std::string RecordedColors(const std::string& file) {
        std::ifstream in(folder_ / file);
        const json action = json::parse(in);
        for (const json& item : action["descriptor"])
            if (item["key"] == "smpl") return item["value"];
        ADD_FAILURE() << "no colors in " << file;
        return {};
    }

    // The document with its halves swapped: green where red was.
    void SwapHalves() {
        Document d = ReadImageFile(folder_ / "in.png").document;
        for (int32_t y = 0; y < d.height; ++y)
            for (int32_t x = 0; x < d.width; ++x)
                std::swap(d.At(0, x, y), d.At(1, x, y));
        WriteImageFile(d, FileFormat::Png, folder_ / "in.png");
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
                                 kClickLuminosity + kClickSample + kClickOK);
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

// A picture dropped on the right pane opens as Open Sample opens it, errors included; a drop on
// the left pane opens nothing.
TEST_F(PickingTest, ADroppedPictureOpensAsTheSample) {
    std::ofstream(folder_ / "notes.txt") << "not a picture";
    const Outcome outcome =
        Edit(std::string(kSmall) + "drop 145 175 blue.png\nwait 50\nstate left.json\n" +
             "drop 470 175 notes.txt\nwait 50\nstate notes.json\nkey enter\nwait 20\n" +
             "drop 470 175 blue.png\nwait 50\n" + kClickRed + kClickLuminosity + kClickSample +
             kClickOK);
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_EQ(State("left.json")["title"], "Nerrow Quillon");
    EXPECT_EQ(State("notes.json")["text"], kNotAnImage);
    const Document out = Out();
    ExpectNear(At(out, 5, 5), At(Mapped({255, 0, 0}, {0, 0, 255}), 5, 5), 1, "red half");
    ExpectGreenUnchanged(out);
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
        Edit(std::string(kSmall) + kClickRed + kClickLuminosity + "click " + std::to_string(x) +
             " " + std::to_string(y) + "\nwait 20\n" + kClickOK);
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    const Document out = Out();
    ExpectNear(At(out, 10, 10), At(Mapped({255, 0, 0}, {0, 0, 128}), 10, 10), 2, "red half");
    ExpectGreenUnchanged(out);
}

// The zoom tool zooms in on the clicked point and, with Alt, out again; the eyedropper's picks
// land where the zoomed picture shows them.
TEST_F(PickingTest, TheZoomToolZoomsAtTheClickedPoint) {
    const std::string zoomTool = "click 22 138\nwait 20\n";
    const std::string eyedropper = "click 22 90\nwait 20\n";
    // At 200% the document covers client x 104..231, red left of 168.
    const Outcome outcome =
        Edit(std::string(kSmall) + zoomTool + "click 145 175\nwait 50\nstate in.json\n" +
             "hold alt\nwait 120\nclick 145 175 alt\nletgo alt\nwait 50\nstate out.json\n" +
             "click 145 175\nwait 50\n" + eyedropper + "click 140 175\nwait 20\n" +
             OpenSample("blue.png") + kClickLuminosity + kClickSample + kClickOK);
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    auto leftZoom = [](const json& state) { return Nth(state, kTextStatic, 1)["text"]; };
    EXPECT_EQ(leftZoom(State("in.json")), "200.00%");
    EXPECT_EQ(leftZoom(State("out.json")), "100.00%");
    ExpectNear(At(Out(), 10, 10), At(Mapped({255, 0, 0}, {0, 0, 255}), 10, 10), 1, "red half");
    ExpectGreenUnchanged(Out());
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
        Edit(std::string(kSmall) + OpenSample("blue.png") + kClickRed + kClickLuminosity +
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
             "key z ctrl shift\nwait 20\n" + kClickLuminosity + kClickSample + kClickOK);
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

// Files the codec layer refuses, each after the blue sample: the message, and the blue sample
// and its path stay.
TEST_F(PickingTest, AFileThatIsNotAPictureKeepsTheSampleAndItsPath) {
    std::ifstream in(folder_ / "blue.png", std::ios::binary);
    const std::string png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(folder_ / "truncated.png", std::ios::binary) << png.substr(0, png.size() / 2);
    // The header of a 100000 x 100000 picture, and no pixels.
    std::string huge = png.substr(0, 33);
    for (int at : {16, 20}) {
        huge[size_t(at)] = 0, huge[size_t(at) + 1] = 0x01, huge[size_t(at) + 2] = char(0x86),
        huge[size_t(at) + 3] = char(0xA0);
    }
    std::ofstream(folder_ / "huge.png", std::ios::binary) << huge;
    quillon::codec::fixtures::PsdLayout lab;
    lab.width = lab.height = 4;
    lab.mode = 9;
    lab.channels.assign(3, quillon::codec::fixtures::Bytes(16, 0x80));
    const auto psd = quillon::codec::fixtures::MakePsd(lab);
    std::ofstream(folder_ / "lab.psd", std::ios::binary)
        .write(reinterpret_cast<const char*>(psd.data()), std::streamsize(psd.size()));

    const char* const files[] = {"notes.txt", "truncated.png", "huge.png", "lab.psd"};
    std::string script = std::string(kSmall) + OpenSample("blue.png");
    for (const char* file : files)
        script += OpenSample(file) + "state " + file + ".json\nkey enter\nwait 20\n";
    const Outcome outcome = Edit(script + kClickRed + kClickLuminosity + kClickSample + kClickOK);
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    for (const char* file : files)
        EXPECT_EQ(State(std::string(file) + ".json")["text"], kNotAnImage) << file;
    ExpectNear(At(Out(), 10, 10), At(Mapped({255, 0, 0}, {0, 0, 255}), 10, 10), 1, "red half");
    const std::string registry = Registry();
    EXPECT_NE(registry.find((folder_ / "blue.png").string()), std::string::npos);
    for (const char* file : files)
        EXPECT_EQ(registry.find(file), std::string::npos) << file;
}

// Positions recorded against one document are checked against the next: kept where the colour
// is still there, dropped where it moved; a change of sample forgets the sample positions.
TEST_F(PickingTest, RememberedPositionsFollowTheirPictures) {
    ASSERT_EQ(
        Edit(std::string(kSmall) + OpenSample("blue.png") + kClickRed + kClickSample + kClickOK,
             "--record first.json")
            .status,
        0);
    const std::string first = RecordedColors("first.json");
    ASSERT_NE(first.find("][9,24]:"), std::string::npos) << first;
    ASSERT_NE(first.find("][15,16] "), std::string::npos) << first;

    struct Case {
        const char* name;
        bool swapHalves;
        const char* script;
        bool documentKept, sampleKept;
    };
    const Case cases[] = {
        {"same pictures", false, "", true, true},
        {"document changed", true, "", false, true},
        // The document stays swapped from here on.
        {"built-in chart", false, "hold alt\nclick 430 50 alt\nletgo alt\nwait 20\n", false, false},
    };
    for (const Case& c : cases) {
        if (c.swapHalves) SwapHalves();
        ASSERT_EQ(Edit(std::string(kSmall) + c.script + kClickOK,
                       "--action first.json --record second.json")
                      .status,
                  0)
            << c.name;
        const std::string second = RecordedColors("second.json");
        EXPECT_EQ(second.find("][9,24]:") != std::string::npos, c.documentKept)
            << c.name << ": " << second;
        EXPECT_EQ(second.find("][15,16] ") != std::string::npos, c.sampleKept)
            << c.name << ": " << second;
    }
}

} // namespace

// The hint line follows the mouse over the panes, the buttons and the controls, in every state
// of the tool, the selection and the sample; leaving an item gives what the tool does.
TEST_F(PickingTest, TheHintLineSaysWhatTheItemUnderTheMouseDoes) {
    struct Step {
        std::string script;
        const char* hint;
    };
    const std::string away = "move 300 290\nwait 20\n";
    const Step steps[] = {
        {"move 150 160\n", "Select a color that needs to be adjusted."},
        {"move 470 175\n", "Use the Open Sample button to load a sample image.\n\rSelect a color "
                           "that needs to be adjusted in the left image."},
        {"move 430 50\n", "Open a sample image. You will use it to choose desired colors."},
        {away, "Select a color that needs to be adjusted in the left image."},
        {OpenSample("blue.png") + away + "move 430 50\n",
         "Open a different sample image.\n\rAlt-Open Sample to close the sample image."},
        {"move 470 175\n", "Select a color that needs to be adjusted in the left image first."},
        {kClickRed, "You can drag the sampler to a different part of the image."},
        {"move 190 190\n",
         "Click to select another color for adjustment.\n\rCtrl-click to move the sampler.\n\r"
         "Shift-click to lock an original color.\n\rHold Shift key to view original image."},
        {"move 470 175\n", "Select the desired color from this image to adjust the left image."},
        {"move 540 22\n", "Click Ok to apply the color change to the current document"},
        {"move 370 20\n", "Choose a small value to adjust only very similar colors.\n\rIncrease "
                          "fuzziness to include colors that are less similar."},
        {"move 250 50\n", "When checked, the luminosity (brightness) of the original colors is "
                          "preserved.\n\rWhen unchecked, the luminosity is adjusted along with "
                          "the colors."},
        {away, "Use the left image to add another color adjustment.\n\rUse the right image to "
               "pick the desired color."},
        {"move 22 138\n", "Choose this tool to zoom in or out."},
        {"click 22 138\nwait 20\n" + away,
         "Click on either the left or the right image to zoom in.\n\rAlt-click to zoom out."},
        {"move 22 138\n",
         "Click on either the left or the right image to zoom in.\n\rAlt-click to zoom out."},
        {"move 150 175\n", "Click to zoom in.\n\rAlt-click to zoom out."},
        {"click 22 114\nwait 20\n" + away,
         "Drag either the left or the right image to display a different part."},
        {"move 470 175\n", "Use the mouse to drag the image around."},
    };
    std::string script = kSmall;
    for (size_t i = 0; i < std::size(steps); ++i)
        script += steps[i].script + "wait 30\nstate hint" + std::to_string(i) + ".json\n";
    const Outcome outcome = Edit(script + "click 540 52\n");
    ASSERT_EQ(outcome.status, 1) << outcome.error;
    for (size_t i = 0; i < std::size(steps); ++i) {
        EXPECT_EQ(HintText(State("hint" + std::to_string(i) + ".json")), steps[i].hint)
            << "step " << i << ": " << steps[i].script;
    }
}

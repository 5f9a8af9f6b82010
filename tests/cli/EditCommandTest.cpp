// quillon edit end to end: the real dialog of the real plug-in, driven by scripts on Qt's
// offscreen platform.
#include "DialogScript.h"
#include "EditPicture.h"
#include "QuillonRun.h"

#include "core/documents/ImageFiles.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

using namespace quillon::filterhost;
using nlohmann::json;
using namespace quillon::testing;
namespace fs = std::filesystem;

class EditCommandTest : public quillon::testing::QuillonTest {
  protected:
    void SetUp() override {
        QuillonTest::SetUp();
        WriteEditPicture(folder_ / "in.png");
    }

    // Runs quillon edit with the script and the further arguments.
    Outcome Edit(const std::string& script, const std::string& arguments = "") {
        std::ofstream(folder_ / "script.txt") << script;
        return Quillon("edit in.png out.png --script script.txt " + arguments);
    }

    // An action file holding one adjustment, recorded by quillon apply.
    void RecordAction(const std::string& file) {
        ASSERT_EQ(Quillon(std::string("apply in.png applied.png --colors '") + kAdjustment +
                          "' --record " + file)
                      .status,
                  0);
    }

    json State(const std::string& file) {
        std::ifstream in(folder_ / file);
        return json::parse(in);
    }

    json Recorded(const std::string& file) {
        std::ifstream in(folder_ / file);
        return json::parse(in)["descriptor"];
    }
};

json WithID(const json& state, int id) {
    for (const json& item : state["items"])
        if (item["id"] == id) return item;
    ADD_FAILURE() << "no item " << id;
    return json::object();
}

std::vector<int> Bounds(int left, int top, int right, int bottom) {
    return {left, top, right, bottom};
}

const json* Key(const json& descriptor, const std::string& key) {
    for (const json& item : descriptor)
        if (item["key"] == key) return &item;
    return nullptr;
}

constexpr const char* kFrame = "ADM Frame Type";
// The static texts in the order the dialog makes them: hint line, zoom labels, fuzziness label.
constexpr size_t kLeftZoomLabel = 1;
constexpr size_t kRightZoomLabel = 2;

TEST_F(EditCommandTest, LaysOutEveryItemForTheClientSize) {
    const Outcome outcome = Edit(std::string(kSmall) + "state small.json\nresize 1200 800\n" +
                                 "wait 50\nstate large.json\n");
    ASSERT_EQ(outcome.status, 1) << outcome.error;
    struct Case {
        const char* file;
        int width, height;
    };
    for (const Case& c : {Case{"small.json", 600, 300}, Case{"large.json", 1200, 800}}) {
        const json state = State(c.file);
        const int w = c.width, h = c.height, pane = (w - 126) / 2;
        EXPECT_EQ(state["width"], w);
        EXPECT_EQ(state["title"], "Nerrow Quillon");
        EXPECT_EQ(WithID(state, 1)["bounds"][0], w - 110) << c.file;
        EXPECT_EQ(WithID(state, 2)["bounds"][1], 40);
        EXPECT_EQ(WithID(state, 99)["bounds"][0], w - 220);
        EXPECT_EQ(Nth(state, kFrame, 0)["bounds"], Bounds(50, 80, 50 + pane, h - 30)) << c.file;
        EXPECT_EQ(Nth(state, kFrame, 1)["bounds"], Bounds(pane + 116, 80, w - 10, h - 30));
        EXPECT_EQ(Nth(state, kFrame, 2)["bounds"], Bounds(pane + 55, 80, pane + 111, h - 30));
        EXPECT_EQ(Nth(state, kFrame, 3)["bounds"], Bounds(10, 10, w - 385, 70));
        EXPECT_EQ(Nth(state, "ADM Slider Type", 0)["bounds"], Bounds(w - 300, 10, w - 156, 31));
        EXPECT_EQ(Nth(state, "ADM Text Edit Type", 0)["bounds"], Bounds(w - 151, 10, w - 121, 26));
        EXPECT_EQ(Nth(state, "ADM Text Check Box Type", 0)["bounds"],
                  Bounds(w - 365, 40, w - 225, 60));
        EXPECT_EQ(Nth(state, "ADM Popup Menu Type", 1)["bounds"],
                  Bounds(pane + 116, h - 29, pane + 130, h - 12));
        for (size_t k = 0; k < 3; ++k)
            EXPECT_EQ(Nth(state, "ADM Picture Push Button Type", k)["bounds"],
                      Bounds(10, 80 + 24 * int(k), 35, 100 + 24 * int(k)));
    }
    // 600 x 300: panes 237 wide and 190 high, the right one ending 10 pixels from the edge.
    const json small = State("small.json");
    EXPECT_EQ(Nth(small, kFrame, 0)["bounds"], Bounds(50, 80, 287, 270));
    EXPECT_EQ(Nth(small, kFrame, 1)["bounds"], Bounds(353, 80, 590, 270));
    EXPECT_EQ(WithID(small, 1)["bounds"][0], 490);
}

TEST_F(EditCommandTest, OpensFillingTheScreenWithZoomsThatNeverEnlarge) {
    ASSERT_EQ(Edit("state full.json\n").status, 1);
    const json state = State("full.json");
    // Qt's offscreen screen is 800 x 800, less 2 pixels on each side.
    EXPECT_EQ(state["width"], 796);
    EXPECT_EQ(state["height"], 796);
    // A 64 x 48 picture in a pane far bigger: fit, but at most 100%.
    EXPECT_EQ(Nth(state, kTextStatic, kLeftZoomLabel)["text"], "100.00%");
    const json menu = Nth(state, "ADM Popup Menu Type", 0);
    std::vector<std::string> labels;
    for (const json& entry : menu["entries"])
        labels.push_back(entry["separator"] ? "-" : entry["text"].get<std::string>());
    EXPECT_EQ(labels, (std::vector<std::string>{"6%", "12%", "25%", "33%", "50%", "66%", "-",
                                                "100%", "-", "200%", "300%", "-", "Actual Pixels",
                                                "Fit in View", "Fit on Screen"}));
    EXPECT_EQ(menu["entries"][14]["id"], 14);
}

TEST_F(EditCommandTest, ZoomKeysChangeTheLeftZoomOnly) {
    const Outcome outcome =
        Edit(std::string(kSmall) + "key = ctrl\nstate in.json\nkey - ctrl\nkey - ctrl\n" +
             "state out.json\nkey = shift\nstate same.json\n");
    ASSERT_EQ(outcome.status, 1) << outcome.error;
    // 64 x 48 at 600 x 300 starts at 100%; in goes to 200%, out twice to 66%; "=" without Ctrl
    // does nothing.
    EXPECT_EQ(Nth(State("in.json"), kTextStatic, kLeftZoomLabel)["text"], "200.00%");
    EXPECT_EQ(Nth(State("out.json"), kTextStatic, kLeftZoomLabel)["text"], "66.67%");
    EXPECT_EQ(Nth(State("same.json"), kTextStatic, kLeftZoomLabel)["text"], "66.67%");
    // The right zoom is not touched: the built-in chart, 256 x 384, fits at 186 / 384.
    EXPECT_EQ(Nth(State("out.json"), kTextStatic, kRightZoomLabel)["text"], "48.44%");
}

TEST_F(EditCommandTest, WheelAndShortcutsZoomAndSpaceLendsTheHand) {
    const Outcome outcome =
        Edit(std::string(kSmall) + "key = ctrl\nkey 0 ctrl\nstate fit.json\nkey 1 ctrl\n" +
             "state actual.json\nwheel 160 175 1\nstate wheel-in.json\nwheel 160 175 -2\n" +
             "state wheel-out.json\nwheel 470 175 1\nstate right.json\nmove 160 175\n" +
             "hold space\nstate space.json\nletgo space\nstate let-go.json\n");
    ASSERT_EQ(outcome.status, 1) << outcome.error;
    struct Case {
        const char* file;
        const char* left;
        const char* right;
    };
    // 64 x 48 in a 233-pixel-high pane: Fit in View is 233 / 64. The wheel takes the zoom
    // tool's steps, on the pane under the mouse.
    for (const Case& c :
         {Case{"fit.json", "364.06%", "48.44%"}, Case{"actual.json", "100.00%", "48.44%"},
          Case{"wheel-in.json", "200.00%", "48.44%"}, Case{"wheel-out.json", "66.67%", "48.44%"},
          Case{"right.json", "66.67%", "50.00%"}}) {
        const json state = State(c.file);
        EXPECT_EQ(Nth(state, kTextStatic, kLeftZoomLabel)["text"], c.left) << c.file;
        EXPECT_EQ(Nth(state, kTextStatic, kRightZoomLabel)["text"], c.right) << c.file;
    }
    EXPECT_EQ(Nth(State("space.json"), kFrame, 0)["cursor"], "Photoshop Cursor Hand");
    EXPECT_EQ(Nth(State("let-go.json"), kFrame, 0)["cursor"], "Photoshop Cursor Eyedropper");
}

// A picture larger than its pane: the wheel keeps the point under the mouse where it is, so a
// pick there after zooming lands on the pixel it would have before.
TEST_F(EditCommandTest, TheWheelZoomsAboutThePointUnderTheMouse) {
    Document d = MakeDocument(ColorMode::RGB, 8, 640, 480);
    for (int32_t y = 0; y < d.height; ++y)
        for (int32_t x = 0; x < d.width; ++x) {
            d.At(0, x, y) = uint16_t(x * 255 / 639);
            d.At(1, x, y) = uint16_t(y * 255 / 479);
            d.At(2, x, y) = 128;
        }
    WriteImageFile(d, FileFormat::Png, folder_ / "big.png");
    const std::string pick = "click 100 120\nwait 20\n" + std::string(kClickSample) + kClickOK;
    auto pickedAt = [&](const std::string& before, const std::string& record) {
        std::ofstream(folder_ / "script.txt") << kSmall << before << pick;
        const Outcome outcome =
            Quillon("edit big.png out.png --script script.txt --record " + record);
        EXPECT_EQ(outcome.status, 0) << outcome.error;
        // "Lab[L,a,b][x,y]:..." : the document position follows the original.
        const json recorded = Recorded(record);
        const json* text = Key(recorded, "smpl");
        if (!text) {
            ADD_FAILURE() << "no Colors text in " << record;
            return std::pair{-1, -1};
        }
        const std::string colors = (*text)["value"];
        int x = -1, y = -1;
        const size_t at = colors.find("][");
        EXPECT_EQ(std::sscanf(colors.c_str() + at, "][%d,%d]", &x, &y), 2) << colors;
        return std::pair{x, y};
    };
    const auto [x0, y0] = pickedAt("", "plain.json");
    const auto [x1, y1] = pickedAt("wheel 100 120 1\n", "zoomed.json");
    EXPECT_NEAR(x1, x0, 2);
    EXPECT_NEAR(y1, y0, 2);
}

TEST_F(EditCommandTest, TheZoomMenuChoosesALevelAndChecksTheCurrentOne) {
    // The menu drops below its button; its first entry is 6%.
    const Outcome outcome =
        Edit(std::string(kSmall) + "state fit.json\nclick 57 279\nwait 50\n" +
             "click 110 297\nwait 50\nstate chosen.json\nkey = ctrl\n" + "state stepped.json\n");
    ASSERT_EQ(outcome.status, 1) << outcome.error;
    struct Case {
        const char* file;
        json chosen;
        const char* label;
    };
    for (const Case& c : {Case{"fit.json", nullptr, "100.00%"}, Case{"chosen.json", "6%", "6.25%"},
                          Case{"stepped.json", "12%", "12.50%"}}) {
        const json state = State(c.file);
        EXPECT_EQ(Nth(state, "ADM Popup Menu Type", 0)["chosen"], c.chosen) << c.file;
        EXPECT_EQ(Nth(state, kTextStatic, kLeftZoomLabel)["text"], c.label) << c.file;
    }
}

TEST_F(EditCommandTest, FuzzinessControlsFollowTheTable) {
    ASSERT_EQ(Edit(std::string(kSmall) + "state plain.json\n").status, 1);
    const json plain = State("plain.json");
    EXPECT_EQ(Nth(plain, "ADM Text Edit Type", 0)["text"], "5");
    EXPECT_NEAR(Nth(plain, "ADM Slider Type", 0)["value"].get<double>(), 50.0, 1e-3);
    for (const char* type : {"ADM Slider Type", "ADM Text Edit Type", "ADM Text Check Box Type"})
        EXPECT_FALSE(Nth(plain, type, 0)["enabled"]) << type << " without an adjustment";

    RecordAction("one.json");
    ASSERT_EQ(Edit(std::string(kSmall) + "state adjusting.json\n", "--action one.json").status, 1);
    const json adjusting = State("adjusting.json");
    for (const char* type : {"ADM Slider Type", "ADM Text Edit Type", "ADM Text Check Box Type"})
        EXPECT_TRUE(Nth(adjusting, type, 0)["enabled"]) << type << " with an adjustment";
}

TEST_F(EditCommandTest, TheSliderSetsFuzzinessFromNothingToAll) {
    RecordAction("one.json");
    struct Case {
        int x;
        double recorded; // on the user scale 1 to 10
    };
    for (const Case& c : {Case{200, 1.0}, Case{560, 10.0}}) {
        const Outcome outcome =
            Edit(std::string(kSmall) + "press 364 20\ndrag " + std::to_string(c.x) +
                     " 20\nrelease " + std::to_string(c.x) + " 20\nstate s.json\n" + kClickOK,
                 "--action one.json --record done.json");
        ASSERT_EQ(outcome.status, 0) << outcome.error;
        const json state = State("s.json");
        EXPECT_NEAR(Nth(state, "ADM Slider Type", 0)["value"].get<double>(), c.recorded * 10, 1e-3);
        EXPECT_EQ(Nth(state, "ADM Text Edit Type", 0)["text"], std::to_string(int(c.recorded)));
        const json recorded = Recorded("done.json");
        const json* fuzziness = Key(recorded, "Fzns");
        ASSERT_TRUE(fuzziness);
        EXPECT_DOUBLE_EQ((*fuzziness)["value"].get<double>(), c.recorded);
    }
}

TEST_F(EditCommandTest, TheEditBoxMovesTheSlider) {
    RecordAction("one.json");
    const Outcome outcome =
        Edit(std::string(kSmall) + "click 464 18\nkey a ctrl\ntype 8\nkey tab\nstate s.json\n" +
                 kClickOK,
             "--action one.json --record done.json");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_NEAR(Nth(State("s.json"), "ADM Slider Type", 0)["value"].get<double>(), 80.0, 1e-3);
    const json recorded = Recorded("done.json");
    ASSERT_TRUE(Key(recorded, "Fzns"));
    EXPECT_DOUBLE_EQ((*Key(recorded, "Fzns"))["value"].get<double>(), 8.0);
}

// Enter in the box applies the typed value as one edit and leaves the dialog open: OK then
// writes what the preview showed. With the focus elsewhere Enter presses OK.
TEST_F(EditCommandTest, EnterInTheEditBoxAppliesTheValueAndKeepsTheDialogOpen) {
    const std::string colors = std::string("--colors '") + kAdjustment + "'";
    ASSERT_EQ(Quillon("apply in.png at2.png --fuzziness 2 " + colors).status, 0);
    const Outcome outcome =
        Edit(std::string(kSmall) + "click 464 18\nkey a ctrl\ntype 2\nkey enter\nstate s.json\n" +
                 "key z ctrl\nstate undone.json\nkey y ctrl\n" + kClickOK,
             colors + " --record done.json");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_NEAR(Nth(State("s.json"), "ADM Slider Type", 0)["value"].get<double>(), 20.0, 1e-3);
    EXPECT_NEAR(Nth(State("undone.json"), "ADM Slider Type", 0)["value"].get<double>(), 50.0, 1e-3);
    ASSERT_TRUE(Key(Recorded("done.json"), "Fzns"));
    EXPECT_DOUBLE_EQ((*Key(Recorded("done.json"), "Fzns"))["value"].get<double>(), 2.0);
    EXPECT_EQ(ReadImageFile(folder_ / "out.png").document.planes,
              ReadImageFile(folder_ / "at2.png").document.planes);

    fs::remove(folder_ / "out.png");
    const Outcome elsewhere = Edit(std::string(kSmall) + kClickLuminosity + "key enter\n");
    ASSERT_EQ(elsewhere.status, 0) << elsewhere.error;
    EXPECT_TRUE(fs::exists(folder_ / "out.png"));
}

TEST_F(EditCommandTest, UndoAndRedoRestoreFuzzinessAndLuminosity) {
    RecordAction("one.json");
    const Outcome outcome =
        Edit(std::string(kSmall) + "click 464 18\nkey a ctrl\ntype 8\nkey tab\nclick 245 50\n" +
                 "state edited.json\nkey z ctrl\nstate lum-undone.json\nkey z ctrl\n" +
                 "state fuzz-undone.json\nkey z ctrl\nkey y ctrl\nstate fuzz-redone.json\n" +
                 "key z ctrl+shift\nstate lum-redone.json\nkey z ctrl+alt\nstate ignored.json\n" +
                 kClickOK,
             "--action one.json --record done.json");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    struct Case {
        const char* file;
        double slider;
        bool luminosity;
    };
    const bool start = Nth(State("fuzz-undone.json"), "ADM Text Check Box Type", 0)["value"];
    for (const Case& c : {Case{"edited.json", 80, !start}, Case{"lum-undone.json", 80, start},
                          Case{"fuzz-undone.json", 50, start}, Case{"fuzz-redone.json", 80, start},
                          Case{"lum-redone.json", 80, !start}, Case{"ignored.json", 80, !start}}) {
        const json state = State(c.file);
        EXPECT_NEAR(Nth(state, "ADM Slider Type", 0)["value"].get<double>(), c.slider, 1e-3)
            << c.file;
        EXPECT_EQ(Nth(state, "ADM Text Check Box Type", 0)["value"], c.luminosity) << c.file;
    }
    const json recorded = Recorded("done.json");
    ASSERT_TRUE(Key(recorded, "PrsL"));
    EXPECT_EQ((*Key(recorded, "PrsL"))["value"], !start);
}

TEST_F(EditCommandTest, ACommitThatChangesNothingIsNoEditToUndo) {
    RecordAction("one.json");
    // Luminosity toggled, then the fuzziness it had typed again: undo takes back the toggle.
    const Outcome outcome =
        Edit(std::string(kSmall) + "state before.json\nclick 245 50\n" +
                 "click 464 18\nkey a ctrl\ntype 5\nkey tab\nkey z ctrl\n" + "state undone.json\n",
             "--action one.json");
    ASSERT_EQ(outcome.status, 1) << outcome.error;
    EXPECT_EQ(Nth(State("undone.json"), "ADM Text Check Box Type", 0)["value"],
              Nth(State("before.json"), "ADM Text Check Box Type", 0)["value"]);
}

TEST_F(EditCommandTest, TheHintLineExplainsTheItemUnderTheMouse) {
    const Outcome outcome = Edit(std::string(kSmall) +
                                 "move 540 52\nstate cancel.json\nmove 22 114\nstate hand.json\n" +
                                 "move 22 90\nstate pressed.json\nmove 300 290\nstate away.json\n");
    ASSERT_EQ(outcome.status, 1) << outcome.error;
    struct Case {
        const char* file;
        const char* hint;
    };
    for (const Case& c :
         {Case{"cancel.json", "Click Cancel to quit.\n\rAlt-Cancel resets parameters."},
          Case{"hand.json", "Choose this tool to display a different part of the image."},
          // The pressed tool's button, and the dialog's background: what the tool does.
          Case{"pressed.json", "Select a color that needs to be adjusted in the left image."},
          Case{"away.json", "Select a color that needs to be adjusted in the left image."}})
        EXPECT_EQ(HintText(State(c.file)), c.hint) << c.file;
}

// Every hint shows whole, at the smallest size the dialog allows and at the size it opens at
// (Qt's offscreen screen, 796 x 796 inside): the mouse over each part of the dialog, with an
// adjustment selected so that the picture's four-line hint is among them.
TEST_F(EditCommandTest, EveryHintFitsTheHintArea) {
    struct Size {
        const char* resize;
        std::vector<std::pair<int, int>> points; // the picture first
    };
    const Size sizes[] = {{"resize 600 300\nwait 50\n",
                           {{145, 175},
                            {470, 175},
                            {320, 95},
                            {370, 20},
                            {464, 18},
                            {22, 90},
                            {22, 114},
                            {22, 138},
                            {540, 52},
                            {430, 52},
                            {540, 22},
                            {260, 45},
                            {300, 290}}},
                          {"wait 50\n",
                           {{217, 400},
                            {618, 400},
                            {418, 95},
                            {560, 20},
                            {660, 18},
                            {22, 90},
                            {22, 114},
                            {22, 138},
                            {740, 52},
                            {626, 52},
                            {740, 22},
                            {456, 45},
                            {400, 790}}}};
    for (const Size& size : sizes) {
        std::string script = size.resize;
        for (size_t i = 0; i < size.points.size(); ++i)
            script += "move " + std::to_string(size.points[i].first) + " " +
                      std::to_string(size.points[i].second) + "\nwait 20\nstate p" +
                      std::to_string(i) + ".json\n";
        const Outcome outcome = Edit(script, std::string("--colors '") + kAdjustment + "'");
        ASSERT_EQ(outcome.status, 1) << outcome.error;
        EXPECT_EQ(HintText(State("p0.json")).rfind("Click to select another color", 0), 0u)
            << size.resize;
        for (size_t i = 0; i < size.points.size(); ++i) {
            const json state = State("p" + std::to_string(i) + ".json");
            for (const json& item : state["items"]) {
                if (item["type"] == kTextStatic) {
                    EXPECT_TRUE(item["fits"].get<bool>())
                        << size.resize << " point " << i << ": " << item["text"];
                }
            }
        }
    }
}

// M held shows what moves: the grey the adjustment turns red moves far and shows red; a colour
// it leaves shows as a dim grey. Let go, the preview is back.
TEST_F(EditCommandTest, HoldingMShowsWhatTheAdjustmentsMove) {
    const Outcome outcome =
        Edit(std::string(kSmall) + "screenshot live.png\nhold m\nscreenshot moves.png\n" +
                 "letgo m\nscreenshot back.png\n",
             std::string("--colors '") + kAdjustment + "'");
    ASSERT_EQ(outcome.status, 1) << outcome.error;
    const Document live = ReadImageFile(folder_ / "live.png").document;
    const Document moves = ReadImageFile(folder_ / "moves.png").document;
    auto rgb = [](const Document& d, int32_t x, int32_t y) {
        return std::vector<int>{d.At(0, x, y), d.At(1, x, y), d.At(2, x, y)};
    };
    const std::vector<int> moved = rgb(moves, 140, 175);
    EXPECT_GT(moved[0], 200);
    EXPECT_LT(moved[1], 60);
    EXPECT_LT(moved[2], 60);
    const std::vector<int> kept = rgb(moves, 165, 160);
    EXPECT_EQ(kept[0], kept[1]);
    EXPECT_EQ(kept[1], kept[2]);
    EXPECT_LT(kept[0], 130);
    EXPECT_NE(rgb(live, 165, 160), kept);
    EXPECT_EQ(ReadImageFile(folder_ / "back.png").document.planes, live.planes);
}

// The preview keeps the document it read for the view between draws: after an edit, an undo
// and a zoom it shows exactly what a dialog opened with those settings shows at its first draw.
TEST_F(EditCommandTest, ThePreviewAfterAnEditIsWhatAFreshOpeningShows) {
    const std::string colors = std::string("--colors '") + kAdjustment + "'";
    const std::string typeTwo = "click 464 18\nkey a ctrl\ntype 2\nkey tab\nwait 50\n";
    const Outcome edited =
        Edit(std::string(kSmall) + "screenshot five.png\n" + typeTwo + "screenshot two.png\n" +
                 "key z ctrl\nwait 50\nscreenshot undone.png\nkey y ctrl\nkey = ctrl\n" +
                 "wait 50\nscreenshot zoomed.png\n",
             colors);
    ASSERT_EQ(edited.status, 1) << edited.error;
    ASSERT_EQ(Edit(std::string(kSmall) + "screenshot fresh-two.png\nkey = ctrl\nwait 50\n" +
                       "screenshot fresh-zoomed.png\n",
                   colors + " --fuzziness 2")
                  .status,
              1);
    // The left pane's frame in a 600 x 300 dialog.
    auto pane = [&](const char* file) {
        const Document d = ReadImageFile(folder_ / file).document;
        std::vector<uint16_t> samples;
        for (int c = 0; c < 3; ++c)
            for (int32_t y = 80; y < 270; ++y)
                for (int32_t x = 50; x < 287; ++x)
                    samples.push_back(d.At(c, x, y));
        return samples;
    };
    struct Case {
        const char* shown;
        const char* fresh;
    };
    for (const Case& c : {Case{"two.png", "fresh-two.png"}, Case{"undone.png", "five.png"},
                          Case{"zoomed.png", "fresh-zoomed.png"}})
        EXPECT_EQ(pane(c.shown), pane(c.fresh)) << c.shown;
    EXPECT_NE(pane("two.png"), pane("five.png")) << "the fuzziness shows in the preview";
}

TEST_F(EditCommandTest, AltRelabelsTheButtonsWhileHeld) {
    const Outcome outcome =
        Edit(std::string(kSmall) + "hold alt\nstate down.json\nletgo alt\n" + "state up.json\n");
    ASSERT_EQ(outcome.status, 1) << outcome.error;
    EXPECT_EQ(WithID(State("down.json"), 2)["text"], "Reset");
    EXPECT_EQ(WithID(State("down.json"), 99)["text"], "Close Sample");
    EXPECT_EQ(WithID(State("up.json"), 2)["text"], "Cancel");
    EXPECT_EQ(WithID(State("up.json"), 99)["text"], "Open Sample");
}

TEST_F(EditCommandTest, AltCancelEmptiesTheTableAndKeepsTheDialogOpen) {
    RecordAction("one.json");
    const Outcome outcome = Edit(std::string(kSmall) + "hold alt\n" + kClickCancel +
                                     "letgo alt\nstate reset.json\n" + kClickOK,
                                 "--action one.json --record done.json");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_FALSE(Nth(State("reset.json"), "ADM Slider Type", 0)["enabled"]);
    const json recorded = Recorded("done.json");
    EXPECT_FALSE(Key(recorded, "smpl")) << recorded.dump();
    ASSERT_TRUE(Key(recorded, "Fzns"));
    EXPECT_DOUBLE_EQ((*Key(recorded, "Fzns"))["value"].get<double>(), 5.0);
    // Nothing adjusted: the picture comes back as it was.
    EXPECT_EQ(ReadImageFile(folder_ / "out.png").document.planes,
              ReadImageFile(folder_ / "in.png").document.planes);
}

// The reset is one step of the history: undo brings every adjustment back, redo empties the
// table again.
TEST_F(EditCommandTest, UndoTakesBackAReset) {
    RecordAction("one.json");
    const Outcome outcome =
        Edit(std::string(kSmall) + "hold alt\n" + kClickCancel +
                 "letgo alt\nstate reset.json\nkey z ctrl\nstate undone.json\nkey y ctrl\n" +
                 "state redone.json\nkey z ctrl\n" + kClickOK,
             "--action one.json --record done.json");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_FALSE(Nth(State("reset.json"), "ADM Slider Type", 0)["enabled"]);
    EXPECT_TRUE(Nth(State("undone.json"), "ADM Slider Type", 0)["enabled"]);
    EXPECT_FALSE(Nth(State("redone.json"), "ADM Slider Type", 0)["enabled"]);
    EXPECT_TRUE(Key(Recorded("done.json"), "smpl"));
    EXPECT_EQ(ReadImageFile(folder_ / "out.png").document.planes,
              ReadImageFile(folder_ / "applied.png").document.planes);
}

TEST_F(EditCommandTest, CancelEscapeAndClosingWriteNothing) {
    RecordAction("one.json");
    const auto settingsBefore = fs::last_write_time(folder_ / kSettings);
    for (const std::string& script : {std::string(kSmall) + kClickCancel,
                                      std::string(kSmall) + "key escape\n", std::string()}) {
        const Outcome outcome = Edit(script, "--action one.json --record done.json");
        EXPECT_EQ(outcome.status, 1) << script;
        EXPECT_NE(outcome.error.find("cancelled; out.png not written"), std::string::npos)
            << script << ": " << outcome.error;
        EXPECT_FALSE(fs::exists(folder_ / "out.png")) << script;
        EXPECT_FALSE(fs::exists(folder_ / "done.json")) << script;
        EXPECT_EQ(fs::last_write_time(folder_ / kSettings), settingsBefore) << script;
    }
}

TEST_F(EditCommandTest, OkWithoutAdjustmentLeavesEveryPixel) {
    const Outcome outcome = Edit(std::string(kSmall) + kClickOK);
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_EQ(ReadImageFile(folder_ / "out.png").document.planes,
              ReadImageFile(folder_ / "in.png").document.planes);
    EXPECT_TRUE(fs::exists(folder_ / kSettings));
}

TEST_F(EditCommandTest, OkAfterAnActionGivesWhatApplyGives) {
    RecordAction("one.json");
    ASSERT_EQ(Quillon("apply in.png applied-again.png --action one.json").status, 0);
    const Outcome outcome = Edit(std::string(kSmall) + kClickOK, "--action one.json");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    const Document edited = ReadImageFile(folder_ / "out.png").document;
    EXPECT_EQ(edited.planes, ReadImageFile(folder_ / "applied-again.png").document.planes);
    EXPECT_NE(edited.planes, ReadImageFile(folder_ / "in.png").document.planes);
    // --last starts from what OK left: the same again.
    fs::remove(folder_ / "out.png");
    ASSERT_EQ(Edit(std::string(kSmall) + "state last.json\n" + kClickOK, "--last").status, 0);
    EXPECT_TRUE(Nth(State("last.json"), "ADM Slider Type", 0)["enabled"]);
    EXPECT_EQ(ReadImageFile(folder_ / "out.png").document.planes, edited.planes);
}

TEST_F(EditCommandTest, FilterOptionsAreTheDialogsStartingState) {
    const std::string options = std::string("--colors '") + kAdjustment + "' --fuzziness 3";
    ASSERT_EQ(Quillon("apply in.png applied.png " + options).status, 0);
    const Outcome outcome = Edit(std::string(kSmall) + "state start.json\n" + kClickOK, options);
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    const json start = State("start.json");
    EXPECT_TRUE(Nth(start, "ADM Slider Type", 0)["enabled"]);
    EXPECT_NEAR(Nth(start, "ADM Slider Type", 0)["value"].get<double>(), 30.0, 1e-3);
    EXPECT_EQ(ReadImageFile(folder_ / "out.png").document.planes,
              ReadImageFile(folder_ / "applied.png").document.planes);
}

TEST_F(EditCommandTest, TheHoverTimerSeesAltWithoutAMouseMove) {
    // The zoom tool, the mouse resting on the left pane: Alt turns the cursor to zoom out.
    const Outcome outcome =
        Edit(std::string(kSmall) + "click 22 138\nmove 150 170\nwait 120\nstate in.json\n" +
             "hold alt\nwait 120\nstate out.json\nletgo alt\nwait 120\nstate back.json\n");
    ASSERT_EQ(outcome.status, 1) << outcome.error;
    EXPECT_EQ(Nth(State("in.json"), kFrame, 0)["cursor"], "Photoshop Cursor Zoom In");
    EXPECT_EQ(Nth(State("out.json"), kFrame, 0)["cursor"], "Photoshop Cursor Zoom Out");
    EXPECT_EQ(Nth(State("back.json"), kFrame, 0)["cursor"], "Photoshop Cursor Zoom In");
}

TEST_F(EditCommandTest, BadInputFailsBeforeTheDialogOpens) {
    std::ofstream(folder_ / "notes.txt") << "not a picture";
    std::ofstream(folder_ / "broken.json") << "{\"format\": \"quillon-action\", \"version\": 1, ";
    std::ofstream(folder_ / "ok.txt") << "state opened.json\n";
    const Document page = ReadImageFile(folder_ / "in.png").document;
    WriteImageFile({&page, &page}, FileFormat::Tiff, folder_ / "pages.tif");
    struct Case {
        std::string arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"edit missing.png out.png --script ok.txt", 1, "missing.png: no such file"},
        {"edit notes.txt out.png --script ok.txt", 1,
         "not a PNG, JPEG, TIFF, WebP, HEIF or AVIF file"},
        {"edit in.png nowhere/out.png --script ok.txt", 1, "cannot write"},
        {"edit in.png out.png --action broken.json --script ok.txt", 1, "malformed action file"},
        {"edit in.png out.png --last --script ok.txt", 1, "no settings from an earlier use"},
        {"edit in.png out.png --script notes.txt", 2, "notes.txt: line 1: unknown command 'not'"},
        {"edit pages.tif out.tif --script ok.txt", 1, "pages.tif has 2 pages and edit shows one"},
        {"edit in.png out.png --max-pixels 100 --script ok.txt", 1, "picture too large (64 x 48)"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Quillon(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments;
        EXPECT_NE(outcome.error.find(c.message), std::string::npos)
            << c.arguments << ": " << outcome.error;
        EXPECT_EQ(std::count(outcome.error.begin(), outcome.error.end(), '\n'), 1) << outcome.error;
        EXPECT_FALSE(fs::exists(folder_ / "opened.json")) << c.arguments;
        EXPECT_FALSE(fs::exists(folder_ / "out.png")) << c.arguments;
    }
}

} // namespace

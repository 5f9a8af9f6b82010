// The swatch strip and undo and redo in quillon edit: selecting, paging, removing and recolouring
// adjustments, driven by scripts on Qt's offscreen platform and read back from the recorded
// action, the written picture and screenshots.
#include "DialogScript.h"
#include "PickingPictures.h"

#include "core/documents/ImageFiles.h"
#include "core/suites/ColorServices.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace quillon::filterhost;
using nlohmann::json;
using namespace quillon::testing;

// Where the strip is at 600 x 300: 56 x 190 at client (292, 80), 9 rows of 18 pixels, its page
// buttons in the bottom 19 pixels.
constexpr const char* kPrevious = "click 305 260\nwait 20\n";
constexpr const char* kNext = "click 335 260\nwait 20\n";
constexpr int kStripLeft = 292, kStripTop = 80, kRowsPerPage = 9;
constexpr int kPaneRgb[3] = {0xec, 0xee, 0xf1};
constexpr int kHighlightRgb[3] = {0x2f, 0x6f, 0xd6};

int RowCentre(int row) {
    return kStripTop + 18 * row + 11;
}

// A click on a row's original swatch, and on the wastebasket beside the selected row.
std::string ClickRow(int row) {
    return "click " + std::to_string(kStripLeft + 9) + " " + std::to_string(RowCentre(row)) +
           "\nwait 20\n";
}
std::string ClickWastebasket(int row) {
    return "click " + std::to_string(kStripLeft + 45) + " " + std::to_string(RowCentre(row)) +
           "\nwait 20\n";
}

std::string Lab(int l, int a, int b) {
    return "Lab[" + std::to_string(l) + "," + std::to_string(a) + "," + std::to_string(b) + "]";
}

// n different adjustments as "Colors" items; every seventh from the second on is locked.
std::vector<std::string> Adjustments(int n, const std::string& positions = "") {
    std::vector<std::string> items;
    for (int i = 0; i < n; ++i) {
        const int l = 6000 + (i * 997) % 22000;
        const int a = 8384 + (i * 3001) % 16000;
        const int b = 8384 + (i * 7919) % 16000;
        std::string item = Lab(l, a, b) + positions;
        if (i % 7 != 1) item += ":" + Lab(32768 - l, 32768 - a, b) + positions;
        items.push_back(item + " ");
    }
    return items;
}

std::vector<std::string> Without(std::vector<std::string> items, std::initializer_list<int> gone) {
    for (auto k = std::rbegin(gone); k != std::rend(gone); ++k)
        items.erase(items.begin() + *k);
    return items;
}

// The 8-bit value of a 16-bit one, and back, as the host's colour services convert them.
int Narrow(int v) {
    return (v * 255 + 16384) / 32768;
}
int Widen(int v) {
    return int(std::lround(v * 32768.0 / 255.0));
}

class SwatchStripTest : public quillon::testing::PickingPicturesTest {
  protected:
    // An action file with these adjustments and Preserve Luminosity off.
    void WriteAction(const std::vector<std::string>& items) {
        std::string colors;
        for (const std::string& item : items)
            colors += item;
        const json action = {{"format", "quillon-action"},
                             {"version", 1},
                             {"name", "Quillon..."},
                             {"plugin", "d9347b0c-3c91-71d4-47bc-00b0d0f04936"},
                             {"descriptor",
                              {{{"key", "PrsL"}, {"type", "bool"}, {"value", false}},
                               {{"key", "Fzns"}, {"type", "doub"}, {"value", 5.0}},
                               {{"key", "smpl"}, {"type", "TEXT"}, {"value", colors}}}}};
        std::ofstream(folder_ / "action.json") << action.dump();
    }

    // Runs the script on the action's adjustments and confirms with OK; the recorded action.
    json EditAction(const std::string& script) {
        const Outcome outcome = Edit(std::string(kSmall) + script + kClickOK,
                                     "--action action.json --record done.json");
        EXPECT_EQ(outcome.status, 0) << outcome.error;
        std::ifstream in(folder_ / "done.json");
        return json::parse(in)["descriptor"];
    }

    // The adjustments the edit left, as "Colors" items.
    std::vector<std::string> EditedItems(const std::string& script) {
        for (const json& item : EditAction(script))
            if (item["key"] == "smpl") {
                std::vector<std::string> items;
                std::istringstream words(item["value"].get<std::string>());
                for (std::string word; words >> word;)
                    items.push_back(word + " ");
                return items;
            }
        ADD_FAILURE() << "no colors recorded";
        return {};
    }

    Document Picture(const std::string& file) { return ReadImageFile(folder_ / file).document; }
};

// --- undo and redo --------------------------------------------------------------------------

TEST_F(SwatchStripTest, UndoTakesBackBothPicksAndRedoBringsThemBack) {
    const std::string picks =
        std::string(kSmall) + OpenSample("blue.png") + kClickRed + kClickSample;
    ASSERT_EQ(Edit(picks + kClickOK).status, 0);
    const Document in = Picture("in.png");
    const Document edited = Picture("out.png");
    // The red half took the sample's blue.
    ASSERT_GT(edited.At(2, 5, 5), 128);

    struct Case {
        const char* keys;
        bool asEdited; // else as the input
    };
    for (const Case& c :
         {Case{"key z ctrl\nkey z ctrl\n", false},
          Case{"key z ctrl\nkey z ctrl\nkey z ctrl\n", false},
          Case{"key z ctrl\nkey z ctrl\nkey y ctrl\nkey y ctrl\n", true},
          Case{"key z ctrl\nkey z ctrl\nkey z ctrl+shift\nkey z ctrl+shift\n", true},
          // Redo has nothing to do after a new edit.
          Case{"key z ctrl\nkey z ctrl\nclick 185 175\nwait 20\nkey y ctrl\n"
               "key y ctrl\n",
               false}}) {
        // Fresh: the first run's picks would otherwise be kept from the start.
        const Outcome outcome = Edit(picks + c.keys + "wait 20\n" + kClickOK, "--fresh");
        ASSERT_EQ(outcome.status, 0) << c.keys << outcome.error;
        EXPECT_EQ(Picture("out.png").planes, (c.asEdited ? edited : in).planes) << c.keys;
    }
}

// The document pane's mark shows where the selected adjustment was picked; undo and redo move
// the selection and the mark with it.
TEST_F(SwatchStripTest, UndoAndRedoMoveTheMarkWithTheSelection) {
    const Outcome outcome =
        Edit(std::string(kSmall) + kClickRed + "click 185 160\nwait 20\n" +
             "move 590 290\nwait 20\nscreenshot two.png\nkey z ctrl\n" +
             "wait 20\nscreenshot undone.png\nkey y ctrl\nwait 20\n" + "screenshot redone.png\n");
    ASSERT_EQ(outcome.status, 1) << outcome.error;
    // Each half of the document is one colour: a square around a picked point that is not of
    // one colour holds the mark.
    auto marked = [this](const std::string& file, int cx, int cy) {
        const Document shot = Picture(file);
        for (int y = cy - 6; y <= cy + 6; ++y)
            for (int x = cx - 6; x <= cx + 6; ++x)
                for (int c = 0; c < 3; ++c)
                    if (shot.At(c, x, y) != shot.At(c, cx - 6, cy - 6)) return true;
        return false;
    };
    struct Case {
        const char* file;
        bool atRed, atGreen;
    };
    for (const Case& c : {Case{"two.png", false, true}, Case{"undone.png", true, false},
                          Case{"redone.png", false, true}}) {
        EXPECT_EQ(marked(c.file, 145, 175), c.atRed) << c.file;
        EXPECT_EQ(marked(c.file, 185, 160), c.atGreen) << c.file;
    }
}

// --- removing -------------------------------------------------------------------------------

TEST_F(SwatchStripTest, TheWastebasketRemovesTheSelectedAdjustmentAndUndoPutsItBack) {
    const std::vector<std::string> items = Adjustments(3);
    WriteAction(items);
    ASSERT_EQ(EditedItems(""), items);
    struct Case {
        const char* name;
        std::string script;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {"remove the second", ClickRow(1) + ClickWastebasket(1), Without(items, {1})},
        {"remove, undo", ClickRow(1) + ClickWastebasket(1) + "key z ctrl\n", items},
        {"remove, undo, redo", ClickRow(1) + ClickWastebasket(1) + "key z ctrl\nkey y ctrl\n",
         Without(items, {1})},
        // The next record moves into the removed one's row and is selected: a second click
        // removes it too.
        {"twice on the first row", ClickWastebasket(0) + ClickWastebasket(0),
         Without(items, {0, 1})},
        // Removing the last row selects the one above; the wastebasket went with it, so a second
        // click where it was removes nothing.
        {"twice on the last row", ClickRow(2) + ClickWastebasket(2) + ClickWastebasket(2),
         Without(items, {2})},
        {"a row that is not selected has no wastebasket", ClickWastebasket(1), items},
        {"remove all, undo all",
         ClickWastebasket(0) + ClickWastebasket(0) + ClickWastebasket(0) +
             "key z ctrl\nkey z ctrl\nkey z ctrl\n",
         items},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EditedItems(c.script), c.left) << c.name;
}

// --- paging ---------------------------------------------------------------------------------

// 30 adjustments, the first selected: pages of 9 start at the 1st, 10th, 19th and 28th. Which
// one each sequence selects shows in which one the wastebasket removes.
TEST_F(SwatchStripTest, PageButtonsSelectTheNeighbouringPages) {
    const std::vector<std::string> items = Adjustments(30);
    WriteAction(items);
    ASSERT_EQ(EditedItems(""), items);
    struct Case {
        const char* name;
        std::string script;
        int removed;
    };
    const Case cases[] = {
        {"next selects the first of the next page", kNext + ClickWastebasket(0), kRowsPerPage},
        {"previous selects the last of the previous page",
         std::string(kNext) + kNext + kPrevious + ClickWastebasket(8), 17},
        {"back to the first page", std::string(kNext) + kPrevious + ClickWastebasket(8), 8},
        {"the last page", std::string(kNext) + kNext + kNext + ClickWastebasket(0), 27},
        {"no next page after the last",
         std::string(kNext) + kNext + kNext + kNext + ClickWastebasket(0), 27},
        {"no previous page before the first", kPrevious + ClickWastebasket(0), 0},
        {"a click below the rows keeps the selection",
         ClickRow(3) + "click 300 245\nwait 20\n" + ClickWastebasket(3), 3},
        {"a click on a row of the second page", kNext + ClickRow(4) + ClickWastebasket(4), 13},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EditedItems(c.script), Without(items, {c.removed})) << c.name;
}

// --- the colour picker ----------------------------------------------------------------------

TEST_F(SwatchStripTest, ADoubleClickChoosesTheTargetWithTheColourPicker) {
    // The picker shows L in whole percent, so only an 8-bit L that is a whole percent comes back
    // unchanged from a picker confirmed as it opened: 16384 is 128 of 255, 50 %.
    const std::vector<std::string> items = {
        Lab(12000, 20000, 12000) + ":" + Lab(16384, 22000, 10000) + " ",
        Lab(20000, 10000, 20000) + " ", // locked
        Lab(26000, 16384, 24000) + ":" + Lab(24000, 12000, 26000) + " "};
    WriteAction(items);
    ASSERT_EQ(EditedItems(""), items);
    // The picker shows the target at 8 bits in Lab; L typed as 30 of 100 is 77 of 255, 50 is
    // 128. The new target is the picked colour widened back, a and b as the picker showed them.
    const std::string typed30 = "type 30\nkey enter\nwait 20\n";
    const std::string typed = "type 50\nkey enter\nwait 20\n";
    const std::string firstPicked = Lab(12000, 20000, 12000) + ":" +
                                    Lab(Widen(77), Widen(Narrow(22000)), Widen(Narrow(10000))) +
                                    " ";
    const std::string lockedPicked = Lab(20000, 10000, 20000) + ":" +
                                     Lab(Widen(128), Widen(Narrow(10000)), Widen(Narrow(20000))) +
                                     " ";
    auto doubleClick = [](int row) {
        return "dblclick " + std::to_string(kStripLeft + 26) + " " +
               std::to_string(RowCentre(row)) + "\n";
    };
    struct Case {
        const char* name;
        std::string script;
        std::vector<std::string> result;
    };
    const Case cases[] = {
        {"a target picked", doubleClick(0) + typed30, {firstPicked, items[1], items[2]}},
        {"a locked adjustment unlocked",
         doubleClick(1) + typed,
         {items[0], lockedPicked, items[2]}},
        {"picked, undone", doubleClick(1) + typed + "key z ctrl\n", items},
        {"picked, undone, redone",
         doubleClick(1) + typed + "key z ctrl\nkey y ctrl\n",
         {items[0], lockedPicked, items[2]}},
        {"cancelled", doubleClick(0) + "type 50\nkey escape\nwait 20\n", items},
        {"the same colour", doubleClick(0) + "key enter\nwait 20\n", items},
        {"below the rows", "dblclick 318 240\nwait 20\n", items},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EditedItems(c.script), c.result) << c.name;

    // A pick that changes nothing records nothing: undo after it takes back the edit before it.
    for (const char* answer : {"key enter\n", "key escape\n"}) {
        const json recorded = EditAction(kClickLuminosity + doubleClick(0) + answer + "wait 20\n" +
                                         "key z ctrl\nwait 20\n");
        bool luminosity = true;
        for (const json& item : recorded)
            if (item["key"] == "PrsL") luminosity = item["value"];
        EXPECT_FALSE(luminosity) << answer;
    }
}

// --- what the strip shows -------------------------------------------------------------------

struct Rgb {
    int r, g, b;
};

Rgb At(const Document& d, int x, int y) {
    return {d.At(0, x, y), d.At(1, x, y), d.At(2, x, y)};
}

bool Is(Rgb got, const int want[3]) {
    return got.r == want[0] && got.g == want[1] && got.b == want[2];
}

// The 8-bit RGB of a colour of the host's Lab.
Rgb RgbOf(int l, int a, int b) {
    ColorServices services;
    Color16 c{0, uint16_t(l), uint16_t(a), uint16_t(b)};
    services.Convert16(plugIncolorServicesLabSpace, plugIncolorServicesRGBSpace, &c, 1);
    return {c.c1 * 255 / 32768, c.c2 * 255 / 32768, c.c3 * 255 / 32768};
}

void ExpectNear(Rgb got, Rgb want, const std::string& what) {
    EXPECT_NEAR(got.r, want.r, 2) << what;
    EXPECT_NEAR(got.g, want.g, 2) << what;
    EXPECT_NEAR(got.b, want.b, 2) << what;
}

// Whether any pixel of the rectangle (client coordinates, right and bottom exclusive) differs
// from the dialog's pane colour: something is drawn there.
bool Drawn(const Document& shot, int left, int top, int right, int bottom) {
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (!Is(At(shot, x, y), kPaneRgb)) return true;
    return false;
}

TEST_F(SwatchStripTest, ScreenshotsShowSwatchesPadlocksAndPageButtons) {
    struct Case {
        int adjustments;
        bool next;
    };
    for (const Case& c : {Case{3, false}, Case{30, true}}) {
        const std::string name = "strip" + std::to_string(c.adjustments) + ".png";
        const std::vector<std::string> items = Adjustments(c.adjustments);
        WriteAction(items);
        const Outcome outcome =
            Edit(std::string(kSmall) + "move 590 290\nwait 20\nscreenshot " + name + "\n",
                 "--action action.json");
        ASSERT_EQ(outcome.status, 1) << outcome.error;
        const Document shot = Picture(name);
        const int rows = std::min(c.adjustments, kRowsPerPage);
        for (int row = 0; row < rows; ++row) {
            const std::string what = name + " row " + std::to_string(row);
            const int l = 6000 + (row * 997) % 22000;
            const int a = 8384 + (row * 3001) % 16000;
            const int b = 8384 + (row * 7919) % 16000;
            const int y = RowCentre(row);
            ExpectNear(At(shot, kStripLeft + 9, y), RgbOf(l, a, b), what + " original");
            if (row % 7 == 1) {
                // The padlock's golden body where the target would be.
                const Rgb lock = At(shot, kStripLeft + 22, kStripTop + 18 * row + 14);
                EXPECT_TRUE(lock.r > 180 && lock.b < 100) << what << " padlock";
            } else {
                ExpectNear(At(shot, kStripLeft + 26, y), RgbOf(32768 - l, 32768 - a, b),
                           what + " target");
            }
            // The first row is selected: its frame is highlighted and it has the wastebasket.
            const bool selected = row == 0;
            EXPECT_TRUE(Is(At(shot, kStripLeft, y), selected ? kHighlightRgb : kPaneRgb)) << what;
            EXPECT_EQ(Drawn(shot, kStripLeft + 37, y - 8, kStripLeft + 53, y + 8), selected)
                << what << " wastebasket";
        }
        // Nothing below the rows; no previous page; the next button only with more pages.
        EXPECT_FALSE(Drawn(shot, kStripLeft, kStripTop + 18 * rows + 2, kStripLeft + 56, 250))
            << name;
        EXPECT_FALSE(Drawn(shot, kStripLeft, 251, kStripLeft + 25, 270)) << name;
        EXPECT_EQ(Drawn(shot, kStripLeft + 30, 251, kStripLeft + 55, 270), c.next) << name;
    }
}

// The wastebasket turns red and a page button blue while the mouse is over it.
TEST_F(SwatchStripTest, TheMouseHighlightsTheWastebasketAndThePageButtons) {
    WriteAction(Adjustments(30));
    const Outcome outcome =
        Edit(std::string(kSmall) + "move 337 91\nwait 20\nscreenshot bin.png\n"
                                   "move 335 260\nwait 20\nscreenshot next.png\n"
                                   "move 590 290\nwait 20\nscreenshot away.png\n",
             "--action action.json");
    ASSERT_EQ(outcome.status, 1) << outcome.error;
    // A pixel of the first row's wastebasket, and of the next button's arrow.
    auto red = [](Rgb p) { return p.r > p.g + 60; };
    auto blue = [](Rgb p) { return p.b > p.r + 80; };
    struct Case {
        const char* file;
        bool bin, next;
    };
    for (const Case& c : {Case{"bin.png", true, false}, Case{"next.png", false, true},
                          Case{"away.png", false, false}}) {
        const Document shot = Picture(c.file);
        EXPECT_EQ(red(At(shot, kStripLeft + 42, kStripTop + 15)), c.bin) << c.file;
        EXPECT_EQ(blue(At(shot, kStripLeft + 38, kStripTop + 180)), c.next) << c.file;
    }
}

// The hint line follows the mouse across the strip: a row, the selected row, its wastebasket and
// the page buttons each say what a click there does; off the strip the tool's text returns.
TEST_F(SwatchStripTest, TheHintLineSaysWhatAClickOnTheStripDoes) {
    WriteAction(Adjustments(30));
    const std::string swatch = std::to_string(kStripLeft + 9) + " ";
    const std::pair<std::string, const char*> steps[] = {
        {"move " + swatch + std::to_string(RowCentre(1)), "Click to select this color adjustment."},
        {"move " + swatch + std::to_string(RowCentre(0)), "Double-click for color picker dialog."},
        {"move 337 91", "Click to remove the selected color adjustment"},
        {"move 335 260", "Display next set of color adjustments"},
        {std::string(kNext) + "move 305 260", "Display previous set of color adjustments"},
        {"move 590 290", "Use the Open Sample button to open a sample image.\n\rOr double-click "
                         "on a swatch to adjust selected color.\n\rOr pick a color from the right "
                         "set of swatches."},
    };
    std::string script = kSmall;
    for (size_t i = 0; i < std::size(steps); ++i)
        script += steps[i].first + "\nwait 20\nstate hint" + std::to_string(i) + ".json\n";
    const Outcome outcome = Edit(script, "--action action.json");
    ASSERT_EQ(outcome.status, 1) << outcome.error;
    for (size_t i = 0; i < std::size(steps); ++i) {
        std::ifstream in(folder_ / ("hint" + std::to_string(i) + ".json"));
        EXPECT_EQ(HintText(json::parse(in)), steps[i].second) << steps[i].first;
    }
}

// --- stored adjustments the strip must cope with --------------------------------------------

// The most adjustments the table takes, locked ones among them, with document and sample
// positions far outside both pictures: the dialog opens, pages to the end and back, removes one
// and applies the rest.
TEST_F(SwatchStripTest, TheLargestTableWithPositionsOutsideThePicturesPages) {
    const std::vector<std::string> items = Adjustments(200, "[100000,-5]");
    WriteAction(items);
    std::string script = "screenshot first.png\n";
    // 200 adjustments are 23 pages of 9; more presses than pages stop at the last.
    for (int page = 0; page < 25; ++page)
        script += kNext;
    script += "screenshot last.png\n" + std::string(kPrevious) + ClickWastebasket(8);
    const std::vector<std::string> left = EditedItems(script);
    // The positions outside the pictures are forgotten; the colours stay.
    std::vector<std::string> colours = Adjustments(200);
    EXPECT_EQ(left, Without(colours, {197}));
    const Document last = Picture("last.png");
    // The last page holds the 199th and 200th: two rows, and the previous button.
    EXPECT_TRUE(Drawn(last, kStripLeft + 2, RowCentre(1) - 5, kStripLeft + 16, RowCentre(1) + 5));
    EXPECT_FALSE(Drawn(last, kStripLeft + 2, RowCentre(2) - 5, kStripLeft + 16, RowCentre(2) + 5));
    EXPECT_TRUE(Drawn(last, kStripLeft, 251, kStripLeft + 25, 270));
    EXPECT_FALSE(Drawn(last, kStripLeft + 30, 251, kStripLeft + 55, 270));
}

} // namespace

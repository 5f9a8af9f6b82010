// The swatch strip's pages and what lies under a point, without a host.
#include "dialog/SwatchPane.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using quillon::dialog::SwatchLayout;
using namespace quillon::dialog;

constexpr int32_t kFirst = 12;
// A strip of 56 x 190 pixels holds 9 rows: (190 - 25) / 18.
constexpr int32_t kWidth = 56, kHeight = 190, kRows = 9;

struct PageCase {
    const char* name;
    int32_t count, selected, rows;
    int32_t start, shown;
    bool previous, next;
    int32_t previousTarget, nextTarget;
};

TEST(SwatchLayout, ThePageHoldsTheSelectionAndTheButtonsReachTheNeighbours) {
    const PageCase cases[] = {
        {"empty table", 12, -1, kRows, 12, 0, false, false, 12, 11},
        {"no selection: first page, no rows", 42, -1, kRows, 12, 0, false, true, 12, 21},
        {"first of the first page", 42, 12, kRows, 12, 9, false, true, 12, 21},
        {"last of the first page", 42, 20, kRows, 12, 9, false, true, 12, 21},
        {"first of the second page", 42, 21, kRows, 21, 9, true, true, 20, 30},
        {"short last page", 42, 41, kRows, 39, 3, true, false, 38, 41},
        {"exactly one page", 21, 20, kRows, 12, 9, false, false, 12, 20},
        {"one row per page", 15, 14, 1, 14, 1, true, false, 13, 14},
        {"rows below one count as one", 15, 13, 0, 13, 1, true, true, 12, 14},
        // Indexes that are no user adjustment select nothing.
        {"a fixed point", 42, 5, kRows, 12, 0, false, true, 12, 21},
        {"past the table", 42, 42, kRows, 12, 0, false, true, 12, 21},
    };
    for (const PageCase& c : cases) {
        const SwatchLayout layout(kFirst, c.count, c.selected, c.rows, kWidth, kHeight);
        EXPECT_EQ(layout.Start(), c.start) << c.name;
        EXPECT_EQ(layout.Shown(), c.shown) << c.name;
        EXPECT_EQ(layout.HasPrevious(), c.previous) << c.name;
        EXPECT_EQ(layout.HasNext(), c.next) << c.name;
        if (c.previous) {
            EXPECT_EQ(layout.PreviousTarget(), c.previousTarget) << c.name;
        }
        if (c.next) {
            EXPECT_EQ(layout.NextTarget(), c.nextTarget) << c.name;
        }
    }
}

struct HitCase {
    const char* name;
    int32_t count, selected;
    ADMPoint point;
    std::optional<int32_t> row;
    int32_t state;
};

TEST(SwatchLayout, HitTestsFindRowsTheWastebasketAndShownPageButtonsOnly) {
    // Of 42 adjustments, 14 is the third row of the first page, 23 the third of the second.
    const HitCase cases[] = {
        {"first row's top", 42, 14, {10, 0}, 12, kSwatchOverRow},
        {"first row's bottom", 42, 14, {10, 17}, 12, kSwatchOverRow},
        {"second row's top", 42, 14, {10, 18}, 13, kSwatchOverRow},
        {"selected row", 42, 14, {10, 41}, 14, kSwatchOverSelectedRow},
        {"selected row, left of the wastebasket", 42, 14, {37, 41}, 14, kSwatchOverSelectedRow},
        {"wastebasket", 42, 14, {38, 41}, 14, kSwatchOverRemove},
        {"wastebasket's right edge", 42, 14, {55, 41}, 14, kSwatchOverRemove},
        {"another row's wastebasket column", 42, 14, {45, 5}, 12, kSwatchOverRow},
        {"below the rows", 42, 14, {10, 162}, std::nullopt, kSwatchOverNothing},
        {"no previous page to go to", 42, 14, {10, 180}, std::nullopt, kSwatchOverNothing},
        {"previous page", 42, 23, {10, 180}, std::nullopt, kSwatchOverPrevious},
        {"previous button's first column", 42, 23, {0, 180}, std::nullopt, kSwatchOverPrevious},
        {"previous button's right edge", 42, 23, {25, 180}, std::nullopt, kSwatchOverPrevious},
        {"right of the previous button", 42, 23, {26, 180}, std::nullopt, kSwatchOverNothing},
        {"between the buttons", 42, 23, {27, 180}, std::nullopt, kSwatchOverNothing},
        {"left of the next button", 42, 14, {29, 180}, std::nullopt, kSwatchOverNothing},
        {"next button's first column", 42, 14, {30, 180}, std::nullopt, kSwatchOverNext},
        {"next page", 42, 14, {40, 180}, std::nullopt, kSwatchOverNext},
        {"next button's top", 42, 14, {40, 170}, std::nullopt, kSwatchOverNext},
        {"above the button strip", 42, 14, {40, 169}, std::nullopt, kSwatchOverNothing},
        {"next button's last column", 42, 14, {55, 189}, std::nullopt, kSwatchOverNext},
        {"next page without a selection", 42, -1, {40, 180}, std::nullopt, kSwatchOverNext},
        {"rows without a selection", 42, -1, {10, 5}, std::nullopt, kSwatchOverNothing},
        // A drag that left the pane is over nothing of it.
        {"right of the pane", 42, 14, {60, 41}, std::nullopt, kSwatchOverNothing},
        {"above the pane", 42, 14, {10, -1}, std::nullopt, kSwatchOverNothing},
        {"below the pane", 42, 14, {40, 190}, std::nullopt, kSwatchOverNothing},
        {"left of the pane", 42, 23, {-1, 180}, std::nullopt, kSwatchOverNothing},
        // The short last page 39..41 of 42 adjustments: three rows, no next button.
        {"last row of the last page", 42, 40, {10, 2 * 18 + 5}, 41, kSwatchOverRow},
        {"below the last page's rows", 42, 40, {10, 3 * 18 + 5}, std::nullopt, kSwatchOverNothing},
        {"no next page after the last", 42, 40, {40, 180}, std::nullopt, kSwatchOverNothing},
        {"previous page from the last", 42, 40, {10, 180}, std::nullopt, kSwatchOverPrevious},
    };
    for (const HitCase& c : cases) {
        const SwatchLayout layout(kFirst, c.count, c.selected, kRows, kWidth, kHeight);
        EXPECT_EQ(layout.RowAt(c.point), c.row) << c.name;
        EXPECT_EQ(layout.StateAt(c.point), c.state) << c.name;
        EXPECT_EQ(layout.OverRemove(c.point), c.state == kSwatchOverRemove) << c.name;
        EXPECT_EQ(layout.OverPrevious(c.point), c.state == kSwatchOverPrevious) << c.name;
        EXPECT_EQ(layout.OverNext(c.point), c.state == kSwatchOverNext) << c.name;
    }
}

} // namespace

// The zoom levels behind the zoom menus, without a dialog: no changed callback is set, so no
// host is needed.
#include "dialog/ZoomControl.h"
#include "pluginapi/PIResources.h"

#include <gtest/gtest.h>

// The module's resources, which the platform layer looks up; the zoom needs none.
extern "C" const PIResourceDirectory PIResourceTable = {0, nullptr};

namespace {

using quillon::dialog::Dialog;
using quillon::dialog::ZoomControl;

const Dialog kNoDialog(nullptr);

// A control at a level, whose fit factor is `fit`.
ZoomControl At(int32_t level, double fit) {
    ZoomControl zoom;
    zoom.SetFit(1000, 1000, fit * 1000, fit * 1000);
    EXPECT_TRUE(zoom.SetLevel(level));
    return zoom;
}

TEST(ZoomControl, StartsFittingTheViewAndOffersNoHiddenLevel) {
    ZoomControl zoom;
    EXPECT_EQ(zoom.Level(), ZoomControl::kFitInView);
    EXPECT_DOUBLE_EQ(zoom.Factor(), 1.0);
    for (int32_t level : {-1, 6, 8, 11, ZoomControl::kFitAtMost100, 16})
        EXPECT_FALSE(zoom.SetLevel(level)) << level;
    EXPECT_EQ(zoom.Level(), ZoomControl::kFitInView);
}

TEST(ZoomControl, FitsTheImageIntoTheInnerArea) {
    ZoomControl zoom;
    // Width-bound: 233 / 4000.
    zoom.SetFit(4000, 3000, 233, 186);
    EXPECT_NEAR(zoom.LevelAt(ZoomControl::kFitInView).factor, 0.058250, 1e-9);
    EXPECT_NEAR(zoom.LevelAt(ZoomControl::kFitAtMost100).factor, 0.058250, 1e-9);
    // A small sample would be enlarged to fit, but the hidden level stops at 100%.
    zoom.SetFit(100, 100, 233, 186);
    EXPECT_NEAR(zoom.LevelAt(ZoomControl::kFitInView).factor, 1.86, 1e-9);
    EXPECT_DOUBLE_EQ(zoom.LevelAt(ZoomControl::kFitAtMost100).factor, 1.0);
    zoom.SetLevelFitAtMost100();
    EXPECT_DOUBLE_EQ(zoom.Factor(), 1.0);
    // No image, or no room: the fit stays as it was.
    zoom.SetFit(0, 100, 233, 186);
    zoom.SetFit(100, 100, -4, 186);
    EXPECT_NEAR(zoom.LevelAt(ZoomControl::kFitInView).factor, 1.86, 1e-9);
}

TEST(ZoomControl, ZoomsInAndOutToTheNeighbouringFactor) {
    struct Case {
        const char* what;
        int32_t from;
        double fit;
        bool in;
        int32_t to; // -1: nothing changes
    };
    const Case cases[] = {
        {"66% in goes to 100%, not Actual Pixels", 5, 0.5, true, 7},
        {"100% in goes to a fit between 1 and 2", 7, 1.5, true, ZoomControl::kFitInView},
        {"100% in goes to 200% past a larger fit", 7, 2.5, true, 9},
        {"100% in goes to 200% past a smaller fit", 7, 0.5, true, 9},
        {"300% in goes nowhere", 10, 0.5, true, -1},
        {"300% in goes to a larger fit", 10, 5.0, true, ZoomControl::kFitInView},
        {"300% in stops short of 10", 10, 12.0, true, -1},
        {"6% out goes nowhere", 0, 0.5, false, -1},
        {"6% out goes to a smaller fit", 0, 0.01, false, ZoomControl::kFitInView},
        {"Actual Pixels out goes to 66%", 12, 2.0, false, 5},
        {"fit out goes to the next smaller level", ZoomControl::kFitInView, 0.3, false, 2},
        {"Fit on Screen in goes past 100%", ZoomControl::kFitOnScreen, 0.5, true, 9},
    };
    for (const Case& c : cases) {
        ZoomControl zoom = At(c.from, c.fit);
        const bool changed = c.in ? zoom.ZoomIn(kNoDialog) : zoom.ZoomOut(kNoDialog);
        EXPECT_EQ(changed, c.to >= 0) << c.what;
        EXPECT_EQ(zoom.Level(), c.to >= 0 ? c.to : c.from) << c.what;
    }
}

TEST(ZoomControl, StepsNeverReachFitOnScreenOrTheHiddenLevel) {
    for (double fit : {0.01, 0.5, 1.0, 1.5, 4.0, 20.0}) {
        ZoomControl zoom = At(0, fit);
        while (zoom.ZoomIn(kNoDialog))
            EXPECT_LT(zoom.Level(), ZoomControl::kFitOnScreen) << fit;
        // The largest factor below 10: 300%, or a larger fit.
        EXPECT_DOUBLE_EQ(zoom.Factor(), fit > 3.0 && fit < 10 ? fit : 3.0) << fit;
        while (zoom.ZoomOut(kNoDialog))
            EXPECT_LT(zoom.Level(), ZoomControl::kFitOnScreen) << fit;
        // The smallest factor: 6%, or a smaller fit.
        EXPECT_DOUBLE_EQ(zoom.Factor(), fit < 0.0625 ? fit : 0.0625) << fit;
    }
}

} // namespace

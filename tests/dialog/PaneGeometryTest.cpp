// Where an image sits in a pane, and the averaging of eyedropper reads, without a host: a pane
// that is bound to no dialog item draws nothing and makes no display image.
#include "dialog/Eyedroppers.h"
#include "dialog/ImagePanes.h"
#include "dialog/ZoomControl.h"

#include <gtest/gtest.h>

namespace {

using namespace quillon::dialog;

constexpr int32_t k200Percent = 9;
constexpr int32_t k100Percent = 7;

struct Geometry {
    int32_t imageWidth, imageHeight, paneWidth, paneHeight;
    int32_t level;
};

// A pane of that size showing an image of that size at a zoom level.
class Pane {
  public:
    explicit Pane(const Geometry& g) {
        EXPECT_TRUE(zoom_.SetLevel(g.level));
        pane_.SetZoomControl(&zoom_);
        pane_.SetPaneSize(g.paneWidth, g.paneHeight);
        pane_.SetImageSize(g.imageWidth, g.imageHeight);
        pane_.ComputeGeometry();
    }
    QLNSampleImagePane& operator*() { return pane_; }
    QLNSampleImagePane* operator->() { return &pane_; }

  private:
    ZoomControl zoom_;
    QLNSampleImagePane pane_;
};

TEST(PaneGeometry, ASmallImageIsCentredWithEqualMargins) {
    Pane pane({64, 48, 237, 190, k100Percent});
    EXPECT_EQ(pane->DisplayWidth(), 64);
    EXPECT_EQ(pane->DisplayHeight(), 48);
    EXPECT_EQ(pane->Origin().h, (237 - 64) / 2);
    EXPECT_EQ(pane->Origin().v, (190 - 48) / 2);
    const PixelRect source = pane->SourceRect();
    EXPECT_EQ(source.left, 0);
    EXPECT_EQ(source.right, 64);
    EXPECT_EQ(source.bottom, 48);
}

TEST(PaneGeometry, ALargeImageStartsInsideTheFrameAndShowsWhatFits) {
    Pane pane({4000, 3000, 237, 190, k100Percent});
    EXPECT_EQ(pane->DisplayWidth(), 233);
    EXPECT_EQ(pane->DisplayHeight(), 186);
    EXPECT_EQ(pane->Origin().h, 2);
    EXPECT_EQ(pane->Origin().v, 2);
    EXPECT_EQ(pane->SourceRect().right - pane->SourceRect().left, 233);
}

TEST(PaneGeometry, ZoomingInAtTheRightEdgeKeepsTheViewInsideTheImage) {
    Pane pane({400, 300, 237, 190, k200Percent});
    pane->CenterOn(ImagePoint{399, 150});
    // 233 pane pixels show 116.5 image columns: the scroll is pulled back to 283 and the
    // half-shown column 399 is part of the view.
    const PixelRect source = pane->SourceRect();
    EXPECT_EQ(source.right, 400);
    EXPECT_EQ(pane->Scroll().x, 283);
    EXPECT_GE(source.left, 0);
    // The pane's right-most column shows the image's last one.
    EXPECT_EQ(pane->ToImage({pane->Origin().h + pane->DisplayWidth() - 1, 100}).x, 399);
}

TEST(PaneGeometry, PanePointsAndImagePointsMapBothWays) {
    Pane pane({400, 300, 237, 190, k200Percent});
    pane->CenterOn(ImagePoint{200, 150});
    for (const ImagePoint p : {ImagePoint{200, 150}, ImagePoint{150, 110}, ImagePoint{250, 190}}) {
        const ADMPoint onPane = pane->ToPane(p);
        EXPECT_TRUE(pane->OnShownImage(onPane)) << p.x << "," << p.y;
        const ImagePoint back = pane->ToImage(onPane);
        EXPECT_EQ(back.x, p.x);
        EXPECT_EQ(back.y, p.y);
    }
    EXPECT_FALSE(pane->OnShownImage({pane->Origin().h - 1, pane->Origin().v}));
}

TEST(PaneGeometry, PlacingTheSamplerOutOfViewScrollsToIt) {
    Pane pane({4000, 3000, 237, 190, k100Percent});
    pane->PlaceSampler(ImagePoint{3000, 2500});
    EXPECT_TRUE(pane->SamplerShown());
    EXPECT_TRUE(pane->OnShownImage(pane->SamplerPanePoint()));
    const ImagePoint back = pane->ToImage(pane->SamplerPanePoint());
    EXPECT_EQ(back.x, 3000);
    EXPECT_EQ(back.y, 2500);
    pane->PlaceSampler(std::nullopt);
    EXPECT_FALSE(pane->SamplerShown());
    EXPECT_EQ(pane->SamplerImagePoint().x, -1);
}

// A 10 x 8 picture whose pixel (x, y) reads as c1 = x, c2 = y, c3 = 100, counting its reads.
class Counting : public QLNEyedropper {
  public:
    bool ReadPixel(ImagePoint p, Color16& color, int16_t& space) const override {
        if (p.x < 0 || p.x >= 10 || p.y < 0 || p.y >= 8) return false;
        ++reads;
        color = {0, uint16_t(p.x * 1000), uint16_t(p.y * 1000), 100};
        space = 3;
        return true;
    }
    mutable int reads = 0;
};

TEST(Eyedropper, AveragesOnlyTheReadsInsideThePicture) {
    struct Case {
        SampleSize size;
        ImagePoint at;
        int reads;
        uint16_t c1, c2;
    };
    const Case cases[] = {
        {SampleSize::Point, {3, 4}, 1, 3000, 4000},
        {SampleSize::ThreeByThree, {3, 4}, 9, 3000, 4000},
        {SampleSize::FiveByFive, {0, 0}, 9, 1000, 1000},  // (0+1+2)/3 each way
        {SampleSize::FiveByFive, {1, 1}, 16, 1500, 1500}, // (0+1+2+3)/4 each way
        {SampleSize::FiveByFive, {9, 7}, 9, 8000, 6000},
        {SampleSize::FiveByFive, {5, 4}, 25, 5000, 4000},
    };
    for (const Case& c : cases) {
        Counting picture;
        int16_t space = -1;
        const Color16 color = AverageAt(picture, c.at, c.size, space);
        EXPECT_EQ(picture.reads, c.reads) << c.at.x << "," << c.at.y;
        EXPECT_EQ(color.c1, c.c1) << c.at.x << "," << c.at.y;
        EXPECT_EQ(color.c2, c.c2) << c.at.x << "," << c.at.y;
        EXPECT_EQ(color.c3, 100);
        EXPECT_EQ(space, 3);
    }
}

TEST(Eyedropper, APointOutsideThePictureReadsAsZeros) {
    for (SampleSize size : {SampleSize::Point, SampleSize::FiveByFive}) {
        Counting picture;
        int16_t space = -1;
        const Color16 color = AverageAt(picture, {-10, 20}, size, space);
        EXPECT_EQ(picture.reads, 0);
        EXPECT_EQ(color.c1 + color.c2 + color.c3 + color.c0, 0);
    }
}

} // namespace

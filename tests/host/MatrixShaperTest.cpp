// The fast RGB and Lab route against LittleCMS's exact pipeline, which it must match.
#include "core/suites/MatrixShaper.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace {

using quillon::filterhost::MatrixShaper;

class MatrixShaperTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rgb_ = cmsCreate_sRGBProfile();
        lab_ = cmsCreateLab4Profile(cmsD50_xyY());
        shaper_ = MatrixShaper::FromProfile(rgb_);
        ASSERT_NE(shaper_, nullptr);
    }
    void TearDown() override {
        cmsCloseProfile(rgb_);
        cmsCloseProfile(lab_);
    }
    // The exact pipeline, on plain three-channel formats.
    cmsHTRANSFORM Exact(bool toLab, cmsUInt32Number rgbFormat, cmsUInt32Number labFormat) {
        return toLab ? cmsCreateTransform(rgb_, rgbFormat, lab_, labFormat,
                                          INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE)
                     : cmsCreateTransform(lab_, labFormat, rgb_, rgbFormat,
                                          INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
    }
    cmsHPROFILE rgb_, lab_;
    std::unique_ptr<MatrixShaper> shaper_;
};

TEST_F(MatrixShaperTest, EightBitRoutesMatchTheExactPipelineWithinOneLevel) {
    cmsHTRANSFORM toLab = Exact(true, TYPE_RGB_8, TYPE_Lab_8);
    cmsHTRANSFORM toRgb = Exact(false, TYPE_RGB_8, TYPE_Lab_8);
    int worst = 0;
    for (int r = 0; r < 256; r += 3)
        for (int g = 0; g < 256; g += 3)
            for (int b = 0; b < 256; b += 3) {
                Color8 fast{7, uint8(r), uint8(g), uint8(b)};
                uint8_t exact[3] = {uint8_t(r), uint8_t(g), uint8_t(b)};
                shaper_->RgbToLab(&fast, 1);
                cmsDoTransform(toLab, exact, exact, 1);
                worst = std::max({worst, std::abs(fast.c1 - exact[0]), std::abs(fast.c2 - exact[1]),
                                  std::abs(fast.c3 - exact[2])});
                // and back, from the same Lab
                Color8 back = fast;
                uint8_t exactBack[3] = {fast.c1, fast.c2, fast.c3};
                shaper_->LabToRgb(&back, 1);
                cmsDoTransform(toRgb, exactBack, exactBack, 1);
                worst =
                    std::max({worst, std::abs(back.c1 - exactBack[0]),
                              std::abs(back.c2 - exactBack[1]), std::abs(back.c3 - exactBack[2])});
                ASSERT_EQ(back.c0, 7) << "the pad travels untouched";
            }
    EXPECT_LE(worst, 1);
    cmsDeleteTransform(toLab);
    cmsDeleteTransform(toRgb);
}

TEST_F(MatrixShaperTest, SixteenBitRoutesMatchTheExactPipeline) {
    cmsHTRANSFORM toLab = Exact(true, TYPE_RGB_DBL, TYPE_Lab_DBL);
    cmsHTRANSFORM toRgb = Exact(false, TYPE_RGB_DBL, TYPE_Lab_DBL);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(0, 32768);
    double worstLab = 0, worstRgb = 0;
    for (int i = 0; i < 20000; ++i) {
        Color16 fast{0, uint16(sample(random)), uint16(sample(random)), uint16(sample(random))};
        double rgb[3] = {fast.c1 / 32768.0, fast.c2 / 32768.0, fast.c3 / 32768.0}, lab[3];
        shaper_->RgbToLab(&fast, 1);
        cmsDoTransform(toLab, rgb, lab, 1);
        worstLab = std::max({worstLab, std::abs(fast.c1 - lab[0] * 327.68),
                             std::abs(fast.c2 - (lab[1] * 128 + 16384)),
                             std::abs(fast.c3 - (lab[2] * 128 + 16384))});

        Color16 back{0, uint16(sample(random)), uint16(8192 + sample(random) / 2),
                     uint16(8192 + sample(random) / 2)};
        double labIn[3] = {back.c1 / 327.68, (back.c2 - 16384) / 128.0, (back.c3 - 16384) / 128.0},
               out[3];
        shaper_->LabToRgb(&back, 1);
        cmsDoTransform(toRgb, labIn, out, 1);
        for (int c = 0; c < 3; ++c) {
            const double exact = std::clamp(out[c], 0.0, 1.0) * 32768;
            worstRgb = std::max(worstRgb, std::abs((c == 0   ? back.c1
                                                    : c == 1 ? back.c2
                                                             : back.c3) -
                                                   exact));
        }
    }
    EXPECT_LE(worstLab, 1.0);
    EXPECT_LE(worstRgb, 1.0);
    cmsDeleteTransform(toLab);
    cmsDeleteTransform(toRgb);
}

TEST_F(MatrixShaperTest, OnlyMatrixShaperRgbProfilesQualify) {
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    EXPECT_EQ(MatrixShaper::FromProfile(lab), nullptr);
    cmsCloseProfile(lab);
    EXPECT_EQ(MatrixShaper::FromProfile(nullptr), nullptr);
}

} // namespace

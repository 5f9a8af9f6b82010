#include "resources/SampleChart.h"
#include "codec/ImageCodec.h"

#include <gtest/gtest.h>
#include <lcms2.h>
#include <tiffio.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace quillon::resources {
namespace {

struct Decoded {
    uint8_t* pixels = nullptr;
    int32_t width = 0, height = 0;
    ~Decoded() { codec::ReleaseRgbImage(pixels); }
    const uint8_t* At(int x, int y) const { return pixels + (size_t(y) * width + x) * 3; }
};

class SampleChartTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const std::span<const uint8_t> bytes = SampleChart();
        codec::ImageSource* source = codec::SourceFromMemory(bytes.data(), bytes.size());
        ASSERT_NE(source, nullptr);
        chart.pixels = codec::DecodeImage(source, &chart.width, &chart.height);
        codec::CloseImageSource(source);
        ASSERT_EQ(codec::CodecLastError(), codec::kCodecOk);
    }

    static void SetUpTransforms(cmsHTRANSFORM& labToRgb, cmsHTRANSFORM& rgbToLab) {
        cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        labToRgb = cmsCreateTransform(lab, TYPE_Lab_DBL, srgb, TYPE_RGB_DBL,
                                      INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
        rgbToLab = cmsCreateTransform(srgb, TYPE_RGB_8, lab, TYPE_Lab_DBL,
                                      INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
        cmsCloseProfile(lab);
        cmsCloseProfile(srgb);
    }

    static Decoded chart;
};
Decoded SampleChartTest::chart;

TEST_F(SampleChartTest, IsA16BitLzwRgbTiffWithAnSrgbProfile) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("chart-" + std::to_string(getpid()) + ".tif");
    {
        const std::span<const uint8_t> bytes = SampleChart();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    uint32_t width = 0, height = 0, profileSize = 0;
    uint16_t bits = 0, samples = 0, compression = 0, photometric = 0;
    void* profile = nullptr;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &profileSize, &profile));
    cmsHPROFILE embedded = cmsOpenProfileFromMem(profile, profileSize);
    ASSERT_NE(embedded, nullptr);
    EXPECT_EQ(cmsGetColorSpace(embedded), cmsSigRgbData);
    cmsCloseProfile(embedded);
    TIFFClose(tiff);
    std::filesystem::remove(path);
    EXPECT_EQ(width, 256u);
    EXPECT_EQ(height, 384u);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(samples, 3);
    EXPECT_EQ(compression, COMPRESSION_LZW);
    EXPECT_EQ(photometric, PHOTOMETRIC_RGB);
}

TEST_F(SampleChartTest, EverySwatchIsFlatAndMatchesItsTable) {
    ASSERT_EQ(chart.width, 256);
    ASSERT_EQ(chart.height, 384);
    cmsHTRANSFORM labToRgb, rgbToLab;
    SetUpTransforms(labToRgb, rgbToLab);
    int reduced = 0, reducedInRow19 = 0;
    for (int row = 0; row < kChartRows; ++row) {
        for (int column = 0; column < kChartColumns; ++column) {
            SCOPED_TRACE(testing::Message() << "row " << row << " column " << column);
            const int x0 = column * kSwatchSize, y0 = row * kSwatchSize;
            const uint8_t* first = chart.At(x0, y0);
            for (int y = y0; y < y0 + kSwatchSize; ++y)
                for (int x = x0; x < x0 + kSwatchSize; ++x)
                    ASSERT_TRUE(std::equal(first, first + 3, chart.At(x, y)));

            const ChartSwatch swatch = ChartSwatchAt(row, column);
            if (swatch.isRgb) {
                EXPECT_TRUE(std::equal(first, first + 3, swatch.rgb));
                continue;
            }
            double lab[3], rgb[3];
            cmsDoTransform(rgbToLab, first, lab, 1);
            cmsDoTransform(labToRgb, swatch.lab, rgb, 1);
            const bool inGamut =
                std::all_of(rgb, rgb + 3, [](double v) { return v >= -1e-6 && v <= 1 + 1e-6; });
            if (inGamut) {
                const double dE = std::hypot(lab[0] - swatch.lab[0], lab[1] - swatch.lab[1],
                                             lab[2] - swatch.lab[2]);
                EXPECT_LE(dE, 1.0);
                continue;
            }
            // Out of gamut: same lightness and hue, less chroma.
            ++reduced;
            if (row == 18) ++reducedInRow19;
            EXPECT_NEAR(lab[0], swatch.lab[0], 1.0);
            const double chroma = std::hypot(lab[1], lab[2]);
            EXPECT_LT(chroma, std::hypot(swatch.lab[1], swatch.lab[2]));
            if (chroma > 5) {
                const double hue = std::atan2(lab[2], lab[1]);
                const double want = std::atan2(swatch.lab[2], swatch.lab[1]);
                EXPECT_NEAR(std::remainder(hue - want, 2 * M_PI), 0.0, 0.06);
            }
        }
    }
    EXPECT_GT(reducedInRow19, 0);
    cmsDeleteTransform(labToRgb);
    cmsDeleteTransform(rgbToLab);
    RecordProperty("reduced", reduced);
}

} // namespace
} // namespace quillon::resources

#include "CodecTestSupport.h"

#include <png.h>
#include <tiffio.h>

namespace quillon::codec::testing {
namespace {

using namespace fixtures;

Picture Grey(const Picture& p) {
    Picture g = p;
    for (size_t i = 0; i < g.rgb.size(); i += 3)
        g.rgb[i + 1] = g.rgb[i + 2] = g.rgb[i];
    return g;
}

// ---- JPEG

TEST(Jpeg, BaselineAndProgressiveColourAndGrey) {
    // Smooth in every channel, so that chroma subsampling costs little.
    Picture p = Pattern(64, 40);
    for (size_t i = 2; i < p.rgb.size(); i += 3)
        p.rgb[i] = uint8_t(255 - p.rgb[i - 2] / 2);
    for (bool progressive : {false, true}) {
        Result colour = Decode(MakeJpeg(p, false, progressive, 100));
        ASSERT_EQ(colour.code, kCodecOk);
        EXPECT_LT(MeanError(colour.picture, p), 6.0) << "lossy, but close";
        Result grey = Decode(MakeJpeg(p, true, progressive, 100));
        ASSERT_EQ(grey.code, kCodecOk);
        EXPECT_LT(MeanError(grey.picture, Grey(p)), 3.0);
        for (size_t i = 0; i < grey.picture.rgb.size(); i += 3) {
            ASSERT_EQ(grey.picture.rgb[i], grey.picture.rgb[i + 1]);
            ASSERT_EQ(grey.picture.rgb[i], grey.picture.rgb[i + 2]);
        }
    }
}

TEST(Jpeg, TruncatedDataFailsInsteadOfTurningGrey) {
    Bytes jpeg = MakeJpeg(Pattern(64, 64), false, false);
    EXPECT_EQ(Decode(WithoutTail(jpeg, jpeg.size() / 2)).code, kCodecBadData);
    Bytes progressive = MakeJpeg(Pattern(64, 64), false, true);
    EXPECT_EQ(Decode(WithoutTail(progressive, 100)).code, kCodecBadData);
}

TEST(Jpeg, CmykIsInkTimesBlackOverStoredValues) {
    Result r =
        Decode(MakeJpegCmyk({{255, 255, 255, 255}, {255, 255, 255, 0}, {200, 100, 50, 128}}));
    ASSERT_EQ(r.code, kCodecOk);
    ASSERT_EQ(r.picture.width, 24);
    auto at = [&](int block) {
        return std::vector<int>(r.picture.At(block * 8 + 4, 4), r.picture.At(block * 8 + 4, 4) + 3);
    };
    auto near = [](std::vector<int> got, std::vector<int> want) {
        for (size_t i = 0; i < 3; ++i) {
            if (std::abs(got[i] - want[i]) > 3) return false;
        }
        return true;
    };
    EXPECT_TRUE(near(at(0), {255, 255, 255})) << "255 means no ink";
    EXPECT_TRUE(near(at(1), {0, 0, 0})) << "a stored black of 0 is full black";
    EXPECT_TRUE(near(at(2), {100, 50, 25}));
}

// ---- PNG, compared with what libpng's simplified interface reads

Picture LibpngReference(const Bytes& png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    EXPECT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()));
    image.format = PNG_FORMAT_RGB;
    Picture p{int(image.width), int(image.height), Bytes(PNG_IMAGE_SIZE(image))};
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr));
    return p;
}

struct PngCase {
    const char* name;
    int colorType;
    int depth;
    bool interlaced;
};

class PngVariants : public ::testing::TestWithParam<PngCase> {};

TEST_P(PngVariants, MatchesLibpng) {
    const PngCase& c = GetParam();
    Picture p = Pattern(29, 17);
    Bytes png = MakePng(p, c.colorType, c.depth, c.interlaced);
    Result r = Decode(png);
    ASSERT_EQ(r.code, kCodecOk);
    if (c.colorType & PNG_COLOR_MASK_ALPHA) {
        // Alpha is 0 everywhere; dropping it must keep the colours, not composite them.
        EXPECT_TRUE(SamePicture(r.picture, c.colorType == PNG_COLOR_TYPE_RGB_ALPHA ? p : Grey(p)));
    } else if (c.depth == 16) {
        // The simplified interface linearises 16-bit data; ours keeps the high byte.
        EXPECT_TRUE(SamePicture(r.picture, c.colorType == PNG_COLOR_TYPE_RGB ? p : Grey(p)));
    } else {
        EXPECT_TRUE(SamePicture(r.picture, LibpngReference(png)));
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PngVariants,
                         ::testing::Values(PngCase{"rgb8", PNG_COLOR_TYPE_RGB, 8, false},
                                           PngCase{"rgb8_adam7", PNG_COLOR_TYPE_RGB, 8, true},
                                           PngCase{"rgb16", PNG_COLOR_TYPE_RGB, 16, false},
                                           PngCase{"grey8", PNG_COLOR_TYPE_GRAY, 8, false},
                                           PngCase{"grey16_adam7", PNG_COLOR_TYPE_GRAY, 16, true},
                                           PngCase{"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8, false},
                                           PngCase{"rgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16, true},
                                           PngCase{"greyalpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8,
                                                   false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Png, PaletteMatchesLibpng) {
    Bytes png = MakePngIndexed(IndexedPattern(31, 9, 77));
    Result r = Decode(png);
    ASSERT_EQ(r.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r.picture, LibpngReference(png)));
}

TEST(Png, PaletteWithTransparencyKeepsItsColoursAsStored) {
    const Indexed indexed = IndexedPattern(31, 9, 77);
    for (const Bytes& alphas : {Bytes{0}, Bytes(77, 128), Bytes{0, 255, 40}}) {
        Result r = Decode(MakePngIndexed(indexed, alphas));
        ASSERT_EQ(r.code, kCodecOk) << alphas.size() << " alphas";
        EXPECT_TRUE(SamePicture(r.picture, indexed.Expand())) << "no compositing";
    }
}

TEST(Png, CorruptDataFails) {
    Bytes png = MakePng(Pattern(40, 40), PNG_COLOR_TYPE_RGB, 8, false);
    Bytes badCrc = png;
    badCrc[40] ^= 0xFF; // inside IDAT
    EXPECT_EQ(Decode(badCrc).code, kCodecBadData);
    EXPECT_EQ(Decode(WithoutTail(png, 30)).code, kCodecBadData);
}

// ---- TIFF, compared with libtiff's whole-image RGBA read

Picture LibtiffReference(const Bytes& tiff) {
    char path[] = "/tmp/quillon-tiffref-XXXXXX";
    int fd = mkstemp(path);
    EXPECT_EQ(write(fd, tiff.data(), tiff.size()), ssize_t(tiff.size()));
    close(fd);
    TIFF* tif = TIFFOpen(path, "r");
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    std::vector<uint32_t> raster(size_t(w) * h);
    EXPECT_TRUE(TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 1));
    TIFFClose(tif);
    std::remove(path);
    Picture p{int(w), int(h), Bytes(size_t(w) * h * 3)};
    for (size_t i = 0; i < raster.size(); ++i) {
        p.rgb[3 * i] = uint8_t(TIFFGetR(raster[i]));
        p.rgb[3 * i + 1] = uint8_t(TIFFGetG(raster[i]));
        p.rgb[3 * i + 2] = uint8_t(TIFFGetB(raster[i]));
    }
    return p;
}

struct TiffCase {
    const char* name;
    int compression;
    int bits;
    int samples;
    bool tiled;
};

class TiffVariants : public ::testing::TestWithParam<TiffCase> {};

TEST_P(TiffVariants, MatchesLibtiff) {
    const TiffCase& c = GetParam();
    // Whole tiles across: libtiff's RGBA interface shifts pixels in partial right-edge tiles of
    // 16-bit grey, which is libtiff's to mend.
    Picture p = Pattern(48, 23);
    Bytes tiff = MakeTiff(p, c.compression, c.bits, c.samples, c.tiled);
    Result r = Decode(tiff);
    ASSERT_EQ(r.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r.picture, LibtiffReference(tiff)));
    EXPECT_TRUE(SamePicture(r.picture, c.samples == 1 ? Grey(p) : p));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, TiffVariants,
    ::testing::Values(TiffCase{"none8", COMPRESSION_NONE, 8, 3, false},
                      TiffCase{"lzw16", COMPRESSION_LZW, 16, 3, false},
                      TiffCase{"deflate8tiled", COMPRESSION_ADOBE_DEFLATE, 8, 3, true},
                      TiffCase{"packbits8grey", COMPRESSION_PACKBITS, 8, 1, false},
                      TiffCase{"lzw16greytiled", COMPRESSION_LZW, 16, 1, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The same bytes decoded from an open file, as samples are loaded.
Result DecodeFromFile(const Bytes& bytes) {
    char path[] = "/tmp/quillon-codec-file-XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    std::remove(path);
    Result r;
    ImageSource* source = SourceFromHandle(fd);
    int32_t w = 0, h = 0;
    uint8_t* pixels = DecodeImage(source, &w, &h);
    r.code = CodecLastError();
    CloseImageSource(source);
    close(fd);
    if (pixels != nullptr) {
        r.picture = Picture{w, h, Bytes(pixels, pixels + size_t(w) * h * 3)};
        ReleaseRgbImage(pixels);
    }
    return r;
}

TEST(Tiff, TilesPartlyOutsideThePictureDecode) {
    // 16 x 16 tiles over pictures whose width, height or both are not multiples of 16, from
    // memory and from a file.
    // A picture of over a million pixels is converted in several bands.
    for (auto [width, height] :
         {std::pair{50, 32}, std::pair{48, 23}, std::pair{37, 21}, std::pair{1100, 1001}})
        for (int samples : {3, 1}) {
            Picture p = Pattern(width, height);
            const Bytes tiff = MakeTiff(p, COMPRESSION_NONE, 8, samples, true);
            for (const Result& r : {Decode(tiff), DecodeFromFile(tiff)}) {
                ASSERT_EQ(r.code, kCodecOk) << width << " x " << height << ", " << samples;
                EXPECT_TRUE(SamePicture(r.picture, samples == 1 ? Grey(p) : p))
                    << width << " x " << height << ", " << samples;
            }
        }
}

TEST(Tiff, LargePicturesAreConvertedBandByBand) {
    // Over a million pixels: converted in more than one band, whose seams must not show.
    Picture p = Pattern(1100, 1000);
    Bytes tiff = MakeTiff(p, COMPRESSION_LZW, 8, 3, false);
    Result r = Decode(tiff);
    ASSERT_EQ(r.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r.picture, p));
}

TEST(Tiff, UnassociatedAlphaIsDroppedNotPremultiplied) {
    Picture p = Pattern(20, 10);
    Result r = Decode(MakeTiff(p, COMPRESSION_LZW, 8, 4, false));
    ASSERT_EQ(r.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r.picture, p));
}

TEST(Tiff, HostileFilesFailSilently) {
    Bytes tiff = MakeTiff(Pattern(64, 64), COMPRESSION_LZW, 8, 3, false);
    ::testing::internal::CaptureStderr();
    EXPECT_NE(Decode(WithoutTail(tiff, tiff.size() / 2)).code, kCodecOk);
    Bytes garbage = tiff;
    for (size_t i = 8; i < garbage.size(); i += 7)
        garbage[i] ^= 0x5A;
    EXPECT_NE(Decode(garbage).code, kCodecOk);
    Bytes header{'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0, 1, 4, 0, 1, 0, 0, 0, 0xA0, 0x86, 1, 0};
    EXPECT_NE(Decode(header).code, kCodecOk);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "libtiff must not print";
}

// ---- PBM, PGM, PPM

TEST(Pnm, PlainAndRawForms) {
    Picture p = Pattern(13, 6);
    EXPECT_TRUE(SamePicture(Decode(MakePnm(p, '6', 255)).picture, p));
    EXPECT_TRUE(SamePicture(Decode(MakePnm(p, '3', 255)).picture, p));
    EXPECT_TRUE(SamePicture(Decode(MakePnm(p, '5', 255)).picture, Grey(p)));
    EXPECT_TRUE(SamePicture(Decode(MakePnm(p, '2', 255)).picture, Grey(p)));
    Picture bw = p;
    for (size_t i = 0; i < bw.rgb.size(); i += 3)
        bw.rgb[i] = bw.rgb[i + 1] = bw.rgb[i + 2] = p.rgb[i] < 128 ? 0 : 255;
    EXPECT_TRUE(SamePicture(Decode(MakePnm(p, '1', 1)).picture, bw));
    EXPECT_TRUE(SamePicture(Decode(MakePnm(p, '4', 1)).picture, bw));
}

TEST(Pnm, OtherMaxvalsAreScaled) {
    Picture p = Pattern(7, 3);
    EXPECT_TRUE(SamePicture(Decode(MakePnm(p, '6', 65535)).picture, p, 1));
    EXPECT_TRUE(SamePicture(Decode(MakePnm(p, '3', 15)).picture, p, 17));
    Result r = Decode(MakePnm(Picture{2, 1, {0, 0, 0, 255, 255, 255}}, '5', 3));
    ASSERT_EQ(r.code, kCodecOk);
    EXPECT_EQ(r.picture.At(1, 0)[0], 255);
}

TEST(Pnm, MalformedFilesFailWithoutEndingTheProcess) {
    Picture p = Pattern(8, 8);
    std::string zeroMaxval = "P5\n2 2\n0\n\x01\x02\x03\x04";
    std::string badNumber = "P3\n2 1\n255\n1 2 3 4 x 6\n";
    EXPECT_EQ(Decode(WithoutTail(MakePnm(p, '6', 255), 10)).code, kCodecBadData);
    EXPECT_EQ(Decode(WithoutTail(MakePnm(p, '2', 255), 10)).code, kCodecBadData);
    EXPECT_EQ(Decode(Bytes(zeroMaxval.begin(), zeroMaxval.end())).code, kCodecBadData);
    EXPECT_EQ(Decode(Bytes(badNumber.begin(), badNumber.end())).code, kCodecBadData);
}

} // namespace
} // namespace quillon::codec::testing

// Documents through PNG, JPEG and TIFF files: exact round trips, recognition, broken files.
#include "core/documents/ImageFiles.h"
#include "TestFolder.h"
#include "TestProfiles.h"
#include "core/HostFailure.h"

#include <gtest/gtest.h>
#include <lcms2.h>
#include <tiffio.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

using namespace quillon::filterhost;
using quillon::testing::ProfileBytes;
namespace fs = std::filesystem;

class ImageFilesTest : public quillon::testing::TestFolderTest {};

// Every sample value of the depth appears, so scale mappings are checked end to end.
Document Sweep(ColorMode mode, int depth, bool alpha) {
    const int32_t width = 64, height = 48;
    Document d = MakeDocument(mode, depth, width, height, alpha);
    const uint32_t max = depth == 16 ? 32768 : 255;
    uint32_t n = 0;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (size_t p = 0; p < d.planes.size(); ++p)
                d.At(int(p), x, y) = uint16_t((n++ * 7919u) % (max + 1));
    d.At(0, 0, 0) = uint16_t(max);
    d.At(1, 0, 0) = 0;
    d.iccProfile = {}; // exact round trips are about samples; profiles are checked apart
    return d;
}

struct Case {
    ColorMode mode;
    int depth;
    bool alpha;
    FileFormat format;
    const char* name;
};

class ExactRoundTrip : public ImageFilesTest, public ::testing::WithParamInterface<Case> {};

TEST_P(ExactRoundTrip, SamplesSurviveWriteAndRead) {
    const Case c = GetParam();
    const Document original = Sweep(c.mode, c.depth, c.alpha);
    const fs::path file = folder_ / c.name;
    WriteImageFile(original, c.format, file);
    const LoadedImage loaded = ReadImageFile(file);
    EXPECT_EQ(loaded.format, c.format);
    EXPECT_EQ(loaded.document.mode, c.mode);
    EXPECT_EQ(loaded.document.depth, c.depth);
    EXPECT_EQ(loaded.document.hasAlpha, c.alpha);
    EXPECT_EQ(loaded.document.width, original.width);
    ASSERT_EQ(loaded.document.planes.size(), original.planes.size());
    for (size_t p = 0; p < original.planes.size(); ++p)
        EXPECT_EQ(loaded.document.planes[p], original.planes[p]) << "plane " << p;
}

INSTANTIATE_TEST_SUITE_P(
    LosslessFormats, ExactRoundTrip,
    ::testing::Values(Case{ColorMode::RGB, 8, false, FileFormat::Png, "rgb8.png"},
                      Case{ColorMode::RGB, 16, true, FileFormat::Png, "rgb16a.png"},
                      Case{ColorMode::RGB, 8, true, FileFormat::Tiff, "rgb8a.tif"},
                      Case{ColorMode::RGB, 16, false, FileFormat::Tiff, "rgb16.tif"},
                      Case{ColorMode::CMYK, 8, false, FileFormat::Tiff, "cmyk8.tif"},
                      Case{ColorMode::CMYK, 16, true, FileFormat::Tiff, "cmyk16a.tif"},
                      Case{ColorMode::Lab, 8, false, FileFormat::Tiff, "lab8.tif"},
                      Case{ColorMode::Lab, 16, false, FileFormat::Tiff, "lab16.tif"}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '.', '_');
        return name;
    });

// The same samples in another TIFF layout: tiles of 48 x 32 (partial at the right and bottom
// edges of a 64 x 48 picture) or strips of 5 rows, one plane per sample or interleaved.
void Relayout(const fs::path& from, const fs::path& to, bool tiled, bool separate) {
    TIFF* in = TIFFOpen(from.c_str(), "r");
    TIFF* out = TIFFOpen(to.c_str(), "w");
    ASSERT_TRUE(in && out);
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 0, photometric = 0, extraCount = 0;
    uint16_t* extra = nullptr;
    TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(in, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(in, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(in, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(in, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, photometric);
    if (TIFFGetField(in, TIFFTAG_EXTRASAMPLES, &extraCount, &extra))
        TIFFSetField(out, TIFFTAG_EXTRASAMPLES, extraCount, extra);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    const uint32_t tileWidth = 48, tileHeight = 32;
    if (tiled) {
        TIFFSetField(out, TIFFTAG_TILEWIDTH, tileWidth);
        TIFFSetField(out, TIFFTAG_TILELENGTH, tileHeight);
    } else {
        TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, 5);
    }

    const size_t bytes = bits / 8, pixelBytes = samples * bytes, rowBytes = width * pixelBytes;
    std::vector<uint8_t> image(rowBytes * height);
    for (uint32_t y = 0; y < height; ++y)
        TIFFReadScanline(in, &image[y * rowBytes], y, 0);
    const size_t unitBytes = separate ? bytes : pixelBytes;
    // Copies the block at (x0, y0) of one plane into a buffer w pixels wide.
    auto block = [&](uint16_t plane, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h) {
        std::vector<uint8_t> b(w * h * unitBytes);
        for (uint32_t y = 0; y < h && y0 + y < height; ++y)
            for (uint32_t x = 0; x < w && x0 + x < width; ++x)
                std::memcpy(&b[(y * w + x) * unitBytes],
                            &image[(y0 + y) * rowBytes + (x0 + x) * pixelBytes +
                                   (separate ? plane * bytes : 0)],
                            unitBytes);
        return b;
    };
    for (uint16_t plane = 0; plane < (separate ? samples : 1); ++plane) {
        if (tiled) {
            for (uint32_t y = 0; y < height; y += tileHeight)
                for (uint32_t x = 0; x < width; x += tileWidth) {
                    std::vector<uint8_t> tile = block(plane, x, y, tileWidth, tileHeight);
                    TIFFWriteTile(out, tile.data(), x, y, 0, plane);
                }
        } else {
            for (uint32_t y = 0; y < height; ++y) {
                std::vector<uint8_t> row = block(plane, 0, y, width, 1);
                TIFFWriteScanline(out, row.data(), y, plane);
            }
        }
    }
    TIFFClose(out);
    TIFFClose(in);
}

TEST_F(ImageFilesTest, EveryTiffLayoutReadsTheSameSamples) {
    const Document documents[] = {Sweep(ColorMode::RGB, 16, true), Sweep(ColorMode::CMYK, 8, false),
                                  Sweep(ColorMode::Lab, 16, false), Sweep(ColorMode::Lab, 8, true)};
    const struct { bool tiled, separate; } layouts[] = {{false, true}, {true, false}, {true, true}};
    for (const Document& original : documents) {
        WriteImageFile(original, FileFormat::Tiff, folder_ / "strips.tif");
        for (const auto layout : layouts) {
            Relayout(folder_ / "strips.tif", folder_ / "other.tif", layout.tiled, layout.separate);
            const std::string what =
                std::string(ModeName(original.mode)) + std::to_string(original.depth) +
                (layout.tiled ? " tiled" : " strips") + (layout.separate ? " separate" : "");
            const Document read = ReadImageFile(folder_ / "other.tif").document;
            EXPECT_EQ(read.mode, original.mode) << what;
            EXPECT_EQ(read.hasAlpha, original.hasAlpha) << what;
            EXPECT_EQ(read.planes, original.planes) << what;
        }
    }
}

// A 4 x 3 TIFF of 8-bit samples, all 100, with the given samples per pixel and tiles of 16 x 16.
void WriteManySamples(const fs::path& file, uint16_t photometric, uint16_t samples) {
    TIFF* t = TIFFOpen(file.c_str(), "w");
    ASSERT_TRUE(t);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 4u);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, 3u);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    const std::vector<uint16_t> extra(samples - 3u, EXTRASAMPLE_UNSPECIFIED);
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(extra.size()), extra.data());
    TIFFSetField(t, TIFFTAG_TILEWIDTH, 16u);
    TIFFSetField(t, TIFFTAG_TILELENGTH, 16u);
    std::vector<uint8_t> tile(16 * 16 * size_t(samples), 100);
    TIFFWriteTile(t, tile.data(), 0, 0, 0, 0);
    TIFFClose(t);
}

TEST_F(ImageFilesTest, PicturesWithManyExtraChannelsOpenWithinBounds) {
    WriteManySamples(folder_ / "rgb.tif", PHOTOMETRIC_RGB, 16);
    const Document rgb = ReadImageFile(folder_ / "rgb.tif").document;
    EXPECT_TRUE(rgb.hasAlpha);
    EXPECT_EQ(rgb.At(2, 3, 2), 100);

    // Past the bound, RGB still opens through libtiff's own reader; Lab has no other way in.
    WriteManySamples(folder_ / "rgb-many.tif", PHOTOMETRIC_RGB, 40);
    const Document many = ReadImageFile(folder_ / "rgb-many.tif").document;
    EXPECT_EQ(many.At(0, 0, 0), 100);
    EXPECT_EQ(many.At(2, 3, 2), 100);
    WriteManySamples(folder_ / "lab-many.tif", PHOTOMETRIC_CIELAB, 40);
    try {
        ReadImageFile(folder_ / "lab-many.tif");
        ADD_FAILURE() << "a Lab TIFF with 40 samples per pixel was read";
    } catch (const HostFailure& failure) {
        EXPECT_NE(std::string(failure.what()).find("unsupported Lab TIFF layout"),
                  std::string::npos)
            << failure.what();
    }
}

TEST_F(ImageFilesTest, PicturesOverTheCallersLimitAreRefusedBeforeReading) {
    const Document d = Sweep(ColorMode::RGB, 8, false); // 64 x 48
    for (auto [format, name] :
         {std::pair{FileFormat::Png, "t.png"}, std::pair{FileFormat::Tiff, "t.tif"},
          std::pair{FileFormat::Jpeg, "t.jpg"}}) {
        WriteImageFile(d, format, folder_ / name);
        EXPECT_EQ(ReadImageFile(folder_ / name, 64 * 48).document.width, 64) << name;
        try {
            ReadImageFile(folder_ / name, 64 * 48 - 1);
            ADD_FAILURE() << name << " was read over the limit";
        } catch (const HostFailure& failure) {
            EXPECT_NE(std::string(failure.what()).find("too large"), std::string::npos)
                << failure.what();
        }
    }
}

TEST_F(ImageFilesTest, JpegKeepsModeAndStaysCloseToTheSamples) {
    for (ColorMode mode : {ColorMode::RGB, ColorMode::CMYK}) {
        Document original = MakeDocument(mode, 8, 32, 32);
        for (int32_t y = 0; y < 32; ++y)
            for (int32_t x = 0; x < 32; ++x)
                for (int c = 0; c < original.ColorChannels(); ++c)
                    original.At(c, x, y) = uint16_t(40 + x * 4 + c * 10);
        const fs::path file = folder_ / "picture.jpg";
        WriteImageFile(original, FileFormat::Jpeg, file);
        const Document loaded = ReadImageFile(file).document;
        ASSERT_EQ(loaded.mode, mode);
        for (int c = 0; c < original.ColorChannels(); ++c)
            EXPECT_NEAR(loaded.At(c, 16, 16), original.At(c, 16, 16), 3) << ModeName(mode);
    }
}

TEST_F(ImageFilesTest, ProfilesTravelWithTheDocument) {
    Document d = Sweep(ColorMode::RGB, 8, false);
    d.iccProfile = ProfileBytes(cmsCreate_sRGBProfile());
    for (auto [format, name] :
         {std::pair{FileFormat::Png, "p.png"}, std::pair{FileFormat::Tiff, "p.tif"},
          std::pair{FileFormat::Jpeg, "p.jpg"}}) {
        WriteImageFile(d, format, folder_ / name);
        EXPECT_EQ(ReadImageFile(folder_ / name).document.iccProfile, d.iccProfile) << name;
    }
}

TEST_F(ImageFilesTest, FilesAreRecognisedByContentNotName) {
    const Document d = Sweep(ColorMode::RGB, 8, false);
    WriteImageFile(d, FileFormat::Png, folder_ / "really-a-png.jpg");
    const LoadedImage loaded = ReadImageFile(folder_ / "really-a-png.jpg");
    EXPECT_EQ(loaded.format, FileFormat::Png);
    EXPECT_EQ(loaded.document.planes, d.planes);
}

TEST_F(ImageFilesTest, OutputFormatFollowsTheExtension) {
    EXPECT_EQ(FormatForOutput("a.PNG", FileFormat::Tiff), FileFormat::Png);
    EXPECT_EQ(FormatForOutput("a.jpeg", FileFormat::Tiff), FileFormat::Jpeg);
    EXPECT_EQ(FormatForOutput("a.tif", FileFormat::Png), FileFormat::Tiff);
    EXPECT_EQ(FormatForOutput("a.out", FileFormat::Jpeg), FileFormat::Jpeg);
}

TEST_F(ImageFilesTest, FormatsRefuseModesTheyCannotHold) {
    const Document lab = Sweep(ColorMode::Lab, 8, false);
    EXPECT_THROW(WriteImageFile(lab, FileFormat::Png, folder_ / "x.png"), HostFailure);
    EXPECT_THROW(WriteImageFile(lab, FileFormat::Jpeg, folder_ / "x.jpg"), HostFailure);
    EXPECT_FALSE(fs::exists(folder_ / "x.png"));
    EXPECT_TRUE(fs::is_empty(folder_)) << "no temporary file is left behind";
}

// Samples that hardly repeat, in a picture large enough to be read in two halves.
Document Large(ColorMode mode, int depth, int32_t width, int32_t height, bool alpha) {
    Document d = MakeDocument(mode, depth, width, height, alpha);
    const uint32_t max = depth == 16 ? 32768 : 255;
    uint32_t n = 1;
    for (auto& plane : d.planes)
        for (uint16_t& sample : plane) {
            n = n * 1664525u + 1013904223u;
            sample = uint16_t((n >> 8) % (max + 1));
        }
    return d;
}

// Every sample of a 16-bit RGB file as stored, read through libtiff alone.
std::vector<uint16_t> StoredSamples(const fs::path& file) {
    TIFF* t = TIFFOpen(file.c_str(), "r");
    uint32_t width = 0, height = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
    std::vector<uint16_t> samples(size_t(width) * height * 3);
    for (uint32_t y = 0; y < height; ++y)
        TIFFReadScanline(t, &samples[size_t(y) * width * 3], y, 0);
    TIFFClose(t);
    return samples;
}

// Pages of several megabytes are read in two halves on two threads: each layout and depth, on
// any page, reads back what was written; 16-bit file samples off the host's scale come back
// exactly; a file spoiled in its lower half fails.
TEST_F(ImageFilesTest, LargePagesReadInTwoHalvesExactly) {
    const Document small = Sweep(ColorMode::RGB, 8, false);
    for (const Document& d :
         {Large(ColorMode::RGB, 8, 1501, 1003, false), Large(ColorMode::CMYK, 16, 701, 700, true),
          Large(ColorMode::Lab, 16, 900, 801, false)}) {
        SCOPED_TRACE(std::string(ModeName(d.mode)) + std::to_string(d.depth));
        WriteImageFile({&small, &d}, FileFormat::Tiff, folder_ / "pages.tif");
        EXPECT_EQ(ReadImageFile(folder_ / "pages.tif").morePages.at(0).planes, d.planes);
        WriteImageFile(d, FileFormat::Tiff, folder_ / "large.tif");
        Relayout(folder_ / "large.tif", folder_ / "lzw.tif", false, false);
        EXPECT_EQ(ReadImageFile(folder_ / "lzw.tif").document.planes, d.planes);
        // Compressed bytes of a strip in the lower half spoiled.
        {
            std::fstream file(folder_ / "large.tif",
                              std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(std::streamoff(fs::file_size(folder_ / "large.tif") * 3 / 4));
            file << std::string(4096, '\xff');
        }
        EXPECT_THROW(ReadImageFile(folder_ / "large.tif"), HostFailure);
    }

    const uint32_t width = 1200, height = 700;
    std::vector<uint16_t> samples(size_t(width) * height * 3);
    uint32_t n = 5;
    for (uint16_t& sample : samples) {
        n = n * 1664525u + 1013904223u;
        sample = uint16_t(n >> 16);
    }
    TIFF* t = TIFFOpen((folder_ / "deep.tif").c_str(), "w");
    ASSERT_TRUE(t);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 8);
    for (uint32_t y = 0; y < height; ++y)
        TIFFWriteScanline(t, &samples[size_t(y) * width * 3], y, 0);
    TIFFClose(t);
    WriteImageFile(ReadImageFile(folder_ / "deep.tif").document, FileFormat::Tiff,
                   folder_ / "again.tif");
    EXPECT_TRUE(StoredSamples(folder_ / "again.tif") == samples);
}

TEST_F(ImageFilesTest, BrokenFilesFailWithAMessage) {
    const Document d = Sweep(ColorMode::RGB, 8, false);
    for (auto [format, name] :
         {std::pair{FileFormat::Png, "t.png"}, std::pair{FileFormat::Tiff, "t.tif"},
          std::pair{FileFormat::Jpeg, "t.jpg"}}) {
        WriteImageFile(d, format, folder_ / name);
        const auto size = fs::file_size(folder_ / name);
        for (auto keep : {size / 2, size_t(20), size_t(9)}) {
            fs::resize_file(folder_ / name, keep);
            EXPECT_THROW(ReadImageFile(folder_ / name), HostFailure) << name << " cut to " << keep;
        }
    }
    std::ofstream(folder_ / "text.tif") << "hello, not a picture";
    EXPECT_THROW(ReadImageFile(folder_ / "text.tif"), HostFailure);
    std::ofstream(folder_ / "empty.png");
    EXPECT_THROW(ReadImageFile(folder_ / "empty.png"), HostFailure);
    EXPECT_THROW(ReadImageFile(folder_ / "missing.png"), HostFailure);
}

TEST_F(ImageFilesTest, UnwritableFolderFailsWithoutOutput) {
    const Document d = Sweep(ColorMode::RGB, 8, false);
    EXPECT_THROW(WriteImageFile(d, FileFormat::Png, folder_ / "no-such-folder" / "x.png"),
                 HostFailure);
}

} // namespace

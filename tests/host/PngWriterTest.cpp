// PNG files large enough that the writer compresses their image data in several pieces on two
// threads: libpng alone and ImageMagick decode the same samples, what travels beside the pixels
// comes back, and a cancel leaves no file.
#include "Scenery.h"
#include "TestFolder.h"
#include "TestProfiles.h"
#include "core/documents/ImageFiles.h"
#include "core/documents/ImageFormats.h"
#include "core/documents/PngImageData.h"

#include <gtest/gtest.h>
#include <lcms2.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace quillon::filterhost;
using quillon::testing::ProfileBytes;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class PngWriterTest : public quillon::testing::TestFolderTest {};

struct Decoded {
    uint32_t width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    Bytes samples; // as stored: interleaved, 16-bit ones big-endian
};

// libpng's own reading, no transformation: errors end the test program, as they should not occur.
Decoded ReadWithLibpng(const fs::path& file) {
    Decoded d;
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return d;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    d.width = png_get_image_width(png, info);
    d.height = png_get_image_height(png, info);
    d.bitDepth = png_get_bit_depth(png, info);
    d.colorType = png_get_color_type(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    png_bytepp rows = png_get_rows(png, info);
    for (uint32_t y = 0; y < d.height; ++y)
        d.samples.insert(d.samples.end(), rows[y], rows[y] + rowBytes);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return d;
}

Bytes ReadWithImageMagick(const fs::path& file, int depth, bool alpha) {
    const fs::path raw = file.string() + ".raw";
    const std::string command = "convert '" + file.string() + "' -endian MSB -depth " +
                                std::to_string(depth) + (alpha ? " rgba:'" : " rgb:'") +
                                raw.string() + "'";
    if (std::system(command.c_str()) != 0) return {};
    std::ifstream in(raw, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct FileCase {
    const char* name;
    int depth;
    bool alpha;
    int32_t width, height;
};

class PngPieces : public PngWriterTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(PngPieces, DecodeAlikeEverywhere) {
    const FileCase c = GetParam();
    Document d = MakeDocument(ColorMode::RGB, c.depth, c.width, c.height, c.alpha);
    const Document scenery = quillon::tools::MakeScenery(c.width, c.height);
    for (size_t p = 0; p < d.planes.size(); ++p)
        for (size_t i = 0; i < d.planes[p].size(); ++i) {
            const uint16_t v = scenery.planes[p % 3][i] ^ uint16_t(p == 3 ? i & 0x3f : 0);
            d.planes[p][i] =
                c.depth == 16 ? uint16_t((v * 32768u + 127) / 255 + (i * 7 % 97)) : uint16_t(v);
        }
    for (auto& plane : d.planes)
        for (uint16_t& v : plane)
            v = std::min<uint16_t>(v, c.depth == 16 ? 32768 : 255);
    const size_t samples = d.planes.size(), bytes = size_t(c.depth / 8);
    ASSERT_GT(size_t(c.width) * size_t(c.height) * samples * bytes, kImageDataPieceBytes)
        << "the picture must make several pieces";

    const fs::path file = folder_ / (std::string(c.name) + ".png");
    WriteImageFile(d, FileFormat::Png, file);
    const LoadedImage ours = ReadImageFile(file);
    EXPECT_EQ(ours.document.planes, d.planes) << "our reader";

    const Decoded libpng = ReadWithLibpng(file);
    EXPECT_EQ(libpng.width, uint32_t(c.width));
    EXPECT_EQ(libpng.height, uint32_t(c.height));
    EXPECT_EQ(libpng.bitDepth, c.depth);
    EXPECT_EQ(libpng.colorType, c.alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB);
    ASSERT_EQ(libpng.samples.size(), size_t(c.width) * size_t(c.height) * samples * bytes);
    // 16-bit samples are stored on the file's 0..65535 scale, big-endian.
    for (size_t i = 0; i < d.planes[0].size(); ++i) {
        for (size_t p = 0; p < samples; ++p) {
            const size_t at = (i * samples + p) * bytes;
            const unsigned stored =
                c.depth == 8 ? libpng.samples[at]
                             : unsigned(libpng.samples[at]) << 8 | libpng.samples[at + 1];
            const unsigned expected = c.depth == 8 ? d.planes[p][i] : ToFile16(d.planes[p][i]);
            ASSERT_EQ(stored, expected) << "sample " << i << " of plane " << p;
        }
    }
    EXPECT_EQ(ReadWithImageMagick(file, c.depth, c.alpha), libpng.samples) << "ImageMagick";
}

INSTANTIATE_TEST_SUITE_P(Depths, PngPieces,
                         ::testing::Values(FileCase{"rgb8", 8, false, 1500, 1100},
                                           FileCase{"rgba16", 16, true, 1100, 700}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PngWriterTest, WhatTravelsBesideThePixelsComesBack) {
    Document d = quillon::tools::MakeScenery(1500, 1100);
    d.metadata.xResolution = d.metadata.yResolution = 300;
    d.metadata.resolutionUnit = ResolutionUnit::Inch;
    d.metadata.exif = ExifWithOrientation({}, 6);
    d.metadata.orientation = 6;
    d.metadata.xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'>quillon</x:xmpmeta>";
    d.iccProfile = ProfileBytes(cmsCreate_sRGBProfile());

    WriteImageFile(d, FileFormat::Png, folder_ / "m.png");
    const Document back = ReadImageFile(folder_ / "m.png").document;
    EXPECT_EQ(back.planes, d.planes);
    EXPECT_EQ(back.iccProfile, d.iccProfile);
    EXPECT_EQ(back.metadata.xmp, d.metadata.xmp);
    EXPECT_EQ(back.metadata.orientation, 6);
    EXPECT_NEAR(back.metadata.xResolution * 2.54, 300, 0.5);
    EXPECT_EQ(back.metadata.resolutionUnit, ResolutionUnit::Centimetre);
}

TEST_F(PngWriterTest, CancelLeavesNoFile) {
    const Document d = quillon::tools::MakeScenery(1500, 1100);
    // The picture makes two pieces: the interrupt is looked at before each.
    for (const int answerAfter : {0, 1}) {
        int asked = 0;
        EXPECT_THROW(WriteImageFile(d, FileFormat::Png, folder_ / "c.png",
                                    [&] { return asked++ >= answerAfter; }),
                     Cancelled)
            << "answer after " << answerAfter;
        EXPECT_TRUE(fs::is_empty(folder_)) << "answer after " << answerAfter;
    }
}

} // namespace

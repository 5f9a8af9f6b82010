// What files say about their pictures, believed only as far as it can be true: sizes that overflow
// or that the stored data cannot hold are refused before anything is allocated, and EXIF fields
// are read whatever numeric type the camera chose.
#include "TestFolder.h"
#include "core/HostFailure.h"
#include "core/documents/ImageFiles.h"
#include "core/documents/ImageFormats.h"
#include "core/documents/SizeClaims.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using namespace quillon::filterhost;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class FileClaimsTest : public quillon::testing::TestFolderTest {};

Bytes ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The message ReadImageFile fails with, or "read" when it reads the file.
std::string Verdict(const fs::path& file, int64_t maxPixels = kMaxImagePixels) {
    try {
        ReadImageFile(file, maxPixels);
        return "read";
    } catch (const HostFailure& failure) {
        return failure.what();
    }
}

TEST(SizeClaimsTest, ProductsAndBoundsNeverOverflow) {
    struct Case {
        uint64_t width, height;
        int64_t limit;
        bool within;
    };
    const Case cases[] = {
        {4161273858u, 4261494016u, int64_t{1} << 30, false}, // the product passes 2^63
        {UINT32_MAX, uint64_t{1} << 31, INT64_MAX, true},
        {UINT32_MAX, UINT32_MAX, INT64_MAX, false},
        {UINT64_MAX, 2, INT64_MAX, false},
        {64, 48, 64 * 48, true},
        {64, 48, 64 * 48 - 1, false},
        {1, 1, -1, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PixelsWithin(c.width, c.height, c.limit), c.within)
            << c.width << " x " << c.height << " within " << c.limit;
    EXPECT_FALSE(Product(UINT64_MAX, 2).has_value());
    EXPECT_EQ(Product(1u << 20, 1u << 20).value_or(0), uint64_t{1} << 40);
    EXPECT_TRUE(CanHold(100, kMaxDeflateRatio, 103200));
    EXPECT_FALSE(CanHold(100, kMaxDeflateRatio, 103201));
    EXPECT_TRUE(CanHold(UINT64_MAX / 2, kMaxDeflateRatio, UINT64_MAX)); // the bound overflows
}

// A TIFF the fuzzer found: 190 bytes claiming 4161273858 x 4261494016 pixels, whose product
// overflowed the size check.
TEST_F(FileClaimsTest, ASizeWhoseProductOverflowsIsRefusedAsTooLarge) {
    const std::string base64 =
        "SUkqABQAAAB4AWOgMQAAAGAAAQAOAP4ABAABAAAAAgAAAAABBAABAAAAAgAI+P/+/P/+//"
        "8ASUkqAAEBBAABAAAAAD0B"
        "/v///"
        "wAAAgAAANQAAAAIAAgACAB4AWMY4QAAAQAAAAAADUlIABEBBAABAAAACABwxWiT6JEDAAASAQMAAAAAAQAAABUB"
        "AwABAAQAAAAXAQQAAQAACAAICAAAeAFjGOEAKAEAAAAAAExAAwABAAAAAQAAAAAAAAAQAA==";
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Bytes bytes;
    uint32_t bits = 0;
    int held = 0;
    for (char ch : base64) {
        if (ch == '=') break;
        bits = bits << 6 | uint32_t(alphabet.find(ch));
        if ((held += 6) >= 8) bytes.push_back(uint8_t(bits >> (held -= 8)));
    }
    ASSERT_EQ(bytes.size(), 190u);
    WriteAll(folder_ / "claims.tif", bytes);
    for (int64_t limit : {int64_t{1} << 20, kMaxImagePixels, int64_t{1} << 31}) {
        const std::string verdict = Verdict(folder_ / "claims.tif", limit);
        EXPECT_NE(verdict.find("picture too large (4161273858 x 4261494016)"), std::string::npos)
            << verdict;
    }
}

// A PNG's IHDR given another size, its CRC mended.
void ClaimSize(Bytes& png, uint32_t width, uint32_t height) {
    for (int i = 0; i < 4; ++i) {
        png[16 + size_t(i)] = uint8_t(width >> (24 - 8 * i));
        png[20 + size_t(i)] = uint8_t(height >> (24 - 8 * i));
    }
    const uint32_t crc = uint32_t(crc32(crc32(0, nullptr, 0), png.data() + 12, 17));
    for (int i = 0; i < 4; ++i)
        png[29 + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
}

// A TIFF of width x height RGB pixels whose one strip or tile holds only `stored` bytes.
void WriteTiffClaim(const fs::path& file, uint32_t width, uint32_t height, uint16_t compression,
                    bool tiled, size_t stored) {
    TIFF* t = TIFFOpen(file.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
    if (tiled) {
        TIFFSetField(t, TIFFTAG_TILEWIDTH, 256);
        TIFFSetField(t, TIFFTAG_TILELENGTH, 256);
    } else {
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, height);
    }
    const Bytes data(stored, 0x55);
    if (tiled)
        TIFFWriteRawTile(t, 0, const_cast<uint8_t*>(data.data()), tmsize_t(data.size()));
    else
        TIFFWriteRawStrip(t, 0, const_cast<uint8_t*>(data.data()), tmsize_t(data.size()));
    TIFFClose(t);
}

TEST_F(FileClaimsTest, ClaimsTheStoredDataCannotHoldAreRefusedBeforeAllocating) {
    WriteImageFile(MakeDocument(ColorMode::RGB, 8, 64, 64), FileFormat::Png, folder_ / "s.png");
    Bytes png = ReadAll(folder_ / "s.png");
    ClaimSize(png, 30000, 30000);
    WriteAll(folder_ / "claims.png", png);
    WriteTiffClaim(folder_ / "deflate.tif", 30000, 30000, COMPRESSION_ADOBE_DEFLATE, false, 4000);
    WriteTiffClaim(folder_ / "tiles.tif", 30000, 30000, COMPRESSION_ADOBE_DEFLATE, true, 4000);
    WriteTiffClaim(folder_ / "lzw.tif", 30000, 30000, COMPRESSION_LZW, false, 4000);
    WriteTiffClaim(folder_ / "packbits.tif", 3000, 3000, COMPRESSION_PACKBITS, false, 4000);
    WriteTiffClaim(folder_ / "raw.tif", 3000, 3000, COMPRESSION_NONE, false, 4000);
    for (const char* name :
         {"claims.png", "deflate.tif", "tiles.tif", "lzw.tif", "packbits.tif", "raw.tif"}) {
        const std::string verdict = Verdict(folder_ / name);
        EXPECT_NE(verdict.find("cannot hold"), std::string::npos) << name << ": " << verdict;
    }
}

// Pictures of one colour compress about as far as deflate goes; they still open.
TEST_F(FileClaimsTest, PicturesThatCompressAsFarAsDeflateGoesStillOpen) {
    Document white = MakeDocument(ColorMode::RGB, 8, 3000, 2000);
    for (auto& plane : white.planes)
        std::fill(plane.begin(), plane.end(), uint16_t(255));
    for (auto [format, name] :
         {std::pair{FileFormat::Png, "white.png"}, std::pair{FileFormat::Tiff, "white.tif"}}) {
        WriteImageFile(white, format, folder_ / name);
        EXPECT_EQ(Verdict(folder_ / name), "read") << name;
    }
}

// An EXIF block with Orientation of the given type and 300 dpi, as IFD0 entries.
Bytes CameraExif(bool big, uint16_t orientationType, uint32_t orientation) {
    Bytes b;
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.push_back(uint8_t(v >> (8 * (big ? bytes - 1 - i : i))));
    };
    b.push_back(big ? 'M' : 'I');
    b.push_back(big ? 'M' : 'I');
    put(42, 2);
    put(8, 4);
    put(4, 2);                                     // four entries
    const uint32_t rationals = 8 + 2 + 4 * 12 + 4; // after the IFD and its next-IFD offset
    const bool wide = orientationType == 4 || orientationType == 9;
    put(0x0112, 2), put(orientationType, 2), put(1, 4), put(orientation, wide ? 4 : 2);
    if (!wide) put(0, 2);
    put(0x011A, 2), put(5, 2), put(1, 4), put(rationals, 4);
    put(0x011B, 2), put(5, 2), put(1, 4), put(rationals + 8, 4);
    put(0x0128, 2), put(3, 2), put(1, 4), put(2, 2), put(0, 2);
    put(0, 4);
    put(300, 4), put(1, 4), put(600, 4), put(2, 4);
    return b;
}

TEST_F(FileClaimsTest, CameraOrientationAndResolutionReachATiffWhateverTheirExifType) {
    struct Case {
        const char* name;
        uint16_t type;
        bool big;
    };
    const Case cases[] = {{"SHORT", 3, false},
                          {"LONG", 4, false},
                          {"SSHORT", 8, true},
                          {"SLONG", 9, false},
                          {"SLONG big", 9, true}};
    for (const Case& c : cases) {
        Document d = MakeDocument(ColorMode::RGB, 8, 24, 16);
        d.metadata.exif = CameraExif(c.big, c.type, 6);
        WriteImageFile(d, FileFormat::Jpeg, folder_ / "camera.jpg");
        const Document jpeg = ReadImageFile(folder_ / "camera.jpg").document;
        EXPECT_EQ(jpeg.metadata.orientation, 6) << c.name;
        EXPECT_DOUBLE_EQ(jpeg.metadata.xResolution, 300) << c.name;
        EXPECT_DOUBLE_EQ(jpeg.metadata.yResolution, 300) << c.name;
        EXPECT_EQ(jpeg.metadata.resolutionUnit, ResolutionUnit::Inch) << c.name;

        WriteImageFile(jpeg, FileFormat::Tiff, folder_ / "camera.tif");
        const Document tiff = ReadImageFile(folder_ / "camera.tif").document;
        EXPECT_EQ(tiff.metadata.orientation, 6) << c.name;
        EXPECT_DOUBLE_EQ(tiff.metadata.xResolution, 300) << c.name;

        // A new orientation goes into the camera's own field, of its own width.
        const Bytes turned = ExifWithOrientation(d.metadata.exif, 3);
        EXPECT_EQ(turned.size(), d.metadata.exif.size()) << c.name;
        EXPECT_EQ(ExifOrientation(turned), 3) << c.name;
    }
}

} // namespace

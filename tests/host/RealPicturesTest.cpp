// Pictures as real files carry them: grey with grey profiles, metadata, 16-bit samples, several
// pages, damaged or oversized JPEG data.
#include "TestFolder.h"
#include "TestProfiles.h"
#include "core/HostFailure.h"
#include "core/documents/ImageFiles.h"
#include "core/suites/ColorServices.h"

#include <gtest/gtest.h>
#include <lcms2.h>
#include <png.h>
#include <tiffio.h>
#include <zlib.h>

#include <cstdio>
// jpeglib.h needs stdio's FILE and size_t declared first.
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using namespace quillon::filterhost;
using quillon::testing::ProfileBytes;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class RealPicturesTest : public quillon::testing::TestFolderTest {};

// A grey profile with a linear tone curve: grey 128 is half the light, sRGB 188.
Bytes LinearGreyProfile() {
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    Bytes bytes = ProfileBytes(cmsCreateGrayProfile(cmsD50_xyY(), linear));
    cmsFreeToneCurve(linear);
    return bytes;
}

Bytes ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// 16 x 8 grey pictures of level 128 with the profile embedded, one per format.
void WriteGreyPng(const fs::path& file, const Bytes& icc) {
    FILE* f = std::fopen(file.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, 16, 8, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_iCCP(png, info, "grey", PNG_COMPRESSION_TYPE_BASE, icc.data(), png_uint_32(icc.size()));
    png_write_info(png, info);
    Bytes row(16, 128);
    for (int y = 0; y < 8; ++y)
        png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

void WriteGreyJpeg(const fs::path& file, const Bytes& icc, bool progressive = false, int width = 16,
                   int height = 8) {
    FILE* f = std::fopen(file.c_str(), "wb");
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, f);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    if (!icc.empty()) jpeg_write_icc_profile(&info, icc.data(), unsigned(icc.size()));
    Bytes row(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            row[size_t(x)] = uint8_t(icc.empty() ? (x * 37 + y * 11) % 256 : 128);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(f);
}

// A TIFF of interleaved strips, its rows still to be written.
TIFF* NewTiff(const fs::path& file, uint32_t width, uint32_t height, uint16_t bits,
              uint16_t samples, uint16_t photometric) {
    TIFF* t = TIFFOpen(file.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
    return t;
}

void WriteGreyTiff(const fs::path& file, const Bytes& icc) {
    TIFF* t = NewTiff(file, 16, 8, 8, 1, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(icc.size()), icc.data());
    Bytes row(16, 128);
    for (uint32_t y = 0; y < 8; ++y)
        TIFFWriteScanline(t, row.data(), y, 0);
    TIFFClose(t);
}

TEST_F(RealPicturesTest, GreyProfilesTurnGreyIntoSrgbAndColourServicesTakeTheResult) {
    const Bytes grey = LinearGreyProfile();
    WriteGreyPng(folder_ / "g.png", grey);
    WriteGreyJpeg(folder_ / "g.jpg", grey);
    WriteGreyTiff(folder_ / "g.tif", grey);
    for (const char* name : {"g.png", "g.jpg", "g.tif"}) {
        const Document d = ReadImageFile(folder_ / name).document;
        ASSERT_EQ(d.mode, ColorMode::RGB) << name;
        EXPECT_TRUE(d.notes.empty()) << name << ": " << d.notes.front();
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(d.At(c, 5, 5), 188, 2) << name << " through the linear grey profile";
        // The colour-space suite builds its transforms from the document's profile.
        ColorServices services(d.iccProfile);
        Color8 colour{0, uint8_t(d.At(0, 5, 5)), uint8_t(d.At(1, 5, 5)), uint8_t(d.At(2, 5, 5))};
        services.Convert8(plugIncolorServicesRGBSpace, plugIncolorServicesLabSpace, &colour, 1);
        EXPECT_NEAR(colour.c1, 194, 2) << name << ": L* of half the light is 76";
    }
}

TEST_F(RealPicturesTest, ProfilesThatDoNotFitTheModeAreLeftOutWithANote) {
    // A grey profile on an RGB picture, and bytes that are no profile at all.
    Document d = MakeDocument(ColorMode::RGB, 8, 8, 8);
    for (const Bytes& profile : {LinearGreyProfile(), Bytes(300, 7)}) {
        d.iccProfile = profile;
        WriteImageFile(d, FileFormat::Tiff, folder_ / "p.tif");
        const Document read = ReadImageFile(folder_ / "p.tif").document;
        EXPECT_TRUE(read.iccProfile.empty());
        ASSERT_EQ(read.notes.size(), 1u);
        EXPECT_NE(read.notes[0].find("left out"), std::string::npos) << read.notes[0];
    }
}

// The bytes of a 16 x 8 baseline JPEG's entropy data: from after the last SOS to EOI.
std::pair<size_t, size_t> EntropyData(const Bytes& jpeg) {
    size_t start = 0;
    for (size_t i = 0; i + 3 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA)
            start = i + 2 + (jpeg[i + 2] << 8 | jpeg[i + 3]);
    return {start, jpeg.size() - 2};
}

TEST_F(RealPicturesTest, DamagedJpegDataIsRefusedNotDecodedIntoGrey) {
    WriteGreyJpeg(folder_ / "good.jpg", {}, false, 64, 64);
    const Bytes good = ReadAll(folder_ / "good.jpg");
    const auto [start, end] = EntropyData(good);
    ASSERT_GT(end, start + 40);
    // Scans that stop a third of the way, then a proper end of image.
    Bytes early(good.begin(), good.begin() + long(start + (end - start) / 3));
    early.insert(early.end(), {0xFF, 0xD9});
    // Entropy data overwritten by a restart marker that does not belong there.
    Bytes corrupt = good;
    corrupt[start + 10] = 0xFF;
    corrupt[start + 11] = 0xD3;
    for (auto [name, bytes] : {std::pair{"early.jpg", early}, std::pair{"corrupt.jpg", corrupt}}) {
        WriteAll(folder_ / name, bytes);
        try {
            ReadImageFile(folder_ / name);
            ADD_FAILURE() << name << " was read";
        } catch (const HostFailure& failure) {
            EXPECT_NE(std::string(failure.what()).find("broken JPEG"), std::string::npos)
                << failure.what();
        }
    }
}

TEST_F(RealPicturesTest, JpegsClaimingMoreThanTheirBytesHoldAreRefusedBeforeDecoding) {
    WriteGreyJpeg(folder_ / "small.jpg", {}, true, 64, 64);
    Bytes jpeg = ReadAll(folder_ / "small.jpg");
    // The frame header's height and width, raised to 20000 x 20000.
    for (size_t i = 0; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC2) {
            jpeg[i + 5] = 0x4E, jpeg[i + 6] = 0x20, jpeg[i + 7] = 0x4E, jpeg[i + 8] = 0x20;
            break;
        }
    WriteAll(folder_ / "claims.jpg", jpeg);
    try {
        ReadImageFile(folder_ / "claims.jpg");
        ADD_FAILURE() << "a JPEG of " << jpeg.size() << " bytes was read as 20000 x 20000";
    } catch (const HostFailure& failure) {
        EXPECT_NE(std::string(failure.what()).find("cannot hold a picture of 20000 x 20000"),
                  std::string::npos)
            << failure.what();
    }
    // Under a smaller limit the same file is refused for its size before anything else.
    EXPECT_THROW(ReadImageFile(folder_ / "claims.jpg", 1000 * 1000), HostFailure);
}

TEST_F(RealPicturesTest, MetadataTravelsThroughEveryFormat) {
    const Bytes cmykProfile = ReadAll(kDefaultCmykProfile);
    ASSERT_GT(cmykProfile.size(), 65535u) << "a profile that needs several JPEG markers";
    for (ColorMode mode : {ColorMode::RGB, ColorMode::CMYK})
        for (auto [format, name] :
             {std::pair{FileFormat::Png, "m.png"}, std::pair{FileFormat::Jpeg, "m.jpg"},
              std::pair{FileFormat::Tiff, "m.tif"}}) {
            if (mode == ColorMode::CMYK && format == FileFormat::Png) continue;
            Document d = MakeDocument(mode, 8, 16, 8);
            d.iccProfile =
                mode == ColorMode::CMYK ? cmykProfile : ProfileBytes(cmsCreate_sRGBProfile());
            d.metadata.xResolution = 300;
            d.metadata.yResolution = 150;
            d.metadata.resolutionUnit = ResolutionUnit::Inch;
            d.metadata.orientation = 6;
            d.metadata.exif = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0,
                               3,   0,   0, 0,  1, 0, 6, 0, 0, 0, 0,    0,    0};
            d.metadata.xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'>quillon</x:xmpmeta>";
            const std::string what = std::string(ModeName(mode)) + " " + name;
            WriteImageFile(d, format, folder_ / name);
            const Document read = ReadImageFile(folder_ / name).document;
            EXPECT_EQ(read.iccProfile, d.iccProfile) << what;
            const double perInch =
                read.metadata.resolutionUnit == ResolutionUnit::Centimetre ? 2.54 : 1;
            EXPECT_NEAR(read.metadata.xResolution * perInch, 300, 0.5) << what;
            EXPECT_NEAR(read.metadata.yResolution * perInch, 150, 0.5) << what;
            EXPECT_EQ(read.metadata.orientation, 6) << what;
            EXPECT_EQ(read.metadata.xmp, d.metadata.xmp) << what;
            if (format != FileFormat::Tiff) {
                EXPECT_EQ(read.metadata.exif, d.metadata.exif) << what;
            }
            if (format == FileFormat::Png) {
                const Bytes file = ReadAll(folder_ / name);
                const char tag[] = "eXIf";
                EXPECT_EQ(
                    std::count_if(file.begin(), file.end() - 4,
                                  [&](const uint8_t& b) { return std::memcmp(&b, tag, 4) == 0; }),
                    1)
                    << "one EXIF chunk";
            }
        }
}

// A 256 x 256 RGB TIFF holding every 16-bit value once in each channel.
Bytes EverySixteenBitValue(const fs::path& file) {
    Bytes samples(256 * 256 * 3 * 2);
    TIFF* t = NewTiff(file, 256, 256, 16, 3, PHOTOMETRIC_RGB);
    for (uint32_t y = 0; y < 256; ++y) {
        std::vector<uint16_t> row(256 * 3);
        for (uint32_t x = 0; x < 256; ++x)
            for (uint32_t c = 0; c < 3; ++c)
                row[x * 3 + c] = uint16_t((y * 256 + x) * (c * 2 + 1));
        std::memcpy(&samples[y * 256 * 6], row.data(), 256 * 6);
        TIFFWriteScanline(t, row.data(), y, 0);
    }
    TIFFClose(t);
    return samples;
}

Bytes TiffSamples(const fs::path& file) {
    Bytes samples(256 * 256 * 3 * 2);
    TIFF* t = TIFFOpen(file.c_str(), "r");
    for (uint32_t y = 0; y < 256; ++y)
        TIFFReadScanline(t, &samples[y * 256 * 6], y, 0);
    TIFFClose(t);
    return samples;
}

TEST_F(RealPicturesTest, SixteenBitSamplesSurviveReadingAndWritingExactly) {
    const Bytes original = EverySixteenBitValue(folder_ / "in.tif");
    // Through TIFF, then PNG, then TIFF again: every file sample comes back as it was.
    WriteImageFile(ReadImageFile(folder_ / "in.tif").document, FileFormat::Png, folder_ / "a.png");
    WriteImageFile(ReadImageFile(folder_ / "a.png").document, FileFormat::Tiff, folder_ / "b.tif");
    EXPECT_TRUE(TiffSamples(folder_ / "b.tif") == original);
    // A changed sample is written so that it reads back as the host value it was given.
    LoadedImage image = ReadImageFile(folder_ / "in.tif");
    image.document.At(0, 3, 3) = 12345;
    WriteImageFile(image.document, FileFormat::Tiff, folder_ / "c.tif");
    EXPECT_EQ(ReadImageFile(folder_ / "c.tif").document.At(0, 3, 3), 12345);
}

TEST_F(RealPicturesTest, EveryPageOfATiffIsReadAndWritten) {
    Document rgb = MakeDocument(ColorMode::RGB, 8, 8, 4);
    Document cmyk = MakeDocument(ColorMode::CMYK, 16, 4, 8, true);
    Document lab = MakeDocument(ColorMode::Lab, 8, 5, 5);
    rgb.At(0, 1, 1) = 200, cmyk.At(3, 2, 2) = 30000, lab.At(0, 4, 4) = 99;
    WriteImageFile({&rgb, &cmyk, &lab}, FileFormat::Tiff, folder_ / "pages.tif");
    const LoadedImage image = ReadImageFile(folder_ / "pages.tif");
    ASSERT_EQ(image.morePages.size(), 2u);
    EXPECT_EQ(image.document.planes, rgb.planes);
    EXPECT_EQ(image.morePages[0].planes, cmyk.planes);
    EXPECT_EQ(image.morePages[1].mode, ColorMode::Lab);
    EXPECT_EQ(image.morePages[1].planes, lab.planes);
    // Pages count against the limit together.
    EXPECT_THROW(ReadImageFile(folder_ / "pages.tif", 8 * 4 + 4 * 8), HostFailure);
    EXPECT_THROW(WriteImageFile({&rgb, &cmyk}, FileFormat::Png, folder_ / "two.png"), HostFailure);
}

// A profile libpng takes for the widespread HP sRGB profile, which it knows to be slightly off:
// it recognises that one by its length, rendering intent, Adler-32 and CRC-32, so an sRGB
// profile is padded to 3144 bytes and its padding chosen to give the same sums.
Bytes LikeTheHpSrgbProfile() {
    constexpr size_t kLength = 3144;
    constexpr uint32_t kAdler = 0xf784f3fb, kCrc = 0x182ea552;
    Bytes p = ProfileBytes(cmsCreate_sRGBProfile());
    const size_t start = p.size();
    EXPECT_LT(start, kLength / 2);
    p.resize(kLength, 0);
    for (size_t i = 0; i < 4; ++i)
        p[i] = uint8_t(kLength >> (24 - 8 * i));
    std::fill(p.begin() + 84, p.begin() + 100, 0); // no profile ID
    // The last 192 bytes hold 64 triplets that can change the CRC but not the Adler-32.
    const size_t triplets = kLength - 192;
    std::fill(p.begin() + long(triplets), p.end(), 128);
    // Adler-32 first: A = 1 + sum of bytes, B = sum of the running A, both mod 65521. Bytes
    // between start and the triplets get the sum A needs, then units move right one place at a
    // time, each lowering B by one.
    auto adler = [&] {
        return uint32_t(adler32(adler32(0, nullptr, 0), p.data(), uInt(p.size())));
    };
    const uint32_t before = adler();
    const size_t from = start + 16, to = triplets;
    long sum = (long(kAdler & 0xffff) - long(before & 0xffff) + 65521) % 65521;
    if (sum < 2000) sum += 65521;
    for (size_t i = from; sum > 0; ++i) {
        p[i] = uint8_t(std::min(255L, sum));
        sum -= p[i];
    }
    long lower = (long(adler() >> 16) - long(kAdler >> 16) + 65521) % 65521;
    for (size_t j = to - 2; lower > 0;) {
        while (j > from && (p[j] == 0 || p[j + 1] == 255))
            --j;
        --p[j], ++p[j + 1], --lower;
        j = std::min(j + 1, to - 2);
    }
    // Then the CRC: each triplet turned from 128,128,128 into 129,126,129 changes it by a fixed
    // mask; which ones to turn is a linear system over GF(2).
    auto crc = [&] { return uint32_t(crc32(crc32(0, nullptr, 0), p.data(), uInt(p.size()))); };
    const uint32_t base = crc();
    std::vector<uint32_t> masks(64);
    for (size_t t = 0; t < 64; ++t) {
        const size_t at = triplets + 3 * t;
        p[at] = 129, p[at + 1] = 126, p[at + 2] = 129;
        masks[t] = crc() ^ base;
        p[at] = 128, p[at + 1] = 128, p[at + 2] = 128;
    }
    std::vector<uint64_t> rows(32); // per CRC bit: which triplets flip it, and the wanted value
    for (size_t bit = 0; bit < 32; ++bit) {
        for (size_t t = 0; t < 64; ++t)
            if (masks[t] >> bit & 1) rows[bit] |= uint64_t{1} << t;
    }
    uint32_t want = base ^ kCrc;
    std::vector<int> pivot(32, -1);
    for (size_t bit = 0, t = 0; bit < 32 && t < 64; ++t) {
        size_t r = bit;
        while (r < 32 && !(rows[r] >> t & 1))
            ++r;
        if (r == 32) continue;
        std::swap(rows[r], rows[bit]);
        const uint32_t wr = want >> r & 1, wb = want >> bit & 1;
        want = (want & ~(1u << r) & ~(1u << bit)) | (wb << r) | (wr << bit);
        for (size_t o = 0; o < 32; ++o)
            if (o != bit && rows[o] >> t & 1) {
                rows[o] ^= rows[bit];
                want ^= (want >> bit & 1) << o;
            }
        pivot[bit++] = int(t);
    }
    for (size_t bit = 0; bit < 32; ++bit)
        if (pivot[bit] >= 0 && (want >> bit & 1)) {
            const size_t at = triplets + 3 * size_t(pivot[bit]);
            p[at] = 129, p[at + 1] = 126, p[at + 2] = 129;
        }
    EXPECT_EQ(adler(), kAdler);
    EXPECT_EQ(crc(), kCrc);
    return p;
}

// What libpng says of a profile on an RGB PNG it writes with its default checks.
std::string LibpngVerdict(const Bytes& icc) {
    static std::string message;
    message.clear();
    png_structp png = png_create_write_struct(
        PNG_LIBPNG_VER_STRING, nullptr,
        [](png_structp p, png_const_charp m) {
            message = m;
            longjmp(png_jmpbuf(p), 1);
        },
        nullptr);
    png_infop info = png_create_info_struct(png);
    if (!setjmp(png_jmpbuf(png))) {
        png_set_IHDR(png, info, 4, 4, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_iCCP(png, info, "sRGB", PNG_COMPRESSION_TYPE_BASE, icc.data(),
                     png_uint_32(icc.size()));
    }
    png_destroy_write_struct(&png, &info);
    return message;
}

TEST_F(RealPicturesTest, PngsKeepTheSrgbProfileLibpngCallsIncorrect) {
    const Bytes profile = LikeTheHpSrgbProfile();
    ASSERT_EQ(LibpngVerdict(profile), "known incorrect sRGB profile");
    Document d = MakeDocument(ColorMode::RGB, 8, 8, 8);
    d.iccProfile = profile;
    WriteImageFile(d, FileFormat::Png, folder_ / "hp.png");
    EXPECT_EQ(ReadImageFile(folder_ / "hp.png").document.iccProfile, profile);
}

TEST_F(RealPicturesTest, WriteFailuresNameTheFileAskedForNotTheTemporaryOne) {
    const Document lab = MakeDocument(ColorMode::Lab, 8, 4, 4);
    try {
        WriteImageFile(lab, FileFormat::Png, folder_ / "x.png");
        ADD_FAILURE() << "a Lab PNG was written";
    } catch (const HostFailure& failure) {
        const std::string message = failure.what();
        EXPECT_NE(message.find("cannot write " + (folder_ / "x.png").string()), std::string::npos)
            << message;
        EXPECT_EQ(message.find(".x.png."), std::string::npos) << message;
    }
}

TEST_F(RealPicturesTest, OutputsAreWrittenThroughLinksAndIntoDevices) {
    const Document d = MakeDocument(ColorMode::RGB, 8, 4, 4);
    fs::create_directories(folder_ / "real");
    fs::create_symlink("real/target.png", folder_ / "link.png");
    WriteImageFile(d, FileFormat::Png, folder_ / "link.png");
    EXPECT_TRUE(fs::is_symlink(folder_ / "link.png"));
    EXPECT_TRUE(fs::is_regular_file(folder_ / "real" / "target.png"));
    WriteImageFile(d, FileFormat::Png, "/dev/null");
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_THROW(WriteImageFile(d, FileFormat::Png, folder_ / "real"), HostFailure);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2)
        << "no temporary file is left";
}

} // namespace

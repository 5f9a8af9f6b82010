// Documents through WebP, HEIF and AVIF files: pixels, alpha, depth, and the ICC profile, EXIF
// and XMP read back through libwebp and libheif themselves.
#include "Scenery.h"
#include "TestFolder.h"
#include "TestProfiles.h"
#include "core/HostFailure.h"
#include "core/documents/FileBytes.h"
#include "core/documents/ImageFiles.h"
#include "core/documents/ImageFormats.h"

#include <gtest/gtest.h>
#include <lcms2.h>
#include <libheif/heif.h>
#include <webp/decode.h>
#include <webp/demux.h>

#include <cmath>
#include <memory>

namespace {

using namespace quillon::filterhost;
using quillon::testing::ProfileBytes;
namespace fs = std::filesystem;

class WebpHeifFilesTest : public quillon::testing::TestFolderTest {};

// An EXIF block with an orientation and an artist's name, as a camera would write it.
const std::vector<uint8_t> kExif = {'I', 'I', 42, 0, 8, 0, 0, 0, 2, 0,
                                    // Orientation, SHORT, 1: upright
                                    0x12, 0x01, 3, 0, 1, 0, 0, 0, 1, 0, 0, 0,
                                    // Artist, ASCII, 4: "Qui\0"
                                    0x3b, 0x01, 2, 0, 4, 0, 0, 0, 'Q', 'u', 'i', 0, 0, 0, 0, 0};
const std::string kXmp = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                         "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"/></x:xmpmeta>";

// The landscape with metadata, at 8 or 16 bits, with an alpha ramp when asked.
Document Picture(int depth, bool alpha) {
    const Document scenery = quillon::tools::MakeScenery(96, 64);
    Document d = MakeDocument(ColorMode::RGB, depth, scenery.width, scenery.height, alpha);
    for (size_t c = 0; c < 3; ++c)
        for (size_t i = 0; i < d.planes[c].size(); ++i)
            d.planes[c][i] = depth == 8
                                 ? scenery.planes[c][i]
                                 : uint16_t((scenery.planes[c][i] * 32768 + 127) / 255 + i % 97);
    if (alpha)
        for (size_t i = 0; i < d.planes[3].size(); ++i)
            d.planes[3][i] =
                uint16_t((i % size_t(d.width)) * (depth == 8 ? 255 : 32768) / size_t(d.width - 1));
    d.iccProfile = ProfileBytes(cmsCreate_sRGBProfile());
    d.metadata.exif = kExif;
    d.metadata.orientation = 1;
    d.metadata.xmp = kXmp;
    return d;
}

// The mean difference of two documents' samples, on a scale of 255 levels.
double MeanLevels(const Document& a, const Document& b) {
    double sum = 0;
    size_t count = 0;
    for (size_t c = 0; c < a.planes.size(); ++c)
        for (size_t i = 0; i < a.planes[c].size(); ++i, ++count)
            sum += std::abs(double(a.planes[c][i]) - double(b.planes[c][i])) *
                   (a.depth == 16 ? 255.0 / 32768 : 1.0);
    return count ? sum / double(count) : 1e9;
}

void ExpectSameShape(const Document& read, const Document& written, int depth) {
    EXPECT_EQ(read.mode, ColorMode::RGB);
    EXPECT_EQ(read.depth, depth);
    EXPECT_EQ(read.width, written.width);
    EXPECT_EQ(read.height, written.height);
    EXPECT_EQ(read.hasAlpha, written.hasAlpha);
}

Document EightBits(const Document& d) {
    Document e = MakeDocument(ColorMode::RGB, 8, d.width, d.height, d.hasAlpha);
    for (size_t c = 0; c < d.planes.size(); ++c)
        for (size_t i = 0; i < d.planes[c].size(); ++i)
            e.planes[c][i] =
                uint16_t((std::min<uint32_t>(d.planes[c][i], 32768) * 255 + 16384) / 32768);
    return e;
}

// What libwebp itself finds in a file: its coding, and its metadata chunks.
struct WebpVerdict {
    int format = 0; // 1 lossy, 2 lossless
    std::vector<uint8_t> icc, exif, xmp;
};

WebpVerdict InspectWebp(const fs::path& file) {
    const std::vector<uint8_t> bytes = ReadFileBytes(file);
    WebpVerdict verdict;
    WebPBitstreamFeatures features;
    EXPECT_EQ(WebPGetFeatures(bytes.data(), bytes.size(), &features), VP8_STATUS_OK);
    verdict.format = features.format;
    WebPData data{bytes.data(), bytes.size()};
    WebPDemuxer* demux = WebPDemux(&data);
    EXPECT_TRUE(demux);
    for (auto [fourcc, to] : {std::pair{"ICCP", &verdict.icc}, std::pair{"EXIF", &verdict.exif},
                              std::pair{"XMP ", &verdict.xmp}}) {
        WebPChunkIterator chunk;
        if (demux && WebPDemuxGetChunk(demux, fourcc, 1, &chunk)) {
            to->assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
            WebPDemuxReleaseChunkIterator(&chunk);
        }
    }
    WebPDemuxDelete(demux);
    return verdict;
}

TEST_F(WebpHeifFilesTest, WebpKeepsPixelsAlphaAndMetadata) {
    struct Case {
        int depth;
        bool alpha;
        int quality; // 0: lossless
        double most; // mean difference allowed, in levels
    };
    const Case cases[] = {
        {8, false, 0, 0}, {8, true, 0, 0}, {16, true, 0, 0}, {8, false, 80, 6}, {16, false, 80, 6}};
    for (const Case& c : cases) {
        const std::string name = "p" + std::to_string(c.depth) + (c.alpha ? "a" : "") + "q" +
                                 std::to_string(c.quality) + ".webp";
        Document written = Picture(c.depth, c.alpha);
        written.metadata.jpegCoding.quality = c.quality;
        WriteImageFile(written, FormatForOutput(folder_ / name), folder_ / name);
        const WebpVerdict verdict = InspectWebp(folder_ / name);
        EXPECT_EQ(verdict.format, c.quality ? 1 : 2) << name;
        EXPECT_EQ(verdict.icc, written.iccProfile) << name;
        EXPECT_EQ(verdict.exif, kExif) << name;
        EXPECT_EQ(std::string(verdict.xmp.begin(), verdict.xmp.end()), kXmp) << name;

        const LoadedImage read = ReadImageFile(folder_ / name);
        EXPECT_EQ(read.format, FileFormat::Webp);
        ExpectSameShape(read.document, written, 8);
        const Document expected = c.depth == 8 ? written : EightBits(written);
        if (c.quality == 0)
            EXPECT_EQ(read.document.planes, expected.planes) << name;
        else
            EXPECT_LE(MeanLevels(read.document, expected), c.most) << name;
        EXPECT_EQ(read.document.iccProfile, written.iccProfile) << name;
        EXPECT_EQ(read.document.metadata.exif, kExif) << name;
        EXPECT_EQ(read.document.metadata.xmp, kXmp) << name;
        EXPECT_EQ(read.document.metadata.lossyCoding, c.quality != 0) << name;
    }
}

struct HeifVerdict {
    int lumaBits = 0;
    bool alpha = false;
    int width = 0, height = 0;
    std::vector<uint8_t> icc, exif;
};

// What libheif itself finds: depth, alpha, size after its transforms, the raw profile and the
// EXIF block (after its 4-byte header offset).
HeifVerdict InspectHeif(const fs::path& file) {
    HeifVerdict verdict;
    heif_context* context = heif_context_alloc();
    EXPECT_EQ(heif_context_read_from_file(context, file.c_str(), nullptr).code, heif_error_Ok);
    heif_image_handle* handle = nullptr;
    EXPECT_EQ(heif_context_get_primary_image_handle(context, &handle).code, heif_error_Ok);
    if (handle) {
        verdict.lumaBits = heif_image_handle_get_luma_bits_per_pixel(handle);
        verdict.alpha = heif_image_handle_has_alpha_channel(handle);
        verdict.width = heif_image_handle_get_width(handle);
        verdict.height = heif_image_handle_get_height(handle);
        verdict.icc.resize(heif_image_handle_get_raw_color_profile_size(handle));
        heif_image_handle_get_raw_color_profile(handle, verdict.icc.data());
        heif_item_id id = 0;
        if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) == 1) {
            std::vector<uint8_t> block(heif_image_handle_get_metadata_size(handle, id));
            heif_image_handle_get_metadata(handle, id, block.data());
            if (block.size() >= 4) verdict.exif.assign(block.begin() + 4, block.end());
        }
        heif_image_handle_release(handle);
    }
    heif_context_free(context);
    return verdict;
}

TEST_F(WebpHeifFilesTest, HeifAndAvifKeepPixelsDepthAndMetadata) {
    struct Case {
        FileFormat format;
        const char* extension;
        heif_compression_format compression;
        int deepBits; // what 16-bit documents are coded at
    };
    for (const Case& f : {Case{FileFormat::Heif, ".heic", heif_compression_HEVC, 10},
                          Case{FileFormat::Avif, ".avif", heif_compression_AV1, 12}}) {
        if (!heif_have_encoder_for_format(f.compression)) {
            std::cout << "no encoder for " << f.extension << " on this machine; refused by name:\n";
            EXPECT_THROW(CheckCanWrite(f.format, "x" + std::string(f.extension)), HostFailure);
            continue;
        }
        for (const int depth : {8, 16})
            for (const bool alpha : {false, true}) {
                const std::string name =
                    "p" + std::to_string(depth) + (alpha ? "a" : "") + f.extension;
                const Document written = Picture(depth, alpha);
                WriteImageFile(written, FormatForOutput(folder_ / name), folder_ / name);
                const HeifVerdict verdict = InspectHeif(folder_ / name);
                EXPECT_EQ(verdict.lumaBits, depth == 16 ? f.deepBits : 8) << name;
                EXPECT_EQ(verdict.alpha, alpha) << name;
                EXPECT_EQ(verdict.icc, written.iccProfile) << name;
                EXPECT_EQ(verdict.exif, kExif) << name;

                const LoadedImage read = ReadImageFile(folder_ / name);
                EXPECT_EQ(read.format, f.format) << name;
                ExpectSameShape(read.document, written, depth);
                EXPECT_LE(MeanLevels(read.document, written), 3.0) << name;
                EXPECT_EQ(read.document.iccProfile, written.iccProfile) << name;
                EXPECT_EQ(read.document.metadata.exif, kExif) << name;
                EXPECT_EQ(read.document.metadata.xmp, kXmp) << name;
            }
    }
}

// A picture to be turned by its EXIF orientation is written upright in the container's own
// transforms, and its EXIF says upright, so no reader turns it twice.
TEST_F(WebpHeifFilesTest, HeifTurnsByTheContainerNotByExif) {
    if (!heif_have_encoder_for_format(heif_compression_HEVC)) GTEST_SKIP() << "no HEVC encoder";
    Document d = Picture(8, false);
    d.metadata.orientation = 6; // turn 90 degrees clockwise to view
    WriteImageFile(d, FileFormat::Heif, folder_ / "turned.heic");
    const HeifVerdict verdict = InspectHeif(folder_ / "turned.heic");
    EXPECT_EQ(verdict.width, d.height);
    EXPECT_EQ(verdict.height, d.width);
    EXPECT_EQ(ExifOrientation(verdict.exif), 1);
    const Document read = ReadImageFile(folder_ / "turned.heic").document;
    EXPECT_EQ(read.width, d.height);
    EXPECT_EQ(read.metadata.orientation, 1);
}

TEST_F(WebpHeifFilesTest, DamagedFilesAreRefusedWithOneLine) {
    const Document d = Picture(8, false);
    WriteImageFile(d, FileFormat::Webp, folder_ / "good.webp");
    std::vector<std::pair<std::string, std::string>> cases = {{"good.webp", "broken WebP"}};
    if (heif_have_encoder_for_format(heif_compression_HEVC)) {
        WriteImageFile(d, FileFormat::Heif, folder_ / "good.heic");
        cases.push_back({"good.heic", "broken HEIF"});
    }
    for (const auto& [file, message] : cases) {
        std::vector<uint8_t> bytes = ReadFileBytes(folder_ / file);
        for (const size_t keep : {bytes.size() / 2, size_t(40), size_t(20)}) {
            const fs::path cut = folder_ / ("cut" + std::to_string(keep) + "-" + file);
            WriteFileBytes(cut, cut, bytes.data(), keep);
            try {
                ReadImageFile(cut);
                ADD_FAILURE() << cut << " was read";
            } catch (const HostFailure& e) {
                const std::string what = e.what();
                EXPECT_NE(what.find(message), std::string::npos) << what;
                EXPECT_EQ(what.find('\n'), std::string::npos) << what;
            }
        }
        // Sizes beyond the limit are refused before decoding.
        EXPECT_THROW(ReadImageFile(folder_ / file, 100), HostFailure);
    }
}

} // namespace

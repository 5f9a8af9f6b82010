// A picture whose data is damaged is refused with the decoder's reason, nothing written; asked
// to, apply filters it anyway and says so.
#include "core/documents/ImageFiles.h"

#include "QuillonRun.h"

#include <cstdio>
// jpeglib.h needs stdio's FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace {

using namespace quillon::filterhost;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

using DamagedInputTest = quillon::testing::QuillonTest;
using quillon::testing::Outcome;

Bytes ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// What libjpeg itself says of a file: the warnings it gave while decoding, and the samples.
struct JpegVerdict {
    std::set<int> warnings;
    Bytes samples;
};

JpegVerdict DecodeWithLibjpeg(const Bytes& jpeg) {
    struct Errors {
        jpeg_error_mgr manager;
        std::set<int>* warnings;
    } errors{};
    JpegVerdict verdict;
    errors.warnings = &verdict.warnings;
    jpeg_decompress_struct info{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.emit_message = [](j_common_ptr c, int level) {
        if (level < 0) reinterpret_cast<Errors*>(c->err)->warnings->insert(c->err->msg_code);
    };
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    verdict.samples.resize(size_t(info.output_width) * info.output_height *
                           size_t(info.output_components));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = verdict.samples.data() +
                       size_t(info.output_scanline) * info.output_width * info.output_components;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return verdict;
}

// A flipped bit in the entropy-coded data that the decoder notices only as bytes left over
// before the end marker: the picture decodes with many samples far off.
Bytes DamagedLikeACopyError(const Bytes& good) {
    size_t start = 0;
    for (size_t i = 0; i + 3 < good.size(); ++i)
        if (good[i] == 0xFF && good[i + 1] == 0xDA)
            start = i + 2 + (good[i + 2] << 8 | good[i + 3]);
    const Bytes original = DecodeWithLibjpeg(good).samples;
    for (size_t at = start + 40; at + 40 < good.size(); at += 13) {
        if (good[at] == 0xFF || good[at - 1] == 0xFF || (good[at] ^ 0x10) == 0xFF) continue;
        Bytes damaged = good;
        damaged[at] ^= 0x10;
        const JpegVerdict verdict = DecodeWithLibjpeg(damaged);
        if (verdict.warnings != std::set<int>{JWRN_EXTRANEOUS_DATA}) continue;
        size_t far = 0;
        for (size_t i = 0; i < original.size(); ++i)
            far += std::abs(int(original[i]) - int(verdict.samples[i])) > 40 ? 1 : 0;
        if (far * 20 > original.size()) return damaged; // more than 5 % of samples far off
    }
    return {};
}

TEST_F(DamagedInputTest, DamagedJpegDataIsRefusedUnlessAccepted) {
    Document picture = MakeDocument(ColorMode::RGB, 8, 160, 120);
    for (int32_t y = 0; y < picture.height; ++y)
        for (int32_t x = 0; x < picture.width; ++x)
            for (int c = 0; c < 3; ++c)
                picture.At(c, x, y) = uint16_t((x * (c + 2) + y * (4 - c) + (x * y) % 23) % 256);
    WriteImageFile(picture, FileFormat::Jpeg, folder_ / "good.jpg");
    const Bytes damaged = DamagedLikeACopyError(ReadAll(folder_ / "good.jpg"));
    ASSERT_FALSE(damaged.empty()) << "no flipped bit gave damage libjpeg reports as left over";
    WriteAll(folder_ / "damaged.jpg", damaged);

    std::ofstream(folder_ / "out.png") << "an earlier result";
    const Outcome refused = Quillon("apply damaged.jpg out.png");
    EXPECT_EQ(refused.status, 1) << refused.error;
    EXPECT_NE(refused.error.find("damaged.jpg: broken JPEG: Corrupt JPEG data"), std::string::npos)
        << refused.error;
    EXPECT_NE(refused.error.find("--accept-damaged"), std::string::npos) << refused.error;
    const Bytes kept = ReadAll(folder_ / "out.png");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "an earlier result");

    const Outcome accepted = Quillon("apply damaged.jpg out.png --accept-damaged");
    EXPECT_EQ(accepted.status, 0) << accepted.error;
    EXPECT_NE(accepted.error.find("note: damaged.jpg: damaged JPEG data decoded anyway"),
              std::string::npos)
        << accepted.error;
    EXPECT_EQ(ReadImageFile(folder_ / "out.png").document.width, 160);

    // The sound file is read without a note.
    const Outcome sound = Quillon("apply good.jpg good.png");
    EXPECT_EQ(sound.status, 0) << sound.error;
    EXPECT_EQ(sound.error.find("damaged"), std::string::npos) << sound.error;
}

} // namespace

// What apply writes beside OUT and how it replaces files: the action file never lands on a
// picture, replaced files keep their permissions.
#include "core/documents/ImageFiles.h"

#include "QuillonRun.h"

#include <cstdio>
// jpeglib.h needs stdio's FILE and size_t declared first.
#include <jpeglib.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

using namespace quillon::filterhost;
namespace fs = std::filesystem;

using OutputSafetyTest = quillon::testing::QuillonTest;
using quillon::testing::Outcome;

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Document Gradient() {
    Document d = MakeDocument(ColorMode::RGB, 8, 40, 24);
    for (int32_t y = 0; y < d.height; ++y)
        for (int32_t x = 0; x < d.width; ++x)
            for (int c = 0; c < 3; ++c)
                d.At(c, x, y) = uint16_t((x * 6 + y * 3 + c * 40) % 256);
    return d;
}

TEST_F(OutputSafetyTest, RecordNeverReplacesAPictureOrAFileThatIsNotAnAction) {
    WriteImageFile(Gradient(), FileFormat::Png, folder_ / "in.png");
    const std::string picture = Contents(folder_ / "in.png");
    fs::create_symlink("in.png", folder_ / "link-to-in.png");
    fs::create_hard_link(folder_ / "in.png", folder_ / "hard-in.png");
    const std::string colors = " --colors 'Lab[16000,16384,16384]:Lab[17000,16000,17000] '";
    ASSERT_EQ(Quillon("apply in.png first.png" + colors + " --record action.json").status, 0);
    const std::string action = Contents(folder_ / "action.json");
    ASSERT_NE(action.find("quillon-action"), std::string::npos);

    struct Case {
        std::string arguments;
        int status;
        std::string message;  // in the error when refused
        const char* keeps;    // a file that must keep its contents
        std::string contents; // ... these
    };
    const Case cases[] = {
        {"apply in.png out.png --record in.png", 1, "it is the picture read", "in.png", picture},
        {"apply in.png out.png --record link-to-in.png", 1, "it is the picture read", "in.png",
         picture},
        {"apply in.png out.png --record hard-in.png", 1, "it is the picture read", "in.png",
         picture},
        {"apply in.png out.png --record ./sub/../out.png", 1, "it is the picture written", "in.png",
         picture},
        {"apply in.png notes.txt.png --record notes.txt", 1, "not an action file", "notes.txt",
         "my notes\n"},
        {"apply in.png out.png --record in.png --overwrite", 1, "it is the picture read", "in.png",
         picture},
    };
    fs::create_directories(folder_ / "sub");
    for (const Case& c : cases) {
        std::ofstream(folder_ / "notes.txt") << "my notes\n";
        fs::remove(folder_ / "out.png");
        fs::remove(folder_ / "notes.txt.png");
        const Outcome outcome = Quillon(c.arguments + colors);
        EXPECT_EQ(outcome.status, c.status) << c.arguments << ": " << outcome.error;
        EXPECT_NE(outcome.error.find(c.message), std::string::npos)
            << c.arguments << ": " << outcome.error;
        EXPECT_EQ(Contents(folder_ / c.keeps), c.contents) << c.arguments;
        EXPECT_FALSE(fs::exists(folder_ / "out.png")) << c.arguments << ": OUT written";
    }
    // OUT given as the record through a link to it is refused too, once OUT exists.
    ASSERT_EQ(Quillon("apply in.png out.png" + colors).status, 0);
    const std::string written = Contents(folder_ / "out.png");
    fs::create_symlink("out.png", folder_ / "link-to-out.png");
    const Outcome linked = Quillon("apply in.png out.png --record link-to-out.png" + colors);
    EXPECT_EQ(linked.status, 1) << linked.error;
    EXPECT_EQ(Contents(folder_ / "out.png"), written);

    // An earlier action file is replaced; anything else only with --overwrite.
    std::ofstream(folder_ / "notes.txt") << "my notes\n";
    const Outcome again = Quillon("apply in.png second.png --record action.json");
    EXPECT_EQ(again.status, 0) << again.error;
    EXPECT_NE(Contents(folder_ / "action.json"), action) << "the earlier action was not replaced";
    const Outcome forced = Quillon("apply in.png third.png --record notes.txt --overwrite");
    EXPECT_EQ(forced.status, 0) << forced.error;
    EXPECT_NE(Contents(folder_ / "notes.txt").find("quillon-action"), std::string::npos);
}

// Replacing OUT or the action file keeps the permissions, and as root the owner, of the file
// replaced; a new file gets the usual ones.
TEST_F(OutputSafetyTest, ReplacedFilesKeepTheirModeAndOwner) {
    WriteImageFile(Gradient(), FileFormat::Png, folder_ / "in.png");
    const bool root = ::geteuid() == 0;
    struct Case {
        const char* file;
        const char* arguments;
        mode_t mode;
    };
    const Case cases[] = {
        {"out.png", "apply in.png out.png", 0600},
        {"out.tif", "apply in.png out.tif", 0640},
        {"out.jpg", "apply in.png out.jpg", 0604},
        {"action.json", "apply in.png other.png --record action.json", 0600},
    };
    ASSERT_EQ(Quillon("apply in.png other.png --record action.json").status, 0);
    for (const Case& c : cases) {
        const fs::path file = folder_ / c.file;
        if (!fs::exists(file)) {
            ASSERT_EQ(Quillon(c.arguments).status, 0) << c.arguments;
        }
        ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
        if (root) {
            ASSERT_EQ(::chown(file.c_str(), 4321, 4322), 0);
        }
        const Outcome outcome = Quillon(c.arguments);
        ASSERT_EQ(outcome.status, 0) << c.arguments << ": " << outcome.error;
        struct stat info {};
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.mode) << c.arguments;
        if (root) {
            EXPECT_EQ(info.st_uid, 4321u) << c.arguments;
            EXPECT_EQ(info.st_gid, 4322u) << c.arguments;
        }
    }
    // A file that was not there gets the mode the umask gives new files.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    ASSERT_EQ(Quillon("apply in.png new.png").status, 0);
    struct stat info {};
    ASSERT_EQ(::stat((folder_ / "new.png").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

// How libjpeg finds a JPEG file coded: sampling factors per component and the first table.
struct Coding {
    std::vector<std::pair<int, int>> sampling;
    std::vector<unsigned> luminanceTable;
};

Coding CodingOf(const fs::path& file) {
    FILE* f = std::fopen(file.c_str(), "rb");
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, f);
    jpeg_read_header(&info, TRUE);
    Coding coding;
    for (int c = 0; c < info.num_components; ++c)
        coding.sampling.emplace_back(info.comp_info[c].h_samp_factor,
                                     info.comp_info[c].v_samp_factor);
    if (info.quant_tbl_ptrs[0])
        coding.luminanceTable.assign(std::begin(info.quant_tbl_ptrs[0]->quantval),
                                     std::end(info.quant_tbl_ptrs[0]->quantval));
    jpeg_destroy_decompress(&info);
    std::fclose(f);
    return coding;
}

// A 4:4:4 JPEG at quality 80 with fine detail in its colours, written by libjpeg itself.
void WriteFullChromaJpeg(const fs::path& file) {
    FILE* f = std::fopen(file.c_str(), "wb");
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, f);
    info.image_width = 64;
    info.image_height = 48;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 80, TRUE);
    for (int c = 0; c < 3; ++c)
        info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(64 * 3);
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            const bool red = (x + y) % 2 == 0; // one-pixel checks of red and blue
            row[size_t(x) * 3] = red ? 220 : 30;
            row[size_t(x) * 3 + 1] = 60;
            row[size_t(x) * 3 + 2] = red ? 30 : 220;
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(f);
}

TEST_F(OutputSafetyTest, AJpegOutKeepsTheCodingOfAJpegInUnlessAQualityIsAsked) {
    WriteFullChromaJpeg(folder_ / "in.jpg");
    const Coding source = CodingOf(folder_ / "in.jpg");
    ASSERT_EQ(source.sampling, (std::vector<std::pair<int, int>>{{1, 1}, {1, 1}, {1, 1}}));

    ASSERT_EQ(Quillon("apply in.jpg same.jpg").status, 0);
    const Coding same = CodingOf(folder_ / "same.jpg");
    EXPECT_EQ(same.sampling, source.sampling);
    EXPECT_EQ(same.luminanceTable, source.luminanceTable);
    // Coded the same way again, the samples move by a level or two, not by the tens of levels
    // halving the colour resolution costs one-pixel detail.
    const Document in = ReadImageFile(folder_ / "in.jpg").document;
    const Document out = ReadImageFile(folder_ / "same.jpg").document;
    int worst = 0;
    for (size_t c = 0; c < 3; ++c)
        for (size_t i = 0; i < in.planes[c].size(); ++i)
            worst = std::max(worst, std::abs(int(in.planes[c][i]) - int(out.planes[c][i])));
    EXPECT_LE(worst, 6);

    const Outcome asked = Quillon("apply in.jpg q50.jpg --quality 50");
    ASSERT_EQ(asked.status, 0) << asked.error;
    const Coding q50 = CodingOf(folder_ / "q50.jpg");
    EXPECT_EQ(q50.sampling, source.sampling);
    EXPECT_NE(q50.luminanceTable, source.luminanceTable);
    EXPECT_LT(fs::file_size(folder_ / "q50.jpg"), fs::file_size(folder_ / "same.jpg"));
    EXPECT_EQ(Quillon("apply in.jpg q.jpg --quality 0").status, 2);
    EXPECT_EQ(Quillon("apply in.jpg q.jpg --quality 101").status, 2);
}

} // namespace

// WebP, HEIF and AVIF through the command line: apply and batches read and write them by
// extension with --quality for lossy coding, and damaged files are one clear line.
#include "Scenery.h"
#include "core/documents/FileBytes.h"
#include "core/documents/ImageFiles.h"
#include "core/documents/ImageFormats.h"

#include "QuillonRun.h"

#include <fstream>

namespace {

using namespace quillon::filterhost;
using quillon::testing::Outcome;
using PictureFormatsTest = quillon::testing::QuillonTest;
namespace fs = std::filesystem;

constexpr const char* kLook = " --map '#2654a0:#1f8a8a' --fuzziness 4";

bool CanWrite(FileFormat format) {
    try {
        CheckCanWrite(format, "x");
        return true;
    } catch (const std::exception& e) {
        std::cout << e.what() << "\n";
        return false;
    }
}

TEST_F(PictureFormatsTest, ApplyAndBatchesReadAndWriteEveryFormat) {
    Document picture = quillon::tools::MakeScenery(120, 80);
    picture.metadata.exif = ExifWithOrientation({}, 1);
    WriteImageFile(picture, FileFormat::Png, folder_ / "p.png");
    ASSERT_EQ(Quillon(std::string("apply p.png reference.png") + kLook).status, 0);
    const Document reference = ReadImageFile(folder_ / "reference.png").document;

    struct Case {
        const char* name;
        FileFormat format;
        double most; // mean difference from the PNG result allowed, in levels
    };
    std::vector<Case> cases = {{"lossless.webp", FileFormat::Webp, 0}};
    if (CanWrite(FileFormat::Heif)) cases.push_back({"p.heic", FileFormat::Heif, 3});
    if (CanWrite(FileFormat::Avif)) cases.push_back({"p.avif", FileFormat::Avif, 3});
    std::string inputs;
    for (const Case& c : cases) {
        const Outcome outcome = Quillon(std::string("apply p.png ") + c.name + kLook);
        ASSERT_EQ(outcome.status, 0) << c.name << ": " << outcome.error;
        const LoadedImage read = ReadImageFile(folder_ / c.name);
        EXPECT_EQ(read.format, c.format) << c.name;
        EXPECT_FALSE(read.document.metadata.exif.empty()) << c.name;
        double sum = 0;
        for (size_t k = 0; k < 3; ++k)
            for (size_t i = 0; i < reference.planes[k].size(); ++i)
                sum += std::abs(int(read.document.planes[k][i]) - int(reference.planes[k][i]));
        EXPECT_LE(sum / double(3 * reference.planes[0].size()), c.most) << c.name;
        inputs += std::string(" ") + c.name;
    }

    // Lossy WebP by --quality: the lower, the smaller.
    ASSERT_EQ(Quillon(std::string("apply p.png q30.webp --quality 30") + kLook).status, 0);
    ASSERT_EQ(Quillon(std::string("apply p.png q95.webp --quality 95") + kLook).status, 0);
    EXPECT_LT(fs::file_size(folder_ / "q30.webp"), fs::file_size(folder_ / "q95.webp"));

    // Every format in, PNG out, through a batch.
    const Outcome batch = Quillon("apply" + inputs + " --out 'back/{name}-{ext}.png'" + kLook);
    ASSERT_EQ(batch.status, 0) << batch.error;
    for (const Case& c : cases) {
        const fs::path name(c.name);
        const fs::path back =
            folder_ / "back" /
            (name.stem().string() + "-" + name.extension().string().substr(1) + ".png");
        EXPECT_EQ(ReadImageFile(back).format, FileFormat::Png) << back;
    }
}

TEST_F(PictureFormatsTest, DamagedWebpAndHeifAreOneLineAndExitOne) {
    const Document picture = quillon::tools::MakeScenery(64, 48);
    std::vector<std::string> files = {"p.webp"};
    WriteImageFile(picture, FileFormat::Webp, folder_ / "p.webp");
    if (CanWrite(FileFormat::Heif)) {
        WriteImageFile(picture, FileFormat::Heif, folder_ / "p.heic");
        files.push_back("p.heic");
    }
    for (const std::string& file : files) {
        const std::vector<uint8_t> bytes = ReadFileBytes(folder_ / file);
        const fs::path damaged = folder_ / ("damaged-" + file);
        WriteFileBytes(damaged, damaged, bytes.data(), bytes.size() * 2 / 3);
        const Outcome outcome = Quillon("apply damaged-" + file + " out.png" + kLook);
        EXPECT_EQ(outcome.status, 1) << file << ": " << outcome.error;
        EXPECT_NE(outcome.error.find(file.find("webp") != std::string::npos ? "broken WebP"
                                                                            : "broken HEIF"),
                  std::string::npos)
            << outcome.error;
        EXPECT_EQ(std::count(outcome.error.begin(), outcome.error.end(), '\n'), 1) << outcome.error;
        EXPECT_FALSE(fs::exists(folder_ / "out.png")) << file;
    }
    // A Lab picture has no place in WebP: refused by name, nothing written.
    WriteImageFile(MakeDocument(ColorMode::Lab, 8, 8, 8), FileFormat::Tiff, folder_ / "lab.tif");
    const Outcome lab = Quillon("apply lab.tif lab.webp");
    EXPECT_EQ(lab.status, 1);
    EXPECT_NE(lab.error.find("WebP cannot hold Lab"), std::string::npos) << lab.error;
    EXPECT_FALSE(fs::exists(folder_ / "lab.webp"));
}

} // namespace

// quillon apply over many pictures: worker processes, failures reported while the rest go on,
// existing results skipped, output names from --out-dir/--suffix or an --out pattern.
#include "Scenery.h"
#include "core/documents/ImageFiles.h"

#include "QuillonRun.h"

#include <cstdlib>
#include <fstream>
#include <set>

namespace {

using namespace quillon::filterhost;
using quillon::testing::Outcome;
using quillon::testing::SignalOnceTwoWorkersRun;
namespace fs = std::filesystem;

class BatchApplyTest : public quillon::testing::QuillonTest {
  protected:
    // Twenty pictures in in/, the 8th and 15th broken: one not a picture, one cut short.
    std::string MakeBatch() {
        fs::create_directories(folder_ / "in");
        const Document picture = quillon::tools::MakeScenery(96, 64);
        std::string names;
        for (int i = 1; i <= 20; ++i) {
            const std::string name = "in/p" + std::to_string(100 + i) + ".png";
            names += " " + name;
            if (i == 8) {
                std::ofstream(folder_ / name) << "not a picture";
                continue;
            }
            WriteImageFile(picture, FileFormat::Png, folder_ / name);
            if (i == 15) fs::resize_file(folder_ / name, fs::file_size(folder_ / name) / 2);
        }
        return names;
    }
    std::set<std::string> Files(const fs::path& folder) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_ / folder))
            names.insert(entry.path().filename().string());
        return names;
    }
};

constexpr const char* kLook = " --map '#2654a0:#1f8a8a' --fuzziness 4";

TEST_F(BatchApplyTest, BrokenPicturesAreReportedWhileTheOthersAreWritten) {
    const std::string inputs = MakeBatch();
    const Outcome first = Quillon("apply" + inputs + " --out-dir out --jobs 2" + kLook);
    EXPECT_EQ(first.status, 1) << first.error;
    EXPECT_NE(first.error.find("in/p108.png: not a PNG, JPEG, TIFF, WebP, HEIF or AVIF file"),
              std::string::npos)
        << first.error;
    EXPECT_NE(first.error.find("in/p115.png"), std::string::npos) << first.error;
    EXPECT_NE(first.error.find("18 written, 2 failed"), std::string::npos) << first.error;
    EXPECT_EQ(first.error.find("\r"), std::string::npos) << "no progress line off a terminal";
    const std::set<std::string> written = Files("out");
    EXPECT_EQ(written.size(), 18u) << "no partial or temporary file";
    EXPECT_FALSE(written.count("p108.png"));
    EXPECT_FALSE(written.count("p115.png"));

    // Each result is what a single apply gives.
    ASSERT_EQ(Quillon(std::string("apply in/p103.png single.png") + kLook).status, 0);
    EXPECT_EQ(ReadImageFile(folder_ / "out/p103.png").document.planes,
              ReadImageFile(folder_ / "single.png").document.planes);

    // A second run skips what is there; --overwrite replaces it.
    const auto before = fs::last_write_time(folder_ / "out/p101.png");
    const Outcome again = Quillon("apply" + inputs + " --out-dir out" + kLook);
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.error.find("0 written, 2 failed, 18 skipped"), std::string::npos)
        << again.error;
    EXPECT_EQ(fs::last_write_time(folder_ / "out/p101.png"), before);
    const Outcome replaced = Quillon("apply" + inputs + " --out-dir out --overwrite" + kLook);
    EXPECT_NE(replaced.error.find("18 written, 2 failed"), std::string::npos) << replaced.error;
    EXPECT_NE(fs::last_write_time(folder_ / "out/p101.png"), before);
}

TEST_F(BatchApplyTest, OutputNamesFromSuffixAndPattern) {
    fs::create_directories(folder_ / "in");
    const Document picture = quillon::tools::MakeScenery(32, 24);
    WriteImageFile(picture, FileFormat::Png, folder_ / "in/a.png");
    WriteImageFile(picture, FileFormat::Tiff, folder_ / "in/b.tif");
    Outcome outcome = Quillon("apply in/a.png in/b.tif --out-dir out --suffix -teal --jobs 1");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_EQ(Files("out"), (std::set<std::string>{"a-teal.png", "b-teal.tif"}));
    outcome = Quillon("apply in/a.png in/b.tif --out 'res/{name}.look.{ext}'");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_EQ(Files("res"), (std::set<std::string>{"a.look.png", "b.look.tif"}));
    EXPECT_EQ(ReadImageFile(folder_ / "res/b.look.tif").format, FileFormat::Tiff);
    // A pattern may change the format.
    outcome = Quillon("apply in/a.png in/b.tif --out 'jpeg/{name}.jpg'");
    ASSERT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_EQ(ReadImageFile(folder_ / "jpeg/b.jpg").format, FileFormat::Jpeg);
}

TEST_F(BatchApplyTest, ResultsThatWouldReplaceAnInputOrEachOtherAreRefused) {
    fs::create_directories(folder_ / "in/sub");
    const Document picture = quillon::tools::MakeScenery(32, 24);
    WriteImageFile(picture, FileFormat::Png, folder_ / "in/a.png");
    WriteImageFile(picture, FileFormat::Png, folder_ / "in/sub/a.png");
    const auto before = fs::last_write_time(folder_ / "in/a.png");
    Outcome outcome = Quillon("apply in/a.png --out-dir in --overwrite");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.error.find("would replace an input"), std::string::npos) << outcome.error;
    EXPECT_EQ(fs::last_write_time(folder_ / "in/a.png"), before);
    outcome = Quillon("apply in/a.png in/sub/a.png --out-dir out");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.error.find("in/sub/a.png: its result out/a.png is also in/a.png's"),
              std::string::npos)
        << outcome.error;
    EXPECT_EQ(Files("out"), (std::set<std::string>{"a.png"}));
}

// Ctrl-C to the whole batch (as a terminal sends it), or SIGINT or SIGTERM to the batch alone: the
// running pictures are cancelled, no new one starts, every worker has ended when the batch does,
// the results being replaced are left as they were, and the exit status is the signal's.
TEST_F(BatchApplyTest, SignalsStopTheBatchAndLeaveNothingPartial) {
    fs::create_directories(folder_ / "in");
    // Four megapixels at 16 bits in tiles of 4 x 4 keep each worker busy well past the signal,
    // however quickly the pass maps the colours themselves.
    const Document picture = MakeDocument(ColorMode::RGB, 16, 2000, 2000);
    std::string inputs;
    for (int i = 1; i <= 6; ++i) {
        const std::string name = "in/p" + std::to_string(i) + ".png";
        WriteImageFile(picture, FileFormat::Png, folder_ / name);
        inputs += " " + name;
    }
    struct Case {
        const char* name;
        const char* send; // with $pid the batch
        int status;
    };
    const Case cases[] = {
        {"Ctrl-C to the group", "pkill -INT -P $pid; kill -INT $pid;", 130},
        {"SIGINT to the batch", "kill -INT $pid;", 130},
        {"SIGTERM to the batch", "kill -TERM $pid;", 143},
    };
    for (const Case& c : cases) {
        fs::remove_all(folder_ / "out");
        fs::create_directories(folder_ / "out");
        for (const char* name : {"p1.png", "p2.png"})
            std::ofstream(folder_ / "out" / name) << "an earlier result";
        const Outcome outcome =
            Quillon("apply" + inputs + " --out-dir out --overwrite --jobs 2 --tile 4" + kLook,
                    SignalOnceTwoWorkersRun(c.send));
        EXPECT_EQ(outcome.status, c.status) << c.name << ": " << outcome.error;
        EXPECT_EQ(outcome.error.find("still running"), std::string::npos)
            << c.name << outcome.error;
        EXPECT_NE(outcome.error.find("cancelled"), std::string::npos) << c.name << outcome.error;
        const std::size_t at = outcome.error.find("interrupted; ");
        ASSERT_NE(at, std::string::npos) << c.name << ": " << outcome.error;
        EXPECT_EQ(std::atoi(outcome.error.c_str() + at + 13), 4) << c.name << outcome.error;
        std::set<std::string> written = Files("out");
        EXPECT_EQ(written, (std::set<std::string>{"p1.png", "p2.png"})) << c.name;
        for (const char* name : {"p1.png", "p2.png"}) {
            std::ifstream in(folder_ / "out" / name);
            std::string text;
            std::getline(in, text);
            EXPECT_EQ(text, "an earlier result") << c.name << ": " << name << " was replaced";
        }
    }
}

TEST_F(BatchApplyTest, UsageErrorsExitWithTwo) {
    struct Case {
        const char* arguments;
        const char* message;
    };
    const Case cases[] = {
        {"apply a.png b.png c.png", "give IN and OUT"},
        {"apply a.png b.png --out-dir d --out 'x/{name}.png'", "not both"},
        {"apply a.png b.png --out 'x.png'", "needs {name}"},
        {"apply a.png b.png --out 'x/{name}.{size}'", "only {name} and {ext}"},
        {"apply a.png b.png --out-dir d --record r.json", "records one picture"},
        {"apply a.png b.png --suffix -x", "goes with --out-dir"},
        {"apply a.png --out-dir d --jobs 0", "--jobs"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Quillon(c.arguments);
        EXPECT_EQ(outcome.status, 2) << c.arguments;
        EXPECT_NE(outcome.error.find(c.message), std::string::npos)
            << c.arguments << ": " << outcome.error;
        EXPECT_EQ(std::count(outcome.error.begin(), outcome.error.end(), '\n'), 1) << outcome.error;
    }
}

} // namespace

// Two small host services whose faults are easy to miss: the fade's rounding, and the atomic
// writer's last step, the rename onto the file asked for.
#include "TestFolder.h"
#include "core/HostFailure.h"
#include "core/documents/AtomicFile.h"
#include "core/looks/Fade.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace quillon::filterhost;
namespace fs = std::filesystem;

TEST(FadeTest, BlendsRoundToTheNearestSample) {
    struct Case {
        int depth;
        uint16_t original, filtered;
        double percent;
        uint16_t expected;
    };
    const Case cases[] = {
        {8, 0, 3, 25, 1},           // 0.75
        {8, 0, 3, 10, 0},           // 0.3
        {8, 0, 3, 50, 2},           // 1.5
        {8, 10, 0, 25, 8},          // 7.5
        {8, 255, 0, 10, 230},       // 229.5
        {8, 100, 101, 49, 100},     // 100.49
        {8, 100, 101, 51, 101},     // 100.51
        {16, 0, 32768, 33, 10813},  // 10813.44
        {16, 32768, 0, 0.1, 32735}, // 32735.232
        {16, 7, 9, 0, 7},           {16, 7, 9, 100, 9},
    };
    for (const Case& c : cases) {
        Document original = MakeDocument(ColorMode::RGB, c.depth, 2, 1);
        Document filtered = MakeDocument(ColorMode::RGB, c.depth, 2, 1);
        for (int p = 0; p < 3; ++p) {
            std::fill(original.planes[size_t(p)].begin(), original.planes[size_t(p)].end(),
                      c.original);
            std::fill(filtered.planes[size_t(p)].begin(), filtered.planes[size_t(p)].end(),
                      c.filtered);
        }
        Fade(filtered, original, c.percent);
        for (int p = 0; p < 3; ++p)
            EXPECT_EQ(filtered.At(p, 1, 0), c.expected)
                << c.original << " to " << c.filtered << " at " << c.percent << " %";
    }
}

using AtomicFileTest = quillon::testing::TestFolderTest;

// The rename onto the file asked for fails (a folder with something in it took its place while
// the picture was written): the failure is reported, the temporary file goes, and what is there
// stays as it was.
TEST_F(AtomicFileTest, AFailedFinalRenameIsReportedAndLeavesNothingBehind) {
    const fs::path out = folder_ / "out.png";
    std::ofstream(out) << "an earlier result";
    try {
        WriteThroughTemporary(out, [&](const fs::path& temporary) {
            std::ofstream(temporary) << "the new result";
            fs::remove(out);
            fs::create_directories(out / "inside");
        });
        ADD_FAILURE() << "the write was passed off as done";
    } catch (const HostFailure& failure) {
        EXPECT_NE(std::string(failure.what()).find("cannot write " + out.string()),
                  std::string::npos)
            << failure.what();
    }
    EXPECT_TRUE(fs::is_directory(out / "inside")) << "what stood at OUT was touched";
    for (const auto& entry : fs::directory_iterator(folder_))
        EXPECT_EQ(entry.path(), out) << entry.path() << " left behind";
}

} // namespace

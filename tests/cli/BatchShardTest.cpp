// Batches spread over machines: the list from a file or standard input, disjoint shares of it
// chosen by --shard K/N or an array job's index, and a JSON-lines report of every picture.
#include "Scenery.h"
#include "core/documents/ImageFiles.h"

#include "QuillonRun.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

namespace {

using namespace quillon::filterhost;
using quillon::testing::Outcome;
namespace fs = std::filesystem;

constexpr const char* kLook = " --map '#2654a0:#1f8a8a' --fuzziness 4 --jobs 2";
constexpr int kPictures = 101;

class BatchShardTest : public quillon::testing::QuillonTest {
  protected:
    void SetUp() override {
        QuillonTest::SetUp();
        ClearIndex();
    }
    void TearDown() override {
        ClearIndex();
        QuillonTest::TearDown();
    }
    static void ClearIndex() {
        for (const char* name : {"JOB_COMPLETION_INDEX", "SLURM_ARRAY_TASK_ID",
                                 "SLURM_ARRAY_TASK_MIN", "AWS_BATCH_JOB_ARRAY_INDEX"})
            unsetenv(name);
    }

    // kPictures small pictures, each a little different, listed in list.txt out of order.
    void MakeList() {
        fs::create_directories(folder_ / "in");
        std::ofstream list(folder_ / "list.txt");
        for (int i = kPictures; i >= 1; --i) {
            Document picture = quillon::tools::MakeScenery(12, 8);
            picture.At(0, 0, 0) = uint16_t(i);
            const std::string name = "in/p" + std::to_string(i) + ".png";
            WriteImageFile(picture, FileFormat::Png, folder_ / name);
            list << name << (i % 10 == 0 ? "\r\n\n" : "\n");
        }
    }
    std::set<std::string> Files(const fs::path& folder) {
        std::set<std::string> names;
        if (!fs::exists(folder_ / folder)) return names;
        for (const auto& entry : fs::directory_iterator(folder_ / folder))
            names.insert(entry.path().filename().string());
        return names;
    }
    std::vector<nlohmann::json> Report(const fs::path& file) {
        std::vector<nlohmann::json> lines;
        std::ifstream in(folder_ / file);
        for (std::string line; std::getline(in, line);)
            lines.push_back(nlohmann::json::parse(line));
        return lines;
    }
    std::string Bytes(const fs::path& file) {
        std::ifstream in(folder_ / file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

TEST_F(BatchShardTest, SharesOfAnyCountCoverTheListExactlyOnce) {
    MakeList();
    for (int count : {1, 3, 7}) {
        std::map<std::string, int> written; // output name -> shares that wrote it
        std::map<std::string, int> reported;
        for (int k = 0; k < count; ++k) {
            const std::string tag = std::to_string(count) + "-" + std::to_string(k);
            const Outcome outcome =
                Quillon("apply --files-from list.txt --shard " + std::to_string(k) + "/" +
                        std::to_string(count) + " --out-dir out" + tag + " --report r" + tag +
                        ".jsonl" + kLook);
            ASSERT_EQ(outcome.status, 0) << tag << ": " << outcome.error;
            for (const std::string& name : Files("out" + tag))
                ++written[name];
            for (const nlohmann::json& line : Report("r" + tag + ".jsonl")) {
                EXPECT_EQ(line["status"], "written") << line.dump();
                EXPECT_TRUE(line["reason"].is_null()) << line.dump();
                EXPECT_GE(line["milliseconds"].get<int64_t>(), 0);
                const fs::path in = line["input"].get<std::string>();
                EXPECT_EQ(line["output"], "out" + tag + "/" + in.filename().string());
                EXPECT_TRUE(fs::exists(folder_ / line["output"].get<std::string>()));
                ++reported[in.string()];
            }
        }
        EXPECT_EQ(written.size(), size_t(kPictures)) << count << " shares";
        EXPECT_EQ(reported.size(), size_t(kPictures)) << count << " shares";
        for (const auto& [name, times] : written)
            EXPECT_EQ(times, 1) << name << " with " << count << " shares";
        for (const auto& [name, times] : reported)
            EXPECT_EQ(times, 1) << name << " with " << count << " shares";
    }
}

// An array job's index comes from whichever engine runs it; each gives the share --shard K/3
// would, and a run that finds no index refuses to guess one.
TEST_F(BatchShardTest, AutoTakesTheIndexFromTheEnvironment) {
    MakeList();
    struct Case {
        const char* variable;
        const char* value;
        const char* first; // SLURM_ARRAY_TASK_MIN, or null
        int share;
    };
    const Case cases[] = {{"JOB_COMPLETION_INDEX", "0", nullptr, 0},
                          {"SLURM_ARRAY_TASK_ID", "1", nullptr, 1},
                          {"SLURM_ARRAY_TASK_ID", "3", "1", 2},
                          {"AWS_BATCH_JOB_ARRAY_INDEX", "2", nullptr, 2}};
    for (const Case& c : cases) {
        const std::string k = std::to_string(c.share);
        ASSERT_EQ(
            Quillon("apply --files-from list.txt --shard " + k + "/3 --out-dir given" + k + kLook)
                .status,
            0);
        setenv(c.variable, c.value, 1);
        if (c.first) setenv("SLURM_ARRAY_TASK_MIN", c.first, 1);
        const Outcome outcome =
            Quillon("apply --files-from list.txt --shard auto/3 --out-dir auto" + k +
                    std::string(c.first ? "-min" : "") + kLook);
        ClearIndex();
        ASSERT_EQ(outcome.status, 0) << c.variable << ": " << outcome.error;
        EXPECT_EQ(Files("auto" + k + std::string(c.first ? "-min" : "")), Files("given" + k))
            << c.variable << "=" << c.value;
        EXPECT_FALSE(Files("given" + k).empty());
    }

    struct Refusal {
        const char* variable; // set to "7", or null
        const char* message;
    };
    const Refusal refusals[] = {
        {nullptr, "no array index in the environment (JOB_COMPLETION_INDEX, SLURM_ARRAY_TASK_ID "
                  "or AWS_BATCH_JOB_ARRAY_INDEX)"},
        {"JOB_COMPLETION_INDEX", "JOB_COMPLETION_INDEX is \"7\", not an index from 0 to 2"},
    };
    for (const Refusal& r : refusals) {
        if (r.variable) setenv(r.variable, "7", 1);
        const Outcome outcome = Quillon(
            "apply --files-from list.txt --shard auto/3 --out-dir none" + std::string(kLook));
        ClearIndex();
        EXPECT_EQ(outcome.status, 2) << outcome.error;
        EXPECT_NE(outcome.error.find(r.message), std::string::npos) << outcome.error;
        EXPECT_FALSE(fs::exists(folder_ / "none"));
    }
}

TEST_F(BatchShardTest, GnuParallelSharesGiveTheBytesOfOneBatch) {
    if (std::system("command -v parallel > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "GNU parallel is not installed (scripts/install-deps.sh installs it)";
    MakeList();
    ASSERT_EQ(Quillon("apply --files-from list.txt --out-dir one" + std::string(kLook)).status, 0);
    const std::string command = "cd '" + folder_.string() + "' && XDG_CONFIG_HOME='" +
                                (folder_ / "config").string() +
                                "' parallel --will-cite --halt now,fail=1 '" QUILLON_BINARY
                                "' apply --files-from list.txt --shard {}/3 --out-dir three "
                                "--report part{}.jsonl --jobs 1 --map \"'#2654a0:#1f8a8a'\" "
                                "--fuzziness 4 ::: 0 1 2 2> parallel.txt";
    ASSERT_EQ(std::system(command.c_str()), 0) << Bytes("parallel.txt");
    const std::set<std::string> one = Files("one");
    ASSERT_EQ(one.size(), size_t(kPictures));
    EXPECT_EQ(Files("three"), one);
    for (const std::string& name : one)
        EXPECT_EQ(Bytes("three/" + name), Bytes("one/" + name)) << name;
    size_t lines = 0;
    for (int k = 0; k < 3; ++k)
        lines += Report("part" + std::to_string(k) + ".jsonl").size();
    EXPECT_EQ(lines, size_t(kPictures));
}

// Refused, skipped and failed pictures have their lines too; standard input gives the list.
TEST_F(BatchShardTest, ReportTellsWhatBecameOfEveryPicture) {
    fs::create_directories(folder_ / "in/sub");
    fs::create_directories(folder_ / "out");
    const Document picture = quillon::tools::MakeScenery(12, 8);
    for (const char* name : {"in/a.png", "in/b.png", "in/sub/a.png"})
        WriteImageFile(picture, FileFormat::Png, folder_ / name);
    std::ofstream(folder_ / "in/c.png") << "not a picture";
    WriteImageFile(picture, FileFormat::Png, folder_ / "out/b.png");
    std::ofstream(folder_ / "list.txt") << "in/a.png\nin/b.png\nin/c.png\nin/sub/a.png\n";
    const Outcome outcome = Quillon(
        "apply --files-from - --out-dir out --report r.jsonl < list.txt" + std::string(kLook));
    EXPECT_EQ(outcome.status, 1) << outcome.error;
    std::map<std::string, nlohmann::json> byInput;
    for (const nlohmann::json& line : Report("r.jsonl"))
        byInput[line["input"].get<std::string>()] = line;
    ASSERT_EQ(byInput.size(), 4u);
    EXPECT_EQ(byInput["in/a.png"]["status"], "written");
    EXPECT_EQ(byInput["in/b.png"]["status"], "skipped");
    EXPECT_EQ(byInput["in/c.png"]["status"], "failed");
    EXPECT_NE(byInput["in/c.png"]["reason"].get<std::string>().find("not a PNG"),
              std::string::npos);
    EXPECT_EQ(byInput["in/sub/a.png"]["status"], "failed");
    EXPECT_NE(byInput["in/sub/a.png"]["reason"].get<std::string>().find("is also in/a.png's"),
              std::string::npos);
}

TEST_F(BatchShardTest, BadListsAndSharesAreRefused) {
    std::ofstream(folder_ / "nul.txt") << std::string("in/a.png\n\0x\n", 12);
    std::ofstream(folder_ / "empty.txt") << "\n\n";
    struct Case {
        const char* arguments;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"apply --files-from nul.txt --out-dir o", 1, "nul.txt, line 2: holds a NUL byte"},
        {"apply --files-from empty.txt --out-dir o", 1, "no pictures to work on"},
        {"apply --files-from missing.txt --out-dir o", 1, "cannot read the list missing.txt"},
        {"apply --files-from nul.txt --out one.png", 2, "needs {name}"},
        {"apply --out-dir o", 2, "--files-from FILE"},
        {"apply a.png --out-dir o --shard 3/3", 2, "\"3/3\": expected K/N or auto/N"},
        {"apply a.png --out-dir o --shard 1/0", 2, "expected K/N"},
        {"apply a.png --out-dir o --shard -1/2", 2, "expected K/N"},
        {"apply a.png --out-dir o --shard 1", 2, "expected K/N"},
        {"apply a.png b.png --shard 0/2", 2, "--shard: is for a batch"},
        {"apply a.png b.png --report r.jsonl", 2, "--report: is for a batch"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Quillon(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments << ": " << outcome.error;
        EXPECT_NE(outcome.error.find(c.message), std::string::npos)
            << c.arguments << ": " << outcome.error;
        EXPECT_EQ(std::count(outcome.error.begin(), outcome.error.end(), '\n'), 1) << outcome.error;
    }
}

} // namespace

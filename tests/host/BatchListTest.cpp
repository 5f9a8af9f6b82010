// The list of a batch and the shares machines take of it.
#include "core/batch/BatchList.h"
#include "core/HostFailure.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using namespace quillon::filterhost;
namespace fs = std::filesystem;

TEST(BatchListTest, OnePathALine) {
    const auto files = ParseFileList("a.png\r\n\nsub dir/b c.tif\n\r\nlast.jpg", "list");
    EXPECT_EQ(files, (std::vector<fs::path>{"a.png", "sub dir/b c.tif", "last.jpg"}));
    EXPECT_TRUE(ParseFileList("", "list").empty());
    EXPECT_TRUE(ParseFileList("\n\r\n\n", "list").empty());
}

TEST(BatchListTest, ListsThatAreNoListsAreRefusedWithTheirLine) {
    struct Case {
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {std::string("a\nb\0c\n", 6), "list, line 2: holds a NUL byte"},
        {"a\n\n" + std::string(kMaxListLine + 1, 'x'), "list, line 3: longer than 4096 bytes"},
    };
    for (const Case& c : cases) {
        try {
            ParseFileList(c.text, "list");
            ADD_FAILURE() << c.message;
        } catch (const HostFailure& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(ParseFileList(std::string(kMaxListLine, 'x'), "list").size(), 1u);
}

TEST(BatchListTest, ShardsFromTextAndEnvironment) {
    std::map<std::string, std::string> variables;
    const Environment environment = [&](const char* name) -> const char* {
        const auto found = variables.find(name);
        return found == variables.end() ? nullptr : found->second.c_str();
    };
    struct Case {
        std::map<std::string, std::string> variables;
        const char* text;
        size_t index, count; // count 0: refused
    };
    const Case cases[] = {
        {{}, "0/1", 0, 1},
        {{}, "6/7", 6, 7},
        {{}, "7/7", 0, 0},
        {{}, "0/0", 0, 0},
        {{}, "/3", 0, 0},
        {{}, "1/", 0, 0},
        {{}, "1/2/3", 0, 0},
        {{}, "+1/2", 0, 0},
        {{}, "1/99999999", 0, 0},
        {{}, "auto/3", 0, 0},
        {{{"JOB_COMPLETION_INDEX", "2"}}, "auto/3", 2, 3},
        {{{"JOB_COMPLETION_INDEX", "1"}, {"SLURM_ARRAY_TASK_ID", "2"}}, "auto/3", 1, 3},
        {{{"SLURM_ARRAY_TASK_ID", "2"}}, "auto/3", 2, 3},
        {{{"SLURM_ARRAY_TASK_ID", "3"}, {"SLURM_ARRAY_TASK_MIN", "1"}}, "auto/3", 2, 3},
        {{{"SLURM_ARRAY_TASK_ID", "0"}, {"SLURM_ARRAY_TASK_MIN", "1"}}, "auto/3", 0, 0},
        {{{"AWS_BATCH_JOB_ARRAY_INDEX", "0"}}, "auto/1", 0, 1},
        {{{"AWS_BATCH_JOB_ARRAY_INDEX", "x"}}, "auto/2", 0, 0},
        {{{"AWS_BATCH_JOB_ARRAY_INDEX", ""}}, "auto/2", 0, 0},
    };
    for (const Case& c : cases) {
        variables = c.variables;
        if (c.count == 0) {
            EXPECT_THROW(ParseShard(c.text, environment), HostFailure) << c.text;
            continue;
        }
        const Shard shard = ParseShard(c.text, environment);
        EXPECT_EQ(shard.index, c.index) << c.text;
        EXPECT_EQ(shard.count, c.count) << c.text;
    }
}

TEST(BatchListTest, SharesCoverTheSortedListOnceWhateverItsOrder) {
    std::vector<fs::path> given;
    for (int i = 0; i < 50; ++i)
        given.push_back("p" + std::to_string((i * 37) % 50) + ".png");
    given.push_back("p3.png"); // a repeat is worked on once
    std::vector<fs::path> reversed(given.rbegin(), given.rend());
    const std::vector<fs::path> sorted = SortedList(given);
    ASSERT_EQ(sorted.size(), 50u);
    EXPECT_EQ(SortedList(reversed), sorted);
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
    for (size_t count : {1, 2, 3, 7, 49, 50, 51, 200}) {
        std::vector<int> taken(sorted.size());
        for (size_t k = 0; k < count; ++k)
            for (size_t i = 0; i < sorted.size(); ++i)
                taken[i] += Shard{k, count}.Takes(i) ? 1 : 0;
        for (size_t i = 0; i < taken.size(); ++i)
            EXPECT_EQ(taken[i], 1) << "entry " << i << " of " << count << " shares";
    }
}

} // namespace

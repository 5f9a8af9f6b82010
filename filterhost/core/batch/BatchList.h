// The list a batch works through and the share of it one machine takes: lists of paths read
// from files or standard input, and deterministic, disjoint shares of the sorted list.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::filterhost {

// The most paths one list may hold, and the longest line: a list is text a person or a program
// wrote, and anything past these is no list of pictures.
inline constexpr size_t kMaxListedFiles = size_t{1} << 24;
inline constexpr size_t kMaxListLine = 4096;

// One path a line; "\n" or "\r\n" ends a line, blank lines are left out. HostFailure naming
// `shown` and the line for a NUL byte, an overlong line or too many lines.
std::vector<std::filesystem::path> ParseFileList(std::string_view text, const std::string& shown);

// Which share of how many: index runs 0..count-1.
struct Shard {
    size_t index = 0;
    size_t count = 1;
    // Whether the entry at this position of the sorted list is in this share: every count-th
    // from index on, so shares of any count cover the list exactly once.
    bool Takes(size_t position) const { return position % count == index; }
};

// Reads a variable of the environment; null when it is not set.
using Environment = std::function<const char*(const char* name)>;

// The variables an array job's index is read from, in the order they are asked.
inline constexpr const char* kShardIndexVariables[] = {
    "JOB_COMPLETION_INDEX", "SLURM_ARRAY_TASK_ID", "AWS_BATCH_JOB_ARRAY_INDEX"};
inline constexpr size_t kMaxShards = 1000000;

// "K/N" with 0 <= K < N, or "auto/N" with K from the first of kShardIndexVariables that is set
// (a Slurm index counts from SLURM_ARRAY_TASK_MIN when that is set). HostFailure with one clear
// line otherwise, naming the variables when none is set.
Shard ParseShard(std::string_view text, const Environment& environment);

// The inputs sorted by their bytes with repeats left out: the same list on every machine,
// whatever order it was given in.
std::vector<std::filesystem::path> SortedList(std::vector<std::filesystem::path> inputs);

} // namespace quillon::filterhost

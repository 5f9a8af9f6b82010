// Many pictures through one command: each input gets its own output, worked on by a pool of
// worker processes (the plug-in keeps process-wide state, so one picture runs per process).
#pragma once

#include <CLI/CLI.hpp>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

struct BatchOptions {
    std::optional<std::filesystem::path> outDir; // --out-dir DIR
    std::optional<std::string> pattern;          // --out PATTERN with {name} and {ext}
    std::string suffix;                          // --suffix, with --out-dir
    int jobs = 0;                                // 0: one per core
    bool overwrite = false;
    std::optional<std::filesystem::path> filesFrom; // --files-from FILE, "-" for standard input
    std::optional<std::string> shard;               // --shard K/N or auto/N
    std::optional<std::filesystem::path> report;    // --report FILE.jsonl
};

void AddBatchOptions(CLI::App& command, BatchOptions& options);

bool IsBatch(const BatchOptions& options);

// Usage checks once the command line is parsed; throws CLI::ValidationError.
void CheckBatchArguments(const BatchOptions& options,
                         const std::vector<std::filesystem::path>& files, bool recording);

// The pictures named on the command line followed by those of --files-from; HostFailure when
// the list cannot be read.
std::vector<std::filesystem::path> BatchInputs(const BatchOptions& options,
                                               const std::vector<std::filesystem::path>& files);

// Where the result for one input goes.
std::filesystem::path BatchOutput(const BatchOptions& options, const std::filesystem::path& in);

// Runs applyOne(in, out) for every input in worker processes; a failure (HostFailure or a file
// system error) is reported with its file while the others go on. With --shard, only this
// machine's share of the sorted list is worked on; outputs that clash are found over the whole
// list, so every machine refuses the same ones. Returns the exit status: 0 when every picture
// was written or skipped, 1 when any failed.
using ApplyOne =
    std::function<void(const std::filesystem::path& in, const std::filesystem::path& out)>;
int RunBatch(const BatchOptions& options, const std::vector<std::filesystem::path>& inputs,
             const ApplyOne& applyOne);

} // namespace quillon::cli

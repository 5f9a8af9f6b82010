#include "cli/BatchApply.h"

#include "cli/BatchReport.h"
#include "cli/Commands.h"
#include "cli/Workers.h"
#include "core/HostFailure.h"
#include "core/batch/BatchList.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <set>

namespace quillon::cli {
namespace {

namespace fs = std::filesystem;
using namespace filterhost;

std::string Replace(std::string text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// The batch's line on a terminal: files done, failed, pictures per second.
class BatchProgress {
  public:
    explicit BatchProgress(size_t total) : total_(total), terminal_(isatty(STDERR_FILENO) == 1) {}

    void Report(const fs::path& in, const std::string& reason) {
        Clear();
        // Most reasons already start with the file they are about.
        const std::string file = in.string();
        const bool named = reason.compare(0, file.size() + 1, file + ":") == 0;
        std::cerr << "quillon: " << (named ? "" : file + ": ") << reason << "\n";
        Show();
    }
    void Count(bool failed) {
        ++done_;
        failed_ += failed ? 1 : 0;
        Show();
    }
    void Finish(size_t skipped) {
        Clear();
        std::cerr << "quillon: " << done_ - failed_ << " written, " << failed_ << " failed";
        if (skipped > 0)
            std::cerr << ", " << skipped << " skipped (already there; --overwrite replaces them)";
        std::cerr << " in " << Format(Seconds(), 1) << " s, " << Format(Rate(), 2)
                  << " pictures/s\n";
    }
    size_t Failed() const { return failed_; }

  private:
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }
    double Rate() const {
        const double s = Seconds();
        return s > 0 ? double(done_) / s : 0;
    }
    static std::string Format(double v, int decimals) {
        char text[32];
        std::snprintf(text, sizeof text, "%.*f", decimals, v);
        return text;
    }
    void Show() {
        if (!terminal_) return;
        std::cerr << "\rquillon: " << done_ << " of " << total_ << " done, " << failed_
                  << " failed, " << Format(Rate(), 1) << " pictures/s" << std::flush;
        shown_ = true;
    }
    void Clear() {
        if (shown_) std::cerr << "\r\033[K";
        shown_ = false;
    }

    size_t total_, done_ = 0, failed_ = 0;
    bool terminal_, shown_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace

void AddBatchOptions(CLI::App& command, BatchOptions& o) {
    command.add_option("--out-dir", o.outDir, "batch: write each result into DIR");
    command.add_option("--out", o.pattern,
                       "batch: where each result goes, with {name} (the input's name without "
                       "extension) and {ext} (its extension), e.g. \"out/{name}-teal.{ext}\"");
    command.add_option("--suffix", o.suffix, "batch: added to each name in --out-dir");
    command.add_option("--jobs", o.jobs, "batch: worker processes (default: one per core)")
        ->check(CLI::Range(1, kMaxWorkers));
    command.add_option("--files-from", o.filesFrom,
                       "batch: read the pictures from FILE, one path a line (- for standard "
                       "input)");
    command.add_option("--shard", o.shard,
                       "batch: work on share K of N of the sorted list (K from 0 to N-1); "
                       "auto/N takes K from JOB_COMPLETION_INDEX, SLURM_ARRAY_TASK_ID or "
                       "AWS_BATCH_JOB_ARRAY_INDEX");
    command.add_option("--report", o.report,
                       "batch: write FILE.jsonl, one JSON object a picture (input, output, "
                       "status, reason, milliseconds) as each picture ends");
    command.add_flag("--overwrite", o.overwrite,
                     "replace results of a batch that already exist, or a --record file that is "
                     "not an action file");
}

bool IsBatch(const BatchOptions& o) {
    return o.outDir || o.pattern;
}

void CheckBatchArguments(const BatchOptions& o, const std::vector<fs::path>& files,
                         bool recording) {
    if (!IsBatch(o)) {
        for (const auto& [given, name] : {std::pair{o.filesFrom.has_value(), "--files-from"},
                                          std::pair{o.shard.has_value(), "--shard"},
                                          std::pair{o.report.has_value(), "--report"}})
            if (given)
                throw CLI::ValidationError(name, "is for a batch: give --out-dir DIR or --out "
                                                 "PATTERN");
        if (files.size() != 2)
            throw CLI::ValidationError("IN OUT", "give IN and OUT, or the pictures of a batch with "
                                                 "--out-dir DIR or --out PATTERN");
        if (!o.suffix.empty()) throw CLI::ValidationError("--suffix", "goes with --out-dir");
        return;
    }
    if (o.outDir && o.pattern)
        throw CLI::ValidationError("--out", "give --out-dir or --out, not both");
    if (o.shard) {
        try {
            ParseShard(*o.shard, std::getenv);
        } catch (const HostFailure& e) {
            throw CLI::ValidationError("--shard", e.what());
        }
    }
    if (files.empty() && !o.filesFrom)
        throw CLI::ValidationError("IN", "give the pictures of the batch, or --files-from FILE");
    if (recording) throw CLI::ValidationError("--record", "records one picture, not a batch");
    // A suffix only adds to a name, and a pattern's names stay where it says.
    if (o.suffix.find('/') != std::string::npos || o.suffix.find("..") != std::string::npos)
        throw CLI::ValidationError("--suffix", "may not hold '/' or '..': it adds to a name in "
                                               "--out-dir");
    if (o.pattern) {
        for (const fs::path& part : fs::path(*o.pattern))
            if (part == "..")
                throw CLI::ValidationError("--out", "may not hold '..': give the folder itself");
        if (!o.suffix.empty()) throw CLI::ValidationError("--suffix", "goes with --out-dir");
        const std::string rest = Replace(Replace(*o.pattern, "{name}", ""), "{ext}", "");
        if (rest.find_first_of("{}") != std::string::npos)
            throw CLI::ValidationError("--out", "only {name} and {ext} may stand in braces");
        if ((files.size() > 1 || o.filesFrom) && o.pattern->find("{name}") == std::string::npos)
            throw CLI::ValidationError("--out", "needs {name} so that each picture gets its own "
                                                "result");
    }
}

std::vector<fs::path> BatchInputs(const BatchOptions& o, const std::vector<fs::path>& files) {
    std::vector<fs::path> inputs = files;
    if (!o.filesFrom) return inputs;
    const bool standardInput = *o.filesFrom == "-";
    std::ifstream file;
    if (!standardInput) {
        file.open(*o.filesFrom, std::ios::binary);
        if (!file) throw HostFailure("cannot read the list " + o.filesFrom->string());
    }
    std::istream& in = standardInput ? std::cin : file;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) throw HostFailure("cannot read the list " + o.filesFrom->string());
    std::vector<fs::path> listed =
        ParseFileList(text, standardInput ? "the list on standard input" : o.filesFrom->string());
    inputs.insert(inputs.end(), std::make_move_iterator(listed.begin()),
                  std::make_move_iterator(listed.end()));
    return inputs;
}

fs::path BatchOutput(const BatchOptions& o, const fs::path& in) {
    if (o.outDir) return *o.outDir / (in.stem().string() + o.suffix + in.extension().string());
    const std::string ext = in.extension().string();
    return Replace(Replace(o.pattern.value_or("{name}"), "{name}", in.stem().string()), "{ext}",
                   ext.empty() ? ext : ext.substr(1));
}

int RunBatch(const BatchOptions& o, const std::vector<fs::path>& given, const ApplyOne& applyOne) {
    const Shard shard = o.shard ? ParseShard(*o.shard, std::getenv) : Shard{};
    const std::vector<fs::path> inputs = o.shard ? SortedList(given) : given;
    if (inputs.empty()) throw HostFailure("no pictures to work on: the list is empty");
    BatchReport report(o.report.value_or(fs::path()));
    if (o.outDir) fs::create_directories(*o.outDir);
    // Ctrl-C from here on stops the batch; no picture has started yet.
    WorkerPool workers;
    size_t share = 0;
    for (size_t i = 0; i < inputs.size(); ++i)
        share += shard.Takes(i) ? 1 : 0;
    BatchProgress progress(share);

    // Decide every output first: existing ones are skipped, clashes and inputs refused.
    std::vector<std::pair<fs::path, fs::path>> work;
    std::map<fs::path, fs::path> claimed; // output -> the input that has it
    std::set<fs::path> sources;
    for (const fs::path& in : inputs)
        sources.insert(fs::weakly_canonical(in));
    size_t skipped = 0;
    // Refused over the whole list, so that every share refuses the same pictures.
    auto refuse = [&](const fs::path& in, const fs::path& out, const std::string& reason) {
        progress.Report(in, reason);
        progress.Count(true);
        report.Add(in, out, "failed", reason, 0);
    };
    for (size_t i = 0; i < inputs.size(); ++i) {
        const fs::path& in = inputs[i];
        const fs::path out = BatchOutput(o, in);
        const fs::path key = fs::weakly_canonical(out);
        const bool mine = shard.Takes(i);
        if (sources.count(key)) {
            if (mine) refuse(in, out, "its result " + out.string() + " would replace an input");
        } else if (auto [at, fresh] = claimed.emplace(key, in); !fresh) {
            if (mine)
                refuse(in, out,
                       "its result " + out.string() + " is also " + at->second.string() + "'s");
        } else if (!mine) {
            continue;
        } else if (!o.overwrite && fs::exists(out)) {
            ++skipped;
            report.Add(in, out, "skipped", "already there", 0);
        } else {
            work.emplace_back(in, out);
        }
    }

    const WorkersOutcome outcome = workers.Run(
        work.size(), o.jobs,
        [&](size_t i) {
            const auto& [in, out] = work[i];
            if (out.has_parent_path()) {
                std::error_code error;
                fs::create_directories(out.parent_path(), error);
            }
            applyOne(in, out);
            return std::string();
        },
        [&](size_t i, const WorkerAnswer& answer) {
            const auto& [in, out] = work[i];
            if (!answer.ok) progress.Report(in, answer.text);
            progress.Count(!answer.ok);
            report.Add(in, out, answer.ok ? "written" : "failed", answer.text, answer.milliseconds);
        });
    const size_t notStarted = size_t(std::count_if(outcome.answers.begin(), outcome.answers.end(),
                                                   [](const auto& a) { return !a.ended; }));
    if (outcome.stoppedBy != 0)
        std::cerr << "quillon: interrupted; " << notStarted << " pictures not started\n";
    progress.Finish(skipped);
    // Stopped by a signal, the batch ends as the signal would have ended it.
    if (outcome.stoppedBy != 0) return 128 + outcome.stoppedBy;
    return progress.Failed() > 0 || notStarted > 0 ? kExitFailure : kExitOk;
}

} // namespace quillon::cli

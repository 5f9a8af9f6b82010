// quillon apply over a batch of 20 photograph-like pictures (two of them broken), with one and
// with two worker processes: the whole command, as a user runs it. Real time is what counts,
// since the work happens in child processes.
#include "Scenery.h"
#include "core/documents/ImageFiles.h"

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace quillon::filterhost;
namespace fs = std::filesystem;

constexpr int kPictures = 20;

struct Batch {
    fs::path folder;
    std::string inputs;

    Batch() {
        folder = fs::temp_directory_path() / ("quillon-bench-batch-" + std::to_string(getpid()));
        fs::create_directories(folder / "config");
        const Document picture = quillon::tools::MakeScenery(1600, 1067);
        for (int i = 1; i <= kPictures; ++i) {
            const fs::path file = folder / ("p" + std::to_string(100 + i) + ".jpg");
            inputs += " '" + file.string() + "'";
            if (i == 8) {
                std::ofstream(file) << "not a picture";
                continue;
            }
            WriteImageFile(picture, FileFormat::Jpeg, file);
            if (i == 15) fs::resize_file(file, fs::file_size(file) / 2);
        }
    }
    ~Batch() { fs::remove_all(folder); }
};

void ApplyBatch(benchmark::State& state) {
    static const Batch batch;
    const std::string command =
        "XDG_CONFIG_HOME='" + (batch.folder / "config").string() + "' '" QUILLON_BINARY "' apply" +
        batch.inputs + " --out-dir '" + (batch.folder / "out").string() + "' --overwrite --jobs " +
        std::to_string(state.range(0)) +
        " --fuzziness 4 --map '#5a8a32:#b0782a' --map 'rgb(38,84,160):rgb(30,70,150)' 2>/dev/null";
    for (auto _ : state) {
        const int raw = std::system(command.c_str());
        // 18 written and 2 failed: exit status 1 is the expected outcome.
        if (!WIFEXITED(raw) || WEXITSTATUS(raw) != 1) state.SkipWithError("the batch did not run");
    }
    state.counters["pictures/s"] =
        benchmark::Counter(double(state.iterations()) * kPictures, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(ApplyBatch)
    ->ArgName("jobs")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_MAIN();

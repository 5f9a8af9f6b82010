// How long quillon apply takes to stop after Ctrl-C on a large 16-bit PNG, in the two phases
// where a stop once took seconds: while the picture is decoded, and once the result is being
// written. The time counted runs from the signal to the process's exit.
#include "Scenery.h"
#include "core/documents/ImageFiles.h"

#include <benchmark/benchmark.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace {

using namespace quillon::filterhost;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct BigPicture {
    fs::path folder;

    BigPicture() {
        folder = fs::temp_directory_path() / ("quillon-bench-cancel-" + std::to_string(getpid()));
        fs::create_directories(folder / "config");
        fs::create_directories(folder / "out");
        // 24 megapixels at 16 bits with a fine grain, so that neither decoding nor encoding is
        // quick.
        const Document scenery = quillon::tools::MakeScenery(6000, 4000);
        Document picture = MakeDocument(ColorMode::RGB, 16, scenery.width, scenery.height);
        for (size_t c = 0; c < 3; ++c)
            for (size_t i = 0; i < picture.planes[c].size(); ++i)
                picture.planes[c][i] = uint16_t(scenery.planes[c][i] * 128 + (i * 7919 + c) % 97);
        WriteImageFile(picture, FileFormat::Png, folder / "in.png");
    }
    ~BigPicture() { fs::remove_all(folder); }

    bool Writing() const {
        for (const auto& entry : fs::directory_iterator(folder / "out"))
            if (entry.is_regular_file()) return true;
        return false;
    }
};

enum Phase { kReading = 0, kWriting = 1 };

void CancelApply(benchmark::State& state) {
    static const BigPicture picture;
    const Phase phase = Phase(state.range(0));
    for (auto _ : state) {
        fs::remove_all(picture.folder / "out");
        fs::create_directories(picture.folder / "out");
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("XDG_CONFIG_HOME", (picture.folder / "config").c_str(), 1);
            const std::string in = (picture.folder / "in.png").string();
            const std::string out = (picture.folder / "out" / "out.png").string();
            freopen("/dev/null", "w", stderr);
            execl(QUILLON_BINARY, QUILLON_BINARY, "apply", in.c_str(), out.c_str(), "--fuzziness",
                  "4", "--map", "#5a8a32:#b0782a", static_cast<char*>(nullptr));
            _exit(127);
        }
        if (phase == kReading) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        } else {
            while (!picture.Writing())
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const Clock::time_point sent = Clock::now();
        kill(pid, SIGINT);
        int status = 0;
        waitpid(pid, &status, 0);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - sent).count());
        // A cancelled apply exits with 1, as any picture not written.
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 1)
            state.SkipWithError("apply did not stop as cancelled");
        if (picture.Writing()) state.SkipWithError("a cancelled result was left behind");
    }
}

BENCHMARK(CancelApply)
    ->Arg(kReading)
    ->Arg(kWriting)
    ->ArgName("phase")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace

BENCHMARK_MAIN();

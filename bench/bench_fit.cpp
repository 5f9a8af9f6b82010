// quillon fit end to end on a 24-megapixel pair (the landscape before and after a look of twelve
// pairs made by quillon apply), with the peak memory of the fit's process as a counter. The
// pictures are written once, as uncompressed-size TIFFs, before the timing starts.
#include "Scenery.h"
#include "core/documents/ImageFiles.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace quillon::filterhost;
namespace fs = std::filesystem;

const char* kLook = " --map 'lab(20,0,0):lab(20,-4,-6)' --map 'lab(85,0,5):lab(86,3,10)'"
                    " --map 'lab(50,-30,40):lab(50,-22,46)' --map 'lab(55,-5,-35):lab(52,-8,-42)'"
                    " --map 'lab(65,15,20):lab(66,19,24)' --map 'lab(40,40,30):lab(40,44,26)'"
                    " --map 'lab(70,-10,60):lab(72,-4,62)' --map 'lab(35,-20,10):lab(33,-24,6)'"
                    " --map 'lab(60,0,0):lab(60,1,3)' --map 'lab(45,10,-30):lab(45,16,-32)'"
                    " --map 'lab(75,-15,-15):lab(76,-18,-12)' --map 'lab(30,15,15):lab(30,18,12)'"
                    " --preserve-luminosity off";

struct Pair {
    fs::path folder;
    std::string quillon;

    Pair() {
        folder = fs::temp_directory_path() / ("quillon-bench-fit-" + std::to_string(getpid()));
        fs::create_directories(folder / "config");
        quillon = "cd '" + folder.string() + "' && XDG_CONFIG_HOME='" +
                  (folder / "config").string() + "' '" QUILLON_BINARY "' ";
        WriteImageFile(quillon::tools::MakeScenery(6000, 4000), FileFormat::Tiff,
                       folder / "before.tif");
        if (std::system((quillon + "apply before.tif after.tif" + kLook).c_str()) != 0)
            std::abort();
    }
    ~Pair() { fs::remove_all(folder); }
};

void FitPair(benchmark::State& state) {
    static const Pair pair;
    const std::string command =
        pair.quillon + "fit before.tif after.tif --record fit.json > /dev/null 2>&1";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("fit failed");
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    // The largest child process so far, the setup's apply included.
    state.counters["peak MB"] = double(children.ru_maxrss) / 1024;
}

} // namespace

BENCHMARK(FitPair)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK_MAIN();

// PNG writing of the 24-megapixel landscape at 8 and 16 bits: wall time, the file's size and, when
// ImageMagick's `convert` is on the PATH, the size of the PNG it writes by default for the same
// pixels (counter "magick_MB", and "vs_magick" = ours / its). Also the image data alone, filtered
// and compressed at each of zlib's levels on one and two threads, to choose the writer's level.
#include "Scenery.h"
#include "core/documents/ImageFiles.h"
#include "core/documents/PngImageData.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

using namespace quillon::filterhost;
namespace fs = std::filesystem;

const Document& Landscape(int depth) {
    static const Document shallow = quillon::tools::MakeScenery(6000, 4000);
    static const Document deep = [] {
        Document d = MakeDocument(ColorMode::RGB, 16, shallow.width, shallow.height);
        // Spread onto the 0..32768 scale with a little fine detail of its own, as a 16-bit
        // photograph has below the 8-bit steps.
        uint32_t state = 7;
        for (size_t p = 0; p < 3; ++p)
            for (size_t i = 0; i < d.planes[p].size(); ++i) {
                state = state * 1664525u + 1013904223u;
                const uint32_t v = (shallow.planes[p][i] * 32768u + 127) / 255 + (state >> 28);
                d.planes[p][i] = uint16_t(std::min<uint32_t>(v, 32768));
            }
        return d;
    }();
    return depth == 16 ? deep : shallow;
}

double MagickMegabytes(const fs::path& ours) {
    if (std::system("command -v convert > /dev/null 2>&1") != 0) return 0;
    const fs::path theirs = ours.string() + ".magick.png";
    const std::string command = "convert '" + ours.string() + "' '" + theirs.string() + "'";
    if (std::system(command.c_str()) != 0) return 0;
    const double size = double(fs::file_size(theirs)) / 1e6;
    fs::remove(theirs);
    return size;
}

// state.range(0): bits per sample.
void WritePngFile(benchmark::State& state) {
    const Document& picture = Landscape(int(state.range(0)));
    const fs::path out =
        fs::temp_directory_path() / ("quillon-bench-png-" + std::to_string(getpid()) + ".png");
    for (auto _ : state)
        WriteImageFile(picture, FileFormat::Png, out);
    const double ours = double(fs::file_size(out)) / 1e6;
    state.counters["file_MB"] = ours;
    state.counters["Mpx/s"] =
        benchmark::Counter(double(state.iterations()) * picture.width * picture.height / 1e6,
                           benchmark::Counter::kIsRate);
    if (const double theirs = MagickMegabytes(out); theirs > 0) {
        state.counters["magick_MB"] = theirs;
        state.counters["vs_magick"] = ours / theirs;
    }
    fs::remove(out);
}

// state.range(0): zlib's level; state.range(1): threads; state.range(2): bits per sample. The
// landscape's rows, 16-bit samples stretched to the file's 0..65535.
void CompressRows(benchmark::State& state) {
    const int bits = int(state.range(2));
    const Document& picture = Landscape(bits);
    const size_t pixelBytes = size_t(bits / 8) * 3;
    const StoredRow stored = [&picture, bits](int32_t y, uint8_t* row) {
        const size_t from = size_t(y) * size_t(picture.width);
        for (size_t x = 0; x < size_t(picture.width); ++x)
            for (size_t c = 0; c < 3; ++c) {
                const uint16_t v = picture.planes[c][from + x];
                if (bits == 8) {
                    row[3 * x + c] = uint8_t(v);
                } else {
                    const uint16_t wide = uint16_t(std::min(2 * uint32_t(v), 65535u));
                    row[6 * x + 2 * c] = uint8_t(wide >> 8);
                    row[6 * x + 2 * c + 1] = uint8_t(wide);
                }
            }
    };
    const ImageDataShape shape{picture.height, size_t(picture.width) * pixelBytes, pixelBytes};
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        CompressImageData(
            shape, stored, [&bytes](const uint8_t*, size_t count) { bytes += count; }, {},
            int(state.range(0)), unsigned(state.range(1)));
    }
    state.counters["data_MB"] = double(bytes) / 1e6;
}

} // namespace

BENCHMARK(CompressRows)
    ->ArgsProduct({{1, 2, 3, 4, 5, 6, 7, 9}, {1, 2}, {8}})
    ->ArgsProduct({{1, 2, 3, 6}, {2}, {16}})
    ->ArgNames({"level", "threads", "bits"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(WritePngFile)
    ->Arg(8)
    ->Arg(16)
    ->ArgName("bits")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_MAIN();

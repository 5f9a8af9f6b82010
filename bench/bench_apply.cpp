// quillon apply end to end on a 24-megapixel 8-bit RGB TIFF with ten adjustments: read, filter
// through the real plug-in, write. Also the same pixels through the colour conversions alone and
// through the engine alone, to show where the time goes.
#include "core/documents/ImageFiles.h"
#include "core/session/FilterSession.h"
#include "core/suites/ColorServices.h"
#include "engine/ColorEngine.h"
#include "filter/ColorsText.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace {

using namespace quillon::filterhost;
namespace fs = std::filesystem;

constexpr int32_t kWidth = 6000, kHeight = 4000; // 24 megapixels
constexpr int32_t kRowPixels = 3000;             // divides the width

// Smooth gradients with texture, like a photograph rather than flat colour or noise.
Document PhotoLike() {
    Document d = MakeDocument(ColorMode::RGB, 8, kWidth, kHeight);
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
            const double u = double(x) / kWidth, v = double(y) / kHeight;
            const double texture = 12 * std::sin(x * 0.37) * std::cos(y * 0.23);
            d.At(0, x, y) = uint16_t(std::clamp(40 + 180 * u + texture, 0.0, 255.0));
            d.At(1, x, y) = uint16_t(std::clamp(60 + 150 * v * (1 - u) + texture, 0.0, 255.0));
            d.At(2, x, y) =
                uint16_t(std::clamp(200 - 150 * v + 30 * std::sin(u * 9) + texture, 0.0, 255.0));
        }
    return d;
}

// Ten adjustments spread over the picture's colours.
std::string TenAdjustments() {
    std::string colors;
    for (int i = 0; i < 10; ++i) {
        const int L = 9000 + 2000 * i, a = 12000 + 900 * i, b = 20000 - 700 * i;
        colors += "Lab[" + std::to_string(L) + "," + std::to_string(a) + "," + std::to_string(b) +
                  "]:Lab[" + std::to_string(L + 800) + "," + std::to_string(a + 1500) + "," +
                  std::to_string(b - 1500) + "] ";
    }
    return colors;
}

// Keyed as the module's terminology declares its parameters.
Descriptor TenAdjustmentsPlayback(const PluginModule& module) {
    const auto parameters = module.Parameters();
    auto key = [&parameters](const std::string& name) {
        for (const TerminologyParameter& p : parameters)
            if (p.name == name) return p.key;
        return DescriptorKeyID(0);
    };
    Descriptor playback;
    playback.Put({key("Preserve Luminosity"), typeBoolean, false});
    playback.Put({key("Fuzziness"), typeFloat, 5.0});
    playback.Put({key("Colors"), typeChar, TenAdjustments()});
    return playback;
}

// Every benchmark handles the whole picture once per iteration.
void CountMegapixels(benchmark::State& state) {
    state.counters["Mpx/s"] = benchmark::Counter(
        double(state.iterations()) * kWidth * kHeight / 1e6, benchmark::Counter::kIsRate);
}

fs::path PictureFile() {
    static const fs::path file = [] {
        const fs::path f =
            fs::temp_directory_path() / ("quillon-bench-" + std::to_string(getpid()) + ".tif");
        WriteImageFile(PhotoLike(), FileFormat::Tiff, f);
        return f;
    }();
    return file;
}

void ApplyEndToEnd(benchmark::State& state) {
    const fs::path in = PictureFile();
    const fs::path out =
        fs::temp_directory_path() / ("quillon-bench-out-" + std::to_string(getpid()) + ".tif");
    FilterSession host;
    PluginModule module(QUILLON_MODULE_DIR "/Quillon.8bf");
    RunOptions options;
    options.playback = TenAdjustmentsPlayback(module);
    for (auto _ : state) {
        LoadedImage image = ReadImageFile(in);
        RunReport report = host.Run(module, image.document, options);
        if (report.result != 0) state.SkipWithError("the filter failed");
        WriteImageFile(image.document, image.format, out);
    }
    fs::remove(out);
    CountMegapixels(state);
}

// The three phases of the end-to-end run on their own.
void ReadOnly(benchmark::State& state) {
    const fs::path in = PictureFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadImageFile(in));
    CountMegapixels(state);
}

void FilterOnly(benchmark::State& state) {
    const LoadedImage original = ReadImageFile(PictureFile());
    FilterSession host;
    PluginModule module(QUILLON_MODULE_DIR "/Quillon.8bf");
    RunOptions options;
    options.playback = TenAdjustmentsPlayback(module);
    for (auto _ : state) {
        state.PauseTiming();
        Document document = original.document;
        state.ResumeTiming();
        if (host.Run(module, document, options).result != 0)
            state.SkipWithError("the filter failed");
    }
    CountMegapixels(state);
}

void WriteOnly(benchmark::State& state) {
    const LoadedImage image = ReadImageFile(PictureFile());
    const fs::path out =
        fs::temp_directory_path() / ("quillon-bench-out-" + std::to_string(getpid()) + ".tif");
    for (auto _ : state)
        WriteImageFile(image.document, image.format, out);
    fs::remove(out);
    CountMegapixels(state);
}

// The two conversions the pass makes per row, on the same pixels.
void ConversionsOnly(benchmark::State& state) {
    const Document picture = PhotoLike();
    ColorServices services;
    std::vector<Color8> row(kRowPixels);
    for (auto _ : state) {
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x0 = 0; x0 < kWidth; x0 += kRowPixels) {
                for (int32_t i = 0; i < kRowPixels; ++i)
                    row[size_t(i)] = {0, uint8(picture.At(0, x0 + i, y)),
                                      uint8(picture.At(1, x0 + i, y)),
                                      uint8(picture.At(2, x0 + i, y))};
                services.Convert8(plugIncolorServicesRGBSpace, plugIncolorServicesLabSpace,
                                  row.data(), kRowPixels);
                services.Convert8(plugIncolorServicesLabSpace, plugIncolorServicesRGBSpace,
                                  row.data(), kRowPixels);
            }
        benchmark::DoNotOptimize(row.data());
    }
    CountMegapixels(state);
}

void EngineOnly(benchmark::State& state) {
    const Document picture = PhotoLike();
    ColorServices services;
    auto engine = std::make_unique<quillon::engine::ColorEngine>();
    engine->Reset();
    engine->SetPreserveLuminosity(false);
    engine->SetFuzziness(0.44444445f);
    quillon::filter::ParseColors(*engine, TenAdjustments());
    engine->Rebuild();
    // The engine sees the pixels as the pass hands them over: already in Lab.
    std::vector<Color8> lab(size_t(kWidth) * kHeight);
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x)
            lab[size_t(y) * kWidth + size_t(x)] = {0, uint8(picture.At(0, x, y)),
                                                   uint8(picture.At(1, x, y)),
                                                   uint8(picture.At(2, x, y))};
    services.Convert8(plugIncolorServicesRGBSpace, plugIncolorServicesLabSpace, lab.data(),
                      int(lab.size()));
    std::vector<quillon::engine::ColorRecord8> row(kRowPixels);
    for (auto _ : state) {
        for (size_t at = 0; at < lab.size(); at += kRowPixels) {
            std::memcpy(row.data(), &lab[at], kRowPixels * sizeof(Color8));
            engine->Transform8(row.data(), kRowPixels);
        }
        benchmark::DoNotOptimize(row.data());
    }
    CountMegapixels(state);
}

BENCHMARK(ApplyEndToEnd)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(ReadOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(FilterOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(WriteOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ConversionsOnly)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(EngineOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::error_code ignored;
    fs::remove(PictureFile(), ignored);
    return 0;
}

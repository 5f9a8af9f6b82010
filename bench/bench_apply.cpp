// quillon apply end to end on a 24-megapixel 8-bit RGB TIFF with 10 and 30 adjustments: read,
// filter through the real plug-in, write (with and without compressing finished rows during the
// pass), and writing alone on one and two threads. The filtering pass alone at 8 and 16 bits, and
// as the yardstick a plain tetrahedral 33^3 LUT, baked from the same transformation, applied to the
// same pixels by a loop of ours. Also the same pixels through the colour conversions alone and
// through the engine alone, to show where the time goes.
//
// The picture is synthetic: smooth gradients with texture, about as many distinct colours per
// pixel as a photograph (the counter "distinct" gives the number).
#include "core/documents/ImageFiles.h"
#include "core/documents/StripEncoder.h"
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

// `count` adjustments spread over the picture's colours; the first ten are the same whatever
// the count.
std::string Adjustments(int count) {
    std::string colors;
    for (int i = 0; i < count; ++i) {
        const int k = i % 10, round = i / 10;
        const int L = 9000 + 2000 * k + 700 * round, a = 12000 + 900 * k - 1100 * round,
                  b = 20000 - 700 * k + 1300 * round;
        colors += "Lab[" + std::to_string(L) + "," + std::to_string(a) + "," + std::to_string(b) +
                  "]:Lab[" + std::to_string(L + 800) + "," + std::to_string(a + 1500) + "," +
                  std::to_string(b - 1500) + "] ";
    }
    return colors;
}

// Keyed as the module's terminology declares its parameters.
Descriptor Playback(const PluginModule& module, int adjustments) {
    const auto parameters = module.Parameters();
    auto key = [&parameters](const std::string& name) {
        for (const TerminologyParameter& p : parameters)
            if (p.name == name) return p.key;
        return DescriptorKeyID(0);
    };
    Descriptor playback;
    playback.Put({key("Preserve Luminosity"), typeBoolean, false});
    playback.Put({key("Fuzziness"), typeFloat, 5.0});
    playback.Put({key("Colors"), typeChar, Adjustments(adjustments)});
    return playback;
}

// The picture at 16 bits: the same colours on the 0..32768 scale.
Document Deep(const Document& shallow) {
    Document d = MakeDocument(ColorMode::RGB, 16, shallow.width, shallow.height);
    for (size_t p = 0; p < 3; ++p)
        for (size_t i = 0; i < d.planes[p].size(); ++i)
            d.planes[p][i] = uint16_t((shallow.planes[p][i] * 32768 + 127) / 255);
    return d;
}

const Document& Picture(int depth) {
    static const Document shallow = PhotoLike();
    static const Document deep = Deep(shallow);
    return depth == 16 ? deep : shallow;
}

size_t DistinctColors(const Document& d) {
    std::vector<uint64_t> seen((size_t{1} << 24) / 64);
    size_t distinct = 0;
    for (size_t i = 0; i < d.planes[0].size(); ++i) {
        const uint32_t key = uint32_t(d.planes[0][i]) << 16 | d.planes[1][i] << 8 | d.planes[2][i];
        uint64_t& word = seen[key >> 6];
        const uint64_t bit = uint64_t{1} << (key & 63);
        distinct += (word & bit) == 0;
        word |= bit;
    }
    return distinct;
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
        WriteImageFile(Picture(8), FileFormat::Tiff, f);
        return f;
    }();
    return file;
}

// state.range(0): adjustments; state.range(1): 1 to compress the strips of finished rows while
// the filter goes on, as quillon apply does, 0 to compress them all once it is done.
void ApplyEndToEnd(benchmark::State& state) {
    const fs::path in = PictureFile();
    const fs::path out =
        fs::temp_directory_path() / ("quillon-bench-out-" + std::to_string(getpid()) + ".tif");
    FilterSession host;
    PluginModule module(QUILLON_MODULE_DIR "/Quillon.8bf");
    RunOptions options;
    options.playback = Playback(module, int(state.range(0)));
    for (auto _ : state) {
        LoadedImage image = ReadImageFile(in);
        StripEncoder ahead(image.document);
        if (state.range(1)) options.rowsFinal = [&ahead](int32_t rows) { ahead.RowsFinal(rows); };
        RunReport report = host.Run(module, image.document, options);
        if (report.result != 0) state.SkipWithError("the filter failed");
        WriteImageFile({&image.document}, image.format, out, {}, {&ahead});
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

// The filtering pass alone through the real plug-in and host (tiles handed out and written
// back included). state.range(0): bits per sample; state.range(1): adjustments.
void FilterPass(benchmark::State& state) {
    const Document& original = Picture(int(state.range(0)));
    FilterSession host;
    PluginModule module(QUILLON_MODULE_DIR "/Quillon.8bf");
    RunOptions options;
    options.playback = Playback(module, int(state.range(1)));
    // Copied into the same storage before each run, so that neither allocating nor freeing the
    // picture is timed.
    Document document = original;
    for (auto _ : state) {
        state.PauseTiming();
        document = original;
        state.ResumeTiming();
        if (host.Run(module, document, options).result != 0)
            state.SkipWithError("the filter failed");
    }
    CountMegapixels(state);
    state.counters["distinct"] = double(DistinctColors(Picture(8)));
}

// A 33^3 RGB LUT baked from the transformation with 30 adjustments: the grid's colours through
// the plug-in at 16 bits, entries as floats 0..1.
std::vector<float> BakeLut() {
    constexpr int32_t n = 33;
    Document grid = MakeDocument(ColorMode::RGB, 16, n * n, n);
    for (int32_t r = 0; r < n; ++r)
        for (int32_t g = 0; g < n; ++g)
            for (int32_t b = 0; b < n; ++b) {
                const int32_t x = g * n + b;
                grid.At(0, x, r) = uint16_t(r * 32768 / (n - 1));
                grid.At(1, x, r) = uint16_t(g * 32768 / (n - 1));
                grid.At(2, x, r) = uint16_t(b * 32768 / (n - 1));
            }
    FilterSession host;
    PluginModule module(QUILLON_MODULE_DIR "/Quillon.8bf");
    RunOptions options;
    options.playback = Playback(module, 30);
    host.Run(module, grid, options);
    std::vector<float> lut(size_t(n) * n * n * 3);
    for (int32_t r = 0; r < n; ++r)
        for (int32_t x = 0; x < n * n; ++x)
            for (int c = 0; c < 3; ++c)
                lut[(size_t(r) * n * n + size_t(x)) * 3 + size_t(c)] = grid.At(c, x, r) / 32768.0f;
    return lut;
}

// Tetrahedral interpolation in a 33^3 LUT of interleaved 8-bit RGB, in place: the classic
// six-tetrahedra split of each cell, as LUT filters apply baked looks.
void ApplyLut(const std::vector<float>& lut, uint8_t* pixels, size_t count) {
    constexpr int n = 33;
    constexpr float scale = (n - 1) / 255.0f;
    auto at = [&](int r, int g, int b) { return &lut[((size_t(r) * n + g) * n + b) * 3]; };
    for (size_t i = 0; i < count; ++i) {
        uint8_t* p = pixels + 3 * i;
        const float fr = p[0] * scale, fg = p[1] * scale, fb = p[2] * scale;
        const int r0 = std::min(int(fr), n - 2), g0 = std::min(int(fg), n - 2),
                  b0 = std::min(int(fb), n - 2);
        const float dr = fr - r0, dg = fg - g0, db = fb - b0;
        const float* c000 = at(r0, g0, b0);
        const float* c111 = at(r0 + 1, g0 + 1, b0 + 1);
        float out[3];
        auto blend = [&](const float* a, const float* b, float wa, float wb, float w0, float w1) {
            for (int k = 0; k < 3; ++k)
                out[k] = w0 * c000[k] + wa * a[k] + wb * b[k] + w1 * c111[k];
        };
        if (dr > dg) {
            if (dg > db)
                blend(at(r0 + 1, g0, b0), at(r0 + 1, g0 + 1, b0), dr - dg, dg - db, 1 - dr, db);
            else if (dr > db)
                blend(at(r0 + 1, g0, b0), at(r0 + 1, g0, b0 + 1), dr - db, db - dg, 1 - dr, dg);
            else
                blend(at(r0, g0, b0 + 1), at(r0 + 1, g0, b0 + 1), db - dr, dr - dg, 1 - db, dg);
        } else {
            if (db > dg)
                blend(at(r0, g0, b0 + 1), at(r0, g0 + 1, b0 + 1), db - dg, dg - dr, 1 - db, dr);
            else if (db > dr)
                blend(at(r0, g0 + 1, b0), at(r0, g0 + 1, b0 + 1), dg - db, db - dr, 1 - dg, dr);
            else
                blend(at(r0, g0 + 1, b0), at(r0 + 1, g0 + 1, b0), dg - dr, dr - db, 1 - dg, db);
        }
        for (int k = 0; k < 3; ++k)
            p[k] = uint8_t(std::clamp(out[k] * 255.0f + 0.5f, 0.0f, 255.0f));
    }
}

void LutLoop(benchmark::State& state) {
    const std::vector<float> lut = BakeLut();
    const Document& picture = Picture(8);
    std::vector<uint8_t> original(size_t(kWidth) * kHeight * 3);
    for (size_t i = 0; i < picture.planes[0].size(); ++i)
        for (size_t c = 0; c < 3; ++c)
            original[3 * i + c] = uint8_t(picture.planes[c][i]);
    std::vector<uint8_t> pixels;
    for (auto _ : state) {
        state.PauseTiming();
        pixels = original;
        state.ResumeTiming();
        ApplyLut(lut, pixels.data(), pixels.size() / 3);
        benchmark::DoNotOptimize(pixels.data());
    }
    CountMegapixels(state);
}

// state.range(0): threads compressing strips.
void WriteOnly(benchmark::State& state) {
    const LoadedImage image = ReadImageFile(PictureFile());
    const fs::path out =
        fs::temp_directory_path() / ("quillon-bench-out-" + std::to_string(getpid()) + ".tif");
    for (auto _ : state) {
        StripEncoder strips(image.document, unsigned(state.range(0)));
        WriteImageFile({&image.document}, image.format, out, {}, {&strips});
    }
    fs::remove(out);
    CountMegapixels(state);
}

// The two conversions the pass makes per row, on the same pixels.
void ConversionsOnly(benchmark::State& state) {
    const Document& picture = Picture(8);
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
    const Document& picture = Picture(8);
    ColorServices services;
    auto engine = std::make_unique<quillon::engine::ColorEngine>();
    engine->Reset();
    engine->SetPreserveLuminosity(false);
    engine->SetFuzziness(0.44444445f);
    quillon::filter::ParseColors(*engine, Adjustments(10));
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

BENCHMARK(ApplyEndToEnd)
    ->ArgsProduct({{10, 30}, {0, 1}})
    ->ArgNames({"adjustments", "overlap"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(ReadOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(FilterPass)
    ->ArgsProduct({{8, 16}, {10, 30}})
    ->ArgNames({"bits", "adjustments"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(LutLoop)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(WriteOnly)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("threads")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(ConversionsOnly)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(EngineOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    // bench_apply --write-picture FILE.tif writes the picture alone, for timing whole runs of
    // quillon apply from outside.
    if (argc == 3 && std::string(argv[1]) == "--write-picture") {
        WriteImageFile(Picture(8), FileFormat::Tiff, argv[2]);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::error_code ignored;
    fs::remove(PictureFile(), ignored);
    return 0;
}

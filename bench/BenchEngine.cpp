// Throughput of the colour engine on a photo-like picture, and the cost of a rebuild.

#include "engine/ColorEngine.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

using quillon::engine::ColorEngine;
using quillon::engine::ColorRecord16;
using quillon::engine::ColorRecord8;
using quillon::engine::StoredAdjustment;

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

uint32_t Hash(uint32_t x, uint32_t y, uint32_t channel) {
    uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ channel * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

// Value noise in -1..1 with features about `scale` pixels wide: the texture of foliage, fabric
// or skin rather than a flat area.
double ValueNoise(int x, int y, int scale, uint32_t channel) {
    const int cx = x / scale, cy = y / scale;
    const double fx = double(x % scale) / scale, fy = double(y % scale) / scale;
    auto corner = [&](int i, int j) {
        return double(Hash(uint32_t(cx + i), uint32_t(cy + j), channel) % 2001) / 1000 - 1;
    };
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double top = corner(0, 0) + (corner(1, 0) - corner(0, 0)) * sx;
    const double bottom = corner(0, 1) + (corner(1, 1) - corner(0, 1)) * sx;
    return top + (bottom - top) * sy;
}

// An 8-bit Lab picture: smooth lighting and colour gradients, a soft shape, texture at two
// scales and a level of sensor grain.
const std::vector<ColorRecord8>& PhotoLike() {
    static const std::vector<ColorRecord8> image = [] {
        std::vector<ColorRecord8> img(size_t(kWidth) * kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const double u = double(x) / kWidth, v = double(y) / kHeight;
                const double blob = std::exp(-((u - 0.6) * (u - 0.6) + (v - 0.4) * (v - 0.4)) * 12);
                double c[3] = {60 + 120 * v + 50 * std::sin(u * 7.1) * std::cos(v * 5.3) +
                                   30 * blob,
                               128 + 35 * std::sin((u + v) * 4.2) - 25 * blob,
                               128 + 40 * std::cos(u * 3.7 - v * 6.1) + 30 * blob};
                uint8_t out[3];
                for (uint32_t k = 0; k < 3; ++k) {
                    const double amplitude = k == 0 ? 10 : 5;
                    const double texture = amplitude * (0.6 * ValueNoise(x, y, 24, k) +
                                                        0.4 * ValueNoise(x, y, 5, k + 3));
                    const double grain = double(Hash(uint32_t(x), uint32_t(y), k + 6) % 3) - 1;
                    const double value = c[k] + texture + grain;
                    out[k] = uint8_t(value < 0 ? 0 : value > 255 ? 255 : value);
                }
                img[size_t(y) * kWidth + x] = {0, out[0], out[1], out[2]};
            }
        return img;
    }();
    return image;
}

// Adjustments on colours of the picture, each moved by a few thousand units.
void LoadAdjustments(ColorEngine& engine, int count) {
    const auto& img = PhotoLike();
    uint32_t state = 12345;
    auto next = [&](uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    for (int i = 0; i < count; ++i) {
        const ColorRecord8& c = img[next(uint32_t(img.size()))];
        StoredAdjustment s;
        s.original[0] = c.c1 * 128;
        s.original[1] = c.c2 * 128;
        s.original[2] = c.c3 * 128;
        for (int k = 0; k < 3; ++k) {
            const int32_t moved = s.original[k] + int32_t(next(8001)) - 4000;
            s.target[k] = moved < 0 ? 0 : moved > 32768 ? 32768 : moved;
        }
        engine.LoadAdjustment(s);
    }
}

std::unique_ptr<ColorEngine> MakeEngine(int adjustments, bool chromaOnly, double userFuzziness) {
    auto engine = std::make_unique<ColorEngine>();
    engine->Reset();
    engine->SetPreserveLuminosity(chromaOnly);
    engine->SetFuzziness(float((userFuzziness - 1) * 0.1111111111111111));
    LoadAdjustments(*engine, adjustments);
    engine->Rebuild();
    return engine;
}

void SetCounters(benchmark::State& state, const ColorEngine& engine, size_t pixels) {
    state.counters["MP/s"] =
        benchmark::Counter(double(pixels) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["points"] = engine.PointCount();
    state.counters["simplices"] =
        engine.PreserveLuminosity() ? engine.TriangleCount() : engine.TetrahedronCount();
}

// Arguments: adjustments, chroma-only; fuzziness 5 on the user scale.
void BM_Transform8(benchmark::State& state) {
    auto engine = MakeEngine(int(state.range(0)), state.range(1) != 0, 5);
    const auto& img = PhotoLike();
    std::vector<ColorRecord8> work(img.size());
    for (auto _ : state) {
        state.PauseTiming();
        work = img;
        state.ResumeTiming();
        engine->Transform8(work.data(), int32_t(work.size()));
        benchmark::DoNotOptimize(work.data());
    }
    SetCounters(state, *engine, img.size());
}

void BM_Transform16(benchmark::State& state) {
    auto engine = MakeEngine(int(state.range(0)), state.range(1) != 0, 5);
    const auto& img = PhotoLike();
    std::vector<ColorRecord16> source(img.size()), work(img.size());
    for (size_t i = 0; i < img.size(); ++i)
        source[i] = {0, uint16_t(img[i].c1 * 128 + img[i].c2 % 97), uint16_t(img[i].c2 * 128),
                     uint16_t(img[i].c3 * 128 + img[i].c1 % 89)};
    for (auto _ : state) {
        state.PauseTiming();
        work = source;
        state.ResumeTiming();
        engine->Transform16(work.data(), int32_t(work.size()));
        benchmark::DoNotOptimize(work.data());
    }
    SetCounters(state, *engine, img.size());
}

// Arguments: adjustments, fuzziness on the user scale, chroma-only.
void BM_Rebuild(benchmark::State& state) {
    auto engine = MakeEngine(int(state.range(0)), state.range(2) != 0, double(state.range(1)));
    for (auto _ : state)
        engine->Rebuild();
    state.counters["points"] = engine->PointCount();
    state.counters["simplices"] =
        engine->PreserveLuminosity() ? engine->TriangleCount() : engine->TetrahedronCount();
}

// An edit in the dialog: a change of fuzziness with 30 adjustments rebuilds the mesh, then a
// 1200 x 800 preview (already in Lab; the host's conversions are not counted) is transformed.
void BM_EditFuzziness(benchmark::State& state) {
    auto engine = MakeEngine(30, false, 5);
    const auto& img = PhotoLike();
    std::vector<ColorRecord8> preview(1200 * 800), work(preview.size());
    for (size_t i = 0; i < preview.size(); ++i)
        preview[i] = img[i % img.size()];
    bool low = false;
    for (auto _ : state) {
        low = !low;
        engine->SetFuzziness(low ? 4.0f / 9 : 5.0f / 9);
        work = preview;
        engine->Transform8(work.data(), int32_t(work.size()));
        benchmark::DoNotOptimize(work.data());
    }
}

BENCHMARK(BM_EditFuzziness)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Transform8)
    ->ArgNames({"adjustments", "chroma"})
    ->ArgsProduct({{1, 10, 30}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Transform16)
    ->ArgNames({"adjustments", "chroma"})
    ->ArgsProduct({{1, 10, 30}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rebuild)
    ->ArgNames({"adjustments", "fuzziness", "chroma"})
    ->ArgsProduct({{1, 10, 30, 100}, {1, 5, 10}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

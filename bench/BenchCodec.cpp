// Decode time of 24-megapixel pictures in the formats samples usually come in, and the
// resampler's throughput. The files are made here by the tests' generators.
#include "Fixtures.h"

#include "codec/ImageCodec.h"

#include <benchmark/benchmark.h>

#include <stdexcept>

namespace {

using namespace quillon::codec;
using namespace quillon::codec::fixtures;

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

const Picture& Photo() {
    static const Picture picture = [] {
        Picture p = Pattern(kWidth, kHeight);
        // Some texture, so that the compressed formats have work to do.
        uint32_t state = 1;
        for (uint8_t& v : p.rgb) {
            state = state * 1664525u + 1013904223u;
            v = uint8_t(v + (state >> 29));
        }
        return p;
    }();
    return picture;
}

void DecodeFile(benchmark::State& state, const Bytes& file) {
    for (auto _ : state) {
        ImageSource* source = SourceFromMemory(file.data(), file.size());
        int32_t w = 0, h = 0;
        uint8_t* pixels = DecodeImage(source, &w, &h);
        if (pixels == nullptr) throw std::runtime_error("decode failed");
        benchmark::DoNotOptimize(pixels);
        ReleaseRgbImage(pixels);
        CloseImageSource(source);
    }
    state.counters["MPixel/s"] = benchmark::Counter(
        double(kWidth) * kHeight / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["file_MB"] = double(file.size()) / 1e6;
}

void BM_DecodeJpeg(benchmark::State& state) {
    static const Bytes file = MakeJpeg(Photo(), false, false, 90);
    DecodeFile(state, file);
}
void BM_DecodePng(benchmark::State& state) {
    static const Bytes file = MakePng(Photo(), 2, 8, false);
    DecodeFile(state, file);
}
void BM_DecodeTiffLzw16(benchmark::State& state) {
    static const Bytes file = MakeTiff(Photo(), 5, 16, 3, false);
    DecodeFile(state, file);
}
void BM_DecodePsdRle(benchmark::State& state) {
    static const Bytes file = MakePsd({kWidth, kHeight, 3, 8, true, Planes(Photo()), {}, {}});
    DecodeFile(state, file);
}
void BM_DecodePsdRaw(benchmark::State& state) {
    static const Bytes file = MakePsd({kWidth, kHeight, 3, 8, false, Planes(Photo()), {}, {}});
    DecodeFile(state, file);
}

// Scales the top-left part of the photo (source width x height) to the destination size, as the
// sample pane does at each zoom level.
void BM_Resample(benchmark::State& state) {
    const Picture& p = Photo();
    const int sw = int(state.range(0)), sh = int(state.range(1));
    const int dw = int(state.range(2)), dh = int(state.range(3));
    Bytes out(size_t(dw) * dh * 3);
    for (auto _ : state) {
        if (!ResampleImage(p.rgb.data(), sw, sh, p.width * 3, out.data(), dw, dh, dw * 3, 3,
                           kResampleNearest, 0)) {
            throw std::runtime_error("resample failed");
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["MPixel/s"] = benchmark::Counter(
        double(dw) * dh / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeTiffLzw16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePsdRle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePsdRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Resample)
    ->Args({kWidth, kHeight, 1500, 1000})
    ->Args({kWidth, kHeight, 800, 533})
    ->Args({400, 300, 1600, 1200})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

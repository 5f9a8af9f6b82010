// Rows per second through the host's colour-space suite, the way the filtering pass calls it.
#include "core/suites/ColorServices.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using quillon::filterhost::ColorServices;

constexpr int kRowWidth = 4000;

std::vector<Color16> PhotoRow() {
    std::vector<Color16> row(kRowWidth);
    for (int i = 0; i < kRowWidth; ++i)
        row[size_t(i)] = {0, uint16(128 * ((i * 7) % 256)), uint16(128 * ((i * 3 + 40) % 256)),
                          uint16(128 * ((i * 5 + 90) % 256))};
    return row;
}

void Rgb16ToLab(benchmark::State& state) {
    ColorServices services;
    const auto source = PhotoRow();
    auto row = source;
    for (auto _ : state) {
        row = source;
        services.Convert16(plugIncolorServicesRGBSpace, plugIncolorServicesLabSpace, row.data(),
                           kRowWidth);
        benchmark::DoNotOptimize(row.data());
    }
    state.counters["rows/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["Mpx/s"] = benchmark::Counter(double(state.iterations()) * kRowWidth / 1e6,
                                                 benchmark::Counter::kIsRate);
}

void LabToRgb16(benchmark::State& state) {
    ColorServices services;
    auto source = PhotoRow();
    services.Convert16(plugIncolorServicesRGBSpace, plugIncolorServicesLabSpace, source.data(),
                       kRowWidth);
    auto row = source;
    for (auto _ : state) {
        row = source;
        services.Convert16(plugIncolorServicesLabSpace, plugIncolorServicesRGBSpace, row.data(),
                           kRowWidth);
        benchmark::DoNotOptimize(row.data());
    }
    state.counters["rows/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["Mpx/s"] = benchmark::Counter(double(state.iterations()) * kRowWidth / 1e6,
                                                 benchmark::Counter::kIsRate);
}

void Rgb8ToLab8AndBack(benchmark::State& state) {
    ColorServices services;
    std::vector<Color8> source(kRowWidth);
    for (int i = 0; i < kRowWidth; ++i)
        source[size_t(i)] = {0, uint8((i * 7) % 256), uint8((i * 3 + 40) % 256),
                             uint8((i * 5 + 90) % 256)};
    auto row = source;
    for (auto _ : state) {
        row = source;
        services.Convert8(plugIncolorServicesRGBSpace, plugIncolorServicesLabSpace, row.data(),
                          kRowWidth);
        services.Convert8(plugIncolorServicesLabSpace, plugIncolorServicesRGBSpace, row.data(),
                          kRowWidth);
        benchmark::DoNotOptimize(row.data());
    }
    state.counters["rows/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["Mpx/s"] = benchmark::Counter(double(state.iterations()) * kRowWidth / 1e6,
                                                 benchmark::Counter::kIsRate);
}

BENCHMARK(Rgb16ToLab);
BENCHMARK(LabToRgb16);
BENCHMARK(Rgb8ToLab8AndBack);

} // namespace

BENCHMARK_MAIN();

#include "core/looks/LookSamples.h"

#include "core/HostFailure.h"
#include "core/suites/ColorServices.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

namespace quillon::filterhost {
namespace {

// The colour services convert at most this many records per call (their count is 16-bit).
constexpr size_t kConversionChunk = 16384;

} // namespace

double DeltaE00(const LabColor& x, const LabColor& y) {
    const cmsCIELab p{x.L, x.a, x.b}, q{y.L, y.a, y.b};
    return cmsCIE2000DeltaE(&p, &q, 1, 1, 1);
}

LabColor ToLab(HostLab host) {
    return {host.L * 100.0 / 32768.0, (host.a - 16384) / 128.0, (host.b - 16384) / 128.0};
}

HostLab ToHostLab(const LabColor& lab) {
    auto level = [](double v) { return uint16_t(std::clamp(std::lround(v), 0L, 32768L)); };
    return {level(lab.L * 32768.0 / 100.0), level(16384 + lab.a * 128.0),
            level(16384 + lab.b * 128.0)};
}

ColorFrame::ColorFrame(const Document& like)
    : mode_(like.mode), depth_(like.depth), profile_(like.iccProfile) {}

std::vector<Color16> ColorFrame::Sample(const Document& d, size_t limit) const {
    const size_t pixels = size_t(d.width) * size_t(d.height);
    const size_t count = std::min(pixels, limit);
    std::vector<Color16> records(count);
    const bool cmyk = d.mode == ColorMode::CMYK;
    auto sample = [&](int plane, size_t i) {
        const uint16_t v = d.planes[size_t(plane)][i];
        return d.depth == 16 ? v : EightToHost16(uint8_t(v));
    };
    for (size_t k = 0; k < count; ++k) {
        // Evenly spread indices, computed without overflow for any picture the host holds.
        const size_t i = size_t((unsigned __int128)k * pixels / count);
        if (cmyk)
            records[k] = {sample(0, i), sample(1, i), sample(2, i), sample(3, i)};
        else
            records[k] = {0, sample(0, i), sample(1, i), sample(2, i)};
    }
    return records;
}

Document ColorFrame::Swatches(const std::vector<Color16>& records) const {
    constexpr size_t kWidth = 256;
    const size_t width = std::clamp<size_t>(records.size(), 1, kWidth);
    const size_t height = std::max<size_t>(1, (records.size() + width - 1) / width);
    Document d = MakeDocument(mode_, depth_, int32_t(width), int32_t(height));
    d.iccProfile = profile_;
    const bool cmyk = mode_ == ColorMode::CMYK;
    for (size_t i = 0; i < width * height; ++i) {
        // The last row is filled with the last colour, which adds nothing new.
        const Color16 r = records.empty() ? Color16{} : records[std::min(i, records.size() - 1)];
        const uint16_t c[4] = {r.c0, r.c1, r.c2, r.c3};
        for (int p = 0; p < (cmyk ? 4 : 3); ++p) {
            const uint16_t v = c[cmyk ? p : p + 1];
            d.planes[size_t(p)][i] =
                depth_ == 16 ? v : uint16_t((std::min<uint32_t>(v, 32768) * 255 + 16384) / 32768);
        }
    }
    return d;
}

std::vector<Color16> ColorFrame::Records(const Document& d, size_t n) const {
    if (size_t(d.width) * size_t(d.height) < n || d.depth != depth_ || d.mode != mode_)
        throw HostFailure("the filter gave back a document of another size or mode");
    auto sample = [&](int plane, size_t i) {
        const uint16_t v = d.planes[size_t(plane)][i];
        return d.depth == 16 ? v : EightToHost16(uint8_t(v));
    };
    std::vector<Color16> records(n);
    for (size_t i = 0; i < n; ++i)
        records[i] = d.mode == ColorMode::CMYK
                         ? Color16{sample(0, i), sample(1, i), sample(2, i), sample(3, i)}
                         : Color16{0, sample(0, i), sample(1, i), sample(2, i)};
    return records;
}

std::vector<LabColor> ColorFrame::Lab(std::vector<Color16> records) const {
    const ColorSpace space = ColorSpaceOf(mode_);
    if (space != plugIncolorServicesLabSpace) {
        ColorServices services(mode_ == ColorMode::RGB ? std::span<const uint8_t>(profile_)
                                                       : std::span<const uint8_t>(),
                               mode_ == ColorMode::CMYK ? std::span<const uint8_t>(profile_)
                                                        : std::span<const uint8_t>());
        for (size_t at = 0; at < records.size(); at += kConversionChunk)
            services.Convert16(space, plugIncolorServicesLabSpace, records.data() + at,
                               int(std::min(kConversionChunk, records.size() - at)));
    }
    std::vector<LabColor> lab(records.size());
    for (size_t i = 0; i < records.size(); ++i)
        lab[i] = ToLab({records[i].c1, records[i].c2, records[i].c3});
    return lab;
}

Palette MergeColors(const std::vector<Color16>& records, const std::vector<LabColor>& lab,
                    const std::vector<LabColor>& after, double step) {
    struct Cell {
        uint64_t c[4] = {0, 0, 0, 0};
        LabColor lab, after;
        double count = 0;
    };
    std::vector<Cell> cells;
    std::unordered_map<uint64_t, size_t> index;
    for (size_t i = 0; i < records.size(); ++i) {
        auto bin = [&](double v, double offset) {
            return uint64_t(std::lround(v / step + offset));
        };
        // L* 0..100 and a*, b* within ±200 give bins well inside 21 bits each.
        const uint64_t key =
            bin(lab[i].L, 0) << 42 | bin(lab[i].a, 1 << 20) << 21 | bin(lab[i].b, 1 << 20);
        const auto [it, added] = index.emplace(key, cells.size());
        if (added) cells.emplace_back();
        Cell& cell = cells[it->second];
        const Color16& r = records[i];
        cell.c[0] += r.c0, cell.c[1] += r.c1, cell.c[2] += r.c2, cell.c[3] += r.c3;
        cell.lab.L += lab[i].L, cell.lab.a += lab[i].a, cell.lab.b += lab[i].b;
        if (!after.empty())
            cell.after.L += after[i].L, cell.after.a += after[i].a, cell.after.b += after[i].b;
        cell.count += 1;
    }
    Palette palette;
    for (const Cell& cell : cells) {
        const double n = cell.count;
        auto mean = [n](uint64_t sum) { return uint16_t((sum + uint64_t(n) / 2) / uint64_t(n)); };
        palette.records.push_back(
            {mean(cell.c[0]), mean(cell.c[1]), mean(cell.c[2]), mean(cell.c[3])});
        palette.lab.push_back({cell.lab.L / n, cell.lab.a / n, cell.lab.b / n});
        if (!after.empty())
            palette.after.push_back({cell.after.L / n, cell.after.a / n, cell.after.b / n});
        palette.weight.push_back(n);
    }
    return palette;
}

DifferenceStats Summarize(const std::vector<double>& d, const std::vector<double>& w) {
    DifferenceStats s;
    if (d.empty()) return s;
    std::vector<size_t> order(d.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&](size_t x, size_t y) { return d[x] < d[y]; });
    const double total = std::accumulate(w.begin(), w.end(), 0.0);
    double sum = 0, seen = 0;
    bool median = false, p90 = false;
    for (size_t i : order) {
        sum += d[i] * w[i];
        seen += w[i];
        if (!median && seen >= 0.5 * total) s.median = d[i], median = true;
        if (!p90 && seen >= 0.9 * total) s.p90 = d[i], p90 = true;
    }
    s.mean = total > 0 ? sum / total : 0;
    s.max = d[order.back()];
    return s;
}

} // namespace quillon::filterhost

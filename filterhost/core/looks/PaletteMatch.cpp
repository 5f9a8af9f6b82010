#include "core/looks/PaletteMatch.h"

#include "core/HostFailure.h"
#include "core/looks/LookFit.h"

#include <lemon/list_graph.h>
#include <lemon/network_simplex.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace quillon::filterhost {
namespace {

// Mass and cost in whole numbers for the solver: fine enough that rounding changes nothing seen.
constexpr int64_t kTotalMass = 1'000'000;
constexpr double kCostScale = 1000;
constexpr int kDirections = 64;
constexpr int kQuantiles = 512;
// Colours of each set projected: evenly spaced among its own, plenty for 512 quantiles.
constexpr size_t kProjected = 16384;

// Weights scaled to whole numbers summing to kTotalMass exactly (largest remainders first).
std::vector<int64_t> WholeMasses(const std::vector<double>& weight) {
    const double total = std::accumulate(weight.begin(), weight.end(), 0.0);
    std::vector<int64_t> mass(weight.size());
    std::vector<std::pair<double, size_t>> remainder;
    int64_t given = 0;
    for (size_t i = 0; i < weight.size(); ++i) {
        const double exact = weight[i] / total * double(kTotalMass);
        mass[i] = int64_t(std::floor(exact));
        given += mass[i];
        remainder.push_back({exact - double(mass[i]), i});
    }
    std::stable_sort(remainder.begin(), remainder.end(),
                     [](const auto& x, const auto& y) { return x.first > y.first; });
    for (size_t k = 0; given < kTotalMass; ++k, ++given)
        ++mass[remainder[k % remainder.size()].second];
    return mass;
}

// Weighted isotonic regression by pool adjacent violators: the closest non-decreasing sequence.
std::vector<double> NonDecreasing(const std::vector<double>& value, const std::vector<double>& w) {
    struct Block {
        double mean, weight;
        size_t count;
    };
    std::vector<Block> blocks;
    for (size_t i = 0; i < value.size(); ++i) {
        blocks.push_back({value[i], std::max(w[i], 1e-12), 1});
        while (blocks.size() > 1 && blocks[blocks.size() - 2].mean > blocks.back().mean) {
            const Block last = blocks.back();
            blocks.pop_back();
            Block& b = blocks.back();
            b.mean = (b.mean * b.weight + last.mean * last.weight) / (b.weight + last.weight);
            b.weight += last.weight;
            b.count += last.count;
        }
    }
    std::vector<double> out;
    for (const Block& b : blocks)
        out.insert(out.end(), b.count, b.mean);
    return out;
}

} // namespace

WeightedColors PaletteOf(const Palette& colors, size_t k) {
    const std::vector<size_t> cluster = ClusterColors(colors.lab, colors.weight, k);
    const size_t n = cluster.empty() ? 0 : *std::max_element(cluster.begin(), cluster.end()) + 1;
    std::vector<LabColor> sum(n);
    std::vector<double> weight(n, 0);
    for (size_t i = 0; i < colors.Size(); ++i) {
        const double w = colors.weight[i];
        LabColor& s = sum[cluster[i]];
        s.L += w * colors.lab[i].L, s.a += w * colors.lab[i].a, s.b += w * colors.lab[i].b;
        weight[cluster[i]] += w;
    }
    WeightedColors out;
    for (size_t j = 0; j < n; ++j)
        if (weight[j] > 0) {
            out.lab.push_back({sum[j].L / weight[j], sum[j].a / weight[j], sum[j].b / weight[j]});
            out.weight.push_back(weight[j]);
        }
    return out;
}

PaletteMatch MatchPalettes(const WeightedColors& source, const WeightedColors& reference) {
    const size_t n = source.lab.size(), m = reference.lab.size();
    if (n == 0 || m == 0) throw HostFailure("a picture without colours cannot be matched");
    // Phase 1: the transport problem as a flow from the source colours to the reference's.
    lemon::ListDigraph graph;
    std::vector<lemon::ListDigraph::Node> from(n), to(m);
    for (auto& node : from)
        node = graph.addNode();
    for (auto& node : to)
        node = graph.addNode();
    lemon::ListDigraph::NodeMap<int64_t> supply(graph);
    const std::vector<int64_t> sent = WholeMasses(source.weight),
                               received = WholeMasses(reference.weight);
    for (size_t i = 0; i < n; ++i)
        supply[from[i]] = sent[i];
    for (size_t j = 0; j < m; ++j)
        supply[to[j]] = -received[j];
    lemon::ListDigraph::ArcMap<int64_t> cost(graph);
    std::vector<lemon::ListDigraph::Arc> arcs;
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < m; ++j) {
            arcs.push_back(graph.addArc(from[i], to[j]));
            cost[arcs.back()] =
                int64_t(std::lround(DeltaE00(source.lab[i], reference.lab[j]) * kCostScale));
        }
    lemon::NetworkSimplex<lemon::ListDigraph, int64_t, int64_t> simplex(graph);
    simplex.costMap(cost).supplyMap(supply);
    if (simplex.run() != decltype(simplex)::OPTIMAL)
        throw HostFailure("no transport between the palettes was found");

    // Phase 2: barycentres of what each colour is carried to.
    PaletteMatch match;
    match.from = source.lab;
    match.mass.assign(n, std::vector<double>(m, 0));
    match.to.resize(n);
    std::vector<double> lightness(n);
    for (size_t i = 0; i < n; ++i) {
        double total = 0;
        LabColor sum;
        for (size_t j = 0; j < m; ++j) {
            const double f = double(simplex.flow(arcs[i * m + j]));
            match.mass[i][j] = f;
            sum.L += f * reference.lab[j].L, sum.a += f * reference.lab[j].a,
                sum.b += f * reference.lab[j].b;
            total += f;
        }
        match.to[i] =
            total > 0 ? LabColor{sum.L / total, sum.a / total, sum.b / total} : source.lab[i];
    }
    // Phase 3: lightness in the order of the sources', so no tone is turned over.
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t x, size_t y) { return source.lab[x].L < source.lab[y].L; });
    std::vector<double> value, weight;
    for (size_t i : order)
        value.push_back(match.to[i].L), weight.push_back(source.weight[i]);
    const std::vector<double> monotonic = NonDecreasing(value, weight);
    for (size_t k = 0; k < n; ++k)
        match.to[order[k]].L = monotonic[k];
    match.matchedDifference = MatchedDifference(match, source.lab, reference);
    return match;
}

double MatchedDifference(const PaletteMatch& match, const std::vector<LabColor>& achieved,
                         const WeightedColors& reference) {
    double sum = 0, total = 0;
    for (size_t i = 0; i < match.mass.size(); ++i)
        for (size_t j = 0; j < match.mass[i].size(); ++j) {
            sum += match.mass[i][j] * DeltaE00(achieved[i], reference.lab[j]);
            total += match.mass[i][j];
        }
    return total > 0 ? sum / total : 0;
}

double SlicedWasserstein(const std::vector<LabColor>& a, const std::vector<LabColor>& b) {
    if (a.empty() || b.empty()) return 0;
    double sum = 0;
    auto spread = [](const std::vector<LabColor>& set) {
        std::vector<LabColor> some;
        const size_t n = std::min(set.size(), kProjected);
        for (size_t k = 0; k < n; ++k)
            some.push_back(set[k * set.size() / n]);
        return some;
    };
    const std::vector<LabColor> sa = spread(a), sb = spread(b);
    std::vector<double> pa(sa.size()), pb(sb.size());
    for (int d = 0; d < kDirections; ++d) {
        // Directions spread evenly over the sphere (a Fibonacci lattice): the same every run.
        const double z = 1 - (2 * d + 1.0) / kDirections, r = std::sqrt(1 - z * z);
        const double phi = d * M_PI * (3 - std::sqrt(5.0));
        const double u[3] = {z, r * std::cos(phi), r * std::sin(phi)};
        auto project = [&](const std::vector<LabColor>& set, std::vector<double>& p) {
            for (size_t i = 0; i < set.size(); ++i)
                p[i] = u[0] * set[i].L + u[1] * set[i].a + u[2] * set[i].b;
            std::sort(p.begin(), p.end());
        };
        project(sa, pa);
        project(sb, pb);
        double gap = 0;
        for (int q = 0; q < kQuantiles; ++q) {
            const double t = (q + 0.5) / kQuantiles;
            gap += std::abs(pa[size_t(t * double(pa.size()))] - pb[size_t(t * double(pb.size()))]);
        }
        sum += gap / kQuantiles;
    }
    return sum / kDirections;
}

} // namespace quillon::filterhost

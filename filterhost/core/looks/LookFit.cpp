#include "core/looks/LookFit.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace quillon::filterhost {
namespace {

// Pairs whose target is this close to their colour are locks: the look leaves it alone.
constexpr double kUnmoved = 0.5;
constexpr int kLloydSteps = 12;
constexpr int kCorrections = 6;
// New pairs keep this far (ΔE00) from the others: closer ones only make steep slopes.
constexpr double kCrowded = 0.75;

double Distance2(const LabColor& x, const LabColor& y) {
    const double dL = x.L - y.L, da = x.a - y.a, db = x.b - y.b;
    return dL * dL + da * da + db * db;
}

LabColor Plus(const LabColor& x, const LabColor& y, double s) {
    return {x.L + s * y.L, x.a + s * y.a, x.b + s * y.b};
}

LookPair MakePair(const LabColor& from, const LabColor& to) {
    LookPair p{ToHostLab(from), ToHostLab(to), false};
    if (DeltaE00(from, to) < kUnmoved) p.to = p.from, p.locked = true;
    return p;
}

// The pairs' own colours (where they are) and wanted targets, kept apart from the text form.
struct Node {
    LabColor from, to;
};

class Fitter {
  public:
    Fitter(const Palette& palette, const FitTrial& trial) : palette_(palette), trial_(trial) {}

    double Evaluate(FitSettings& s, std::vector<double>& residual) {
        ++trials_;
        const std::vector<LabColor> achieved = trial_(s);
        achieved_ = achieved;
        residual.assign(palette_.Size(), 0);
        double sum = 0, total = 0;
        for (size_t i = 0; i < palette_.Size(); ++i) {
            residual[i] = DeltaE00(achieved[i], palette_.after[i]);
            sum += residual[i] * palette_.weight[i];
            total += palette_.weight[i];
        }
        return total > 0 ? sum / total : 0;
    }
    const std::vector<LabColor>& Achieved() const { return achieved_; }
    int Trials() const { return trials_; }

  private:
    const Palette& palette_;
    const FitTrial& trial_;
    std::vector<LabColor> achieved_;
    int trials_ = 0;
};

std::vector<LookPair> PairsOf(const std::vector<Node>& nodes) {
    std::vector<LookPair> pairs;
    for (const Node& n : nodes)
        pairs.push_back(MakePair(n.from, n.to));
    return pairs;
}

size_t Nearest(const std::vector<Node>& nodes, const LabColor& c, bool chromaOnly) {
    size_t best = 0;
    double bestD = INFINITY;
    for (size_t j = 0; j < nodes.size(); ++j) {
        LabColor from = nodes[j].from;
        if (chromaOnly) from.L = c.L;
        const double d = Distance2(from, c);
        if (d < bestD) bestD = d, best = j;
    }
    return best;
}

} // namespace

std::vector<size_t> ClusterColors(const std::vector<LabColor>& lab,
                                  const std::vector<double>& weight, size_t k) {
    const size_t n = lab.size();
    std::vector<size_t> cluster(n, 0);
    if (n == 0 || k == 0) return cluster;
    k = std::min(k, n);
    // Deterministic start: the heaviest colour, then the farthest by weight × distance².
    std::vector<LabColor> centres;
    centres.push_back(lab[size_t(std::max_element(weight.begin(), weight.end()) - weight.begin())]);
    std::vector<double> nearest(n, INFINITY);
    while (centres.size() < k) {
        size_t far = 0;
        double farScore = -1;
        for (size_t i = 0; i < n; ++i) {
            nearest[i] = std::min(nearest[i], Distance2(lab[i], centres.back()));
            const double score = weight[i] * nearest[i];
            if (score > farScore) farScore = score, far = i;
        }
        if (farScore <= 0) break; // fewer distinct colours than centres
        centres.push_back(lab[far]);
    }
    for (int step = 0; step < kLloydSteps; ++step) {
        bool moved = false;
        for (size_t i = 0; i < n; ++i) {
            size_t best = 0;
            double bestD = INFINITY;
            for (size_t j = 0; j < centres.size(); ++j) {
                const double d = Distance2(lab[i], centres[j]);
                if (d < bestD) bestD = d, best = j;
            }
            moved = moved || best != cluster[i];
            cluster[i] = best;
        }
        if (!moved && step > 0) break;
        std::vector<LabColor> sum(centres.size());
        std::vector<double> total(centres.size(), 0);
        for (size_t i = 0; i < n; ++i) {
            sum[cluster[i]] = Plus(sum[cluster[i]], lab[i], weight[i]);
            total[cluster[i]] += weight[i];
        }
        for (size_t j = 0; j < centres.size(); ++j)
            if (total[j] > 0) centres[j] = Plus({}, sum[j], 1 / total[j]);
    }
    return cluster;
}

namespace {

// The colours as the mesh of a mode sees them: in chroma-only mode lightness plays no part, so
// clusters and spacing are judged in a and b alone.
std::vector<LabColor> SeenBy(const std::vector<LabColor>& lab, bool chromaOnly) {
    std::vector<LabColor> seen = lab;
    if (chromaOnly)
        for (LabColor& c : seen)
            c.L = 50;
    return seen;
}

FitOutcome FitIn(const Palette& palette, const FitRequest& request, bool chromaOnly,
                 const FitTrial& trial) {
    Fitter fitter(palette, trial);
    const std::vector<LabColor> seen = SeenBy(palette.lab, chromaOnly);
    auto apart = [chromaOnly](LabColor x, LabColor y) {
        if (chromaOnly) x.L = y.L = 50;
        return DeltaE00(x, y);
    };
    const size_t budget = size_t(std::max(1, request.pairs));

    // Phase 1: k-means of the before colours, each cluster's mean after colour its target.
    const size_t first = request.refine ? std::max<size_t>(1, budget / 4) : budget;
    const std::vector<size_t> cluster = ClusterColors(seen, palette.weight, first);
    const size_t clusters =
        cluster.empty() ? 0 : *std::max_element(cluster.begin(), cluster.end()) + 1;
    std::vector<Node> nodes(clusters);
    std::vector<double> total(clusters, 0);
    for (size_t i = 0; i < palette.Size(); ++i) {
        Node& n = nodes[cluster[i]];
        n.from = Plus(n.from, palette.lab[i], palette.weight[i]);
        n.to = Plus(n.to, palette.after[i], palette.weight[i]);
        total[cluster[i]] += palette.weight[i];
    }
    for (size_t j = 0; j < clusters; ++j)
        if (total[j] > 0)
            nodes[j] = {Plus({}, nodes[j].from, 1 / total[j]), Plus({}, nodes[j].to, 1 / total[j])};
    if (request.refine) {
        // Each pair at the colour nearest its cluster's centre, with that colour's own target:
        // exact where it stands, where a mean target is exact nowhere on a curved look.
        std::vector<double> nearest(nodes.size(), INFINITY);
        std::vector<Node> medoids = nodes;
        for (size_t i = 0; i < palette.Size(); ++i) {
            LabColor centre = nodes[cluster[i]].from;
            if (chromaOnly) centre.L = 50;
            const double d = Distance2(seen[i], centre);
            if (d < nearest[cluster[i]])
                nearest[cluster[i]] = d, medoids[cluster[i]] = {palette.lab[i], palette.after[i]};
        }
        nodes = std::move(medoids);
    }
    std::vector<Node> kept;
    for (size_t j = 0; j < clusters; ++j)
        if (total[j] > 0) kept.push_back(nodes[j]);
    nodes = std::move(kept);

    FitOutcome out;
    FitSettings& best = out.settings;
    best.fuzziness = request.fuzziness.value_or(10);
    best.preserveLuminosity = chromaOnly;
    best.pairs = PairsOf(nodes);
    double bestMean = fitter.Evaluate(best, out.residual);
    std::vector<LabColor> bestAchieved = fitter.Achieved();

    if (request.refine) {
        // Phase 2: the settings, tried on the first pairs.
        const std::vector<double> fuzziness = request.fuzziness
                                                  ? std::vector<double>{*request.fuzziness}
                                                  : std::vector<double>{10, 8, 6, 4};
        for (double f : fuzziness) {
            if (f == best.fuzziness) continue;
            FitSettings s{best.pairs, f, chromaOnly};
            std::vector<double> residual;
            const double mean = fitter.Evaluate(s, residual);
            if (mean < bestMean) {
                bestMean = mean, best = s, out.residual = residual;
                bestAchieved = fitter.Achieved();
            }
        }

        // Each pass moves every target by its cell's mean shortfall, kept while it helps.
        auto correct = [&] {
            for (int pass = 0; pass < kCorrections; ++pass) {
                std::vector<LabColor> shortfall(nodes.size());
                std::vector<double> weight(nodes.size(), 0);
                for (size_t i = 0; i < palette.Size(); ++i) {
                    const size_t j = Nearest(nodes, seen[i], chromaOnly);
                    const LabColor miss{palette.after[i].L - bestAchieved[i].L,
                                        palette.after[i].a - bestAchieved[i].a,
                                        palette.after[i].b - bestAchieved[i].b};
                    shortfall[j] = Plus(shortfall[j], miss, palette.weight[i]);
                    weight[j] += palette.weight[i];
                }
                std::vector<Node> moved = nodes;
                for (size_t j = 0; j < nodes.size(); ++j)
                    if (weight[j] > 0) moved[j].to = Plus(moved[j].to, shortfall[j], 1 / weight[j]);
                FitSettings s{PairsOf(moved), best.fuzziness, best.preserveLuminosity};
                std::vector<double> residual;
                const double mean = fitter.Evaluate(s, residual);
                if (mean >= bestMean) break;
                bestMean = mean, best = s, out.residual = residual, nodes = moved;
                bestAchieved = fitter.Achieved();
            }
        };

        // Phase 3: pairs where the weighted residual is largest, a few per trial; a batch that
        // makes things worse is dropped and its colours are not tried again.
        std::vector<bool> tried(palette.Size(), false);
        size_t batch = 8;
        while (nodes.size() < budget) {
            std::vector<size_t> order(palette.Size());
            std::iota(order.begin(), order.end(), size_t(0));
            auto score = [&](size_t i) { return out.residual[i] * std::sqrt(palette.weight[i]); };
            std::stable_sort(order.begin(), order.end(),
                             [&](size_t x, size_t y) { return score(x) > score(y); });
            const size_t room = std::min(batch, budget - nodes.size());
            std::vector<Node> grown = nodes;
            std::vector<size_t> added;
            for (size_t i : order) {
                if (added.size() >= room || out.residual[i] < kUnmoved) break;
                if (tried[i]) continue;
                // Not on top of a pair already there: that would only make a steep slope.
                const bool crowded = std::any_of(grown.begin(), grown.end(), [&](const Node& n) {
                    return apart(n.from, palette.lab[i]) < kCrowded;
                });
                if (crowded) continue;
                grown.push_back({palette.lab[i], palette.after[i]});
                added.push_back(i);
            }
            if (added.empty()) break;
            FitSettings s{PairsOf(grown), best.fuzziness, best.preserveLuminosity};
            std::vector<double> residual;
            const double mean = fitter.Evaluate(s, residual);
            if (mean >= bestMean) {
                for (size_t i : added)
                    tried[i] = true;
                if (batch == 1) break;
                batch = std::max<size_t>(1, batch / 2);
                continue;
            }
            bestMean = mean, best = s, out.residual = residual, nodes = grown;
            bestAchieved = fitter.Achieved();
        }
        correct();
    }
    out.stats = Summarize(out.residual, palette.weight);
    out.trials = fitter.Trials();
    return out;
}

} // namespace

FitOutcome FitLook(const Palette& palette, const FitRequest& request, const FitTrial& trial) {
    const std::vector<bool> modes = request.preserveLuminosity
                                        ? std::vector<bool>{*request.preserveLuminosity}
                                    : request.refine ? std::vector<bool>{false, true}
                                                     : std::vector<bool>{false};
    FitOutcome best;
    bool first = true;
    int trials = 0;
    for (bool chromaOnly : modes) {
        FitOutcome fit = FitIn(palette, request, chromaOnly, trial);
        trials += fit.trials;
        if (first || fit.stats.mean < best.stats.mean) best = std::move(fit);
        first = false;
    }
    best.trials = trials;
    return best;
}

} // namespace quillon::filterhost

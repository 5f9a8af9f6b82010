#include "core/looks/LookFit.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace quillon::filterhost {
namespace {

// Pairs whose target is this close to their colour are locks: the look leaves it alone.
constexpr double kUnmoved = 0.5;
constexpr int kLloydSteps = 12;
constexpr int kCorrections = 8;
// A correction step smaller than this no longer pays for its trial.
constexpr double kSmallestStep = 0.25;
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

// k-means of the before colours into at most k clusters, each pair at its cluster's mean colour
// with the cluster's mean after colour as its target; or, with `medoids`, at the colour nearest
// the centre with that colour's own target: exact where it stands, where a mean target is exact
// nowhere on a curved look.
std::vector<Node> ClusterNodes(const Palette& palette, const std::vector<LabColor>& seen, size_t k,
                               bool medoids) {
    const std::vector<size_t> cluster = ClusterColors(seen, palette.weight, k);
    const size_t clusters =
        cluster.empty() ? 0 : *std::max_element(cluster.begin(), cluster.end()) + 1;
    std::vector<Node> nodes(clusters);
    std::vector<double> total(clusters, 0);
    std::vector<LabColor> centre(clusters);
    for (size_t i = 0; i < palette.Size(); ++i) {
        Node& n = nodes[cluster[i]];
        n.from = Plus(n.from, palette.lab[i], palette.weight[i]);
        n.to = Plus(n.to, palette.after[i], palette.weight[i]);
        centre[cluster[i]] = Plus(centre[cluster[i]], seen[i], palette.weight[i]);
        total[cluster[i]] += palette.weight[i];
    }
    for (size_t j = 0; j < clusters; ++j)
        if (total[j] > 0) {
            nodes[j] = {Plus({}, nodes[j].from, 1 / total[j]), Plus({}, nodes[j].to, 1 / total[j])};
            centre[j] = Plus({}, centre[j], 1 / total[j]);
        }
    if (medoids) {
        std::vector<double> nearest(clusters, INFINITY);
        for (size_t i = 0; i < palette.Size(); ++i) {
            const double d = Distance2(seen[i], centre[cluster[i]]);
            if (d < nearest[cluster[i]])
                nearest[cluster[i]] = d, nodes[cluster[i]] = {palette.lab[i], palette.after[i]};
        }
    }
    std::vector<Node> kept;
    for (size_t j = 0; j < clusters; ++j)
        if (total[j] > 0) kept.push_back(nodes[j]);
    return kept;
}

// One search in one mode: the best pairs so far and what the filter made of the palette with
// them. Every change is judged by a trial and kept only when the weighted mean ΔE00 drops.
class Search {
  public:
    Search(const Palette& palette, const std::vector<LabColor>& seen, bool chromaOnly,
           Fitter& fitter)
        : palette_(palette), seen_(seen), chromaOnly_(chromaOnly), fitter_(fitter) {}

    void Start(std::vector<Node> nodes, double fuzziness) {
        nodes_ = std::move(nodes);
        out_.settings = {PairsOf(nodes_), fuzziness, chromaOnly_};
        mean_ = fitter_.Evaluate(out_.settings, out_.residual);
        achieved_ = fitter_.Achieved();
    }

    bool Try(const std::vector<Node>& nodes, double fuzziness) {
        FitSettings s{PairsOf(nodes), fuzziness, chromaOnly_};
        std::vector<double> residual;
        const double mean = fitter_.Evaluate(s, residual);
        if (mean >= mean_) return false;
        mean_ = mean, nodes_ = nodes, out_.settings = std::move(s);
        out_.residual = std::move(residual), achieved_ = fitter_.Achieved();
        return true;
    }

    void TryFuzziness(const std::vector<double>& choices) {
        const double current = out_.settings.fuzziness;
        for (double f : choices)
            if (f != current) Try(nodes_, f);
    }

    // Each pass moves every target by its cell's mean shortfall (what the colours nearest the
    // pair wanted minus what they got): the mesh blends its pairs, so a target met exactly at
    // its own colour still leaves its neighbours short. A pass that does not help is retried
    // at half the step.
    void Correct(int passes) {
        double step = 1;
        for (int pass = 0; pass < passes && step >= kSmallestStep; ++pass) {
            std::vector<LabColor> shortfall(nodes_.size());
            std::vector<double> weight(nodes_.size(), 0);
            for (size_t i = 0; i < palette_.Size(); ++i) {
                const size_t j = Nearest(nodes_, seen_[i], chromaOnly_);
                const LabColor miss{palette_.after[i].L - achieved_[i].L,
                                    palette_.after[i].a - achieved_[i].a,
                                    palette_.after[i].b - achieved_[i].b};
                shortfall[j] = Plus(shortfall[j], miss, palette_.weight[i]);
                weight[j] += palette_.weight[i];
            }
            std::vector<Node> moved = nodes_;
            for (size_t j = 0; j < nodes_.size(); ++j)
                if (weight[j] > 0) moved[j].to = Plus(moved[j].to, shortfall[j], step / weight[j]);
            if (!Try(moved, out_.settings.fuzziness)) step /= 2;
        }
    }

    // Pairs where the weighted residual is largest, a few per trial; a batch that makes things
    // worse is dropped and its colours are not tried again.
    void Grow(size_t budget) {
        auto apart = [this](LabColor x, LabColor y) {
            if (chromaOnly_) x.L = y.L = 50;
            return DeltaE00(x, y);
        };
        std::vector<bool> tried(palette_.Size(), false);
        size_t batch = 8;
        while (nodes_.size() < budget) {
            std::vector<size_t> order(palette_.Size());
            std::iota(order.begin(), order.end(), size_t(0));
            auto score = [&](size_t i) { return out_.residual[i] * std::sqrt(palette_.weight[i]); };
            std::stable_sort(order.begin(), order.end(),
                             [&](size_t x, size_t y) { return score(x) > score(y); });
            const size_t room = std::min(batch, budget - nodes_.size());
            std::vector<Node> grown = nodes_;
            std::vector<size_t> added;
            for (size_t i : order) {
                if (added.size() >= room || out_.residual[i] < kUnmoved) break;
                if (tried[i]) continue;
                // Not on top of a pair already there: that would only make a steep slope.
                const bool crowded = std::any_of(grown.begin(), grown.end(), [&](const Node& n) {
                    return apart(n.from, palette_.lab[i]) < kCrowded;
                });
                if (crowded) continue;
                grown.push_back({palette_.lab[i], palette_.after[i]});
                added.push_back(i);
            }
            if (added.empty()) break;
            if (Try(grown, out_.settings.fuzziness)) continue;
            for (size_t i : added)
                tried[i] = true;
            if (batch == 1) break;
            batch = std::max<size_t>(1, batch / 2);
        }
    }

    double Mean() const { return mean_; }
    FitOutcome Outcome() {
        out_.stats = Summarize(out_.residual, palette_.weight);
        return out_;
    }

  private:
    const Palette& palette_;
    const std::vector<LabColor>& seen_;
    const bool chromaOnly_;
    Fitter& fitter_;
    std::vector<Node> nodes_;
    std::vector<LabColor> achieved_;
    FitOutcome out_;
    double mean_ = INFINITY;
};

FitOutcome FitIn(const Palette& palette, const FitRequest& request, bool chromaOnly,
                 const FitTrial& trial) {
    Fitter fitter(palette, trial);
    const std::vector<LabColor> seen = SeenBy(palette.lab, chromaOnly);
    const size_t budget = size_t(std::max(1, request.pairs));
    const double fuzziness = request.fuzziness.value_or(10);
    const std::vector<double> fuzzinessChoices = request.fuzziness
                                                     ? std::vector<double>{*request.fuzziness}
                                                     : std::vector<double>{10, 8, 6, 4};

    // The plain k-means pairs, their targets then corrected by what the filter made of them.
    Search plain(palette, seen, chromaOnly, fitter);
    plain.Start(ClusterNodes(palette, seen, budget, false), fuzziness);
    if (!request.refine) {
        FitOutcome out = plain.Outcome();
        out.trials = fitter.Trials();
        return out;
    }
    plain.Correct(kCorrections);
    plain.TryFuzziness(fuzzinessChoices);

    // A quarter of the pairs at cluster medoids, the rest spent where the residual is largest: a
    // steep look needs its pairs where it bends, not spread evenly over the picture's colours.
    Search greedy(palette, seen, chromaOnly, fitter);
    greedy.Start(ClusterNodes(palette, seen, std::max<size_t>(1, budget / 4), true), fuzziness);
    greedy.TryFuzziness(fuzzinessChoices);
    greedy.Grow(budget);
    greedy.Correct(kCorrections);

    FitOutcome out = greedy.Mean() < plain.Mean() ? greedy.Outcome() : plain.Outcome();
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

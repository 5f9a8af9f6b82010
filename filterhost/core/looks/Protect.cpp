#include "core/looks/Protect.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace quillon::filterhost {
namespace {

// A colour that moves less than this is left alone: below what anyone sees.
constexpr double kTolerance = 0.5;
// Enough rounds for the whole capacity of locks at the smallest batch.
constexpr int kMaxRounds = 64;

double WeightedMean(const std::vector<double>& values, const std::vector<size_t>& which,
                    const std::vector<double>& weight) {
    double sum = 0, total = 0;
    for (size_t i : which) {
        sum += values[i] * weight[i];
        total += weight[i];
    }
    return total > 0 ? sum / total : 0;
}

} // namespace

Protection ProtectFarColors(const Palette& palette, const std::vector<LookPair>& pairs,
                            double reach, bool chromaOnly, int budget, const PaletteTrial& trial) {
    Protection out;
    std::vector<LabColor> picks;
    for (const LookPair& p : pairs)
        if (p.Moves()) picks.push_back(ToLab(p.from));
    if (picks.empty() || budget <= 0) return out;

    // Phase 1: the colours beyond the reach of every moving pair.
    std::vector<size_t> far;
    for (size_t i = 0; i < palette.Size(); ++i) {
        double nearest = INFINITY;
        for (const LabColor& pick : picks) {
            LabColor c = palette.lab[i];
            if (chromaOnly) c.L = pick.L; // lightness plays no part in that mesh
            nearest = std::min(nearest, DeltaE00(c, pick));
        }
        if (nearest > reach) far.push_back(i);
    }
    out.farColors = far.size();
    if (far.empty()) return out;

    // Phase 2: rounds of filter runs, each locking the colours that moved most.
    const size_t batch = size_t(std::max(4, budget / 12));
    std::vector<bool> locked(palette.Size(), false);
    std::vector<double> change(palette.Size(), 0);
    auto measure = [&](const std::vector<LookPair>& trialPairs) {
        const std::vector<LabColor> achieved = trial(trialPairs);
        for (size_t i : far)
            change[i] = DeltaE00(palette.lab[i], achieved[i]);
        return WeightedMean(change, far, palette.weight);
    };
    std::vector<LookPair> all = pairs;
    out.farChangeBefore = out.farChangeAfter = measure(all);
    for (int round = 0; round < kMaxRounds && int(out.locks.size()) < budget; ++round) {
        std::vector<size_t> leaks;
        for (size_t i : far)
            if (!locked[i] && change[i] > kTolerance) leaks.push_back(i);
        if (leaks.empty()) break;
        // A large leak over many pixels first; ties keep palette order.
        auto score = [&](size_t i) { return change[i] * std::sqrt(palette.weight[i]); };
        std::stable_sort(leaks.begin(), leaks.end(),
                         [&](size_t x, size_t y) { return score(x) > score(y); });
        // Locks of one round spread out: a lock also calms its neighbours, seen next round.
        std::vector<size_t> chosen;
        const double spacing = std::max(2.0, reach / 3);
        for (size_t i : leaks) {
            if (chosen.size() >= batch || int(out.locks.size() + chosen.size()) >= budget) break;
            const bool crowded = std::any_of(chosen.begin(), chosen.end(), [&](size_t j) {
                return DeltaE00(palette.lab[i], palette.lab[j]) < spacing;
            });
            if (!crowded) chosen.push_back(i);
        }
        for (size_t i : chosen) {
            locked[i] = true;
            const HostLab at = ToHostLab(palette.lab[i]);
            out.locks.push_back({at, at, true});
            all.push_back(out.locks.back());
        }
        out.farChangeAfter = measure(all);
    }
    return out;
}

} // namespace quillon::filterhost

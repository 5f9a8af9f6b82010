// Moving one picture's colours toward another's: both palettes (weighted k-means in Lab), an
// exact optimal transport between them over a ΔE00 cost (LEMON's network simplex), each of the
// first palette's colours sent to the barycentre of the colours it is carried to, with the
// targets' lightness kept in the order of the sources' (pool adjacent violators).
#pragma once

#include "core/looks/LookSamples.h"

#include <cstddef>
#include <vector>

namespace quillon::filterhost {

struct WeightedColors {
    std::vector<LabColor> lab;
    std::vector<double> weight;
};

// `k` colours of a picture: the weighted means of its k-means clusters.
WeightedColors PaletteOf(const Palette& colors, size_t k);

struct PaletteMatch {
    std::vector<LabColor> from, to; // one per colour of the first palette
    // Mean ΔE00 between the first palette and the second, weighted by the transport plan.
    double matchedDifference = 0;
    // The plan: mass[i][j] carried from colour i of the first palette to colour j of the second.
    std::vector<std::vector<double>> mass;
};

// Throws HostFailure when either palette is empty or the solver finds no plan.
PaletteMatch MatchPalettes(const WeightedColors& source, const WeightedColors& reference);

// Mean ΔE00 between colours `achieved[i]` (what the first palette became) and the second
// palette, weighted by the plan.
double MatchedDifference(const PaletteMatch& match, const std::vector<LabColor>& achieved,
                         const WeightedColors& reference);

// The sliced Wasserstein distance (order 1) between two sets of Lab colours: the mean over 64
// fixed directions of the mean distance between the sets' projections at 512 quantiles (each
// set thinned evenly to 16384 colours first).
double SlicedWasserstein(const std::vector<LabColor>& a, const std::vector<LabColor>& b);

} // namespace quillon::filterhost

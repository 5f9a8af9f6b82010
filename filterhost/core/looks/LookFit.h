// Pairs that reproduce a look: the colours of a picture before the look (palette.lab) and what
// each became (palette.after). Weighted k-means of the before colours (deterministic start)
// gives the first pairs, each cluster's mean after colour its target; the fuzziness and the
// preserve-luminosity setting are chosen by trial; the targets are corrected by what the
// filter achieved; then pairs are added greedily where the weighted residual ΔE00 is largest.
// Every candidate set is judged by running the filter on the palette's colours.
#pragma once

#include "core/looks/LookPairs.h"
#include "core/looks/LookSamples.h"

#include <functional>
#include <optional>
#include <vector>

namespace quillon::filterhost {

struct FitSettings {
    std::vector<LookPair> pairs;
    double fuzziness = 10;
    bool preserveLuminosity = false;
};

// Runs the filter with these settings on the palette's colours; returns what they became.
using FitTrial = std::function<std::vector<LabColor>(const FitSettings& settings)>;

struct FitRequest {
    int pairs = 64;
    std::optional<double> fuzziness;        // searched when not given
    std::optional<bool> preserveLuminosity; // searched when not given
    bool refine = true;                     // false: the k-means pairs only (the naive fit)
};

struct FitOutcome {
    FitSettings settings;
    std::vector<double> residual; // ΔE00 per palette colour
    DifferenceStats stats;        // over the palette, weighted
    int trials = 0;
};

FitOutcome FitLook(const Palette& palette, const FitRequest& request, const FitTrial& trial);

// Weighted k-means in Lab: `k` centres, the first the heaviest colour, each next the colour
// farthest from the centres so far (by weight × squared distance); then Lloyd's steps.
// Returns the cluster of each colour.
std::vector<size_t> ClusterColors(const std::vector<LabColor>& lab,
                                  const std::vector<double>& weight, size_t k);

} // namespace quillon::filterhost

// Pairs that reproduce a look: the colours of a picture before the look (palette.lab) and what
// each became (palette.after). Weighted k-means of the before colours (deterministic start)
// gives the first pairs, each cluster's mean after colour its target (the naive fit). Two
// searches start from there: one corrects those targets by what the filter achieved and tries
// other fuzziness; the other takes a quarter of the clusters, at their medoids, and adds pairs
// greedily where the weighted residual ΔE00 is largest. Each step is judged by running the
// filter on the palette's colours and kept only when the weighted mean ΔE00 drops, so with the
// settings left free the result is never worse on the palette than the naive fit; the better
// search is the answer.
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

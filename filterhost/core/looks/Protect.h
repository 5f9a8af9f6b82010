// Locks that keep a picture's far colours where they are: the filter interpolates between its
// pairs, so one pair that moves a colour drags along every colour of the mesh cells it spans,
// far beyond its reach. Locked pairs at the picture's own colours just past that reach close the
// moving pairs off. Which colours leak is found by running the filter itself on the picture's
// palette, round after round, locking the worst leaks until none is left or the room runs out.
#pragma once

#include "core/looks/LookPairs.h"
#include "core/looks/LookSamples.h"

#include <functional>
#include <vector>

namespace quillon::filterhost {

// Runs the filter with these pairs on the palette's colours; returns what they became, in Lab.
using PaletteTrial = std::function<std::vector<LabColor>(const std::vector<LookPair>& pairs)>;

struct Protection {
    std::vector<LookPair> locks;
    // Weighted mean ΔE00 by which the colours beyond the reach move, before and after.
    double farChangeBefore = 0, farChangeAfter = 0;
    size_t farColors = 0;
};

// Colours of the palette farther than `reach` (ΔE00; in a, b only when `chromaOnly`) from
// every moving pair are the ones kept. At most `budget` locks; deterministic.
Protection ProtectFarColors(const Palette& palette, const std::vector<LookPair>& pairs,
                            double reach, bool chromaOnly, int budget, const PaletteTrial& trial);

} // namespace quillon::filterhost

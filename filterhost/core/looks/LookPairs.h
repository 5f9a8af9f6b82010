// Pairs of colours as the filter's "Colors" text holds them: a colour and the colour it becomes,
// or a locked colour that keeps itself.
#pragma once

#include "core/looks/ColorNotation.h"

#include <string>
#include <vector>

namespace quillon::filterhost {

struct LookPair {
    HostLab from, to;
    bool locked = false; // `to` is ignored: the colour keeps itself

    bool Moves() const { return !locked && (from.L != to.L || from.a != to.a || from.b != to.b); }
};

// "Lab[L,a,b]:Lab[L,a,b] " per moving pair, "Lab[L,a,b] " per locked one.
std::string PairsText(const std::vector<LookPair>& pairs);

// The pairs of a "Colors" text as the filter reads it (positions are skipped). Throws
// HostFailure naming the item and what is wrong.
std::vector<LookPair> ReadPairs(const std::string& text);

// The reach of the pairs at a fuzziness (1..10): the fuzziness radius of the filter's 3D mesh,
// read as a colour difference (the radius in L* units).
double PairReach(double fuzziness);

} // namespace quillon::filterhost

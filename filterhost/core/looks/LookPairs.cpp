#include "core/looks/LookPairs.h"

#include <cmath>
#include <sstream>

namespace quillon::filterhost {
std::string PairsText(const std::vector<LookPair>& pairs) {
    std::ostringstream text;
    for (const LookPair& p : pairs) {
        text << "Lab[" << p.from.L << "," << p.from.a << "," << p.from.b << "]";
        if (p.Moves()) text << ":Lab[" << p.to.L << "," << p.to.a << "," << p.to.b << "]";
        text << " ";
    }
    return text.str();
}

std::vector<LookPair> ReadPairs(const std::string& text) {
    std::vector<LookPair> pairs;
    for (const ColorsTextItem& item : ReadColorsText(text))
        pairs.push_back(item.to ? LookPair{item.from, *item.to, false}
                                : LookPair{item.from, item.from, true});
    return pairs;
}

double PairReach(double fuzziness) {
    const double f = (fuzziness - 1) / 9;
    const double low = std::sqrt(49152.0), high = std::sqrt(3.0 * 1073741824.0) / 2;
    return (low + f * f * (high - low)) * 100.0 / 32768.0;
}

} // namespace quillon::filterhost

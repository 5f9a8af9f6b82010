#include "core/looks/Fade.h"

#include "core/HostFailure.h"

#include <cmath>

namespace quillon::filterhost {

void Fade(Document& filtered, const Document& original, double percent) {
    if (filtered.mode != original.mode || filtered.depth != original.depth ||
        filtered.width != original.width || filtered.height != original.height)
        throw HostFailure("cannot fade: the filtered document no longer matches the original");
    if (percent >= 100) return;
    const double weight = percent / 100.0;
    for (int c = 0; c < filtered.ColorChannels(); ++c) {
        std::vector<uint16_t>& out = filtered.planes[size_t(c)];
        const std::vector<uint16_t>& in = original.planes[size_t(c)];
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = uint16_t(std::lround(in[i] + (double(out[i]) - in[i]) * weight));
    }
}

} // namespace quillon::filterhost

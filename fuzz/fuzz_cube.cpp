// .cube files come from other programs: any bytes must parse into a table of exactly size³
// points within 2..129 per axis, or fail with a HostFailure; a parsed table must map any colour.
#include "core/HostFailure.h"
#include "core/looks/CubeReader.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon::filterhost;
    try {
        const CubeLut lut = ParseCube(std::string_view(reinterpret_cast<const char*>(data), size));
        if (lut.size < 2 || lut.size > 129 ||
            lut.points.size() != size_t(lut.size) * size_t(lut.size) * size_t(lut.size))
            std::abort();
        for (double v : {0.0, 0.37, 1.0})
            for (double out : lut.Map({v, 1 - v, v * v}))
                if (!std::isfinite(out)) std::abort();
    } catch (const HostFailure&) {
    }
    return 0;
}

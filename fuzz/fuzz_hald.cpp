// Hald CLUT pictures are any picture a user names: a document of any shape, mode and depth made
// from the bytes must become a table of level² points per axis or fail with a HostFailure.
#include "core/HostFailure.h"
#include "core/looks/CubeReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon::filterhost;
    if (size < 4) return 0;
    // Sides up to 4096 reach the level-16 Hald; the mode and depth come from the next bytes.
    const int32_t width = int32_t((data[0] | data[1] << 8) % 4097);
    const int32_t height = data[2] & 1 ? width : int32_t((data[2] * 31 + data[3]) % 4097);
    const ColorMode mode = data[3] % 3 == 0   ? ColorMode::RGB
                           : data[3] % 3 == 1 ? ColorMode::Lab
                                              : ColorMode::CMYK;
    const int depth = data[3] & 4 ? 16 : 8;
    if (int64_t(width) * height > (int64_t(1) << 24) || width == 0 || height == 0) return 0;
    Document d = MakeDocument(mode, depth, width, height);
    const size_t payload = size - 4;
    for (auto& plane : d.planes)
        for (size_t i = 0; i < plane.size(); ++i)
            plane[i] = payload ? uint16_t(data[4 + i % payload] * (depth == 16 ? 128 : 1)) : 0;
    try {
        const CubeLut lut = LutFromHald(d);
        if (lut.points.size() != size_t(lut.size) * size_t(lut.size) * size_t(lut.size))
            std::abort();
    } catch (const HostFailure&) {
    }
    return 0;
}

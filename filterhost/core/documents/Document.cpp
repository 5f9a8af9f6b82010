#include "core/documents/Document.h"

#include "core/HostFailure.h"
#include "core/HugePages.h"
#include "pluginapi/PIFilter.h"

namespace quillon::filterhost {
namespace {

// A zeroed plane, on huge pages when it is large.
std::vector<uint16_t> BlankPlane(size_t samples) {
    std::vector<uint16_t> plane;
    plane.reserve(samples);
    AdviseHugePages(plane.data(), samples * sizeof(uint16_t));
    plane.resize(samples);
    return plane;
}

} // namespace

Document MakeDocument(ColorMode mode, int depth, int32_t width, int32_t height, bool alpha) {
    // Large enough for any real picture, small enough that plane sizes never overflow.
    constexpr int64_t kMaxPixels = int64_t{1} << 31;
    if (depth != 8 && depth != 16) throw HostFailure("documents have 8 or 16 bits per sample");
    if (width <= 0 || height <= 0 || int64_t(width) * height > kMaxPixels)
        throw HostFailure("document size " + std::to_string(width) + " x " +
                          std::to_string(height) + " is not supported");
    Document d;
    d.mode = mode;
    d.depth = depth;
    d.width = width;
    d.height = height;
    d.hasAlpha = alpha;
    const size_t pixels = size_t(width) * size_t(height);
    for (int p = 0; p < d.ColorChannels() + (alpha ? 1 : 0); ++p)
        d.planes.push_back(BlankPlane(pixels));
    return d;
}

int16_t ImageModeOf(const Document& document) {
    const bool deep = document.depth == 16;
    switch (document.mode) {
    case ColorMode::CMYK:
        return deep ? plugInModeCMYK64 : plugInModeCMYKColor;
    case ColorMode::Lab:
        return deep ? plugInModeLab48 : plugInModeLabColor;
    default:
        return deep ? plugInModeRGB48 : plugInModeRGBColor;
    }
}

const char* ModeName(ColorMode mode) {
    switch (mode) {
    case ColorMode::CMYK:
        return "CMYK";
    case ColorMode::Lab:
        return "Lab";
    default:
        return "RGB";
    }
}

} // namespace quillon::filterhost

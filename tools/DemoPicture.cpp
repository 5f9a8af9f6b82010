// Makes the demo's pictures and the adjustment the demo applies: smooth gradients with a row of
// clearly distinct colour patches and a "Colors" text that turns the greens teal; a
// photograph-like landscape; and before/after pairs side by side for the README.
#include "Scenery.h"
#include "core/documents/ImageFiles.h"
#include "core/suites/ColorServices.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <string>

using namespace quillon::filterhost;

namespace {

struct Rgb {
    int r, g, b;
};

// Patches of the lower band, left to right; the third is the green the demo recolours.
constexpr Rgb kPatches[] = {{200, 40, 45},  {235, 190, 60},  {70, 150, 60},
                            {60, 110, 190}, {215, 160, 130}, {120, 60, 140}};
constexpr int kGreen = 2;

void Paint(Document& d, int32_t x, int32_t y, Rgb c) {
    d.At(0, x, y) = uint16_t(std::clamp(c.r, 0, 255));
    d.At(1, x, y) = uint16_t(std::clamp(c.g, 0, 255));
    d.At(2, x, y) = uint16_t(std::clamp(c.b, 0, 255));
}

// A hue sweep that darkens downwards, then a grey ramp, then the patches with soft shading.
Document MakePicture() {
    const int32_t width = 720, height = 480;
    Document d = MakeDocument(ColorMode::RGB, 8, width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            if (y < 240) {
                const double hue = 6.0 * x / width, light = 1.0 - 0.6 * y / 240.0;
                auto channel = [&](double offset) {
                    double t = std::fmod(hue + offset, 6.0);
                    double v = t < 1 ? t : t < 3 ? 1 : t < 4 ? 4 - t : 0;
                    return int(255 * light * (0.25 + 0.75 * v));
                };
                Paint(d, x, y, {channel(2), channel(0), channel(4)});
            } else if (y < 280) {
                const int v = 255 * x / (width - 1);
                Paint(d, x, y, {v, v, v});
            } else {
                const int patch = x * int(std::size(kPatches)) / width;
                const Rgb c = kPatches[patch];
                const int shade = (y - 380) / 6;
                Paint(d, x, y, {c.r - shade, c.g - shade, c.b - shade});
            }
        }
    return d;
}

// The engine's space for an 8-bit RGB colour, the way the filter will see it.
Color16 LabOf(ColorServices& services, Rgb c) {
    Color8 record{0, uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)};
    services.Convert8(plugIncolorServicesRGBSpace, plugIncolorServicesLabSpace, &record, 1);
    return {0, uint16_t(record.c1 * 128), uint16_t(record.c2 * 128), uint16_t(record.c3 * 128)};
}

// Before and after next to each other at half size, with a white gap between.
Document SideBySide(const Document& before, const Document& after) {
    const int32_t w = before.width / 2, h = before.height / 2, gap = 8;
    Document d = MakeDocument(ColorMode::RGB, 8, 2 * w + gap, h);
    for (auto& plane : d.planes)
        std::fill(plane.begin(), plane.end(), uint16_t(255));
    for (int half = 0; half < 2; ++half) {
        const Document& source = half == 0 ? before : after;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int sum = source.At(c, 2 * x, 2 * y) + source.At(c, 2 * x + 1, 2 * y) +
                                    source.At(c, 2 * x, 2 * y + 1) +
                                    source.At(c, 2 * x + 1, 2 * y + 1);
                    d.At(c, x + half * (w + gap), y) = uint16_t((sum + 2) / 4);
                }
    }
    return d;
}

} // namespace

int main(int argc, char** argv) {
    const std::string usage = "usage: quillon-demo-picture PICTURE.png COLORS.txt SCENERY.png\n"
                              "       quillon-demo-picture --side-by-side BEFORE AFTER OUT\n";
    if (argc == 5 && std::string(argv[1]) == "--side-by-side") {
        const Document before = ReadImageFile(argv[2]).document;
        const Document after = ReadImageFile(argv[3]).document;
        if (before.mode != ColorMode::RGB || before.depth != 8 || after.mode != before.mode ||
            after.depth != before.depth || after.width != before.width ||
            after.height != before.height) {
            std::cerr << "quillon-demo-picture: BEFORE and AFTER must be 8-bit RGB of one size\n";
            return 1;
        }
        WriteImageFile(SideBySide(before, after), FormatForOutput(argv[4], FileFormat::Png),
                       argv[4]);
        return 0;
    }
    if (argc != 4) {
        std::cerr << usage;
        return 2;
    }
    WriteImageFile(quillon::tools::MakeScenery(960, 640), FileFormat::Png, argv[3]);
    WriteImageFile(MakePicture(), FileFormat::Png, argv[1]);
    ColorServices services;
    const Color16 green = LabOf(services, kPatches[kGreen]);
    const Color16 teal = LabOf(services, {40, 150, 170});
    std::ofstream(argv[2]) << "Lab[" << green.c1 << "," << green.c2 << "," << green.c3 << "]:Lab["
                           << teal.c1 << "," << teal.c2 << "," << teal.c3 << "] ";
    return 0;
}

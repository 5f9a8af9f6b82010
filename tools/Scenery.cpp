#include "Scenery.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace quillon::tools {
namespace {

using filterhost::Document;

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Scale(Rgb c, double f) {
    return {c.r * f, c.g * f, c.b * f};
}

double Hash(int64_t x, int64_t y, uint32_t seed) {
    uint64_t h = uint64_t(x) * 0x9E3779B97F4A7C15ull ^ uint64_t(y) * 0xC2B2AE3D27D4EB4Full ^ seed;
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 29;
    return double(h >> 11) / double(uint64_t(1) << 53);
}

// Smoothly interpolated lattice noise, 0..1.
double Noise(double x, double y, uint32_t seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const double tx = x - fx, ty = y - fy;
    const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    const auto ix = int64_t(fx), iy = int64_t(fy);
    const double top = Hash(ix, iy, seed) + (Hash(ix + 1, iy, seed) - Hash(ix, iy, seed)) * sx;
    const double bottom =
        Hash(ix, iy + 1, seed) + (Hash(ix + 1, iy + 1, seed) - Hash(ix, iy + 1, seed)) * sx;
    return top + (bottom - top) * sy;
}

// Several octaves of noise: the texture of clouds, ridges and grass.
double Fractal(double x, double y, uint32_t seed, int octaves) {
    double sum = 0, amplitude = 0.5, total = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * Noise(x, y, seed + uint32_t(o) * 101);
        total += amplitude;
        x *= 2.03;
        y *= 2.03;
        amplitude *= 0.5;
    }
    return sum / total;
}

} // namespace

Document MakeScenery(int32_t width, int32_t height) {
    Document d = filterhost::MakeDocument(filterhost::ColorMode::RGB, 8, width, height);
    const double scale = 1.0 / std::max(width, height);
    const double horizon = 0.52, shore = 0.64;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const double nx = x * scale, ny = y * scale;
            // Sky: deep blue above, pale at the horizon, a warm glow round the sun, clouds.
            Rgb sky = Mix({38, 84, 160}, {196, 214, 228}, std::pow(v / horizon, 1.6));
            const double sun = std::hypot(u - 0.78, (v - 0.18) * 1.4);
            sky = Mix(sky, {255, 226, 170}, 0.8 * std::exp(-sun * sun * 40));
            const double cloud = Fractal(nx * 6, ny * 14, 7, 6);
            Rgb c = Mix(sky, {242, 240, 236}, (cloud - 0.52) * 4 * (1 - v / horizon));
            // Mountains: a ridge line, hazy blue-grey, darker on one flank.
            const double ridge = horizon - 0.03 - 0.3 * (Fractal(nx * 2.2, 0.5, 21, 6) - 0.25);
            if (v > ridge && v < horizon + 0.02) {
                const double shade = Fractal(nx * 12, ny * 12, 33, 5);
                const double haze = (v - ridge) / std::max(horizon - ridge, 0.01);
                c = Mix({62, 78, 104}, {120, 134, 156}, shade * 0.9);
                c = Mix(c, {178, 190, 204}, haze * 0.7);
            }
            // Lake: the sky mirrored and darkened, broken by ripples.
            if (v >= horizon && v < shore) {
                const double mirror = 2 * horizon - v;
                Rgb water = Mix({38, 84, 160}, {196, 214, 228}, std::pow(mirror / horizon, 1.6));
                const double ripple = Noise(nx * 80, ny * 900, 45);
                c = Mix(Scale(water, 0.78), {220, 230, 236}, (ripple - 0.7) * 2);
            }
            // Meadow: greens with texture, lighter in the distance, yellowed patches.
            if (v >= shore) {
                const double grass = Fractal(nx * 40, ny * 60, 57, 5);
                const double patch = Fractal(nx * 4, ny * 4, 61, 3);
                c = Mix({54, 96, 38}, {128, 156, 62}, grass * 0.9 + (1 - v) * 0.4);
                c = Mix(c, {176, 160, 70}, (patch - 0.55) * 2.5);
                // Flowers: orange dots, denser towards the front.
                const double dot = Hash(int64_t(x / 3), int64_t(y / 3), 71);
                if (dot > 0.985 - 0.02 * (v - shore)) c = Mix({208, 128, 64}, {232, 96, 52}, dot);
            }
            // Trees along the shore: dark rounded crowns.
            for (int t = 0; t < 7; ++t) {
                const double tx = 0.05 + 0.14 * t + 0.06 * Hash(t, 0, 81);
                const double rx = 0.018 + 0.022 * Hash(t, 1, 81);
                const double ry = rx * (1.6 + 0.8 * Hash(t, 2, 81));
                const double ty = shore + 0.06 - ry;
                const double r = std::hypot((u - tx) / rx, (v - ty) / ry);
                if (r < 1 && v < shore + 0.06)
                    c = Mix({30, 58, 28}, {74, 108, 48},
                            Fractal(nx * 60, ny * 60, 83, 3) - r * 0.3);
            }
            // A house on the shore: white walls under a red roof.
            const double hx = (u - 0.22) / 0.12, hy = (v - (shore + 0.03)) / 0.12;
            if (hx > 0 && hx < 1 && hy < 0.6 && hy > -0.3 + 0.6 * std::abs(hx - 0.5)) {
                if (hy < 0.15)
                    c = Mix({150, 40, 32}, {196, 64, 44}, hx);
                else if (hx > 0.6 && hx < 0.75 && hy > 0.3)
                    c = {60, 48, 40};
                else
                    c = Mix({226, 222, 210}, {170, 166, 160}, hx);
            }
            // The lens: vignetting and grain.
            const double edge = std::hypot(u - 0.5, v - 0.5);
            c = Scale(c, 1 - 0.35 * edge * edge);
            const double grain = (Hash(x, y, 91) - 0.5) * 6;
            d.At(0, x, y) = uint16_t(std::clamp(std::lround(c.r + grain), 0L, 255L));
            d.At(1, x, y) = uint16_t(std::clamp(std::lround(c.g + grain), 0L, 255L));
            d.At(2, x, y) = uint16_t(std::clamp(std::lround(c.b + grain), 0L, 255L));
        }
    return d;
}

} // namespace quillon::tools

#pragma once

#include <algorithm>
#include <cstdint>

namespace quillon::engine {

// Host colour-space codes, passed to the host's conversions unchanged.
inline constexpr uint16_t kSpaceRgb = 0;
inline constexpr uint16_t kSpaceCmyk = 2;
inline constexpr uint16_t kSpaceLab = 3;

// The engine's internal colour space: the host's Lab on its 16-bit scale.
inline constexpr uint16_t kIcsCode = kSpaceLab;

// The host's colour records. c0 carries no colour; c1..c3 are L, a, b (ICS) or R, G, B.
struct ColorRecord8 {
    uint8_t c0, c1, c2, c3;
};

struct ColorRecord16 {
    uint16_t c0, c1, c2, c3;
};

// Full scale of the 16-bit range; a and b are neutral at half of it.
inline constexpr int32_t kFullScale16 = 32768;
inline constexpr int32_t kNeutral16 = 16384;

// 8-bit values enter the 16-bit scale by a shift, so 255 becomes 32640, not 32768.
constexpr int32_t to16(int32_t v) {
    return v * 128;
}

// 16-bit values leave by a shift, saturated so that full scale (32768) stays 255.
constexpr int32_t to8(int32_t w) {
    return std::min(255, w >> 7);
}

} // namespace quillon::engine

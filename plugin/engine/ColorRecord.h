#pragma once

#include <algorithm>
#include <array>
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

// The two orders of a colour's channels. Colours (records, originals, saved and recorded
// colours) are L, a, b; mesh points, positions and targets are (x, y, z) = (a, b, L), the two
// chroma channels first, so that the chroma-only mesh is the first two coordinates.
inline constexpr int kAxisOfL = 2;
inline constexpr int kAxisOfA = 0;
inline constexpr int kAxisOfB = 1;
// The mesh axis of colour channel k (0 L, 1 a, 2 b).
inline constexpr int kAxisOfChannel[3] = {kAxisOfL, kAxisOfA, kAxisOfB};

using Triple = std::array<int32_t, 3>;

constexpr Triple LabToMesh(int32_t l, int32_t a, int32_t b) {
    return {a, b, l};
}
constexpr Triple LabToMesh(const int32_t lab[3]) {
    return LabToMesh(lab[0], lab[1], lab[2]);
}
constexpr Triple MeshToLab(const int32_t point[3]) {
    return {point[kAxisOfL], point[kAxisOfA], point[kAxisOfB]};
}
// The mesh point of a record's c1..c3 (L, a, b).
template <typename Record> constexpr Triple MeshPointOf(const Record& r) {
    return LabToMesh(r.c1, r.c2, r.c3);
}

inline void Assign(int32_t out[3], const Triple& v) {
    std::copy(v.begin(), v.end(), out);
}

} // namespace quillon::engine

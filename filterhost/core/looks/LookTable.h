// A filter's look baked into a 3D lookup table: an identity lattice of sRGB colours as a 16-bit
// RGB document, filtered like any picture, then written as a .cube text or a Hald CLUT image.
#pragma once

#include "core/documents/Document.h"

#include <filesystem>
#include <string>
#include <vector>

namespace quillon::filterhost {

inline constexpr int kMinCubeSize = 2;
inline constexpr int kMaxCubeSize = 129;
inline constexpr int kMinHaldLevel = 2;
inline constexpr int kMaxHaldLevel = 16;

// size³ lattice points in a 16-bit RGB document `width` pixels wide (width divides size³):
// point i = r + size·g + size²·b, row by row, red changing fastest; component k of a point is
// k / (size − 1) of full scale.
Document MakeLattice(int size, int32_t width);

// A Hald CLUT of a level holds level² points per axis in a square image level³ pixels wide.
inline int HaldPointsPerAxis(int level) {
    return level * level;
}
inline int32_t HaldSide(int level) {
    return level * level * level;
}

// Writes a filtered lattice of MakeLattice(size, ...) as a .cube file: TITLE, comment lines,
// DOMAIN_MIN, DOMAIN_MAX, LUT_3D_SIZE, then one "R G B" line per point in lattice order, values
// 0..1 with six decimals. Whole or not at all; throws HostFailure.
void WriteCubeFile(const Document& lattice, int size, const std::string& title,
                   const std::vector<std::string>& comments, const std::filesystem::path& file);

} // namespace quillon::filterhost

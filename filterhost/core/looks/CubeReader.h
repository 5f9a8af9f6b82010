// 3D LUTs read back: .cube text (the Adobe flavour with DOMAIN_MIN/DOMAIN_MAX and the Resolve
// flavour with LUT_3D_INPUT_RANGE) and Hald CLUT pictures, for learning a look as pairs.
#pragma once

#include "core/documents/Document.h"

#include <array>
#include <filesystem>
#include <string_view>
#include <vector>

namespace quillon::filterhost {

struct CubeLut {
    int size = 0;                             // points per axis, 2..129
    std::vector<std::array<float, 3>> points; // size³ outputs, red changing fastest
    std::array<double, 3> domainMin{0, 0, 0}, domainMax{1, 1, 1};

    // The output for an input R, G, B on 0..1, by tetrahedral interpolation.
    std::array<double, 3> Map(const std::array<double, 3>& rgb) const;
};

// Largest .cube file read: 129³ lines of three numbers with room for long decimals.
inline constexpr size_t kMaxCubeBytes = size_t(256) << 20;

// Throws HostFailure naming the line and what is wrong.
CubeLut ParseCube(std::string_view text);
CubeLut ReadCubeFile(const std::filesystem::path& file);

// A Hald CLUT picture: square, level³ pixels on a side for a level of 2..16, level² points per
// axis, red fastest. Throws HostFailure for any other shape or mode.
CubeLut LutFromHald(const Document& picture);

} // namespace quillon::filterhost

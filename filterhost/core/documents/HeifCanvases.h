// The canvases a HEIF file's derived pictures (tile grids and overlays) claim, read from the
// file's item boxes before any decoding: libheif allocates a derived picture's whole canvas
// from the size its descriptor states, which a few hundred bytes can make gigabytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::filterhost {

// Throws HostFailure naming `shown` when a grid or overlay canvas of the file holds more than
// maxPixels pixels, or when the boxes that locate a descriptor are cut short or point outside
// the file. Files without derived pictures pass untouched.
void CheckHeifCanvases(const std::vector<uint8_t>& bytes, int64_t maxPixels,
                       const std::string& shown);

} // namespace quillon::filterhost

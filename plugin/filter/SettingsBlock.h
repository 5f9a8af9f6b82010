// The saved-settings block, little-endian:
//   0  'NQln'   4  version 2   8  Preserve Luminosity   12  fuzziness (float)   16  count n
//   20 n records of 32 bytes: original L, a, b and target L, a, b (16-bit each), document
//      position h, v and sample position h, v (signed 32-bit each), locked (one byte)
#pragma once

#include "engine/ColorEngine.h"

#include <cstdint>
#include <span>

namespace quillon::filter {

inline constexpr int32_t kSettingsHeaderSize = 20;
inline constexpr int32_t kSettingsRecordSize = 32;
inline constexpr int32_t kSettingsSize = kSettingsHeaderSize + 1024 * kSettingsRecordSize;

// Writes the engine's settings and as many user adjustments as the block holds.
void WriteSettingsBlock(const engine::ColorEngine& engine, std::span<uint8_t> block);

// Loads the block's settings and adjustments into the engine (reset first, rebuilt after). The
// stored count is not trusted beyond what the block holds; signature and version are not
// examined, so blocks of earlier versions still load.
void ReadSettingsBlock(std::span<const uint8_t> block, engine::ColorEngine& engine);

} // namespace quillon::filter

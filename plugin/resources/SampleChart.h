// The built-in sample: a chart of 24 rows of 16 swatches, 16 x 16 pixels each, stored as a
// 256 x 384 RGB 16-bit LZW TIFF with an sRGB profile in the resource "FILE" 71. Rows 0 to 21 are
// lightness ramps at a fixed a* and b*, row 22 a neutral ramp, row 23 sixteen fixed colours.
#pragma once

#include <cstdint>
#include <span>

namespace quillon::resources {

inline constexpr int32_t kSampleChartID = 71;
inline constexpr int32_t kChartRows = 24;
inline constexpr int32_t kChartColumns = 16;
inline constexpr int32_t kSwatchSize = 16;

// A swatch as the chart's table defines it: CIE L*a*b* (D50) for the ramps, 8-bit sRGB for the
// fixed colours of the last row.
struct ChartSwatch {
    bool isRgb;
    double lab[3];
    uint8_t rgb[3];
};
ChartSwatch ChartSwatchAt(int32_t row, int32_t column);

// The chart's TIFF bytes, made by the build.
std::span<const uint8_t> SampleChart();

} // namespace quillon::resources

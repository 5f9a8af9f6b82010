#include "resources/SampleChart.h"

namespace quillon::resources {
namespace {

// a*, b*, and the lightness of the first swatch and of a seventeenth one past the last.
struct Ramp {
    double a, b, lStart, lEnd;
};
constexpr Ramp kRamps[23] = {
    {12, 14, 90, 18},  {16, 19, 91, 35},  {10, 10, 98, 65},  {6, 10, 97, 53},    {12, 8, 99, 50},
    {8, 22, 99, 50},   {8, 28, 99, 50},   {23, 24, 99, 50},  {27, 21, 99, 42},   {29, 26, 91, 35},
    {18, 34, 91, 35},  {28, 35, 91, 35},  {4, -57, 80, 15},  {-27, -11, 95, 10}, {-2, -21, 91, 13},
    {-52, 53, 95, 10}, {-10, 32, 80, 25}, {-19, 49, 90, 30}, {-28, 67, 95, 40},  {-16, 93, 95, 10},
    {44, 46, 78, 20},  {50, 42, 72, 27},  {0, 0, 0, 99},
};

constexpr uint8_t kFixedColors[16][3] = {
    {0, 0, 128},     {139, 69, 19},   {220, 20, 60},   {208, 32, 144},
    {255, 48, 48},   {113, 198, 113}, {255, 165, 0},   {135, 206, 255},
    {0, 238, 0},     {0, 229, 238},   {255, 192, 203}, {84, 255, 159},
    {240, 230, 140}, {127, 255, 212}, {255, 231, 186}, {255, 245, 238},
};

} // namespace

ChartSwatch ChartSwatchAt(int32_t row, int32_t column) {
    ChartSwatch s{};
    if (row == kChartRows - 1) {
        s.isRgb = true;
        for (int c = 0; c < 3; ++c)
            s.rgb[c] = kFixedColors[column][c];
        return s;
    }
    const Ramp& r = kRamps[row];
    s.lab[0] = r.lStart + column * (r.lEnd - r.lStart) / kChartColumns;
    s.lab[1] = r.a;
    s.lab[2] = r.b;
    return s;
}

} // namespace quillon::resources

#include "dialog/PreviewRows.h"

#include "mapping/MapStep.h"

#include <algorithm>
#include <cmath>

namespace quillon::dialog {
namespace {

// Records of one row: 16-bit records in place, 8-bit ones in the first quarter of the same
// storage.
template <typename Record>
void WriteRow(const Record* records, int32_t width, uint8_t* out, int32_t pixelBytes, int shift) {
    for (int32_t x = 0; x < width; ++x, out += pixelBytes) {
        out[0] = uint8_t(std::min(255, records[x].c3 >> shift));
        out[1] = uint8_t(std::min(255, records[x].c2 >> shift));
        out[2] = uint8_t(std::min(255, records[x].c1 >> shift));
    }
}

// The plane each channel type fills: components 0 to 3 of the preview's colour records.
int32_t PlaneOf(int16_t channelType) {
    switch (channelType) {
    case ctCyan:
        return 0;
    case ctRed:
    case ctMagenta:
    case ctL:
        return 1;
    case ctGreen:
    case ctYellow:
    case ctA:
        return 2;
    case ctBlue:
    case ctBlack:
    case ctB:
        return 3;
    default:
        return -1;
    }
}

// Blue (hue 240) at 0 to red (hue 0) at 1, full saturation and value; blue, green, red order.
void HeatColour(double t, uint8_t* out) {
    const double hue = 4.0 * (1.0 - std::clamp(t, 0.0, 1.0)); // sixths of the circle, 0..4
    const int sector = std::min(int(hue), 3);
    const auto rising = uint8_t(std::lround(255 * (hue - sector)));
    const auto falling = uint8_t(255 - rising);
    uint8_t r = 0, g = 0, b = 0;
    switch (sector) {
    case 0: // red to yellow
        r = 255, g = rising;
        break;
    case 1: // yellow to green
        r = falling, g = 255;
        break;
    case 2: // green to cyan
        g = 255, b = rising;
        break;
    default: // cyan to blue
        g = falling, b = 255;
        break;
    }
    out[0] = b, out[1] = g, out[2] = r;
}

} // namespace

void ReadPreviewPlanes(const ReadChannelDesc* channels, const ChannelPortProcs& ports,
                       const VRect& source, int32_t width, int32_t height,
                       const std::array<uint8_t*, 4>& planes) {
    const VRect destination{0, 0, height, width};
    const PSScaling scaling{source, destination};
    for (const ReadChannelDesc* channel = channels; channel; channel = channel->next) {
        const int32_t plane = PlaneOf(channel->channelType);
        if (plane < 0) continue;
        const PixelMemoryDesc memory{planes[size_t(plane)], width * 8, 8, 0, 8};
        VRect wrote{};
        ports.readPixelsProc(channel->port, &scaling, &destination, &memory, &wrote);
    }
}

void ConvertPreviewRows(const PreviewPlanes& p, engine::ColorEngine& engine,
                        const PSColorSpaceSuite1& cs, Color16* row, const DisplayPixels& display) {
    // The display is RGB; the preview needs no note of what moved, so the step keeps no scratch.
    mapping::MapStep step(engine, cs, p.space, plugIncolorServicesRGBSpace, 0);
    auto* row8 = reinterpret_cast<Color8*>(row);
    for (int32_t y = 0; y < p.height; ++y) {
        const size_t offset = size_t(y) * size_t(p.width);
        const uint8_t* c0 = p.planes[0] + offset;
        const uint8_t* c1 = p.planes[1] + offset;
        const uint8_t* c2 = p.planes[2] + offset;
        const uint8_t* c3 = p.planes[3] + offset;
        uint8_t* out = display.base + display.rowBytes * y;
        if (p.live && p.sixteenBit) {
            for (int32_t x = 0; x < p.width; ++x)
                row[x] = {uint16_t(c0[x] << 7), uint16_t(c1[x] << 7), uint16_t(c2[x] << 7),
                          uint16_t(c3[x] << 7)};
            step.Map(row, p.width, nullptr, nullptr);
            WriteRow(row, p.width, out, display.pixelBytes, 7);
            continue;
        }
        if (!p.live && p.space == plugIncolorServicesRGBSpace) {
            for (int32_t x = 0; x < p.width; ++x, out += display.pixelBytes) {
                out[0] = c3[x];
                out[1] = c2[x];
                out[2] = c1[x];
            }
            continue;
        }
        for (int32_t x = 0; x < p.width; ++x)
            row8[x] = {c0[x], c1[x], c2[x], c3[x]};
        if (p.live)
            step.Map(row8, p.width, nullptr, nullptr);
        else
            mapping::ConvertRun(cs, p.space, plugIncolorServicesRGBSpace, row8, p.width);
        WriteRow(row8, p.width, out, display.pixelBytes, 0);
    }
}

void ConvertMovesRows(const PreviewPlanes& p, engine::ColorEngine& engine,
                      const PSColorSpaceSuite1& cs, Color16* rows, bool* moved,
                      const DisplayPixels& display) {
    // Lab on the host's 16-bit scale: L 0..32768 for 0..100, a and b 16384 +- 16384 for +-128.
    constexpr double kL = 100.0 / 32768, kAB = 128.0 / 16384;
    mapping::MapStep step(engine, cs, p.space, plugIncolorServicesLabSpace, p.width);
    Color16* after = rows;
    Color16* before = rows + p.width;
    auto* row8 = reinterpret_cast<Color8*>(before);
    for (int32_t y = 0; y < p.height; ++y) {
        const size_t offset = size_t(y) * size_t(p.width);
        for (int32_t x = 0; x < p.width; ++x)
            row8[x] = {p.planes[0][offset + size_t(x)], p.planes[1][offset + size_t(x)],
                       p.planes[2][offset + size_t(x)], p.planes[3][offset + size_t(x)]};
        // The host widens at most kConvertBatch samples a call.
        constexpr int32_t kRecordsPerCall = mapping::kConvertBatch / 4;
        for (int32_t done = 0; done < p.width; done += kRecordsPerCall)
            cs.Convert8to16(reinterpret_cast<const uint8*>(row8 + done),
                            reinterpret_cast<uint16*>(after + done),
                            int16(4 * std::min(kRecordsPerCall, p.width - done)));
        std::copy_n(after, p.width, before);
        if (step.Map(after, p.width, moved, nullptr) != kSPNoError ||
            mapping::ConvertRun(cs, p.space, plugIncolorServicesLabSpace, before, p.width) !=
                kSPNoError)
            return;
        uint8_t* out = display.base + display.rowBytes * y;
        for (int32_t x = 0; x < p.width; ++x, out += display.pixelBytes) {
            const double dL = (after[x].c1 - before[x].c1) * kL;
            const double da = (after[x].c2 - before[x].c2) * kAB;
            const double db = (after[x].c3 - before[x].c3) * kAB;
            const double difference = std::sqrt(dL * dL + da * da + db * db);
            if (moved[x] && difference >= 0.5) {
                HeatColour(difference / kMovesFullScale, out);
                continue;
            }
            const auto grey = uint8_t(24 + before[x].c1 * 96 / 32768);
            out[0] = out[1] = out[2] = grey;
        }
    }
}

} // namespace quillon::dialog

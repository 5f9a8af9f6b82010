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

bool ReadPreviewPlanes(const ReadChannelDesc* channels, const ChannelPortProcs& ports,
                       const VRect& source, int32_t width, int32_t height,
                       const std::array<uint8_t*, 4>& planes) {
    const VRect destination{0, 0, height, width};
    const PSScaling scaling{source, destination};
    bool read = true;
    for (const ReadChannelDesc* channel = channels; channel; channel = channel->next) {
        const int32_t plane = PlaneOf(channel->channelType);
        if (plane < 0) continue;
        const PixelMemoryDesc memory{planes[size_t(plane)], width * 8, 8, 0, 8};
        VRect wrote{};
        if (ports.readPixelsProc(channel->port, &scaling, &destination, &memory, &wrote) != noErr)
            read = false;
    }
    return read;
}

void IcsColours::Release() {
    std::vector<Color8>().swap(records8_);
    std::vector<Color16>().swap(records16_);
    std::vector<uint8_t>().swap(converted_);
    kept_ = false;
}

// 8-bit samples enter the 16-bit records shifted left by 7.
template <typename Record>
const Record* IcsColours::Of(std::vector<Record>& records, const PreviewPlanes& p,
                             const PSColorSpaceSuite1& cs, int16_t ics) {
    constexpr bool kSixteen = sizeof(Record) == sizeof(Color16);
    if (kept_ && sixteenBit_ == kSixteen && space_ == p.space && ics_ == ics && width_ == p.width &&
        height_ == p.height)
        return records.data();
    kept_ = false;
    const size_t count = size_t(p.width) * size_t(p.height);
    records.resize(count);
    converted_.assign(size_t(p.height), 1);
    constexpr int kShift = kSixteen ? 7 : 0;
    using Sample = decltype(Record{}.c0);
    for (size_t i = 0; i < count; ++i)
        records[i] = {Sample(p.planes[0][i] << kShift), Sample(p.planes[1][i] << kShift),
                      Sample(p.planes[2][i] << kShift), Sample(p.planes[3][i] << kShift)};
    // Row by row, as the rows were converted before they were kept.
    bool all = true;
    for (int32_t y = 0; y < p.height && p.space != ics; ++y)
        if (mapping::ConvertRun(cs, p.space, ics, records.data() + size_t(y) * size_t(p.width),
                                p.width) != kSPNoError) {
            converted_[size_t(y)] = 0;
            all = false;
        }
    kept_ = all;
    sixteenBit_ = kSixteen;
    space_ = p.space;
    ics_ = ics;
    width_ = p.width;
    height_ = p.height;
    return records.data();
}

const Color8* IcsColours::Of8(const PreviewPlanes& p, const PSColorSpaceSuite1& cs, int16_t ics) {
    return Of(records8_, p, cs, ics);
}

const Color16* IcsColours::Of16(const PreviewPlanes& p, const PSColorSpaceSuite1& cs, int16_t ics) {
    return Of(records16_, p, cs, ics);
}

void ConvertPreviewRows(const PreviewPlanes& p, engine::ColorEngine& engine,
                        const PSColorSpaceSuite1& cs, IcsColours& kept, Color16* row,
                        const DisplayPixels& display) {
    const auto ics = int16_t(engine.IcsCode());
    // The display is RGB; the colours come in the engine's space; the preview needs no note of
    // what moved, so the step keeps no scratch.
    mapping::MapStep step(engine, cs, ics, plugIncolorServicesRGBSpace, 0);
    auto* row8 = reinterpret_cast<Color8*>(row);
    const Color8* colours8 = nullptr;
    const Color16* colours16 = nullptr;
    if (p.live && p.sixteenBit) colours16 = kept.Of16(p, cs, ics);
    if (p.live && !p.sixteenBit) colours8 = kept.Of8(p, cs, ics);
    for (int32_t y = 0; y < p.height; ++y) {
        const size_t offset = size_t(y) * size_t(p.width);
        uint8_t* out = display.base + display.rowBytes * y;
        // A row the host refused to convert shows its records as the host left them.
        if (colours16) {
            std::copy_n(colours16 + offset, p.width, row);
            if (kept.RowConverted(y)) step.Map(row, p.width, nullptr, nullptr);
            WriteRow(row, p.width, out, display.pixelBytes, 7);
            continue;
        }
        if (colours8) {
            std::copy_n(colours8 + offset, p.width, row8);
            if (kept.RowConverted(y)) step.Map(row8, p.width, nullptr, nullptr);
            WriteRow(row8, p.width, out, display.pixelBytes, 0);
            continue;
        }
        const uint8_t* c0 = p.planes[0] + offset;
        const uint8_t* c1 = p.planes[1] + offset;
        const uint8_t* c2 = p.planes[2] + offset;
        const uint8_t* c3 = p.planes[3] + offset;
        if (p.space == plugIncolorServicesRGBSpace) {
            for (int32_t x = 0; x < p.width; ++x, out += display.pixelBytes) {
                out[0] = c3[x];
                out[1] = c2[x];
                out[2] = c1[x];
            }
            continue;
        }
        for (int32_t x = 0; x < p.width; ++x)
            row8[x] = {c0[x], c1[x], c2[x], c3[x]};
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

void PreviewSource::Allocate(int32_t width, int32_t height) {
    Release();
    const size_t samples = size_t(std::max(width, 0)) * size_t(std::max(height, 0));
    for (std::vector<uint8_t>& plane : planes_)
        plane.assign(samples, 0);
    row_.assign(2 * size_t(std::max(width, 1)) * sizeof(Color16), 0);
    moved_ = std::make_unique<bool[]>(size_t(std::max(width, 1)));
    width_ = width;
    height_ = height;
}

void PreviewSource::Release() {
    for (std::vector<uint8_t>& plane : planes_)
        std::vector<uint8_t>().swap(plane);
    std::vector<uint8_t>().swap(row_);
    moved_.reset();
    ics_.Release();
    width_ = height_ = 0;
    holdsView_ = false;
}

bool PreviewSource::Read(const ReadChannelDesc* channels, const ChannelPortProcs& ports,
                         const View& view) {
    if (!Allocated() || view.width != width_ || view.height != height_) return false;
    if (holdsView_ && view == read_) return false;
    ics_.Forget();
    holdsView_ = ReadPreviewPlanes(
        channels, ports, view.source, width_, height_,
        {planes_[0].data(), planes_[1].data(), planes_[2].data(), planes_[3].data()});
    read_ = view;
    return true;
}

PreviewPlanes PreviewSource::Planes(int16_t space, bool sixteenBit, bool live) const {
    return {{planes_[0].data(), planes_[1].data(), planes_[2].data(), planes_[3].data()},
            width_,
            height_,
            space,
            sixteenBit,
            live};
}

} // namespace quillon::dialog

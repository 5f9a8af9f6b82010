#include "core/suites/ChannelPorts.h"

#include "core/suites/SessionServices.h"
#include "pluginapi/PIChannelPorts.h"

#include <algorithm>
#include <cstring>

namespace quillon::filterhost {
namespace {

const char* ChannelName(int16_t type) {
    static const char* const kNames[] = {"",       "Red",   "Green",     "Blue", "Cyan", "Magenta",
                                         "Yellow", "Black", "Lightness", "a",    "b"};
    return type >= 0 && type <= 10 ? kNames[type] : "";
}

// 16-bit samples run 0..32768.
uint8_t To8(uint16_t v, int depth) {
    return depth == 16 ? uint8_t((uint32_t(v) * 255 + 16384) / 32768) : uint8_t(v);
}

bool ValidMemory(const PixelMemoryDesc* memory, int depth) {
    return memory && memory->data && (memory->depth == 8 || memory->depth == 16) &&
           memory->depth == depth && memory->colBits >= depth && memory->colBits % 8 == 0 &&
           memory->rowBits > 0 && memory->rowBits % 8 == 0 && memory->bitOffset >= 0 &&
           memory->bitOffset % 8 == 0;
}

// The byte of sample (column, row) counted from the memory's first sample.
uint8_t* SampleAt(const PixelMemoryDesc& memory, int64_t column, int64_t row) {
    const int64_t bits = int64_t(memory.bitOffset) + row * memory.rowBits + column * memory.colBits;
    return static_cast<uint8_t*>(memory.data) + bits / 8;
}

void Store(const PixelMemoryDesc& memory, int64_t column, int64_t row, uint16_t value) {
    uint8_t* at = SampleAt(memory, column, row);
    if (memory.depth == 8)
        *at = uint8_t(value);
    else
        std::memcpy(at, &value, 2);
}

VRect Intersect(const VRect& a, const VRect& b) {
    VRect r{std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom),
            std::min(a.right, b.right)};
    if (r.bottom <= r.top || r.right <= r.left) r = {};
    return r;
}

bool Empty(const VRect& r) {
    return r.bottom <= r.top || r.right <= r.left;
}

bool Contains(const VRect& outer, const VRect& inner) {
    return inner.top >= outer.top && inner.left >= outer.left && inner.bottom <= outer.bottom &&
           inner.right <= outer.right;
}

} // namespace

struct ChannelPortCalls {
    // Plug-ins hand ports back through C, so every port is checked against the session's table.
    static const ChannelPorts::Port* Find(PIChannelPort port) {
        SessionServices* session = SessionServices::Current();
        return session ? session->Handles().Find<ChannelPorts::Port>(port, HandleKind::Port)
                       : nullptr;
    }

    static VRect Bounds(const ChannelPorts::Port& port) {
        return {0, 0, port.document->height, port.document->width};
    }

    static SPErr CountLevels(PIChannelPort port, int32* count) noexcept {
        if (!count) return kSPBadParameterError;
        *count = 0;
        if (!Find(port)) return kSPBadParameterError;
        *count = 1;
        return kSPNoError;
    }

    static SPErr GetDepth(PIChannelPort port, int32* depth) noexcept {
        if (!depth) return kSPBadParameterError;
        *depth = 0;
        const auto* p = Find(port);
        if (!p) return kSPBadParameterError;
        *depth = p->document->depth;
        return kSPNoError;
    }

    static SPErr GetDataBounds(PIChannelPort port, VRect* bounds) noexcept {
        if (!bounds) return kSPBadParameterError;
        *bounds = {};
        const auto* p = Find(port);
        if (!p) return kSPBadParameterError;
        *bounds = Bounds(*p);
        return kSPNoError;
    }

    // Samples outside the channel are left as they are; data starts at rect's top left.
    static SPErr ReadPixelsFromLevel(PIChannelPort port, int32 level, const VRect* rect,
                                     const PixelMemoryDesc* memory, VRect* wrote) noexcept {
        if (wrote) *wrote = {};
        const auto* p = Find(port);
        if (!p || level != 0 || !rect || !ValidMemory(memory, p->document->depth))
            return kSPBadParameterError;
        const VRect area = Intersect(*rect, Bounds(*p));
        const int depth = p->document->depth;
        for (int32 y = area.top; y < area.bottom; ++y)
            for (int32 x = area.left; x < area.right; ++x) {
                const uint16_t v = p->document->At(p->plane, x, y);
                Store(*memory, int64_t(x) - rect->left, int64_t(y) - rect->top,
                      depth == 16 ? v : uint16_t(To8(v, depth)));
            }
        if (wrote) *wrote = area;
        return kSPNoError;
    }

    // The destination rectangle's pixels sample the source rectangle at their centres; readRect
    // (destination coordinates) picks the part wanted, and data starts at its top left.
    static SPErr ReadScaled(PIChannelPort port, const VRect* readRect, const PSScaling* scaling,
                            const PixelMemoryDesc* memory, VRect* wrote) noexcept {
        if (wrote) *wrote = {};
        const auto* p = Find(port);
        if (!p || !readRect || !scaling || !memory || memory->depth != 8 || !ValidMemory(memory, 8))
            return kSPBadParameterError;
        const VRect& source = scaling->sourceRect;
        const VRect& destination = scaling->destinationRect;
        if (Empty(source) || Empty(destination) || !Contains(Bounds(*p), source))
            return kSPBadParameterError;
        const VRect area = Intersect(*readRect, destination);
        const int64_t sourceWidth = int64_t(source.right) - source.left;
        const int64_t sourceHeight = int64_t(source.bottom) - source.top;
        const int64_t destinationWidth = int64_t(destination.right) - destination.left;
        const int64_t destinationHeight = int64_t(destination.bottom) - destination.top;
        const int depth = p->document->depth;
        for (int32 y = area.top; y < area.bottom; ++y) {
            const int64_t sy = source.top + (2 * (int64_t(y) - destination.top) + 1) *
                                                sourceHeight / (2 * destinationHeight);
            for (int32 x = area.left; x < area.right; ++x) {
                const int64_t sx = source.left + (2 * (int64_t(x) - destination.left) + 1) *
                                                     sourceWidth / (2 * destinationWidth);
                Store(*memory, int64_t(x) - readRect->left, int64_t(y) - readRect->top,
                      To8(p->document->At(p->plane, int32_t(sx), int32_t(sy)), depth));
            }
        }
        if (wrote) *wrote = area;
        return kSPNoError;
    }

    static SPErr ReadScaledPixels(PIChannelPort port, const VRect* readRect,
                                  const PSScaling* scaling, const PixelMemoryDesc* memory,
                                  VRect* wrote) noexcept {
        return ReadScaled(port, readRect, scaling, memory, wrote);
    }

    static OSErr ReadPixelsProc(PIChannelPort port, const PSScaling* scaling,
                                const VRect* writeRect, const PixelMemoryDesc* memory,
                                VRect* wrote) noexcept {
        return ReadScaled(port, writeRect, scaling, memory, wrote) == kSPNoError
                   ? noErr
                   : filterBadParameters;
    }
};

namespace {
const PSChannelPortsSuite1 kSuite = {
    &ChannelPortCalls::CountLevels, &ChannelPortCalls::GetDepth, &ChannelPortCalls::GetDataBounds,
    &ChannelPortCalls::ReadPixelsFromLevel, &ChannelPortCalls::ReadScaledPixels};
} // namespace

std::vector<int16_t> ChannelTypesOf(ColorMode mode) {
    switch (mode) {
    case ColorMode::RGB:
        return {ctRed, ctGreen, ctBlue};
    case ColorMode::CMYK:
        return {ctCyan, ctMagenta, ctYellow, ctBlack};
    case ColorMode::Lab:
        return {ctL, ctA, ctB};
    }
    return {};
}

ChannelPorts::ChannelPorts(const Document& document, HandleTable& table)
    : document_(document), table_(table), procs_{1, 1, &ChannelPortCalls::ReadPixelsProc} {
    const auto types = ChannelTypesOf(document.mode);
    descriptors_.resize(types.size());
    for (size_t i = 0; i < types.size(); ++i) {
        ports_.push_back(std::make_unique<Port>(Port{&document_, int(i)}));
        table_.Add(ports_.back().get(), HandleKind::Port);
        ReadChannelDesc& d = descriptors_[i];
        d.minVersion = d.maxVersion = 0;
        d.next = i + 1 < types.size() ? &descriptors_[i + 1] : nullptr;
        d.port = reinterpret_cast<PIChannelPort>(ports_.back().get());
        d.bounds = {0, 0, document.height, document.width};
        d.depth = document.depth;
        d.tileSize = {document.height, document.width};
        d.tileOrigin = {0, 0};
        d.target = true;
        d.shown = true;
        d.channelType = types[i];
        d.contextInfo = nullptr;
        d.name = ChannelName(types[i]);
    }
}

ChannelPorts::~ChannelPorts() {
    for (const auto& port : ports_)
        table_.Remove(port.get(), HandleKind::Port);
}

const PSChannelPortsSuite1* ChannelPorts::Suite() const {
    return &kSuite;
}

} // namespace quillon::filterhost

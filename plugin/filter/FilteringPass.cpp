#include "filter/FilteringPass.h"

#include "suites/HostSuites.h"
#include "suites/PluginState.h"

#include <algorithm>
#include <cstdlib>

namespace quillon::filter {
namespace {

bool Uses32BitCoordinates(const FilterRecord& record) {
    return record.bigDocumentData && record.bigDocumentData->PluginUsing32BitCoordinates != 0;
}

VRect Widen(const Rect& r) {
    return {r.top, r.left, r.bottom, r.right};
}

} // namespace

VRect FilterRectangle() {
    const FilterRecord& record = *suites::State().filterRecord;
    return Uses32BitCoordinates(record) ? record.bigDocumentData->filterRect32
                                        : Widen(record.filterRect);
}

VRect OutputRectangle() {
    const FilterRecord& record = *suites::State().filterRecord;
    return Uses32BitCoordinates(record) ? record.bigDocumentData->outRect32 : Widen(record.outRect);
}

void SetOutputRectangle(int32_t top, int32_t left, int32_t bottom, int32_t right) {
    FilterRecord& record = *suites::State().filterRecord;
    if (Uses32BitCoordinates(record)) {
        record.bigDocumentData->outRect32 = {top, left, bottom, right};
    } else {
        record.outRect = {static_cast<int16>(top), static_cast<int16>(left),
                          static_cast<int16>(bottom), static_cast<int16>(right)};
    }
}

} // namespace quillon::filter

namespace quillon::filter {
namespace {

// Pixels of one tile row handed to the host and the engine per call; wider tiles are processed
// in pieces of this size.
constexpr int32_t kRowPixels = 16000;

// The row buffer holds the same records for both depths.
static_assert(sizeof(Color8) == sizeof(engine::ColorRecord8));
static_assert(sizeof(Color16) == sizeof(engine::ColorRecord16));

template <typename Sample> struct Depth;

template <> struct Depth<uint8_t> {
    using Record = Color8;
    static void Convert(ColorSpace from, ColorSpace to, Record* records, int32_t count) {
        suites::ColorSpace().Convert8(from, to, records, int16(count));
    }
    static void Transform(Record* records, int32_t count) {
        suites::Engine().Transform8(reinterpret_cast<engine::ColorRecord8*>(records), count);
    }
};

template <> struct Depth<uint16_t> {
    using Record = Color16;
    static void Convert(ColorSpace from, ColorSpace to, Record* records, int32_t count) {
        suites::ColorSpace().Convert16(from, to, records, int16(count));
    }
    static void Transform(Record* records, int32_t count) {
        suites::Engine().Transform16(reinterpret_cast<engine::ColorRecord16*>(records), count);
    }
};

// Pack a row's samples into records (CMYK fills all four components, RGB and Lab c1..c3),
// convert into the engine's space, transform, convert back and unpack. Pixels the engine left
// as they were keep their samples: a trip through 8-bit Lab and back would move them by a few
// levels, and through CMYK change their inks, although nothing was asked of them. A change of
// one unit is the engine's truncation of an identity (an 8-bit value v enters as 128v and may
// come back as 128v - 1), not an adjustment.
template <typename Sample> void ProcessRowPiece(Sample* pixels, int32_t count, int16_t space) {
    using Record = typename Depth<Sample>::Record;
    Record buffer[kRowPixels];
    Record before[kRowPixels];
    const bool cmyk = space == plugIncolorServicesCMYKSpace;
    const int32_t samplesPerPixel = cmyk ? 4 : 3;
    for (int32_t i = 0; i < count; ++i) {
        const Sample* p = pixels + samplesPerPixel * i;
        buffer[i] = cmyk ? Record{p[0], p[1], p[2], p[3]} : Record{0, p[0], p[1], p[2]};
    }
    const ColorSpace ics = static_cast<ColorSpace>(suites::Engine().IcsCode());
    if (space != ics) Depth<Sample>::Convert(space, ics, buffer, count);
    std::copy(buffer, buffer + count, before);
    Depth<Sample>::Transform(buffer, count);
    constexpr int kTolerance = 1;
    bool moved[kRowPixels];
    for (int32_t i = 0; i < count; ++i)
        moved[i] = std::abs(buffer[i].c1 - before[i].c1) > kTolerance ||
                   std::abs(buffer[i].c2 - before[i].c2) > kTolerance ||
                   std::abs(buffer[i].c3 - before[i].c3) > kTolerance;
    if (space != ics) Depth<Sample>::Convert(ics, space, buffer, count);
    for (int32_t i = 0; i < count; ++i) {
        if (!moved[i]) continue;
        Sample* p = pixels + samplesPerPixel * i;
        if (cmyk) {
            p[0] = buffer[i].c0, p[1] = buffer[i].c1, p[2] = buffer[i].c2, p[3] = buffer[i].c3;
        } else {
            p[0] = buffer[i].c1, p[1] = buffer[i].c2, p[2] = buffer[i].c3;
        }
    }
}

template <typename Sample> void ProcessTile(uint8_t* rows, const VRect& tile, int32_t rowBytes) {
    const int16_t space = ImageModeToSpace(suites::State().filterRecord->imageMode);
    const uint16_t width = static_cast<uint16_t>(tile.right - tile.left);
    const uint16_t height = static_cast<uint16_t>(tile.bottom - tile.top);
    const int32_t samplesPerPixel = space == plugIncolorServicesCMYKSpace ? 4 : 3;
    // 16-bit rows start on an even byte.
    const size_t stride = size_t(rowBytes) & ~(sizeof(Sample) - 1);
    for (uint16_t y = 0; y < height; ++y) {
        Sample* row = reinterpret_cast<Sample*>(rows + y * stride);
        for (int32_t done = 0; done < width; done += kRowPixels)
            ProcessRowPiece(row + done * samplesPerPixel,
                            std::min<int32_t>(kRowPixels, width - done), space);
    }
}

} // namespace

void ProcessTile8(uint8_t* rows, const VRect& tile, int32_t rowBytes) {
    ProcessTile<uint8_t>(rows, tile, rowBytes);
}

void ProcessTile16(uint8_t* rows, const VRect& tile, int32_t rowBytes) {
    ProcessTile<uint16_t>(rows, tile, rowBytes);
}

void RunFilteringPass() {
    suites::PluginState& state = suites::State();
    FilterRecord& record = *state.filterRecord;
    if (suites::Engine().UserCount() == 0) return;

    const int32_t tileWidth = static_cast<uint16_t>(record.outTileWidth);
    const int32_t tileHeight = static_cast<uint16_t>(record.outTileHeight);
    if (tileWidth == 0 || tileHeight == 0 || !record.advanceState) {
        *state.result = filterBadParameters;
        return;
    }
    // Acquired before the first tile so that a missing suite ends the pass before any pixel.
    suites::ColorSpace();

    const VRect filter = FilterRectangle();
    // 32-bit counters: a tall document in small tiles needs more than 65535 tile rows.
    const int32_t rows = (filter.bottom - filter.top + tileHeight - 1) / tileHeight;
    const int32_t columns = (filter.right - filter.left + tileWidth - 1) / tileWidth;
    const int16 lastPlane =
        ImageModeToSpace(record.imageMode) == plugIncolorServicesCMYKSpace ? 3 : 2;
    record.inLoPlane = record.outLoPlane = 0;
    record.inHiPlane = record.outHiPlane = lastPlane;

    for (int32_t r = 0; r < rows; ++r) {
        const int32_t top = filter.top + r * tileHeight;
        const int32_t bottom = std::min(top + tileHeight, filter.bottom);
        for (int32_t c = 0; c < columns; ++c) {
            const int32_t left = filter.left + c * tileWidth;
            const int32_t right = std::min(left + tileWidth, filter.right);
            SetOutputRectangle(top, left, bottom, right);
            *state.result = record.advanceState();
            if (*state.result != noErr) return;
            const VRect tile = OutputRectangle();
            auto* data = static_cast<uint8_t*>(record.outData);
            if (record.depth == 16)
                ProcessTile16(data, tile, record.outRowBytes);
            else
                ProcessTile8(data, tile, record.outRowBytes);
        }
        if (record.progressProc) record.progressProc(r + 1, rows);
        if (record.abortProc && record.abortProc()) {
            *state.result = userCanceledErr;
            break;
        }
    }
    SetOutputRectangle(0, 0, 0, 0);
}

} // namespace quillon::filter

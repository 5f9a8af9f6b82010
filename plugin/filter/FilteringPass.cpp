#include "filter/FilteringPass.h"

#include "filter/FilterRectangles.h"
#include "filter/PluginState.h"
#include "mapping/RowMappers.h"
#include "suites/HostError.h"

#include <algorithm>
#include <optional>

namespace quillon::filter {
namespace {

using mapping::ColorStore;
using mapping::HashedColorStore;

// The pass's store, in a buffer of the host's for the length of the pass: indexed directly for
// three-channel 8-bit documents, hashed for 16-bit and CMYK ones. None (and every pixel mapped
// anew) for pictures too small to repay clearing the store (4 MiB indexed, 32 MiB hashed; a
// pixel mapped anew costs at least 100 ns), or when the host has no buffer to lend.
class PassStore {
  public:
    static constexpr int64_t kMinPixels = int64_t{1} << 16;

    PassStore(const FilterRecord& record, const VRect& filter, bool cmyk) {
        const BufferProcs* procs = record.bufferProcs;
        const bool hashed = record.depth == 16 || cmyk;
        const int64_t pixels =
            int64_t(filter.bottom - filter.top) * int64_t(filter.right - filter.left);
        if (pixels < kMinPixels || !procs || !procs->allocateProc || !procs->lockProc ||
            !procs->freeProc)
            return;
        const size_t bytes = hashed ? HashedColorStore::kBytes : ColorStore::kBytes;
        if (procs->allocateProc(int32(bytes), &buffer_) != noErr || !buffer_) return;
        procs_ = procs;
        void* memory = procs->lockProc(buffer_, false);
        if (!memory || reinterpret_cast<uintptr_t>(memory) % alignof(uint64_t) != 0) return;
        if (hashed)
            hashed_.emplace(memory);
        else
            indexed_.emplace(memory);
    }
    ~PassStore() {
        if (!procs_) return;
        if (procs_->unlockProc) procs_->unlockProc(buffer_);
        procs_->freeProc(buffer_);
    }
    PassStore(const PassStore&) = delete;
    PassStore& operator=(const PassStore&) = delete;

    ColorStore* Indexed() { return indexed_ ? &*indexed_ : nullptr; }
    HashedColorStore* Hashed() { return hashed_ ? &*hashed_ : nullptr; }

  private:
    const BufferProcs* procs_ = nullptr;
    BufferID buffer_ = nullptr;
    std::optional<ColorStore> indexed_;
    std::optional<HashedColorStore> hashed_;
};

// One tile of the host's output buffer, rewritten in place. A conversion the host cannot make
// (an unusable colour profile) abandons the pass with the host's code rather than leaving the
// row unconverted.
void MapTile(mapping::RowMapper& rows, uint8_t* data, const VRect& tile, int32_t rowBytes,
             int32_t depth) {
    const int32_t width = tile.right - tile.left;
    const int32_t height = tile.bottom - tile.top;
    // 16-bit rows start on an even byte.
    const size_t stride = depth == 16 ? size_t(rowBytes) & ~size_t{1} : size_t(rowBytes);
    for (int32_t y = 0; y < height; ++y)
        if (const SPErr error = rows.MapRow(data + size_t(y) * stride, width))
            throw suites::HostError{error};
}

} // namespace

void RunFilteringPass() {
    PluginState& state = State();
    FilterRecord& record = *state.filterRecord;
    if (Engine().UserCount() == 0) return;

    const int32_t tileWidth = static_cast<uint16_t>(record.outTileWidth);
    const int32_t tileHeight = static_cast<uint16_t>(record.outTileHeight);
    if (tileWidth == 0 || tileHeight == 0 || !record.advanceState) {
        *state.result = filterBadParameters;
        return;
    }
    // Acquired before the first tile so that a missing suite ends the pass before any pixel.
    const PSColorSpaceSuite1& colorSpace = suites::ColorSpace();

    const VRect filter = FilterRectangle(record);
    // 32-bit counters: a tall document in small tiles needs more than 65535 tile rows.
    const int32_t rows = (filter.bottom - filter.top + tileHeight - 1) / tileHeight;
    const int32_t columns = (filter.right - filter.left + tileWidth - 1) / tileWidth;
    const int16_t space = ImageModeToSpace(record.imageMode);
    const bool cmyk = space == plugIncolorServicesCMYKSpace;
    record.inLoPlane = record.outLoPlane = 0;
    record.inHiPlane = record.outHiPlane = cmyk ? 3 : 2;

    PassStore store(record, filter, cmyk);
    const int32_t depth = record.depth == 16 ? 16 : 8;
    // 8-bit RGB and CMYK are mapped at 16 bits and rounded once; 8-bit Lab documents hold 8-bit
    // Lab, which the engine maps as it is.
    const bool through16 = depth == 8 && space != plugIncolorServicesLabSpace;
    mapping::MapStep step(Engine(), colorSpace, space, space, mapping::kRowPixels, through16);
    const std::unique_ptr<mapping::RowMapper> mapper =
        mapping::MakeRowMapper(step, depth, store.Indexed(), store.Hashed());

    for (int32_t r = 0; r < rows; ++r) {
        const int32_t top = filter.top + r * tileHeight;
        const int32_t bottom = std::min(top + tileHeight, filter.bottom);
        for (int32_t c = 0; c < columns; ++c) {
            const int32_t left = filter.left + c * tileWidth;
            const int32_t right = std::min(left + tileWidth, filter.right);
            SetOutputRectangle(record, top, left, bottom, right);
            *state.result = record.advanceState();
            if (*state.result != noErr) return;
            MapTile(*mapper, static_cast<uint8_t*>(record.outData), OutputRectangle(record),
                    record.outRowBytes, depth);
        }
        if (record.progressProc) record.progressProc(r + 1, rows);
        if (record.abortProc && record.abortProc()) {
            *state.result = userCanceledErr;
            break;
        }
    }
    SetOutputRectangle(record, 0, 0, 0, 0);
}

} // namespace quillon::filter

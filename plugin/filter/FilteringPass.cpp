#include "filter/FilteringPass.h"

#include "filter/PluginState.h"
#include "suites/HostError.h"
#include "suites/HostSuites.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <optional>

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
    const FilterRecord& record = *State().filterRecord;
    return Uses32BitCoordinates(record) ? record.bigDocumentData->filterRect32
                                        : Widen(record.filterRect);
}

VRect OutputRectangle() {
    const FilterRecord& record = *State().filterRecord;
    return Uses32BitCoordinates(record) ? record.bigDocumentData->outRect32 : Widen(record.outRect);
}

void SetOutputRectangle(int32_t top, int32_t left, int32_t bottom, int32_t right) {
    FilterRecord& record = *State().filterRecord;
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

// How many pixels ahead a row's lookups in the hashed store ask for their memory: the store is
// far larger than the caches and a colour's slot is unrelated to its neighbours'.
constexpr int32_t kLookAhead = 32;

// The row buffer holds the same records for both depths.
static_assert(sizeof(Color8) == sizeof(engine::ColorRecord8));
static_assert(sizeof(Color16) == sizeof(engine::ColorRecord16));

// A conversion the host cannot make (an unusable colour profile) abandons the pass with the
// host's code rather than leaving the row unconverted.
void Check(SPErr converted) {
    if (converted != kSPNoError) throw suites::HostError{converted};
}

template <typename Sample> struct Depth;

template <> struct Depth<uint8_t> {
    using Record = Color8;
    static void Convert(ColorSpace from, ColorSpace to, Record* records, int32_t count) {
        Check(suites::ColorSpace().Convert8(from, to, records, int16(count)));
    }
    static void Transform(Record* records, int32_t count) {
        Engine().Transform8(reinterpret_cast<engine::ColorRecord8*>(records), count);
    }
    static void Transform(Record* records, int32_t count, engine::SearchOrder& order) {
        Engine().Transform8(reinterpret_cast<engine::ColorRecord8*>(records), count, order);
    }
};

template <> struct Depth<uint16_t> {
    using Record = Color16;
    static void Convert(ColorSpace from, ColorSpace to, Record* records, int32_t count) {
        Check(suites::ColorSpace().Convert16(from, to, records, int16(count)));
    }
    static void Transform(Record* records, int32_t count) {
        Engine().Transform16(reinterpret_cast<engine::ColorRecord16*>(records), count);
    }
    static void Transform(Record* records, int32_t count, engine::SearchOrder& order) {
        Engine().Transform16(reinterpret_cast<engine::ColorRecord16*>(records), count, order);
    }
};

template <typename Record> bool Moved(const Record& after, const Record& before) {
    constexpr int kTolerance = 1;
    return std::abs(after.c1 - before.c1) > kTolerance ||
           std::abs(after.c2 - before.c2) > kTolerance ||
           std::abs(after.c3 - before.c3) > kTolerance;
}

// A pixel's samples as a record and back: CMYK fills all four components, RGB and Lab c1..c3.
template <typename Sample, typename Record = typename Depth<Sample>::Record>
Record Pack(const Sample* p, bool cmyk) {
    return cmyk ? Record{p[0], p[1], p[2], p[3]} : Record{0, p[0], p[1], p[2]};
}

template <typename Sample, typename Record> void Unpack(const Record& r, Sample* p, bool cmyk) {
    if (cmyk) {
        p[0] = r.c0, p[1] = r.c1, p[2] = r.c2, p[3] = r.c3;
    } else {
        p[0] = r.c1, p[1] = r.c2, p[2] = r.c3;
    }
}

// Converts records into the engine's space, transforms them and converts them back, with the
// caller's search order or the engine's own. `moved` says which the engine changed: a pixel it
// left as it was keeps its samples, for a trip through 8-bit Lab and back would move it by a few
// levels, and through CMYK change its inks, although nothing was asked of it. A change of one
// unit is the engine's truncation of an identity (an 8-bit value v enters as 128v and may come
// back as 128v - 1), not an adjustment.
template <typename Record>
void MapRecords(Record* records, int32_t count, int16_t space, bool* moved,
                engine::SearchOrder* order) {
    using Sample = decltype(Record::c1);
    Record before[kRowPixels];
    const ColorSpace ics = static_cast<ColorSpace>(Engine().IcsCode());
    if (space != ics) Depth<Sample>::Convert(space, ics, records, count);
    std::copy(records, records + count, before);
    if (order)
        Depth<Sample>::Transform(records, count, *order);
    else
        Depth<Sample>::Transform(records, count);
    for (int32_t i = 0; i < count; ++i)
        moved[i] = Moved(records[i], before[i]);
    if (space != ics) Depth<Sample>::Convert(ics, space, records, count);
}

// Every pixel of a row piece mapped anew.
template <typename Sample> void ProcessRowPiece(Sample* pixels, int32_t count, int16_t space) {
    typename Depth<Sample>::Record buffer[kRowPixels];
    bool moved[kRowPixels];
    const bool cmyk = space == plugIncolorServicesCMYKSpace;
    const int32_t samplesPerPixel = cmyk ? 4 : 3;
    for (int32_t i = 0; i < count; ++i)
        buffer[i] = Pack(pixels + samplesPerPixel * i, cmyk);
    MapRecords(buffer, count, space, moved, nullptr);
    for (int32_t i = 0; i < count; ++i)
        if (moved[i]) Unpack(buffer[i], pixels + samplesPerPixel * i, cmyk);
}

// The results of one pass per input colour of a three-channel 8-bit document (RGB or Lab):
// within a pass the transformation does not change, and a photograph holds few distinct colours
// compared with its pixels, so each colour is converted and transformed once. Indexed directly by
// the colour's three samples: two bits say whether the colour's result is known or is being
// computed for the row piece at hand, three bytes hold the samples the pass writes for it. Fixed
// size whatever the picture: 4 MiB of bits, 48 MiB of results and the pass's search order,
// about 52 MiB in one host buffer.
class ColorStore {
  public:
    static constexpr size_t kColors = size_t{1} << 24;
    static constexpr size_t kOrderBytes = (sizeof(engine::SearchOrder) + 63) & ~size_t{63};
    static constexpr size_t kStateBytes = kColors / 4;
    static constexpr size_t kBytes = kOrderBytes + kStateBytes + 3 * kColors;
    static constexpr uint64_t kKnown = 1, kPending = 2;

    // `memory` is kBytes long and 8-byte aligned.
    explicit ColorStore(void* memory)
        : order_(new (memory) engine::SearchOrder),
          state_(reinterpret_cast<uint64_t*>(static_cast<uint8_t*>(memory) + kOrderBytes)),
          results_(static_cast<uint8_t*>(memory) + kOrderBytes + kStateBytes) {
        std::fill_n(state_, kColors / 32, 0);
    }

    static uint32_t Key(const uint8_t* p) { return uint32_t(p[0]) << 16 | p[1] << 8 | p[2]; }
    uint64_t State(uint32_t key) const { return state_[key >> 5] >> (2 * (key & 31)) & 3; }
    void Mark(uint32_t key, uint64_t state) {
        uint64_t& word = state_[key >> 5];
        const int shift = 2 * (key & 31);
        word = (word & ~(uint64_t{3} << shift)) | state << shift;
    }
    uint8_t* Result(uint32_t key) { return results_ + 3 * size_t(key); }
    engine::SearchOrder& Order() { return *order_; }

  private:
    engine::SearchOrder* order_;
    uint64_t* state_;
    uint8_t* results_;
};

// The stored form of ProcessRowPiece for three-channel 8-bit rows: a pixel whose colour is known
// takes its result at once; colours not seen yet in this pass are gathered (each once) and mapped
// together; then the pixels that waited for them take their results.
void ProcessStoredRowPiece(uint8_t* pixels, int32_t count, int16_t space, ColorStore& store) {
    Color8 buffer[kRowPixels];
    bool moved[kRowPixels];
    uint32_t keys[kRowPixels];
    int32_t waiting[kRowPixels];
    int32_t misses = 0, waits = 0;
    for (int32_t i = 0; i < count; ++i) {
        uint8_t* p = pixels + 3 * i;
        const uint32_t key = ColorStore::Key(p);
        const uint64_t state = store.State(key);
        if (state == ColorStore::kKnown) {
            const uint8_t* r = store.Result(key);
            p[0] = r[0], p[1] = r[1], p[2] = r[2];
            continue;
        }
        waiting[waits++] = i;
        if (state == ColorStore::kPending) continue;
        store.Mark(key, ColorStore::kPending);
        keys[misses] = key;
        buffer[misses++] = Pack(p, false);
    }
    if (misses == 0) return;
    MapRecords(buffer, misses, space, moved, &store.Order());
    for (int32_t j = 0; j < misses; ++j) {
        uint8_t* r = store.Result(keys[j]);
        const uint32_t key = keys[j];
        if (moved[j]) {
            Unpack(buffer[j], r, false);
        } else {
            r[0] = uint8_t(key >> 16), r[1] = uint8_t(key >> 8), r[2] = uint8_t(key);
        }
        store.Mark(key, ColorStore::kKnown);
    }
    for (int32_t w = 0; w < waits; ++w) {
        uint8_t* p = pixels + 3 * waiting[w];
        const uint8_t* r = store.Result(ColorStore::Key(p));
        p[0] = r[0], p[1] = r[1], p[2] = r[2];
    }
}

// The same where colours are too many to index directly (16-bit documents) or have four
// samples (CMYK): a hash table of 2 Mi slots of 16 bytes (32 MiB), each a colour's samples and
// the samples the pass writes for it. A colour whose few candidate slots are all taken by others
// is mapped without being kept. In front of it, a small table of the colours met last (256 KiB,
// one entry per hash) answers the colours that recur nearby without reaching into the large one. A
// picture whose colours rarely repeat (a noisy 16-bit scan) gains nothing from the table, so a pass
// that finds fewer than one colour in four already known after its first million pixels maps the
// rest anew.
class HashedColorStore {
  public:
    struct Slot {
        uint64_t key; // kEmpty, or the colour's samples
        uint16_t result[4];
    };
    static constexpr size_t kSlots = size_t{1} << 21;
    static constexpr size_t kRecent = size_t{1} << 14;
    static constexpr int kProbes = 8;
    static constexpr size_t kOrderBytes = ColorStore::kOrderBytes;
    static constexpr size_t kBytes = kOrderBytes + (kRecent + kSlots) * sizeof(Slot);
    // No colour has four samples of 0xFFFF: samples run to 255 at 8 bits, to 32768 at 16.
    static constexpr uint64_t kEmpty = ~uint64_t{0};

    explicit HashedColorStore(void* memory)
        : order_(new (memory) engine::SearchOrder),
          recent_(reinterpret_cast<Slot*>(static_cast<uint8_t*>(memory) + kOrderBytes)),
          slots_(recent_ + kRecent) {
        std::fill_n(recent_, kRecent + kSlots, Slot{kEmpty, {}});
    }

    // A pixel's samples, 16 bits each.
    template <typename Sample> static uint64_t Key(const Sample* p, int32_t samples) {
        uint64_t key = 0;
        for (int32_t c = 0; c < samples; ++c)
            key = key << 16 | p[c];
        return key;
    }
    static size_t Home(uint64_t key) { return size_t((key * 0x9E3779B97F4A7C15ull) >> (64 - 21)); }
    // Asks for a colour's first slot ahead of its Find.
    void Prefetch(uint64_t key) const { __builtin_prefetch(&slots_[Home(key)]); }
    // A colour's result when it is among the colours met last, else null.
    const uint16_t* Recall(uint64_t key) {
        const Slot& r = recent_[Home(key) & (kRecent - 1)];
        if (r.key != key || key == kEmpty) return nullptr;
        ++lookups_;
        ++hits_;
        return r.result;
    }
    template <typename Sample> void Remember(uint64_t key, const Sample* result, int32_t samples) {
        Slot& r = recent_[Home(key) & (kRecent - 1)];
        r.key = key;
        std::copy_n(result, samples, r.result);
    }
    // The slot that holds a colour, taken for it when it is new (`fresh`); -1 when there is no
    // room for it.
    int32_t Find(uint64_t key, bool& fresh) {
        ++lookups_;
        fresh = true;
        if (key == kEmpty) return -1; // samples out of range: mapped, never kept
        size_t at = Home(key);
        for (int probe = 0; probe < kProbes; ++probe, at = (at + 1) & (kSlots - 1)) {
            Slot& s = slots_[at];
            if (s.key == key) {
                ++hits_;
                fresh = false;
                return int32_t(at);
            }
            if (s.key == kEmpty) {
                s.key = key;
                return int32_t(at);
            }
        }
        return -1;
    }
    Slot& At(int32_t slot) { return slots_[slot]; }
    engine::SearchOrder& Order() { return *order_; }
    bool Pays() const { return lookups_ < (1 << 20) || hits_ * 4 >= lookups_; }

  private:
    engine::SearchOrder* order_;
    Slot* recent_;
    Slot* slots_;
    uint64_t lookups_ = 0;
    uint64_t hits_ = 0;
};

template <typename Sample>
void ProcessStoredRowPiece(Sample* pixels, int32_t count, int16_t space, HashedColorStore& store) {
    typename Depth<Sample>::Record buffer[kRowPixels];
    bool moved[kRowPixels];
    int32_t slotOf[kRowPixels];
    int32_t missPixel[kRowPixels];
    int32_t misses = 0;
    const bool cmyk = space == plugIncolorServicesCMYKSpace;
    const int32_t samples = cmyk ? 4 : 3;
    for (int32_t i = 0; i < count; ++i) {
        Sample* p = pixels + samples * i;
        if (i + kLookAhead < count)
            store.Prefetch(HashedColorStore::Key(p + samples * kLookAhead, samples));
        const uint64_t key = HashedColorStore::Key(p, samples);
        if (const uint16_t* result = store.Recall(key)) {
            std::copy_n(result, samples, p);
            slotOf[i] = -1;
            continue;
        }
        bool fresh = false;
        slotOf[i] = store.Find(key, fresh);
        if (!fresh) continue;
        missPixel[misses] = i;
        buffer[misses++] = Pack(p, cmyk);
    }
    if (misses > 0) {
        MapRecords(buffer, misses, space, moved, &store.Order());
        for (int32_t j = 0; j < misses; ++j) {
            Sample* p = pixels + samples * missPixel[j];
            const uint64_t key = HashedColorStore::Key(p, samples);
            if (moved[j]) Unpack(buffer[j], p, cmyk);
            const int32_t slot = slotOf[missPixel[j]];
            if (slot >= 0) std::copy_n(p, samples, store.At(slot).result);
            store.Remember(key, p, samples);
            // Written once here; the copy below must not read it again.
            slotOf[missPixel[j]] = -1;
        }
    }
    for (int32_t i = 0; i < count; ++i) {
        if (slotOf[i] < 0) continue;
        const HashedColorStore::Slot& slot = store.At(slotOf[i]);
        std::copy_n(slot.result, samples, pixels + samples * i);
        store.Remember(slot.key, slot.result, samples);
    }
}

template <typename Sample, typename Store>
void ProcessTile(uint8_t* rows, const VRect& tile, int32_t rowBytes, Store* store) {
    const int16_t space = ImageModeToSpace(State().filterRecord->imageMode);
    const uint16_t width = static_cast<uint16_t>(tile.right - tile.left);
    const uint16_t height = static_cast<uint16_t>(tile.bottom - tile.top);
    const int32_t samplesPerPixel = space == plugIncolorServicesCMYKSpace ? 4 : 3;
    // 16-bit rows start on an even byte.
    const size_t stride = size_t(rowBytes) & ~(sizeof(Sample) - 1);
    for (uint16_t y = 0; y < height; ++y) {
        Sample* row = reinterpret_cast<Sample*>(rows + y * stride);
        for (int32_t done = 0; done < width; done += kRowPixels) {
            const int32_t count = std::min<int32_t>(kRowPixels, width - done);
            if (store) {
                ProcessStoredRowPiece(row + done * samplesPerPixel, count, space, *store);
                continue;
            }
            ProcessRowPiece(row + done * samplesPerPixel, count, space);
        }
    }
}

// The pass's store, in a buffer of the host's for the length of the pass: indexed directly for
// three-channel 8-bit documents, hashed for 16-bit and CMYK ones. None (and every pixel mapped
// anew) for pictures too small to repay clearing the store (4 MiB indexed, 32 MiB hashed; a
// pixel mapped anew costs at least 100 ns), or when the host has no buffer to lend.
class PassStore {
  public:
    static constexpr int64_t kMinPixels = int64_t{1} << 16;

    PassStore(const FilterRecord& record, const VRect& filter) {
        const BufferProcs* procs = record.bufferProcs;
        const bool hashed = record.depth == 16 ||
                            ImageModeToSpace(record.imageMode) == plugIncolorServicesCMYKSpace;
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
    HashedColorStore* Hashed() { return hashed_ && hashed_->Pays() ? &*hashed_ : nullptr; }

  private:
    const BufferProcs* procs_ = nullptr;
    BufferID buffer_ = nullptr;
    std::optional<ColorStore> indexed_;
    std::optional<HashedColorStore> hashed_;
};

} // namespace

void ProcessTile8(uint8_t* rows, const VRect& tile, int32_t rowBytes) {
    ProcessTile<uint8_t, ColorStore>(rows, tile, rowBytes, nullptr);
}

void ProcessTile16(uint8_t* rows, const VRect& tile, int32_t rowBytes) {
    ProcessTile<uint16_t, HashedColorStore>(rows, tile, rowBytes, nullptr);
}

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
    suites::ColorSpace();

    const VRect filter = FilterRectangle();
    // 32-bit counters: a tall document in small tiles needs more than 65535 tile rows.
    const int32_t rows = (filter.bottom - filter.top + tileHeight - 1) / tileHeight;
    const int32_t columns = (filter.right - filter.left + tileWidth - 1) / tileWidth;
    const int16 lastPlane =
        ImageModeToSpace(record.imageMode) == plugIncolorServicesCMYKSpace ? 3 : 2;
    record.inLoPlane = record.outLoPlane = 0;
    record.inHiPlane = record.outHiPlane = lastPlane;
    PassStore store(record, filter);

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
                ProcessTile<uint16_t>(data, tile, record.outRowBytes, store.Hashed());
            else if (ColorStore* indexed = store.Indexed())
                ProcessTile<uint8_t>(data, tile, record.outRowBytes, indexed);
            else
                ProcessTile<uint8_t>(data, tile, record.outRowBytes, store.Hashed());
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

#include "mapping/RowMappers.h"

#include <algorithm>
#include <vector>

namespace quillon::mapping {
namespace {

// How many pixels ahead a row's lookups in the hashed store ask for their memory: the store is
// far larger than the caches and a colour's slot is unrelated to its neighbours'.
constexpr int32_t kLookAhead = 32;

template <typename Sample> struct RecordOf;
template <> struct RecordOf<uint8_t> { using Type = Color8; };
template <> struct RecordOf<uint16_t> { using Type = Color16; };

// A pixel's samples as a record and back: CMYK fills all four components, RGB and Lab c1..c3.
template <typename Sample, typename Record = typename RecordOf<Sample>::Type>
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

// What every mapper keeps: its step, the document's layout and a row piece's records and marks.
template <typename Sample> class PieceMapper : public RowMapper {
  public:
    using Record = typename RecordOf<Sample>::Type;

    explicit PieceMapper(MapStep& step)
        : step_(step), cmyk_(step.From() == plugIncolorServicesCMYKSpace), samples_(cmyk_ ? 4 : 3),
          buffer_(kRowPixels), moved_(new bool[kRowPixels]) {}

    SPErr MapRow(void* samples, int32_t count) final {
        auto* pixels = static_cast<Sample*>(samples);
        for (int32_t done = 0; done < count; done += kRowPixels)
            if (const SPErr error = MapPiece(pixels + size_t(done) * size_t(samples_),
                                             std::min(kRowPixels, count - done)))
                return error;
        return kSPNoError;
    }

  protected:
    virtual SPErr MapPiece(Sample* pixels, int32_t count) = 0;

    // Every pixel of a row piece mapped anew.
    SPErr MapEvery(Sample* pixels, int32_t count) {
        for (int32_t i = 0; i < count; ++i)
            buffer_[size_t(i)] = Pack(pixels + samples_ * i, cmyk_);
        if (const SPErr error = step_.Map(buffer_.data(), count, moved_.get(), nullptr))
            return error;
        for (int32_t i = 0; i < count; ++i)
            if (moved_[i]) Unpack(buffer_[size_t(i)], pixels + samples_ * i, cmyk_);
        return kSPNoError;
    }

    MapStep& step_;
    const bool cmyk_;
    const int32_t samples_;
    std::vector<Record> buffer_;
    std::unique_ptr<bool[]> moved_;
};

template <typename Sample> class EveryPixelMapper final : public PieceMapper<Sample> {
  public:
    using PieceMapper<Sample>::PieceMapper;

  private:
    SPErr MapPiece(Sample* pixels, int32_t count) override { return this->MapEvery(pixels, count); }
};

// Three-channel 8-bit rows through the indexed store: a pixel whose colour is known takes its
// result at once; colours not seen yet in this pass are gathered (each once) and mapped together;
// then the pixels that waited for them take their results.
class IndexedMapper final : public PieceMapper<uint8_t> {
  public:
    IndexedMapper(MapStep& step, ColorStore& store)
        : PieceMapper(step), store_(store), keys_(kRowPixels), waiting_(kRowPixels) {}

  private:
    SPErr MapPiece(uint8_t* pixels, int32_t count) override {
        int32_t misses = 0, waits = 0;
        for (int32_t i = 0; i < count; ++i) {
            uint8_t* p = pixels + 3 * i;
            const uint32_t key = ColorStore::Key(p);
            const uint64_t state = store_.State(key);
            if (state == ColorStore::kKnown) {
                const uint8_t* r = store_.Result(key);
                p[0] = r[0], p[1] = r[1], p[2] = r[2];
                continue;
            }
            waiting_[size_t(waits++)] = i;
            if (state == ColorStore::kPending) continue;
            store_.Mark(key, ColorStore::kPending);
            keys_[size_t(misses)] = key;
            buffer_[size_t(misses++)] = Pack(p, false);
        }
        if (misses == 0) return kSPNoError;
        if (const SPErr error = step_.Map(buffer_.data(), misses, moved_.get(), &store_.Order()))
            return error;
        for (int32_t j = 0; j < misses; ++j) {
            const uint32_t key = keys_[size_t(j)];
            uint8_t* r = store_.Result(key);
            if (moved_[j]) {
                Unpack(buffer_[size_t(j)], r, false);
            } else {
                r[0] = uint8_t(key >> 16), r[1] = uint8_t(key >> 8), r[2] = uint8_t(key);
            }
            store_.Mark(key, ColorStore::kKnown);
        }
        for (int32_t w = 0; w < waits; ++w) {
            uint8_t* p = pixels + 3 * waiting_[size_t(w)];
            const uint8_t* r = store_.Result(ColorStore::Key(p));
            p[0] = r[0], p[1] = r[1], p[2] = r[2];
        }
        return kSPNoError;
    }

    ColorStore& store_;
    std::vector<uint32_t> keys_;
    std::vector<int32_t> waiting_;
};

// Rows through the hashed store while it pays; every pixel anew once it does not. The number of
// samples a pixel has is a constant of the mapper, so the keys and copies unroll.
template <typename Sample, int32_t kSamples> class HashedMapper final : public PieceMapper<Sample> {
  public:
    using Record = typename PieceMapper<Sample>::Record;

    HashedMapper(MapStep& step, HashedColorStore& store)
        : PieceMapper<Sample>(step), store_(store), slotOf_(kRowPixels), missPixel_(kRowPixels) {}

  private:
    static constexpr bool kCmyk = kSamples == 4;

    SPErr MapPiece(Sample* pixels, int32_t count) override {
        if (!store_.Pays()) return this->MapEvery(pixels, count);
        // Locals, so the loops keep them in registers across the stores into pixels and slots.
        HashedColorStore& store = store_;
        Record* buffer = this->buffer_.data();
        const bool* moved = this->moved_.get();
        int32_t* slotOf = slotOf_.data();
        int32_t* missPixel = missPixel_.data();
        int32_t misses = 0;
        for (int32_t i = 0; i < count; ++i) {
            Sample* p = pixels + kSamples * i;
            if (i + kLookAhead < count)
                store.Prefetch(HashedColorStore::Key(p + kSamples * kLookAhead, kSamples));
            const uint64_t key = HashedColorStore::Key(p, kSamples);
            if (const uint16_t* result = store.Recall(key)) {
                std::copy_n(result, kSamples, p);
                slotOf[i] = -1;
                continue;
            }
            bool fresh = false;
            slotOf[i] = store.Find(key, fresh);
            if (!fresh) continue;
            missPixel[misses] = i;
            buffer[misses++] = Pack(p, kCmyk);
        }
        if (misses > 0) {
            if (const SPErr error =
                    this->step_.Map(buffer, misses, this->moved_.get(), &store.Order()))
                return error;
            for (int32_t j = 0; j < misses; ++j) {
                const int32_t pixel = missPixel[j];
                Sample* p = pixels + kSamples * pixel;
                const uint64_t key = HashedColorStore::Key(p, kSamples);
                if (moved[j]) Unpack(buffer[j], p, kCmyk);
                const int32_t slot = slotOf[pixel];
                if (slot >= 0) std::copy_n(p, kSamples, store.At(slot).result);
                store.Remember(key, p, kSamples);
                // Written once here; the copy below must not read it again.
                slotOf[pixel] = -1;
            }
        }
        for (int32_t i = 0; i < count; ++i) {
            if (slotOf[i] < 0) continue;
            const HashedColorStore::Slot& slot = store.At(slotOf[i]);
            std::copy_n(slot.result, kSamples, pixels + kSamples * i);
            store.Remember(slot.key, slot.result, kSamples);
        }
        return kSPNoError;
    }

    HashedColorStore& store_;
    std::vector<int32_t> slotOf_;
    std::vector<int32_t> missPixel_;
};

template <typename Sample>
std::unique_ptr<RowMapper> MakeHashedMapper(MapStep& step, HashedColorStore& store) {
    if (step.From() == plugIncolorServicesCMYKSpace)
        return std::make_unique<HashedMapper<Sample, 4>>(step, store);
    return std::make_unique<HashedMapper<Sample, 3>>(step, store);
}

} // namespace

std::unique_ptr<RowMapper> MakeRowMapper(MapStep& step, int32_t depth, ColorStore* indexed,
                                         HashedColorStore* hashed) {
    if (depth == 16) {
        if (hashed) return MakeHashedMapper<uint16_t>(step, *hashed);
        return std::make_unique<EveryPixelMapper<uint16_t>>(step);
    }
    if (indexed) return std::make_unique<IndexedMapper>(step, *indexed);
    if (hashed) return MakeHashedMapper<uint8_t>(step, *hashed);
    return std::make_unique<EveryPixelMapper<uint8_t>>(step);
}

} // namespace quillon::mapping

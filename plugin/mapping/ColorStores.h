// The stores of a pass's results, one per input colour: within a pass the transformation does
// not change, and a photograph holds few distinct colours compared with its pixels, so each colour
// is converted and transformed once. Both live in one block of memory their owner lends.
#pragma once

#include "engine/ColorEngine.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>

namespace quillon::mapping {

// The results for a three-channel 8-bit document (RGB or Lab), indexed directly by
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

// The results of one pass per input colour where colours are too many to index directly (16-bit
// documents) or have four samples (CMYK): a hash table of 2 Mi slots of 16 bytes (32 MiB), each a
// colour's samples and the samples the pass writes for it. A colour whose few candidate slots are
// all taken by others is mapped without being kept. In front of it, a small table of the colours
// met last (256 KiB, one entry per hash) answers the colours that recur nearby without reaching
// into the large one. A picture whose colours rarely repeat (a noisy 16-bit scan) gains nothing
// from the table, so a pass that finds fewer than one colour in four already known after its first
// million pixels maps the rest anew.
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

} // namespace quillon::mapping

#pragma once

#include "engine/ColorEngine.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace quillon::engine::test {

// A deterministic stand-in for the host's Lab to RGB conversion: each RGB channel a different
// mix of L, a and b, so that a wrong channel or a stale value shows.
inline void FakeConvert16(void* context, uint16_t from, uint16_t to, ColorRecord16* records,
                          int32_t count) {
    if (context != nullptr) ++*static_cast<int*>(context);
    if (from != kIcsCode || to != kSpaceRgb) return;
    for (int32_t i = 0; i < count; ++i) {
        ColorRecord16& r = records[i];
        const int32_t l = r.c1, a = r.c2, b = r.c3;
        r.c1 = uint16_t(l / 2 + a / 4);
        r.c2 = uint16_t(l / 2 + b / 4);
        r.c3 = uint16_t((a + b) / 3);
    }
}

inline void ExpectedRgb(int32_t l, int32_t a, int32_t b, int32_t out[3]) {
    ColorRecord16 r{0, uint16_t(l), uint16_t(a), uint16_t(b)};
    FakeConvert16(nullptr, kIcsCode, kSpaceRgb, &r, 1);
    out[0] = r.c1;
    out[1] = r.c2;
    out[2] = r.c3;
}

// Replays a fixed list of values, round and round.
struct SequenceRandom {
    std::vector<int32_t> values;
    size_t next = 0;
    int calls = 0;
    static int32_t Next(void* context) {
        auto* self = static_cast<SequenceRandom*>(context);
        ++self->calls;
        return self->values[self->next++ % self->values.size()];
    }
};

// A small deterministic generator for spreading test colours.
struct Lcg {
    uint64_t state;
    int32_t Next(int32_t bound) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return int32_t((state >> 33) % uint64_t(bound));
    }
};

inline std::unique_ptr<ColorEngine> MakeEngine(bool chromaOnly) {
    auto e = std::make_unique<ColorEngine>();
    e->SetConvert16(FakeConvert16, nullptr);
    e->Reset();
    e->SetPreserveLuminosity(chromaOnly);
    return e;
}

inline StoredAdjustment Stored(int32_t l, int32_t a, int32_t b, int32_t tl, int32_t ta,
                               int32_t tb) {
    StoredAdjustment s;
    s.original[0] = l;
    s.original[1] = a;
    s.original[2] = b;
    s.target[0] = tl;
    s.target[1] = ta;
    s.target[2] = tb;
    return s;
}

inline ColorRecord16 Lab(int32_t l, int32_t a, int32_t b) {
    return {0, uint16_t(l), uint16_t(a), uint16_t(b)};
}

} // namespace quillon::engine::test

#pragma once

// A uniform grid over the colour range listing, per cell, the simplices whose bounding box
// reaches into it. Internal to the engine library.

#include <algorithm>
#include <cstdint>

namespace quillon::engine::detail {

// D = 3 over (x, y, z), D = 2 over (x, y); cells of 2^kShift units, the last one closed at
// 32768.
template <int D> class SearchGrid {
  public:
    static constexpr int kShift = D == 3 ? 11 : 9;
    static constexpr int32_t kPerAxis = 32768 >> kShift;
    static constexpr int32_t kCells = D == 3 ? kPerAxis * kPerAxis * kPerAxis : kPerAxis * kPerAxis;
    static constexpr int32_t kEntryCapacity = D == 3 ? 1 << 20 : 1 << 18;
    static constexpr int32_t kSimplexCapacity = D == 3 ? 5000 : 4000;

    // Lists every simplex by its box (minimum and maximum per axis) and keeps a copy of the
    // boxes. Returns false, and lists nothing, when the lists would not fit.
    template <typename BoxOf> bool Build(int32_t count, BoxOf boxOf) {
        valid_ = false;
        for (int32_t s = 0; s < count; ++s)
            std::copy_n(boxOf(s), 2 * D, boxes_[s]);
        std::fill(start_, start_ + kCells + 1, 0);
        int32_t total = 0;
        for (int pass = 0; pass < 2; ++pass) {
            for (int32_t s = 0; s < count; ++s) {
                int32_t lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
                if (!CellRange(boxOf(s), lo, hi)) continue;
                for (int32_t k = lo[2]; k <= hi[2]; ++k)
                    for (int32_t j = lo[1]; j <= hi[1]; ++j)
                        for (int32_t i = lo[0]; i <= hi[0]; ++i) {
                            const int32_t c = (k * kPerAxis + j) * kPerAxis + i;
                            if (pass == 0) {
                                ++start_[c + 1];
                                ++total;
                            } else {
                                entries_[fill_[c]++] = static_cast<int16_t>(s);
                            }
                        }
                if (pass == 0 && total > kEntryCapacity) return false;
            }
            if (pass == 0) {
                for (int32_t c = 0; c < kCells; ++c)
                    start_[c + 1] += start_[c];
                std::copy(start_, start_ + kCells, fill_);
            }
        }
        valid_ = true;
        return true;
    }

    bool Valid() const { return valid_; }

    // The point lies in the box of a simplex (its faces included).
    [[gnu::always_inline]] bool InBox(int32_t simplex, const int32_t p[D]) const {
        const int32_t* b = boxes_[simplex];
        for (int k = 0; k < D; ++k)
            if (p[k] < b[2 * k] || p[k] > b[2 * k + 1]) return false;
        return true;
    }

    // The cell of a point, or -1 outside 0..32768.
    static int32_t Cell(const int32_t p[D]) {
        int32_t c = 0;
        for (int k = D - 1; k >= 0; --k) {
            if (p[k] < 0 || p[k] > 32768) return -1;
            c = c * kPerAxis + std::min(p[k] >> kShift, kPerAxis - 1);
        }
        return c;
    }
    const int16_t* Begin(int32_t cell) const { return entries_ + start_[cell]; }
    const int16_t* End(int32_t cell) const { return entries_ + start_[cell + 1]; }

  private:
    static bool CellRange(const int32_t* box, int32_t lo[3], int32_t hi[3]) {
        for (int k = 0; k < D; ++k) {
            const int32_t min = box[2 * k], max = box[2 * k + 1];
            if (max < 0 || min > 32768) return false;
            lo[k] = std::min(std::max(min, 0) >> kShift, kPerAxis - 1);
            hi[k] = std::min(std::min(max, 32768) >> kShift, kPerAxis - 1);
        }
        return true;
    }

    int32_t boxes_[kSimplexCapacity][2 * D];
    int32_t start_[kCells + 1];
    int32_t fill_[kCells];
    int16_t entries_[kEntryCapacity];
    bool valid_ = false;
};

} // namespace quillon::engine::detail

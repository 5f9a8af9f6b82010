#pragma once

// A uniform grid over the colour range listing, per cell, the simplices that may contain one of
// its points: those whose bounding box reaches into the cell, less those that a face plane of
// their own keeps wholly off it. Internal to the engine library.

#include "engine/Geometry.h"

#include <algorithm>
#include <cstdint>

namespace quillon::engine::detail {

// D = 3 over (x, y, z), D = 2 over (x, y); cells of 2^kShift units, the last one closed at
// 32768.
template <int D> class SearchGrid {
  public:
    static constexpr int kShift = D == 3 ? 10 : 9;
    static constexpr int32_t kPerAxis = 32768 >> kShift;
    static constexpr int32_t kCells = D == 3 ? kPerAxis * kPerAxis * kPerAxis : kPerAxis * kPerAxis;
    static constexpr int32_t kEntryCapacity = D == 3 ? 1 << 20 : 1 << 18;
    static constexpr int32_t kSimplexCapacity = D == 3 ? 5000 : 4000;

    // Lists the simplices cell by cell and keeps a copy of their boxes. Returns false, and
    // lists nothing, when the lists would not fit.
    bool Build(int32_t count, const Simplex<D>* simplices) {
        valid_ = false;
        int32_t total = 0;
        std::fill(start_, start_ + kCells + 1, 0);
        for (int32_t s = 0; s < count; ++s) {
            std::copy_n(simplices[s].Box(), 2 * D, boxes_[s]);
            int32_t lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
            if (!CellRange(simplices[s].Box(), lo, hi)) continue;
            double inverseSlope[D + 1];
            for (int face = 0; face <= D; ++face) {
                const double slope = simplices[s].Plane(0, face);
                inverseSlope[face] = slope != 0 ? 1 / slope : 0;
            }
            for (int32_t k = lo[2]; k <= hi[2]; ++k)
                for (int32_t j = lo[1]; j <= hi[1]; ++j) {
                    int32_t first = lo[0], last = hi[0];
                    if (!NarrowRow(simplices[s], inverseSlope, j, k, first, last)) continue;
                    for (int32_t i = first; i <= last; ++i) {
                        if (total == kEntryCapacity) return false;
                        const int32_t c = (k * kPerAxis + j) * kPerAxis + i;
                        ++start_[c + 1];
                        pairs_[total++] = uint32_t(c) << 16 | uint32_t(s);
                    }
                }
        }
        for (int32_t c = 0; c < kCells; ++c)
            start_[c + 1] += start_[c];
        std::copy(start_, start_ + kCells, fill_);
        // Simplices in ascending order within each cell, as they were met.
        for (int32_t e = 0; e < total; ++e)
            entries_[fill_[pairs_[e] >> 16]++] = static_cast<int16_t>(pairs_[e] & 0xFFFF);
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
    static int32_t LowEdge(int32_t i) { return i << kShift; }
    static int32_t HighEdge(int32_t i) {
        return i == kPerAxis - 1 ? 32768 : ((i + 1) << kShift) - 1;
    }

    // Narrows the cells first..last of the row at (j, k) along x to those that no face plane of
    // the simplex has wholly on its outer side; false when none is left. Over a cell a plane
    // peaks at one corner, and along x that corner's value only rises (or only falls), so each
    // face cuts off a run at one end: it is found from where the plane crosses the row, then
    // settled by the exact test.
    static bool NarrowRow(const Simplex<D>& simplex, const double (&inverseSlope)[D + 1], int32_t j,
                          int32_t k, int32_t& first, int32_t& last) {
        const int32_t cell[2] = {j, k};
        for (int face = 0; face <= D; ++face) {
            double rest = simplex.Plane(D, face);
            for (int axis = 1; axis < D; ++axis) {
                const double w = simplex.Plane(axis, face);
                rest += w * (w > 0 ? HighEdge(cell[axis - 1]) : LowEdge(cell[axis - 1]));
            }
            const double slope = simplex.Plane(0, face);
            if (slope == 0) {
                if (rest < 0) return false;
                continue;
            }
            auto inside = [&](int32_t i) {
                return rest + slope * (slope > 0 ? HighEdge(i) : LowEdge(i)) >= 0;
            };
            // Only a first guess: the exact tests below settle the cell.
            const double crossing = std::clamp(-rest * inverseSlope[face], -1.0, 32769.0);
            int32_t i = std::clamp(int32_t(crossing) >> kShift, first, last);
            if (slope > 0) {
                while (i > first && inside(i - 1))
                    --i;
                while (i <= last && !inside(i))
                    ++i;
                first = i;
            } else {
                while (i < last && inside(i + 1))
                    ++i;
                while (i >= first && !inside(i))
                    --i;
                last = i;
            }
            if (first > last) return false;
        }
        return true;
    }

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
    // Cell and simplex of each listing, in the order met (cell << 16 | simplex).
    uint32_t pairs_[kEntryCapacity];
    bool valid_ = false;
};

} // namespace quillon::engine::detail

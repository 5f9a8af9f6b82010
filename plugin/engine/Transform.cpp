#include "engine/ColorEngine.h"

#include "engine/SearchGrid.h"

#include <algorithm>
#include <climits>

namespace quillon::engine {
namespace {

int32_t ToScale16(uint8_t v) {
    return to16(v);
}
int32_t ToScale16(uint16_t v) {
    return v;
}

void Store(uint8_t& out, int32_t v) {
    out = static_cast<uint8_t>(to8(v));
}
void Store(uint16_t& out, int32_t v) {
    out = static_cast<uint16_t>(v);
}

// Finds the first simplex of the search order that contains a point and moves it to the front
// (swapping it with the front entry), so that a run of similar colours costs one point test
// each. Rather than walking the whole order, the grid lists the candidates and their ranks in
// the order tell which one the walk would meet first.
template <typename Simplex, typename Grid, typename... Coords>
int32_t FindInOrder(Simplex* simplices, int32_t* order, int32_t* rank, int32_t count,
                    const Grid& grid, Coords... coords) {
    if (count == 0) return -1;
    const int32_t p[] = {coords...};
    auto contains = [&](int32_t s) __attribute__((always_inline)) {
        return grid.InBox(s, p) && simplices[s].InsideFaces(coords...);
    };
    if (contains(order[0])) return order[0];
    int32_t best = INT32_MAX, found = -1;
    const int32_t cell = grid.Valid() ? grid.Cell(p) : -1;
    if (cell >= 0) {
        for (const int16_t* e = grid.Begin(cell); e != grid.End(cell); ++e) {
            const int32_t s = *e;
            if (rank[s] < best && contains(s)) {
                best = rank[s];
                found = s;
            }
        }
    } else {
        for (int32_t k = 1; k < count && found < 0; ++k)
            if (contains(order[k])) {
                best = k;
                found = order[k];
            }
    }
    if (found < 0) return -1;
    order[best] = order[0];
    rank[order[best]] = best;
    order[0] = found;
    rank[found] = 0;
    return found;
}

} // namespace

int32_t ColorEngine::FindTetrahedron(int32_t x, int32_t y, int32_t z) {
    return FindInOrder(tetrahedra_, tetrahedronOrder_, tetrahedronRank_, tetrahedronOrderCount_,
                       *grid3_, x, y, z);
}

int32_t ColorEngine::FindTriangle(int32_t x, int32_t y) {
    return FindInOrder(triangles_, triangleOrder_, triangleRank_, triangleOrderCount_, *grid2_, x,
                       y);
}

// A colour that no simplex contains (a build that failed ten times leaves a hole) is left as
// it is, and the rest of the buffer is still transformed.
template <typename Records> void ColorEngine::TransformRecords(Records* buffer, int32_t count) {
    if (pointCount_ == 0) return;
    const int32_t* b = bounds_;
    if (chromaOnly_) {
        // L is neither read nor written: that is how luminosity is preserved.
        for (int32_t i = 0; i < count; ++i) {
            Records& r = buffer[i];
            const int32_t x = ToScale16(r.c2), y = ToScale16(r.c3);
            const int32_t t = FindTriangle(x, y);
            if (t < 0) continue;
            int32_t out[2];
            triangles_[t].Map(x, y, out);
            Store(r.c2, std::min(std::max(out[0], b[0]), b[1]));
            Store(r.c3, std::min(std::max(out[1], b[2]), b[3]));
        }
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        Records& r = buffer[i];
        const int32_t x = ToScale16(r.c2), y = ToScale16(r.c3), z = ToScale16(r.c1);
        const int32_t t = FindTetrahedron(x, y, z);
        if (t < 0) continue;
        int32_t out[3];
        tetrahedra_[t].Map(x, y, z, out);
        Store(r.c2, std::min(std::max(out[0], b[0]), b[1]));
        Store(r.c3, std::min(std::max(out[1], b[2]), b[3]));
        Store(r.c1, std::min(std::max(out[2], b[4]), b[5]));
    }
}

void ColorEngine::Transform8(ColorRecord8* buffer, int32_t count) {
    TransformRecords(buffer, count);
}

void ColorEngine::Transform16(ColorRecord16* buffer, int32_t count) {
    TransformRecords(buffer, count);
}

} // namespace quillon::engine

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
template <int D, typename Simplex, typename List>
int32_t FindInOrder(const Simplex* simplices, List& list, const detail::SearchGrid<D>& grid,
                    const int32_t (&p)[D]) {
    int32_t* order = list.order;
    int32_t* rank = list.rank;
    if (list.count == 0) return -1;
    auto contains = [&](int32_t s) __attribute__((always_inline)) {
        if (!grid.InBox(s, p)) return false;
        if constexpr (D == 3)
            return simplices[s].InsideFaces(p[0], p[1], p[2]);
        else
            return simplices[s].InsideFaces(p[0], p[1]);
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
        for (int32_t k = 1; k < list.count && found < 0; ++k)
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

// A colour that no simplex contains (a build that failed ten times leaves a hole) is left as
// it is, and the rest of the buffer is still transformed.
template <typename Record>
void ColorEngine::TransformRecords(Record* buffer, int32_t count, SearchOrder& order) const {
    if (pointCount_ == 0) return;
    const int32_t* b = bounds_;
    if (chromaOnly_) {
        auto& list = order.triangles_;
        list.Follow(triangleCount_, triangleBuild_);
        // L is neither read nor written: that is how luminosity is preserved.
        for (int32_t i = 0; i < count; ++i) {
            Record& r = buffer[i];
            const int32_t p[2] = {ToScale16(r.c2), ToScale16(r.c3)};
            const int32_t t = FindInOrder<2>(triangles_, list, *grid2_, p);
            if (t < 0) continue;
            int32_t out[2];
            triangles_[t].Map(p, out);
            Store(r.c2, std::min(std::max(out[kAxisOfA], b[0]), b[1]));
            Store(r.c3, std::min(std::max(out[kAxisOfB], b[2]), b[3]));
        }
        return;
    }
    auto& list = order.tetrahedra_;
    list.Follow(tetrahedronCount_, tetrahedronBuild_);
    for (int32_t i = 0; i < count; ++i) {
        Record& r = buffer[i];
        const Triple point = LabToMesh(ToScale16(r.c1), ToScale16(r.c2), ToScale16(r.c3));
        const int32_t p[3] = {point[0], point[1], point[2]};
        const int32_t t = FindInOrder<3>(tetrahedra_, list, *grid3_, p);
        if (t < 0) continue;
        int32_t out[3];
        tetrahedra_[t].Map(p, out);
        Store(r.c2, std::min(std::max(out[kAxisOfA], b[0]), b[1]));
        Store(r.c3, std::min(std::max(out[kAxisOfB], b[2]), b[3]));
        Store(r.c1, std::min(std::max(out[kAxisOfL], b[4]), b[5]));
    }
}

void ColorEngine::Transform8(ColorRecord8* buffer, int32_t count, SearchOrder& order) const {
    TransformRecords(buffer, count, order);
}

void ColorEngine::Transform16(ColorRecord16* buffer, int32_t count, SearchOrder& order) const {
    TransformRecords(buffer, count, order);
}

} // namespace quillon::engine

#include "engine/ColorEngine.h"

#include <algorithm>
#include <utility>

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

} // namespace

// Walks the search order; the simplex found moves to the front, so that a run of similar
// colours costs one point test each.
int32_t ColorEngine::FindTetrahedron(int32_t x, int32_t y, int32_t z) {
    const int32_t n = tetrahedronOrderCount_;
    for (int32_t k = 0; k < n; ++k) {
        const int32_t* b = tetrahedronOrderBox_[k];
        if (x < b[0] || x > b[1] || y < b[2] || y > b[3] || z < b[4] || z > b[5]) continue;
        const int32_t t = tetrahedronOrder_[k];
        if (!tetrahedra_[t].InsideFaces(x, y, z)) continue;
        if (k != 0) {
            std::swap(tetrahedronOrder_[k], tetrahedronOrder_[0]);
            std::swap(tetrahedronOrderBox_[k], tetrahedronOrderBox_[0]);
        }
        return t;
    }
    return -1;
}

int32_t ColorEngine::FindTriangle(int32_t x, int32_t y) {
    const int32_t n = triangleOrderCount_;
    for (int32_t k = 0; k < n; ++k) {
        const int32_t* b = triangleOrderBox_[k];
        if (x < b[0] || x > b[1] || y < b[2] || y > b[3]) continue;
        const int32_t t = triangleOrder_[k];
        if (!triangles_[t].InsideEdges(x, y)) continue;
        if (k != 0) {
            std::swap(triangleOrder_[k], triangleOrder_[0]);
            std::swap(triangleOrderBox_[k], triangleOrderBox_[0]);
        }
        return t;
    }
    return -1;
}

// A colour that no simplex contains (a build that failed ten times leaves a hole) is left as
// it is, and the rest of the buffer is still transformed.
template <typename Record> void ColorEngine::TransformRecords(Record* buffer, int32_t count) {
    if (pointCount_ == 0) return;
    const int32_t* b = bounds_;
    if (chromaOnly_) {
        // L is neither read nor written: that is how luminosity is preserved.
        for (int32_t i = 0; i < count; ++i) {
            Record& r = buffer[i];
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
        Record& r = buffer[i];
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

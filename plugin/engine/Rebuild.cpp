#include "engine/ColorEngine.h"

#include "engine/MeshBuilder.h"
#include "engine/SearchGrid.h"

#include <algorithm>
#include <cmath>

namespace quillon::engine {
namespace {

// Edges of a simplex, in the order anchor placement visits them.
constexpr int kTetrahedronEdges[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
constexpr int kTriangleEdges[3][2] = {{0, 1}, {0, 2}, {1, 2}};

template <int D> constexpr auto& Edges() {
    if constexpr (D == 3)
        return kTetrahedronEdges;
    else
        return kTriangleEdges;
}

} // namespace

void ColorEngine::Rebuild() {
    if (batchDepth_ > 0) {
        rebuildDue_ = true;
        return;
    }
    rebuildDue_ = false;
    // Nothing is built before the first Reset has placed the fixed points.
    if (firstUser_ < kFixedPointCount) return;
    // Undo the nudges of the previous build and drop its anchor points.
    for (int32_t i = firstUser_; i < entryCount_; ++i)
        Assign(table_[i].position, LabToMesh(table_[i].original));
    pointCount_ = entryCount_;
    if (chromaOnly_)
        BuildMode(*builder2_);
    else
        BuildMode(*builder3_);
}

template <int D> void ColorEngine::BuildMode(detail::MeshBuilder<D>& builder) {
    const detail::BuildContext context{table_, bounds_, random_, randomContext_};
    const int32_t anchorLimit = D == 3 ? kTetrahedronLimit : kTriangleCapacity;
    auto outcome = builder.Build(context, firstUser_, pointCount_, entryCount_, anchorLimit);
    // A cut here means the user adjustments alone exhaust the capacity: no anchors then.
    if (!outcome.cut) {
        PlaceAnchors(builder);
        if (pointCount_ > entryCount_) {
            outcome = builder.Build(context, firstUser_, pointCount_, entryCount_, anchorLimit);
            if (outcome.cut) pointCount_ = std::max(outcome.stoppedAt, entryCount_);
        }
    }

    const int32_t count = builder.Count();
    for (int32_t i = 0; i < count; ++i) {
        const auto& s = builder.At(i);
        const Adjustment* vertices[D + 1];
        for (int k = 0; k <= D; ++k)
            vertices[k] = &table_[s.v[k]];
        if constexpr (D == 3)
            tetrahedra_[i].Set(vertices, s.outer);
        else
            triangles_[i].Set(vertices, s.outer);
    }
    // Every search order starts again from the array order, the engine's own at once.
    if constexpr (D == 3) {
        tetrahedronCount_ = count;
        ++tetrahedronBuild_;
        grid3_->Build(count, tetrahedra_);
        order_->tetrahedra_.Follow(count, tetrahedronBuild_);
    } else {
        triangleCount_ = count;
        ++triangleBuild_;
        grid2_->Build(count, triangles_);
        order_->triangles_.Follow(count, triangleBuild_);
    }
}

// Along every mesh edge longer than twice the fuzziness radius, each end that is not a fixed
// point gets a companion one radius away that keeps its colour, so that the end's displacement
// fades out within one radius.
template <int D> void ColorEngine::PlaceAnchors(const detail::MeshBuilder<D>& builder) {
    detail::AnchorScratch& scratch = *anchors_;
    Adjustment* candidates = scratch.candidates;
    const double r = D == 3 ? radius3D_ : radius2D_;
    const double fourR2 = 4 * (r * r);
    int32_t count = 0;
    auto add = [&](const int32_t from[3], const int32_t delta[3], int sign) {
        Adjustment& c = candidates[count++];
        c = Adjustment{};
        for (int k = 0; k < 3; ++k)
            c.position[k] =
                std::clamp(from[k] + sign * delta[k], bounds_[2 * k], bounds_[2 * k + 1]);
        if (D == 2) c.position[2] = 0;
        Assign(c.target, MeshToLab(c.position));
        c.id = NewId();
    };

    const int32_t simplices = builder.Count();
    for (int32_t i = 0; i < simplices && count < kCandidateCapacity; ++i) {
        const auto& s = builder.At(i);
        if (s.outer) continue;
        for (const auto& e : Edges<D>()) {
            if (count >= kCandidateCapacity) break;
            const Adjustment& p = table_[s.v[e[0]]];
            const Adjustment& q = table_[s.v[e[1]]];
            if (p.fixed && q.fixed) continue;
            const double d2 = D == 3 ? SquaredDistance3D(p.position, q.position)
                                     : SquaredDistance2D(p.position, q.position);
            if (d2 <= fourR2) continue;
            const double scale = r / std::sqrt(d2);
            int32_t delta[3] = {0, 0, 0};
            for (int k = 0; k < D; ++k)
                delta[k] = TruncateToInt(scale * (double(q.position[k]) - p.position[k]));
            if (!p.fixed) add(p.position, delta, 1);
            if (!q.fixed && count < kCandidateCapacity) add(q.position, delta, -1);
        }
    }

    // Append the candidates that no point occupies yet. Integer positions closer than 1 are
    // equal, so a set of positions finds them.
    scratch.Clear();
    for (int32_t i = 0; i < pointCount_; ++i)
        scratch.Insert(table_[i].position);
    for (int32_t i = 0; i < count && pointCount_ < kPointLimit; ++i) {
        if (!scratch.Insert(candidates[i].position)) continue;
        table_[pointCount_++] = candidates[i];
    }
}

} // namespace quillon::engine

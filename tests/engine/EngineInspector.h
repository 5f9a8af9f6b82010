// What the tests look at inside a ColorEngine and the product never needs: the meshes' simplices,
// the search orders, the radii, the count of builds, and a point located by a plain scan of the
// simplices in array order.
#pragma once

#include "engine/ColorEngine.h"

#include <cstdint>
#include <span>

namespace quillon::engine {

struct EngineInspector {
    static const Tetrahedron& TetrahedronAt(const ColorEngine& e, int32_t i) {
        return e.tetrahedra_[i];
    }
    static const Triangle& TriangleAt(const ColorEngine& e, int32_t i) { return e.triangles_[i]; }
    // The search orders of the engine's own evaluations (Transform8/16 without an order).
    static std::span<const int32_t> TetrahedronSearchOrder(const ColorEngine& e) {
        return e.order_->Tetrahedra();
    }
    static std::span<const int32_t> TriangleSearchOrder(const ColorEngine& e) {
        return e.order_->Triangles();
    }
    // The first simplex in array order that contains a point, or -1.
    static int32_t LocateTetrahedron(const ColorEngine& e, int32_t x, int32_t y, int32_t z) {
        for (int32_t i = 0; i < e.tetrahedronCount_; ++i)
            if (e.tetrahedra_[i].Contains(x, y, z)) return i;
        return -1;
    }
    static int32_t LocateTriangle(const ColorEngine& e, int32_t x, int32_t y) {
        for (int32_t i = 0; i < e.triangleCount_; ++i)
            if (e.triangles_[i].Contains(x, y)) return i;
        return -1;
    }
    static double Radius2D(const ColorEngine& e) { return e.radius2D_; }
    static double Radius3D(const ColorEngine& e) { return e.radius3D_; }
    // Builds of the meshes so far (both modes).
    static uint64_t BuildCount(const ColorEngine& e) {
        return e.tetrahedronBuild_ + e.triangleBuild_;
    }
};

} // namespace quillon::engine

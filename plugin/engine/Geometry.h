#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <type_traits>

namespace quillon::engine {

struct Adjustment;

// Matrix toolkit: row-major, double precision.
struct Matrix3 {
    double m[3][3];
};

struct Matrix4 {
    double m[4][4];
};

double Determinant(const Matrix3& a);
double Determinant(const Matrix4& a);

// Replaces the matrix by its adjugate divided by its determinant. A singular matrix (determinant
// exactly 0) is left untouched and false is returned.
bool Invert(Matrix3& a);
bool Invert(Matrix4& a);

// a := a × b.
void Multiply(Matrix3& a, const Matrix3& b);
void Multiply(Matrix4& a, const Matrix4& b);

// Squared distances of integer mesh points (x, y, z); the 2D form ignores z.
double SquaredDistance2D(const int32_t p[3], const int32_t q[3]);
double SquaredDistance3D(const int32_t p[3], const int32_t q[3]);

// Truncates toward zero. A value outside the int32 range (or NaN) gives INT32_MIN, the result
// the processor's own conversion produces, so that the outcome is defined and the same.
inline int32_t TruncateToInt(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Circumsphere (3D) or circumcircle (2D, centre[2] unused) of a simplex.
struct Sphere {
    double centre[3];
    double squaredRadius;
};

Sphere Circumsphere(const int32_t p0[3], const int32_t p1[3], const int32_t p2[3],
                    const int32_t p3[3]);
Sphere Circumcircle(const int32_t p0[3], const int32_t p1[3], const int32_t p2[3]);

// Strictly inside: a point on the sphere is outside.
inline bool InCircumsphere(const Sphere& s, const int32_t p[3]) {
    const double dy = p[1] - s.centre[1];
    const double dx = p[0] - s.centre[0];
    const double dz = p[2] - s.centre[2];
    return dy * dy + dx * dx + dz * dz < s.squaredRadius;
}

inline bool InCircumcircle(const Sphere& s, const int32_t p[3]) {
    const double dy = p[1] - s.centre[1];
    const double dx = p[0] - s.centre[0];
    return dy * dy + dx * dx < s.squaredRadius;
}

// Exact determinants of the vertex matrices with rows (x, y, z, 1) and (x, y, 1). Integer
// positions keep every partial product below 2^53, so these equal the double-precision values.
int64_t SimplexDeterminant3(const int32_t p0[3], const int32_t p1[3], const int32_t p2[3],
                            const int32_t p3[3]);
int64_t SimplexDeterminant2(const int32_t p0[3], const int32_t p1[3], const int32_t p2[3]);

// A simplex of the mesh: a tetrahedron over (a, b, L) for D = 3, a triangle over (a, b) for the
// chroma-only mode for D = 2. Vertices are table records, compared by id.
template <int D> class Simplex {
  public:
    static constexpr int kVertices = D + 1;

    void Set(const Adjustment* const (&vertices)[kVertices], bool outer);
    // Rereads the vertex positions and targets: box, face planes and interpolation map. Nothing
    // is computed later, so a simplex is only read while colours are mapped.
    void Init();

    const Adjustment* Vertex(int i) const { return vertices_[i]; }
    // Same box and faces: the point test answers alike for every point.
    bool SamePlace(const Simplex& other) const {
        return std::equal(box_, box_ + 2 * D, other.box_) &&
               std::equal(&planes_[0][0], &planes_[0][0] + kVertices * kVertices,
                          &other.planes_[0][0]);
    }
    bool Outer() const { return outer_ != 0; }
    bool HasVertex(const Adjustment& record) const;
    // Determinant of the vertex matrix with rows (x_i, y_i, z_i, 1) or (x_i, y_i, 1).
    double Determinant() const { return determinant_; }
    // Minimum and maximum per axis: x, then y, then (3D) z.
    const int32_t* Box() const { return box_; }

    // Points on a face or an edge are inside; a flat simplex contains every point of its box.
    template <typename... Coords>
    [[gnu::always_inline]] bool Contains(Coords... coords) const requires(sizeof...(Coords) == D) {
        const int32_t p[D] = {coords...};
        for (int k = 0; k < D; ++k)
            if (p[k] < box_[2 * k] || p[k] > box_[2 * k + 1]) return false;
        return InsideFaces(coords...);
    }
    template <typename... Coords>
    [[gnu::always_inline]] bool InsideFaces(Coords... coords) const
        requires(sizeof...(Coords) == D) {
        const int32_t p[D] = {coords...};
        bool inside = true;
        for (int i = 0; i < kVertices; ++i) {
            double side = planes_[0][i] * p[0];
            for (int k = 1; k < D; ++k)
                side += planes_[k][i] * p[k];
            inside &= side + planes_[D][i] >= 0;
        }
        return inside;
    }

    // Coefficient of the point test: of axis `axis` (D: the constant term) in face `face`'s
    // plane, the inner side being where the plane's value is non-negative.
    double Plane(int axis, int face) const { return planes_[axis][face]; }

    // Barycentric interpolation of the vertex targets, truncated toward zero: out = (a, b, L)
    // for a tetrahedron, not clamped; out = (a, b) for a triangle, clamped into 0..32767.
    void Map(const int32_t (&p)[D], int32_t (&out)[D]) const {
        for (int k = 0; k < D; ++k) {
            double v = map_.m[k][0] * p[0];
            for (int j = 1; j < D; ++j)
                v += map_.m[k][j] * p[j];
            out[k] = TruncateToInt(v + map_.m[k][D]);
            if constexpr (D == 2) out[k] = std::clamp(out[k], 0, 32767);
        }
    }

  private:
    using MapMatrix = std::conditional_t<D == 3, Matrix4, Matrix3>;
    void ComputeMap();

    // What the point test reads comes first.
    int32_t box_[2 * D] = {};
    // Column i: the cofactors of vertex row i times the sign of the determinant, so that the
    // determinant with row i replaced by the point's row is non-negative on the inner side. The
    // values are integers below 2^50, and so are the products and sums of the test: exact.
    double planes_[kVertices][kVertices] = {};
    const Adjustment* vertices_[kVertices] = {};
    uint8_t outer_ = 0;
    double determinant_ = 0;
    MapMatrix map_ = {};
};

using Tetrahedron = Simplex<3>;
using Triangle = Simplex<2>;

extern template class Simplex<3>;
extern template class Simplex<2>;

} // namespace quillon::engine

#pragma once

#include <climits>
#include <cstdint>

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

// A tetrahedron of the 3D mesh over (a, b, L). Vertices are table records, compared by id.
class Tetrahedron {
  public:
    void Set(const Adjustment* p0, const Adjustment* p1, const Adjustment* p2, const Adjustment* p3,
             bool outer);
    // Rereads the vertex positions and clears the interpolation map.
    void Init();

    const Adjustment* Vertex(int i) const { return vertices_[i]; }
    bool Outer() const { return outer_ != 0; }
    bool HasVertex(const Adjustment& record) const;
    // Determinant of the vertex matrix with rows (x_i, y_i, z_i, 1).
    double Determinant() const { return determinant_; }
    // Minimum x, maximum x, minimum y, maximum y, minimum z, maximum z.
    const int32_t* Box() const { return box_; }

    // Points on a face or an edge are inside; a flat tetrahedron contains every point of its box.
    [[gnu::always_inline]] bool Contains(int32_t x, int32_t y, int32_t z) const {
        if (x < box_[0] || x > box_[1] || y < box_[2] || y > box_[3] || z < box_[4] || z > box_[5])
            return false;
        return InsideFaces(x, y, z);
    }
    [[gnu::always_inline]] bool InsideFaces(int32_t x, int32_t y, int32_t z) const {
        bool inside = true;
        for (int i = 0; i < 4; ++i)
            inside &=
                planes_[0][i] * x + planes_[1][i] * y + planes_[2][i] * z + planes_[3][i] >= 0;
        return inside;
    }

    // Barycentric interpolation of the vertex targets, truncated toward zero, not clamped:
    // out = (a, b, L).
    void Map(int32_t x, int32_t y, int32_t z, int32_t out[3]) {
        if (!mapValid_) ComputeMap();
        const auto& t = map_.m;
        for (int k = 0; k < 3; ++k)
            out[k] = TruncateToInt(t[k][0] * x + t[k][1] * y + t[k][2] * z + t[k][3]);
    }

  private:
    void ComputeMap();

    // What the point test reads comes first.
    int32_t box_[6] = {};
    // Column i: the cofactors of vertex row i times the sign of the determinant, so that the
    // determinant with row i replaced by (x, y, z, 1) is non-negative on the inner side. The
    // values are integers below 2^50, and so are the products and sums of the test: exact.
    double planes_[4][4] = {};
    const Adjustment* vertices_[4] = {};
    uint8_t outer_ = 0;
    double determinant_ = 0;
    Matrix4 map_ = {};
    uint8_t mapValid_ = 0;
};

// A triangle of the 2D mesh over (a, b) used in chroma-only mode.
class Triangle {
  public:
    void Set(const Adjustment* p0, const Adjustment* p1, const Adjustment* p2, bool outer);
    void Init();

    const Adjustment* Vertex(int i) const { return vertices_[i]; }
    bool Outer() const { return outer_ != 0; }
    bool HasVertex(const Adjustment& record) const;
    double Determinant() const { return determinant_; }
    // Minimum x, maximum x, minimum y, maximum y.
    const int32_t* Box() const { return box_; }

    [[gnu::always_inline]] bool Contains(int32_t x, int32_t y) const {
        if (x < box_[0] || x > box_[1] || y < box_[2] || y > box_[3]) return false;
        return InsideFaces(x, y);
    }
    [[gnu::always_inline]] bool InsideFaces(int32_t x, int32_t y) const {
        bool inside = true;
        for (int i = 0; i < 3; ++i)
            inside &= planes_[0][i] * x + planes_[1][i] * y + planes_[2][i] >= 0;
        return inside;
    }

    // out = (a, b), truncated toward zero and clamped into 0..32767.
    void Map(int32_t x, int32_t y, int32_t out[2]);

  private:
    void ComputeMap();

    int32_t box_[4] = {};
    double planes_[3][3] = {};
    const Adjustment* vertices_[3] = {};
    uint8_t outer_ = 0;
    double determinant_ = 0;
    Matrix3 map_ = {};
    uint8_t mapValid_ = 0;
};

} // namespace quillon::engine

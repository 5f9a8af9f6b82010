#include "engine/Geometry.h"

#include "engine/ColorEngine.h"

#include <algorithm>

namespace quillon::engine {
namespace {

double Det3(const double a[3], const double b[3], const double c[3]) {
    return a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
           a[2] * (b[0] * c[1] - b[1] * c[0]);
}

int64_t Det3(const int64_t a[3], const int64_t b[3], const int64_t c[3]) {
    return a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
           a[2] * (b[0] * c[1] - b[1] * c[0]);
}

// Minor of a 4×4 matrix without row `row` and column `col`, as a determinant.
template <typename T> T Minor4(const T a[4][4], int row, int col) {
    T r[3][3];
    for (int i = 0, ri = 0; i < 4; ++i) {
        if (i == row) continue;
        for (int j = 0, rj = 0; j < 4; ++j) {
            if (j == col) continue;
            r[ri][rj++] = a[i][j];
        }
        ++ri;
    }
    return Det3(r[0], r[1], r[2]);
}

template <typename T> T Minor3(const T a[3][3], int row, int col) {
    T r[2][2];
    for (int i = 0, ri = 0; i < 3; ++i) {
        if (i == row) continue;
        for (int j = 0, rj = 0; j < 3; ++j) {
            if (j == col) continue;
            r[ri][rj++] = a[i][j];
        }
        ++ri;
    }
    return r[0][0] * r[1][1] - r[0][1] * r[1][0];
}

template <typename T> T Sign(int i, int j, T v) {
    return (i + j) % 2 == 0 ? v : -v;
}

} // namespace

double Determinant(const Matrix3& a) {
    return Det3(a.m[0], a.m[1], a.m[2]);
}

double Determinant(const Matrix4& a) {
    double d = 0;
    for (int j = 0; j < 4; ++j)
        d += a.m[0][j] * Sign(0, j, Minor4(a.m, 0, j));
    return d;
}

bool Invert(Matrix3& a) {
    const double det = Determinant(a);
    if (det == 0) return false;
    Matrix3 inv;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            inv.m[j][i] = Sign(i, j, Minor3(a.m, i, j)) / det;
    a = inv;
    return true;
}

bool Invert(Matrix4& a) {
    const double det = Determinant(a);
    if (det == 0) return false;
    Matrix4 inv;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            inv.m[j][i] = Sign(i, j, Minor4(a.m, i, j)) / det;
    a = inv;
    return true;
}

void Multiply(Matrix3& a, const Matrix3& b) {
    Matrix3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double s = 0;
            for (int k = 0; k < 3; ++k)
                s += a.m[i][k] * b.m[k][j];
            r.m[i][j] = s;
        }
    a = r;
}

void Multiply(Matrix4& a, const Matrix4& b) {
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = 0;
            for (int k = 0; k < 4; ++k)
                s += a.m[i][k] * b.m[k][j];
            r.m[i][j] = s;
        }
    a = r;
}

double SquaredDistance2D(const int32_t p[3], const int32_t q[3]) {
    const double dy = double(p[1]) - q[1];
    const double dx = double(p[0]) - q[0];
    return dy * dy + dx * dx;
}

double SquaredDistance3D(const int32_t p[3], const int32_t q[3]) {
    const double dz = double(p[2]) - q[2];
    return SquaredDistance2D(p, q) + dz * dz;
}

Sphere Circumsphere(const int32_t p0[3], const int32_t p1[3], const int32_t p2[3],
                    const int32_t p3[3]) {
    double d1[3], d2[3], d3[3];
    for (int k = 0; k < 3; ++k) {
        d1[k] = double(p1[k]) - p0[k];
        d2[k] = double(p2[k]) - p0[k];
        d3[k] = double(p3[k]) - p0[k];
    }
    auto cross = [](const double a[3], const double b[3], double out[3]) {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    };
    auto dot = [](const double a[3], const double b[3]) {
        return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    };
    double c23[3], c31[3], c12[3];
    cross(d2, d3, c23);
    cross(d3, d1, c31);
    cross(d1, d2, c12);
    const double denominator = 2 * dot(d1, c23);
    const double l1 = dot(d1, d1), l2 = dot(d2, d2), l3 = dot(d3, d3);
    Sphere s;
    double offset[3];
    for (int k = 0; k < 3; ++k) {
        offset[k] = (l1 * c23[k] + l2 * c31[k] + l3 * c12[k]) / denominator;
        s.centre[k] = p0[k] + offset[k];
    }
    s.squaredRadius = offset[0] * offset[0] + offset[1] * offset[1] + offset[2] * offset[2];
    return s;
}

Sphere Circumcircle(const int32_t p0[3], const int32_t p1[3], const int32_t p2[3]) {
    const double d1x = double(p1[0]) - p0[0], d1y = double(p1[1]) - p0[1];
    const double d2x = double(p2[0]) - p0[0], d2y = double(p2[1]) - p0[1];
    const double l1 = d1x * d1x + d1y * d1y, l2 = d2x * d2x + d2y * d2y;
    const double s = 0.5 / (d2y * d1x - d2x * d1y);
    const double ox = (d2y * l1 - d1y * l2) * s;
    const double oy = (d1x * l2 - d2x * l1) * s;
    Sphere c;
    c.centre[0] = p0[0] + ox;
    c.centre[1] = p0[1] + oy;
    c.centre[2] = 0;
    c.squaredRadius = ox * ox + oy * oy;
    return c;
}

int64_t SimplexDeterminant3(const int32_t p0[3], const int32_t p1[3], const int32_t p2[3],
                            const int32_t p3[3]) {
    int64_t d[3][3];
    for (int k = 0; k < 3; ++k) {
        d[0][k] = int64_t(p1[k]) - p0[k];
        d[1][k] = int64_t(p2[k]) - p0[k];
        d[2][k] = int64_t(p3[k]) - p0[k];
    }
    // Subtracting row 0 and expanding along the column of ones flips the sign.
    return -Det3(d[0], d[1], d[2]);
}

int64_t SimplexDeterminant2(const int32_t p0[3], const int32_t p1[3], const int32_t p2[3]) {
    const int64_t d1x = int64_t(p1[0]) - p0[0], d1y = int64_t(p1[1]) - p0[1];
    const int64_t d2x = int64_t(p2[0]) - p0[0], d2y = int64_t(p2[1]) - p0[1];
    return d1x * d2y - d1y * d2x;
}

namespace {

template <int N, typename T> T Minor(const T a[N][N], int row, int col) {
    if constexpr (N == 4)
        return Minor4(a, row, col);
    else
        return Minor3(a, row, col);
}

} // namespace

template <int D> void Simplex<D>::Set(const Adjustment* const (&vertices)[kVertices], bool outer) {
    std::copy(vertices, vertices + kVertices, vertices_);
    outer_ = outer ? 1 : 0;
    Init();
}

template <int D> void Simplex<D>::Init() {
    int64_t rows[kVertices][kVertices];
    for (int i = 0; i < kVertices; ++i) {
        for (int k = 0; k < D; ++k)
            rows[i][k] = vertices_[i]->position[k];
        rows[i][D] = 1;
    }
    for (int k = 0; k < D; ++k) {
        box_[2 * k] = box_[2 * k + 1] = vertices_[0]->position[k];
        for (int i = 1; i < kVertices; ++i) {
            box_[2 * k] = std::min(box_[2 * k], vertices_[i]->position[k]);
            box_[2 * k + 1] = std::max(box_[2 * k + 1], vertices_[i]->position[k]);
        }
    }
    int64_t cofactors[kVertices][kVertices];
    for (int i = 0; i < kVertices; ++i)
        for (int j = 0; j < kVertices; ++j)
            cofactors[i][j] = Sign(i, j, Minor<kVertices>(rows, i, j));
    int64_t det = 0;
    for (int j = 0; j < kVertices; ++j)
        det += rows[0][j] * cofactors[0][j];
    determinant_ = static_cast<double>(det);
    const int64_t sign = det > 0 ? 1 : (det < 0 ? -1 : 0);
    for (int i = 0; i < kVertices; ++i)
        for (int j = 0; j < kVertices; ++j)
            planes_[j][i] = static_cast<double>(sign * cofactors[i][j]);
    ComputeMap();
}

template <int D> bool Simplex<D>::HasVertex(const Adjustment& record) const {
    for (const Adjustment* v : vertices_)
        if (v->id == record.id) return true;
    return false;
}

// The map takes homogeneous vertex positions to homogeneous targets: targets × positions⁻¹.
template <int D> void Simplex<D>::ComputeMap() {
    MapMatrix m, n;
    for (int j = 0; j < kVertices; ++j) {
        const Triple target = LabToMesh(vertices_[j]->target);
        for (int r = 0; r < D; ++r) {
            m.m[r][j] = vertices_[j]->position[r];
            n.m[r][j] = target[r];
        }
        m.m[D][j] = 1;
        n.m[D][j] = 1;
    }
    // A singular matrix stays as it is; the map is then meaningless but defined.
    Invert(m);
    Multiply(n, m);
    map_ = n;
}

template class Simplex<3>;
template class Simplex<2>;

} // namespace quillon::engine

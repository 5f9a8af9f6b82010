#include "engine/Geometry.h"
#include "engine/ColorEngine.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace quillon::engine {
namespace {

Adjustment Vertex(int32_t id, int32_t x, int32_t y, int32_t z, int32_t ta, int32_t tb, int32_t tl) {
    Adjustment a;
    a.id = id;
    a.position[0] = x;
    a.position[1] = y;
    a.position[2] = z;
    Assign(a.target, Triple{tl, ta, tb});
    return a;
}

Adjustment Still(int32_t id, int32_t x, int32_t y, int32_t z) {
    return Vertex(id, x, y, z, x, y, z);
}

TEST(MatrixTest, DeterminantsOfKnownMatrices) {
    const Matrix3 a{{{2, 0, 1}, {1, 3, 2}, {1, 1, 1}}};
    EXPECT_DOUBLE_EQ(Determinant(a), 2 * (3 - 2) - 0 + 1 * (1 - 3));
    const Matrix4 b{{{1, 2, 0, 0}, {3, 4, 0, 0}, {0, 0, 5, 6}, {0, 0, 7, 8}}};
    EXPECT_DOUBLE_EQ(Determinant(b), (4 - 6) * (40 - 42));
}

TEST(MatrixTest, InverseTimesMatrixIsIdentity) {
    Matrix4 m{{{-256, 33024, -256, 16384},
               {-256, -256, 33024, 20000},
               {-256, -256, -256, 9000},
               {1, 1, 1, 1}}};
    Matrix4 inverse = m;
    ASSERT_TRUE(Invert(inverse));
    Multiply(m, inverse);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(m.m[i][j], i == j ? 1.0 : 0.0, 1e-9) << i << "," << j;

    Matrix3 n{{{4, 7, 1}, {2, 6, 1}, {1, 1, 1}}};
    Matrix3 inverse3 = n;
    ASSERT_TRUE(Invert(inverse3));
    Multiply(inverse3, n);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(inverse3.m[i][j], i == j ? 1.0 : 0.0, 1e-12);
}

TEST(MatrixTest, SingularMatrixIsLeftUntouched) {
    Matrix3 a{{{1, 2, 3}, {2, 4, 6}, {7, 8, 9}}};
    const Matrix3 before3 = a;
    EXPECT_FALSE(Invert(a));
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(a.m[i][j], before3.m[i][j]);

    // Four coplanar points.
    Matrix4 b{{{0, 10, 0, 10}, {0, 0, 10, 10}, {5, 5, 5, 5}, {1, 1, 1, 1}}};
    const Matrix4 before4 = b;
    EXPECT_FALSE(Invert(b));
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(b.m[i][j], before4.m[i][j]);
}

TEST(TruncateTest, TowardZeroAndDefinedOutOfRange) {
    struct Case {
        double in;
        int32_t out;
    } cases[] = {{1.9999, 1},
                 {-1.9999, -1},
                 {32767.99999999, 32767},
                 {-0.5, 0},
                 {2147483647.5, INT32_MAX},
                 {3e9, INT32_MIN},
                 {-3e9, INT32_MIN},
                 {std::numeric_limits<double>::infinity(), INT32_MIN},
                 {std::nan(""), INT32_MIN}};
    for (const Case& c : cases)
        EXPECT_EQ(TruncateToInt(c.in), c.out) << c.in;
}

TEST(DistanceTest, SquaredDistances) {
    const int32_t p[3] = {-256, 100, 7}, q[3] = {33024, -4000, 9};
    EXPECT_DOUBLE_EQ(SquaredDistance2D(p, q), 33280.0 * 33280 + 4100.0 * 4100);
    EXPECT_DOUBLE_EQ(SquaredDistance3D(p, q), 33280.0 * 33280 + 4100.0 * 4100 + 4);
}

TEST(CircumsphereTest, KnownSphereAndStrictInside) {
    const int32_t p0[3] = {0, 0, 0}, p1[3] = {200, 0, 0}, p2[3] = {0, 200, 0}, p3[3] = {0, 0, 200};
    const Sphere s = Circumsphere(p0, p1, p2, p3);
    EXPECT_DOUBLE_EQ(s.centre[0], 100);
    EXPECT_DOUBLE_EQ(s.centre[1], 100);
    EXPECT_DOUBLE_EQ(s.centre[2], 100);
    EXPECT_DOUBLE_EQ(s.squaredRadius, 30000);
    const int32_t inside[3] = {150, 150, 150}, onSphere[3] = {200, 200, 0},
                  outside[3] = {201, 200, 0};
    EXPECT_TRUE(InCircumsphere(s, inside));
    EXPECT_FALSE(InCircumsphere(s, onSphere));
    EXPECT_FALSE(InCircumsphere(s, outside));

    const Sphere c = Circumcircle(p0, p1, p2);
    EXPECT_DOUBLE_EQ(c.centre[0], 100);
    EXPECT_DOUBLE_EQ(c.centre[1], 100);
    EXPECT_DOUBLE_EQ(c.squaredRadius, 20000);
    const int32_t far[3] = {200, 200, 5000};
    EXPECT_FALSE(InCircumcircle(c, far)); // on the circle; z plays no part
    EXPECT_TRUE(InCircumcircle(c, inside));
}

// Two tetrahedra sharing the face (1, 2, 3) of the corner tetrahedron at the origin.
class TetrahedronTest : public ::testing::Test {
  protected:
    Adjustment o = Still(0, 0, 0, 0);
    Adjustment x = Still(1, 1200, 0, 0);
    Adjustment y = Still(2, 0, 1200, 0);
    Adjustment z = Still(3, 0, 0, 1200);
    Adjustment far = Still(4, 1200, 1200, 1200);
};

TEST_F(TetrahedronTest, PointTestIgnoresOrientation) {
    Tetrahedron positive, negative;
    positive.Set({&o, &x, &y, &z}, false);
    negative.Set({&x, &o, &y, &z}, false);
    ASSERT_NE(positive.Determinant() > 0, negative.Determinant() > 0);
    struct Case {
        int32_t p[3];
        bool inside;
    } cases[] = {
        {{100, 100, 100}, true},  {{0, 0, 0}, true},       {{600, 0, 0}, true}, // vertex, edge
        {{400, 400, 400}, true},                                                // on the far face
        {{400, 400, 401}, false},                                               // just beyond it
        {{-1, 10, 10}, false},    {{10, 10, 1201}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(positive.Contains(c.p[0], c.p[1], c.p[2]), c.inside)
            << c.p[0] << " " << c.p[1] << " " << c.p[2];
        EXPECT_EQ(negative.Contains(c.p[0], c.p[1], c.p[2]), c.inside);
    }
}

TEST_F(TetrahedronTest, PointOnSharedFaceIsInBoth) {
    Tetrahedron corner, beyond;
    corner.Set({&o, &x, &y, &z}, false);
    beyond.Set({&x, &y, &z, &far}, false);
    EXPECT_TRUE(corner.Contains(400, 400, 400));
    EXPECT_TRUE(beyond.Contains(400, 400, 400));
    EXPECT_FALSE(corner.Contains(500, 500, 500));
    EXPECT_TRUE(beyond.Contains(500, 500, 500));
}

TEST_F(TetrahedronTest, FlatTetrahedronContainsItsBox) {
    Adjustment d = Still(5, 1200, 1200, 0);
    Tetrahedron flat;
    flat.Set({&o, &x, &y, &d}, false);
    EXPECT_EQ(flat.Determinant(), 0);
    EXPECT_TRUE(flat.Contains(1100, 1100, 0));
    EXPECT_FALSE(flat.Contains(1100, 1100, 1));
}

TEST_F(TetrahedronTest, HasVertexComparesIds) {
    Tetrahedron t;
    t.Set({&o, &x, &y, &z}, false);
    Adjustment copy = z;
    copy.position[0] = 999;
    EXPECT_TRUE(t.HasVertex(copy));
    EXPECT_FALSE(t.HasVertex(far));
}

TEST(TetrahedronMapTest, SendsVerticesToTargetsUnclamped) {
    Adjustment v0 = Vertex(0, 0, 0, 0, -3, 0, 0);
    Adjustment v1 = Vertex(1, 32768, 0, 0, 32800, 0, 0);
    Adjustment v2 = Still(2, 0, 32768, 0);
    Adjustment v3 = Still(3, 0, 0, 32768);
    Tetrahedron t;
    t.Set({&v0, &v1, &v2, &v3}, false);
    int32_t out[3];
    t.Map({0, 0, 0}, out);
    EXPECT_EQ(out[0], -3);
    t.Map({32768, 0, 0}, out);
    EXPECT_EQ(out[0], 32800);
    t.Map({0, 32768, 0}, out);
    EXPECT_EQ(out[1], 32768);
    // Halfway between v0 and v1 the displacement is the mean of theirs.
    t.Map({16384, 0, 0}, out);
    EXPECT_EQ(out[0], (32800 - 3) / 2);
}

TEST(TetrahedronMapTest, InitRecomputesTheMapFromNewTargets) {
    Adjustment v0 = Still(0, -256, -256, -256);
    Adjustment v1 = Still(1, 33024, -256, -256);
    Adjustment v2 = Still(2, -256, 33024, -256);
    Adjustment v3 = Vertex(3, 9000, 7000, 20000, 9100, 6900, 21000);
    Tetrahedron t;
    t.Set({&v0, &v1, &v2, &v3}, false);
    int32_t out[3];
    t.Map({9000, 7000, 20000}, out);
    EXPECT_NEAR(out[0], 9100, 1);
    EXPECT_NEAR(out[1], 6900, 1);
    EXPECT_NEAR(out[2], 21000, 1);
    v3.target[0] = 25000;
    t.Map({9000, 7000, 20000}, out);
    EXPECT_NEAR(out[2], 21000, 1); // the map of the last Init
    t.Init();
    t.Map({9000, 7000, 20000}, out);
    EXPECT_NEAR(out[2], 25000, 1);
}

// The initial chroma triangles: the square split along the diagonal from 6 to 8.
class TriangleTest : public ::testing::Test {
  protected:
    Adjustment c4 = Still(4, -256, -256, 0);
    Adjustment c6 = Still(6, -256, 33024, 0);
    Adjustment c8 = Still(8, 33024, -256, 0);
    Adjustment c10 = Still(10, 33024, 33024, 0);
};

TEST_F(TriangleTest, CornerPointsAreExactDespiteLargeDeterminants) {
    Triangle low, high, lowFlipped;
    low.Set({&c4, &c6, &c8}, false);
    high.Set({&c10, &c6, &c8}, false);
    lowFlipped.Set({&c6, &c4, &c8}, false);
    struct Case {
        int32_t x, y;
        bool inLow, inHigh;
    } cases[] = {
        {0, 0, true, false},     {32768, 32768, false, true}, {16384, 16384, true, true},
        {32768, 0, true, true},  {0, 32768, true, true},      {16385, 16384, false, true},
        {-257, 0, false, false}, {33024, 33024, false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(low.Contains(c.x, c.y), c.inLow) << c.x << " " << c.y;
        EXPECT_EQ(lowFlipped.Contains(c.x, c.y), c.inLow) << c.x << " " << c.y;
        EXPECT_EQ(high.Contains(c.x, c.y), c.inHigh) << c.x << " " << c.y;
    }
}

TEST_F(TriangleTest, MapClampsIntoRange) {
    Adjustment low = Vertex(20, 1000, 1000, 0, -500, 40000, 0);
    Triangle t;
    t.Set({&c4, &c8, &low}, false);
    int32_t out[2];
    t.Map({1000, 1000}, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 32767);
    t.Map({-256, -256}, out); // a corner keeps its place, clamped into range
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
}

} // namespace
} // namespace quillon::engine

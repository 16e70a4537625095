#include "d3dframework/device_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace lnd;

namespace {

void expectVec(const glm::vec3& v, float x, float y, float z, float eps = 1e-5f) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

}  // namespace

TEST(DeviceMath, ElementsAreAddressedAsRowsOfRowVectorMatrices) {
    const Matrix t = matrixTranslation(7, 8, 9);
    EXPECT_EQ(matrixAt(t, 4, 1), 7.0f);
    EXPECT_EQ(matrixAt(t, 4, 3), 9.0f);
    EXPECT_EQ(matrixAt(t, 1, 4), 0.0f);
    // Rows lie one after the other in memory, as the GL host uploads them.
    EXPECT_EQ((&t[0][0])[12], 7.0f);
    expectVec(vec3TransformCoord({1, 1, 1}, t), 8, 9, 10);
    expectVec(vec3TransformNormal({1, 1, 1}, t), 1, 1, 1);
}

TEST(DeviceMath, MultiplyAppliesTheLeftMatrixFirst) {
    const Matrix s = matrixScaling(2, 2, 2);
    const Matrix t = matrixTranslation(1, 2, 3);
    expectVec(vec3TransformCoord({1, 1, 1}, matrixMultiply(s, t)), 3, 4, 5);
    expectVec(vec3TransformCoord({1, 1, 1}, matrixMultiply(t, s)), 4, 6, 8);
}

TEST(DeviceMath, InverseUndoesAndRefusesSingularMatrices) {
    const Matrix m = matrixMultiply(matrixScaling(2, 4, 0.5f), matrixTranslation(-3, 5, 11));
    Matrix inv;
    ASSERT_TRUE(matrixInverse(m, inv));
    expectVec(vec3TransformCoord({1, 9, 11.5f}, inv), 2, 1, 1);
    const Matrix id = matrixMultiply(m, inv);
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c) EXPECT_NEAR(matrixAt(id, r, c), r == c ? 1.0f : 0.0f, 1e-5f);

    Matrix untouched = matrixTranslation(1, 2, 3);
    EXPECT_FALSE(matrixInverse(matrixScaling(1, 0, 1), untouched));
    EXPECT_EQ(matrixAt(untouched, 4, 2), 2.0f);
}

TEST(DeviceMath, LookAtIsLeftHanded) {
    // Looking along +z from z = -10: the view keeps x and y and moves the target 10 ahead.
    const Matrix v = matrixLookAtLH({0, 0, -10}, {0, 0, 0}, {0, 1, 0});
    expectVec(vec3TransformCoord({0, 0, 0}, v), 0, 0, 10);
    expectVec(vec3TransformCoord({3, 2, 0}, v), 3, 2, 10);

    // Looking along -x from x = 10: +z of the world is on the viewer's right.
    const Matrix w = matrixLookAtLH({10, 0, 0}, {0, 0, 0}, {0, 1, 0});
    EXPECT_NEAR(matrixAt(w, 3, 1), 1.0f, 1e-6f);   // x axis of the view = world +z
    EXPECT_NEAR(matrixAt(w, 1, 3), -1.0f, 1e-6f);  // view direction = world -x
    expectVec(vec3TransformCoord({10, 0, 1}, w), 1, 0, 0);
    expectVec(vec3TransformCoord({0, 5, 0}, w), 0, 5, 10);
}

TEST(DeviceMath, LookAtAlongTheUpVectorGivesNoNaNs) {
    const Matrix v = matrixLookAtLH({0, 10, 0}, {0, 0, 0}, {0, 1, 0});
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c) EXPECT_FALSE(std::isnan(matrixAt(v, r, c)));
}

TEST(DeviceMath, PerspectiveMapsNearToZeroAndFarToOne) {
    const Matrix p = matrixPerspectiveFovLH(float(std::numbers::pi / 2), 2.0f, 1.0f, 101.0f);
    EXPECT_NEAR(matrixAt(p, 1, 1), 0.5f, 1e-6f);
    EXPECT_NEAR(matrixAt(p, 2, 2), 1.0f, 1e-6f);
    EXPECT_NEAR(matrixAt(p, 3, 3), 1.01f, 1e-6f);
    EXPECT_NEAR(matrixAt(p, 4, 3), -1.01f, 1e-6f);
    EXPECT_EQ(matrixAt(p, 3, 4), 1.0f);
    EXPECT_EQ(matrixAt(p, 4, 4), 0.0f);
    expectVec(vec3TransformCoord({0, 0, 1}, p), 0, 0, 0);
    expectVec(vec3TransformCoord({0, 0, 101}, p), 0, 0, 1);
    expectVec(vec3TransformCoord({2, 1, 1}, p), 1, 1, 0);
    expectVec(vec3TransformCoord({-20, 50, 50}, p), -0.2f, 1.0f, 1.01f * 49.0f / 50.0f);
    // On the eye's plane w is 0: the point comes back undivided instead of infinite.
    const glm::vec3 e = vec3TransformCoord({1, 1, 0}, p);
    EXPECT_TRUE(std::isfinite(e.x) && std::isfinite(e.z));
}

TEST(DeviceMath, InverseViewProjectionTakesClipCornersBackToTheFrustum) {
    const Matrix view = matrixLookAtLH({0, 0, -10}, {0, 0, 0}, {0, 1, 0});
    const Matrix proj = matrixPerspectiveFovLH(float(std::numbers::pi / 2), 1.0f, 1.0f, 100.0f);
    Matrix inv;
    ASSERT_TRUE(matrixInverse(matrixMultiply(view, proj), inv));
    expectVec(vec3TransformCoord({1, 1, 0}, inv), 1, 1, -9, 1e-4f);
    expectVec(vec3TransformCoord({-1, -1, 1}, inv), -100, -100, 90, 1e-2f);
}

TEST(DeviceMath, NormalizeKeepsZero) {
    expectVec(vec3Normalize({3, 0, 4}), 0.6f, 0, 0.8f);
    expectVec(vec3Normalize({0, 0, 0}), 0, 0, 0);
}

TEST(DeviceMath, PlaneThroughPointsAndLineCrossing) {
    const Plane p = planeFromPoints({0, 5, 0}, {0, 5, 1}, {1, 5, 0});
    EXPECT_NEAR(p.x, 0, 1e-6f);
    EXPECT_NEAR(p.y, 1, 1e-6f);
    EXPECT_NEAR(p.z, 0, 1e-6f);
    EXPECT_NEAR(p.w, -5, 1e-6f);
    EXPECT_NEAR(planeDotCoord(p, {3, 7, 2}), 2.0f, 1e-6f);
    // The other winding flips the normal.
    EXPECT_NEAR(planeFromPoints({0, 5, 0}, {1, 5, 0}, {0, 5, 1}).y, -1, 1e-6f);

    const Plane slanted = planeFromPoints({0, 0, 0}, {0, 1, 0}, {1, 0, 1});
    EXPECT_NEAR(glm::length(glm::vec3(slanted)), 1.0f, 1e-6f);
    EXPECT_NEAR(planeDotCoord(slanted, {2, 9, 2}), 0.0f, 1e-5f);
    EXPECT_EQ(planeFromPoints({0, 0, 0}, {1, 1, 1}, {2, 2, 2}), Plane(0.0f));

    glm::vec3 x;
    // A line, not a segment: the crossing may lie beyond both points.
    ASSERT_TRUE(planeIntersectLine(p, {2, 0, 3}, {2, 1, 3}, x));
    expectVec(x, 2, 5, 3);
    ASSERT_TRUE(planeIntersectLine(p, {0, 0, 0}, {10, 10, 0}, x));
    expectVec(x, 5, 5, 0);
    EXPECT_FALSE(planeIntersectLine(p, {0, 1, 0}, {5, 1, 5}, x));
    EXPECT_FALSE(planeIntersectLine(p, {0, 1, 0}, {0, 1, 0}, x));
}

#include "d3dframework/device_math.h"

#include <glm/geometric.hpp>
#include <glm/matrix.hpp>

#include <cmath>

namespace lnd {

Matrix matrixIdentity() { return Matrix(1.0f); }

Matrix matrixMultiply(const Matrix& a, const Matrix& b) { return b * a; }

bool matrixInverse(const Matrix& m, Matrix& out) {
    // glm's inverse does not report singular input. Our layout is glm's transpose, and the
    // inverse of a transpose is the transposed inverse, so glm's result needs no change.
    const float det = glm::determinant(m);
    if (det == 0.0f || !std::isfinite(det)) return false;
    out = glm::inverse(m);
    return true;
}

Matrix matrixScaling(float sx, float sy, float sz) {
    Matrix m(1.0f);
    matrixAt(m, 1, 1) = sx;
    matrixAt(m, 2, 2) = sy;
    matrixAt(m, 3, 3) = sz;
    return m;
}

Matrix matrixTranslation(float x, float y, float z) {
    Matrix m(1.0f);
    matrixAt(m, 4, 1) = x;
    matrixAt(m, 4, 2) = y;
    matrixAt(m, 4, 3) = z;
    return m;
}

Matrix matrixLookAtLH(const glm::vec3& eye, const glm::vec3& at, const glm::vec3& up) {
    const glm::vec3 zAxis = vec3Normalize(at - eye);
    const glm::vec3 xAxis = vec3Normalize(glm::cross(up, zAxis));
    const glm::vec3 yAxis = glm::cross(zAxis, xAxis);
    Matrix m(1.0f);
    for (int r = 0; r < 3; ++r) {
        matrixAt(m, r + 1, 1) = xAxis[r];
        matrixAt(m, r + 1, 2) = yAxis[r];
        matrixAt(m, r + 1, 3) = zAxis[r];
        matrixAt(m, r + 1, 4) = 0.0f;
    }
    matrixAt(m, 4, 1) = -glm::dot(xAxis, eye);
    matrixAt(m, 4, 2) = -glm::dot(yAxis, eye);
    matrixAt(m, 4, 3) = -glm::dot(zAxis, eye);
    matrixAt(m, 4, 4) = 1.0f;
    return m;
}

Matrix matrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar) {
    const float yScale = 1.0f / std::tan(fovY * 0.5f);
    const float xScale = yScale / aspect;
    Matrix m(0.0f);
    matrixAt(m, 1, 1) = xScale;
    matrixAt(m, 2, 2) = yScale;
    matrixAt(m, 3, 3) = zFar / (zFar - zNear);
    matrixAt(m, 3, 4) = 1.0f;
    matrixAt(m, 4, 3) = -zNear * zFar / (zFar - zNear);
    return m;
}

glm::vec3 vec3TransformCoord(const glm::vec3& v, const Matrix& m) {
    const glm::vec4 r = m * glm::vec4(v, 1.0f);   // our row-vector product, see the header
    if (r.w == 0.0f) return glm::vec3(r);
    return glm::vec3(r) / r.w;
}

glm::vec3 vec3TransformNormal(const glm::vec3& v, const Matrix& m) {
    return glm::vec3(m * glm::vec4(v, 0.0f));
}

glm::vec3 vec3Normalize(const glm::vec3& v) {
    const float len = glm::length(v);
    if (len == 0.0f || !std::isfinite(len)) return glm::vec3(0.0f);
    return v / len;
}

Plane planeFromPoints(const glm::vec3& p1, const glm::vec3& p2, const glm::vec3& p3) {
    const glm::vec3 n = vec3Normalize(glm::cross(p2 - p1, p3 - p1));
    return Plane(n, -glm::dot(n, p1));
}

float planeDotCoord(const Plane& plane, const glm::vec3& v) {
    return plane.x * v.x + plane.y * v.y + plane.z * v.z + plane.w;
}

bool planeIntersectLine(const Plane& plane, const glm::vec3& p1, const glm::vec3& p2, glm::vec3& out) {
    const glm::vec3 n(plane);
    const glm::vec3 d = p2 - p1;
    const float denom = glm::dot(n, d);
    if (denom == 0.0f) return false;
    const float t = -planeDotCoord(plane, p1) / denom;
    out = p1 + t * d;
    return true;
}

}  // namespace lnd

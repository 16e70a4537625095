// Left-handed, row-vector 3-D math on glm types.
//
// A point is a row vector multiplied on the left: p' = p * M, so M = A * B applies A first.
// `Matrix` is a glm::mat4 whose column index is our row: element Mrc (1-based, as in M41,
// the x of a translation) is m[r - 1][c - 1]. glm's own product therefore reads backwards:
// matrixMultiply(a, b) is glm's b * a. The memory layout is rows one after the other.
#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

namespace lnd {

using Matrix = glm::mat4;
// a x + b y + c z + d = 0, stored as (a, b, c, d).
using Plane = glm::vec4;

// Element Mrc, rows and columns counted from 1.
inline float& matrixAt(Matrix& m, int row, int col) { return m[row - 1][col - 1]; }
inline float matrixAt(const Matrix& m, int row, int col) { return m[row - 1][col - 1]; }

Matrix matrixIdentity();
// a then b.
Matrix matrixMultiply(const Matrix& a, const Matrix& b);
// False (and `out` untouched) when m is singular.
bool matrixInverse(const Matrix& m, Matrix& out);
Matrix matrixScaling(float sx, float sy, float sz);
Matrix matrixTranslation(float x, float y, float z);

// The view from `eye` towards `at`: +z looks at the target, +x to the right, +y up. With eye
// at the target or up along the line of sight the axes collapse to zero (no NaNs).
Matrix matrixLookAtLH(const glm::vec3& eye, const glm::vec3& at, const glm::vec3& up);
// Depth 0 at zNear and 1 at zFar; fovY in radians, aspect = width / height.
Matrix matrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar);

// (v, 1) * m divided by the resulting w; when w is 0 the undivided x, y, z are returned.
glm::vec3 vec3TransformCoord(const glm::vec3& v, const Matrix& m);
// (v, 0) * m: a direction, no translation.
glm::vec3 vec3TransformNormal(const glm::vec3& v, const Matrix& m);
// Unit length; the zero vector stays zero.
glm::vec3 vec3Normalize(const glm::vec3& v);

// The plane through three points with the normal cross(p2 - p1, p3 - p1) made unit length;
// three points on a line give the zero plane.
Plane planeFromPoints(const glm::vec3& p1, const glm::vec3& p2, const glm::vec3& p3);
// a x + b y + c z + d.
float planeDotCoord(const Plane& plane, const glm::vec3& v);
// Where the line through p1 and p2 (not only the segment) meets the plane. False when the
// line is parallel to the plane (or lies in it) or p1 equals p2.
bool planeIntersectLine(const Plane& plane, const glm::vec3& p1, const glm::vec3& p2, glm::vec3& out);

}  // namespace lnd

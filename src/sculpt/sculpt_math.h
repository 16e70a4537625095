// Small vector and matrix helpers for Clayvane: column-major 4 x 4 matrices laid out as the
// fixed-function pipeline loads them, so the renderer hands these arrays over unchanged.
#pragma once

#include <cmath>

namespace clay {

struct SVec3 {
    float x = 0, y = 0, z = 0;
};

inline SVec3 operator+(SVec3 a, SVec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline SVec3 operator-(SVec3 a, SVec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline SVec3 operator*(SVec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline SVec3& operator+=(SVec3& a, SVec3 b) {
    a.x += b.x;
    a.y += b.y;
    a.z += b.z;
    return a;
}
inline float Dot(SVec3 a, SVec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline SVec3 Cross(SVec3 a, SVec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float Length(SVec3 a) { return std::sqrt(Dot(a, a)); }
inline SVec3 Normalised(SVec3 a) {
    const float l = Length(a);
    return l > 0.0f ? a * (1.0f / l) : a;
}

// m[c * 4 + r]: column c, row r.
struct SMat4 {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    static SMat4 Identity() { return {}; }
    float At(int row, int col) const { return m[col * 4 + row]; }

    SMat4 operator*(const SMat4& b) const {
        SMat4 r;
        for (int c = 0; c < 4; ++c)
            for (int row = 0; row < 4; ++row) {
                float s = 0;
                for (int k = 0; k < 4; ++k) s += At(row, k) * b.At(k, c);
                r.m[c * 4 + row] = s;
            }
        return r;
    }

    // The same post-multiplications as glTranslatef and glRotatef.
    SMat4& Translate(float x, float y, float z) {
        SMat4 t;
        t.m[12] = x;
        t.m[13] = y;
        t.m[14] = z;
        *this = *this * t;
        return *this;
    }
    SMat4& Rotate(float degrees, float x, float y, float z) {
        const float a = degrees * 3.14159265358979f / 180.0f;
        const float c = std::cos(a), s = std::sin(a), t = 1 - c;
        const float l = std::sqrt(x * x + y * y + z * z);
        if (l > 0) {
            x /= l;
            y /= l;
            z /= l;
        }
        SMat4 r;
        r.m[0] = t * x * x + c;
        r.m[1] = t * x * y + s * z;
        r.m[2] = t * x * z - s * y;
        r.m[4] = t * x * y - s * z;
        r.m[5] = t * y * y + c;
        r.m[6] = t * y * z + s * x;
        r.m[8] = t * x * z + s * y;
        r.m[9] = t * y * z - s * x;
        r.m[10] = t * z * z + c;
        *this = *this * r;
        return *this;
    }

    // Inverse of a rotation-and-translation matrix (all the model-view matrices here are).
    SMat4 RigidInverse() const {
        SMat4 r;
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col) r.m[col * 4 + row] = At(col, row);
        for (int row = 0; row < 3; ++row)
            r.m[12 + row] = -(r.At(row, 0) * m[12] + r.At(row, 1) * m[13] + r.At(row, 2) * m[14]);
        return r;
    }

    SVec3 Rotated(SVec3 v) const {
        return {At(0, 0) * v.x + At(0, 1) * v.y + At(0, 2) * v.z, At(1, 0) * v.x + At(1, 1) * v.y + At(1, 2) * v.z,
                At(2, 0) * v.x + At(2, 1) * v.y + At(2, 2) * v.z};
    }
    SVec3 Translation() const { return {m[12], m[13], m[14]}; }
};

// The projection gluPerspective builds.
inline SMat4 Perspective(float fovyDegrees, float aspect, float zNear, float zFar) {
    const float f = 1.0f / std::tan(fovyDegrees * 3.14159265358979f / 360.0f);
    SMat4 p;
    p.m[0] = f / aspect;
    p.m[5] = f;
    p.m[10] = (zFar + zNear) / (zNear - zFar);
    p.m[11] = -1;
    p.m[14] = 2 * zFar * zNear / (zNear - zFar);
    p.m[15] = 0;
    return p;
}

struct SRay {
    SVec3 origin;
    SVec3 direction;   // not normalised
};

// The ray under a client-area pixel: eye and direction in the space of `modelView`.
inline SRay MouseRay(const SMat4& projection, const SMat4& modelView, float mouseX, float mouseY, int width, int height) {
    const float x = (2.0f * mouseX / float(width) - 1.0f) / projection.At(0, 0);
    const float y = -(2.0f * mouseY / float(height) - 1.0f) / projection.At(1, 1);
    const SMat4 inv = modelView.RigidInverse();
    return {inv.Translation(), inv.Rotated({x, y, -1.0f})};
}

struct SHitWeights {
    float t = 0, u = 0, v = 0;
};

// Single-sided ray-triangle test: triangles seen from behind are never hit.
inline bool RayTriangle(const SRay& ray, SVec3 a, SVec3 b, SVec3 c, SHitWeights& hit) {
    const SVec3 e = b - a, f = c - a;
    const SVec3 h = Cross(ray.direction, f);
    const float det = Dot(e, h);
    if (det < 0.0001f) return false;
    const SVec3 s = ray.origin - a;
    const float u = Dot(s, h);
    if (u < 0.0f || u > det) return false;
    const SVec3 q = Cross(s, e);
    const float v = Dot(ray.direction, q);
    if (v < 0.0f || u + v > det) return false;
    const float t = Dot(f, q);
    const float inv = 1.0f / det;
    hit = {t * inv, u * inv, v * inv};
    return true;
}

}  // namespace clay

// Small vector, colour and matrix types for the scene: world space is
// right-handed with z up; matrices use Direct3D's row-vector layout.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace scene {

constexpr float kPi = 3.14159265358979f;

struct Vec3 {
    float x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(Vec3 a, Vec3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
inline Vec3 Normalize(Vec3 a) {
    const float length = Length(a);
    return length > 0 ? a * (1.0f / length) : Vec3{0, 0, 1};
}
inline Vec3 Lerp(Vec3 a, Vec3 b, float t) { return a + (b - a) * t; }

// World positions far from the start need more than a float's precision; the
// renderer draws everything relative to the camera in floats.
struct DVec3 {
    double x = 0, y = 0, z = 0;
};
inline Vec3 Relative(DVec3 point, DVec3 origin) {
    return {static_cast<float>(point.x - origin.x), static_cast<float>(point.y - origin.y),
            static_cast<float>(point.z - origin.z)};
}

inline float Clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }
inline float Mix(float a, float b, float t) { return a + (b - a) * t; }
inline float SmoothStep(float edge0, float edge1, float v) {
    const float t = Clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

// Linear colour, 0..1 per channel (more for light sources before clamping).
using Color = Vec3;

// Packs a colour and an alpha as Direct3D's A8R8G8B8.
inline std::uint32_t PackColor(Color c, float alpha = 1.0f) {
    // Clamped to 0..255 first, so adding a half and truncating rounds; this
    // runs for every vertex of every frame, where lround would cost a call.
    auto channel = [](float v) {
        return static_cast<std::uint32_t>(Clamp01(v) * 255.0f + 0.5f); // NOLINT(bugprone-incorrect-roundings)
    };
    return channel(alpha) << 24 | channel(c.x) << 16 | channel(c.y) << 8 | channel(c.z);
}

struct Mat4 {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};
inline Mat4 operator*(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    return r;
}
// A point times the matrix, with the homogeneous w.
struct Vec4 {
    float x = 0, y = 0, z = 0, w = 0;
};
inline Vec4 Transform(Vec3 p, const Mat4& a) {
    return {p.x * a.m[0][0] + p.y * a.m[1][0] + p.z * a.m[2][0] + a.m[3][0],
            p.x * a.m[0][1] + p.y * a.m[1][1] + p.z * a.m[2][1] + a.m[3][1],
            p.x * a.m[0][2] + p.y * a.m[1][2] + p.z * a.m[2][2] + a.m[3][2],
            p.x * a.m[0][3] + p.y * a.m[1][3] + p.z * a.m[2][3] + a.m[3][3]};
}

} // namespace scene

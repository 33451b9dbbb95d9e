// The renderer's own small vector and transform arithmetic on the library's value types. The
// host keeps its own copy on purpose: it sees only the public headers, never the shading
// library's helpers.
#ifndef TARVO_HOST_RENDER_MATH_H
#define TARVO_HOST_RENDER_MATH_H

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "tarvo/types.h"

namespace tarvo::render {

using pvx::float2;
using pvx::float3;
using pvx::float4;

constexpr float kPi = 3.14159265358979f;

inline float3 operator+(float3 a, float3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline float3 operator-(float3 a, float3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline float3 operator-(float3 a) {
  return {-a.x, -a.y, -a.z};
}
inline float3 operator*(float3 a, float s) {
  return {a.x * s, a.y * s, a.z * s};
}
inline float3 operator*(float s, float3 a) {
  return {a.x * s, a.y * s, a.z * s};
}
inline float3 operator*(float3 a, float3 b) {
  return {a.x * b.x, a.y * b.y, a.z * b.z};
}
inline float3& operator+=(float3& a, float3 b) {
  return a = a + b;
}
inline float3& operator*=(float3& a, float3 b) {
  return a = a * b;
}
inline float4 operator+(float4 a, float4 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w};
}
inline float4 operator*(float4 a, float s) {
  return {a.x * s, a.y * s, a.z * s, a.w * s};
}

inline float dot(float3 a, float3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline float3 cross(float3 a, float3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(float3 a) {
  return std::sqrt(dot(a, a));
}
// Unit vector, or the zero vector unchanged.
inline float3 normalize(float3 a) {
  const float l = length(a);
  return l > 0.0f ? a * (1.0f / l) : a;
}
inline float maxComponent(float3 a) {
  return std::max(a.x, std::max(a.y, a.z));
}
inline bool isBlack(float3 a) {
  return a.x == 0.0f && a.y == 0.0f && a.z == 0.0f;
}
inline float3 rgb(float4 c) {
  return {c.x, c.y, c.z};
}

// Two unit vectors completing n to a right-handed orthonormal frame (Duff et al.'s branchless
// construction).
inline void orthonormalBasis(float3 n, float3* t, float3* b) {
  const float sign = std::copysign(1.0f, n.z);
  const float a = -1.0f / (sign + n.z);
  const float c = n.x * n.y * a;
  *t = {1.0f + sign * n.x * n.x * a, sign * c, -sign * n.x};
  *b = {c, sign + n.y * n.y * a, -n.y};
}

// An affine transform kept with its inverse, stored like the library's mat4: column by column,
// a point p mapping to (m[0]x + m[4]y + m[8]z + m[12], ...).
struct Transform {
  pvx::mat4 forward = pvx::identity4;
  pvx::mat4 inverse = pvx::identity4;

  static Transform fromMatrix(const pvx::mat4& m);  // throws std::domain_error when singular
  static Transform translate(float3 t);
  static Transform scale(float3 s);
  // Rotation about a unit axis by an angle in degrees.
  static Transform rotate(float3 axis, float degrees);

  // this applied after `first`.
  Transform operator*(const Transform& first) const;

  float3 point(float3 p) const { return apply(forward, p, 1.0f); }
  float3 vector(float3 v) const { return apply(forward, v, 0.0f); }
  float3 inversePoint(float3 p) const { return apply(inverse, p, 1.0f); }
  float3 inverseVector(float3 v) const { return apply(inverse, v, 0.0f); }
  // Normals go through the transposed inverse.
  float3 normal(float3 n) const {
    const float* m = inverse.m;
    return {m[0] * n.x + m[1] * n.y + m[2] * n.z, m[4] * n.x + m[5] * n.y + m[6] * n.z,
            m[8] * n.x + m[9] * n.y + m[10] * n.z};
  }
  // Object-space normal from a world-space one.
  float3 inverseNormal(float3 n) const {
    const float* m = forward.m;
    return {m[0] * n.x + m[1] * n.y + m[2] * n.z, m[4] * n.x + m[5] * n.y + m[6] * n.z,
            m[8] * n.x + m[9] * n.y + m[10] * n.z};
  }

  static float3 apply(const pvx::mat4& m, float3 p, float w) {
    return {m.m[0] * p.x + m.m[4] * p.y + m.m[8] * p.z + m.m[12] * w,
            m.m[1] * p.x + m.m[5] * p.y + m.m[9] * p.z + m.m[13] * w,
            m.m[2] * p.x + m.m[6] * p.y + m.m[10] * p.z + m.m[14] * w};
  }
};

pvx::mat4 multiply(const pvx::mat4& a, const pvx::mat4& b);
// Inverse of an affine matrix; false when its 3x3 part is singular.
bool invertAffine(const pvx::mat4& m, pvx::mat4* result);

// Small, fast, reproducible random numbers (PCG32), seeded per pixel sample.
class Random {
 public:
  Random() = default;
  Random(uint64_t seed, uint64_t stream) { reseed(seed, stream); }
  void reseed(uint64_t seed, uint64_t stream) {
    state_ = 0u;
    increment_ = (stream << 1u) | 1u;
    next();
    state_ += seed;
    next();
  }
  uint32_t next() {
    const uint64_t old = state_;
    state_ = old * 6364136223846793005ULL + increment_;
    const uint32_t xorshifted = static_cast<uint32_t>(((old >> 18u) ^ old) >> 27u);
    const uint32_t rot = static_cast<uint32_t>(old >> 59u);
    return (xorshifted >> rot) | (xorshifted << ((~rot + 1u) & 31u));
  }
  // Uniform in [0, 1): 24 random bits, so the result never rounds up to 1.
  float uniform() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }

 private:
  uint64_t state_ = 0x853c49e6748fea9bULL;
  uint64_t increment_ = 0xda3e39cb94b95bdbULL;
};

// A unit normal with the tangents orthonormalBasis gives it: worked out once for many directions.
struct NormalBasis {
  float3 t, b, n;
  explicit NormalBasis(float3 unitNormal) : n(unitNormal) { orthonormalBasis(n, &t, &b); }
};

// A cosine-weighted direction about the basis's normal from two uniform numbers.
inline float3 cosineDirection(const NormalBasis& basis, float u1, float u2) {
  const float r = std::sqrt(u1);
  const float phi = 2.0f * kPi * u2;
  const float z = std::sqrt(std::max(0.0f, 1.0f - u1));
  return normalize(basis.t * (r * std::cos(phi)) + basis.b * (r * std::sin(phi)) + basis.n * z);
}
inline float3 cosineDirection(float3 n, float u1, float u2) {
  return cosineDirection(NormalBasis(n), u1, u2);
}

// A direction uniformly distributed in the cone of half-angle acos(cosMax) about the unit axis.
inline float3 coneDirection(float3 axis, float cosMax, float u1, float u2) {
  const float cosTheta = 1.0f - u1 * (1.0f - cosMax);
  const float sinTheta = std::sqrt(std::max(0.0f, 1.0f - cosTheta * cosTheta));
  const float phi = 2.0f * kPi * u2;
  float3 t, b;
  orthonormalBasis(axis, &t, &b);
  return normalize(t * (sinTheta * std::cos(phi)) + b * (sinTheta * std::sin(phi)) +
                   axis * cosTheta);
}

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_MATH_H

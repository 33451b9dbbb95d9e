// Value-type arithmetic and the built-in functions every shader is written against, in the
// manner of a shading language. All arithmetic is single precision; the edge behaviour of each
// helper (NaN, zero length, exact ties) is part of its contract because shaders rely on it.
#ifndef TARVO_SHADINGLIB_VECTOR_MATH_H
#define TARVO_SHADINGLIB_VECTOR_MATH_H

#include <cmath>

#include "tarvo/types.h"

// The hot path of the entry points: TARVO_ALWAYS_INLINE on the small helpers every Ward-family
// evaluation goes through (frames, inputs, the lobe), so their results stay in registers and the
// parts an entry point does not read are not computed; TARVO_OUT_OF_LINE on the branches default
// parameters never take (maps, bumps, transparency), so they cost a call where they are used and
// neither code size nor registers where they are not, and on the body behind an entry point's
// early exits, so those exits save no registers; TARVO_FLATTEN on an entry point inlines
// everything it calls (code size for speed, used where a class is worth it). Other compilers
// make ordinary calls.
#if defined(__GNUC__)
#define TARVO_ALWAYS_INLINE inline __attribute__((always_inline))
#define TARVO_OUT_OF_LINE __attribute__((noinline))
#define TARVO_FLATTEN __attribute__((flatten))
#else
#define TARVO_ALWAYS_INLINE inline
#define TARVO_OUT_OF_LINE
#define TARVO_FLATTEN
#endif

namespace pvx {

// Constants, each the float value of the literal: pi is one unit above the float nearest to pi.
constexpr float kPi = 3.141593f;
constexpr float kInvPi = 0.3183099f;
constexpr float kInvTwoPi = 0.1591549f;
constexpr float kTwoPi = 6.283185f;
constexpr float kFourPi = 12.566372f;
constexpr float kPiOverFour = 0.78539824f;
// The largest finite float.
constexpr float kMaxFloat = 3.40282347e+38f;

// ---- component-wise operators -------------------------------------------------------------

#define TARVO_VECTOR_BINARY_OPERATOR(op)                           \
  inline float2 operator op(const float2& a, const float2& b) {    \
    return float2(a.x op b.x, a.y op b.y);                         \
  }                                                                \
  inline float3 operator op(const float3& a, const float3& b) {    \
    return float3(a.x op b.x, a.y op b.y, a.z op b.z);             \
  }                                                                \
  inline float4 operator op(const float4& a, const float4& b) {    \
    return float4(a.x op b.x, a.y op b.y, a.z op b.z, a.w op b.w); \
  }                                                                \
  inline float2 operator op(const float2& a, float s) {            \
    return float2(a.x op s, a.y op s);                             \
  }                                                                \
  inline float3 operator op(const float3& a, float s) {            \
    return float3(a.x op s, a.y op s, a.z op s);                   \
  }                                                                \
  inline float4 operator op(const float4& a, float s) {            \
    return float4(a.x op s, a.y op s, a.z op s, a.w op s);         \
  }                                                                \
  inline float2 operator op(float s, const float2& a) {            \
    return float2(s op a.x, s op a.y);                             \
  }                                                                \
  inline float3 operator op(float s, const float3& a) {            \
    return float3(s op a.x, s op a.y, s op a.z);                   \
  }                                                                \
  inline float4 operator op(float s, const float4& a) {            \
    return float4(s op a.x, s op a.y, s op a.z, s op a.w);         \
  }                                                                \
  inline float2& operator op##=(float2& a, const float2& b) {      \
    return a = a op b;                                             \
  }                                                                \
  inline float3& operator op##=(float3& a, const float3& b) {      \
    return a = a op b;                                             \
  }                                                                \
  inline float4& operator op##=(float4& a, const float4& b) {      \
    return a = a op b;                                             \
  }                                                                \
  inline float2& operator op##=(float2& a, float s) {              \
    return a = a op s;                                             \
  }                                                                \
  inline float3& operator op##=(float3& a, float s) {              \
    return a = a op s;                                             \
  }                                                                \
  inline float4& operator op##=(float4& a, float s) {              \
    return a = a op s;                                             \
  }

TARVO_VECTOR_BINARY_OPERATOR(+)
TARVO_VECTOR_BINARY_OPERATOR(-)
TARVO_VECTOR_BINARY_OPERATOR(*)
TARVO_VECTOR_BINARY_OPERATOR(/)
#undef TARVO_VECTOR_BINARY_OPERATOR

inline float2 operator-(const float2& a) {
  return float2(-a.x, -a.y);
}
inline float3 operator-(const float3& a) {
  return float3(-a.x, -a.y, -a.z);
}
inline float4 operator-(const float4& a) {
  return float4(-a.x, -a.y, -a.z, -a.w);
}

// Equal when every component is equal; unequal when any differs.
inline bool operator==(const float2& a, const float2& b) {
  return a.x == b.x && a.y == b.y;
}
inline bool operator==(const float3& a, const float3& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}
inline bool operator==(const float4& a, const float4& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}
inline bool operator!=(const float2& a, const float2& b) {
  return !(a == b);
}
inline bool operator!=(const float3& a, const float3& b) {
  return !(a == b);
}
inline bool operator!=(const float4& a, const float4& b) {
  return !(a == b);
}

inline float3 rgb(const float4& c) {
  return float3(c.x, c.y, c.z);
}

// ---- scalar functions ----------------------------------------------------------------------

inline float min(float a, float b) {
  return b < a ? b : a;
}
inline float max(float a, float b) {
  return a < b ? b : a;
}

// The single-argument functions of <cmath>, taken in single precision.
#define TARVO_FLOAT_FUNCTION(name, stdName) \
  inline float name(float x) {              \
    return std::stdName(x);                 \
  }
TARVO_FLOAT_FUNCTION(abs, fabs)
TARVO_FLOAT_FUNCTION(sqrt, sqrt)
TARVO_FLOAT_FUNCTION(exp, exp)
TARVO_FLOAT_FUNCTION(log, log)
TARVO_FLOAT_FUNCTION(sin, sin)
TARVO_FLOAT_FUNCTION(cos, cos)
TARVO_FLOAT_FUNCTION(tan, tan)
TARVO_FLOAT_FUNCTION(asin, asin)
TARVO_FLOAT_FUNCTION(acos, acos)
TARVO_FLOAT_FUNCTION(atan, atan)
TARVO_FLOAT_FUNCTION(floor, floor)
TARVO_FLOAT_FUNCTION(ceil, ceil)
#undef TARVO_FLOAT_FUNCTION
inline float pow(float x, float y) {
  return std::pow(x, y);
}
inline float atan2(float y, float x) {
  return std::atan2(y, x);
}

// max(x, lo), taking lo when x is NaN or equal to lo, then limited to hi: a NaN yields lo.
inline float clamp(float x, float lo, float hi) {
  const float m = (x > lo) ? x : lo;
  return (m > hi) ? hi : m;
}

// Limited to [0, 1]; a NaN passes through unchanged.
inline float saturate(float x) {
  return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x);
}

// Limited to [0, 1] for output colours; a NaN becomes 0.
inline float clamp01(float x) {
  return !(x > 0.0f) ? 0.0f : (x > 1.0f ? 1.0f : x);
}

inline float mix(float a, float b, float t) {
  return a * (1.0f - t) + b * t;
}

// 0 below e0, 1 from e1 on, the cubic t t (3 - 2 t) between; a NaN x gives NaN.
inline float smoothstep(float e0, float e1, float x) {
  if (x < e0) return 0.0f;
  if (x >= e1) return 1.0f;
  const float t = (x - e0) / (e1 - e0);
  return t * t * (3.0f - 2.0f * t);
}

inline float sign(float x) {
  return x < 0.0f ? -1.0f : (x > 0.0f ? 1.0f : 0.0f);
}

inline float mod(float x, float y) {
  return x - std::floor(x / y) * y;
}

// ---- component-wise versions ---------------------------------------------------------------

#define TARVO_COMPONENTWISE_1(name)                            \
  inline float2 name(const float2& v) {                        \
    return float2(name(v.x), name(v.y));                       \
  }                                                            \
  inline float3 name(const float3& v) {                        \
    return float3(name(v.x), name(v.y), name(v.z));            \
  }                                                            \
  inline float4 name(const float4& v) {                        \
    return float4(name(v.x), name(v.y), name(v.z), name(v.w)); \
  }
#define TARVO_COMPONENTWISE_2(name)                                                \
  inline float2 name(const float2& a, const float2& b) {                           \
    return float2(name(a.x, b.x), name(a.y, b.y));                                 \
  }                                                                                \
  inline float3 name(const float3& a, const float3& b) {                           \
    return float3(name(a.x, b.x), name(a.y, b.y), name(a.z, b.z));                 \
  }                                                                                \
  inline float4 name(const float4& a, const float4& b) {                           \
    return float4(name(a.x, b.x), name(a.y, b.y), name(a.z, b.z), name(a.w, b.w)); \
  }

TARVO_COMPONENTWISE_1(abs)
TARVO_COMPONENTWISE_1(sqrt)
TARVO_COMPONENTWISE_1(exp)
TARVO_COMPONENTWISE_1(log)
TARVO_COMPONENTWISE_1(sin)
TARVO_COMPONENTWISE_1(cos)
TARVO_COMPONENTWISE_1(tan)
TARVO_COMPONENTWISE_1(asin)
TARVO_COMPONENTWISE_1(acos)
TARVO_COMPONENTWISE_1(atan)
TARVO_COMPONENTWISE_1(floor)
TARVO_COMPONENTWISE_1(ceil)
TARVO_COMPONENTWISE_1(saturate)
TARVO_COMPONENTWISE_1(clamp01)
TARVO_COMPONENTWISE_1(sign)
TARVO_COMPONENTWISE_2(min)
TARVO_COMPONENTWISE_2(max)
TARVO_COMPONENTWISE_2(pow)
TARVO_COMPONENTWISE_2(atan2)
#undef TARVO_COMPONENTWISE_1
#undef TARVO_COMPONENTWISE_2

inline float3 pow(const float3& v, float e) {
  return float3(pow(v.x, e), pow(v.y, e), pow(v.z, e));
}

inline float2 clamp(const float2& v, float lo, float hi) {
  return float2(clamp(v.x, lo, hi), clamp(v.y, lo, hi));
}
inline float3 clamp(const float3& v, float lo, float hi) {
  return float3(clamp(v.x, lo, hi), clamp(v.y, lo, hi), clamp(v.z, lo, hi));
}
inline float4 clamp(const float4& v, float lo, float hi) {
  return float4(clamp(v.x, lo, hi), clamp(v.y, lo, hi), clamp(v.z, lo, hi), clamp(v.w, lo, hi));
}

// a (1 - t) + b t; a vector t mixes per component, and a float4 t mixes alpha by its own w.
inline float2 mix(const float2& a, const float2& b, float t) {
  return a * (1.0f - t) + b * t;
}
inline float3 mix(const float3& a, const float3& b, float t) {
  return a * (1.0f - t) + b * t;
}
inline float4 mix(const float4& a, const float4& b, float t) {
  return a * (1.0f - t) + b * t;
}
inline float3 mix(const float3& a, const float3& b, const float3& t) {
  return a * (float3(1.0f) - t) + b * t;
}
inline float4 mix(const float4& a, const float4& b, const float4& t) {
  return a * (float4(1.0f) - t) + b * t;
}

// Divides each component by the same scalar.
inline float2 mod(const float2& v, float y) {
  return float2(mod(v.x, y), mod(v.y, y));
}
inline float3 mod(const float3& v, float y) {
  return float3(mod(v.x, y), mod(v.y, y), mod(v.z, y));
}
inline float4 mod(const float4& v, float y) {
  return float4(mod(v.x, y), mod(v.y, y), mod(v.z, y), mod(v.w, y));
}

// ---- geometry ------------------------------------------------------------------------------

inline float dot(const float2& a, const float2& b) {
  return a.x * b.x + a.y * b.y;
}
inline float dot(const float3& a, const float3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline float dot(const float4& a, const float4& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

inline float3 cross(const float3& a, const float3& b) {
  return float3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

inline float length(const float2& v) {
  return sqrt(dot(v, v));
}
inline float length(const float3& v) {
  return sqrt(dot(v, v));
}
inline float length(const float4& v) {
  return sqrt(dot(v, v));
}
inline float distance(const float2& a, const float2& b) {
  return length(a - b);
}
inline float distance(const float3& a, const float3& b) {
  return length(a - b);
}

// v / |v|; a zero or NaN length leaves v unchanged.
inline float3 normalize(const float3& v) {
  const float l = length(v);
  if (!(l > 0.0f)) return v;
  return v * (1.0f / l);
}
inline float2 normalize(const float2& v) {
  const float l = length(v);
  if (!(l > 0.0f)) return v;
  return v * (1.0f / l);
}

// i - 2 dot(i, n) n, n taken as unit length.
inline float3 reflect(const float3& i, const float3& n) {
  return i - 2.0f * dot(i, n) * n;
}

// -n sign(dot(nref, i)): n when nref faces against i, -n when with it, zero when perpendicular.
inline float3 faceForward(const float3& n, const float3& i, const float3& nref) {
  return -n * sign(dot(nref, i));
}

// n turned to face a ray travelling along I: -n when n points along I, else n.
inline float3 facingRay(const float3& n, const float3& I) {
  return dot(I, n) > 0.0f ? -n : n;
}

// ---- colour --------------------------------------------------------------------------------

inline float maxComponent(const float3& c) {
  return max(max(c.x, c.y), c.z);
}
inline float minComponent(const float3& c) {
  return min(min(c.x, c.y), c.z);
}

// The factor is the float value of 0.3333333, one unit below the float nearest to 1/3, so the
// average of white is 0.99999994.
inline float average(const float3& c) {
  return (c.x + c.y + c.z) * 0.3333333f;
}

inline float luminance(const float3& c) {
  return 0.212671f * c.x + 0.71516f * c.y + 0.072169f * c.z;
}

inline float3 screen(const float3& a, const float3& b) {
  return a + b - a * b;
}

inline bool isBlack(const float3& c) {
  return c.x == 0.0f && c.y == 0.0f && c.z == 0.0f;
}

// ---- matrices (stored column by column) ----------------------------------------------------

// A mat3 on texture coordinates: the 2-D affine map (m0 u + m3 v + m6, m1 u + m4 v + m7).
inline float2 transformUV(const mat3& m, const float2& uv) {
  return float2(m.m[0] * uv.x + m.m[3] * uv.y + m.m[6], m.m[1] * uv.x + m.m[4] * uv.y + m.m[7]);
}

inline float2 operator*(const mat3& m, const float2& uv) {
  return transformUV(m, uv);
}

// A mat3 on a 3-vector, column by column.
inline float3 operator*(const mat3& m, const float3& v) {
  return float3(m.m[0] * v.x + m.m[3] * v.y + m.m[6] * v.z,
                m.m[1] * v.x + m.m[4] * v.y + m.m[7] * v.z,
                m.m[2] * v.x + m.m[5] * v.y + m.m[8] * v.z);
}

inline float3 transformPoint(const mat4& m, const float3& p) {
  return float3(m.m[0] * p.x + m.m[4] * p.y + m.m[8] * p.z + m.m[12],
                m.m[1] * p.x + m.m[5] * p.y + m.m[9] * p.z + m.m[13],
                m.m[2] * p.x + m.m[6] * p.y + m.m[10] * p.z + m.m[14]);
}

TARVO_ALWAYS_INLINE float3 transformDirection(const mat4& m, const float3& d) {
  return float3(m.m[0] * d.x + m.m[4] * d.y + m.m[8] * d.z,
                m.m[1] * d.x + m.m[5] * d.y + m.m[9] * d.z,
                m.m[2] * d.x + m.m[6] * d.y + m.m[10] * d.z);
}

// A row vector times a mat4: component k = m[4k] x + m[4k+1] y + m[4k+2] z + m[4k+3] w.
inline float4 operator*(const float4& v, const mat4& m) {
  float r[4];
  for (int k = 0; k < 4; ++k) {
    r[k] = m.m[4 * k] * v.x + m.m[4 * k + 1] * v.y + m.m[4 * k + 2] * v.z + m.m[4 * k + 3] * v.w;
  }
  return float4(r[0], r[1], r[2], r[3]);
}

// A row vector times a mat3: component k = m[3k] x + m[3k+1] y + m[3k+2] z, the stored floats
// taken by rows (how the environments apply their image rotation to a direction).
inline float3 operator*(const float3& v, const mat3& m) {
  return float3(m.m[0] * v.x + m.m[1] * v.y + m.m[2] * v.z,
                m.m[3] * v.x + m.m[4] * v.y + m.m[5] * v.z,
                m.m[6] * v.x + m.m[7] * v.y + m.m[8] * v.z);
}

inline mat3 operator*(const mat3& a, const mat3& b) {
  mat3 r;
  for (int c = 0; c < 3; ++c) {
    for (int row = 0; row < 3; ++row) {
      r.m[3 * c + row] =
          a.m[row] * b.m[3 * c] + a.m[3 + row] * b.m[3 * c + 1] + a.m[6 + row] * b.m[3 * c + 2];
    }
  }
  return r;
}

inline mat4 operator*(const mat4& a, const mat4& b) {
  mat4 r;
  for (int c = 0; c < 4; ++c) {
    for (int row = 0; row < 4; ++row) {
      r.m[4 * c + row] = a.m[row] * b.m[4 * c] + a.m[4 + row] * b.m[4 * c + 1] +
                         a.m[8 + row] * b.m[4 * c + 2] + a.m[12 + row] * b.m[4 * c + 3];
    }
  }
  return r;
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_VECTOR_MATH_H

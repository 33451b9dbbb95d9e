// Value types exchanged with the host: 2-, 3- and 4-component float vectors (a float3 doubles as
// an RGB colour, a float4 as RGBA) and 3x3 / 4x4 matrices stored column by column. They are plain
// standard-layout records; the shading library adds the arithmetic.
#ifndef TARVO_TYPES_H
#define TARVO_TYPES_H

#include <type_traits>

namespace pvx {

struct float2 {
  float x, y;
  float2() = default;
  constexpr explicit float2(float s) : x(s), y(s) {}
  constexpr float2(float x_, float y_) : x(x_), y(y_) {}
};

struct float3 {
  float x, y, z;
  float3() = default;
  constexpr explicit float3(float s) : x(s), y(s), z(s) {}
  constexpr float3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
};

struct float4 {
  float x, y, z, w;
  float4() = default;
  constexpr explicit float4(float s) : x(s), y(s), z(s), w(s) {}
  constexpr float4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
  constexpr float4(const float3& c, float w_) : x(c.x), y(c.y), z(c.z), w(w_) {}
};

// Column by column: m[0..2] is the first column, m[3..5] the second, m[6..8] the third.
struct mat3 {
  float m[9];
};

// Column by column: a point p maps to (m[0]x + m[4]y + m[8]z + m[12], ...); m[3], m[7], m[11],
// m[15] form the fourth row.
struct mat4 {
  float m[16];
};

constexpr mat3 identity3 = {{1, 0, 0, 0, 1, 0, 0, 0, 1}};
constexpr mat4 identity4 = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

static_assert(sizeof(float2) == 8 && sizeof(float3) == 12 && sizeof(float4) == 16);
static_assert(sizeof(mat3) == 36 && sizeof(mat4) == 64);
static_assert(std::is_standard_layout_v<float3> && std::is_trivially_copyable_v<float3>);
static_assert(std::is_standard_layout_v<mat4> && std::is_trivially_copyable_v<mat4>);

}  // namespace pvx

#endif  // TARVO_TYPES_H

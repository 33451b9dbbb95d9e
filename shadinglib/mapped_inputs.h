// Mapped inputs of the physically based materials: a surface input is either a constant or,
// with its switch on, a texture read at the transformed `uv` varying and scaled by a strength.
// A group of parameters `u_<x>MapEnable` / `u_<x>Map` / `u_<x>Transform` / constant /
// `u_<x>Amount` carries one input; TextureMap bundles the four map members so the rules below
// take one argument per group. Unbound maps read as opaque black, so a switched-on map without a
// texture gives black colours and 0 scalars.
#ifndef TARVO_SHADINGLIB_MAPPED_INPUTS_H
#define TARVO_SHADINGLIB_MAPPED_INPUTS_H

#include "shadinglib/texture_sampling.h"
#include "shadinglib/vector_math.h"

// The commonest group layout: switch, map, constant, transform, amount (default 1), e.g.
// TARVO_MAPPED_INPUT(PARAM, rough, Float, Value, 0.01f) declares `u_roughMapEnable`,
// `u_roughMap`, `u_roughValue`, `u_roughTransform`, `u_roughAmount`. Groups laid out otherwise
// are written out in the class's list. The optional trailing part is the note of the input:
// what it is (a noun phrase, which the five notes of the group are worded from) and the range
// and unit of its constant.
#define TARVO_MAPPED_INPUT(PARAM, stem, ConstantType, constantSuffix, constantDefault, ...)        \
  PARAM(Bool, u_##stem##MapEnable, false,                                                          \
        "take the " TARVO_MAPPED_INPUT_WHAT_(__VA_ARGS__, ) " from its map")                       \
  PARAM(Texture2D, u_##stem##Map, {},                                                              \
        "map of the " TARVO_MAPPED_INPUT_WHAT_(__VA_ARGS__, ) " (a scalar reads the red channel)") \
  PARAM(ConstantType, u_##stem##constantSuffix, constantDefault,                                   \
        TARVO_MAPPED_INPUT_WHAT_(__VA_ARGS__, ) " while the map is off" TARVO_MAPPED_INPUT_REST_(  \
            __VA_ARGS__, ))                                                                        \
  PARAM(Mat3, u_##stem##Transform, ::pvx::identity3,                                               \
        "UV transform of the " TARVO_MAPPED_INPUT_WHAT_(__VA_ARGS__, ) " map")                     \
  PARAM(Float, u_##stem##Amount, 1.0f,                                                             \
        "scale of the " TARVO_MAPPED_INPUT_WHAT_(__VA_ARGS__, ) " texel")
#define TARVO_MAPPED_INPUT_WHAT_(what, ...) what
#define TARVO_MAPPED_INPUT_REST_(what, ...) , __VA_ARGS__

// The map half of a group whose members follow the `u_<x>...` names.
#define TARVO_TEXTURE_MAP(params, stem)                                                 \
  ::pvx::TextureMap {                                                                   \
    (params).u_##stem##MapEnable, (params).u_##stem##Map, (params).u_##stem##Transform, \
        (params).u_##stem##Amount                                                       \
  }

namespace pvx {

// The switch, texture, UV transform and strength of one mapped input (references into the
// parameter block, nothing copied).
struct TextureMap {
  bool enabled;
  const Texture2D& map;
  const mat3& transform;
  float amount;
};

// (s, t) = (m0 u + m3 v + m6, m1 u + m4 v + m7) k; the third row of the matrix is ignored.
inline float2 mappedUV(const float2& uv, const mat3& transform, float uvScale = 1.0f) {
  return transformUV(transform, uv) * uvScale;
}

// The map's texel at the transformed UV (opaque black when unbound), whatever the switch.
inline float4 sampleMap(const TextureMap& m, const float2& uv, float uvScale = 1.0f) {
  return sample2D(m.map, mappedUV(uv, m.transform, uvScale));
}

// How a colour group treats its texel when the switch is on.
enum class ColorRule {
  Scaled,                // amount x texel
  ClampedAfterScaling,   // clamp(amount x texel, 0, 1) per channel
  ClampedBeforeScaling,  // amount x clamp(texel, 0, 1) per channel
  ConstantTimesClamped,  // constant x clamp(amount x texel, 0, 1) per channel
};

// The rule applied to the texel's colour (alpha dropped).
inline float3 mappedTexelColor(const TextureMap& m, const float3& constant, const float2& uv,
                               ColorRule rule) {
  const float3 texel = rgb(sampleMap(m, uv));
  switch (rule) {
    case ColorRule::ClampedAfterScaling:
      return clamp(texel * m.amount, 0.0f, 1.0f);
    case ColorRule::ClampedBeforeScaling:
      return clamp(texel, 0.0f, 1.0f) * m.amount;
    case ColorRule::ConstantTimesClamped:
      return constant * clamp(texel * m.amount, 0.0f, 1.0f);
    case ColorRule::Scaled:
      break;
  }
  return texel * m.amount;
}

// The constant with the switch off, the texel's colour by the rule with it on (the switch is
// tested where the colour is needed, the texel read behind a call).
TARVO_ALWAYS_INLINE float3 mappedColor(const TextureMap& m, const float3& constant,
                                       const float2& uv, ColorRule rule = ColorRule::Scaled) {
  if (!m.enabled) return constant;
  return mappedTexelColor(m, constant, uv, rule);
}

// amount x the texel's first channel (never its luminance) with the switch on.
inline float mappedScalarTexel(const TextureMap& m, const float2& uv) {
  return m.amount * sampleMap(m, uv).x;
}

inline float mappedScalar(const TextureMap& m, float constant, const float2& uv) {
  return m.enabled ? mappedScalarTexel(m, uv) : constant;
}

// The map's value mixed with the constant by `fade` (1 = all map); the constant alone with the
// switch off.
inline float mappedScalarFaded(const TextureMap& m, float constant, float fade, const float2& uv) {
  if (!m.enabled) return constant;
  return fade * mappedScalarTexel(m, uv) + (1.0f - fade) * constant;
}

// Roughness from a glossiness-like texel (white = polished): a fitted curve of s = 1 - g in
// three pieces that runs from 0.0505339 at g = 1 to 1.0 at g = 0.
inline float roughnessCurve(float x) {
  const float s = 1.0f - clamp(x, 0.0f, 1.0f);
  if (s < 0.5f) return 1.11078f * s * s - 0.225494f * s + 0.0505339f;
  if (s < 0.9f) return 24.1745f * s * s * s - 45.6128f * s * s + 28.605f * s - 5.72202f;
  return (s - 0.9f) * 3.0f + 0.7f;
}

// Refraction roughness from a glossiness-like texel: 1 near 0, 0 near 1 (then raised to the
// floor), an exponential between; never below 0.0001 so the host's trace keeps a spread.
inline float refractGlossinessCurve(float x) {
  float r;
  if (abs(x) <= 0.01f) {
    r = 1.0f;
  } else if (abs(x - 1.0f) < 0.01f) {
    r = 0.0f;
  } else {
    r = 0.8082f * exp(-4.956f * x);
  }
  if (!(r > 0.0001f)) return 0.0001f;
  return r > 1.0f ? 1.0f : r;
}

// Remapped scalars: the curve applies to the map path only; the constant is used as it stands.
inline float mappedRoughness(const TextureMap& m, float constant, const float2& uv) {
  return m.enabled ? roughnessCurve(mappedScalarTexel(m, uv)) : constant;
}

inline float mappedRefractGlossiness(const TextureMap& m, float constant, const float2& uv) {
  return m.enabled ? refractGlossinessCurve(mappedScalarTexel(m, uv)) : constant;
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_MAPPED_INPUTS_H

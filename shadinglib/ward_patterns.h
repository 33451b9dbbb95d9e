// The Ward family's built-in patterns: the procedural bumps of `u_procedureMapEnable` and the
// grey mottling of image-fade mode 4. They are this library's own designs, chosen to be small,
// smooth and deterministic: every value comes from the host's noise service and the bound
// lookup table, so the same hit always shades the same.
//
// Bumps are height fields h. The slope a bump hands back is (-dh/du, -dh/dv, 0) in the frame's
// local space (u along T, v along B), by forward differences; the material multiplies it by
// `u_procedureMapAmount` and adds it to N.
//   Modes 5, 6, 7 (hammered, mottled, creased): solid noise of type mode - 5 (regular, fractal,
//     turbulence) in the space q = 100 P x tiling, of feature size 150 and 5 octaves, ramped
//     between the thresholds 0.2 and 0.9 onto the grey levels 0.135294 and 0.901961; the
//     differences step 1.5 along T and B, and the slope is per unit of feature size.
//   Modes 1, 2, 3 (grain along the tangent, grain along the bitangent, rings): the object-space
//     position projected on the `tangent` and `bitangent` varyings and scaled by the tiling gives
//     (u, v); a noise-wobbled stripe or ring coordinate reads the red channel of `u_smokeMap`
//     (wrapped to [0, 1)) as the height. An unbound table is flat.
// Image fade mode 4: fractal noise of the `uv` varying at feature size 0.015 with 3 octaves,
// ramped between 0.2 and 0.65 onto the grey levels 0.5 and 0.58.
#ifndef TARVO_SHADINGLIB_WARD_PATTERNS_H
#define TARVO_SHADINGLIB_WARD_PATTERNS_H

#include <cstdint>

#include "shadinglib/noise.h"
#include "shadinglib/shading_frame.h"
#include "shadinglib/texture_sampling.h"
#include "shadinglib/varyings.h"

namespace pvx {

namespace ward_pattern {

// Modes 5 to 7.
constexpr float kSpaceScale = 100.0f;
constexpr float kFeatureSize = 150.0f;
constexpr float kDifferenceStep = 1.5f;
constexpr float kOctaves = 5.0f;
constexpr float kLowThreshold = 0.2f;
constexpr float kHighThreshold = 0.9f;
constexpr float kDarkGrey = 0.135294f;
constexpr float kLightGrey = 0.901961f;

// Modes 1 to 3.
constexpr float kTableStep = 0.01f;
constexpr float kWobble = 0.5f;

// Image fade mode 4.
constexpr float kFadeFeatureSize = 0.015f;
constexpr float kFadeOctaves = 3.0f;
constexpr float kFadeLowThreshold = 0.2f;
constexpr float kFadeHighThreshold = 0.65f;
constexpr float kFadeDarkGrey = 0.5f;
constexpr float kFadeLightGrey = 0.58f;

inline float solidHeight(IHostContext* host, const float3& q, int32_t type) {
  const float v = noiseValue(host, q * (1.0f / kFeatureSize), 0.0f, type, kOctaves);
  return mix(kDarkGrey, kLightGrey, noiseThreshold(v, kLowThreshold, kHighThreshold));
}

inline float tableHeight(IHostContext* host, const Texture1D& table, int32_t mode, float u,
                         float v) {
  const float wobble = kWobble * hostNoise(host, float3(u, v, 0.0f), 0.0f);
  float c;
  if (mode == 1) {
    c = u + wobble;
  } else if (mode == 2) {
    c = v + wobble;
  } else {
    c = sqrt(u * u + v * v) + wobble;
  }
  return sample1D(table, c - floor(c)).x;
}

}  // namespace ward_pattern

// Slope of the solid-noise bump of modes 5 to 7 at the world position P.
inline float3 solidBumpSlope(IHostContext* host, int32_t mode, const float3& tiling,
                             const float3& P, const TangentFrame& frame) {
  using namespace ward_pattern;
  const int32_t type = mode - 5;
  const float3 q = P * tiling * kSpaceScale;
  const float h = solidHeight(host, q, type);
  const float hu = solidHeight(host, q + frame.T * kDifferenceStep, type);
  const float hv = solidHeight(host, q + frame.B * kDifferenceStep, type);
  constexpr float perFeature = kFeatureSize / kDifferenceStep;
  return float3((h - hu) * perFeature, (h - hv) * perFeature, 0.0f);
}

// Slope of the lookup-table bump of modes 1 to 3.
inline float3 tableBumpSlope(IHostContext* host, int32_t mode, const float3& tiling,
                             const Texture1D& table, const ShadingState& state,
                             int32_t tangentOffset, int32_t bitangentOffset) {
  using namespace ward_pattern;
  const float3 t = readVarying<float3>(state, tangentOffset);
  const float3 b = readVarying<float3>(state, bitangentOffset);
  const float u = dot(state.Po, t) * tiling.x;
  const float v = dot(state.Po, b) * tiling.y;
  const float h = tableHeight(host, table, mode, u, v);
  const float hu = tableHeight(host, table, mode, u + kTableStep, v);
  const float hv = tableHeight(host, table, mode, u, v + kTableStep);
  return float3((h - hu) / kTableStep, (h - hv) / kTableStep, 0.0f);
}

// Grey fade colour of image-fade mode 4.
inline float3 imageFadePattern(IHostContext* host, const float2& uv) {
  using namespace ward_pattern;
  const float3 p(uv.x / kFadeFeatureSize, uv.y / kFadeFeatureSize, 0.0f);
  const float v = noiseValue(host, p, 0.0f, kNoiseFractal, kFadeOctaves);
  return float3(
      mix(kFadeDarkGrey, kFadeLightGrey, noiseThreshold(v, kFadeLowThreshold, kFadeHighThreshold)));
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_WARD_PATTERNS_H

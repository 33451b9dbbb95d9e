// Shadows received by shadow-catching surfaces (the shadow plane, background geometry): how much
// of the lights' strength reaches a point, as a colour, and how that and the host's occlusion
// darken towards a shadow colour, and the path that passes such a surface straight on.
#ifndef TARVO_SHADINGLIB_RECEIVED_SHADOW_H
#define TARVO_SHADINGLIB_RECEIVED_SHADOW_H

#include "shadinglib/light_samples.h"
#include "shadinglib/vector_math.h"
#include "tarvo/shading_state.h"

namespace pvx {

// Sums over the light samples at a hit: `strength` is the sum of each light's largest
// unshadowed channel, `transmitted` the sum of each light's transmission weighted by the
// largest channel of its shadowed colour.
struct LightTransmission {
  float strength = 0.0f;
  float3 transmitted{0.0f};
};

inline LightTransmission gatherLightTransmission(IHostContext* host, const float3* P,
                                                 const float3* N) {
  LightTransmission sums;
  forEachLightSample(host->lightSamples(0, P, N), [&](const LightSample& light) {
    sums.strength += maxComponent(light.unshadowedColor);
    sums.transmitted +=
        light.transmission * maxComponent(light.unshadowedColor * light.transmission);
  });
  return sums;
}

// Nothing darkens the point: every light arrives whole (or there is none) and nothing occludes.
inline bool receivesNoShadow(const LightTransmission& sums, const float3& accessibility) {
  return sums.transmitted == float3(sums.strength) && accessibility == float3(1.0f);
}

// Strength-weighted mean transmission per channel; unlit points count as unshadowed.
inline float3 meanTransmission(const LightTransmission& sums) {
  if (sums.strength == 0.0f) return float3(1.0f);
  return sums.transmitted / sums.strength;
}

// The shadow colour blended in by `intensity`: what a fully blocked light leaves.
inline float3 fullShadowTint(const float3& shadowColor, float intensity) {
  return shadowColor * intensity + float3(1.0f - intensity);
}

// Transmission and occlusion, each taking the point from white towards its shadow tint.
inline float3 receivedShadow(const float3& meanTransmission, const float3& fullShadow,
                             const float3& accessibility, const float3& shadowColor) {
  const float3 lit = meanTransmission + (float3(1.0f) - meanTransmission) * fullShadow;
  const float3 open = accessibility + (float3(1.0f) - accessibility) * shadowColor;
  return lit * open;
}

// A shadow catcher is no part of what a path sees: it continues along I, unweighted, as a
// glossy ray.
inline void scatterStraightOn(ShadingState* state) {
  state->scatterDir = state->I;
  state->scatterWeight = float3(1.0f);
  state->scatterCos = 1.0f;
  state->scatterInvPdf = 1.0f;
  state->scatterKind = kRayGlossy;
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_RECEIVED_SHADOW_H

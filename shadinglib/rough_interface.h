// The rough interface of the clear materials (the dielectric and the glazing) at one hit: the
// tangent frame turned to face the arriving ray, that ray in the frame, the reflectance at its
// angle, the index ratio and the GGX alpha squared; what it scatters towards a direction the host
// chose, and the direct term the lights give through it.
#ifndef TARVO_SHADINGLIB_ROUGH_INTERFACE_H
#define TARVO_SHADINGLIB_ROUGH_INTERFACE_H

#include "shadinglib/light_samples.h"
#include "shadinglib/microfacet.h"
#include "shadinglib/shading_frame.h"
#include "tarvo/host_services.h"
#include "tarvo/shading_state.h"

namespace pvx {

struct RoughInterface {
  TangentFrame frame;
  float3 i;   // the arriving ray, local to the frame
  float F;    // reflectance at the arriving angle
  float eta;  // incident index over transmitted index
  float alpha2;

  // F Rm + (1 - F) Tm towards a local direction o, on either side.
  float value(const float3& o) const { return microfacetScattering(i, o, F, eta, alpha2); }
};

// `evaluate`: the value towards `scatterDir` and the cosine between it and the normal.
inline void writeInterfaceValue(const RoughInterface& in, ShadingState* state) {
  const float3 o = frameToLocal(in.frame, state->scatterDir);
  state->scatterWeight = float3(in.value(o));
  state->scatterCos = abs(o.z);
}

// Each light but the diffuse-only ones adds its colour times the value towards it, faded by the
// horizon ramp.
inline float3 interfaceDirectLight(IHostContext* host, const ShadingState& s,
                                   const RoughInterface& in) {
  const float3& N = in.frame.N;
  float3 sum(0.0f);
  forEachRampedLight(host->lightSamples(0, &s.P, &N), N, [&](const LightSample& light, float w) {
    if (light.tag == kLightTagDiffuseOnly) return;
    sum += light.color * (in.value(frameToLocal(in.frame, light.L)) * w);
  });
  return sum;
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_ROUGH_INTERFACE_H

// Walking the host's list of light samples for a hit, with the horizon ramp lit materials fade
// each light by.
#ifndef TARVO_SHADINGLIB_LIGHT_SAMPLES_H
#define TARVO_SHADINGLIB_LIGHT_SAMPLES_H

#include "shadinglib/vector_math.h"
#include "tarvo/host_services.h"

namespace pvx {

// The list is host memory chained through `next`; a chain that loops back on itself must not
// hang a render thread, so records past this many are not visited.
constexpr int kMaxLightSamples = 1024;

// Calls visit(record) for each record from `first` on, in list order.
template <class Visit>
TARVO_ALWAYS_INLINE void forEachLightSample(const LightSample* first, Visit&& visit) {
  int visited = 0;
  for (const LightSample* s = first; s != nullptr && visited < kMaxLightSamples;
       s = s->next, ++visited) {
    visit(*s);
  }
}

// How much of a light a lit material takes at a cosine between the light direction and its
// normal: nothing within 0.05 of the horizon, all of it from 0.25 on, a smoothstep between, so
// highlights and diffuse light fade out instead of cutting off at the terminator.
inline float horizonRamp(float cosine) {
  const float x = clamp(cosine - 0.05f, 0.0f, 0.2f) / 0.2f;
  return x * x * (3.0f - 2.0f * x);
}

// The light loop of every lit material: calls visit(record, w) for each record from `first` on,
// w the record's scalar weight faded by the horizon ramp at the lighting normal N. Which records
// a material skips (black ones, diffuse-only ones for a highlight, negative weights) is its own.
template <class Visit>
TARVO_ALWAYS_INLINE void forEachRampedLight(const LightSample* first, const float3& N,
                                            Visit&& visit) {
  forEachLightSample(first, [&](const LightSample& light) {
    visit(light, horizonRamp(dot(N, light.L)) * light.weight);
  });
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_LIGHT_SAMPLES_H

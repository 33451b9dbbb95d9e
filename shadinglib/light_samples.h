// Walking the host's list of light samples for a hit.
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
void forEachLightSample(const LightSample* first, Visit&& visit) {
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

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_LIGHT_SAMPLES_H

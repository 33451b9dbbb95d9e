// The choice a surface that both reflects and transmits makes in `scatter`: which of the two
// bounce groups the host still accepts, and, when it accepts both, a random pick by the
// reflectance whose weight needs no rescaling.
#ifndef TARVO_SHADINGLIB_SCATTER_CHOICE_H
#define TARVO_SHADINGLIB_SCATTER_CHOICE_H

#include <cstdint>

#include "tarvo/host_services.h"
#include "tarvo/shading_state.h"

namespace pvx {

struct ScatterPermissions {
  bool reflection;    // any of the diffuse, glossy, specular reflection bytes
  bool transmission;  // any of the diffuse, glossy, specular transmission bytes
};

inline ScatterPermissions scatterPermissions(const ShadingState& state) {
  const uint8_t* a = state.allowScatter;
  return ScatterPermissions{a[kAllowDiffuseReflection] != 0 || a[kAllowGlossyReflection] != 0 ||
                                a[kAllowSpecularReflection] != 0,
                            a[kAllowDiffuseTransmission] != 0 || a[kAllowGlossyTransmission] != 0 ||
                                a[kAllowSpecularTransmission] != 0};
}

struct ScatterChoice {
  bool reflect;
  float weight;
};

// Only transmission allowed: transmit with weight 1 - R. Only reflection: reflect with weight R.
// Both: one `random1` number r, transmit when R < r, weight 1 either way (the choice itself
// carries the reflectance). At least one group must be allowed.
inline ScatterChoice chooseReflectionOrTransmission(const ScatterPermissions& allowed,
                                                    float reflectance, IHostContext* host) {
  if (!allowed.reflection) return ScatterChoice{false, 1.0f - reflectance};
  if (!allowed.transmission) return ScatterChoice{true, reflectance};
  return ScatterChoice{!(reflectance < host->random1()), 1.0f};
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_SCATTER_CHOICE_H

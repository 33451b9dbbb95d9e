// What the point and spot lights share: the distance falloff shaped by `attenuationFactors`, the
// spot cone's smooth edge, and the shadow transmission the host traces towards the light.
#ifndef TARVO_SHADINGLIB_LIGHT_FALLOFF_H
#define TARVO_SHADINGLIB_LIGHT_FALLOFF_H

#include "shadinglib/vector_math.h"
#include "tarvo/host_services.h"
#include "tarvo/shading_state.h"

namespace pvx {

// 1 - (d / a)^b limited to [0, 1], with (a, b) the first two attenuation factors: full light up
// to the source, none from distance a on when b > 0. The default factors (1, 0, 0) make it 0 at
// every distance. A NaN (0 / 0, say) passes through rather than being mistaken for darkness.
inline float distanceAttenuation(float distance, const float3& factors) {
  return saturate(1.0f - pow(distance / factors.x, factors.y));
}

// The cosine of the angle between the light's axis and the direction towards the shaded point,
// limited to [0, 1]. clamp sends a NaN (a degenerate direction) to 0, which lies outside every
// cone whose penumbra cosine is positive, so such a point is left unlit instead of NaN-lit.
inline float coneCosine(const float3& axis, const float3& towardsPoint) {
  return clamp(dot(axis, towardsPoint), 0.0f, 1.0f);
}

// The cone's edge for a cosine already inside the penumbra: 1 from cosUmbra inwards, a smooth
// cubic rise from 0 at cosPenumbra to 1 at cosUmbra.
inline float coneEdge(float cosine, float cosPenumbra, float cosUmbra) {
  if (cosine >= cosUmbra) return 1.0f;
  const float t = saturate((cosine - cosPenumbra) / (cosUmbra - cosPenumbra));
  return t * t * (3.0f - 2.0f * t);
}

// What reaches the shaded point from the light sample unblocked: the host's shadow ray when the
// light casts shadows, otherwise everything. No host call is made for a light without shadows.
inline float3 lightTransmission(IHostContext* host, const ShadingState& state, bool castShadows) {
  float3 transmission(1.0f);
  if (castShadows) host->shadowTransmission(&transmission, &state.P, &state.lightP);
  return transmission;
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_LIGHT_FALLOFF_H

// Light absorbed inside a body: base-10 extinction over the distance a ray travelled, with the
// coefficient given directly or derived from a transmittance colour.
#ifndef TARVO_SHADINGLIB_ABSORPTION_H
#define TARVO_SHADINGLIB_ABSORPTION_H

#include "shadinglib/vector_math.h"

namespace pvx {

// Per channel 10^(-a d), always in [0, 1]: a coefficient that is negative or not a number
// absorbs nothing, a distance of 0 (or not a number) absorbs nothing whatever the coefficient,
// and an infinite product absorbs everything.
inline float base10Transmittance(float coefficient, float distance) {
  if (!(coefficient > 0.0f) || !(distance > 0.0f)) return 1.0f;
  // ln 10: 10^-x = e^(-x ln 10).
  return exp(-coefficient * distance * 2.3025851f);
}

inline float3 base10Transmittance(const float3& coefficient, float distance) {
  return float3(base10Transmittance(coefficient.x, distance),
                base10Transmittance(coefficient.y, distance),
                base10Transmittance(coefficient.z, distance));
}

// The coefficient of a transmittance colour t read from a map: -ln(t) / scale per channel, with
// `scale` the absorption coefficient parameter acting as the distance over which t holds. A
// transmittance of 0 is an infinite coefficient; one of 1 or more absorbs nothing; a scale that
// is not positive makes any transmittance below 1 opaque.
inline float transmittanceCoefficient(float transmittance, float scale) {
  if (!(transmittance < 1.0f)) return 0.0f;
  if (!(transmittance > 0.0f) || !(scale > 0.0f)) return 3.0e38f;
  return -log(transmittance) / scale;
}

inline float3 transmittanceCoefficient(const float3& transmittance, const float3& scale) {
  return float3(transmittanceCoefficient(transmittance.x, scale.x),
                transmittanceCoefficient(transmittance.y, scale.y),
                transmittanceCoefficient(transmittance.z, scale.z));
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_ABSORPTION_H

// Latitude-longitude environment images, z up: the mapping from a direction to image
// coordinates and the lookup through it. The environments, and the materials that stand in for
// them on reflected rays, all look images up this one way.
#ifndef TARVO_SHADINGLIB_LATLONG_H
#define TARVO_SHADINGLIB_LATLONG_H

#include "shadinglib/texture_sampling.h"
#include "shadinglib/vector_math.h"

namespace pvx {

// 1/(2 pi) and 1/pi written as the image convention gives them; as floats they equal kInvTwoPi
// and kInvPi, not the floats nearest to the true values.
constexpr float kLatLongLongitudeScale = 0.15915491f;
constexpr float kLatLongLatitudeScale = 0.31830990f;

// u = atan2(-y, x) / (2 pi) + 1/4, v = asin(z) / pi + 1/2 for a unit direction: +x lands at
// u = 1/4, -y at 1/2, +y at 0; v runs from 0 at -z to 1 at +z. u spans [-1/4, 3/4] and is left
// for the texture to wrap. z is limited to [-1, 1] first so that a direction rounded a hair past
// unit length (a rotated pole) still maps to the pole instead of to NaN; a NaN passes through.
inline float2 latLongCoordinates(const float3& d) {
  const float z = min(max(d.z, -1.0f), 1.0f);
  return float2(atan2(-d.y, d.x) * kLatLongLongitudeScale + 0.25f,
                asin(z) * kLatLongLatitudeScale + 0.5f);
}

// The image's texel in direction d; opaque black when no image is bound.
inline float4 sampleLatLong(const Texture2D& image, const float3& d) {
  return sample2D(image, latLongCoordinates(d));
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_LATLONG_H

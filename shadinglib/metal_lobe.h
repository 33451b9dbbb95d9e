// The Ward lobe as the metal surfaces (the metal and the metallic paint) evaluate it: directions
// brought into the tangent frame are clamped to [-1, 1] per component and renormalised, since
// their frames carry bumped normals that are not always unit length; and the reflectivity curve
// that splits their light between diffuse and glossy, which unlike the Ward family's is not
// limited to [0, 1].
#ifndef TARVO_SHADINGLIB_METAL_LOBE_H
#define TARVO_SHADINGLIB_METAL_LOBE_H

#include "shadinglib/shading_frame.h"
#include "shadinglib/vector_math.h"

namespace pvx {

// A world direction in the frame's local space, as a unit vector.
inline float3 unitLocalDirection(const TangentFrame& frame, const float3& world) {
  return normalize(clamp(frameToLocal(frame, world), -1.0f, 1.0f));
}

// r0 head-on, r90 at grazing, along (1 - c)^power with c the viewing cosine limited to [0, 1].
inline float metalReflectivity(float cosine, float r0, float r90, float power) {
  return r0 + (r90 - r0) * pow(1.0f - clamp(cosine, 0.0f, 1.0f), power);
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_METAL_LOBE_H

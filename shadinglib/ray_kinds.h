// How the environments and the background geometry sort escaped and reflected rays: kind 4
// carries both glossy reflections and straight continuations, and `viewThrough` tells them apart.
#ifndef TARVO_SHADINGLIB_RAY_KINDS_H
#define TARVO_SHADINGLIB_RAY_KINDS_H

#include "tarvo/shading_state.h"

namespace pvx {

// A ray that should see the environment image rather than the backdrop: a reflection (kind 2),
// or a kind-4 ray that was not continued straight through a surface.
inline bool isEnvironmentView(const ShadingState& state) {
  return state.rayKind == kRayReflection || (state.rayKind == kRayGlossy && state.viewThrough == 0);
}

// A ray that should see what the camera sees: a camera ray, or a kind-4 ray continued straight
// through a surface (`viewThrough` set).
inline bool isCameraView(const ShadingState& state) {
  return state.rayKind == kRayCamera || (state.rayKind == kRayGlossy && state.viewThrough != 0);
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_RAY_KINDS_H

// The colour-grading operations applied to image-based light and to the textures that stand in
// for it: contrast about a pivot, luminance with chosen weights, saturation about that luminance.
// Each user composes its own sequence from them (which steps, their order, and whether a factor
// of exactly 1 skips a step differ between the default environment and the legacy materials).
#ifndef TARVO_SHADINGLIB_IBL_GRADING_H
#define TARVO_SHADINGLIB_IBL_GRADING_H

#include "shadinglib/vector_math.h"

namespace pvx {

// The R, G, B weights of luminance in image-based-lighting controls (fixed in the materials, the
// default of the environment's `IBLLuminanceFactors`). Not the weights of luminance().
constexpr float3 kIBLLuminanceWeights(0.2125f, 0.7154f, 0.0721f);

// weights.r c.r + weights.g c.g + weights.b c.b, summed in that order.
inline float weightedLuminance(const float3& c, const float3& weights) {
  return weights.x * c.x + weights.y * c.y + weights.z * c.z;
}

// c K + (1 - K) P per channel: K = 1 keeps c, K = 0 gives the pivot, K > 1 pushes away from it.
inline float3 contrastAboutPivot(const float3& c, float factor, const float3& pivot) {
  return c * factor + (1.0f - factor) * pivot;
}

// c S + (1 - S) L per channel with L the colour's luminance: S = 1 keeps c, S = 0 gives grey.
inline float3 saturationAboutLuminance(const float3& c, float saturation, float luminance) {
  return c * saturation + float3((1.0f - saturation) * luminance);
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_IBL_GRADING_H

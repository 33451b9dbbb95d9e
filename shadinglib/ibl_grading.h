// The colour-grading operations applied to image-based light and to the textures that stand in
// for it: contrast about a pivot, luminance with chosen weights, saturation about that luminance.
// Each user composes its own sequence from them (which steps, their order, and whether a factor
// of exactly 1 skips a step differ between the default environment and the legacy materials);
// the materials' gain by sources (colour or value) is here too.
#ifndef TARVO_SHADINGLIB_IBL_GRADING_H
#define TARVO_SHADINGLIB_IBL_GRADING_H

#include <cstddef>
#include <cstdint>

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

// One gain control of the materials: `source` 1 selects the gain colour, any other value the
// gain value.
struct GainSource {
  int32_t source;
  float3 colour;
  float value;
};
constexpr int32_t kGainFromColour = 1;

// Gain by several sources at once. When any source selects its colour, the colour is replaced by
// its luminance times the product of the selected colours (a grey-turning gain: a gain colour of
// white still removes the hue). The product of the values of the sources that select a value
// then multiplies the colour, unless that product is exactly 1.
template <size_t N>
float3 gainBySources(const float3& c, const GainSource (&sources)[N], const float3& weights) {
  float3 result = c;
  float3 colourGain(1.0f);
  bool anyColour = false;
  float valueGain = 1.0f;
  for (const GainSource& s : sources) {
    if (s.source == kGainFromColour) {
      colourGain *= s.colour;
      anyColour = true;
    } else {
      valueGain *= s.value;
    }
  }
  if (anyColour) result = weightedLuminance(c, weights) * colourGain;
  if (valueGain != 1.0f) result *= valueGain;
  return result;
}

// The reflection grading of the legacy material: contrast about the pivot (always run, a factor
// of 1 included), then saturation by the product of the factors in force.
inline float3 contrastThenSaturation(const float3& c, const float3& pivot, float contrast,
                                     float saturation) {
  const float3 contrasted = contrastAboutPivot(c, contrast, pivot);
  return saturationAboutLuminance(contrasted, saturation,
                                  weightedLuminance(contrasted, kIBLLuminanceWeights));
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_IBL_GRADING_H

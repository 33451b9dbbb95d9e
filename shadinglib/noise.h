// Scalar noise built on the host's `noise4`: a single lookup, a fractal octave sum or turbulence,
// and the linear threshold ramp that turns a noise value into a blend factor.
#ifndef TARVO_SHADINGLIB_NOISE_H
#define TARVO_SHADINGLIB_NOISE_H

#include <cstdint>

#include "shadinglib/vector_math.h"
#include "tarvo/host_services.h"

namespace pvx {

enum NoiseType : int32_t {
  kNoiseRegular = 0,
  kNoiseFractal = 1,
  kNoiseTurbulence = 2,
};

// Octaves past this many lie below float resolution; the cap also bounds the loop whatever
// `levels` holds.
constexpr int kMaxNoiseOctaves = 24;

inline float hostNoise(IHostContext* host, const float3& p, float phase) {
  const float4 pointAndPhase(p, phase);
  return host->noise4(&pointAndPhase);
}

// Sum over octaves at frequencies 1, 2, 4, ... of (2 N - 1) / f (its absolute value for
// turbulence), one octave per whole level; a fractional remainder adds one more octave at full
// weight. Levels of 0 or below give 0.
inline float noiseOctaveSum(IHostContext* host, const float3& p, float phase, float levels,
                            bool absolute) {
  float sum = 0.0f;
  float f = 1.0f;
  float remaining = levels;
  int octaves = 0;
  for (; remaining >= 1.0f && octaves < kMaxNoiseOctaves; remaining -= 1.0f, ++octaves) {
    const float term = (2.0f * hostNoise(host, p * f, phase) - 1.0f) / f;
    sum += absolute ? abs(term) : term;
    f *= 2.0f;
  }
  if (remaining > 0.0f && octaves < kMaxNoiseOctaves) {
    const float term = (2.0f * hostNoise(host, p * f, phase) - 1.0f) / f;
    sum += absolute ? abs(term) : term;
  }
  return sum;
}

// A noise value in [0, 1] (about) of the given type; unknown types give 0.
inline float noiseValue(IHostContext* host, const float3& p, float phase, int32_t type,
                        float levels) {
  switch (type) {
    case kNoiseRegular:
      return hostNoise(host, p, phase);
    case kNoiseFractal:
      return (noiseOctaveSum(host, p, phase, levels, false) + 1.0f) * 0.5f;
    case kNoiseTurbulence:
      return noiseOctaveSum(host, p, phase, levels, true);
    default:
      return 0.0f;
  }
}

// 0 below `low`, 1 above `high`, linear between; equal thresholds pass v through at the step.
inline float noiseThreshold(float v, float low, float high) {
  if (v < low) return 0.0f;
  if (v > high) return 1.0f;
  if (low == high) return v;
  return (v - low) / (high - low);
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_NOISE_H

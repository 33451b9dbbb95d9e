// A small procedural ripple of a normal: two fractal sums of the host's noise (2.6 octaves from
// frequency 2.0), the second shifted by (-0.6, -0.6, 0), each halved, as the tangent and
// bitangent parts of a local offset. The dielectric frosts or hammers its glass with it; the
// metallic paint's clear coat takes its orange peel from it.
#ifndef TARVO_SHADINGLIB_RIPPLE_NORMAL_H
#define TARVO_SHADINGLIB_RIPPLE_NORMAL_H

#include "shadinglib/noise.h"
#include "shadinglib/vector_math.h"
#include "tarvo/host_services.h"

namespace pvx {

// The local offset (x, y, 0) at a position already scaled by the caller's tiling; each part lies
// within about [-1, 1].
inline float3 rippleNormalOffset(IHostContext* host, const float3& position) {
  constexpr float kOctaves = 2.6f, kFrequency = 2.0f, kGain = 0.5f;
  const float3 q = position * kFrequency;
  const float3 shifted = q + float3(-0.6f, -0.6f, 0.0f);
  return float3(kGain * noiseOctaveSum(host, q, 0.0f, kOctaves, false),
                kGain * noiseOctaveSum(host, shifted, 0.0f, kOctaves, false), 0.0f);
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_RIPPLE_NORMAL_H

// Texture lookups through the host's texture objects. Every lookup starts from opaque black
// (0, 0, 0, 1) and skips the call when no texture is bound, so an unbound texture reads as
// opaque black and a texture that writes nothing does too.
#ifndef TARVO_SHADINGLIB_TEXTURE_SAMPLING_H
#define TARVO_SHADINGLIB_TEXTURE_SAMPLING_H

#include "tarvo/host_services.h"

namespace pvx {

inline float4 sample1D(const Texture1D& texture, float s) {
  float4 result(0.0f, 0.0f, 0.0f, 1.0f);
  if (texture.object != nullptr) texture.object->sample(&result, s);
  return result;
}

inline float4 sample2D(const Texture2D& texture, const float2& st) {
  float4 result(0.0f, 0.0f, 0.0f, 1.0f);
  if (texture.object != nullptr) texture.object->sample(&result, &st);
  return result;
}

inline float4 sampleCube(const TextureCube& texture, const float3& direction) {
  float4 result(0.0f, 0.0f, 0.0f, 1.0f);
  if (texture.object != nullptr) texture.object->sample(&result, &direction);
  return result;
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_TEXTURE_SAMPLING_H

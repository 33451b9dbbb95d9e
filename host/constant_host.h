// A host context whose services answer fixed values without logging or allocating, fixed
// textures, and a fixed set of varied shading states: what benchmarks and the allocation and
// bad-input sweeps drive every entry point with. One ConstantHost serves one thread (the random
// services step through a short fixed cycle).
#ifndef TARVO_HOST_CONSTANT_HOST_H
#define TARVO_HOST_CONSTANT_HOST_H

#include <array>
#include <cstddef>

#include "tarvo/tarvo.h"

namespace tarvo::host {

class ConstantHost final : public pvx::IHostContext {
 public:
  static constexpr int kLightCount = 4;

  // Four light records in a chain: varied directions and colours, one of them half shadowed
  // and one tagged diffuse-only.
  ConstantHost();
  ConstantHost(const ConstantHost&) = delete;
  ConstantHost& operator=(const ConstantHost&) = delete;

  std::array<pvx::LightSample, kLightCount> lights{};
  bool answerLights = true;  // false: lightSamples answers null
  pvx::float3 ambient{0.05f, 0.06f, 0.07f};
  pvx::float3 transmission{0.9f};
  pvx::float3 traced{0.3f, 0.35f, 0.4f};
  pvx::float4 behind{0.2f, 0.3f, 0.4f, 1.0f};
  pvx::float4 refracted{0.25f, 0.3f, 0.35f, 1.0f};
  pvx::float3 accessibility{0.8f, 0.75f, 0.7f};
  pvx::float3 indirect{0.1f, 0.12f, 0.14f};
  float noise = 0.45f;
  pvx::float3 cellVectorAnswer{0.3f, -0.2f, 0.9f};

  const pvx::LightSample* lightSamples(int32_t, const pvx::float3*, const pvx::float3*) override;
  pvx::float3* ambientLight(pvx::float3* result, const pvx::float3*, const pvx::float3*) override;
  pvx::float3* shadowTransmission(pvx::float3* result, const pvx::float3*,
                                  const pvx::float3*) override;
  pvx::float3* traceRay(pvx::float3* result, int32_t, const pvx::float3*, const pvx::float3*,
                        float) override;
  pvx::float3* traceSpecular(pvx::float3* result, const pvx::float3*, const pvx::float3*,
                             float) override;
  pvx::float4* traceContinue(pvx::float4* result, const pvx::float3*, const pvx::float3*,
                             float) override;
  pvx::float3* traceAnisotropic(pvx::float3* result, const pvx::float3*, const pvx::float3*,
                                const pvx::float3*, const pvx::float3*, float, float,
                                float) override;
  pvx::float3* traceReflection(pvx::float3* result, const pvx::float3*, const pvx::float3*, float,
                               float) override;
  pvx::float4* traceRefraction(pvx::float4* result, const pvx::float3*, const pvx::float3*, float,
                               float) override;
  pvx::float3* occlusion(pvx::float3* result, const pvx::float3*, const pvx::float3*,
                         float) override;
  pvx::float3* indirectDiffuse(pvx::float3* result, const pvx::float3*, const pvx::float3*,
                               float) override;
  float random1() override;
  pvx::float2* random2(pvx::float2* result) override;
  float noise4(const pvx::float4*) override;
  float noise3(const pvx::float3*) override;
  float noise2(const pvx::float2*) override;
  float cellRandom(float) override;
  float lookup49(const pvx::float3*) override;
  pvx::float3* cellVector(pvx::float3* result, const pvx::float3*) override;

 private:
  unsigned randomIndex_ = 0;
};

// Texture objects answering one fixed texel.
class ConstantTexture1D final : public pvx::ITexture1D {
 public:
  pvx::float4 value{0.5f, 0.4f, 0.3f, 1.0f};
  void sample(pvx::float4* result, float) override { *result = value; }
};
class ConstantTexture2D final : public pvx::ITexture2D {
 public:
  pvx::float4 value{0.5f, 0.4f, 0.3f, 0.8f};
  void sample(pvx::float4* result, const pvx::float2*) override { *result = value; }
};
class ConstantTextureCube final : public pvx::ITextureCube {
 public:
  pvx::float4 value{0.6f, 0.7f, 0.8f, 1.0f};
  void sample(pvx::float4* result, const pvx::float3*) override { *result = value; }
};

constexpr size_t kVariedStateCount = 8;

// Eight hits that between them take the common branches: camera rays head-on, oblique and
// grazing, secondary rays of kinds 2, 4 (with and without viewThrough), 16 and 32, front and
// back faces, all, some and no scatter allowed; light-query fields and an evaluate direction
// above the surface; every varying layout's bytes hold plausible values in (0, 1).
std::array<pvx::ShadingState, kVariedStateCount> variedShadingStates();

}  // namespace tarvo::host

#endif  // TARVO_HOST_CONSTANT_HOST_H

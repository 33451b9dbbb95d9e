// A host context and textures whose answers come from fixed lists of values, replayed in a
// cycle: what the fuzzer (hostile lists: NaN colours, zero-length light directions, thousands of
// lights) and the thread and finite-result tests (lists a scene would produce) shade with.
//
// Unlike ScriptedHost nothing is logged: the answer lists are read-only once shading starts, so
// one script and one set of textures may serve any number of render threads, each with its own
// CyclingHost (the only mutable state is the host's cursor). Every service and texture call is
// counted per thread against a ceiling, so a shader loop that never ends is reported at once
// instead of hanging the caller.
#ifndef TARVO_HOST_CYCLING_HOST_H
#define TARVO_HOST_CYCLING_HOST_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tarvo/tarvo.h"

namespace tarvo::host {

// What every service answers. Empty lists answer zero (colours, scalars) or 0.5 (randoms).
struct AnswerScript {
  // Colour services take the next entry (float3 services its x, y, z; traceContinue and
  // traceRefraction all four; cellVector its x, y, z as a vector).
  std::vector<pvx::float4> colours;
  // noise4, noise3, noise2, cellRandom and lookup49 take the next entry.
  std::vector<float> scalars;
  // random1 takes the next entry, random2 the next two. Hosts promise [0, 1); scripts keep that.
  std::vector<float> randoms;
  // lightSamples answers these records chained in order, or null when there are none.
  std::vector<pvx::LightSample> lights;

  // Links `lights` into a chain; call after filling the list and before shading.
  void chainLights();
};

class CyclingHost final : public pvx::IHostContext {
 public:
  explicit CyclingHost(const AnswerScript* script) : script_(script) {}

  // Starts every list from its first entry again, so a call can be repeated exactly.
  void rewind() {
    colour_ = 0;
    scalar_ = 0;
    random_ = 0;
  }

  const pvx::LightSample* lightSamples(int32_t flags, const pvx::float3* P,
                                       const pvx::float3* N) override;
  pvx::float3* ambientLight(pvx::float3* result, const pvx::float3* P,
                            const pvx::float3* N) override;
  pvx::float3* shadowTransmission(pvx::float3* result, const pvx::float3* P,
                                  const pvx::float3* lightP) override;
  pvx::float3* traceRay(pvx::float3* result, int32_t rayKind, const pvx::float3* origin,
                        const pvx::float3* direction, float weight) override;
  pvx::float3* traceSpecular(pvx::float3* result, const pvx::float3* origin,
                             const pvx::float3* direction, float weight) override;
  pvx::float4* traceContinue(pvx::float4* result, const pvx::float3* P, const pvx::float3* I,
                             float weight) override;
  pvx::float3* traceAnisotropic(pvx::float3* result, const pvx::float3* P, const pvx::float3* R,
                                const pvx::float3* U, const pvx::float3* V, float glossinessU,
                                float glossinessV, float weight) override;
  pvx::float3* traceReflection(pvx::float3* result, const pvx::float3* P,
                               const pvx::float3* direction, float glossiness,
                               float weight) override;
  pvx::float4* traceRefraction(pvx::float4* result, const pvx::float3* P,
                               const pvx::float3* direction, float roughness,
                               float weight) override;
  pvx::float3* occlusion(pvx::float3* result, const pvx::float3* P, const pvx::float3* N,
                         float weight) override;
  pvx::float3* indirectDiffuse(pvx::float3* result, const pvx::float3* P, const pvx::float3* N,
                               float weight) override;
  float random1() override;
  pvx::float2* random2(pvx::float2* result) override;
  float noise4(const pvx::float4* pointAndPhase) override;
  float noise3(const pvx::float3* point) override;
  float noise2(const pvx::float2* point) override;
  float cellRandom(float identifier) override;
  float lookup49(const pvx::float3* latticePoint) override;
  pvx::float3* cellVector(pvx::float3* result, const pvx::float3* cell) override;

 private:
  pvx::float3* colour3(pvx::float3* result);
  pvx::float4* colour4(pvx::float4* result);
  float scalar();
  float random();

  const AnswerScript* script_;
  size_t colour_ = 0;
  size_t scalar_ = 0;
  size_t random_ = 0;
};

// Texels a texture answers. The texel is chosen from the bits of the coordinate, so the answer
// depends only on the coordinate and the texture may be sampled from many threads at once. With
// `writes` false nothing is written and the caller's pre-fill shows through.
struct TexelScript {
  std::vector<pvx::float4> texels;
  bool writes = true;
};

class CyclingTexture1D final : public pvx::ITexture1D {
 public:
  explicit CyclingTexture1D(const TexelScript* script) : script_(script) {}
  void sample(pvx::float4* result, float s) override;

 private:
  const TexelScript* script_;
};

class CyclingTexture2D final : public pvx::ITexture2D {
 public:
  explicit CyclingTexture2D(const TexelScript* script) : script_(script) {}
  void sample(pvx::float4* result, const pvx::float2* st) override;

 private:
  const TexelScript* script_;
};

class CyclingTextureCube final : public pvx::ITextureCube {
 public:
  explicit CyclingTextureCube(const TexelScript* script) : script_(script) {}
  void sample(pvx::float4* result, const pvx::float3* direction) override;

 private:
  const TexelScript* script_;
};

// Two textures of each kind, the first sampling `scripts[0]`, the second `scripts[1]`: what a
// harness binds to texture parameters.
struct TextureSet {
  TexelScript scripts[2];
  CyclingTexture1D oneD[2] = {CyclingTexture1D(&scripts[0]), CyclingTexture1D(&scripts[1])};
  CyclingTexture2D twoD[2] = {CyclingTexture2D(&scripts[0]), CyclingTexture2D(&scripts[1])};
  CyclingTextureCube cube[2] = {CyclingTextureCube(&scripts[0]), CyclingTextureCube(&scripts[1])};

  TextureSet() = default;
  TextureSet(const TextureSet&) = delete;
  TextureSet& operator=(const TextureSet&) = delete;

  pvx::ITexture1D* object(int i, pvx::Texture1D*) { return &oneD[i]; }
  pvx::ITexture2D* object(int i, pvx::Texture2D*) { return &twoD[i]; }
  pvx::ITextureCube* object(int i, pvx::TextureCube*) { return &cube[i]; }
};

// The per-thread count of service and texture calls and its ceiling. The harness arms it before
// each entry-point call; the call that exceeds the ceiling prints `label` and aborts the process
// (a shader loop whose bound comes from a parameter would otherwise never return).
class ServiceCallCeiling {
 public:
  static void arm(size_t ceiling, const char* label);
  static void disarm();
  // Calls counted on this thread since the last arm().
  static size_t used();
  // Counts one call; aborts when the armed ceiling is exceeded.
  static void count();
};

}  // namespace tarvo::host

#endif  // TARVO_HOST_CYCLING_HOST_H

// A host context with programmable answers and a log of every call with its arguments, and
// scriptable textures: what tests, benchmarks and the fuzzer drive shaders with. Answers are
// plain members; set them before shading. Nothing here allocates while a shader runs (the log
// has a fixed capacity and counts what it drops).
#ifndef TARVO_HOST_SCRIPTED_HOST_H
#define TARVO_HOST_SCRIPTED_HOST_H

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "tarvo/tarvo.h"

namespace tarvo::host {

// One logged service call. Vectors and scalars in argument order: e.g. traceReflection(result,
// P, direction, glossiness, weight) logs vectors {P, direction} and scalars {glossiness, weight};
// traceRay logs its ray kind in `integer`.
struct HostCall {
  int slot = 0;
  int32_t integer = 0;
  int vectorCount = 0;
  int scalarCount = 0;
  std::array<pvx::float4, 4> vectors{};
  std::array<float, 3> scalars{};
  pvx::float3 vector(int i) const {
    return pvx::float3(vectors[size_t(i)].x, vectors[size_t(i)].y, vectors[size_t(i)].z);
  }
};

class ScriptedHost : public pvx::IHostContext {
 public:
  static constexpr size_t kLogCapacity = 4096;

  ScriptedHost();

  // ---- answers
  // Light records answered by lightSamples, chained in order (null when empty).
  std::vector<pvx::LightSample> lights;
  pvx::float3 ambientAnswer{0.0f};
  pvx::float3 shadowTransmissionAnswer{1.0f};
  pvx::float3 traceRayAnswer{0.0f};
  pvx::float3 traceSpecularAnswer{0.0f};
  pvx::float4 traceContinueAnswer{0.0f, 0.0f, 0.0f, 1.0f};
  pvx::float3 traceAnisotropicAnswer{0.0f};
  pvx::float3 traceReflectionAnswer{0.0f};
  pvx::float4 traceRefractionAnswer{0.0f, 0.0f, 0.0f, 1.0f};
  pvx::float3 occlusionAnswer{1.0f};
  pvx::float3 indirectDiffuseAnswer{0.0f};
  // random1 and random2 cycle through these (random2 takes two values per call).
  std::vector<float> randomSequence{0.5f};
  float noiseAnswer = 0.5f;
  float cellRandomAnswer = 0.5f;
  float lookup49Answer = 0.5f;
  pvx::float3 cellVectorAnswer{0.0f};
  // Optional: called after each logged call with the call and the result buffer (null for
  // scalar services), so a test can compute answers from the arguments.
  std::function<void(const HostCall&, void* result)> onCall;

  // ---- log
  bool logging = true;
  const std::vector<HostCall>& calls() const { return log_; }
  size_t droppedCalls() const { return dropped_; }
  int count(int slot) const;
  const HostCall* first(int slot) const;
  const HostCall* last(int slot) const;
  void clearLog();
  // Puts the lights into a chain (done automatically by lightSamples; call after editing
  // `lights` from another thread's point of view only).
  void chainLights();

  // ---- IHostContext
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

 protected:
  HostCall& log(int slot);
  void finish(const HostCall& call, void* result);
  float nextRandom();

 private:
  std::vector<HostCall> log_;
  HostCall scratch_;
  size_t dropped_ = 0;
  size_t randomIndex_ = 0;
  size_t chainedCount_ = 0;
  const pvx::LightSample* chainedData_ = nullptr;
};

// A light record with the fields materials read; `color` is also the unshadowed colour and the
// transmission is (1, 1, 1).
pvx::LightSample makeLight(const pvx::float3& towardsLight, const pvx::float3& color,
                           float weight = 1.0f, int32_t tag = 0);

// Texture answering a constant, or a function of its coordinate; logs the coordinates it was
// sampled at (up to a fixed capacity). Like ScriptedHost, one object serves one thread.
template <class Interface, class Coordinate>
class ScriptedTextureBase : public Interface {
 public:
  static constexpr size_t kLogCapacity = 1024;
  pvx::float4 value{0.0f, 0.0f, 0.0f, 1.0f};
  std::function<pvx::float4(const Coordinate&)> function;
  // When false the texture writes nothing (the caller's pre-fill shows through).
  bool writes = true;

  ScriptedTextureBase() { coordinates_.reserve(kLogCapacity); }
  const std::vector<Coordinate>& coordinates() const { return coordinates_; }
  size_t sampleCount() const { return samples_; }
  void clearLog() {
    coordinates_.clear();
    samples_ = 0;
  }

 protected:
  void answer(pvx::float4* result, const Coordinate& c, const pvx::float4* tableValue = nullptr) {
    ++samples_;
    if (coordinates_.size() < kLogCapacity) coordinates_.push_back(c);
    if (!writes) return;
    *result = function ? function(c) : tableValue ? *tableValue : value;
  }

 private:
  std::vector<Coordinate> coordinates_;
  size_t samples_ = 0;
};

class ScriptedTexture1D final : public ScriptedTextureBase<pvx::ITexture1D, float> {
 public:
  // Nearest-texel table lookup when not empty: texel floor(s * size), clamped to the table.
  std::vector<pvx::float4> texels;
  void sample(pvx::float4* result, float s) override;
};

class ScriptedTexture2D final : public ScriptedTextureBase<pvx::ITexture2D, pvx::float2> {
 public:
  void sample(pvx::float4* result, const pvx::float2* st) override { answer(result, *st); }
};

class ScriptedTextureCube final : public ScriptedTextureBase<pvx::ITextureCube, pvx::float3> {
 public:
  void sample(pvx::float4* result, const pvx::float3* direction) override {
    answer(result, *direction);
  }
};

// The clipping-plane table a host builds for the 1-D clipping map: texel 0 holds the plane
// count in red, texel i (1-based) the plane (a, b, c, d); sampled at (i + 0.5) / (n + 1).
std::vector<pvx::float4> clippingPlaneTexels(const std::vector<pvx::float4>& planes);

}  // namespace tarvo::host

#endif  // TARVO_HOST_SCRIPTED_HOST_H

// The one host context and the one texture that tests, benchmarks, the fuzzer and the Python
// module drive shaders with. A RecordingHost answers every service by one of four policies:
//
//   Scripted  each service answers its member below (`traceRayAnswer`, ...), `scalarFunction`
//             may compute the scalar services' answers from their arguments; every call is
//             logged with its arguments (what most tests read back);
//   Seeded    the same answers, random numbers drawn from a seeded generator (repeatable
//             sampling: the statistical tests, the Python module's `scatter`); nothing logged;
//   Cycling   colour services take the next of `colourCycle`, scalar services the next of
//             `scalarCycle` (an empty list falls back to the member answers); nothing logged,
//             so copies of one HostAnswers serve any number of threads, one host each;
//   Constant  the member answers and random numbers from a fixed cycle of eight (low, middle and
//             high), nothing else: no log, no ceiling, the fewest instructions (what the
//             benchmarks and the instruction counts time).
//
// Every policy but Constant counts each call against the calling thread's ServiceCallCeiling.
// Random numbers cycle through `randomSequence` under Scripted and Cycling. Nothing here allocates
// while a shader runs (the log has a fixed capacity and counts what it drops).
#ifndef TARVO_HOST_RECORDING_HOST_H
#define TARVO_HOST_RECORDING_HOST_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <type_traits>
#include <vector>

#include "tarvo/tarvo.h"

namespace tarvo::host {

// One logged service call. Vectors and scalars in argument order: e.g. traceReflection(result,
// P, direction, glossiness, weight) logs vectors {P, direction} and scalars {glossiness, weight};
// traceRay logs its ray kind and lightSamples its flags in `integer`; random services log the
// numbers they answered as scalars.
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

// What the services answer; plain values, so one set may be copied into a host per thread.
struct HostAnswers {
  // Answered by lightSamples, chained in order (null when empty).
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
  float noiseAnswer = 0.5f;  // noise4, noise3 and noise2
  float cellRandomAnswer = 0.5f;
  float lookup49Answer = 0.5f;
  pvx::float3 cellVectorAnswer{0.0f};
  // random1 and random2 cycle through these (random2 takes two per call); empty: 0.5.
  std::vector<float> randomSequence{0.5f};
  // Cycling: float3 services take x, y, z of the next colour, traceContinue and traceRefraction
  // all four, cellVector x, y, z as a vector; noise, cellRandom and lookup49 the next scalar.
  std::vector<pvx::float4> colourCycle;
  std::vector<float> scalarCycle;

  // The benchmarks' answers: four light records (varied directions and colours, one half
  // shadowed, one tagged diffuse-only) and moderate colours.
  static HostAnswers varied();
};

// How a RecordingHost answers (see the top of this file).
enum class HostPolicy { Scripted, Seeded, Cycling, Constant };

class RecordingHost : public pvx::IHostContext, public HostAnswers {
 public:
  static constexpr size_t kLogCapacity = 4096;

  explicit RecordingHost(HostPolicy policy = HostPolicy::Scripted, HostAnswers answers = {},
                         uint64_t seed = 0);
  // The lights chain through this object's own list: copies would point into the original.
  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  // Scripted: when set, noise, cellRandom and lookup49 answer this function of the call.
  std::function<float(const HostCall&)> scalarFunction;

  // ---- log (Scripted logs unless this is cleared)
  bool logging;
  const std::vector<HostCall>& calls() const { return log_; }
  size_t droppedCalls() const { return dropped_; }
  int count(int slot) const;
  const HostCall* first(int slot) const;
  const HostCall* last(int slot) const;
  void clearLog();
  // Starts every cycled list from its first entry again, so a call can be repeated exactly.
  void rewind();

  // ---- IHostContext
  using float2 = pvx::float2;
  using float3 = pvx::float3;
  using float4 = pvx::float4;
  using LightSample = pvx::LightSample;
  const LightSample* lightSamples(int32_t flags, const float3* P, const float3* N) override;
  float3* ambientLight(float3* result, const float3* P, const float3* N) override;
  float3* shadowTransmission(float3* result, const float3* P, const float3* lightP) override;
  float3* traceRay(float3* result, int32_t rayKind, const float3* origin, const float3* direction,
                   float weight) override;
  float3* traceSpecular(float3* result, const float3* origin, const float3* direction,
                        float weight) override;
  float4* traceContinue(float4* result, const float3* P, const float3* I, float weight) override;
  float3* traceAnisotropic(float3* result, const float3* P, const float3* R, const float3* U,
                           const float3* V, float glossinessU, float glossinessV,
                           float weight) override;
  float3* traceReflection(float3* result, const float3* P, const float3* direction,
                          float glossiness, float weight) override;
  float4* traceRefraction(float4* result, const float3* P, const float3* direction, float roughness,
                          float weight) override;
  float3* occlusion(float3* result, const float3* P, const float3* N, float weight) override;
  float3* indirectDiffuse(float3* result, const float3* P, const float3* N, float weight) override;
  float random1() override;
  float2* random2(float2* result) override;
  float noise4(const float4* pointAndPhase) override;
  float noise3(const float3* point) override;
  float noise2(const float2* point) override;
  float cellRandom(float identifier) override;
  float lookup49(const float3* latticePoint) override;
  float3* cellVector(float3* result, const float3* cell) override;

 private:
  // Every service answers through these; all but the Constant policy leave them at once for
  // the out-of-line watched path, so that the Constant path is as short as a host's own answer.
  template <class Colour, class... Args>
  Colour* colour(Colour* result, const Colour& answer, int slot, Args... args) {
    if (policy_ != HostPolicy::Constant) return watchedColour(result, answer, slot, args...);
    *result = answer;
    return result;
  }
  template <class... Args>
  float scalar(float answer, int slot, Args... args) {
    if (policy_ != HostPolicy::Constant) return watchedScalar(answer, slot, args...);
    return answer;
  }
  template <class Colour, class... Args>
  Colour* watchedColour(Colour* result, const Colour& answer, int slot, Args... args);
  template <class... Args>
  float watchedScalar(float answer, int slot, Args... args);
  const pvx::LightSample* watchedLights(int32_t flags, const pvx::float3* P, const pvx::float3* N);
  float watchedRandom1();
  pvx::float2* watchedRandom2(pvx::float2* result);
  float nextRandom();
  float cycledRandom();
  void record(const HostCall& call);
  void chainLights();

  const HostPolicy policy_;
  std::vector<HostCall> log_;
  size_t dropped_ = 0;
  size_t colourIndex_ = 0;
  size_t scalarIndex_ = 0;
  size_t randomIndex_ = 0;
  const pvx::LightSample* chainedData_ = nullptr;
  size_t chainedCount_ = 0;
  std::mt19937 generator_;
};

// A light record with the fields materials read; `color` is also the unshadowed colour and the
// transmission is (1, 1, 1).
pvx::LightSample makeLight(const pvx::float3& towardsLight, const pvx::float3& color,
                           float weight = 1.0f, int32_t tag = 0);

// A ray along `I` from 5 units away hitting the plane z = 0 at the origin: N = Ng = (0, 0, 1),
// frontFacing when it arrives from above, indices 1 and 1, identity matrices, a one-pixel
// raster, every scatter allowed, Ci opaque black.
pvx::ShadingState planeHit(const pvx::float3& I, int32_t rayKind);

// A texture answering `value`, a function of its coordinate, or a table of texels (a 1-D
// texture the texel floor(s x size) clamped to the table, the others a texel picked by hashing
// the coordinate's bits, so neighbouring coordinates pick unrelated texels); with `writes` false
// it writes nothing and the caller's pre-fill shows through. While `logging` it logs the
// coordinates it was sampled at (up to a fixed capacity); without, sampling changes nothing in
// the object and one texture may serve many threads. Sampling counts against the thread's
// ServiceCallCeiling. A texture constructed with a value answers only that, the cheapest way.
template <class Interface, class Coordinate>
class RecordingTexture final : public Interface {
  // How the interface passes the coordinate: a 1-D coordinate by value, the others by pointer.
  using Argument = std::conditional_t<std::is_same_v<Coordinate, float>, float, const Coordinate*>;

 public:
  static constexpr size_t kLogCapacity = 1024;
  pvx::float4 value{0.0f, 0.0f, 0.0f, 1.0f};
  std::function<pvx::float4(const Coordinate&)> function;
  std::vector<pvx::float4> texels;
  bool writes = true;
  bool logging = true;

  RecordingTexture() : answer_(&answerRecorded) { coordinates_.reserve(kLogCapacity); }
  explicit RecordingTexture(const pvx::float4& constant)
      : value(constant), logging(false), answer_(&answerConstant) {}

  const std::vector<Coordinate>& coordinates() const { return coordinates_; }
  size_t sampleCount() const { return samples_; }
  void clearLog() {
    coordinates_.clear();
    samples_ = 0;
  }
  // Through a pointer chosen at construction rather than a test of the mode: the constant
  // answer then costs one jump more than a texture of its own would.
  void sample(pvx::float4* result, Argument c) override { answer_(this, result, c); }

 private:
  static void answerConstant(RecordingTexture* t, pvx::float4* result, Argument) {
    *result = t->value;
  }
  static void answerRecorded(RecordingTexture* t, pvx::float4* result, Argument c);

  void (*answer_)(RecordingTexture*, pvx::float4*, Argument);
  std::vector<Coordinate> coordinates_;
  size_t samples_ = 0;
};

using RecordingTexture1D = RecordingTexture<pvx::ITexture1D, float>;
using RecordingTexture2D = RecordingTexture<pvx::ITexture2D, pvx::float2>;
using RecordingTextureCube = RecordingTexture<pvx::ITextureCube, pvx::float3>;

// One texture of each kind answering a fixed texel the cheapest way: what the benchmarks and the
// allocation and bad-input sweeps bind.
struct ConstantTextures {
  RecordingTexture1D texture1D{pvx::float4(0.5f, 0.4f, 0.3f, 1.0f)};
  RecordingTexture2D texture2D{pvx::float4(0.5f, 0.4f, 0.3f, 0.8f)};
  RecordingTextureCube textureCube{pvx::float4(0.6f, 0.7f, 0.8f, 1.0f)};
};

// The clipping-plane table a host builds for the 1-D clipping map: texel 0 holds the plane
// count in red, texel i (1-based) the plane (a, b, c, d); sampled at (i + 0.5) / (n + 1).
std::vector<pvx::float4> clippingPlaneTexels(const std::vector<pvx::float4>& planes);

// Two textures of each kind that answer texel tables without logging, shared by every thread of
// a harness: what it binds to texture parameters.
struct TextureSet {
  RecordingTexture1D oneD[2];
  RecordingTexture2D twoD[2];
  RecordingTextureCube cube[2];

  TextureSet();
  // The table (and whether it writes) of the three textures of index i.
  void answer(int i, const std::vector<pvx::float4>& texels, bool writes = true);
  pvx::ITexture1D* object(int i, pvx::Texture1D*) { return &oneD[i]; }
  pvx::ITexture2D* object(int i, pvx::Texture2D*) { return &twoD[i]; }
  pvx::ITextureCube* object(int i, pvx::TextureCube*) { return &cube[i]; }
};

// The per-thread count of service and texture calls and its ceiling. A harness arms it before
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

constexpr size_t kVariedStateCount = 8;

// Eight hits that between them take the common branches: camera rays head-on, oblique and
// grazing, secondary rays of kinds 2, 4 (with and without viewThrough), 16 and 32, front and
// back faces, all, some and no scatter allowed; light-query fields and an evaluate direction
// above the surface; every varying layout's bytes hold plausible values in (0, 1).
std::array<pvx::ShadingState, kVariedStateCount> variedShadingStates();

}  // namespace tarvo::host

#endif  // TARVO_HOST_RECORDING_HOST_H

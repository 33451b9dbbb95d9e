// Draws what a scene would hand a shader: parameter values in the ranges a scene uses, states of
// real hits and light queries, plain service answers and texels. Deterministic for a seed on
// every platform (its own generator, no standard distributions).
//
// Ranges without a class-specific entry:
//   float, float2, colour and colour-alpha components  [0, 1]
//   int                                                 [0, 1]
//   bool                                                0 or 1
//   mat3   2-D affine map: scales [0.5, 2], any rotation, offsets [-1, 1]
//   mat4   rotation times scales [0.5, 2], translation [-10, 10], last row (0, 0, 0, 1)
//   texture                                             bound (texels in [0, 1]) or unbound
// Range ends are drawn one time in four (where faults live), inner values otherwise.
// States: P and rayOrigin within 100 units, unit I, N, Ng (N within 60 degrees of Ng),
// frontFacing agreeing with the sign of dot(I, Ng), indices [1, 2.5], rotation matrices, ray
// kinds 1, 2, 4, 16, 32, unit light directions, lightDist [0.01, 100], uv [0, 1], unit tangents,
// vertex colours [0, 1]. Answers: colours [0, 1] (alpha [0, 1]), scalars [0, 1], randoms
// [0, 1), 0 to 8 lights with unit directions, weights [0, 1] and colours [0, 10].
#ifndef TARVO_TESTS_SCENE_SAMPLER_H
#define TARVO_TESTS_SCENE_SAMPLER_H

#include <cstdint>
#include <string_view>
#include <vector>

#include "host/parameter_table.h"
#include "host/recording_host.h"
#include "tarvo/tarvo.h"

namespace tarvo::test {

// splitmix64: small, fast, the same sequence everywhere.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t next();
  // Uniform in [low, high]; low and high themselves one time in eight each.
  float range(float low, float high);
  // Uniform in [0, 1).
  float unit();
  // Uniform integer in [low, high].
  int32_t integer(int32_t low, int32_t high);
  bool chance(uint32_t oneIn) { return next() % oneIn == 0; }
  pvx::float3 direction();

 private:
  uint64_t state_;
};

// The range a scene uses for one parameter (every component of a vector or colour; ints take
// the whole numbers in it).
struct ParameterRange {
  std::string_view name;
  float low;
  float high;
};

void sampleParameters(Rng& rng, pvx::IShaderBase* shader, const host::ParameterTable& table,
                      const std::vector<ParameterRange>& ranges, host::TextureSet* textures);

pvx::ShadingState sampleState(Rng& rng, const host::ParameterTable& table);

void sampleAnswers(Rng& rng, host::HostAnswers* answers, host::TextureSet* textures);

}  // namespace tarvo::test

#endif  // TARVO_TESTS_SCENE_SAMPLER_H

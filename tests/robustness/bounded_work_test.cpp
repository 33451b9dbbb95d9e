// Whatever a count holds (an octave, flake, plane or brick count of 1e9, 2^24 where a float
// counter stops counting, infinity), every entry point of every class returns, within the
// service-call ceiling and a generous time budget, with the contract kept. Each scene sets every
// switch on, every parameter and every texel to the one huge value, so whichever parameter or
// texel a class counts with is huge.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/parameter_writer.h"
#include "tests/support/shading_contract.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

// Every switch on, every number and texel `huge`, every int `hugeInt`, every texture bound.
class HugeCounts {
 public:
  HugeCounts(float huge, int32_t hugeInt, host::TextureSet* textures)
      : huge_(huge), hugeInt_(hugeInt), textures_(textures) {}
  bool boolean(const host::ParameterRecord&, bool) { return true; }
  int32_t integer(const host::ParameterRecord&, int32_t) { return hugeInt_; }
  void floats(const host::ParameterRecord&, float* values, int count) {
    for (int i = 0; i < count; ++i)
      values[i] = huge_;
  }
  template <class Handle>
  void texture(const host::ParameterRecord&, Handle* handle) {
    handle->object = textures_->object(0, handle);
  }

 private:
  float huge_;
  int32_t hugeInt_;
  host::TextureSet* textures_;
};

TEST(BoundedWork, EveryEntryPointReturnsWhenCountsAreHuge) {
  const struct {
    float value;
    int32_t integer;
  } hugeValues[] = {
      {1e9f, 1000000000},
      {16777216.0f, 16777216},  // 2^24: adding 1 to a float counter changes nothing
      {std::numeric_limits<float>::infinity(), std::numeric_limits<int32_t>::max()},
  };
  for (const auto& huge : hugeValues) {
    host::TextureSet textures;
    textures.answer(0, {pvx::float4(huge.value)});
    textures.answer(1, {pvx::float4(huge.value)});
    host::HostAnswers answers;
    answers.colourCycle.assign(1, pvx::float4(huge.value));
    answers.scalarCycle.assign(1, huge.value);
    for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
      SCOPED_TRACE(std::string(entry.className) + " with counts of " + std::to_string(huge.value));
      host::BoundShader shader = makeShader(entry.className);
      HugeCounts chooser(huge.value, huge.integer, &textures);
      writeParameters(shader.get(), shader.table(), chooser);
      host::RecordingHost host(host::HostPolicy::Cycling, answers);
      std::vector<std::string> violations;
      checkShadingContract({entry.className, shader.get(), &shader.table(), &host, 0}, cameraHit(),
                           std::chrono::milliseconds(1000), &violations);
      for (const std::string& v : violations)
        ADD_FAILURE() << v;
    }
  }
}

}  // namespace
}  // namespace tarvo::test

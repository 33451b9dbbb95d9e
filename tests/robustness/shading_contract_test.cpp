// The contract checker that the fuzzer relies on catches each way of breaking the contract: a
// material built here to break it one way at a time must be reported for exactly that.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/shading_contract.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

enum class Fault {
  None,
  WritesInputInShade,
  WritesParameterInShade,
  WritesMediumIorInShade,
  WritesScatterDirInEvaluate,
  WritesOutputInUnimplementedShadow,
  WritesReservedBytesInScatter,
  CallsHostWithoutEnd,
};

// Implements shade, evaluate and scatter (mask 13); shadow is overridden but not declared.
class FaultyMaterial final : public pvx::MaterialShader {
 public:
  explicit FaultyMaterial(Fault fault) : fault_(fault) {}

  void* destroy(unsigned) override { return this; }
  void declareParameters(pvx::IParameterBinder* binder) override {
    binder->begin(this, pvx::kCapShade | pvx::kCapEvaluate | pvx::kCapScatter);
    binder->declareFloat(this, "gain", &gain_);
  }
  void copyParameters(const pvx::IShaderBase*) override {}

  void shade(pvx::IHostContext* host, pvx::ShadingState* s) const override {
    s->Ci = pvx::float4(gain_);
    if (fault_ == Fault::WritesInputInShade) s->N.x = 2.0f;
    if (fault_ == Fault::WritesParameterInShade) const_cast<FaultyMaterial*>(this)->gain_ = 3.0f;
    if (fault_ == Fault::WritesMediumIorInShade) s->mediumIor = 1.5f;
    if (fault_ == Fault::CallsHostWithoutEnd) {
      for (;;)
        host->random1();
    }
  }
  void shadow(pvx::IHostContext*, pvx::ShadingState* s) const override {
    if (fault_ == Fault::WritesOutputInUnimplementedShadow) s->shadowT = pvx::float3(9.0f);
  }
  void evaluate(pvx::IHostContext*, pvx::ShadingState* s) const override {
    s->scatterWeight = pvx::float3(gain_);
    if (fault_ == Fault::WritesScatterDirInEvaluate) s->scatterDir = pvx::float3(9.0f);
  }
  void scatter(pvx::IHostContext*, pvx::ShadingState* s) const override {
    s->scatterDir = s->N;
    s->mediumIor = 1.5f;  // refracting scatter may
    s->scatterKind = pvx::kRayGlossy;
    if (fault_ == Fault::WritesReservedBytesInScatter) s->reserved410[0] = 1;
  }

 private:
  float gain_ = 0.5f;
  Fault fault_;
};

std::vector<std::string> violationsOf(Fault fault) {
  FaultyMaterial material(fault);
  host::ParameterTable table;
  table.record(&material);
  host::RecordingHost host(host::HostPolicy::Cycling);
  std::vector<std::string> violations;
  checkShadingContract({"Faulty", &material, &table, &host, 0}, cameraHit(),
                       std::chrono::milliseconds(1000), &violations);
  return violations;
}

TEST(ShadingContract, CheckerReportsEachBreachAndNothingElse) {
  const struct {
    Fault fault;
    const char* expected;  // the one violation, or null for none
  } cases[] = {
      {Fault::None, nullptr},
      {Fault::WritesInputInShade, "Faulty shade wrote `N` (state bytes 36 to 47)"},
      {Fault::WritesParameterInShade, "Faulty shade wrote its own object"},
      {Fault::WritesMediumIorInShade, "Faulty shade wrote `mediumIor`"},
      {Fault::WritesScatterDirInEvaluate, "Faulty evaluate wrote `scatterDir`"},
      {Fault::WritesOutputInUnimplementedShadow,
       "Faulty shadow wrote `shadowT` (state bytes 356 to 367), which it does not implement."},
      {Fault::WritesReservedBytesInScatter, "Faulty scatter wrote `reserved410`"},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> violations = violationsOf(c.fault);
    if (c.expected == nullptr) {
      EXPECT_TRUE(violations.empty()) << violations.front();
      continue;
    }
    ASSERT_EQ(violations.size(), 1u) << c.expected;
    EXPECT_NE(violations[0].find(c.expected), std::string::npos) << violations[0];
  }
}

TEST(ShadingContract, ParametersWrittenWhileShadingAreRestoredForTheNextEntry) {
  FaultyMaterial material(Fault::WritesParameterInShade);
  host::ParameterTable table;
  table.record(&material);
  host::RecordingHost host(host::HostPolicy::Cycling);
  std::vector<std::string> violations;
  const std::vector<EntryOutcome> outcomes =
      checkShadingContract({"Faulty", &material, &table, &host, 0}, cameraHit(),
                           std::chrono::milliseconds(1000), &violations);
  // evaluate, after the faulty shade, still sees gain 0.5.
  ASSERT_EQ(outcomes.size(), 5u);
  EXPECT_EQ(outcomes[2].entry, Entry::Evaluate);
  EXPECT_EQ(outcomes[2].state.scatterWeight.x, 0.5f);
}

#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)
TEST(ShadingContractDeathTest, EndlessHostCallsAbortAtTheCeiling) {
  EXPECT_DEATH(violationsOf(Fault::CallsHostWithoutEnd),
               "Faulty shade: more than 4096 host service and texture calls");
}
#endif

}  // namespace
}  // namespace tarvo::test

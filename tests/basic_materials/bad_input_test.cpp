// Host-written parameters, host answers and state inputs may hold anything: NaN, infinities,
// huge and negative values, modes outside their tables. Every entry point of the basic materials
// must then still return without reading outside its object and the state (the sanitizer build
// runs this too), write nothing but outputs, leave its parameters alone, keep clamped colours in
// [0, 1] exactly, and give finite results where everything it reads is finite.
#include <gtest/gtest.h>

#include <cfloat>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "host/recording_host.h"
#include "tests/support/shading_contract.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using host::ParamType;
using pvx::ShadingState;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

struct ClassUnderTest {
  const char* name;
  bool clampsColour;  // Ci rgb always in [0, 1]
};
const ClassUnderTest kClasses[] = {
    {"quarra_Mtl_Unlit", false},       {"quarra_Mtl_Solid", true},
    {"quarra_Mtl_NormalsOnly", true},  {"quarra_Mtl_AmbientOnly", false},
    {"quarra_Mtl_ShadowPlane", false},
};

// Values a host might write. The first few are finite and moderate: results must stay finite.
const float kFloats[] = {0.0f, 0.5f, -3.0f, 1.0e4f,  -0.0f,    FLT_MIN / 4.0f,
                         kNaN, kInf, -kInf, 1.0e30f, -1.0e30f, FLT_MAX};
const int32_t kInts[] = {0, 1, 2, 3, 4, -1, -2, 5, 1000, -1000, INT_MAX, INT_MIN};

bool moderate(float v) {
  return std::isfinite(v) && std::fabs(v) <= 1.0e4f;
}

// Writes value index k of a parameter's sweep; returns whether the value is moderate.
bool setSweepValue(host::BoundShader& shader, const host::ParameterRecord& p, size_t k,
                   host::ConstantTextures& textures) {
  const float f = kFloats[k % std::size(kFloats)];
  switch (p.type) {
    case ParamType::Bool:
      shader.set(p.name, (k & 1u) != 0);
      return true;
    case ParamType::Int:
      shader.set(p.name, kInts[k % std::size(kInts)]);
      return true;
    case ParamType::Texture1D:
      shader.set(p.name, (k & 1u) ? static_cast<pvx::ITexture1D*>(&textures.texture1D) : nullptr);
      return true;
    case ParamType::Texture2D:
      shader.set(p.name, (k & 1u) ? static_cast<pvx::ITexture2D*>(&textures.texture2D) : nullptr);
      return true;
    case ParamType::TextureCube:
      shader.set(p.name,
                 (k & 1u) ? static_cast<pvx::ITextureCube*>(&textures.textureCube) : nullptr);
      return true;
    default: {
      // Every component the same bad value, or the value in the first component only.
      std::vector<double> values(size_t(host::floatCount(p.type)), (k & 1u) ? 0.25 : f);
      values[0] = f;
      shader.setNumbers(p.name, values);
      return moderate(f);
    }
  }
}

// The varied hits, and hits whose own inputs are broken.
std::vector<ShadingState> sweepStates() {
  std::vector<ShadingState> states;
  for (const ShadingState& s : host::variedShadingStates())
    states.push_back(s);
  const float broken[] = {kNaN, kInf, -kInf, 0.0f};
  for (size_t i = 0; i < std::size(broken); ++i) {
    ShadingState s = states[i];
    const float v = broken[i];
    s.I = s.N = s.Ng = s.No = float3(v);
    s.P = s.Po = float3(v, 1.0f, v);
    for (size_t k = 0; k < pvx::kVaryingBlockSize / sizeof(float); ++k)
      std::memcpy(s.varying + k * sizeof(float), &v, sizeof v);
    s.rayKind = i == 0 ? INT_MIN : i == 1 ? 3 : i == 2 ? 1000 : 1;
    s.frontFacing = 255;
    states.push_back(s);
  }
  return states;
}

bool stateIsModerate(const ShadingState& s) {
  const float* fields[] = {&s.I.x, &s.P.x, &s.N.x, &s.Ng.x, &s.Po.x, &s.No.x};
  for (const float* f : fields) {
    for (int c = 0; c < 3; ++c) {
      if (!moderate(f[c])) return false;
    }
  }
  for (size_t k = 0; k < pvx::kVaryingBlockSize / sizeof(float); ++k) {
    float v;
    std::memcpy(&v, s.varying + k * sizeof(float), sizeof v);
    if (!moderate(v)) return false;
  }
  return true;
}

// Runs every entry point on every state through `host` under the shading contract's checker
// (outputs only, parameters untouched, heap copies of the state for the sanitizer), then checks
// the colours `shade` gave; `finiteInputs` says whether the parameters and the host's answers
// are moderate.
void runAll(const ClassUnderTest& c, host::BoundShader& shader, host::RecordingHost* host,
            bool finiteInputs) {
  for (const ShadingState& input : sweepStates()) {
    std::vector<std::string> violations;
    for (const EntryOutcome& outcome :
         checkShadingContract({c.name, shader.get(), &shader.table(), host, 0}, input,
                              std::chrono::milliseconds(1000), &violations)) {
      if (outcome.entry != Entry::Shade || outcome.state.ignoreHit) continue;
      for (float v : {outcome.state.Ci.x, outcome.state.Ci.y, outcome.state.Ci.z}) {
        if (c.clampsColour) {
          EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << v;
        }
        if (finiteInputs && stateIsModerate(input)) {
          EXPECT_TRUE(std::isfinite(v)) << v;
        }
      }
    }
    for (const std::string& v : violations)
      ADD_FAILURE() << v;
  }
}

// Host answers: the moderate constants, then NaN and infinite ones.
struct HostVariant {
  const char* name;
  bool moderate;
  void (*prepare)(host::RecordingHost&);
};
void allTraces(host::RecordingHost& h, const float3& c) {
  h.occlusionAnswer = h.traceRayAnswer = h.traceSpecularAnswer = h.traceAnisotropicAnswer =
      h.traceReflectionAnswer = c;
}
const HostVariant kHosts[] = {
    {"constant answers", true, [](host::RecordingHost&) {}},
    {"no lights", true, [](host::RecordingHost& h) { h.lights.clear(); }},
    {"NaN answers", false,
     [](host::RecordingHost& h) {
       allTraces(h, float3(kNaN));
       h.ambientAnswer = h.indirectDiffuseAnswer = float3(kNaN);
       h.traceContinueAnswer = float4(kNaN);
       for (pvx::LightSample& l : h.lights)
         l.unshadowedColor = l.transmission = float3(kNaN);
     }},
    {"infinite answers", false,
     [](host::RecordingHost& h) {
       allTraces(h, float3(kInf));
       for (pvx::LightSample& l : h.lights)
         l.unshadowedColor = float3(-kInf);
     }},
};

TEST(BadInput, EachParameterSweptAloneThroughEveryEntryPoint) {
  host::ConstantTextures textures;
  for (const ClassUnderTest& c : kClasses) {
    SCOPED_TRACE(c.name);
    const host::BoundShader probe = makeShader(c.name);
    for (const host::ParameterRecord& p : probe.table().parameters()) {
      for (size_t k = 0; k < std::size(kFloats); ++k) {
        SCOPED_TRACE(p.name + " value " + std::to_string(k));
        host::BoundShader shader = makeShader(c.name);
        const bool moderateValue = setSweepValue(shader, p, k, textures);
        for (const HostVariant& variant : kHosts) {
          SCOPED_TRACE(variant.name);
          host::RecordingHost host(host::HostPolicy::Constant, host::HostAnswers::varied());
          variant.prepare(host);
          runAll(c, shader, &host, moderateValue && variant.moderate);
        }
      }
    }
  }
}

}  // namespace
}  // namespace tarvo::test

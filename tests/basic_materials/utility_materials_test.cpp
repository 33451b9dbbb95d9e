// quarra_Mtl_Unlit, quarra_Mtl_Solid and quarra_Mtl_NormalsOnly: which rays see them, the tint
// tables, the absolute view cosine, and what they leave alone.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using pvx::float3;
using pvx::float4;
using pvx::ShadingState;

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// Compares two states byte by byte outside [from, to).
::testing::AssertionResult sameOutside(const ShadingState& a, const ShadingState& b, size_t from,
                                       size_t to) {
  const auto* x = reinterpret_cast<const unsigned char*>(&a);
  const auto* y = reinterpret_cast<const unsigned char*>(&b);
  for (size_t i = 0; i < sizeof(ShadingState); ++i) {
    if ((i < from || i >= to) && x[i] != y[i]) {
      return ::testing::AssertionFailure() << "byte " << i << " changed";
    }
  }
  return ::testing::AssertionSuccess();
}

// A patterned state (so stray writes show) with a hit the materials can read.
ShadingState patternedHit(unsigned seed, const float3& I, const float3& N) {
  ShadingState s;
  fillPattern(&s, seed);
  s.I = I;
  s.N = N;
  s.Ng = float3(0.0f, 0.0f, 1.0f);
  s.rayKind = pvx::kRayCamera;
  s.frontFacing = 1;
  s.ignoreHit = 0;
  s.Ci = float4(0.0f, 0.0f, 0.0f, 0.37f);
  return s;
}

constexpr size_t kCi = offsetof(ShadingState, Ci);
constexpr size_t kCiAlpha = kCi + 12;
constexpr size_t kShadowT = offsetof(ShadingState, shadowT);

// ---- unlit -------------------------------------------------------------------------------------

TEST(Unlit, CameraRaysSeeTheColourAndEveryOtherRayPassesThrough) {
  host::BoundShader shader = makeShader("quarra_Mtl_Unlit");
  shader.set("diffuseColor", float3(0.2f, 0.4f, 0.6f));
  host::RecordingHost host;
  const int32_t kinds[] = {1, 0, 2, 4, 16, 32, -1};
  for (int32_t kind : kinds) {
    SCOPED_TRACE(kind);
    ShadingState state =
        patternedHit(unsigned(kind + 10), float3(0.0f, 0.0f, -1.0f), float3(0.0f, 0.0f, 1.0f));
    state.rayKind = kind;
    const ShadingState before = state;
    shader.material()->shade(&host, &state);
    if (kind == pvx::kRayCamera) {
      EXPECT_EQ(state.Ci, float4(0.2f, 0.4f, 0.6f, 0.37f));  // alpha as the host left it
      EXPECT_TRUE(sameOutside(state, before, kCi, kCiAlpha));
    } else {
      EXPECT_EQ(state.ignoreHit, 1);
      state.ignoreHit = 0;
      EXPECT_TRUE(sameOutside(state, before, 0, 0));  // Ci untouched
    }
  }
  EXPECT_TRUE(host.calls().empty());
}

TEST(Unlit, DefaultColourIsYellowAndItNeverShadows) {
  host::BoundShader shader = makeShader("quarra_Mtl_Unlit");
  host::RecordingHost host;
  ShadingState state = patternedHit(1, float3(0.0f, 0.0f, -1.0f), float3(0.0f, 0.0f, 1.0f));
  shader.material()->shade(&host, &state);
  EXPECT_EQ(state.Ci, float4(1.0f, 1.0f, 0.0f, 0.37f));
  for (int32_t kind : {1, 2, 16, 32}) {
    ShadingState shadowRay =
        patternedHit(unsigned(kind), float3(0.0f, 0.0f, -1.0f), float3(0.0f, 0.0f, 1.0f));
    shadowRay.rayKind = kind;
    const ShadingState before = shadowRay;
    shader.material()->shadow(&host, &shadowRay);
    EXPECT_EQ(shadowRay.shadowT, float3(1.0f));
    EXPECT_TRUE(sameOutside(shadowRay, before, kShadowT, kShadowT + 12));
  }
}

// ---- solid -------------------------------------------------------------------------------------

TEST(Solid, PatchStatePicksTheTintScaledByTheViewCosine) {
  struct Case {
    int32_t patchState;
    float3 I;
    float3 expected;
  };
  const float3 head(0.0f, 0.0f, -1.0f);     // d = 1
  const float3 oblique(0.6f, 0.0f, -0.8f);  // d = 0.8
  const float3 grazing(1.0f, 0.0f, 0.0f);   // d = 0
  const float3 long_(0.0f, 0.0f, -4.0f);    // d = 4: clamped
  const Case cases[] = {
      {0, head, float3(0.69f, 0.58f, 0.69f)},
      {1, head, float3(0.69f, 0.58f, 0.69f)},
      {2, head, float3(0.85f)},
      {3, head, float3(0.0f)},
      {-1, head, float3(0.0f)},
      {INT_MAX, head, float3(0.0f)},
      {0, oblique, float3(0.69f * 0.8f, 0.58f * 0.8f, 0.69f * 0.8f)},
      {2, oblique, float3(0.85f * 0.8f)},
      {0, grazing, float3(0.0f)},
      {2, long_, float3(1.0f)},                      // 3.4 limited to 1
      {0, float3(kNaN, 0.0f, -1.0f), float3(0.0f)},  // NaN cosine: each channel 0
  };
  host::BoundShader shader = makeShader("quarra_Mtl_Solid");
  host::RecordingHost host;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "patchState " << c.patchState << ", I " << c.I.x << " "
                                      << c.I.y << " " << c.I.z);
    shader.set("patchState", c.patchState);
    ShadingState state = patternedHit(7, c.I, float3(0.0f, 0.0f, 1.0f));
    const ShadingState before = state;
    shader.material()->shade(&host, &state);
    EXPECT_TRUE(nearFloat3(float3(state.Ci.x, state.Ci.y, state.Ci.z), c.expected, 1e-7f));
    EXPECT_TRUE(sameOutside(state, before, kCi, kCiAlpha));  // alpha left as found
  }
  EXPECT_TRUE(host.calls().empty());
}

TEST(Solid, NormalSwitchesNeverChangeTheColour) {
  // |dot(I, n)| is the same for n and -n: (0.69, 0.58, 0.69) 0.8 from either side.
  host::BoundShader shader = makeShader("quarra_Mtl_Solid");
  host::RecordingHost host;
  const float3 expected(0.69f * 0.8f, 0.58f * 0.8f, 0.69f * 0.8f);
  for (const float3& I : {float3(0.6f, 0.0f, -0.8f), float3(0.6f, 0.0f, 0.8f)}) {
    for (int flags = 0; flags < 4; ++flags) {
      SCOPED_TRACE(::testing::Message() << "I.z " << I.z << ", flags " << flags);
      shader.set("reverseNormal", (flags & 1) != 0);
      shader.set("faceForward", (flags & 2) != 0);
      ShadingState state = patternedHit(3, I, float3(0.0f, 0.0f, 1.0f));
      shader.material()->shade(&host, &state);
      EXPECT_TRUE(nearFloat3(float3(state.Ci.x, state.Ci.y, state.Ci.z), expected, 1e-7f));
    }
  }
}

// ---- normals only ------------------------------------------------------------------------------

TEST(NormalsOnly, SideColourFirstMatchWinsScaledByTheCosine) {
  struct Case {
    const char* name;
    bool faceForward, faceLight, reverseNormal;
    uint8_t frontFacing;
    float3 K;
  };
  const float3 green(0.05f, 0.8f, 0.05f), olive(0.45f, 0.65f, 0.35f), blue(0.05f, 0.05f, 0.8f),
      yellow(1.0f, 1.0f, 0.0f);
  const Case cases[] = {
      {"faceForward wins over faceLight", true, true, false, 1, green},
      {"faceForward", true, false, true, 0, green},
      {"faceLight", false, true, false, 1, olive},
      {"outside", false, false, false, 1, blue},
      {"inside, reversed", false, false, true, 0, blue},
      {"any nonzero byte faces front", false, false, false, 2, blue},
      {"outside, reversed", false, false, true, 1, yellow},
      {"inside", false, false, false, 0, yellow},
  };
  host::BoundShader shader = makeShader("quarra_Mtl_NormalsOnly");
  host::RecordingHost host;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    shader.set("faceForward", c.faceForward);
    shader.set("faceLight", c.faceLight);
    shader.set("reverseNormal", c.reverseNormal);
    // d = |dot(N, I)| = 0.8.
    ShadingState state = patternedHit(5, float3(0.0f, 0.6f, -0.8f), float3(0.0f, 0.0f, 1.0f));
    state.frontFacing = c.frontFacing;
    const ShadingState before = state;
    shader.material()->shade(&host, &state);
    EXPECT_TRUE(
        nearFloat4(state.Ci, float4(c.K.x * 0.8f, c.K.y * 0.8f, c.K.z * 0.8f, 1.0f), 1e-7f));
    EXPECT_TRUE(sameOutside(state, before, kCi, kCi + 16));
  }
  EXPECT_TRUE(host.calls().empty());
}

TEST(NormalsOnly, GrazingAndNaNCosinesGiveOpaqueBlack) {
  host::BoundShader shader = makeShader("quarra_Mtl_NormalsOnly");
  host::RecordingHost host;
  for (const float3& I : {float3(1.0f, 0.0f, 0.0f), float3(0.0f, 0.0f, kNaN)}) {
    ShadingState state = patternedHit(9, I, float3(0.0f, 0.0f, 1.0f));
    shader.material()->shade(&host, &state);
    EXPECT_EQ(state.Ci, float4(0.0f, 0.0f, 0.0f, 1.0f));
  }
  // d = 3 saturates every channel of yellow that is not 0.
  ShadingState state = patternedHit(9, float3(0.0f, 0.0f, -3.0f), float3(0.0f, 0.0f, 1.0f));
  state.frontFacing = 0;
  shader.material()->shade(&host, &state);
  EXPECT_EQ(state.Ci, float4(1.0f, 1.0f, 0.0f, 1.0f));
}

}  // namespace
}  // namespace tarvo::test

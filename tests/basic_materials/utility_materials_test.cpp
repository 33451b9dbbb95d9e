// quarra_Mtl_Unlit, quarra_Mtl_Solid and quarra_Mtl_NormalsOnly: which rays see them, the tint
// tables and the absolute view cosine. That they write nothing but their outputs is the
// shading contract's business (bad_input_test.cpp).
#include <gtest/gtest.h>

#include <climits>
#include <limits>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using pvx::ShadingState;

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// A hit seen along I by a ray of kind `rayKind`, its alpha pre-set so that a write shows.
ShadingState hit(const float3& I, int32_t rayKind = pvx::kRayCamera) {
  ShadingState s = cameraHit();
  s.I = I;
  s.rayKind = rayKind;
  s.Ci = float4(0.0f, 0.0f, 0.0f, 0.37f);
  return s;
}

// Shades with a host that must not be asked anything.
ShadingState shade(const BoundShader& shader, ShadingState state) {
  RecordingHost host;
  shader.material()->shade(&host, &state);
  EXPECT_TRUE(host.calls().empty());
  return state;
}

const float3 kDown(0.0f, 0.0f, -1.0f);

TEST(Unlit, CameraRaysSeeTheColourAndEveryOtherRayPassesThrough) {
  BoundShader shader = makeShader("quarra_Mtl_Unlit");
  EXPECT_EQ(shade(shader, hit(kDown)).Ci, float4(1.0f, 1.0f, 0.0f, 0.37f));  // yellow default
  shader.set("diffuseColor", float3(0.2f, 0.4f, 0.6f));
  for (int32_t kind : {1, 0, 2, 4, 16, 32, -1}) {
    SCOPED_TRACE(kind);
    const ShadingState state = shade(shader, hit(kDown, kind));
    if (kind == pvx::kRayCamera) {
      EXPECT_EQ(state.Ci, float4(0.2f, 0.4f, 0.6f, 0.37f));  // alpha as the host left it
    } else {
      EXPECT_EQ(state.ignoreHit, 1);
      EXPECT_EQ(state.Ci, float4(0.0f, 0.0f, 0.0f, 0.37f));
    }
    // It never shadows.
    ShadingState shadowRay = hit(kDown, kind);
    RecordingHost host;
    shader.material()->shadow(&host, &shadowRay);
    EXPECT_EQ(shadowRay.shadowT, float3(1.0f));
  }
}

TEST(Solid, PatchStatePicksTheTintScaledByTheViewCosineWhicheverWayTheNormalFaces) {
  struct Case {
    int32_t patchState;
    float3 I;
    float3 expected;
  };
  const float3 oblique(0.6f, 0.0f, -0.8f);  // d = 0.8
  const Case cases[] = {
      {0, kDown, float3(0.69f, 0.58f, 0.69f)},
      {1, kDown, float3(0.69f, 0.58f, 0.69f)},
      {2, kDown, float3(0.85f)},
      {3, kDown, float3(0.0f)},
      {-1, kDown, float3(0.0f)},
      {INT_MAX, kDown, float3(0.0f)},
      {0, oblique, float3(0.69f * 0.8f, 0.58f * 0.8f, 0.69f * 0.8f)},
      {2, oblique, float3(0.85f * 0.8f)},
      {0, float3(1.0f, 0.0f, 0.0f), float3(0.0f)},   // grazing
      {2, float3(0.0f, 0.0f, -4.0f), float3(1.0f)},  // 3.4 limited to 1
      {0, float3(kNaN, 0.0f, -1.0f), float3(0.0f)},  // NaN cosine: each channel 0
  };
  BoundShader shader = makeShader("quarra_Mtl_Solid");
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "patchState " << c.patchState << ", I " << c.I.x << " "
                                      << c.I.y << " " << c.I.z);
    shader.set("patchState", c.patchState);
    // |dot(I, n)| is the same for n and -n: neither switch nor the side changes the colour.
    for (int flags = 0; flags < 8; ++flags) {
      shader.set("reverseNormal", (flags & 1) != 0);
      shader.set("faceForward", (flags & 2) != 0);
      const float3 I = (flags & 4) ? float3(c.I.x, c.I.y, -c.I.z) : c.I;
      const ShadingState state = shade(shader, hit(I));
      EXPECT_TRUE(nearFloat3(pvx::float3(state.Ci.x, state.Ci.y, state.Ci.z), c.expected, 1e-7f))
          << "flags " << flags;
      EXPECT_EQ(state.Ci.w, 0.37f);  // alpha left as found
    }
  }
}

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
  BoundShader shader = makeShader("quarra_Mtl_NormalsOnly");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    shader.set("faceForward", c.faceForward);
    shader.set("faceLight", c.faceLight);
    shader.set("reverseNormal", c.reverseNormal);
    ShadingState state = hit(float3(0.0f, 0.6f, -0.8f));  // d = |dot(N, I)| = 0.8
    state.frontFacing = c.frontFacing;
    EXPECT_TRUE(nearFloat4(shade(shader, state).Ci,
                           float4(c.K.x * 0.8f, c.K.y * 0.8f, c.K.z * 0.8f, 1.0f), 1e-7f));
  }
  // Grazing and NaN cosines give opaque black; d = 3 saturates every channel that is not 0.
  shader.set("faceForward", false);
  shader.set("faceLight", false);
  shader.set("reverseNormal", false);
  for (const float3& I : {float3(1.0f, 0.0f, 0.0f), float3(0.0f, 0.0f, kNaN)})
    EXPECT_EQ(shade(shader, hit(I)).Ci, float4(0.0f, 0.0f, 0.0f, 1.0f));
  ShadingState inside = hit(float3(0.0f, 0.0f, -3.0f));
  inside.frontFacing = 0;
  EXPECT_EQ(shade(shader, inside).Ci, float4(1.0f, 1.0f, 0.0f, 1.0f));
}

}  // namespace
}  // namespace tarvo::test

// quarra_Mtl_ShadowPlane: received shadow and occlusion darken what lies behind towards the
// shadow colour; an undarkened point disappears; the host is asked for the lights, the occlusion
// and the continued ray in that order.
#include <gtest/gtest.h>

#include <vector>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using pvx::LightSample;

// A light record with the unshadowed colour and transmission the plane reads; the shadowed
// colour holds a decoy that must not be read.
LightSample light(const float3& unshadowed, const float3& transmission) {
  LightSample record = host::makeLight(float3(0.0f, 0.0f, 1.0f), unshadowed);
  record.color = float3(9.0f);
  record.transmission = transmission;
  return record;
}

struct Scene {
  std::vector<LightSample> lights;
  float3 accessibility;
  float3 shadowColor;
  float shadowIntensity;
  bool drawMereShadow;
};

struct Result {
  pvx::ShadingState state;
  std::vector<host::HostCall> calls;
};

Result shadePlane(const Scene& scene, float receiveShadow = 1.0f, int32_t rayKind = 1) {
  host::BoundShader shader = makeShader("quarra_Mtl_ShadowPlane");
  shader.set("shadowColor", scene.shadowColor);
  shader.set("shadowIntensity", scene.shadowIntensity);
  shader.set("receiveShadow", receiveShadow);
  shader.set("draw_mere_shadow", scene.drawMereShadow);
  host::RecordingHost host;
  host.lights = scene.lights;
  host.occlusionAnswer = scene.accessibility;
  host.traceRayAnswer = float3(0.5f, 0.6f, 1.0f);
  Result result{cameraHit(), {}};
  result.state.P = float3(1.0f, 2.0f, 0.0f);
  result.state.I = float3(0.0f, 0.6f, -0.8f);
  result.state.rayKind = rayKind;
  result.state.Ci = float4(0.0f);
  shader.material()->shade(&host, &result.state);
  result.calls = host.calls();
  return result;
}

TEST(ShadowPlane, DarkensWhatLiesBehindByShadowAndOcclusion) {
  struct Case {
    const char* name;
    Scene scene;
    float4 expected;
  };
  const Case cases[] = {
      // One light fully blocked, defaults: R = 0, D = 0 0.7 + 0.3 = 0.3, E = 0.3, H = 1:
      // G = 0.3, behind (0.5, 0.6, 1) darkened to 30 %.
      {"blocked light",
       {{light(float3(1.0f, 0.8f, 0.6f), float3(0.0f))}, float3(1.0f), float3(0.0f), 0.7f, false},
       float4(0.15f, 0.18f, 0.3f, 1.0f)},
      // A = 1 + 2 = 3; B = (1, 1, 1) 1 + (0.5, 0.25, 0) 0.5 = (1.25, 1.125, 1);
      // R = (0.416667, 0.375, 0.333333); D = (0.2, 0.1, 0) 0.5 + 0.5 = (0.6, 0.55, 0.5);
      // E = R + (1 - R) D = (0.766667, 0.71875, 0.666667);
      // H = q + (1 - q) colour = (0.5 + 0.1, 1, 0.8) = (0.6, 1, 0.8);
      // G = (0.46, 0.71875, 0.533333); T G = (0.23, 0.43125, 0.533333).
      {"two lights and occlusion",
       {{light(float3(1.0f, 0.5f, 0.5f), float3(1.0f)),
         light(float3(0.0f, 2.0f, 0.0f), float3(0.5f, 0.25f, 0.0f))},
        float3(0.5f, 1.0f, 0.8f),
        float3(0.2f, 0.1f, 0.0f),
        0.5f,
        false},
       float4(0.23f, 0.43125f, 0.533333f, 1.0f)},
      // Same, binary alpha: max(G) = 0.71875 >= 0.7, so transparent.
      {"two lights, mere shadow",
       {{light(float3(1.0f, 0.5f, 0.5f), float3(1.0f)),
         light(float3(0.0f, 2.0f, 0.0f), float3(0.5f, 0.25f, 0.0f))},
        float3(0.5f, 1.0f, 0.8f),
        float3(0.2f, 0.1f, 0.0f),
        0.5f,
        true},
       float4(0.23f, 0.43125f, 0.533333f, 0.0f)},
      // Lights arrive whole (B = A) but occlusion darkens: R = 1, E = 1, G = H =
      // (1, 1, 0.5 + 0.5 0.4) = (1, 1, 0.7).
      {"occlusion only",
       {{light(float3(0.3f), float3(1.0f))}, float3(1.0f, 1.0f, 0.5f), float3(0.4f), 0.7f, false},
       float4(0.5f, 0.6f, 0.7f, 1.0f)},
      // No lights (A = 0, R = 1) but occluded: G = H = q = 0.25 with a black shadow colour.
      {"no lights, occluded",
       {{}, float3(0.25f), float3(0.0f), 0.7f, false},
       float4(0.125f, 0.15f, 0.25f, 1.0f)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Result r = shadePlane(c.scene);
    EXPECT_EQ(r.state.ignoreHit, 0);
    EXPECT_TRUE(nearFloat4(r.state.Ci, c.expected, 1e-6f));
    // The host is asked in order: lights, occlusion, the ray behind.
    ASSERT_EQ(r.calls.size(), 3u);
    EXPECT_EQ(r.calls[0].slot, slot::kLightSamples);
    EXPECT_EQ(r.calls[0].integer, 0);
    EXPECT_EQ(r.calls[0].vector(0), r.state.P);
    EXPECT_EQ(r.calls[0].vector(1), r.state.N);
    EXPECT_EQ(r.calls[1].slot, slot::kOcclusion);
    EXPECT_EQ(r.calls[1].vector(0), r.state.P);
    EXPECT_EQ(r.calls[1].vector(1), r.state.N);
    EXPECT_EQ(r.calls[1].scalars[0], 1.0f);
    EXPECT_EQ(r.calls[2].slot, slot::kTraceRay);
  }
}

TEST(ShadowPlane, DisappearsWhereNothingDarkensItOrWhenSwitchedOff) {
  const Scene unlit{{}, float3(1.0f), float3(0.0f), 0.7f, false};
  const Scene wholeLights{
      {light(float3(0.3f, 0.2f, 0.1f), float3(1.0f)), light(float3(2.0f), float3(1.0f))},
      float3(1.0f),
      float3(0.0f),
      0.7f,
      false};
  const Scene blocked{{light(float3(1.0f), float3(0.0f))}, float3(1.0f), float3(0.0f), 0.7f, false};
  struct Case {
    const char* name;
    const Scene* scene;
    float receiveShadow;
    bool discarded;
    size_t hostCalls;
  };
  const Case cases[] = {
      {"no lights, no occlusion", &unlit, 1.0f, true, 2},
      {"every light arrives whole", &wholeLights, 1.0f, true, 2},
      {"switched off", &blocked, 0.0f, true, 0},
      {"negative zero is zero", &blocked, -0.0f, true, 0},
      {"0.5 is on", &blocked, 0.5f, false, 3},
      {"negative is on", &blocked, -1.0f, false, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Result r = shadePlane(*c.scene, c.receiveShadow);
    EXPECT_EQ(r.state.ignoreHit, c.discarded ? 1 : 0);
    EXPECT_EQ(r.calls.size(), c.hostCalls);
    if (c.discarded) {
      EXPECT_EQ(r.state.Ci, float4(0.0f));
    } else {
      EXPECT_TRUE(nearFloat4(r.state.Ci, float4(0.15f, 0.18f, 0.3f, 1.0f), 1e-6f));  // as 1
    }
  }
}

TEST(ShadowPlane, MereShadowAlphaSwitchesAtSevenTenths) {
  // One blocked light, black shadow colour: G = 1 - s. s = 0.3 gives the float 0.7 (opaque
  // only below it, so transparent); s = 0.31 gives 0.69 (opaque).
  struct Case {
    float intensity;
    float alpha;
  };
  for (const Case& c : {Case{0.3f, 0.0f}, Case{0.31f, 1.0f}}) {
    SCOPED_TRACE(c.intensity);
    ASSERT_EQ(1.0f - c.intensity, c.intensity == 0.3f ? 0.7f : 0.69f);
    const Result r = shadePlane(
        {{light(float3(1.0f), float3(0.0f))}, float3(1.0f), float3(0.0f), c.intensity, true});
    EXPECT_EQ(r.state.Ci.w, c.alpha);
  }
}

TEST(ShadowPlane, TracesBehindAsTheSameRayKindCameraRaysAsKindFour) {
  const Scene blocked{{light(float3(1.0f), float3(0.0f))}, float3(1.0f), float3(0.0f), 0.7f, false};
  struct Case {
    int32_t rayKind;
    int32_t traced;
  };
  for (const Case& c : {Case{1, 4}, Case{2, 2}, Case{4, 4}, Case{16, 16}, Case{32, 32}}) {
    SCOPED_TRACE(c.rayKind);
    const Result r = shadePlane(blocked, 1.0f, c.rayKind);
    ASSERT_EQ(r.calls.size(), 3u);
    const host::HostCall& trace = r.calls[2];
    EXPECT_EQ(trace.slot, slot::kTraceRay);
    EXPECT_EQ(trace.integer, c.traced);
    EXPECT_EQ(trace.vector(0), r.state.P);
    EXPECT_EQ(trace.vector(1), r.state.I);
    EXPECT_EQ(trace.scalars[0], 1.0f);
  }
}

TEST(ShadowPlane, BlocksOnlySpecularShadowRaysAndScattersStraightThrough) {
  host::BoundShader shader = makeShader("quarra_Mtl_ShadowPlane");
  host::RecordingHost host;
  for (int32_t kind : {0, 1, 2, 4, 16, 32}) {
    SCOPED_TRACE(kind);
    pvx::ShadingState state = cameraHit();
    state.rayKind = kind;
    shader.material()->shadow(&host, &state);
    EXPECT_EQ(state.shadowT, float3(kind == 16 ? 0.0f : 1.0f));
  }
  pvx::ShadingState state = cameraHit();
  state.I = float3(0.0f, 0.6f, -0.8f);
  for (uint8_t& allowed : state.allowScatter)
    allowed = 0;  // a continuation is not a bounce
  pvx::ShadingState expected = state;
  expected.scatterDir = state.I;
  expected.scatterWeight = float3(1.0f);
  expected.scatterCos = 1.0f;
  expected.scatterInvPdf = 1.0f;
  expected.scatterKind = 4;
  shader.material()->scatter(&host, &state);
  EXPECT_EQ(std::memcmp(&state, &expected, sizeof state), 0);
  EXPECT_TRUE(host.calls().empty());
}

}  // namespace
}  // namespace tarvo::test

// BackgroundGeometry: back faces and low alpha cut out, partial alpha blends with what lies
// behind, reflected rays see the override image, floors receive the lights' mean transmission and
// the occlusion, the mere-shadow alpha, and floors block specular shadow rays.
#include <gtest/gtest.h>

#include <vector>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using pvx::LightSample;

constexpr float3 kFloor(0.0f, 0.0f, 1.0f);
constexpr float3 kWall(0.0f, 1.0f, 0.0f);

pvx::ShadingState hit(const float3& N, int32_t rayKind = pvx::kRayCamera) {
  pvx::ShadingState s = cameraHit();
  s.N = s.Ng = N;
  s.I = float3(1.0f, 0.0f, 0.0f);  // lat-long (u, v) = (0.25, 0.5)
  s.rayKind = rayKind;
  return s;
}

LightSample light(const float3& unshadowed, const float3& transmission) {
  LightSample record = host::makeLight(kFloor, unshadowed);
  record.color = float3(9.0f);  // the shadowed colour is not read
  record.transmission = transmission;
  return record;
}

TEST(BackgroundGeometry, FloorsReceiveTheLightsMeanTransmissionAndOcclusion) {
  host::BoundShader shader = makeShader("BackgroundGeometry");
  shader.set("shadowColor", float3(0.2f, 0.1f, 0.0f));
  shader.set("shadowIntensity", 0.5f);
  host::RecordingHost host;
  host.lights = {light(float3(1.0f, 0.5f, 0.5f), float3(1.0f)),
                 light(float3(0.0f, 2.0f, 0.0f), float3(0.5f, 0.25f, 0.0f))};
  host.occlusionAnswer = float3(0.5f, 1.0f, 0.8f);
  pvx::ShadingState s = hit(kFloor);
  shader.material()->shade(&host, &s);
  // W = max(1, .5, .5) + max(0, 2, 0) = 3; V = (1, 1, 1) 1 + (.5, .25, 0) max(0, .5, 0)
  //   = (1.25, 1.125, 1); mean v = V / W = (0.416667, 0.375, 0.333333);
  // tint = (0.2, 0.1, 0) 0.5 + 0.5 = (0.6, 0.55, 0.5); S = v + (1 - v) tint
  //   = (0.766667, 0.71875, 0.666667); p + (1 - p) shadowColor = (0.6, 1, 0.8);
  // L = (0.46, 0.71875, 0.533333) times the white diffuse colour.
  EXPECT_TRUE(nearFloat4(s.Ci, float4(0.46f, 0.71875f, 0.533333f, 1.0f)));
  ASSERT_EQ(host.count(slot::kOcclusion), 1);
  EXPECT_EQ(host.first(slot::kLightSamples)->integer, 0);

  // No lights: W = 0, the mean transmission is 1 and only the occlusion darkens.
  host.lights.clear();
  s = hit(kFloor);
  shader.material()->shade(&host, &s);
  EXPECT_TRUE(nearFloat4(s.Ci, float4(0.6f, 1.0f, 0.8f, 1.0f)));
}

TEST(BackgroundGeometry, OnlyUpFacingPartsReceiveShadowsAndOnlyWhenSwitchedOn) {
  struct Case {
    const char* name;
    float3 N;
    float receiveShadow;
  };
  const Case cases[] = {{"receiveShadow 0", kFloor, 0.0f},
                        {"normal z exactly 0.9", float3(0.0f, 0.43589f, 0.9f), 1.0f},
                        {"wall", kWall, 1.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host::BoundShader shader = makeShader("BackgroundGeometry");
    shader.set("receiveShadow", c.receiveShadow);
    host::RecordingHost host;
    host.lights = {light(float3(1.0f), float3(0.0f))};
    host.occlusionAnswer = float3(0.0f);
    pvx::ShadingState s = hit(c.N);
    shader.material()->shade(&host, &s);
    EXPECT_EQ(s.Ci, float4(1.0f));
    EXPECT_EQ(host.count(slot::kLightSamples), 0);
    EXPECT_EQ(host.count(slot::kOcclusion), 0);
  }
}

TEST(BackgroundGeometry, AlphaCutsOutBelowFiveHundredthsAndBlendsAbove) {
  host::BoundShader shader = makeShader("BackgroundGeometry");
  host::RecordingTexture2D picture;
  shader.set("diffuseMode", int32_t{1});
  shader.set("diffuseTexture", static_cast<pvx::ITexture2D*>(&picture));
  host::RecordingHost host;
  host.traceContinueAnswer = float4(0.1f, 0.2f, 0.3f, 0.5f);

  picture.value = float4(0.8f, 0.6f, 0.4f, 0.04f);
  pvx::ShadingState s = hit(kWall);
  shader.material()->shade(&host, &s);
  EXPECT_EQ(s.ignoreHit, 1);

  // 0.95 behind + 0.05 texel = (0.095 + 0.04, 0.19 + 0.03, 0.285 + 0.02); alpha 1.
  picture.value.w = 0.05f;
  s = hit(kWall);
  shader.material()->shade(&host, &s);
  EXPECT_EQ(s.ignoreHit, 0);
  EXPECT_TRUE(nearFloat4(s.Ci, float4(0.135f, 0.22f, 0.305f, 1.0f)));

  // Opaque texels trace nothing behind.
  host.clearLog();
  picture.value.w = 1.5f;
  s = hit(kWall);
  shader.material()->shade(&host, &s);
  EXPECT_TRUE(nearFloat4(s.Ci, float4(0.8f, 0.6f, 0.4f, 1.0f)));
  EXPECT_EQ(host.count(slot::kTraceContinue), 0);

  // Seen from behind the geometry is absent, whatever it shows.
  s = hit(kWall);
  s.frontFacing = 0;
  shader.material()->shade(&host, &s);
  EXPECT_EQ(s.ignoreHit, 1);
}

TEST(BackgroundGeometry, ModeOffIsOpaqueBlackThatStillReceivesShadows) {
  host::BoundShader shader = makeShader("BackgroundGeometry");
  shader.set("diffuseMode", int32_t{-1});
  shader.set("draw_mere_shadow", true);
  host::RecordingHost host;
  host.occlusionAnswer = float3(0.5f);
  pvx::ShadingState s = hit(kFloor);
  shader.material()->shade(&host, &s);
  EXPECT_EQ(s.Ci, float4(0.0f, 0.0f, 0.0f, 1.0f));  // L = 0.5 < 0.7: visible
  EXPECT_EQ(host.count(slot::kOcclusion), 1);
}

TEST(BackgroundGeometry, MereShadowAlphaMarksOnlyStrongShadows) {
  // No lights: L is the occlusion answer itself (shadow colour black).
  const struct {
    float3 L;
    float alpha;
  } cases[] = {{float3(0.69f), 1.0f}, {float3(0.7f, 0.1f, 0.1f), 0.0f}, {float3(1.0f), 0.0f}};
  for (const auto& c : cases) {
    host::BoundShader shader = makeShader("BackgroundGeometry");
    shader.set("draw_mere_shadow", true);
    host::RecordingHost host;
    host.occlusionAnswer = c.L;
    pvx::ShadingState s = hit(kFloor);
    shader.material()->shade(&host, &s);
    EXPECT_EQ(s.Ci.w, c.alpha) << c.L.x;
  }
}

TEST(BackgroundGeometry, ReflectedRaysSeeTheOverrideImageCameraRaysTheBackdrop) {
  struct Case {
    int32_t rayKind;
    uint8_t viewThrough;
    bool useOverride;
    float4 expected;
  };
  const float4 image(0.6f, 0.4f, 0.2f, 1.0f);     // (0.3, 0.2, 0.1) times the gain 2, alpha 1
  const float4 backdrop(2.0f, 2.0f, 2.0f, 1.0f);  // the white diffuse colour gained by 2
  const Case cases[] = {{pvx::kRayReflection, 0, true, image},
                        {pvx::kRayGlossy, 0, true, image},
                        {pvx::kRayGlossy, 1, true, backdrop},
                        {pvx::kRayCamera, 0, true, backdrop},
                        {pvx::kRayReflection, 0, false, backdrop}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rayKind) + " " + std::to_string(c.viewThrough));
    host::BoundShader shader = makeShader("BackgroundGeometry");
    host::RecordingTexture2D environment;
    environment.value = float4(0.3f, 0.2f, 0.1f, 0.7f);
    shader.set("reflectLatlong", static_cast<pvx::ITexture2D*>(&environment));
    shader.set("useOverriddenReflection", c.useOverride);
    shader.set("globalIBLGainValue", 2.0f);
    host::RecordingHost host;
    pvx::ShadingState s = hit(kWall, c.rayKind);
    s.viewThrough = c.viewThrough;
    shader.material()->shade(&host, &s);
    EXPECT_TRUE(nearFloat4(s.Ci, c.expected));
    if (c.expected == image) {
      ASSERT_EQ(environment.coordinates().size(), 1u);
      EXPECT_NEAR(environment.coordinates()[0].x, 0.25f, 1e-6f);  // +x
      EXPECT_NEAR(environment.coordinates()[0].y, 0.5f, 1e-6f);
    }
  }
}

TEST(BackgroundGeometry, FloorsBlockSpecularShadowRaysAndEveryRayPassesThrough) {
  host::BoundShader shader = makeShader("BackgroundGeometry");
  host::RecordingHost host;
  const struct {
    float3 N;
    int32_t rayKind;
    float transmission;
  } cases[] = {{float3(0.0f, 0.43589f, 0.9f), pvx::kRaySpecular, 0.0f},
               {kWall, pvx::kRaySpecular, 1.0f},
               {kFloor, pvx::kRayReflection, 1.0f}};
  for (const auto& c : cases) {
    pvx::ShadingState s = hit(c.N, c.rayKind);
    shader.material()->shadow(&host, &s);
    EXPECT_EQ(s.shadowT, float3(c.transmission)) << c.N.z << " " << c.rayKind;
  }
  pvx::ShadingState s = hit(kFloor);
  shader.material()->scatter(&host, &s);
  EXPECT_EQ(s.scatterDir, s.I);
  EXPECT_EQ(s.scatterWeight, float3(1.0f));
  EXPECT_EQ(s.scatterCos, 1.0f);
  EXPECT_EQ(s.scatterInvPdf, 1.0f);
  EXPECT_EQ(s.scatterKind, pvx::kRayGlossy);
}

}  // namespace
}  // namespace tarvo::test

// The default environment as a host drives it: which rays see the image, where in the image
// they look, and how the looked-up colour is graded; expected values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using pvx::mat3;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
const float4 kTexel(0.2f, 0.4f, 0.6f, 0.3f);
const float3 kBackground(0.0f, 0.5f, 0.7f);

pvx::ShadingState escapedRay(int32_t kind, const float3& I, uint8_t viewThrough = 0) {
  pvx::ShadingState s = cameraHit();
  s.rayKind = kind;
  s.I = I;
  s.viewThrough = viewThrough;
  s.Ci = float4(-7.0f);
  return s;
}

float4 shade(const host::BoundShader& env, pvx::ShadingState s) {
  host::RecordingHost host;
  env.environment()->shade(&host, &s);
  EXPECT_TRUE(host.calls().empty()) << "the environment asks the host for nothing";
  return s.Ci;
}

// Kind 32 is black with alpha 1 always. Without background geometry the image is for kind 2 and
// for kind 4 unless viewed through; with it, every kind but the camera's sees the image.
TEST(DefaultEnvironment, RayKindViewThroughAndBackgroundGeometryChooseTheAnswer) {
  enum Answer { kFlat, kImage, kBlack };
  struct Case {
    int32_t kind;
    bool useBackgroundGeometry;
    Answer withoutViewThrough, withViewThrough;
  };
  const Case cases[] = {
      {1, false, kFlat, kFlat},   {1, true, kFlat, kFlat},    {2, false, kImage, kImage},
      {2, true, kImage, kImage},  {4, false, kImage, kFlat},  {4, true, kImage, kImage},
      {16, false, kFlat, kFlat},  {16, true, kImage, kImage}, {32, false, kBlack, kBlack},
      {32, true, kBlack, kBlack}, {0, false, kFlat, kFlat},   {0, true, kImage, kImage},
  };
  const float4 expected[] = {float4(kBackground, 0.0f), float4(0.2f, 0.4f, 0.6f, 1.0f),
                             float4(0.0f, 0.0f, 0.0f, 1.0f)};
  host::BoundShader env = makeShader("quarra_Env_Default");
  host::RecordingTexture2D image;
  image.value = kTexel;
  env.set("reflectionLatlong", static_cast<pvx::ITexture2D*>(&image));
  for (const Case& c : cases) {
    env.set("useBackgroundGeometry", c.useBackgroundGeometry);
    for (const uint8_t viewThrough : {0, 1}) {
      SCOPED_TRACE("kind " + std::to_string(c.kind) + " viewThrough " +
                   std::to_string(viewThrough) + " background geometry " +
                   std::to_string(c.useBackgroundGeometry));
      const Answer answer = viewThrough ? c.withViewThrough : c.withoutViewThrough;
      image.clearLog();
      EXPECT_EQ(shade(env, escapedRay(c.kind, float3(1.0f, 0.0f, 0.0f), viewThrough)),
                expected[answer]);
      EXPECT_EQ(image.sampleCount(), answer == kImage ? 1u : 0u);
    }
  }
}

// d' = rows of the stored matrix times I; u = atan2(-y', x') / (2 pi) + 1/4, v = asin(z') / pi
// + 1/2, unwrapped.
TEST(DefaultEnvironment, LooksUpTheRotatedDirectionInLatitudeLongitude) {
  const mat3 identity = pvx::identity3;
  const mat3 turnZ = {{0, 1, 0, -1, 0, 0, 0, 0, 1}};  // by rows: x' = y, y' = -x, z' = z
  const mat3 turnX = {{1, 0, 0, 0, 0, -1, 0, 1, 0}};  // by rows: x' = x, y' = -z, z' = y
  struct Case {
    const char* what;
    mat3 m;
    float3 I;
    float2 uv;
  };
  const Case cases[] = {
      {"+x", identity, {1.0f, 0.0f, 0.0f}, {0.25f, 0.5f}},
      {"-y", identity, {0.0f, -1.0f, 0.0f}, {0.5f, 0.5f}},
      {"+y", identity, {0.0f, 1.0f, 0.0f}, {0.0f, 0.5f}},
      {"-x: atan2(-0, -1) = -pi", identity, {-1.0f, 0.0f, 0.0f}, {-0.25f, 0.5f}},
      {"+z", identity, {0.0f, 0.0f, 1.0f}, {0.25f, 1.0f}},
      {"-z", identity, {0.0f, 0.0f, -1.0f}, {0.25f, 0.0f}},
      {"atan2(0.8, 0.6) = 0.9272952", identity, {0.6f, -0.8f, 0.0f}, {0.3975836f, 0.5f}},
      {"asin(0.8) = 0.9272952", identity, {0.6f, 0.0f, 0.8f}, {0.25f, 0.7951672f}},
      {"a hair past the pole", identity, {0.0f, 0.0f, 1.0000002f}, {0.25f, 1.0f}},
      {"turned about z: +x to -y", turnZ, {1.0f, 0.0f, 0.0f}, {0.5f, 0.5f}},
      {"turned about x: +y to +z", turnX, {0.0f, 1.0f, 0.0f}, {0.25f, 1.0f}},
      {"turned about x: +z to -y", turnX, {0.0f, 0.0f, 1.0f}, {0.5f, 0.5f}},
  };
  host::BoundShader env = makeShader("quarra_Env_Default");
  host::RecordingTexture2D image;
  env.set("reflectionLatlong", static_cast<pvx::ITexture2D*>(&image));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    env.set("globalIBLMatrix", c.m);
    image.clearLog();
    shade(env, escapedRay(pvx::kRayReflection, c.I));
    ASSERT_EQ(image.coordinates().size(), 1u);
    EXPECT_NEAR(image.coordinates()[0].x, c.uv.x, 1e-6f);
    EXPECT_NEAR(image.coordinates()[0].y, c.uv.y, 1e-6f);
  }
}

// Texel c = (0.2, 0.4, 0.6); with the default weights L(c) = 0.2125 0.2 + 0.7154 0.4 +
// 0.0721 0.6 = 0.37192.
TEST(DefaultEnvironment, GradesContrastGainModeGainAndSaturationInOrder) {
  struct Case {
    const char* what;
    float3 texel;
    float2 contrast;
    int32_t gainMode;
    float3 gain;
    float saturation;
    float3 weights;
    float3 expected;
  };
  const float3 c(0.2f, 0.4f, 0.6f);
  const float3 w(0.2125f, 0.7154f, 0.0721f);
  const float2 noContrast(0.5f, 1.0f);
  const Case cases[] = {
      {"defaults leave the texel", c, noContrast, 0, float3(1.0f), 1.0f, w, c},
      {"contrast 2 about 0.5: 2c - 0.5", c, float2(0.5f, 2.0f), 0, float3(1.0f), 1.0f, w,
       float3(-0.1f, 0.3f, 0.7f)},
      {"contrast exactly 1 is skipped: an infinite pivot stays out", c, float2(kInf, 1.0f), 0,
       float3(1.0f), 1.0f, w, c},
      {"gain mode 2: luminance", c, noContrast, 2, float3(1.0f), 1.0f, w, float3(0.37192f)},
      {"gain mode 2 with its own weights", c, noContrast, 2, float3(1.0f), 1.0f,
       float3(1.0f, 0.0f, 0.0f), float3(0.2f)},
      {"gain mode 1 changes nothing", c, noContrast, 1, float3(1.0f), 1.0f, w, c},
      {"gain mode -2 changes nothing", c, noContrast, -2, float3(1.0f), 1.0f, w, c},
      {"gain per channel", c, noContrast, 0, float3(2.0f, 0.5f, 1.0f), 1.0f, w,
       float3(0.4f, 0.2f, 0.6f)},
      {"saturation 0: grey", c, noContrast, 0, float3(1.0f), 0.0f, w, float3(0.37192f)},
      {"saturation 2: 2c - L", c, noContrast, 0, float3(1.0f), 2.0f, w,
       float3(0.02808f, 0.42808f, 0.82808f)},
      {"saturation exactly 1 is skipped: an infinite channel stays alone", float3(kInf, 0.4f, 0.6f),
       noContrast, 0, float3(1.0f), 1.0f, w, float3(kInf, 0.4f, 0.6f)},
      // contrast: (-0.1, 0.3, 0.7), L = 0.24384; gain (2, 1, 1): (0.48768, 0.24384, 0.24384),
      // L = 0.295656; saturation 0.5: 0.5 c + 0.147828.
      {"all four in order", c, float2(0.5f, 2.0f), 2, float3(2.0f, 1.0f, 1.0f), 0.5f, w,
       float3(0.391668f, 0.269748f, 0.269748f)},
  };
  host::BoundShader env = makeShader("quarra_Env_Default");
  host::RecordingTexture2D image;
  env.set("reflectionLatlong", static_cast<pvx::ITexture2D*>(&image));
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    image.value = float4(k.texel, 0.25f);
    env.set("reflectIBLContrast", k.contrast);
    env.set("reflectIBLGainMode", k.gainMode);
    env.set("reflectIBLGain", k.gain);
    env.set("reflectIBLSaturation", k.saturation);
    env.set("IBLLuminanceFactors", k.weights);
    const float4 ci = shade(env, escapedRay(pvx::kRayReflection, float3(1.0f, 0.0f, 0.0f)));
    EXPECT_TRUE(nearFloat4(ci, float4(k.expected, 1.0f), 1e-6f));
  }
}

// Unbound, the image reads as black and the grading still runs: (1 - K) P = 0.5 0.4 = 0.2 per
// channel, then the gain (1, 2, 3).
TEST(DefaultEnvironment, WithoutAnImageGradesBlack) {
  host::BoundShader env = makeShader("quarra_Env_Default");
  env.set("reflectIBLContrast", float2(0.4f, 0.5f));
  env.set("reflectIBLGain", float3(1.0f, 2.0f, 3.0f));
  EXPECT_TRUE(nearFloat4(shade(env, escapedRay(pvx::kRayReflection, float3(0.0f, 0.0f, 1.0f))),
                         float4(0.2f, 0.4f, 0.6f, 1.0f)));
}

TEST(DefaultEnvironment, DegenerateDirectionsStayFiniteWithAConstantImage) {
  host::BoundShader env = makeShader("quarra_Env_Default");
  host::RecordingTexture2D image;
  image.value = kTexel;
  env.set("reflectionLatlong", static_cast<pvx::ITexture2D*>(&image));
  env.set("reflectIBLSaturation", 0.5f);
  env.set("reflectIBLContrast", float2(0.5f, 2.0f));
  for (const float3& I : {float3(kNaN), float3(kInf, 0.0f, 0.0f), float3(0.0f), float3(-kInf)}) {
    for (const int32_t kind : {1, 2, 4, 16, 32}) {
      const float4 ci = shade(env, escapedRay(kind, I));
      EXPECT_TRUE(std::isfinite(ci.x) && std::isfinite(ci.y) && std::isfinite(ci.z) &&
                  std::isfinite(ci.w))
          << "kind " << kind << " I " << I.x << " " << I.y << " " << I.z;
    }
  }
}

}  // namespace
}  // namespace tarvo::test

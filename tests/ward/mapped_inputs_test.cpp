// Mapped inputs and tangent frames: the rules a physically based material's inputs follow when
// their maps are switched on, the two remapping curves, and how normal maps and rotations move
// the frame.
#include <gtest/gtest.h>

#include <cmath>

#include "shadinglib/mapped_inputs.h"
#include "shadinglib/shading_frame.h"
#include "tests/support/test_support.h"

namespace pvx {
namespace {

using tarvo::host::RecordingTexture2D;
using tarvo::test::nearFloat3;

const mat3 kIdentity = identity3;

TEST(MappedInputs, UVTransformIgnoresTheThirdRowAndScales) {
  // (2u + 0.25, 3v + 0.5) at (1, 1) is (2.25, 3.5), times the scale 2.
  const mat3 m = {{2.0f, 0.0f, 9.0f, 0.0f, 3.0f, 9.0f, 0.25f, 0.5f, 9.0f}};
  RecordingTexture2D texture;
  const Texture2D handle{&texture, -1};
  sampleMap(TextureMap{true, handle, m, 1.0f}, float2(1.0f, 1.0f), 2.0f);
  ASSERT_EQ(texture.coordinates().size(), 1u);
  EXPECT_EQ(texture.coordinates()[0], float2(4.5f, 7.0f));
}

TEST(MappedInputs, ColourRulesTreatTheTexelAsTheGroupSays) {
  RecordingTexture2D texture;
  texture.value = float4(2.0f, 0.5f, -1.0f, 0.3f);
  const Texture2D handle{&texture, -1};
  const TextureMap map{true, handle, kIdentity, 0.8f};
  const float3 constant(0.5f, 1.0f, 2.0f);
  const float2 uv(0.5f);
  struct Case {
    ColorRule rule;
    float3 expected;
  };
  const Case cases[] = {
      {ColorRule::Scaled, float3(1.6f, 0.4f, -0.8f)},               // diffuse: no clamp
      {ColorRule::ClampedAfterScaling, float3(1.0f, 0.4f, 0.0f)},   // specular
      {ColorRule::ClampedBeforeScaling, float3(0.8f, 0.4f, 0.0f)},  // (1, 0.5, 0) x 0.8
      {ColorRule::ConstantTimesClamped, float3(0.5f, 0.4f, 0.0f)},  // additional colour
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(nearFloat3(mappedColor(map, constant, uv, c.rule), c.expected));
  }
  const TextureMap off{false, handle, kIdentity, 0.8f};
  EXPECT_EQ(mappedColor(off, constant, uv, ColorRule::ClampedAfterScaling), constant);
  EXPECT_EQ(texture.sampleCount(), 4u) << "a switched-off map is not sampled";
}

TEST(MappedInputs, ScalarsReadTheFirstChannelAndFadeWithTheConstant) {
  RecordingTexture2D texture;
  texture.value = float4(0.2f, 0.9f, 0.9f, 1.0f);  // luminance would be about 0.71
  const Texture2D handle{&texture, -1};
  const TextureMap map{true, handle, kIdentity, 2.0f};
  const float2 uv(0.5f);
  EXPECT_FLOAT_EQ(mappedScalar(map, 7.0f, uv), 0.4f);
  EXPECT_FLOAT_EQ(mappedScalarFaded(map, 7.0f, 0.0f, uv), 7.0f);  // read, but no effect
  EXPECT_FLOAT_EQ(mappedScalarFaded(map, 7.0f, 1.0f, uv), 0.4f);
  EXPECT_FLOAT_EQ(mappedScalarFaded(map, 7.0f, 0.25f, uv), 0.25f * 0.4f + 0.75f * 7.0f);
}

TEST(MappedInputs, UnboundMapsReadBlack) {
  const Texture2D unbound{};
  const TextureMap map{true, unbound, kIdentity, 3.0f};
  const float2 uv(0.5f);
  EXPECT_EQ(mappedColor(map, float3(1.0f), uv), float3(0.0f));
  EXPECT_EQ(mappedScalar(map, 5.0f, uv), 0.0f);
  EXPECT_EQ(mappedRoughness(map, 0.01f, uv), 1.0f);         // s = 1: (1 - 0.9) 3 + 0.7
  EXPECT_EQ(mappedRefractGlossiness(map, 0.5f, uv), 1.0f);  // |0| <= 0.01
}

TEST(MappedInputs, RoughnessCurvePieces) {
  // s = 1 - clamp(x, 0, 1); quadratic below 0.5, cubic to 0.9, linear above.
  struct Case {
    float x, expected;
  };
  const Case cases[] = {
      {1.0f, 0.0505339f},   // s = 0: the quadratic's constant
      {2.0f, 0.0505339f},   // clamped
      {0.75f, 0.0635842f},  // s = 0.25: 1.11078/16 - 0.225494/4 + 0.0505339
      {0.5f, 0.1990925f},   // s = 0.5 takes the cubic (the quadratic would give 0.2155)
      {0.3f, 0.2430615f},   // s = 0.7: 24.1745 0.343 - 45.6128 0.49 + 28.605 0.7 - 5.72202
      {0.05f, 0.85f},       // s = 0.95: 0.05 3 + 0.7
      {0.0f, 1.0f},        {-1.0f, 1.0f},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(roughnessCurve(c.x), c.expected, 1e-5f)  // float cancellation in the cubic
        << "x = " << c.x;
  }
}

TEST(MappedInputs, RefractionGlossinessCurveEndsAndFloor) {
  struct Case {
    float x, expected;
  };
  const Case cases[] = {
      {0.0f, 1.0f},       {0.01f, 1.0f},       // |x| <= 0.01
      {-0.01f, 1.0f},     {1.0f, 0.0001f},     // 0, raised to the floor
      {0.995f, 0.0001f},  {0.5f, 0.0678168f},  // 0.8082 exp(-2.478)
      {0.2f, 0.2999481f}, {-0.5f, 1.0f},       // 9.6, capped
      {2.5f, 0.0001f},                         // 3.4e-6, raised
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(refractGlossinessCurve(c.x), c.expected, 1e-6f) << "x = " << c.x;
  }
}

TEST(ShadingFrame, ReorthonormalizeKeepsNAndMakesTPerpendicular) {
  TangentFrame f{float3(1.0f, 0.0f, 1.0f), float3(0.0f), float3(0.0f, 0.0f, 1.0f)};
  reorthonormalize(f);
  EXPECT_TRUE(nearFloat3(f.T, float3(1.0f, 0.0f, 0.0f)));
  EXPECT_TRUE(nearFloat3(f.B, float3(0.0f, 1.0f, 0.0f)));  // N x T
  EXPECT_EQ(f.N, float3(0.0f, 0.0f, 1.0f));

  TangentFrame parallel{float3(0.0f, 0.0f, 2.0f), float3(5.0f), float3(0.0f, 0.0f, 1.0f)};
  reorthonormalize(parallel);  // T vanishes and stays unnormalised
  EXPECT_EQ(parallel.T, float3(0.0f));
  EXPECT_EQ(parallel.B, float3(0.0f));
}

TEST(ShadingFrame, RotationByZeroIsExactAndByTwoPiReturns) {
  const TangentFrame start{normalize(float3(1.0f, 0.2f, 0.0f)), float3(0.0f),
                           float3(0.0f, 0.0f, 1.0f)};
  TangentFrame f = start;
  reorthonormalize(f);
  const TangentFrame orthonormal = f;
  rotateFrame(f, 0.0f);
  EXPECT_EQ(f.T, orthonormal.T);
  EXPECT_EQ(f.B, orthonormal.B);
  rotateFrame(f, kTwoPi);
  EXPECT_TRUE(nearFloat3(f.T, orthonormal.T, 2e-6f));
  EXPECT_TRUE(nearFloat3(f.B, orthonormal.B, 2e-6f));
  rotateFrame(f, 0.5f * kPi);  // T turns into B, B into -T
  EXPECT_TRUE(nearFloat3(f.T, orthonormal.B, 2e-6f));
  EXPECT_TRUE(nearFloat3(f.B, -orthonormal.T, 2e-6f));
  EXPECT_EQ(f.N, orthonormal.N);
}

TEST(ShadingFrame, NormalTexelsBendNByRedAndGreenOnly) {
  const TangentFrame flat{float3(1.0f, 0.0f, 0.0f), float3(0.0f, 1.0f, 0.0f),
                          float3(0.0f, 0.0f, 1.0f)};
  TangentFrame f = flat;
  applyNormalTexel(f, float4(0.0f, 0.0f, 0.7f, 0.2f), 5.0f);
  EXPECT_EQ(f.N, flat.N);
  EXPECT_EQ(f.T, flat.T);

  // N + (0.1 T) 3.33 = (0.333, 0, 1), normalised; T re-orthonormalised against it.
  f = flat;
  applyNormalTexel(f, float4(0.1f, 0.0f, 1.0f, 1.0f), 1.0f);
  EXPECT_TRUE(nearFloat3(f.N, float3(0.3159431f, 0.0f, 0.9487781f)));
  EXPECT_TRUE(nearFloat3(f.T, float3(0.9487781f, 0.0f, -0.3159431f)));
  EXPECT_TRUE(nearFloat3(f.B, float3(0.0f, 1.0f, 0.0f)));
  EXPECT_TRUE(nearFloat3(localToFrame(f, float3(1.0f, 2.0f, 3.0f)), f.T + 2.0f * f.B + 3.0f * f.N));
  EXPECT_TRUE(nearFloat3(frameToLocal(f, localToFrame(f, float3(1.0f, 2.0f, 3.0f))),
                         float3(1.0f, 2.0f, 3.0f), 2e-6f));
}

TEST(ShadingFrame, MissingTangentsStillGiveAnOrthonormalFrame) {
  ShadingState s = tarvo::test::cameraHit();
  s.N = normalize(float3(0.3f, -0.4f, 0.8f));
  const TangentFrame f = tangentFrame(s, 0);  // the varying block holds zeros
  EXPECT_NEAR(length(f.T), 1.0f, 1e-6f);
  EXPECT_NEAR(dot(f.T, f.N), 0.0f, 1e-6f);
  EXPECT_TRUE(nearFloat3(f.B, cross(f.N, f.T), 1e-6f));
}

}  // namespace
}  // namespace pvx

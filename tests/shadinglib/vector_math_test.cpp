// The built-in helpers' edge behaviour, which shaders rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "shadinglib/texture_sampling.h"
#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace pvx {
namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(VectorMath, ClampSaturateAndClamp01TreatNaNDifferently) {
  EXPECT_EQ(clamp(kNaN, 0.0f, 1.0f), 0.0f);  // max(NaN, lo) takes lo
  EXPECT_TRUE(std::isnan(saturate(kNaN)));   // passes through
  EXPECT_EQ(clamp01(kNaN), 0.0f);
  EXPECT_EQ(clamp(2.0f, 0.0f, 1.0f), 1.0f);
  EXPECT_EQ(clamp(-2.0f, 0.0f, 1.0f), 0.0f);
  EXPECT_EQ(saturate(-0.5f), 0.0f);
  EXPECT_EQ(saturate(1.5f), 1.0f);
  EXPECT_EQ(clamp01(0.0f), 0.0f);
  EXPECT_EQ(clamp01(0.25f), 0.25f);
  EXPECT_EQ(clamp01(std::numeric_limits<float>::infinity()), 1.0f);
}

TEST(VectorMath, NormalizeLeavesZeroAndNaNLengthsAlone) {
  EXPECT_EQ(normalize(float3(0.0f)), float3(0.0f));
  const float3 n = normalize(float3(kNaN, 1.0f, 0.0f));
  EXPECT_TRUE(std::isnan(n.x));
  EXPECT_EQ(n.y, 1.0f);
  EXPECT_TRUE(
      tarvo::test::nearFloat3(normalize(float3(3.0f, 0.0f, 4.0f)), float3(0.6f, 0.0f, 0.8f)));
}

TEST(VectorMath, FaceForwardGivesZeroAtAZeroDotProduct) {
  const float3 n(0.0f, 0.0f, 1.0f);
  EXPECT_EQ(faceForward(n, float3(0.0f, 0.0f, -1.0f), n), n);  // dot < 0: n
  EXPECT_EQ(faceForward(n, float3(0.0f, 0.0f, 1.0f), n), -n);  // dot > 0: -n
  EXPECT_EQ(faceForward(n, float3(1.0f, 0.0f, 0.0f), n), float3(0.0f));
}

TEST(VectorMath, ColourReductionsUseTheirExactFactors) {
  EXPECT_EQ(average(float3(1.0f)), 0.99999994f);  // 3 * 0.3333333f rounds below 1
  EXPECT_FLOAT_EQ(luminance(float3(1.0f, 0.0f, 0.0f)), 0.212671f);
  EXPECT_FLOAT_EQ(luminance(float3(0.0f, 1.0f, 0.0f)), 0.71516f);
  EXPECT_FLOAT_EQ(luminance(float3(0.0f, 0.0f, 1.0f)), 0.072169f);
  EXPECT_EQ(maxComponent(float3(0.2f, 0.7f, 0.5f)), 0.7f);
  EXPECT_FLOAT_EQ(screen(float3(0.5f), float3(0.5f)).x, 0.75f);
  EXPECT_TRUE(isBlack(float3(0.0f)));
  EXPECT_FALSE(isBlack(float3(0.0f, 0.0f, 1e-30f)));
  EXPECT_EQ(kPi, 3.141593f);
  EXPECT_GT(kPi, static_cast<float>(3.14159265358979323846));  // one unit above the nearest float
}

TEST(VectorMath, MatricesAreStoredColumnByColumn) {
  // Translation lives in m[12..14] of a mat4 and in m[6], m[7] of a texture mat3.
  mat4 m = identity4;
  m.m[12] = 1.0f;
  m.m[13] = 2.0f;
  m.m[14] = 3.0f;
  m.m[4] = 0.5f;  // column 1, row 0: x gains 0.5 y
  EXPECT_EQ(transformPoint(m, float3(1.0f, 2.0f, 3.0f)), float3(3.0f, 4.0f, 6.0f));
  EXPECT_EQ(transformDirection(m, float3(1.0f, 2.0f, 3.0f)), float3(2.0f, 2.0f, 3.0f));
  const mat3 uvm = {{2.0f, 0.0f, 9.0f, 0.0f, 3.0f, 9.0f, 0.25f, 0.5f, 9.0f}};
  EXPECT_EQ(transformUV(uvm, float2(1.0f, 1.0f)), float2(2.25f, 3.5f));  // third row ignored
  // Row vector: component k is m[4k..4k+3] dotted with v.
  mat4 r{};
  r.m[4] = 1.0f;   // component 1 takes x
  r.m[11] = 2.0f;  // component 2 takes 2 w
  EXPECT_EQ(float4(5.0f, 6.0f, 7.0f, 8.0f) * r, float4(0.0f, 5.0f, 16.0f, 0.0f));
}

TEST(VectorMath, TextureHelpersStartFromOpaqueBlackAndSkipUnbound) {
  Texture2D unbound;
  EXPECT_EQ(sample2D(unbound, float2(0.5f, 0.5f)), float4(0.0f, 0.0f, 0.0f, 1.0f));
  tarvo::host::RecordingTexture2D silent;
  silent.writes = false;
  Texture2D bound;
  bound.object = &silent;
  EXPECT_EQ(sample2D(bound, float2(0.25f, 0.75f)), float4(0.0f, 0.0f, 0.0f, 1.0f));
  ASSERT_EQ(silent.coordinates().size(), 1u);
  EXPECT_EQ(silent.coordinates()[0], float2(0.25f, 0.75f));
  tarvo::host::RecordingTexture1D table;
  table.texels = {float4(1.0f), float4(2.0f)};
  Texture1D data;
  data.object = &table;
  EXPECT_EQ(sample1D(data, 0.75f), float4(2.0f));
  EXPECT_EQ(sample1D(Texture1D{}, 0.75f), float4(0.0f, 0.0f, 0.0f, 1.0f));
}

}  // namespace
}  // namespace pvx

// The legacy materials' texture channels (projection coordinates, box axis rules, guards, modes
// outside a copy's table) and the IBL grading controls, against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "shadinglib/ibl_grading.h"
#include "shadinglib/texture_channel.h"
#include "tests/support/test_support.h"

namespace pvx {
namespace {

using tarvo::host::RecordingTexture2D;
using tarvo::test::nearFloat3;
using tarvo::test::nearFloat4;

// A channel group with its own storage; the texture answers a fixed texel and logs coordinates.
struct Channel {
  float3 color{0.2f, 0.4f, 0.6f};
  int32_t mode = 0;
  Texture2D texture;
  mat4 matrix = identity4;
  float repeat = 1.0f;
  mat3 uv = identity3;
  RecordingTexture2D image;

  Channel() {
    image.value = float4(0.5f, 0.25f, 1.0f, 0.75f);
    texture.object = &image;
  }
  ChannelParameters params() const { return {color, mode, texture, matrix, repeat, uv}; }
  float2 lookupAt() const { return image.coordinates().back(); }
};

TEST(TextureChannel, ProjectionCoordinatesOfKnownPoints) {
  struct Case {
    const char* what;
    int32_t mode;
    float3 Po, normal;
    float2 expected;
  };
  // Under T = translation (0.5, 0.5, 0.5): q = Po + 0.5.
  const Case cases[] = {
      // UV: uv (0.25, 0.75) through M = scale 2 with offset (0.1, 0.2): (0.6, 1.7).
      {"uv", kChannelUV, float3(0.0f), float3(0, 0, 1), float2(0.6f, 1.7f)},
      // Planar: (q.x, q.y).
      {"planar", kChannelPlanar, float3(0.1f, -0.2f, 0.3f), float3(0, 0, 1), float2(0.6f, 0.3f)},
      // Box, z face: (q.x, q.y).
      {"box z", kChannelBox, float3(0.1f, 0.2f, 0.3f), float3(0, 0, 1), float2(0.6f, 0.7f)},
      // Box, y face (|n.y| >= |n.z| and > |n.x|): (q.x, q.z).
      {"box y", kChannelBox, float3(0.1f, 0.2f, 0.3f), float3(0, -1, 1), float2(0.6f, 0.8f)},
      // Cylinder: q = (1, 0.5, 0.2) sits on +x from the axis: atan2(0.5, 0) = pi/2, so
      // u = (0.25 + 0.5) x repeat 2 = 1.5; v = q.z = 0.2.
      {"cylinder", kChannelCylindrical, float3(0.5f, 0.0f, -0.3f), float3(0, 0, 1),
       float2(1.5f, 0.2f)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Channel ch;
    ch.mode = c.mode;
    ch.matrix.m[12] = ch.matrix.m[13] = ch.matrix.m[14] = 0.5f;
    ch.repeat = 2.0f;
    ch.uv = mat3{{2, 0, 0, 0, 2, 0, 0.1f, 0.2f, 1}};
    const ChannelHit hit{c.Po, c.normal, float2(0.25f, 0.75f)};
    const float3 result = evaluateChannel<LegacyChannelCopy>(ch.params(), hit, {});
    EXPECT_TRUE(nearFloat3(result, float3(0.5f, 0.25f, 1.0f)));
    ASSERT_EQ(ch.image.sampleCount(), 1u);
    EXPECT_NEAR(ch.lookupAt().x, c.expected.x, 1e-6f);
    EXPECT_NEAR(ch.lookupAt().y, c.expected.y, 1e-6f);
  }
}

TEST(TextureChannel, BoxAxisRulesAndIndices) {
  struct Case {
    float3 normal;
    BoxAxisRule rule;
    float2 expected;  // components of q = (1, 2, 3)
    int axes[3];
  };
  const Case cases[] = {
      {float3(1, 0, 0), BoxAxisRule::A, float2(3, 2), {2, 1, 0}},
      {float3(1, 0, 0), BoxAxisRule::B, float2(2, 3), {1, 2, 0}},
      {float3(-1, 0.5f, 0.5f), BoxAxisRule::B, float2(2, 3), {1, 2, 0}},
      {float3(0, 1, 0), BoxAxisRule::A, float2(1, 3), {0, 2, 1}},
      {float3(0, 1, 0), BoxAxisRule::B, float2(1, 3), {0, 2, 1}},
      {float3(0, 0.5f, -1), BoxAxisRule::B, float2(1, 2), {0, 1, 2}},
      // Ties: |x| = |y| goes to x; |y| = |z| to y; all equal: neither x (a > c fails) nor y
      // (a < b fails), so z with the third index 1 (|n.y| < |n.z| fails).
      {float3(1, 1, 0), BoxAxisRule::A, float2(3, 2), {2, 1, 0}},
      {float3(0, 1, 1), BoxAxisRule::A, float2(1, 3), {0, 2, 1}},
      {float3(1, 1, 1), BoxAxisRule::A, float2(1, 2), {0, 1, 1}},
  };
  for (const Case& c : cases) {
    Channel ch;
    ch.mode = kChannelBox;
    ChannelOptions options;
    options.boxRule = c.rule;
    ChannelFrame frame;
    evaluateChannel<LegacyChannelCopy>(ch.params(), {float3(1, 2, 3), c.normal, float2(0.0f)},
                                       options, &frame);
    SCOPED_TRACE(::testing::Message() << c.normal.x << "," << c.normal.y << "," << c.normal.z);
    EXPECT_EQ(ch.lookupAt().x, c.expected.x);
    EXPECT_EQ(ch.lookupAt().y, c.expected.y);
    EXPECT_EQ(frame.axes[0], c.axes[0]);
    EXPECT_EQ(frame.axes[1], c.axes[1]);
    EXPECT_EQ(frame.axes[2], c.axes[2]);
  }
}

TEST(TextureChannel, SphereAndCylinderGuards) {
  // Mode 5 at the sphere's centre: the zero vector is not divided; u = atan2(-0, 0)/(2 pi) + 1/4.
  Channel sphere;
  sphere.mode = kChannelSpherical;
  evaluateChannel<BackgroundChannelCopy>(sphere.params(), {float3(0.5f), float3(0, 0, 1), {}}, {});
  EXPECT_EQ(sphere.lookupAt().x, 0.25f);
  EXPECT_EQ(sphere.lookupAt().y, 0.5f);
  // Straight up from the centre: v = asin(1)/pi + 1/2 = 1; along -y: u = 1/4 + 1/4 = 1/2.
  evaluateChannel<BackgroundChannelCopy>(sphere.params(), {float3(0.5f, 0.5f, 3.0f), {}, {}}, {});
  EXPECT_NEAR(sphere.lookupAt().y, 1.0f, 1e-6f);
  evaluateChannel<BackgroundChannelCopy>(sphere.params(), {float3(0.5f, -2.0f, 0.5f), {}, {}}, {});
  EXPECT_NEAR(sphere.lookupAt().x, 0.5f, 1e-6f);

  // Cylinder on its axis q.x = q.y = 0: the tangent stays zero, the bitangent is z.
  Channel cylinder;
  cylinder.mode = kChannelCylindrical;
  ChannelFrame frame;
  evaluateChannel<LegacyChannelCopy>(cylinder.params(), {float3(0, 0, 0.3f), {}, {}}, {}, &frame);
  EXPECT_TRUE(nearFloat3(frame.tangent, float3(0.0f)));
  EXPECT_TRUE(nearFloat3(frame.bitangent, float3(0, 0, 1)));
  // Off the axis at (3, 4): (-4, 3, 0) / 5.
  evaluateChannel<LegacyChannelCopy>(cylinder.params(), {float3(3, 4, 0), {}, {}}, {}, &frame);
  EXPECT_TRUE(nearFloat3(frame.tangent, float3(-0.8f, 0.6f, 0.0f)));
}

TEST(TextureChannel, ModesResultsAndCopies) {
  // Texel (0.5, 0.25, 1, 0.75); tint (2, 1, 0.5).
  ChannelOptions tinted;
  tinted.tint = float3(2.0f, 1.0f, 0.5f);
  ChannelOptions fromAlpha = tinted;
  fromAlpha.alphaAsColour = true;
  struct Case {
    const char* what;
    int32_t mode;
    bool bound;
    const ChannelOptions* options;
    float3 legacy;
    float4 background;
    size_t samples;  // by each copy
  };
  const ChannelOptions plain;
  const Case cases[] = {
      {"off", kChannelOff, true, &tinted, float3(0.0f), float4(0, 0, 0, 1), 0},
      {"constant", kChannelConstant, true, &tinted, float3(0.2f, 0.4f, 0.6f),
       float4(0.2f, 0.4f, 0.6f, 1.0f), 0},
      {"tinted texel", kChannelPlanar, true, &tinted, float3(1.0f, 0.25f, 0.5f),
       float4(0.5f, 0.25f, 1.0f, 0.75f), 1},
      {"alpha as colour, untinted", kChannelPlanar, true, &fromAlpha, float3(0.75f), float4(0.75f),
       1},
      {"unbound", kChannelUV, false, &plain, float3(0.0f), float4(0, 0, 0, 1), 0},
      {"unbound, alpha as colour", kChannelBox, false, &fromAlpha, float3(1.0f), float4(1.0f), 0},
      {"below the table", -2, true, &plain, float3(0.0f), float4(0, 0, 0, 1), 0},
      {"above both tables", 6, true, &plain, float3(0.0f), float4(0, 0, 0, 1), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Channel ch;
    ch.mode = c.mode;
    if (!c.bound) ch.texture.object = nullptr;
    const ChannelHit hit{float3(0.1f), float3(0, 0, 1), float2(0.0f)};
    EXPECT_TRUE(
        nearFloat3(evaluateChannel<LegacyChannelCopy>(ch.params(), hit, *c.options), c.legacy));
    EXPECT_TRUE(nearFloat4(evaluateChannel<BackgroundChannelCopy>(ch.params(), hit, *c.options),
                           c.background));
    EXPECT_EQ(ch.image.sampleCount(), 2 * c.samples);
  }
  // Mode 5 is the background copy's alone; the legacy and car-paint copies treat it as off.
  Channel ch;
  ch.mode = kChannelSpherical;
  const ChannelHit hit{float3(0.1f), float3(0, 0, 1), float2(0.0f)};
  EXPECT_TRUE(nearFloat3(evaluateChannel<LegacyChannelCopy>(ch.params(), hit, tinted), float3(0)));
  EXPECT_TRUE(
      nearFloat3(evaluateChannel<CarPaintChannelCopy>(ch.params(), hit, tinted), float3(0)));
  EXPECT_EQ(ch.image.sampleCount(), 0u);
  EXPECT_TRUE(nearFloat4(evaluateChannel<BackgroundChannelCopy>(ch.params(), hit, tinted),
                         float4(0.5f, 0.25f, 1.0f, 0.75f)));
  // The car paint's copy ignores the tint.
  ch.mode = kChannelPlanar;
  EXPECT_TRUE(nearFloat3(evaluateChannel<CarPaintChannelCopy>(ch.params(), hit, tinted),
                         float3(0.5f, 0.25f, 1.0f)));
}

TEST(IBLControls, ContrastGainAndSaturationByHand) {
  const float3 c(0.2f, 0.4f, 0.8f);
  // L(c) = 0.2125 0.2 + 0.7154 0.4 + 0.0721 0.8 = 0.0425 + 0.28616 + 0.05768 = 0.38634.
  const float L = 0.38634f;
  // Contrast 2 about pivot 0.5: 2c - 0.5 = (-0.1, 0.3, 1.1).
  EXPECT_TRUE(nearFloat3(contrastAboutPivot(c, 2.0f, float3(0.5f)), float3(-0.1f, 0.3f, 1.1f)));

  const float3 w = kIBLLuminanceWeights;
  const float3 grey(1.0f);
  struct GainCase {
    const char* what;
    GainSource a, b;
    float3 expected;
  };
  const GainCase gains[] = {
      {"both values 1", {0, grey, 1.0f}, {0, grey, 1.0f}, c},
      {"values 2 and 1.5", {0, grey, 2.0f}, {3, grey, 1.5f}, c * 3.0f},
      // A colour source of white turns the colour grey: L(c) (1, 1, 1).
      {"white gain colour", {1, grey, 5.0f}, {0, grey, 1.0f}, float3(L)},
      // Colours (1, 0.5, 2) and (0.5, 1, 1) multiply: L (0.5, 0.5, 2); then value 2.
      {"two colours and a value",
       {1, float3(1, 0.5f, 2), 9.0f},
       {1, float3(0.5f, 1, 1), 9.0f},
       float3(0.5f, 0.5f, 2.0f) * L},
      {"colour then value",
       {1, float3(1, 0.5f, 2), 9.0f},
       {0, grey, 2.0f},
       float3(1.0f, 0.5f, 2.0f) * L * 2.0f},
  };
  for (const GainCase& g : gains) {
    const GainSource sources[] = {g.a, g.b};
    EXPECT_TRUE(nearFloat3(gainBySources(c, sources, w), g.expected, 1e-6f)) << g.what;
  }

  // Saturation 0: grey L; 1: unchanged; 2: 2c - L.
  EXPECT_TRUE(nearFloat3(saturationAboutLuminance(c, 0.0f, L), float3(L)));
  EXPECT_TRUE(nearFloat3(saturationAboutLuminance(c, 1.0f, L), c));
  EXPECT_TRUE(nearFloat3(saturationAboutLuminance(c, 2.0f, L), c * 2.0f - float3(L)));

  // The legacy reflection grading: contrast 2 about 0.5 gives (-0.1, 0.3, 1.1) with
  // L = -0.02125 + 0.21462 + 0.07931 = 0.27268; saturation 0.5 then (c' + L) / 2.
  EXPECT_TRUE(nearFloat3(contrastThenSaturation(c, float3(0.5f), 2.0f, 0.5f),
                         (float3(-0.1f, 0.3f, 1.1f) + float3(0.27268f)) * 0.5f, 1e-6f));
  // Contrast 1 and saturation 1 leave the colour (the steps run but change nothing).
  EXPECT_TRUE(nearFloat3(contrastThenSaturation(c, float3(7.0f), 1.0f, 1.0f), c));
}

}  // namespace
}  // namespace pvx

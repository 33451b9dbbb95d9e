// quarra_Mtl_Metal through its exported factory: the cut-out patterns (read through `shadow`,
// which writes 1 - c), the holes in `shade`, the patina weight and blend, the switchers, flecks,
// diffuse-only lights, the pattern bump, and the guards of `evaluate` and `scatter`.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

BoundShader metal() {
  return makeShader("quarra_Mtl_Metal");
}

TEST(MetalCutouts, EachPatternInsideOutsideAndAtTheSoftEdge) {
  // Size 0.5 and space 0.5 give cells 1 uv wide (k = 1), hole radius r = 0.25 and half gap
  // 0.25; centre 0.5 offsets nothing, so the cell coordinates are the uv. shadowT = 1 - c.
  RecordingTexture2D grey;
  grey.value = float4(0.3f, 0.6f, 0.9f, 1.0f);
  struct Case {
    const char* what;
    int32_t pattern;
    float2 uv;
    float size, space;
    bool texture;
    float c;
  };
  const Case cases[] = {
      // 1: staggered; even column 0 has a centre at (0.5, 0.5), odd column 1 at (1.5, 1.0).
      {"staggered, even column centre", 1, {0.5f, 0.5f}, 0.5f, 0.5f, false, 0.0f},
      {"staggered, odd column shifted away", 1, {1.5f, 0.5f}, 0.5f, 0.5f, false, 1.0f},
      {"staggered, odd column shifted centre", 1, {1.5f, 1.0f}, 0.5f, 0.5f, false, 0.0f},
      // 2: square grid, d from (0.5, 0.5) of the fraction: 0.3 outside, 0.1 inside.
      {"square grid, outside", 2, {0.5f, 0.8f}, 0.5f, 0.5f, false, 1.0f},
      {"square grid, inside", 2, {1.6f, 0.5f}, 0.5f, 0.5f, false, 0.0f},
      // 3: bricks, hole where 0.25 <= fx <= 0.75 and 0.25 <= fy < 0.75; row 1 shifts x by -0.5.
      {"bricks, inside", 3, {0.5f, 0.5f}, 0.5f, 0.5f, false, 0.0f},
      {"bricks, in the margin", 3, {0.1f, 0.5f}, 0.5f, 0.5f, false, 1.0f},
      {"bricks, shifted row", 3, {0.1f, 1.5f}, 0.5f, 0.5f, false, 0.0f},
      // 4: soft discs of edge 0.001: d = 0 inside, d = 0.3 outside, d = r - 0.0005 half.
      {"soft discs, inside", 4, {0.5f, 0.5f}, 0.5f, 0.5f, false, 0.0f},
      {"soft discs, outside", 4, {0.5f, 0.8f}, 0.5f, 0.5f, false, 1.0f},
      {"soft discs, soft edge", 4, {0.5f, 0.7495f}, 0.5f, 0.5f, false, 0.5f},
      // Size 1.001, space -0.001: k = 1, r = 0.5005; (1, 0.5) is r - 0.0005 from two centres,
      // e = 0.5 each, union 0.5 + 0.5 - 0.25 = 0.75, c = 0.25.
      {"soft discs, union of two edges", 4, {1.0f, 0.5f}, 1.001f, -0.001f, false, 0.25f},
      // 6: hexagonal; a centre at (0.5, sqrt(3)/4); halfway to the next one the ratio is 0.5;
      // 0.2495 along the row d1 / (d1 + d2) = 0.2495 = r - 0.0005.
      {"hexagonal, centre", 6, {0.5f, 0.4330127f}, 0.5f, 0.5f, false, 0.0f},
      {"hexagonal, cell border", 6, {1.0f, 0.4330127f}, 0.5f, 0.5f, false, 1.0f},
      {"hexagonal, soft edge", 6, {0.7495f, 0.4330127f}, 0.5f, 0.5f, false, 0.5f},
      // 7: the texel's mean; an unbound texture cuts everything away.
      {"texture", 7, {0.5f, 0.5f}, 0.5f, 0.5f, true, 0.6f},
      {"texture unbound", 7, {0.5f, 0.5f}, 0.5f, 0.5f, false, 0.0f},
      // Everything else is solid metal.
      {"pattern 0", 0, {0.5f, 0.5f}, 0.5f, 0.5f, false, 1.0f},
      {"pattern 5", 5, {0.5f, 0.5f}, 0.5f, 0.5f, false, 1.0f},
      {"pattern 9", 9, {0.5f, 0.5f}, 0.5f, 0.5f, false, 1.0f},
      {"pattern -3", -3, {0.5f, 0.5f}, 0.5f, 0.5f, false, 1.0f},
      {"pattern INT_MAX", INT_MAX, {0.5f, 0.5f}, 0.5f, 0.5f, false, 1.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader m = metal();
    m.set("u_cutoutsSwitcher", c.pattern);
    m.set("u_cutoutsSize", c.size);
    m.set("u_cutoutsSpace", c.space);
    if (c.texture) m.set("u_cutoutMap", static_cast<pvx::ITexture2D*>(&grey));
    RecordingHost host;
    pvx::ShadingState s = framedHit(0.0f, c.uv);
    m.material()->shadow(&host, &s);
    EXPECT_TRUE(nearFloat3(s.shadowT, float3(1.0f - c.c), 2e-3f));
  }
}

TEST(MetalCutouts, ShadowAndShadeScaleTheGridDifferently) {
  // Square grid, r = 0.25. Shade scales uv by `u_otherScale` (1): (0.25, 0.25) lies 0.354 from
  // the centre, solid. Shadow scales by `u_uvDefScale` x `u_otherScale` (2): (0.5, 0.5), a hole.
  BoundShader m = metal();
  m.set("u_cutoutsSwitcher", int32_t{2});
  m.set("u_uvDefScale", 2.0f);
  RecordingHost host;
  pvx::ShadingState s = framedHit(0.0f, float2(0.25f, 0.25f));
  m.material()->shadow(&host, &s);
  EXPECT_EQ(s.shadowT, float3(1.0f));
  s = framedHit(0.0f, float2(0.25f, 0.25f));
  m.material()->shade(&host, &s);
  EXPECT_EQ(host.count(slot::kTraceContinue), 0);
}

TEST(MetalCutouts, HolesShowTheSceneBehindInShade) {
  struct Case {
    const char* what;
    float texel;
    float4 expected;
  };
  // Behind (1, 0, 0); the reflection (specular 1, F = 1) sees (0, 1, 0). A hole (c = 0) shows
  // only what is behind and traces nothing else; at c = 0.5 each term is halved and half of
  // what is behind is added.
  const Case cases[] = {{"hole", 0.0f, float4(1.0f, 0.0f, 0.0f, 1.0f)},
                        {"half", 0.5f, float4(0.5f, 0.5f, 0.0f, 1.0f)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingTexture2D texture;
    texture.value = float4(c.texel, c.texel, c.texel, 1.0f);
    BoundShader m = metal();
    m.set("u_cutoutsSwitcher", int32_t{7});
    m.set("u_cutoutMap", static_cast<pvx::ITexture2D*>(&texture));
    RecordingHost host;
    host.traceContinueAnswer = float4(1.0f, 0.0f, 0.0f, 1.0f);
    host.traceAnisotropicAnswer = float3(0.0f, 1.0f, 0.0f);
    pvx::ShadingState s = framedHit();
    m.material()->shade(&host, &s);
    EXPECT_TRUE(nearFloat4(s.Ci, c.expected));
    ASSERT_NE(host.first(slot::kTraceContinue), nullptr);
    EXPECT_EQ(host.first(slot::kTraceContinue)->scalars[0], 1.0f - c.texel);
    EXPECT_EQ(host.count(slot::kLightSamples), c.texel == 0.0f ? 0 : 1);
  }
}

TEST(MetalPatina, WeightAndBlendAtTheirThresholds) {
  // noise2 answers z everywhere: n = 0.5 + 0.5 sin(2.533 z); z = 0 gives n = 0.5, z = 0.5 gives
  // n = 0.97705. Threshold t = 1 - P; ramp 0.2 P below it.
  // Observed head-on with no light: F0 blends from 0 towards 1 (power 1: F = F0 head-on) and is
  // the reflection trace's weight (specular 1); Ci = D (1 - F) with ambient light 1 and
  // D = 0.2 + p (1 - 0.2).
  struct Case {
    const char* what;
    float noise, coverage;
    float p, F;
  };
  const Case cases[] = {
      {"coverage 0", 0.0f, 0.0f, 0.0f, 0.0f},
      // t = 0.55, d = 0.05, ramp 0.09: p = (1 - 0.05 / 0.09) 0.45 = 0.2; q = 2/3, F = 4/9.
      {"on the ramp", 0.0f, 0.45f, 0.2f, 4.0f / 9.0f},
      // t = 0.6, d = 0.1 beyond the ramp 0.08.
      {"below the ramp", 0.0f, 0.4f, 0.0f, 0.0f},
      {"at the threshold", 0.0f, 0.5f, 0.5f, 1.0f},
      // n = 0.977 >= t = 0.7: p = 0.3, the full blend.
      {"blend at 0.3", 0.5f, 0.3f, 0.3f, 1.0f},
      // p = 0.29: q = 0.96667, F = q^2 = 0.934444.
      {"blend just below 0.3", 0.5f, 0.29f, 0.29f, 0.9344444f},
      {"full coverage", 0.0f, 1.0f, 1.0f, 1.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader m = metal();
    m.set("u_patinaEnable", true);
    m.set("n_patinaPercent", c.coverage);
    m.set("u_diffuseColor", float3(0.2f));
    m.set("u_patinaColor", float3(1.0f));
    m.set("u_brdf00Reflectivity", 0.0f);
    m.set("u_patinaBrdf00Reflectivity", 1.0f);
    m.set("u_brdfCurvePower", 1.0f);
    RecordingHost host;
    host.noiseAnswer = c.noise;
    host.ambientAnswer = float3(1.0f);
    pvx::ShadingState s = framedHit();
    m.material()->shade(&host, &s);
    const host::HostCall* trace = host.first(slot::kTraceAnisotropic);
    if (c.F == 0.0f) {
      EXPECT_EQ(trace, nullptr);
    } else {
      ASSERT_NE(trace, nullptr);
      EXPECT_NEAR(trace->scalars[2], c.F, 1e-5f);
    }
    const float D = (0.2f + 0.8f * c.p) * (1.0f - c.F);
    EXPECT_TRUE(nearFloat4(s.Ci, float4(D, D, D, 1.0f), 1e-5f));
  }
}

TEST(MetalSwitchers, SelectionsZeroToFourAndUnknown) {
  // F = 1 (reflectivities 1), diffuse colour 1, no light: Ci = the reflection, whose trace
  // answers 1, so Ci = S. Reflect colour K = (0.5, 0.5, 1), amount 2; brush (0.2, 0.4, 0.6),
  // break (0.1, 0.3, 0.5); bump colour off gives M1 = 1. The anodised noise with every noise
  // answer 0.5 has turbulence 0, below the 0.4 threshold: colour 0.501961.
  RecordingTexture2D brush, breakMap;
  brush.value = float4(0.2f, 0.4f, 0.6f, 1.0f);
  breakMap.value = float4(0.1f, 0.3f, 0.5f, 1.0f);
  struct Case {
    int32_t reflect;
    float3 S;
  };
  const Case cases[] = {
      {0, float3(0.3f)},              // no switcher: the specular colour
      {-1, float3(0.3f)},             // likewise
      {1, float3(1.0f, 1.0f, 2.0f)},  // K x M1 x 2
      {2, float3(0.2f, 0.4f, 1.2f)},  // K x M2 x 2
      {3, float3(0.2f, 0.6f, 1.0f)},  // M3 x 2
      {4, float3(1.003922f)},         // M4 x 2
      {7, float3(1.0f, 1.0f, 2.0f)},  // any other: K x 2
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reflect);
    BoundShader m = metal();
    m.set("u_brdf00Reflectivity", 1.0f);
    m.set("u_diffuseColor", float3(1.0f));
    m.set("u_specularColor", float3(0.3f));
    m.set("u_reflectSwitcher", c.reflect);
    m.set("u_reflectColor", float3(0.5f, 0.5f, 1.0f));
    m.set("u_reflMapAmount", 2.0f);
    m.set("u_brushMapEnable", true);
    m.set("u_brushMap", static_cast<pvx::ITexture2D*>(&brush));
    m.set("u_breakMapEnable", true);
    m.set("u_breakMap", static_cast<pvx::ITexture2D*>(&breakMap));
    RecordingHost host;
    host.traceAnisotropicAnswer = float3(1.0f);
    pvx::ShadingState s = framedHit();
    m.material()->shade(&host, &s);
    EXPECT_TRUE(nearFloat4(s.Ci, float4(c.S, 1.0f), 1e-5f));
    EXPECT_EQ(host.count(slot::kNoise4) > 0, c.reflect == 4) << "anodised noise only for 4";
  }
}

TEST(MetalSwitchers, RotationAngleTurnsTheTracedFrame) {
  // The reflection trace receives T and B of the frame. The rotation switcher's angle (break
  // texel 0.25 x amount 2 = 0.5) wins from 0.0001 on; below, `u_anisoRotationValue` (negative
  // angles rotate too); 0 leaves the frame.
  RecordingTexture2D breakMap;
  breakMap.value = float4(0.25f, 0.0f, 0.0f, 1.0f);
  struct Case {
    const char* what;
    int32_t rotationSwitch;
    float value;
    float angle;
  };
  const Case cases[] = {{"switcher angle", 3, -0.3f, 0.5f},
                        {"switcher selects 0: the value", 0, -0.3f, -0.3f},
                        {"no rotation", 0, 0.0f, 0.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader m = metal();
    m.set("u_reflectSwitcher", int32_t{7});
    m.set("u_anisoRotSwitcher", c.rotationSwitch);
    m.set("u_anisorotMapAmount", 2.0f);
    m.set("u_anisoRotationValue", c.value);
    m.set("u_breakMapEnable", true);
    m.set("u_breakMap", static_cast<pvx::ITexture2D*>(&breakMap));
    m.set("u_diffuseColor", float3(1.0f));
    RecordingHost host;
    pvx::ShadingState s = framedHit();
    m.material()->shade(&host, &s);
    const host::HostCall* trace = host.first(slot::kTraceAnisotropic);
    ASSERT_NE(trace, nullptr);
    const float co = std::cos(c.angle), si = std::sin(c.angle);
    EXPECT_TRUE(nearFloat3(trace->vector(2), float3(co, si, 0.0f)));
    EXPECT_TRUE(nearFloat3(trace->vector(3), float3(-si, co, 0.0f)));
  }
}

TEST(MetalLights, FlecksBrightenTheDiffuseColourOncePerLight) {
  // Lattice values 0.5 everywhere: the noise is 0.5 with zero gradient, weight 0.5^2 = 0.25, a
  // fleck. F = 0 (no specular), diffuse colour 0: light 1 sees D = 0.25, light 2 D = 0.5; both
  // overhead at full ramp: Ci = 0.25 + 0.5.
  for (bool flecks : {false, true}) {
    SCOPED_TRACE(flecks);
    BoundShader m = metal();
    m.set("u_brdf00Reflectivity", 0.0f);
    m.set("u_brdf90Reflectivity", 0.0f);
    m.set("u_flecksEnable", flecks);
    m.set("u_flecksDensity", 2.0f);
    RecordingHost host;
    host.lookup49Answer = 0.5f;
    host.lights = {makeLight(float3(0.0f, 0.0f, 1.0f), float3(1.0f)),
                   makeLight(float3(0.0f, 0.0f, 1.0f), float3(1.0f))};
    pvx::ShadingState s = framedHit();
    m.material()->shade(&host, &s);
    const float expected = flecks ? 0.75f : 0.0f;
    EXPECT_TRUE(nearFloat4(s.Ci, float4(expected, expected, expected, 1.0f), 1e-5f));
    EXPECT_EQ(host.count(slot::kLookup49), flecks ? 54 : 0);  // two reads of 27 lattice values
  }
}

TEST(MetalLights, DiffuseOnlyLightsAddNoHighlight) {
  // Roughness 0.2, F = 1, light and viewer overhead: h = (0, 0, 2), e = 1, the lobe is
  // 1 / (4 pi 0.2 0.2) = 1.989437.
  for (int32_t tag : {0, pvx::kLightTagDiffuseOnly}) {
    SCOPED_TRACE(tag);
    BoundShader m = metal();
    m.set("u_roughValue", 0.2f);
    m.set("u_brdf00Reflectivity", 1.0f);
    m.set("u_reflectionHighlightOnly", true);
    RecordingHost host;
    host.lights = {makeLight(float3(0.0f, 0.0f, 1.0f), float3(1.0f), 1.0f, tag)};
    pvx::ShadingState s = framedHit();
    m.material()->shade(&host, &s);
    const float expected = tag == 0 ? 1.989437f : 0.0f;
    EXPECT_TRUE(nearFloat4(s.Ci, float4(expected, expected, expected, 1.0f), 1e-5f));
    EXPECT_EQ(host.count(slot::kTraceAnisotropic), 0);
  }
}

TEST(MetalFrame, PatternBumpTiltsTheNormalByTheHeightSlope) {
  // Height r + g + b = s: h0 - hu = -0.001, h0 - hv = 0; amount 100: N + 3.33 x 100 x (-0.001) T
  // = (-0.333, 0, 1), normalised (-0.315944, 0, 0.948779): the normal lights are asked for.
  RecordingTexture2D height;
  height.function = [](const float2& st) { return float4(st.x, 0.0f, 0.0f, 1.0f); };
  BoundShader m = metal();
  m.set("u_patternEnable", true);
  m.set("u_patternMap", static_cast<pvx::ITexture2D*>(&height));
  m.set("u_patternAmount", 100.0f);
  RecordingHost host;
  pvx::ShadingState s = framedHit();
  m.material()->shade(&host, &s);
  const host::HostCall* lights = host.first(slot::kLightSamples);
  ASSERT_NE(lights, nullptr);
  EXPECT_TRUE(nearFloat3(lights->vector(1), float3(-0.315944f, 0.0f, 0.948779f), 1e-4f));
}

TEST(MetalFrame, ProceduralBumpAddsHalfTheNetworkVectorWithoutRenormalising) {
  // Every noise answer 0.75: the fractal octave sum of 4 levels is 0.5 (1 + 1/2 + 1/4 + 1/8) =
  // 0.9375, its value (0.9375 + 1) / 2 = 0.96875, ramped from -1 to 1: 0.9375 on T and on B.
  // Halved, times amount 1: N = (0, 0, 1) + 0.46875 (T + B), left at its length.
  BoundShader m = metal();
  m.set("u_bumpSwitcher", int32_t{1});
  RecordingHost host;
  host.noiseAnswer = 0.75f;
  pvx::ShadingState s = framedHit();
  m.material()->shade(&host, &s);
  const host::HostCall* lights = host.first(slot::kLightSamples);
  ASSERT_NE(lights, nullptr);
  EXPECT_TRUE(nearFloat3(lights->vector(1), float3(0.46875f, 0.46875f, 1.0f), 1e-6f));
}

TEST(MetalPathTracing, EvaluateReportsTheCosineOfTheNormalAsked) {
  // The pattern bump of the test above tilts N to (-0.315944, 0, 0.948779). For the direction
  // (0, 0, 1): the unbumped cosine is 1, the bumped one 0.948779.
  RecordingTexture2D height;
  height.function = [](const float2& st) { return float4(st.x, 0.0f, 0.0f, 1.0f); };
  for (bool usesBump : {false, true}) {
    SCOPED_TRACE(usesBump);
    BoundShader m = metal();
    m.set("u_patternEnable", true);
    m.set("u_patternMap", static_cast<pvx::ITexture2D*>(&height));
    m.set("u_patternAmount", 100.0f);
    m.set("u_cosineUsesBump", usesBump);
    RecordingHost host;
    pvx::ShadingState s = framedHit();
    s.scatterDir = float3(0.0f, 0.0f, 1.0f);
    m.material()->evaluate(&host, &s);
    EXPECT_NEAR(s.scatterCos, usesBump ? 0.948779f : 1.0f, 1e-4f);
  }
}

TEST(MetalPathTracing, GuardsOfEvaluateAndScatter) {
  BoundShader m = metal();
  m.set("u_roughValue", 0.2f);
  RecordingHost host;

  // Nothing allowed: no bounce. A ray from below the frame: no bounce either.
  pvx::ShadingState s = framedHit();
  for (uint8_t& a : s.allowScatter)
    a = 0;
  m.material()->scatter(&host, &s);
  EXPECT_EQ(s.scatterKind, pvx::kRayNone);
  s = framedHit();
  s.I = float3(0.0f, 0.0f, 1.0f);
  m.material()->scatter(&host, &s);
  EXPECT_EQ(s.scatterKind, pvx::kRayNone);

  // evaluate: a direction below the surface gives zero weight and cosine.
  s = framedHit();
  s.scatterDir = float3(0.0f, 0.6f, -0.8f);
  s.scatterWeight = float3(7.0f);
  m.material()->evaluate(&host, &s);
  EXPECT_EQ(s.scatterWeight, float3(0.0f));
  EXPECT_EQ(s.scatterCos, 0.0f);
}

}  // namespace
}  // namespace tarvo::test

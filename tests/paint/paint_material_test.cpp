// quarra_Mtl_MetallicPaint through its exported factory: the base colour's plain and biased
// ramps, the hue shift's switch, the base split of `evaluate` (reflectivity curve and the
// topcoat's share), the topcoat reflection trace, the normal orientation switches, and finite
// colours for every fleck size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using host::BoundShader;
using host::makeLight;
using host::ScriptedHost;
using pvx::float3;
namespace slot = pvx::host_slot;

constexpr int kTangentOffset = 36;
constexpr float kInvPi = 0.31830989f;

// A camera hit straight down with the tangent along x: the frame is the world's axes.
pvx::ShadingState hit() {
  pvx::ShadingState s = cameraHit();
  writeVarying(&s, kTangentOffset, float3(1.0f, 0.0f, 0.0f));
  return s;
}

// White base, constant reflectivity 0.2 (curve power 0): D = 0.8 and S = 0.2 without topcoat.
BoundShader paint() {
  BoundShader p = makeShader("quarra_Mtl_MetallicPaint");
  p.set("u_base90Reflectivity", 0.2f);
  return p;
}

// A light 60 degrees off the normal: ramp 1 (cosine 0.5 is past 0.25), far from the mirror
// direction, so the roughness-0.01 highlight is 0.
const float3 kSideLight(0.8660254f, 0.0f, 0.5f);

TEST(PaintShade, HighlightSpreadAboveSixTenthsBiasesTheBaseRamp) {
  // Light cosine 0.15: x = 0.1 / 0.2 = 0.5, w = (3 - 1) 0.25 = 0.5. Bias factor 2, so
  // wd = 0.5^(2 spread). Plain ramp: D w = 0.8 x 0.5 = 0.4. Spread 0.7: wd = 0.5^1.4 = 0.378929,
  // D wd w = 0.151572.
  const struct {
    float spread;
    float red;
  } cases[] = {{0.5f, 0.4f}, {0.6f, 0.4f}, {0.7f, 0.151572f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.spread);
    BoundShader p = paint();
    p.set("u_baseHighlightSpread", c.spread);
    p.set("u_baseBiasFactor", 2.0f);
    ScriptedHost host;
    host.lights = {makeLight(float3(0.9886859f, 0.0f, 0.15f), float3(1.0f))};
    pvx::ShadingState s = hit();
    p.material()->shade(&host, &s);
    EXPECT_NEAR(s.Ci.x, c.red, 2e-5f);
  }
}

TEST(PaintShade, HueShiftOnlyForAPositiveWeight) {
  // Black base without reflectivity: only the hue shift lights it. Head-on |V.Nt| = 1, w = 1,
  // wd = w^0 = 1: red = weight x 1.
  const struct {
    float weight;
    float red;
  } cases[] = {{0.0f, 0.0f}, {-1.0f, 0.0f}, {0.5f, 0.5f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.weight);
    BoundShader p = paint();
    p.set("u_baseColor", pvx::float4(0.0f, 0.0f, 0.0f, 1.0f));
    p.set("u_base90Reflectivity", 0.0f);
    p.set("u_shiftedColor", float3(1.0f, 0.0f, 0.0f));
    p.set("u_hueWeight", c.weight);
    ScriptedHost host;
    host.lights = {makeLight(kSideLight, float3(1.0f))};
    pvx::ShadingState s = hit();
    p.material()->shade(&host, &s);
    EXPECT_TRUE(nearFloat3(pvx::rgb(s.Ci), float3(c.red, 0.0f, 0.0f), 1e-6f));
  }
}

TEST(PaintEvaluate, BaseSplitFollowsTheCurveAndTheTopcoatShare) {
  // Outgoing 60 degrees to -x, far from any mirror direction: the weight is D / pi alone.
  // Fb = 0.1 + (0.6 - 0.1)(1 - mu)^power; D = (1 - Fb) t; t = 1 - Ft 0.6 with the topcoat,
  // Ft = 0.3 head-on. At 70 degrees mu = 0.342020: power 1 gives Fb = 0.428990.
  const struct {
    const char* what;
    float power, thetaDegrees;
    bool topcoat;
    float D;
  } cases[] = {
      {"power 0, head-on", 0.0f, 0.0f, false, 0.4f},
      {"power 0, 70 degrees", 0.0f, 70.0f, false, 0.4f},
      {"power 1, head-on", 1.0f, 0.0f, false, 0.9f},
      {"power 1, 70 degrees", 1.0f, 70.0f, false, 0.571010f},
      {"power 0, head-on, topcoat: t = 0.82", 0.0f, 0.0f, true, 0.328f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader p = paint();
    p.set("u_base90Reflectivity", 0.6f);
    p.set("u_baseCurvePower", c.power);
    p.set("u_topcoatEnable", c.topcoat);
    ScriptedHost host;
    pvx::ShadingState s = hit();
    const float t = c.thetaDegrees * 0.017453293f;
    s.I = float3(std::sin(t), 0.0f, -std::cos(t));
    s.scatterDir = float3(-0.8660254f, 0.0f, 0.5f);
    p.material()->evaluate(&host, &s);
    EXPECT_NEAR(s.scatterWeight.x, c.D * kInvPi, 2e-6f);
    EXPECT_FLOAT_EQ(s.scatterCos, 0.5f);
  }
}

TEST(PaintShade, TopcoatReflectionIsTracedWithTheBaseSpecularColour) {
  // Defaults: Fb = 1 (power 0), so D = 0 and S = t; t = 0.82 with the topcoat, 1 without.
  for (bool topcoat : {false, true}) {
    SCOPED_TRACE(topcoat);
    BoundShader p = makeShader("quarra_Mtl_MetallicPaint");
    p.set("u_topcoatEnable", topcoat);
    p.set("u_topcoatRoughValue", 0.25f);
    ScriptedHost host;
    host.traceReflectionAnswer = float3(1.0f, 0.5f, 0.25f);
    pvx::ShadingState s = hit();
    p.material()->shade(&host, &s);
    const float S = topcoat ? 0.82f : 1.0f;
    EXPECT_TRUE(nearFloat3(pvx::rgb(s.Ci), float3(1.0f, 0.5f, 0.25f) * S, 1e-6f));
    const host::HostCall* trace = host.last(slot::kTraceReflection);
    ASSERT_NE(trace, nullptr);
    EXPECT_TRUE(nearFloat3(trace->vector(1), float3(0.0f, 0.0f, 1.0f)));
    EXPECT_EQ(trace->scalars[0], 0.25f);
    EXPECT_NEAR(trace->scalars[1], S, 1e-6f);
  }
}

TEST(PaintScatter, ReflectionBytesDecideWhetherAndHowTheTopcoatBounces) {
  // Head-on Ft = 0.3. No reflection byte (none at all, or transmission ones only): kind 0 at
  // once, no random number, nothing else written. Specular alone: pc = 1, so even r = 0.99 takes
  // the topcoat bounce, weight Ft, inverse density 1. Diffuse: pc = Ft, r = 0.2 bounces with
  // inverse density 1 / 0.3.
  const struct {
    const char* what;
    uint8_t allow[6];
    float random;
    int kind;
    float invPdf;
  } cases[] = {{"none", {0, 0, 0, 0, 0, 0}, 0.2f, 0, 0.0f},
               {"transmission only", {0, 0, 0, 1, 1, 1}, 0.2f, 0, 0.0f},
               {"specular only", {0, 0, 1, 0, 0, 0}, 0.99f, 4, 1.0f},
               {"diffuse", {1, 0, 0, 0, 0, 0}, 0.2f, 4, 1.0f / 0.3f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader p = paint();
    ScriptedHost host;
    host.randomSequence = {c.random};
    pvx::ShadingState s = hit();
    std::copy(std::begin(c.allow), std::end(c.allow), s.allowScatter);
    s.scatterKind = 99;
    s.scatterCos = s.scatterInvPdf = -1.0f;
    const pvx::ShadingState before = s;
    p.material()->scatter(&host, &s);
    ASSERT_EQ(s.scatterKind, c.kind);
    if (c.kind == 0) {
      EXPECT_EQ(host.count(slot::kRandom1), 0);
      s.scatterKind = before.scatterKind;
      EXPECT_EQ(std::memcmp(&s, &before, sizeof s), 0);
      continue;
    }
    EXPECT_NEAR(s.scatterWeight.x, 0.3f, 1e-6f);
    EXPECT_NEAR(s.scatterInvPdf, c.invPdf, 1e-5f);
    EXPECT_TRUE(nearFloat3(s.scatterDir, float3(0.0f, 0.0f, 1.0f)));
  }
}

TEST(PaintOrientation, ReverseNormalInEveryEntryFaceForwardInShadeOnly) {
  // The mesh's normals point away from the camera. Facing it, the side light gives D w = 0.8 in
  // shade and D / pi in evaluate; facing away, nothing.
  const struct {
    bool reverse, face;
    float shaded, evaluated;
  } cases[] = {{false, false, 0.0f, 0.0f},
               {true, false, 0.8f, 0.8f * kInvPi},
               {false, true, 0.8f, 0.0f},
               {true, true, 0.8f, 0.8f * kInvPi}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "reverse " << c.reverse << " face " << c.face);
    BoundShader p = paint();
    p.set("reverseNormal", c.reverse);
    p.set("faceForward", c.face);
    ScriptedHost host;
    host.lights = {makeLight(kSideLight, float3(1.0f))};
    pvx::ShadingState s = hit();
    s.N = s.Ng = s.No = float3(0.0f, 0.0f, -1.0f);
    pvx::ShadingState e = s;
    p.material()->shade(&host, &s);
    EXPECT_NEAR(s.Ci.x, c.shaded, 1e-6f);
    e.scatterDir = float3(-0.8660254f, 0.0f, 0.5f);
    p.material()->evaluate(&host, &e);
    EXPECT_NEAR(e.scatterWeight.x, c.evaluated, 1e-6f);
  }
}

TEST(PaintFlecks, HighlightIsTheBrighterOfTheBaseAndFleckLobesPerChannel) {
  // Light along the mirror direction (head-on): h = (0, 0, 2), e = 1, w = 1. Base S = 0.001,
  // a = 0.01: 0.001 / (4 pi 0.01^2) = 0.795775. A constant lattice of 0.5 gives the fleck weight
  // 0.5^2.5 = 0.176777 and no tilt; its unit lobe of roughness 4 x 0.01 is
  // 1 / (4 pi 0.04^2) = 49.7359, times the weight 8.79214, in red only. D = 0.999.
  for (bool flecks : {false, true}) {
    SCOPED_TRACE(flecks);
    BoundShader p = paint();
    p.set("u_base90Reflectivity", 0.001f);
    p.set("u_flecksEnable", flecks);
    p.set("u_flecksColor", pvx::float4(1.0f, 0.0f, 0.0f, 1.0f));
    ScriptedHost host;
    host.lights = {makeLight(float3(0.0f, 0.0f, 1.0f), float3(1.0f))};
    pvx::ShadingState s = hit();
    p.material()->shade(&host, &s);
    const float red = flecks ? 8.79214f : 0.795775f;
    EXPECT_TRUE(
        nearFloat3(pvx::rgb(s.Ci), float3(0.999f) + float3(red, 0.795775f, 0.795775f), 2e-4f));
  }
}

// Lattice values that change from point to point, so the flecks' normal offsets are not 0.
class VaryingLattice final : public ScriptedHost {
 public:
  float lookup49(const float3* p) override {
    return std::sin(p->x * 12.9898f + p->y * 78.233f + p->z * 37.719f);
  }
};

TEST(PaintFlecks, EveryFleckSizeGivesFiniteColours) {
  // Every layer on; the host's lattice answers vary with the position so flecks tilt.
  const float sizes[] = {0.02f,
                         0.0f,
                         -0.02f,
                         1e-30f,
                         1e30f,
                         std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity()};
  for (float size : sizes) {
    SCOPED_TRACE(size);
    BoundShader p = paint();
    p.set("u_flecksEnable", true);
    p.set("u_flecksSize", size);
    p.set("u_topcoatEnable", true);
    p.set("u_pearl", int32_t{1});
    p.set("u_finish", int32_t{1});
    p.set("u_hueWeight", 0.5f);
    p.set("u_shiftedColor", float3(0.2f, 0.4f, 0.9f));
    p.set("u_baseHighlightSpread", 0.9f);
    p.set("u_baseBiasFactor", 1.5f);
    VaryingLattice host;
    host.lights = {makeLight(kSideLight, float3(1.0f)), makeLight(float3(0, 0, 1), float3(2.0f))};
    pvx::ShadingState s = hit();
    s.P = float3(0.3f, -1.7f, 0.2f);
    p.material()->shade(&host, &s);
    for (float v : {s.Ci.x, s.Ci.y, s.Ci.z, s.Ci.w})
      EXPECT_TRUE(std::isfinite(v)) << v;
  }
}

}  // namespace
}  // namespace tarvo::test

// quarra_Mtl_Glazing through its exported factory: its declarations, the constant reflectance
// r^2 / L and the transmission colour of the layers, straight-through scatter with the random
// choice by R, and the shadow that ignores the transmittance map.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using host::BoundShader;
using host::HostCall;
using host::ParamType;
using host::ScriptedHost;
using pvx::float3;
using pvx::float4;
namespace slot = pvx::host_slot;

constexpr int kTangentOffset = 36;

BoundShader glazing() {
  return makeShader("quarra_Mtl_Glazing");
}

pvx::ShadingState hit(float degrees = 0.0f) {
  pvx::ShadingState s = cameraHitAt(degrees);
  writeVarying(&s, kTangentOffset, float3(1.0f, 0.0f, 0.0f));
  return s;
}

TEST(GlazingDeclaration, ParametersAndVaryingsInOrderWithDefaults) {
  std::vector<Declaration> d = withAoMasking({
      {"CaldrinAODisable", ParamType::Bool, {0}},
      {"bitangent", ParamType::Bool, {24}, pvx::kVaryingFloat3},
      {"tangent", ParamType::Bool, {36}, pvx::kVaryingFloat3},
      {"uv", ParamType::Bool, {48}, pvx::kVaryingFloat2},
      {"u_globalClippingMap", ParamType::Texture1D, {}},
      {"u_globalClippingMapEnable", ParamType::Bool, {0}},
      {"u_reflectance", ParamType::Float, {0.1f}},
      {"u_reflectColor", ParamType::Color, {1, 1, 1}},
      {"u_refractColor", ParamType::Color, {1, 1, 1}},
      {"u_rough", ParamType::Float, {0.0001f}},
      {"u_level", ParamType::Float, {1}},
      {"u_transmittanceMapEnable", ParamType::Bool, {0}},
      {"u_transmittanceMap", ParamType::Texture2D, {}},
      {"u_transmittanceTransform", ParamType::Mat3, kIdentity3},
      {"u_transmittanceAmount", ParamType::Float, {1}},
      {"u_commonTintEnable", ParamType::Bool, {0}},
      {"u_commonTintColor", ParamType::ColorAlpha, {1, 1, 1, 1}},
  });
  expectDeclarations({"quarra_Mtl_Glazing", 15, d});
}

TEST(GlazingShade, SplitsByTheLayeredReflectanceAndContinuesUnbent) {
  // r 0.1, L 1: R = 0.01. L 2: R = 0.005, and the map's (0.25, 1, 0.64) is taken to the power
  // 1/2: (0.5, 1, 0.8). The reflection is the mirror of the 30-degree ray; the transmission
  // continues along I itself.
  host::ScriptedTexture2D map;
  map.value = float4(0.25f, 1.0f, 0.64f, 1.0f);
  struct Case {
    float level;
    bool mapped;
    float R;
    float3 Tc;
  };
  const Case cases[] = {{1.0f, false, 0.01f, float3(1.0f)},
                        {2.0f, true, 0.005f, float3(0.5f, 1.0f, 0.8f)},
                        {0.0f, false, 0.01f, float3(1.0f)}};  // no layers counts as one
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    BoundShader m = glazing();
    m.set("u_level", c.level);
    m.set("u_transmittanceMapEnable", c.mapped);
    m.set("u_transmittanceMap", &map);
    pvx::ShadingState s = hit(30.0f);
    ScriptedHost host;
    host.traceSpecularAnswer = float3(1.0f, 0.0f, 0.0f);
    host.traceContinueAnswer = float4(0.0f, 1.0f, 1.0f, 1.0f);
    m.material()->shade(&host, &s);
    const HostCall* r = host.first(slot::kTraceSpecular);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(nearFloat3(r->vector(1), float3(0.5f, 0.0f, 0.8660254f), 1e-6f));
    EXPECT_FLOAT_EQ(r->scalars[0], c.R);
    const HostCall* t = host.first(slot::kTraceContinue);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->vector(1) == s.I);
    const float3 Kt = c.Tc * (1.0f - c.R);
    EXPECT_FLOAT_EQ(t->scalars[0], pvx::maxComponent(Kt));
    EXPECT_TRUE(nearFloat4(s.Ci, float4(c.R, Kt.y, Kt.z, 1.0f), 1e-6f));
  }
}

TEST(GlazingShadow, UsesTheTintNeverTheMap) {
  host::ScriptedTexture2D map;
  map.value = float4(0.0f, 0.0f, 0.0f, 1.0f);
  BoundShader m = glazing();
  m.set("u_refractColor", float3(1.0f, 0.5f, 0.25f));
  m.set("u_transmittanceMapEnable", true);
  m.set("u_transmittanceMap", &map);
  ScriptedHost host;
  pvx::ShadingState s = hit();
  m.material()->shadow(&host, &s);
  EXPECT_TRUE(nearFloat3(s.shadowT, float3(0.99f, 0.495f, 0.2475f)));
  EXPECT_EQ(map.sampleCount(), 0u);
}

TEST(GlazingEvaluate, HighlightAndLightSentThroughThePane) {
  // Roughness 0.5 (a2 0.25), weights R = 0.01 and 1 - R. Head-on: Rm = D(n) / 4 = 1 / pi back
  // towards the viewer and Tm = 1 / pi straight on (h = n, (i.h + o.h)^2 = 4). At 30 degrees,
  // i = (0.5, 0, -0.866025), G1 = 2 / (1 + sqrt(1 + 0.25 / 3)) = 0.979992 for every direction:
  // - straight on, o = i: h = -i, i.h = o.h = -1, D(h) = 0.25 / (pi 0.5625 (0.25 + 1/3)^2) =
  //   0.415752, Tm = G1^2 D / (4 x 0.75) = 0.133094;
  // - turned half a revolution, o = (-0.5, 0, -0.866025): h = n, i.h = o.h = -0.866025,
  //   Tm = G1^2 (4 / pi) 0.75 / (3 x 0.75) = 0.407600.
  BoundShader m = glazing();
  m.set("u_rough", 0.5f);
  ScriptedHost host;
  const float invPi = 0.3183099f;
  const struct {
    float degrees;
    float3 o;
    float value;
  } cases[] = {{0.0f, float3(0, 0, 1), 0.01f * invPi},
               {0.0f, float3(0, 0, -1), 0.99f * invPi},
               {30.0f, float3(0.5f, 0, -0.8660254f), 0.99f * 0.133094f},
               {30.0f, float3(-0.5f, 0, -0.8660254f), 0.99f * 0.407600f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.degrees << " to " << c.o.x << ", " << c.o.z);
    pvx::ShadingState s = hit(c.degrees);
    s.scatterDir = c.o;
    m.material()->evaluate(&host, &s);
    EXPECT_NEAR(s.scatterWeight.x, c.value, 2e-6f);
    EXPECT_FLOAT_EQ(s.scatterCos, std::fabs(c.o.z));
  }
}

TEST(GlazingScatter, StraightThroughOrMirrorByRandomChoiceWithoutRescaling) {
  // At 60 degrees c = 0.5. R = 0.01: r = 0.5 transmits along I exactly with weight 1 / c = 2;
  // r = 0.005 reflects to I + 2 c N with weight 2; one group alone scales by 1 - R or R.
  struct Case {
    float random;
    int allowed;  // 1 reflection, 2 transmission, 3 both
    int kind;
    float weight;
  };
  const Case cases[] = {{0.5f, 3, 32, 2.0f},
                        {0.005f, 3, 4, 2.0f},
                        {0.0f, 2, 32, 1.98f},
                        {0.0f, 1, 4, 0.02f},
                        {0.5f, 0, 0, 0.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.random << " " << c.allowed);
    BoundShader m = glazing();
    pvx::ShadingState s = hit(60.0f);
    for (int k = 0; k < 6; ++k)
      s.allowScatter[k] = uint8_t(((k < 3 ? 1 : 2) & c.allowed) != 0);
    ScriptedHost host;
    host.randomSequence = {c.random};
    m.material()->scatter(&host, &s);
    ASSERT_EQ(s.scatterKind, c.kind);
    if (c.kind == 0) continue;
    if (c.kind == 32) {
      EXPECT_TRUE(s.scatterDir == s.I);
    } else {
      EXPECT_TRUE(nearFloat3(s.scatterDir, float3(0.8660254f, 0.0f, 0.5f), 1e-6f));
    }
    EXPECT_TRUE(nearFloat3(s.scatterWeight, float3(c.weight), 1e-5f));
    EXPECT_FLOAT_EQ(s.scatterCos, 0.5f);
    EXPECT_EQ(s.scatterInvPdf, 1.0f);
  }
  // A ray in the pane's plane ends the path instead of dividing by its zero cosine.
  BoundShader m = glazing();
  pvx::ShadingState s = hit(90.0f);
  s.I = float3(1.0f, 0.0f, 0.0f);
  ScriptedHost host;
  m.material()->scatter(&host, &s);
  EXPECT_EQ(s.scatterKind, pvx::kRayNone);
}

}  // namespace
}  // namespace tarvo::test

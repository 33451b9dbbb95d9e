// quarra_Mtl_Dielectric through its exported factory: what it declares, the traces `shade` asks
// for and how it weighs them, `shadow`, `evaluate` and `scatter` by hand-worked values, and the
// documented answers to unusable indices, roughness and distances.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using host::BoundShader;
using host::HostCall;
using host::makeLight;
using host::ParamType;
using host::ScriptedHost;
using pvx::float2;
using pvx::float3;
using pvx::float4;
namespace slot = pvx::host_slot;

constexpr int kTangentOffset = 36;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

BoundShader dielectric() {
  return makeShader("quarra_Mtl_Dielectric");
}

// A camera ray onto the plane z = 0 with the frame along the world's axes; I at `degrees` from
// the normal in the x-z plane.
pvx::ShadingState hit(float degrees = 0.0f) {
  pvx::ShadingState s = cameraHitAt(degrees);
  writeVarying(&s, kTangentOffset, float3(1.0f, 0.0f, 0.0f));
  return s;
}

// Leaving glass of index 1.5 into air; the ray started 0.5 below the hit.
pvx::ShadingState insideHit(float degrees) {
  pvx::ShadingState s = hit(degrees);
  s.frontFacing = 0;
  s.rayOrigin = s.P - s.I * 0.5f;
  return s;
}

bool finite(const float3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

TEST(DielectricDeclaration, ParametersAndVaryingsInOrderWithDefaults) {
  std::vector<Declaration> d = withAoMasking({
      {"CaldrinAODisable", ParamType::Bool, {0}},
      {"bitangent", ParamType::Bool, {24}, pvx::kVaryingFloat3},
      {"tangent", ParamType::Bool, {36}, pvx::kVaryingFloat3},
      {"uv", ParamType::Bool, {48}, pvx::kVaryingFloat2},
      {"u_globalClippingMap", ParamType::Texture1D, {}},
      {"u_globalClippingMapEnable", ParamType::Bool, {0}},
      {"u_transmittanceMapEnable", ParamType::Bool, {0}},
      {"u_transmittanceMap", ParamType::Texture2D, {}},
      {"u_transmittanceTransform", ParamType::Mat3, kIdentity3},
      {"u_transmittanceAmount", ParamType::Float, {1}},
      {"u_procedureMapEnable", ParamType::Int, {0}},
      {"u_procedureMapTiling", ParamType::Color, {1, 1, 1}},
      {"u_procedureMapAmount", ParamType::Float, {0}},
      {"u_normal0MapEnable", ParamType::Bool, {0}},
      {"u_normal0Map", ParamType::Texture2D, {}},
      {"u_normal0Transform", ParamType::Mat3, kIdentity3},
      {"u_normal0Amount", ParamType::Float, {0}},
      {"u_normal0UVScale", ParamType::Float, {1}},
      {"u_normal1MapEnable", ParamType::Bool, {0}},
      {"u_normal1Map", ParamType::Texture2D, {}},
      {"u_normal1Transform", ParamType::Mat3, kIdentity3},
      {"u_normal1Amount", ParamType::Float, {0}},
      {"u_roughMapEnable", ParamType::Bool, {0}},
      {"u_roughMap", ParamType::Texture2D, {}},
      {"u_roughValue", ParamType::Float, {0.0004f}},
      {"u_roughTransform", ParamType::Mat3, kIdentity3},
      {"u_glossyValue", ParamType::Float, {0}},
      {"u_roughAmount", ParamType::Float, {1}},
      {"u_ior", ParamType::Float, {1.52f}},
      {"u_reflectance", ParamType::Float, {0.1f}},
      {"u_absorptionCoef", ParamType::Color, {0, 0, 0}},
      {"u_falloffEnable", ParamType::Bool, {0}},
      {"u_refractColor", ParamType::Color, {1, 1, 1}},
      {"u_reflectColor", ParamType::Color, {1, 1, 1}},
      {"u_commonTintEnable", ParamType::Bool, {0}},
      {"u_commonTintColor", ParamType::ColorAlpha, {1, 1, 1, 1}},
  });
  expectDeclarations({"quarra_Mtl_Dielectric", 15, d});
}

TEST(DielectricShade, TracesReflectionAndRefractionWeightedBySchlick) {
  // Head-on from outside: F = R0 = 0.1; the reflection (0, 0, 1) carries 0.1 of (1, 0, 0), the
  // refraction straight down 0.9 of (0, 1, 0), tinted by the refraction colour's green 0.5.
  BoundShader m = dielectric();
  m.set("u_glossyValue", 0.25f);
  m.set("u_refractColor", float3(1.0f, 0.5f, 1.0f));
  pvx::ShadingState s = hit();
  ScriptedHost host;
  host.traceReflectionAnswer = float3(1.0f, 0.0f, 0.0f);
  host.traceRefractionAnswer = float4(0.0f, 1.0f, 0.0f, 1.0f);
  m.material()->shade(&host, &s);
  EXPECT_TRUE(nearFloat4(s.Ci, float4(0.1f, 0.45f, 0.0f, 1.0f)));
  const HostCall* r = host.first(slot::kTraceReflection);
  ASSERT_NE(r, nullptr);
  EXPECT_TRUE(nearFloat3(r->vector(1), float3(0.0f, 0.0f, 1.0f)));
  EXPECT_FLOAT_EQ(r->scalars[0], 0.25f);
  EXPECT_FLOAT_EQ(r->scalars[1], 0.1f);
  const HostCall* t = host.first(slot::kTraceRefraction);
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(nearFloat3(t->vector(1), float3(0.0f, 0.0f, -1.0f)));
  EXPECT_FLOAT_EQ(t->scalars[1], 0.9f);
}

TEST(DielectricShade, RefractsOrReflectsTotallyOnEitherSideAndAbsorbsInside) {
  // Index 1.5 into air: critical angle 41.81 degrees. Inside there is no reflection trace and
  // the whole budget (F = 0) goes to the refraction, absorbed by 10^-(1 x 0.5) = 0.316228 in
  // red when the falloff is on. Entering a body of index 1 from a medium of 1.5 at 60 degrees,
  // k = (0.25 - 1) 2.25 + 1 < 1e-6 as well: the refraction budget 1 - F(0.5) = 0.871875 goes to
  // the bent reflection, and the reflection F = 0.128125 is traced too (it sees black here).
  struct Case {
    float degrees;
    bool inside, falloff;
    float3 direction;  // of the refraction trace
    float budget;      // its weight
    float3 colour;
  };
  // 30 degrees: sin t = 1.5 sin 30 = 0.75, cos t = 0.661438. 60 degrees: mirror (0.866, 0, 0.5).
  const float3 refracted(0.75f, 0.0f, -0.6614378f), mirror(0.8660254f, 0.0f, 0.5f);
  const Case cases[] = {{30.0f, true, false, refracted, 1.0f, float3(1.0f)},
                        {30.0f, true, true, refracted, 1.0f, float3(0.3162278f, 1.0f, 1.0f)},
                        {60.0f, true, true, mirror, 1.0f, float3(0.3162278f, 1.0f, 1.0f)},
                        {60.0f, false, true, mirror, 0.871875f, float3(0.871875f)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.degrees << (c.inside ? " inside" : " entering"));
    BoundShader m = dielectric();
    m.set("u_ior", c.inside ? 1.5f : 1.0f);
    m.set("u_absorptionCoef", float3(1.0f, 0.0f, 0.0f));
    m.set("u_falloffEnable", c.falloff);
    pvx::ShadingState s = c.inside ? insideHit(c.degrees) : hit(c.degrees);
    s.outsideIor = 1.5f;
    ScriptedHost host;
    host.traceRefractionAnswer = float4(1.0f, 1.0f, 1.0f, 1.0f);
    m.material()->shade(&host, &s);
    EXPECT_EQ(host.count(slot::kTraceReflection), c.inside ? 0 : 1);
    const HostCall* t = host.first(slot::kTraceRefraction);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(nearFloat3(normalize(t->vector(1)), c.direction, 1e-5f));
    EXPECT_FLOAT_EQ(t->scalars[1], c.budget);
    EXPECT_TRUE(nearFloat4(s.Ci, float4(c.colour, 1.0f), 1e-5f));
  }
}

TEST(DielectricShadow, TransmitsOneMinusFAndAbsorbsInsideWhateverTheFalloff) {
  // At 60 degrees mu = 0.5: F = 0.1 + 0.9 / 32 = 0.128125, so 0.871875 passes; inside, red is
  // absorbed by 10^-(1 x 0.5) even with the falloff off.
  BoundShader m = dielectric();
  m.set("u_absorptionCoef", float3(1.0f, 0.0f, 0.0f));
  m.set("u_refractColor", float3(1.0f, 1.0f, 0.5f));
  ScriptedHost host;
  pvx::ShadingState s = hit(60.0f);
  m.material()->shadow(&host, &s);
  EXPECT_TRUE(nearFloat3(s.shadowT, float3(0.871875f, 0.871875f, 0.4359375f)));
  s = insideHit(60.0f);
  m.material()->shadow(&host, &s);
  EXPECT_TRUE(nearFloat3(s.shadowT, float3(0.871875f * 0.3162278f, 0.871875f, 0.4359375f)));
}

TEST(DielectricEvaluate, ReflectionAndTransmissionTermsByHand) {
  // Roughness 0.5 (a2 0.25), F = 0.1 head-on. Head-on every half vector is n: D = 4 / pi,
  // G1 = 1, |i.h| = |o.h| = 1. Reflected straight back: Rm = D / 4 = 1 / pi, v = 0.1 / pi (the
  // transmission term counts on the far side only). Straight through:
  // Tm = D eta^2 / (1 + eta)^2: eta = 2/3 gives 0.203718, eta = 1 gives 1 / pi, from inside
  // eta = 1.5 gives 0.458366; v = 0.9 Tm.
  // At 30 degrees, eta = 2/3, o = (0, 0, -1): i + eta o = (0.5, 0, -1.532692), h = its reverse
  // normalised (-0.310138, 0, 0.950692); i.h = -0.978392, o.h = -0.950692, (i.h + eta o.h)^2 =
  // |i + eta o|^2 = 2.599156; D(h) = 0.766837 (cos^2 0.903815, tan^2 0.106421), G1(i) =
  // 2 / (1 + sqrt(1 + 0.25 / 3)) = 0.979992, G1(o) = 1; Tm = 0.138018; F = 0.1 + 0.9 x
  // 0.133975^5 = 0.100039, v = 0.124211.
  const struct {
    float ior, degrees;
    bool inside;
    float3 o;
    float value;
  } cases[] = {{1.5f, 0.0f, false, float3(0, 0, 1), 0.0318310f},
               {1.5f, 0.0f, false, float3(0, 0, -1), 0.1833465f},
               {1.0f, 0.0f, false, float3(0, 0, -1), 0.2864789f},
               {1.5f, 0.0f, true, float3(0, 0, -1), 0.4125296f},
               {1.5f, 30.0f, false, float3(0, 0, -1), 0.1242105f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.ior << " at " << c.degrees << " to " << c.o.z);
    BoundShader m = dielectric();
    m.set("u_roughValue", 0.5f);
    m.set("u_ior", c.ior);
    ScriptedHost host;
    pvx::ShadingState s = c.inside ? insideHit(c.degrees) : hit(c.degrees);
    s.scatterDir = c.o;
    m.material()->evaluate(&host, &s);
    EXPECT_NEAR(s.scatterWeight.x, c.value, 1e-5f * c.value);
    EXPECT_FLOAT_EQ(s.scatterCos, 1.0f);
  }
}

TEST(DielectricScatter, ChoosesByFresnelAndReportsKindAndMedium) {
  struct Case {
    const char* what;
    float roughness;
    bool inside;
    float degrees;
    float random;  // random1; random2 draws (0.5, 0.5) in the rough case
    int allowed;   // 1 reflection, 2 transmission, 3 both
    int kind;      // 0: no ray
    float3 direction, weight;
    float mediumIor;
  };
  const float3 up(0, 0, 1), down(0, 0, -1);
  const Case cases[] = {
      // F = 0.1 >= r = 0.05: reflect; both groups, weight 1; the medium index is u_ior all the
      // same.
      {"smooth reflects", 0.0f, false, 0.0f, 0.05f, 3, 32, up, float3(1.0f), 1.52f},
      {"smooth refracts", 0.0f, false, 0.0f, 0.5f, 3, 32, down, float3(1.0f), 1.52f},
      {"transmission only", 0.0f, false, 0.0f, 0.0f, 2, 32, down, float3(0.9f), 1.52f},
      {"reflection only", 0.0f, false, 0.0f, 0.0f, 1, 32, up, float3(0.1f), 1.52f},
      // Past the critical angle, inside: everything reflects, or the path ends.
      {"inside, total", 0.0f, true, 60.0f, 0.9f, 3, 32, float3(0.8660254f, 0, 0.5f), float3(1), 1},
      {"inside, total, no reflection", 0.0f, true, 60.0f, 0.9f, 2, 0, up, float3(0), 1},
      // Inside, even a rough interface is smooth.
      {"inside, rough", 0.5f, true, 0.0f, 0.9f, 3, 32, down, float3(1.0f), 1.0f},
      // Rough from outside, (u1, u2) = (0.5, 0.5): m = (-0.4472, 0, 0.8944) (tan^2 = 0.25,
      // phi = pi). Reflected: o = i + 2 c m with c = 0.8944: (-0.8, 0, 0.6); the weight
      // G1(i, m) G1(o, m) |i.m| / (|i.z| m.z) = G1(o, m) with tan^2 = 0.64 / 0.36: 2 / (1 +
      // sqrt(1 + 0.25 x 1.7778)) = 0.908327.
      {"rough reflects", 0.5f, false, 0.0f, 0.0f, 3, 16, float3(-0.8f, 0, 0.6f), float3(0.908327f),
       1.52f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader m = dielectric();
    m.set("u_roughValue", c.roughness);
    if (c.inside) m.set("u_ior", 1.5f);
    pvx::ShadingState s = c.inside ? insideHit(c.degrees) : hit(c.degrees);
    for (int k = 0; k < 6; ++k)
      s.allowScatter[k] = uint8_t(((k < 3 ? 1 : 2) & c.allowed) != 0);
    ScriptedHost host;
    host.randomSequence = c.roughness > 0.0f && !c.inside ? std::vector<float>{0.5f, 0.5f, c.random}
                                                          : std::vector<float>{c.random};
    m.material()->scatter(&host, &s);
    ASSERT_EQ(s.scatterKind, c.kind);
    if (c.kind == 0) continue;
    EXPECT_TRUE(nearFloat3(s.scatterDir, c.direction, 1e-5f));
    EXPECT_TRUE(nearFloat3(s.scatterWeight, c.weight, 1e-5f));
    EXPECT_EQ(s.scatterCos, 1.0f);
    EXPECT_EQ(s.scatterInvPdf, 1.0f);
    EXPECT_FLOAT_EQ(s.mediumIor, c.mediumIor);
  }
}

TEST(DielectricEdges, UnusableIndicesRoughnessAndDistancesGiveDocumentedFiniteResults) {
  // An index of 0, below 0 or NaN: light passes unbent (eta 1), so scatter refracts straight on.
  for (float ior : {0.0f, -1.5f, kNaN, kInf}) {
    SCOPED_TRACE(ior);
    BoundShader m = dielectric();
    m.set("u_ior", ior);
    ScriptedHost host;
    host.randomSequence = {0.9f};
    pvx::ShadingState s = hit(30.0f);
    const float3 I = s.I;
    m.material()->scatter(&host, &s);
    EXPECT_TRUE(nearFloat3(s.scatterDir, I, 1e-6f));
    EXPECT_TRUE(finite(s.scatterWeight) && std::isfinite(s.mediumIor));
    s = hit(30.0f);
    m.material()->shade(&host, &s);
    EXPECT_TRUE(finite(pvx::rgb(s.Ci)));
  }
  // Roughness 0 or NaN: smooth (kind 32), and evaluate stays finite.
  for (float roughness : {0.0f, kNaN}) {
    BoundShader m = dielectric();
    m.set("u_roughValue", roughness);
    ScriptedHost host;
    pvx::ShadingState s = hit(20.0f);
    m.material()->scatter(&host, &s);
    EXPECT_EQ(s.scatterKind, pvx::kRayTransmission);
    s = hit(0.0f);
    s.scatterDir = float3(0, 0, 1);
    m.material()->evaluate(&host, &s);
    EXPECT_TRUE(finite(s.scatterWeight));
  }
  // Absorption over a distance of 0 is none, whatever the coefficient; over an infinite one it
  // takes everything a positive coefficient touches.
  BoundShader m = dielectric();
  m.set("u_absorptionCoef", float3(kInf, 1.0f, 0.0f));
  ScriptedHost host;
  pvx::ShadingState s = insideHit(0.0f);
  s.rayOrigin = s.P;
  m.material()->shadow(&host, &s);
  EXPECT_TRUE(nearFloat3(s.shadowT, float3(0.9f)));
  s = insideHit(0.0f);
  s.rayOrigin = float3(0.0f, 0.0f, kInf);
  m.material()->shadow(&host, &s);
  EXPECT_TRUE(nearFloat3(s.shadowT, float3(0.0f, 0.0f, 0.9f)));
}

TEST(DielectricNormals, ProceduralPatternAsksNothingAtAmountZero) {
  // Amount 0 leaves the normal (the head-on reflection trace goes straight back) and asks the
  // host for no noise; amount 1 with a varying noise tilts it.
  for (float amount : {0.0f, 1.0f}) {
    BoundShader m = dielectric();
    m.set("u_procedureMapEnable", int32_t{1});
    m.set("u_procedureMapAmount", amount);
    pvx::ShadingState s = hit();
    s.Po = float3(0.3f, 0.7f, 0.1f);
    int lookups = 0;
    struct NoisyHost final : ScriptedHost {
      int* lookups;
      float noise4(const pvx::float4* p) override {
        ++*lookups;
        return 0.5f + 0.4f * std::sin(7.0f * p->x + 3.0f * p->y);
      }
    } noisy;
    noisy.lookups = &lookups;
    m.material()->shade(&noisy, &s);
    const HostCall* r = noisy.first(slot::kTraceReflection);
    ASSERT_NE(r, nullptr);
    if (amount == 0.0f) {
      EXPECT_EQ(lookups, 0);
      EXPECT_TRUE(nearFloat3(r->vector(1), float3(0, 0, 1)));
    } else {
      EXPECT_GT(lookups, 0);
      EXPECT_LT(r->vector(1).z, 0.9999f);
    }
  }
}

TEST(DielectricClipping, ClippedHitsAreDiscardedByShadeEvaluateAndScatter) {
  host::ScriptedTexture1D planes;
  planes.texels = host::clippingPlaneTexels({float4(0.0f, 0.0f, 1.0f, 0.0f)});  // z > 0 survives
  BoundShader m = dielectric();
  m.set("u_globalClippingMapEnable", true);
  m.set("u_globalClippingMap", &planes);
  ScriptedHost host;
  for (int entry = 0; entry < 3; ++entry) {
    pvx::ShadingState s = hit();
    pvx::MaterialShader* material = m.material();
    if (entry == 0) material->shade(&host, &s);
    if (entry == 1) material->evaluate(&host, &s);
    if (entry == 2) material->scatter(&host, &s);
    EXPECT_EQ(s.ignoreHit, 1) << "entry " << entry;
  }
}

}  // namespace
}  // namespace tarvo::test

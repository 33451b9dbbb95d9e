// VesmarLegacy through its exported factory: the rules of `shade`, `shadow` and `evaluate` with
// expected values worked out by hand from the material's formulas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

BoundShader legacy() {
  return tarvo::test::makeShader("VesmarLegacy");
}

// A camera ray arriving at `degrees` from the normal (0, 0, 1), in the x-z plane.
pvx::ShadingState hitAt(float degrees) {
  pvx::ShadingState s = cameraHitAt(degrees);
  s.Ci = float4(0.25f, 0.25f, 0.25f, 0.125f);
  return s;
}

struct ShadeCase {
  const char* what;
  float degrees;
  std::function<void(BoundShader&, pvx::ShadingState&, RecordingHost&)> setup;
  std::function<void(const pvx::ShadingState&, const RecordingHost&)> check;
};

TEST(VesmarLegacyShade, RulesByHand) {
  const float3 white(1.0f);
  const ShadeCase cases[] = {
      {"mere shadow: ignored, nothing written, nothing asked", 0.0f,
       [](BoundShader& m, pvx::ShadingState&, RecordingHost&) { m.set("draw_mere_shadow", true); },
       [](const pvx::ShadingState& s, const RecordingHost& h) {
         EXPECT_EQ(s.ignoreHit, 1);
         EXPECT_TRUE(nearFloat4(s.Ci, float4(0.25f, 0.25f, 0.25f, 0.125f)));
         EXPECT_TRUE(h.calls().empty());
       }},
      {"normals only, facing forward, head-on: (0.7, 0.35, 0.05), alpha kept", 0.0f,
       [](BoundShader& m, pvx::ShadingState&, RecordingHost&) {
         m.set("showNormalsOnly", true);
         m.set("faceForward", true);
       },
       [](const pvx::ShadingState& s, const RecordingHost&) {
         EXPECT_TRUE(nearFloat4(s.Ci, float4(0.7f, 0.35f, 0.05f, 0.125f)));
       }},
      {"normals only, front face at 60 degrees: (0.05, 0.05, 0.8 cos 60)", 60.0f,
       [](BoundShader& m, pvx::ShadingState&, RecordingHost&) { m.set("showNormalsOnly", true); },
       [](const pvx::ShadingState& s, const RecordingHost&) {
         EXPECT_TRUE(nearFloat3(pvx::rgb(s.Ci), float3(0.05f, 0.05f, 0.4f)));
       }},
      {"planar masking outside the slab: ignored", 0.0f,
       [](BoundShader& m, pvx::ShadingState& s, RecordingHost&) {
         m.set("maskingMode", int32_t(2));
         s.Po = float3(0.0f, 0.0f, 1.5f);
       },
       [](const pvx::ShadingState& s, const RecordingHost&) { EXPECT_EQ(s.ignoreHit, 1); }},
      // Opaque, light (1, 1, 1) along the normal: F = 0 and F2 = min(0^0 0 + 0, 0) = 0, so Ci =
      // D x occlusion (1) x l C = (0, 0, 1); no trace.
      {"opaque defaults: plain blue diffuse", 0.0f,
       [](BoundShader& m, pvx::ShadingState&, RecordingHost& h) {
         m.set("transparencyColor", float3(0.0f));
         h.lights = {makeLight(float3(0, 0, 1), float3(1.0f))};
       },
       [](const pvx::ShadingState& s, const RecordingHost& h) {
         EXPECT_TRUE(nearFloat4(s.Ci, float4(0, 0, 1, 1)));
         EXPECT_EQ(h.count(slot::kTraceReflection) + h.count(slot::kTraceRefraction) +
                       h.count(slot::kTraceSpecular) + h.count(slot::kTraceContinue),
                   0);
       }},
      // Transparency 0.8 (the default), index 1: refraction straight along I with weight 0.8.
      // Colour 0.2 (0, 0, 1) + 0.8 (1, 0, 0); alpha: traced 0.5, then 0.2 x 0.5 + 0.8 = 0.9.
      {"default transparency refracts straight on", 30.0f,
       [](BoundShader&, pvx::ShadingState&, RecordingHost& h) {
         h.lights = {makeLight(float3(0, 0, 1), float3(1.0f))};
         h.traceRefractionAnswer = float4(1, 0, 0, 0.5f);
       },
       [](const pvx::ShadingState& s, const RecordingHost& h) {
         EXPECT_TRUE(nearFloat4(s.Ci, float4(0.8f, 0.0f, 0.2f, 0.9f)));
         const auto* c = h.first(slot::kTraceRefraction);
         ASSERT_NE(c, nullptr);
         EXPECT_TRUE(nearFloat3(c->vector(1), s.I));
         EXPECT_FLOAT_EQ(c->scalars[1], 0.8f);
       }},
      // reflectType 1 with reflectAbsorb 1: the tint is black, so a white reflection adds
      // nothing; F = 1 removes the diffuse layer.
      {"black reflection tint", 0.0f,
       [&](BoundShader& m, pvx::ShadingState&, RecordingHost& h) {
         m.set("transparencyColor", float3(0.0f));
         m.set("reflectivityColor", white);
         m.set("reflectType", int32_t(1));
         m.set("reflectAbsorb", 1.0f);
         h.traceReflectionAnswer = white;
       },
       [](const pvx::ShadingState& s, const RecordingHost& h) {
         EXPECT_TRUE(nearFloat4(s.Ci, float4(0, 0, 0, 1)));
         EXPECT_EQ(h.count(slot::kTraceReflection), 1);
       }},
      // Fresnel (0, 1, 5, 1) at 60 degrees: F = (1 - 0.5)^5 = 0.03125; the trace weight is
      // max(F x contrast 1 x f0 0.66) = 0.020625 along the mirror direction.
      {"Fresnel curve", 60.0f,
       [](BoundShader& m, pvx::ShadingState&, RecordingHost&) {
         m.set("transparencyColor", float3(0.0f));
         m.set("useUniformReflectivity", false);
         m.set("fresnel", float4(0, 1, 5, 1));
       },
       [](const pvx::ShadingState& s, const RecordingHost& h) {
         const auto* c = h.first(slot::kTraceReflection);
         ASSERT_NE(c, nullptr);
         EXPECT_NEAR(c->scalars[1], 0.020625f, 1e-6f);
         EXPECT_TRUE(nearFloat3(c->vector(1), float3(s.I.x, 0.0f, -s.I.z)));
       }},
      // Leaving a solid (frontFacing 0) after 5 units: absorbance (-1, 0, 0.1) keeps
      // (0, 1, exp(-0.5)) of a white refraction; transparency 1 shows only that.
      {"absorption on the way out", 0.0f,
       [](BoundShader& m, pvx::ShadingState& s, RecordingHost& h) {
         m.set("faceForward", true);
         m.set("transparencyColor", float3(1.0f));
         m.set("absorbanceRGB", float3(-1.0f, 0.0f, 0.1f));
         s.frontFacing = 0;
         h.traceRefractionAnswer = float4(1, 1, 1, 1);
       },
       [](const pvx::ShadingState& s, const RecordingHost&) {
         EXPECT_TRUE(nearFloat4(s.Ci, float4(0.0f, 1.0f, std::exp(-0.5f), 1.0f), 1e-6f));
       }},
      // A slab of thickness 0.5 at 60 degrees: the ray starts 0.5 / cos 60 = 1 along I.
      {"slab offset", 60.0f,
       [](BoundShader& m, pvx::ShadingState&, RecordingHost&) {
         m.set("simulatedThickness", 0.5f);
         m.set("refractiveIndex", 1.5f);
       },
       [](const pvx::ShadingState& s, const RecordingHost& h) {
         const auto* c = h.first(slot::kTraceRefraction);
         ASSERT_NE(c, nullptr);
         EXPECT_TRUE(nearFloat3(c->vector(0), s.P + s.I));
         EXPECT_TRUE(nearFloat3(c->vector(1), s.I));
       }},
      // Entering glass of index 1.5 at 45 degrees: eta = 1/1.5, c = cos 45, k = 1 - eta^2 / 2 =
      // 0.777778; eta I + (eta c - sqrt k) n = (0.471405, 0, -0.881917).
      {"Snell's law entering", 45.0f,
       [](BoundShader& m, pvx::ShadingState&, RecordingHost&) { m.set("refractiveIndex", 1.5f); },
       [](const pvx::ShadingState&, const RecordingHost& h) {
         const auto* c = h.first(slot::kTraceRefraction);
         ASSERT_NE(c, nullptr);
         EXPECT_TRUE(nearFloat3(c->vector(1), float3(0.471405f, 0.0f, -0.881917f), 2e-6f));
       }},
      // Leaving at 60 degrees: eta = 1.5, k = 1 + 2.25 (0.25 - 1) < 0: nothing is traced and the
      // transparency's share (all of it) is black.
      {"total internal reflection", 60.0f,
       [](BoundShader& m, pvx::ShadingState& s, RecordingHost& h) {
         m.set("faceForward", true);
         m.set("refractiveIndex", 1.5f);
         m.set("transparencyColor", float3(1.0f));
         s.frontFacing = 0;
         h.traceContinueAnswer = float4(1.0f);
       },
       [](const pvx::ShadingState& s, const RecordingHost& h) {
         EXPECT_EQ(h.count(slot::kTraceRefraction), 0);
         EXPECT_TRUE(nearFloat3(pvx::rgb(s.Ci), float3(0.0f)));
       }},
      // The override image at the mirror direction of a head-on ray (0, 0, 1): v = 1; contrast 2
      // about 0.5 and saturation 0 grade its (0.5, 0.5, 0.5) to 0.5; tint white, F = 1.
      {"reflection override, graded", 0.0f,
       [](BoundShader& m, pvx::ShadingState&, RecordingHost&) {
         static tarvo::host::RecordingTexture2D image;
         image.value = float4(0.5f, 0.5f, 0.5f, 1.0f);
         image.clearLog();
         m.set("transparencyColor", float3(0.0f));
         m.set("reflectivityColor", float3(1.0f));
         m.set("reflectType", int32_t(1));
         m.set("useReflectOverride", true);
         m.set("reflectOverride", &image);
         m.set("globalIBLContrastValue", 2.0f);
         m.set("globalIBLContrastPivot", float3(0.5f));
         m.set("globalIBLSatValue", 0.0f);
         m.set("specular2Color", float3(0.0f));
       },
       [](const pvx::ShadingState& s, const RecordingHost& h) {
         EXPECT_TRUE(nearFloat4(s.Ci, float4(0.5f, 0.5f, 0.5f, 1.0f)));
         EXPECT_EQ(h.count(slot::kTraceReflection), 0);
       }},
  };
  for (const ShadeCase& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader m = legacy();
    pvx::ShadingState s = hitAt(c.degrees);
    RecordingHost host;
    c.setup(m, s, host);
    m.material()->shade(&host, &s);
    c.check(s, host);
  }
}

TEST(VesmarLegacyShade, NormalMapFramesBendTheReflection) {
  // Texel (1, 0.5, 1), depth 1: the tangent-space normal (1, 0, 1). In every frame below the
  // tangent is (-1, 0, 0) and the bitangent (0, 1, 0) about n = (0, 0, 1), so the bent normal is
  // (-1, 0, 1) / sqrt 2 and a head-on ray reflects to (-1, 0, 0).
  struct Case {
    const char* what;
    int32_t mode;
  };
  const Case cases[] = {{"mesh tangents", 1}, {"planar rows", 2}, {"box face rows", 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    tarvo::host::RecordingTexture2D normalMap;
    normalMap.value = float4(1.0f, 0.5f, 1.0f, 1.0f);
    BoundShader m = legacy();
    m.set("transparencyColor", float3(0.0f));
    m.set("reflectivityColor", float3(1.0f));
    m.set("bumpMode", c.mode);
    m.set("bumpTexture", &normalMap);
    pvx::ShadingState s = hitAt(0.0f);
    tarvo::test::writeVarying(&s, 16, float3(1.0f, 0.0f, 0.0f));  // tangent
    tarvo::test::writeVarying(&s, 28, float3(0.0f, 1.0f, 0.0f));  // bitangent
    RecordingHost host;
    m.material()->shade(&host, &s);
    const auto* trace = host.first(slot::kTraceReflection);
    ASSERT_NE(trace, nullptr);
    EXPECT_TRUE(nearFloat3(trace->vector(1), float3(-1.0f, 0.0f, 0.0f), 1e-5f));
  }
}

TEST(VesmarLegacyShadow, TransmissionByHand) {
  struct Case {
    const char* what;
    std::function<void(BoundShader&, pvx::ShadingState&)> setup;
    float3 expected;
  };
  const Case cases[] = {
      // 1 - (1 - 0)(1 - (1 - 0) 0.8 (1 - 0)) = 0.8.
      {"default transparency", [](BoundShader&, pvx::ShadingState&) {}, float3(0.8f)},
      {"opaque", [](BoundShader& m, pvx::ShadingState&) { m.set("transparencyColor", float3(0)); },
       float3(0.0f)},
      {"cut out", [](BoundShader& m, pvx::ShadingState&) { m.set("maskingColor", float3(1)); },
       float3(1.0f)},
      // A slab of 2 with absorbance (-1, 0.5, 0): t = 0.8 (0, exp(-1), 1).
      {"slab absorption",
       [](BoundShader& m, pvx::ShadingState&) {
         m.set("simulatedThickness", 2.0f);
         m.set("absorbanceRGB", float3(-1.0f, 0.5f, 0.0f));
       },
       float3(0.0f, 0.8f * std::exp(-1.0f), 0.8f)},
      // Reflectivity 0.5: 1 - (1 - 0.5 x 0.8) = 0.4.
      {"reflectivity",
       [](BoundShader& m, pvx::ShadingState&) { m.set("reflectivityColor", float3(0.5f)); },
       float3(0.4f)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader m = legacy();
    pvx::ShadingState s = hitAt(0.0f);
    c.setup(m, s);
    RecordingHost host;
    m.material()->shadow(&host, &s);
    EXPECT_TRUE(nearFloat3(s.shadowT, c.expected, 1e-6f));
  }
}

TEST(VesmarLegacyEvaluate, HeadOnResponseByHandAddedToWhatTheFieldHolds) {
  // L = N, I = -N: x = h = cv = l = 1, D = 1, G = 1, Fs = f0 = 0.66; the factor
  // h cv / (4 pi m^2 x l) = 1 / (4 pi 0.1089) = 0.730739; the tint is D = (0, 0, 1). Diffuse:
  // (1 - 0) (0, 0, 1) / pi. Sum z = 0.66 x 0.730739 + 0.3183099 = 0.800598. Transparency 0.5:
  // the diffuse share and then the sum take (1 - t) each: 0.66 x 0.730739 x 0.5 + 0.3183099 x
  // 0.25 = 0.320721. Below the surface: nothing added, cosine 0. Each adds to the 0.25 found.
  const struct {
    float transparency;
    float3 L;
    float added, cosine;
  } cases[] = {{0.0f, float3(0, 0, 1), 0.800598f, 1.0f},
               {0.5f, float3(0, 0, 1), 0.320721f, 1.0f},
               {0.5f, float3(0, 0.6f, -0.8f), 0.0f, 0.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.transparency);
    BoundShader m = legacy();
    m.set("transparencyColor", float3(c.transparency));
    pvx::ShadingState s = hitAt(0.0f);
    s.scatterDir = c.L;
    s.scatterWeight = float3(0.25f);
    RecordingHost host;
    m.material()->evaluate(&host, &s);
    EXPECT_TRUE(nearFloat3(s.scatterWeight, float3(0.25f, 0.25f, 0.25f + c.added), 2e-6f));
    EXPECT_EQ(s.scatterCos, c.cosine);
  }
  // Fully cut out, or half cut out with a transparency of 1 folded in (1 - 0.5 x 0 = 1): ignored,
  // for a direction below the surface too.
  for (const bool fold : {false, true}) {
    BoundShader m = legacy();
    m.set("maskingColor", float3(fold ? 0.5f : 1.0f));
    m.set("transparencyColor", float3(1.0f));
    m.set("transparencyBlocksHighlights", fold);
    pvx::ShadingState s = hitAt(0.0f);
    s.scatterDir = float3(0, 0.6f, -0.8f);
    RecordingHost host;
    m.material()->evaluate(&host, &s);
    EXPECT_EQ(s.ignoreHit, 1);
  }
}

TEST(VesmarLegacyScatter, AnEventTheHostRefusesEndsThePathWritingNothingElse) {
  // Defaults: transparency 0.8, so pass-through (specular byte) has the share 0.8 and the blue
  // diffuse bounce (1 - 0.8)^2 = 0.04. With no byte set r = 0.01 finds no allowed event;
  // with the diffuse byte only, r = 0.5 lies beyond its 0.04.
  const struct {
    int diffuseByte;
    float random;
  } cases[] = {{0, 0.01f}, {1, 0.5f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.diffuseByte);
    BoundShader m = legacy();
    pvx::ShadingState s = hitAt(0.0f);
    std::fill(std::begin(s.allowScatter), std::end(s.allowScatter), uint8_t{0});
    s.allowScatter[pvx::kAllowDiffuseReflection] = uint8_t(c.diffuseByte);
    s.scatterKind = 99;
    s.scatterCos = s.scatterInvPdf = -1.0f;
    const pvx::ShadingState before = s;
    RecordingHost host;
    host.randomSequence = {c.random};
    m.material()->scatter(&host, &s);
    EXPECT_EQ(s.scatterKind, pvx::kRayNone);
    s.scatterKind = before.scatterKind;
    EXPECT_EQ(std::memcmp(&s, &before, sizeof s), 0);
  }
}

}  // namespace
}  // namespace tarvo::test

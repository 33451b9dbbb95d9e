// quarra_Mtl_Ward through its exported factory, as a host drives it: which host services
// `shade` calls with which arguments, and the rules of its four entry points.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

constexpr int kUVOffset = 48;

BoundShader ward() {
  return tarvo::test::makeShader("quarra_Mtl_Ward");
}

std::vector<int> slots(const RecordingHost& host) {
  std::vector<int> result;
  for (const HostCall& c : host.calls())
    result.push_back(c.slot);
  return result;
}

TEST(WardShade, AsksTheHostOnlyWhatTheSurfaceNeeds) {
  struct Case {
    const char* what;
    void (*setup)(BoundShader&, pvx::ShadingState&, RecordingHost&);
    std::vector<int> expected;
  };
  const Case cases[] = {
      // Defaults: glossy weight 1, so no diffuse and no indirect light; one reflection trace.
      {"defaults",
       [](BoundShader&, pvx::ShadingState&, RecordingHost&) {},
       {slot::kLightSamples, slot::kTraceReflection}},
      {"fully masked",
       [](BoundShader& m, pvx::ShadingState&, RecordingHost&) {
         m.set("maskingColor", float3(1.0f));
       },
       {}},
      {"partly masked",
       [](BoundShader& m, pvx::ShadingState&, RecordingHost&) {
         m.set("maskingColor", float3(0.5f));
       },
       {slot::kLightSamples, slot::kTraceReflection, slot::kTraceContinue}},
      {"highlights only",
       [](BoundShader& m, pvx::ShadingState&, RecordingHost&) {
         m.set("u_reflectionHighlightOnly", true);
       },
       {slot::kLightSamples}},
      // Diffuse: indirect light times occlusion, then the ambient-occlusion query.
      {"diffuse",
       [](BoundShader& m, pvx::ShadingState&, RecordingHost& h) {
         m.set("u_reflectivity", 0.0f);
         m.set("u_diffuseColor", float3(0.5f, 0.25f, 0.0f));
         h.ambientAnswer = float3(0.2f);
       },
       {slot::kLightSamples, slot::kAmbientLight, slot::kIndirectDiffuse, slot::kOcclusion,
        slot::kOcclusion}},
      {"diffuse without the occlusion multiply",
       [](BoundShader& m, pvx::ShadingState&, RecordingHost& h) {
         m.set("u_reflectivity", 0.0f);
         m.set("u_diffuseColor", float3(0.5f, 0.25f, 0.0f));
         m.set("CaldrinAODisable", true);
         h.ambientAnswer = float3(0.2f);
       },
       {slot::kLightSamples, slot::kAmbientLight, slot::kIndirectDiffuse, slot::kOcclusion}},
      {"transparent",
       [](BoundShader& m, pvx::ShadingState&, RecordingHost&) {
         m.set("u_transparency", true);
         m.set("u_transparencyValue", 1.0f);
         m.set("u_reflectivity", 0.5f);
       },
       {slot::kLightSamples, slot::kTraceReflection, slot::kTraceRefraction}},
      // Back face: no reflection; refraction, then indirect light for the diffuse colour and
      // again for the translucency colour.
      {"back face, translucent",
       [](BoundShader& m, pvx::ShadingState& s, RecordingHost&) {
         s.frontFacing = 0;
         m.set("u_transparency", true);
         m.set("u_transparencyValue", 0.5f);
         m.set("u_translucencyValue", 0.5f);
         m.set("u_diffuseColor", float3(1.0f));
         m.set("u_reflectivity", 0.0f);
       },
       {slot::kLightSamples, slot::kTraceRefraction, slot::kAmbientLight, slot::kIndirectDiffuse,
        slot::kAmbientLight, slot::kIndirectDiffuse}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader m = ward();
    pvx::ShadingState s = framedHit();
    RecordingHost host;
    host.lights = {makeLight(float3(0.0f, 0.0f, 1.0f), float3(1.0f))};
    c.setup(m, s, host);
    m.material()->shade(&host, &s);
    EXPECT_EQ(slots(host), c.expected);
    EXPECT_EQ(s.ignoreHit, c.expected.empty() ? 1 : 0);
  }
}

TEST(WardShade, HostCallArguments) {
  BoundShader m = ward();
  m.set("u_reflectivity", 0.5f);  // d = 0.5 x diffuse, g = 0.5
  m.set("u_diffuseColor", float3(1.0f, 0.5f, 0.0f));
  m.set("u_reflectGlossyValue", 0.3f);
  m.set("u_transparency", true);
  m.set("u_transparencyValue", 0.5f);
  m.set("u_ior", 1.5f);
  pvx::ShadingState s = framedHit();
  s.I = float3(0.7071068f, 0.0f, -0.7071068f);
  s.P = float3(1.0f, 2.0f, 3.0f);
  RecordingHost host;
  host.ambientAnswer = float3(0.2f);
  m.material()->shade(&host, &s);

  const HostCall* lights = host.first(slot::kLightSamples);
  ASSERT_NE(lights, nullptr);
  EXPECT_EQ(lights->integer, 0);
  EXPECT_EQ(lights->vector(0), s.P);
  EXPECT_EQ(lights->vector(1), s.N);
  // Reflection: the mirror direction, the glossiness, the glossy colour's largest channel.
  const HostCall* reflection = host.first(slot::kTraceReflection);
  ASSERT_NE(reflection, nullptr);
  EXPECT_TRUE(nearFloat3(reflection->vector(1), float3(0.7071068f, 0.0f, 0.7071068f)));
  EXPECT_FLOAT_EQ(reflection->scalars[0], 0.3f);
  EXPECT_FLOAT_EQ(reflection->scalars[1], 0.5f);
  // Refraction into index 1.5 at 45 degrees; importance = max of the transmission-weighted
  // colour (0.5 + 0.5 diffuse) x a 0.5 x (1 - w 0.5) = (0.25, 0.1875, 0.125).
  const HostCall* refraction = host.first(slot::kTraceRefraction);
  ASSERT_NE(refraction, nullptr);
  EXPECT_TRUE(nearFloat3(refraction->vector(1), float3(0.4714045f, 0.0f, -0.8819171f)));
  EXPECT_FLOAT_EQ(refraction->scalars[0], 0.0f);
  EXPECT_FLOAT_EQ(refraction->scalars[1], 0.25f);
  // Indirect light for d = 0.5 x (1, 0.5, 0) x (1 - a) = (0.25, 0.125, 0).
  EXPECT_FLOAT_EQ(host.first(slot::kIndirectDiffuse)->scalars[0], 0.25f);
  EXPECT_FLOAT_EQ(host.first(slot::kOcclusion)->scalars[0], 0.25f);
  // The ambient-occlusion query last, with the full weight of an unmasked hit.
  EXPECT_FLOAT_EQ(host.last(slot::kOcclusion)->scalars[0], 1.0f);
}

TEST(WardShade, LightRampFadesLightsAtTheHorizon) {
  // Diffuse 1 and no glossy weight: Ci = ramp(L.N) x weight.
  struct Case {
    float cosine, weight, expected;
  };
  const Case cases[] = {
      {0.05f, 1.0f, 0.0f},  // at the horizon offset: nothing
      {0.15f, 1.0f, 0.5f},  // x = 0.5: 0.25 (3 - 1)
      {0.25f, 1.0f, 1.0f},  // full weight from 0.25 on
      {0.9f, 2.0f, 2.0f},  {-0.3f, 1.0f, 0.0f},
  };
  for (const Case& c : cases) {
    BoundShader m = ward();
    m.set("u_reflectivity", 0.0f);
    m.set("u_diffuseColor", float3(1.0f));
    pvx::ShadingState s = framedHit();
    RecordingHost host;
    const float side = std::sqrt(1.0f - c.cosine * c.cosine);
    host.lights = {makeLight(float3(side, 0.0f, c.cosine), float3(1.0f), c.weight),
                   makeLight(float3(0.0f, 0.0f, 1.0f), float3(0.0f), 5.0f)};  // black: skipped
    m.material()->shade(&host, &s);
    EXPECT_TRUE(nearFloat4(s.Ci, float4(c.expected, c.expected, c.expected, 1.0f), 1e-6f))
        << "L.N = " << c.cosine;
  }
}

TEST(WardShade, DiffuseOnlyLightsAddNoHighlight) {
  // w = 0.5: d = 0.5, g = 0.5. Light at o = (0.6, 0, 0.8), ramp 1; the lobe for i = -z,
  // roughness 0.3: exp(-(0.6 / 0.3)^2 / 1.8^2) / (4 pi 0.09 sqrt(0.8)) = 0.2876316.
  for (int tag : {0, 1000001}) {
    BoundShader m = ward();
    m.set("u_reflectivity", 0.5f);
    m.set("u_diffuseColor", float3(1.0f));
    m.set("u_roughValue", 0.3f);
    pvx::ShadingState s = framedHit();
    RecordingHost host;
    host.lights = {makeLight(float3(0.6f, 0.0f, 0.8f), float3(1.0f), 1.0f, tag)};
    m.material()->shade(&host, &s);
    const float expected = tag == 0 ? 0.5f + 0.5f * 0.2876316f : 0.5f;
    EXPECT_NEAR(s.Ci.x, expected, 1e-6f) << "tag " << tag;
  }
}

TEST(WardShade, MaskCutOutAndDecalLetTheBackgroundThrough) {
  // The lit surface alone composes to 1 (diffuse 1, ramp 1); behind it is (0.2, 0.4, 0.6, 0.5).
  struct Case {
    const char* what;
    float3 mask;
    float cutout;  // < 0: no cut-out map
    bool outsideDecal;
    float4 expected;
    float continueWeight;  // < 0: no straight-through trace
  };
  const Case cases[] = {
      {"opaque", float3(0.0f), -1.0f, false, float4(1.0f, 1.0f, 1.0f, 1.0f), -1.0f},
      {"mask 0.25", float3(0.25f), -1.0f, false, float4(0.8f, 0.85f, 0.9f, 0.5f), 1.0f},
      {"cut-out 0", float3(0.0f), 0.0f, false, float4(0.2f, 0.4f, 0.6f, 1.0f), 1.0f},
      {"cut-out 1", float3(0.0f), 1.0f, false, float4(1.0f, 1.0f, 1.0f, 1.0f), -1.0f},
      // 0.25 x surface + 0.75 x behind
      {"cut-out 0.25", float3(0.0f), 0.25f, false, float4(0.4f, 0.55f, 0.7f, 1.0f), 0.75f},
      {"outside the decal", float3(0.0f), -1.0f, true, float4(0.2f, 0.4f, 0.6f, 1.0f), 1.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader m = ward();
    m.set("u_reflectivity", 0.0f);
    m.set("u_diffuseColor", float3(1.0f));
    m.set("maskingColor", c.mask);
    RecordingTexture2D cutout;
    cutout.value = float4(c.cutout, 0.0f, 0.0f, 1.0f);
    if (c.cutout >= 0.0f) {
      m.set("u_cutoutMapEnable", true);
      m.set("u_cutoutMap", static_cast<pvx::ITexture2D*>(&cutout));
    }
    m.set("u_isDecal", true);
    pvx::ShadingState s = framedHit();
    writeVarying(&s, kUVOffset, c.outsideDecal ? float2(1.5f, 0.5f) : float2(0.5f, 0.5f));
    RecordingHost host;
    host.lights = {makeLight(float3(0.0f, 0.0f, 1.0f), float3(1.0f))};
    host.traceContinueAnswer = float4(0.2f, 0.4f, 0.6f, 0.5f);
    m.material()->shade(&host, &s);
    EXPECT_TRUE(nearFloat4(s.Ci, c.expected, 1e-6f));
    const HostCall* through = host.first(slot::kTraceContinue);
    if (c.continueWeight < 0.0f) {
      EXPECT_EQ(through, nullptr);
    } else {
      ASSERT_NE(through, nullptr);
      EXPECT_FLOAT_EQ(through->scalars[0], c.continueWeight);
    }
    if (c.cutout == 0.0f || c.outsideDecal) {
      EXPECT_EQ(host.count(slot::kLightSamples), 0) << "nothing else is shaded";
    }
  }
}

TEST(WardInputs, ImageFadeModesBlendTheDiffuseColour) {
  // Diffuse only (reflectivity 0), evaluated head-on: weight = d / pi. With base d and fade
  // colour f at strength s: o = overlay(d, f) (2 d f below 0.5, else 1 - 2 (1 - d)(1 - f)),
  // m = d + (o - d) s, d' = m + (m f - m) s.
  struct Case {
    const char* what;
    int mode;
    float strength;
    float3 expectedDiffuse;
  };
  const Case cases[] = {
      {"off", 0, 1.0f, float3(0.25f, 0.75f, 0.0f)},
      // Diffuse map texel (0.5, 0.5, 0.5, alpha 0.5), amount 1: f = 0.5 mixes it with the colour.
      {"diffuse alpha", 1, 1.0f, float3(0.375f, 0.625f, 0.25f)},
      // Fade map texel 0.8 x amount 1 = fade colour 0.8: d 0.25 -> o 0.4 -> 0.32;
      // d 0.75 -> o 0.9 -> 0.72; d 0 -> 0.
      {"fade map", 2, 1.0f, float3(0.32f, 0.72f, 0.0f)},
      {"fade colour", 3, 1.0f, float3(0.32f, 0.72f, 0.0f)},
      // Strength 0.5: m = 0.25 + 0.15 / 2 = 0.325, d' = 0.325 - 0.065 / 2 = 0.2925;
      // m = 0.75 + 0.15 / 2 = 0.825, d' = 0.825 - 0.165 / 2 = 0.7425.
      {"fade colour at half strength", 3, 0.5f, float3(0.2925f, 0.7425f, 0.0f)},
      // Constant noise 0.5: fractal value 0.5, ramp (0.5 - 0.2) / 0.45, grey f = 0.5 + 0.08 x
      // that = 0.5533333; 0.25 -> 2 (0.25) f f = 0.1530889; 0.75 -> (1 - 0.5 (1 - f)) f =
      // 0.4297556.
      {"pattern", 4, 1.0f, float3(0.1530889f, 0.4297556f, 0.0f)},
      // A black fade at full strength: d' = m x 0.
      {"unknown mode: black fade", 5, 1.0f, float3(0.0f)},
  };
  RecordingTexture2D diffuseMap, fadeMap;
  diffuseMap.value = float4(0.5f, 0.5f, 0.5f, 0.5f);
  fadeMap.value = float4(0.8f, 0.8f, 0.8f, 1.0f);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader m = ward();
    m.set("u_reflectivity", 0.0f);
    m.set("u_diffuseColor", float3(0.25f, 0.75f, 0.0f));
    m.set("u_imageFadeEnable", c.mode);
    m.set("u_imageFade", c.strength);
    m.set("u_imageFadeColor", float3(0.8f));
    m.set("u_imageFadeMap", static_cast<pvx::ITexture2D*>(&fadeMap));
    if (c.mode == 1) {
      m.set("u_diffuseMapEnable", true);
      m.set("u_diffuseMap", static_cast<pvx::ITexture2D*>(&diffuseMap));
    }
    pvx::ShadingState s = framedHit();
    s.scatterDir = float3(0.0f, 0.0f, 1.0f);
    RecordingHost host;
    m.material()->evaluate(&host, &s);
    EXPECT_TRUE(nearFloat3(s.scatterWeight * 3.141593f, c.expectedDiffuse, 2e-6f));
  }
}

// Noise that is a smooth function of the point, so bump patterns have slopes.
float wavyNoise(const HostCall& c) {
  const float4& p = c.vectors[0];
  return c.slot == slot::kNoise4 ? 0.5f + 0.5f * std::sin(p.x + 2.0f * p.y + 3.0f * p.z) : 0.5f;
}

TEST(WardShade, ProceduralBumpNeedsAnAmountAndAVaryingHeight) {
  // The lighting normal of the main frame (u_normal1AsShadingNormal) goes to lightSamples.
  struct Case {
    const char* what;
    int mode;
    float amount;
    bool smokeMap;
    bool bends;
  };
  const Case cases[] = {
      {"solid noise", 5, 0.1f, false, true},
      {"solid noise, no amount", 6, 0.0f, false, false},
      {"turbulence", 7, 0.1f, false, true},
      {"mode 4 is no bump", 4, 0.1f, false, false},
      {"grain without a table", 1, 0.1f, false, false},
      {"rings with a table", 3, 0.1f, true, true},
  };
  RecordingTexture1D smoke;
  smoke.function = [](const float& c) { return float4(c * c, 0.0f, 0.0f, 1.0f); };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader m = ward();
    m.set("u_normal1AsShadingNormal", true);
    m.set("u_procedureMapEnable", c.mode);
    m.set("u_procedureMapAmount", c.amount);
    if (c.smokeMap) m.set("u_smokeMap", static_cast<pvx::ITexture1D*>(&smoke));
    pvx::ShadingState s = framedHit();
    s.P = s.Po = float3(0.013f, 0.021f, 0.0f);
    writeVarying(&s, 0, float3(0.0f, 1.0f, 0.0f));  // bitangent
    RecordingHost host;
    host.scalarFunction = wavyNoise;
    m.material()->shade(&host, &s);
    const float3 N = host.first(slot::kLightSamples)->vector(1);
    EXPECT_NEAR(pvx::length(N), 1.0f, 1e-6f);
    if (c.bends) {
      EXPECT_LT(N.z, 1.0f - 1e-6f);
    } else {
      EXPECT_EQ(N, s.N);
    }
  }
}

TEST(WardShadow, TransmissionFromCutOutAndTransparency) {
  // Transparent cases: w = 0.5, a = 0.5, transmission = a + diffuse (1 - a) = (0.6, 0.7, 0.8);
  // front: x a (1 - w) = (0.15, 0.175, 0.2); back with translucency 0.5: x (1 - t) as well.
  struct Case {
    const char* what;
    float cutout;
    bool transparent;
    uint8_t front;
    float3 expected;
  };
  const Case cases[] = {
      {"opaque", -1.0f, false, 1, float3(0.0f)},
      {"cut-out 0.25", 0.25f, false, 1, float3(0.75f)},
      {"cut-out 1", 1.0f, false, 1, float3(0.0f)},
      {"transparent, front", -1.0f, true, 1, float3(0.15f, 0.175f, 0.2f)},
      {"transparent, back", -1.0f, true, 0, float3(0.075f, 0.0875f, 0.1f)},
      {"transparency replaces the cut-out", 0.25f, true, 1, float3(0.15f, 0.175f, 0.2f)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader m = ward();
    RecordingTexture2D cutout;
    cutout.value = float4(c.cutout, 0.0f, 0.0f, 1.0f);
    if (c.cutout >= 0.0f) {
      m.set("u_cutoutMapEnable", true);
      m.set("u_cutoutMap", static_cast<pvx::ITexture2D*>(&cutout));
    }
    if (c.transparent) {
      m.set("u_transparency", true);
      m.set("u_transparencyValue", 0.5f);
      m.set("u_translucencyValue", 0.5f);
      m.set("u_reflectivity", 0.5f);
      m.set("u_diffuseColor", float3(0.2f, 0.4f, 0.6f));
    }
    pvx::ShadingState s = framedHit();
    s.frontFacing = c.front;
    RecordingHost host;
    m.material()->shadow(&host, &s);
    EXPECT_TRUE(nearFloat3(s.shadowT, c.expected, 1e-6f));
  }
}

TEST(WardEvaluate, LobeOfTheInputsInTheMainFrame) {
  // i = -z, o = (0.6, 0, 0.8), roughness (0.5, 0.25): the lobe alone is 0.4563682.
  struct Case {
    const char* what;
    float reflectivity, rotation;
    float3 direction;
    float expectedWeight, expectedCos;
  };
  const Case cases[] = {
      // Defaults give glossy weight 1: the diffuse colour is suppressed entirely.
      {"default glossy weight", 1.0f, 0.0f, float3(0.6f, 0.0f, 0.8f), 0.4563682f, 0.8f},
      // w = 0.5: 0.5 / pi + 0.5 x 0.4563682.
      {"half glossy", 0.5f, 0.0f, float3(0.6f, 0.0f, 0.8f), 0.3873390f, 0.8f},
      // A quarter turn puts the 0.5 roughness along y.
      {"rotated frame", 1.0f, 0.5f * 3.141593f, float3(0.0f, 0.6f, 0.8f), 0.4563682f, 0.8f},
      {"below the surface", 1.0f, 0.0f, float3(0.6f, 0.0f, -0.8f), 0.0f, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader m = ward();
    m.set("u_diffuseColor", float3(1.0f));
    m.set("u_reflectivity", c.reflectivity);
    m.set("u_roughValue", 0.5f);
    m.set("u_anisotropyValue", 0.5f);
    m.set("u_anisoRotationValue", c.rotation);
    pvx::ShadingState s = framedHit();
    s.scatterDir = c.direction;
    RecordingHost host;
    m.material()->evaluate(&host, &s);
    EXPECT_NEAR(s.scatterWeight.x, c.expectedWeight, 2e-6f);
    EXPECT_NEAR(s.scatterCos, c.expectedCos, 1e-6f);
    EXPECT_EQ(s.ignoreHit, 0);
  }
}

TEST(WardEvaluate, CosineFollowsTheBumpOnlyWhenAsked) {
  // Second normal map texel red 0.3 at strength 1: N1 = normalize(0.999, 0, 1) =
  // (0.7067530, 0, 0.7074604). For +z the cosine is 0.7074604 with N1, 1 with the state's N.
  // o = normalize(0.8, 0, -0.05) = (0.9980526, 0, -0.0623783) lies below the state's N but above
  // N1: o.N1 = 0.6612464, lit when the bump is asked for.
  RecordingTexture2D normals;
  normals.value = float4(0.3f, 0.0f, 1.0f, 1.0f);
  struct Case {
    bool usesBump;
    float3 direction;
    float cosine;
  };
  const float3 up(0.0f, 0.0f, 1.0f), below(0.9980526f, 0.0f, -0.0623783f);
  for (const Case& c :
       {Case{false, up, 1.0f}, Case{true, up, 0.7074604f}, Case{true, below, 0.6612464f}}) {
    BoundShader m = ward();
    m.set("u_normal1MapEnable", true);
    m.set("u_normal1Map", static_cast<pvx::ITexture2D*>(&normals));
    m.set("u_normal1Amount", 1.0f);
    m.set("u_roughValue", 0.5f);
    m.set("u_cosineUsesBump", c.usesBump);
    pvx::ShadingState s = framedHit();
    s.scatterDir = c.direction;
    RecordingHost host;
    m.material()->evaluate(&host, &s);
    EXPECT_NEAR(s.scatterCos, c.cosine, 2e-6f) << c.usesBump << " " << c.direction.z;
    EXPECT_GT(s.scatterWeight.x, 0.0f);
  }
}

TEST(WardScatter, ChoosesTheBounceTheHostAllows) {
  struct Case {
    const char* what;
    int allow;  // bit k: allowScatter[k]
    float random1, random2;
    uint8_t front;
    float3 I;
    int kind;
    float3 dir, weight;
    float cosine, invPdf, mediumIor;
  };
  const float3 head(0.0f, 0.0f, -1.0f);
  const float3 at45(0.7071068f, 0.0f, -0.7071068f), at60(0.8660254f, 0.0f, -0.5f);
  const Case cases[] = {
      {"nothing allowed", 0, 0.5f, 0.5f, 1, head, 0, float3(9.0f), float3(9.0f), 9.0f, 9.0f, 1.2f},
      // Glossy only, (u1, u2) = (1/8, 1/2) at roughness 0.5: the direction worked out in the
      // lobe tests, weight = the lobe (no diffuse here), density 0.2190930.
      {"glossy only", 4, 0.125f, 0.5f, 1, head, 4, float3(0.5017571f, 0.5017571f, 0.7046131f),
       float3(0.1896028f), 0.7046131f, 1.0f / 0.2190930f, 1.2f},
      // Transmission only: weight 1 - F = 0.8 (F = r90 = 0.2 at power 0), into index 1.5.
      {"refraction entering", 32, 0.5f, 0.5f, 1, at45, 32, float3(0.4714045f, 0.0f, -0.8819171f),
       float3(0.8f), 0.8819171f, 1.0f, 1.5f},
      // Leaving at 60 degrees with eta = 1.5 / 1.2 = 1.25: total internal reflection.
      {"total internal reflection", 32, 0.5f, 0.5f, 0, at60, 4, float3(0.8660254f, 0.0f, 0.5f),
       float3(0.8f), 0.5f, 1.0f, 1.2f},
      // Both allowed: r = 0.9 > F transmits with weight 1.
      {"random choice transmits", 36, 0.9f, 0.9f, 1, head, 32, float3(0.0f, 0.0f, -1.0f),
       float3(1.0f), 1.0f, 1.0f, 1.5f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader m = ward();
    m.set("u_roughValue", 0.5f);
    if (c.allow & 32) {
      m.set("u_transparency", true);
      m.set("u_transparencyValue", 1.0f);
      m.set("u_brdf90Reflectivity", 0.2f);
      m.set("u_ior", 1.5f);
    }
    pvx::ShadingState s = framedHit();
    for (int k = 0; k < 6; ++k)
      s.allowScatter[k] = (c.allow >> k) & 1;
    s.frontFacing = c.front;
    s.I = c.I;
    s.mediumIor = 1.2f;
    s.scatterDir = s.scatterWeight = float3(9.0f);
    s.scatterCos = s.scatterInvPdf = 9.0f;
    RecordingHost host;
    host.randomSequence = {c.random1, c.random2};
    m.material()->scatter(&host, &s);
    EXPECT_EQ(s.scatterKind, c.kind);
    EXPECT_TRUE(nearFloat3(s.scatterDir, c.dir, 2e-6f));
    EXPECT_TRUE(nearFloat3(s.scatterWeight, c.weight, 2e-6f));
    EXPECT_NEAR(s.scatterCos, c.cosine, 2e-6f);
    EXPECT_NEAR(s.scatterInvPdf, c.invPdf, 1e-5f * c.invPdf);
    EXPECT_EQ(s.mediumIor, c.mediumIor);
  }
}

// The side test scatter makes before building any frame must give what the built frame gives:
// the same random draws whatever side the ray comes from.
TEST(WardScatter, ARayFromBelowDrawsLikeAnyBounceAndSendsNothing) {
  // From below the surface there is no lobe to draw from, but the draws are made as for any
  // bounce (the host's random sequence must not depend on the side): random1 and random2 for
  // the mixture, random2 alone for the glossy lobe. A normal map with a flat texel (no red, no
  // green) takes the same hit through the built frames.
  RecordingTexture2D flat;
  flat.value = float4(0.0f, 0.0f, 1.0f, 1.0f);
  struct Case {
    const char* what;
    bool normalMap;
    bool diffuseAllowed;
    std::vector<int> draws;
  };
  const Case cases[] = {
      {"mixture, unbent", false, true, {pvx::host_slot::kRandom1, pvx::host_slot::kRandom2}},
      {"mixture, normal map", true, true, {pvx::host_slot::kRandom1, pvx::host_slot::kRandom2}},
      {"glossy only, unbent", false, false, {pvx::host_slot::kRandom2}},
      {"glossy only, normal map", true, false, {pvx::host_slot::kRandom2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader m = ward();
    m.set("u_roughValue", 0.3f);
    if (c.normalMap) {
      m.set("u_normal0MapEnable", true);
      m.set("u_normal0Map", static_cast<pvx::ITexture2D*>(&flat));
      m.set("u_normal0Amount", 1.0f);
    }
    pvx::ShadingState s = framedHit();
    s.I = float3(0.6f, 0.0f, 0.8f);  // leaving the surface: arrives from below
    s.frontFacing = 0;
    for (int k = 0; k < 6; ++k)
      s.allowScatter[k] = 0;
    s.allowScatter[0] = c.diffuseAllowed ? 1 : 0;
    s.allowScatter[2] = 1;
    RecordingHost host;
    host.randomSequence = {0.25f, 0.5f, 0.75f};
    m.material()->scatter(&host, &s);
    EXPECT_EQ(s.scatterKind, pvx::kRayNone);
    EXPECT_EQ(slots(host), c.draws);
  }
}

}  // namespace
}  // namespace tarvo::test

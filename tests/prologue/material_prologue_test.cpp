// The shared material prologue: masking, ambient occlusion, diffuse lighting with occlusion,
// the clipping test and the composition, driven through a parameter block built from the same
// group macros the material classes expand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "shadinglib/light_samples.h"
#include "shadinglib/material_prologue.h"
#include "tests/support/test_support.h"

namespace pvx {

#define TARVO_PROLOGUE_TEST_PARAMETERS(PARAM, VARYING) \
  TARVO_AO_MASKING_PARAMETERS(PARAM, VARYING)          \
  PARAM(Bool, CaldrinAODisable, false)                 \
  VARYING(Float2, uv, 24)                              \
  TARVO_GLOBAL_CLIPPING_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(PrologueTestParameters, TARVO_PROLOGUE_TEST_PARAMETERS);

#define TARVO_PROLOGUE_SHIFTED_PARAMETERS(PARAM, VARYING) \
  TARVO_AO_MASKING_PARAMETERS_AT(PARAM, VARYING, 32, 40)
TARVO_PARAMETER_BLOCK(PrologueShiftedParameters, TARVO_PROLOGUE_SHIFTED_PARAMETERS);

namespace {

using namespace tarvo::test;  // the recording host, the states and the comparisons

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// ---- masking ------------------------------------------------------------------------------

struct MaskingCase {
  const char* name;
  int32_t mode;
  bool invert;
  bool fromAlpha;
  float4 texel;
  float3 Po;
  float3 No;
  float3 expectedMask;
  bool samples;
  float2 expectedCoordinate;
};

TEST(Masking, EachModeProjectsSamplesAndInvertsAsItsRuleSays) {
  // Matrix: translation (1, 2, 0.25) on top of identity, so p = Po + (1, 2, 0.25).
  // UV matrix: u' = 2u + 0.1, v' = 2v + 0.2; the uv varying is (0.25, 0.5) -> (0.6, 1.2).
  const float4 grey(0.2f, 0.4f, 0.6f, 0.8f);
  const float3 Po(0.3f, 0.4f, 0.5f);  // p = (1.3, 2.4, 0.75)
  const float3 up(0.0f, 0.0f, 1.0f);
  const MaskingCase cases[] = {
      {"off never samples", -1, true, false, float4(1.0f), Po, up, float3(0.0f), false,
       float2(0.0f)},
      {"constant ignores invert", 0, true, false, float4(1.0f), Po, up, float3(0.1f, 0.2f, 0.3f),
       false, float2(0.0f)},
      {"unknown mode acts as constant", 9, true, false, float4(1.0f), Po, up,
       float3(0.1f, 0.2f, 0.3f), false, float2(0.0f)},
      {"negative unknown mode acts as constant", -5, false, false, float4(1.0f), Po, up,
       float3(0.1f, 0.2f, 0.3f), false, float2(0.0f)},
      {"uv", 1, false, false, grey, Po, up, float3(0.2f, 0.4f, 0.6f), true, float2(0.6f, 1.2f)},
      {"uv from alpha", 1, false, true, grey, Po, up, float3(0.8f), true, float2(0.6f, 1.2f)},
      // 1 - (0.2, 0.4, 0.6)
      {"uv inverted", 1, true, false, grey, Po, up, float3(0.8f, 0.6f, 0.4f), true,
       float2(0.6f, 1.2f)},
      {"planar", 2, false, false, grey, Po, up, float3(0.2f, 0.4f, 0.6f), true, float2(1.3f, 2.4f)},
      // p.z = 1.25 + 0.25 = 1.5: outside the slab, see-through although the texel is black.
      {"planar outside the slab", 2, false, false, float4(0.0f, 0.0f, 0.0f, 1.0f),
       float3(0.3f, 0.4f, 1.25f), up, float3(1.0f), true, float2(1.3f, 2.4f)},
      // p.z = -1.25 + 0.25 = -1: on the slab's face, still inside.
      {"planar on the slab face", 2, false, false, grey, float3(0.3f, 0.4f, -1.25f), up,
       float3(0.2f, 0.4f, 0.6f), true, float2(1.3f, 2.4f)},
      // Inverted white is black: not exactly (1, 1, 1), so the slab rule still applies.
      {"planar inverted outside the slab", 2, true, false, float4(1.0f), float3(0.3f, 0.4f, 1.25f),
       up, float3(1.0f), true, float2(1.3f, 2.4f)},
      {"box x face", 3, false, false, grey, Po, float3(-1.0f, 0.0f, 0.0f), float3(0.2f, 0.4f, 0.6f),
       true, float2(0.75f, 2.4f)},
      {"box y face", 3, false, false, grey, Po, float3(0.0f, 1.0f, 0.0f), float3(0.2f, 0.4f, 0.6f),
       true, float2(1.3f, 0.75f)},
      {"box z face", 3, false, false, grey, Po, up, float3(0.2f, 0.4f, 0.6f), true,
       float2(1.3f, 2.4f)},
      // Ties: |x| = |y| > |z| goes to x; |y| = |z| > |x| goes to y; all equal goes to z.
      {"box tie x y", 3, false, false, grey, Po, float3(1.0f, 1.0f, 0.0f), float3(0.2f, 0.4f, 0.6f),
       true, float2(0.75f, 2.4f)},
      {"box tie y z", 3, false, false, grey, Po, float3(0.0f, 1.0f, 1.0f), float3(0.2f, 0.4f, 0.6f),
       true, float2(1.3f, 0.75f)},
      {"box tie all", 3, false, false, grey, Po, float3(1.0f, 1.0f, 1.0f), float3(0.2f, 0.4f, 0.6f),
       true, float2(1.3f, 2.4f)},
      // p = (0.5, 1.5, 0.7): atan2(0, 1) = 0, s = (0 + 0.5) * 2 = 1.
      {"cylindrical along +y", 4, false, false, grey, float3(-0.5f, -0.5f, 0.45f), up,
       float3(0.2f, 0.4f, 0.6f), true, float2(1.0f, 0.7f)},
      // p = (1.5, 0.5, 0.2): atan2(1, 0) = pi/2, s = (0.25 + 0.5) * 2 = 1.5.
      {"cylindrical along +x", 4, false, false, grey, float3(0.5f, -1.5f, -0.05f), up,
       float3(0.2f, 0.4f, 0.6f), true, float2(1.5f, 0.2f)},
  };
  for (const MaskingCase& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingTexture2D texture;
    texture.value = c.texel;
    PrologueTestParameters params;
    params.maskingMode = c.mode;
    params.maskingInvertTexture = c.invert;
    params.maskingFromAlpha = c.fromAlpha;
    params.maskingColor = float3(0.1f, 0.2f, 0.3f);
    params.maskingTexture.object = &texture;
    params.maskingTextureMatrix.m[12] = 1.0f;
    params.maskingTextureMatrix.m[13] = 2.0f;
    params.maskingTextureMatrix.m[14] = 0.25f;
    params.maskingUVMatrix = mat3{{2.0f, 0.0f, 0.0f, 0.0f, 2.0f, 0.0f, 0.1f, 0.2f, 1.0f}};
    params.maskingAngularRepeat = 2.0f;
    ShadingState state = cameraHit();
    state.Po = c.Po;
    state.No = c.No;
    writeVarying(&state, 24, float2(0.25f, 0.5f));

    EXPECT_TRUE(nearFloat3(maskingValue(params, state), c.expectedMask, 1e-6f));
    ASSERT_EQ(texture.sampleCount(), c.samples ? 1u : 0u);
    if (c.samples) {
      EXPECT_NEAR(texture.coordinates()[0].x, c.expectedCoordinate.x, 1e-6f);
      EXPECT_NEAR(texture.coordinates()[0].y, c.expectedCoordinate.y, 1e-6f);
    }
  }
}

TEST(Masking, ExplicitUvOffsetReadsThatVarying) {
  RecordingTexture2D texture;
  PrologueTestParameters params;
  params.maskingMode = kMaskingUV;
  params.maskingTexture.object = &texture;
  ShadingState state = cameraHit();
  writeVarying(&state, 48, float2(0.125f, 0.875f));
  maskingValue(params, state, 48);
  ASSERT_EQ(texture.sampleCount(), 1u);
  EXPECT_EQ(texture.coordinates()[0], float2(0.125f, 0.875f));
}

TEST(Masking, OnlyAnExactlyWhiteMaskDiscardsAndTheRestWeighs) {
  EXPECT_TRUE(discardsHit(float3(1.0f)));
  EXPECT_FALSE(discardsHit(float3(1.0f, 1.0f, 0.99999994f)));
  EXPECT_FALSE(discardsHit(float3(kNaN)));
  EXPECT_EQ(maskedWeight(float3(0.25f, 0.5f, 0.125f)), 0.5f);  // 1 - max
}

// ---- ambient occlusion -------------------------------------------------------------------

struct OcclusionCase {
  const char* name;
  bool precalc;
  int32_t mode;
  float factor;
  float3 occludedColor;
  float3 opacity;
  float weight;
  float3 I;
  float3 hostAnswer;
  float3 expected;
  bool queriesHost;
  float3 expectedQueryNormal;
  float expectedQueryWeight;
};

TEST(AmbientOcclusion, PrecomputedAndHostPathsFollowTheirFormulas) {
  const float3 down(0.0f, 0.0f, -1.0f);
  const float3 N(0.0f, 0.0f, 1.0f);
  const OcclusionCase cases[] = {
      // Vertex red 0.25: o = 0.75, result = black 0.75 + 0.25.
      {"vertex colour", true, 2, 1.0f, float3(0.0f), float3(0.0f), 1.0f, down, float3(0.0f),
       float3(0.25f), false, float3(0.0f), 0},
      // Texture red 0.4, f 0.5, k = 1 - 0.5: o = 0.6 * 0.5 * 0.5 = 0.15;
      // (1, 0, 0) 0.15 + 0.85 = (1, 0.85, 0.85).
      {"texture", true, 1, 0.5f, float3(1.0f, 0.0f, 0.0f), float3(0.5f, 0.2f, 0.0f), 1.0f, down,
       float3(0.0f), float3(1.0f, 0.85f, 0.85f), false, float3(0.0f), 0},
      // Host path, q = 0.5, f = k = w = 1: o = 0.5, (0.2, 0.4, 0) 0.5 + 0.5.
      {"precalc with mode 0 asks the host", true, 0, 1.0f, float3(0.2f, 0.4f, 0.0f), float3(0.0f),
       1.0f, down, float3(0.5f), float3(0.6f, 0.7f, 0.5f), true, N, 1.0f},
      {"precalc off asks the host", false, 2, 1.0f, float3(0.2f, 0.4f, 0.0f), float3(0.0f), 1.0f,
       down, float3(0.5f), float3(0.6f, 0.7f, 0.5f), true, N, 1.0f},
      {"unknown mode asks the host", true, 3, 1.0f, float3(0.2f, 0.4f, 0.0f), float3(0.0f), 1.0f,
       down, float3(0.5f), float3(0.6f, 0.7f, 0.5f), true, N, 1.0f},
      // k = 0.75, w' = 0.75 0.8 0.5 = 0.3; c = 0.5 + 0.5 q = (0.6, 0.8, 1);
      // o = (0.4, 0.2, 0) 0.75 = (0.3, 0.15, 0); black 0 + 1 - o.
      {"factor enters weight and mix", false, 0, 0.5f, float3(0.0f), float3(0.25f, 0.0f, 0.0f),
       0.8f, down, float3(0.2f, 0.6f, 1.0f), float3(0.7f, 0.85f, 1.0f), true, N, 0.3f},
      // A ray along the normal sees the back: faceForward gives -N.
      {"back side queries the flipped normal", false, 0, 1.0f, float3(0.0f), float3(0.0f), 1.0f,
       float3(0.0f, 0.0f, 1.0f), float3(1.0f), float3(1.0f), true, -N, 1.0f},
      // I perpendicular to Ng: faceForward gives the zero vector.
      {"grazing ray queries a zero normal", false, 0, 1.0f, float3(0.0f), float3(0.0f), 1.0f,
       float3(1.0f, 0.0f, 0.0f), float3(1.0f), float3(1.0f), true, float3(0.0f), 1.0f},
      // x = (1, 1, 1): k = 0, so o = 0 on both paths whatever the source says.
      {"transparent surface, host path", false, 0, 1.0f, float3(0.3f), float3(1.0f), 1.0f, down,
       float3(0.0f), float3(1.0f), true, N, 0.0f},
      {"transparent surface, vertex path", true, 2, 1.0f, float3(0.3f), float3(1.0f), 1.0f, down,
       float3(0.0f), float3(1.0f), false, float3(0.0f), 0},
  };
  for (const OcclusionCase& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingHost host;
    host.occlusionAnswer = c.hostAnswer;
    RecordingTexture2D aoTexture;
    aoTexture.value = float4(0.4f, 0.9f, 0.9f, 1.0f);
    PrologueTestParameters params;
    params.usePrecalcAO = c.precalc;
    params.ambientOcclusionMode = c.mode;
    params.ambientOcclusionFactor = c.factor;
    params.ambientOcclusionColor = c.occludedColor;
    params.ambientOcclusionTexture.object = &aoTexture;
    ShadingState state = cameraHit();
    state.P = float3(1.0f, 2.0f, 3.0f);
    state.I = c.I;
    writeVarying(&state, 0, float2(0.3f, 0.7f));
    writeVarying(&state, 8, float4(0.25f, 0.9f, 0.9f, 1.0f));

    const float3 term = ambientOcclusionTerm(params, &host, state, c.opacity, c.weight);
    EXPECT_TRUE(nearFloat3(term, c.expected, 1e-6f));
    ASSERT_EQ(host.count(slot::kOcclusion), c.queriesHost ? 1 : 0);
    EXPECT_EQ(host.calls().size(), c.queriesHost ? 1u : 0u);
    if (c.queriesHost) {
      const tarvo::host::HostCall& call = *host.first(slot::kOcclusion);
      EXPECT_EQ(call.vector(0), state.P);
      EXPECT_EQ(call.vector(1), c.expectedQueryNormal);
      EXPECT_NEAR(call.scalars[0], c.expectedQueryWeight, 1e-7f);
    }
    if (c.precalc && c.mode == 1) {
      ASSERT_EQ(aoTexture.sampleCount(), 1u);
      EXPECT_EQ(aoTexture.coordinates()[0], float2(0.3f, 0.7f));
    } else {
      EXPECT_EQ(aoTexture.sampleCount(), 0u);
    }
  }
}

TEST(AmbientOcclusion, ReadsTheVaryingsWhereTheBlockDeclaresThem) {
  // uv1 at 32 and vtxcolor at 40; the bytes at 0 and 8 hold decoys.
  RecordingHost host;
  PrologueShiftedParameters params;
  params.ambientOcclusionMode = kOcclusionFromVertexColor;
  ShadingState state = cameraHit();
  writeVarying(&state, 8, float4(0.9f));
  writeVarying(&state, 40, float4(0.75f, 0.0f, 0.0f, 1.0f));
  // o = 0.25: black 0.25 + 0.75.
  EXPECT_TRUE(
      nearFloat3(ambientOcclusionTerm(params, &host, state, float3(0.0f), 1.0f), float3(0.75f)));

  RecordingTexture2D texture;
  params.ambientOcclusionMode = kOcclusionFromTexture;
  params.ambientOcclusionTexture.object = &texture;
  writeVarying(&state, 0, float2(9.0f));
  writeVarying(&state, 32, float2(0.5f, 0.25f));
  ambientOcclusionTerm(params, &host, state, float3(0.0f), 1.0f);
  ASSERT_EQ(texture.sampleCount(), 1u);
  EXPECT_EQ(texture.coordinates()[0], float2(0.5f, 0.25f));
}

// ---- diffuse lighting ----------------------------------------------------------------------

TEST(DiffuseLighting, SumsAmbientAndIndirectThenOccludesThenTints) {
  struct Case {
    const char* name;
    bool aoDisabled;
    float3 albedo;
    float3 ambient;
    float3 indirect;
    float3 expected;
    std::vector<int> slots;
  };
  const std::vector<int> all = {slot::kAmbientLight, slot::kIndirectDiffuse, slot::kOcclusion};
  const std::vector<int> noOcclusion = {slot::kAmbientLight, slot::kIndirectDiffuse};
  const Case cases[] = {
      // s = (0.4, 0.4, 0.4) times q (0.5, 1, 0.25) = (0.2, 0.4, 0.1), times the albedo.
      {"occluded", false, float3(0.5f, 0.25f, 0.1f), float3(0.1f, 0.2f, 0.3f),
       float3(0.3f, 0.2f, 0.1f), float3(0.1f, 0.1f, 0.01f), all},
      {"occlusion disabled", true, float3(0.5f, 0.25f, 0.1f), float3(0.1f, 0.2f, 0.3f),
       float3(0.3f, 0.2f, 0.1f), float3(0.2f, 0.1f, 0.04f), noOcclusion},
      {"black light skips the occlusion query", false, float3(0.5f), float3(0.0f), float3(0.0f),
       float3(0.0f), noOcclusion},
      {"black albedo asks nothing", false, float3(0.0f), float3(1.0f), float3(1.0f), float3(0.0f),
       std::vector<int>()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingHost host;
    host.ambientAnswer = c.ambient;
    host.indirectDiffuseAnswer = c.indirect;
    host.occlusionAnswer = float3(0.5f, 1.0f, 0.25f);
    PrologueTestParameters params;
    params.CaldrinAODisable = c.aoDisabled;
    const float3 point(1.0f, 2.0f, 3.0f), normal(0.0f, 1.0f, 0.0f);
    EXPECT_TRUE(nearFloat3(diffuseLightingWithOcclusion(params, &host, c.albedo, point, normal),
                           c.expected));
    ASSERT_EQ(host.calls().size(), c.slots.size());
    for (size_t i = 0; i < c.slots.size(); ++i) {
      const tarvo::host::HostCall& call = host.calls()[i];
      EXPECT_EQ(call.slot, c.slots[i]);
      EXPECT_EQ(call.vector(0), point);
      EXPECT_EQ(call.vector(1), normal);
      if (call.scalarCount > 0) {
        EXPECT_EQ(call.scalars[0], maxComponent(c.albedo));
      }
    }
  }
}

// ---- clipping ------------------------------------------------------------------------------

TEST(Clipping, PlanesClipOnOrBehindAndTheCountIsBounded) {
  struct Case {
    const char* name;
    bool enabled;
    std::vector<float4> texels;  // empty: unbound map
    float3 P;
    bool clipped;
    size_t samples;
  };
  const float3 hit(1.0f, 2.0f, 3.0f);
  const float4 keepsHit(1.0f, 0.0f, 0.0f, 5.0f);   // 1 <= -5 is false
  const float4 clipsHit(0.0f, 1.0f, 0.0f, -3.0f);  // 2 <= 3
  const Case cases[] = {
      {"disabled", false, tarvo::host::clippingPlaneTexels({clipsHit}), hit, false, 0},
      {"unbound map reads a count of 0", true, {}, hit, false, 0},
      {"count 0 clips nothing", true, {float4(0.0f, 0.0f, 0.0f, 1.0f), clipsHit}, hit, false, 1},
      {"count below 1", true, {float4(0.5f, 0.0f, 0.0f, 1.0f), clipsHit}, hit, false, 1},
      {"NaN count", true, {float4(kNaN, 0.0f, 0.0f, 1.0f), clipsHit}, hit, false, 1},
      {"plane through the point clips it", true,
       tarvo::host::clippingPlaneTexels({float4(0.0f, 0.0f, 1.0f, 0.0f)}), float3(0.0f), true, 2},
      {"point just in front survives", true,
       tarvo::host::clippingPlaneTexels({float4(0.0f, 0.0f, 1.0f, 0.0f)}),
       float3(0.0f, 0.0f, 0.001f), false, 2},
      {"second plane clips, loop stops", true,
       tarvo::host::clippingPlaneTexels({keepsHit, clipsHit, clipsHit}), hit, true, 3},
      {"all planes passed", true, tarvo::host::clippingPlaneTexels({keepsHit, keepsHit}), hit,
       false, 3},
      {"NaN plane does not clip", true, tarvo::host::clippingPlaneTexels({float4(kNaN)}), hit,
       false, 2},
      // Texel 0 doubles as every plane here: 1e9 * 1 <= -1 is false.
      {"huge count stops at the ceiling",
       true,
       {float4(1e9f, 0.0f, 0.0f, 1.0f)},
       hit,
       false,
       1 + kMaxClippingPlanes},
      {"infinite count stops at the ceiling",
       true,
       {float4(kInf, 0.0f, 0.0f, 1.0f)},
       hit,
       false,
       1 + kMaxClippingPlanes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingTexture1D map;
    map.texels = c.texels;
    PrologueTestParameters params;
    params.u_globalClippingMapEnable = c.enabled;
    if (!c.texels.empty()) params.u_globalClippingMap.object = &map;
    ShadingState state = cameraHit();
    state.P = c.P;
    EXPECT_EQ(clippedByGlobalPlanes(params, state), c.clipped);
    EXPECT_EQ(map.sampleCount(), c.samples);
  }
}

TEST(Clipping, PlanesAreSampledAtTexelCentresOfAFractionalCount) {
  // n = 2.5: planes i = 1 and 2 at (i + 0.5) / 3.5; texel 0 at 0.
  RecordingTexture1D map;
  map.value = float4(2.5f, 0.0f, 0.0f, 1.0f);  // also read as the planes: 2.5 x <= -1 fails
  PrologueTestParameters params;
  params.u_globalClippingMapEnable = true;
  params.u_globalClippingMap.object = &map;
  ShadingState state = cameraHit();
  state.P = float3(1.0f, 0.0f, 0.0f);
  EXPECT_FALSE(clippedByGlobalPlanes(params, state));
  ASSERT_EQ(map.coordinates().size(), 3u);
  EXPECT_EQ(map.coordinates()[0], 0.0f);
  EXPECT_FLOAT_EQ(map.coordinates()[1], 1.5f / 3.5f);
  EXPECT_FLOAT_EQ(map.coordinates()[2], 2.5f / 3.5f);
}

TEST(Clipping, ClassesWithTheMapIgnoreClippedHitsWhenPathTracing) {
  // A hit on the plane z = 0 is clipped (the test is strict); the see-through classes discard
  // it in shade too, the others still shade it.
  RecordingTexture1D planes;
  planes.texels = tarvo::host::clippingPlaneTexels({float4(0.0f, 0.0f, 1.0f, 0.0f)});
  const std::set<std::string> discardInShade = {"quarra_Mtl_Dielectric", "quarra_Mtl_Glazing"};
  int classes = 0;
  for (const CatalogueEntry& entry : kCatalogue) {
    tarvo::host::BoundShader m = tarvo::test::makeShader(entry.className);
    if (m.table().find("u_globalClippingMapEnable") == nullptr) continue;
    SCOPED_TRACE(entry.className);
    ++classes;
    m.set("u_globalClippingMapEnable", true);
    m.set("u_globalClippingMap", static_cast<ITexture1D*>(&planes));
    RecordingHost host;
    for (int entrySlot : {shader_slot::kShade, shader_slot::kEvaluate, shader_slot::kScatter}) {
      ShadingState state = tarvo::test::framedHit();
      tarvo::test::callSlot<void>(m.get(), entrySlot, static_cast<IHostContext*>(&host), &state);
      const bool discards =
          entrySlot != shader_slot::kShade || discardInShade.count(entry.className) != 0;
      EXPECT_EQ(state.ignoreHit, discards ? 1 : 0) << "slot " << entrySlot;
    }
  }
  EXPECT_EQ(classes, 6);
}

// ---- composition ---------------------------------------------------------------------------

TEST(Composition, SumsInOrderTintsAndSetsAlphaToOne) {
  // In order, 1e8 + 1 rounds back to 1e8 and the last term cancels it: red 0. Any other
  // order would leave 1.
  const float4 terms[] = {float4(1e8f, 0.1f, 0.0f, 0.5f), float4(1.0f, 0.2f, 0.0f, 0.5f),
                          float4(-1e8f, 0.3f, 0.5f, 0.5f)};
  EXPECT_TRUE(
      nearFloat4(composeTerms(terms, false, float4(9.0f)), float4(0.0f, 0.6f, 0.5f, 1.0f), 1e-6f));
  // Tint (0.5, 2, 4, 0): (0, 1.2, 2), alpha still 1.
  EXPECT_TRUE(nearFloat4(composeTerms(terms, true, float4(0.5f, 2.0f, 4.0f, 0.0f)),
                         float4(0.0f, 1.2f, 2.0f, 1.0f), 1e-6f));
}

TEST(Composition, PartialMasksBlendWithWhatLiesBehind) {
  const float4 composed(0.8f, 0.6f, 0.4f, 1.0f);
  {
    RecordingHost host;
    ShadingState state = cameraHit();
    writeMaskedColor(&host, &state, composed, float3(0.0f));
    EXPECT_EQ(state.Ci, composed);
    EXPECT_TRUE(host.calls().empty());
  }
  {
    // mask (0.5, 0, 1): red halfway, green the surface, blue what lies behind; alpha behind's.
    RecordingHost host;
    host.traceContinueAnswer = float4(0.2f, 0.4f, 0.6f, 0.3f);
    ShadingState state = cameraHit();
    state.P = float3(1.0f, 2.0f, 3.0f);
    writeMaskedColor(&host, &state, composed, float3(0.5f, 0.0f, 1.0f));
    EXPECT_TRUE(nearFloat4(state.Ci, float4(0.5f, 0.6f, 0.6f, 0.3f)));
    ASSERT_EQ(host.calls().size(), 1u);
    const tarvo::host::HostCall& call = host.calls()[0];
    EXPECT_EQ(call.slot, slot::kTraceContinue);
    EXPECT_EQ(call.vector(0), state.P);
    EXPECT_EQ(call.vector(1), state.I);
    EXPECT_EQ(call.scalars[0], 1.0f);
  }
}

// ---- light lists ---------------------------------------------------------------------------

TEST(LightSamples, WalkTheChainInOrderAndStopOnALoop) {
  LightSample records[3] = {};
  records[0].weight = 1.0f;
  records[1].weight = 2.0f;
  records[2].weight = 3.0f;
  records[0].next = &records[1];
  records[1].next = &records[2];
  std::vector<float> seen;
  forEachLightSample(records, [&](const LightSample& s) { seen.push_back(s.weight); });
  EXPECT_EQ(seen, (std::vector<float>{1.0f, 2.0f, 3.0f}));

  records[2].next = &records[0];  // a host bug: the chain loops
  int visits = 0;
  forEachLightSample(records, [&](const LightSample&) { ++visits; });
  EXPECT_EQ(visits, kMaxLightSamples);
  forEachLightSample(nullptr, [&](const LightSample&) { ++visits; });
  EXPECT_EQ(visits, kMaxLightSamples);
}

}  // namespace
}  // namespace pvx

// The side tests evaluate and scatter make before building any frame (against the state's own
// normal, when no normal map or bump bends it) must give what the built frame gives: the same
// lit directions and the same random draws.
#include <gtest/gtest.h>

#include <vector>

#include "tests/support/test_support.h"

namespace {

using pvx::float2;
using pvx::float3;
using pvx::float4;
using tarvo::host::BoundShader;
using tarvo::host::HostCall;
using tarvo::host::RecordingHost;
using tarvo::host::RecordingTexture2D;
using tarvo::test::writeVarying;

constexpr int kTangentOffset = 36;
constexpr int kUVOffset = 48;

// A camera hit with a tangent along x, so the unbent frame is the world's axes.
pvx::ShadingState hit() {
  pvx::ShadingState s = tarvo::test::cameraHit();
  writeVarying(&s, kTangentOffset, float3(1.0f, 0.0f, 0.0f));
  writeVarying(&s, kUVOffset, float2(0.5f, 0.5f));
  return s;
}

TEST(WardEvaluate, ABentNormalLightsDirectionsBelowTheStatesNormal) {
  // Second normal map texel red 0.3 at strength 1: N1 = normalize(0.999, 0, 1) =
  // (0.7067530, 0, 0.7074604). o = normalize(0.8, 0, -0.05) = (0.9980526, 0, -0.0623783) lies
  // below the state's N = +z but above N1: o.N1 = 0.6612464, the cosine the bump reports.
  RecordingTexture2D normals;
  normals.value = float4(0.3f, 0.0f, 1.0f, 1.0f);
  BoundShader m = tarvo::test::makeShader("quarra_Mtl_Ward");
  m.set("u_normal1MapEnable", true);
  m.set("u_normal1Map", static_cast<pvx::ITexture2D*>(&normals));
  m.set("u_normal1Amount", 1.0f);
  m.set("u_roughValue", 0.5f);
  m.set("u_cosineUsesBump", true);
  pvx::ShadingState s = hit();
  s.scatterDir = float3(0.9980526f, 0.0f, -0.0623783f);
  RecordingHost host;
  m.material()->evaluate(&host, &s);
  EXPECT_NEAR(s.scatterCos, 0.6612464f, 2e-6f);
  EXPECT_GT(s.scatterWeight.x, 0.0f);
}

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
    BoundShader m = tarvo::test::makeShader("quarra_Mtl_Ward");
    m.set("u_roughValue", 0.3f);
    if (c.normalMap) {
      m.set("u_normal0MapEnable", true);
      m.set("u_normal0Map", static_cast<pvx::ITexture2D*>(&flat));
      m.set("u_normal0Amount", 1.0f);
    }
    pvx::ShadingState s = hit();
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
    std::vector<int> slots;
    for (const HostCall& call : host.calls())
      slots.push_back(call.slot);
    EXPECT_EQ(slots, c.draws);
  }
}

}  // namespace

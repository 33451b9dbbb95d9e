// quarra_Mtl_Mirror through its exported factory: its declarations, the reflectance curve and the
// traced reflection of `shade`, and the mirror bounce of `scatter`, whose path throughput
// (weight x cosine x inverse density) is the tint.
#include <gtest/gtest.h>

#include <cmath>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

TEST(MirrorShade, ReflectsTheTracedColourTimesTintAndReflectance) {
  // F = 0.92 + 0.08 (1 - cos)^5: head-on 0.92; at 60 degrees 0.92 + 0.08 / 32 = 0.9225.
  struct Case {
    float degrees, reflectance;
  };
  const Case cases[] = {{0.0f, 0.92f}, {60.0f, 0.9225f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.degrees);
    BoundShader m = makeShader("quarra_Mtl_Mirror");
    m.set("u_tintColor", float3(1.0f, 0.5f, 0.25f));
    RecordingHost host;
    host.traceSpecularAnswer = float3(0.5f, 1.0f, 2.0f);
    pvx::ShadingState s = cameraHitAt(c.degrees);
    m.material()->shade(&host, &s);
    ASSERT_EQ(host.calls().size(), 1u);  // the one trace: no lights, no indirect light
    const host::HostCall& trace = host.calls()[0];
    EXPECT_EQ(trace.slot, slot::kTraceSpecular);
    EXPECT_TRUE(nearFloat3(trace.vector(1), float3(s.I.x, 0.0f, -s.I.z)));  // mirrored I
    EXPECT_NEAR(trace.scalars[0], c.reflectance, 1e-6f);                    // max(tint x F)
    const float F = c.reflectance;
    EXPECT_TRUE(nearFloat4(s.Ci, float4(0.5f * F, 0.5f * F, 0.5f * F, 1.0f)));
  }
}

TEST(MirrorShade, DefaultTintIsBlackAndTracesWithWeightZero) {
  BoundShader m = makeShader("quarra_Mtl_Mirror");
  RecordingHost host;
  host.traceSpecularAnswer = float3(1.0f);
  pvx::ShadingState s = cameraHitAt(30.0f);
  m.material()->shade(&host, &s);
  ASSERT_NE(host.first(slot::kTraceSpecular), nullptr);
  EXPECT_EQ(host.first(slot::kTraceSpecular)->scalars[0], 0.0f);
  EXPECT_TRUE(nearFloat4(s.Ci, float4(0.0f, 0.0f, 0.0f, 1.0f)));
}

TEST(MirrorShade, ReflectionThatWouldDipBelowTheSurfaceIsLifted) {
  // A shading normal leaning 15 degrees along the ray: the plain mirror direction of a ray at
  // 70 degrees is I + 0.174 N = (0.985, 0, -0.174), below the geometric surface; the traced
  // one leaves 0.05 above it.
  BoundShader m = makeShader("quarra_Mtl_Mirror");
  m.set("u_tintColor", float3(1.0f));
  RecordingHost host;
  pvx::ShadingState s = cameraHitAt(70.0f);
  s.N = float3(0.2588190f, 0.0f, 0.9659258f);
  m.material()->shade(&host, &s);
  const float3 R = host.first(slot::kTraceSpecular)->vector(1);
  EXPECT_NEAR(R.z, 0.05f, 1e-5f);
  EXPECT_NEAR(pvx::length(R), 1.0f, 1e-5f);
}

TEST(MirrorScatter, PathThroughputIsTheTint) {
  const float3 tint(0.9f, 0.6f, 0.3f);
  for (float degrees : {0.0f, 30.0f, 60.0f, 85.0f, 89.9f}) {
    SCOPED_TRACE(degrees);
    BoundShader m = makeShader("quarra_Mtl_Mirror");
    m.set("u_tintColor", tint);
    RecordingHost host;
    pvx::ShadingState s = cameraHitAt(degrees);
    m.material()->scatter(&host, &s);
    ASSERT_EQ(s.scatterKind, pvx::kRayGlossy);
    EXPECT_TRUE(nearFloat3(s.scatterDir, float3(s.I.x, 0.0f, -s.I.z)));
    EXPECT_NEAR(s.scatterCos, -s.I.z, 1e-7f);
    EXPECT_EQ(s.scatterInvPdf, 1.0f);
    EXPECT_TRUE(nearFloat3(s.scatterWeight * (s.scatterCos * s.scatterInvPdf), tint, 1e-5f));
    EXPECT_TRUE(host.calls().empty());
  }
}

TEST(MirrorScatter, EndsThePathWhenTheBounceIsNotAllowedOrGrazing) {
  struct Case {
    const char* what;
    float degrees;
    bool allowSpecular;
  };
  const Case cases[] = {{"specular reflection not allowed", 30.0f, false},
                        {"grazing: c = 0", 90.0f, true},
                        {"from behind", 120.0f, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoundShader m = makeShader("quarra_Mtl_Mirror");
    m.set("u_tintColor", float3(1.0f));
    RecordingHost host;
    pvx::ShadingState s = cameraHitAt(c.degrees);
    s.I.z = c.degrees == 90.0f ? 0.0f : s.I.z;
    s.allowScatter[pvx::kAllowSpecularReflection] = c.allowSpecular ? 1 : 0;
    s.scatterWeight = float3(7.0f);
    m.material()->scatter(&host, &s);
    EXPECT_EQ(s.scatterKind, pvx::kRayNone);
    EXPECT_EQ(s.scatterWeight, float3(7.0f));  // nothing else written
    EXPECT_EQ(s.ignoreHit, 0);
  }
}

}  // namespace
}  // namespace tarvo::test

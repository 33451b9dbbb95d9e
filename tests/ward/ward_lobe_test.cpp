// The Ward lobe, its sampling, and the directions of traced rays, against values worked out by
// hand from their formulas.
#include <gtest/gtest.h>

#include <cmath>

#include "shadinglib/ray_directions.h"
#include "shadinglib/ward_lobe.h"
#include "tests/support/test_support.h"

namespace pvx {
namespace {

using tarvo::test::nearFloat3;

TEST(WardLobe, ValueFollowsTheExponentialOverTheCosines) {
  // h = o - i = (0.6, 0, 1.8): e = exp(-(0.6 / 0.5)^2 / 1.8^2) = 0.6411804;
  // e / (4 pi 0.5 0.25 sqrt(1 * 0.8)) = 0.4563682, plus dc / pi.
  const float3 i(0.0f, 0.0f, -1.0f), o(0.6f, 0.0f, 0.8f);
  const float3 v =
      wardLobe(i, o, {0.5f, 0.25f}, float3(1.0f, 0.0f, 0.0f), float3(1.0f, 2.0f, 0.0f));
  EXPECT_NEAR(v.x, 0.3183099f + 0.4563682f, 2e-6f);
  EXPECT_NEAR(v.y, 2.0f * 0.4563682f, 2e-6f);
  EXPECT_EQ(v.z, 0.0f);
  // Oblique and across the axes: i = (0.6, 0, -0.8), o = (0, 0.6, 0.8), h = (-0.6, 0.6, 1.6):
  // e = exp(-(4 + 4) / 2.56) = 0.0439369; / (4 pi 0.09 0.8) = 0.0485610.
  EXPECT_NEAR(wardLobe(float3(0.6f, 0.0f, -0.8f), float3(0.0f, 0.6f, 0.8f), {0.3f, 0.3f},
                       float3(0.0f), float3(1.0f))
                  .x,
              0.0485610f, 1e-6f);
}

TEST(WardLobe, IsotropicLobeNeedsNoTangentFrame) {
  // The frame of the cases above turned about x (cos 0.6, sin 0.8): N = (0, -0.8, 0.6).
  const float3 N(0.0f, -0.8f, 0.6f);
  struct Case {
    const char* what;
    float3 I, o;
    float a;
    float expected, tolerance;
  };
  const Case cases[] = {
      // i = (0.6, 0, -0.8), o = (0, 0.6, 0.8) turned: 0.0485610 as above.
      {"oblique", float3(0.6f, 0.64f, -0.48f), float3(0.0f, -0.28f, 0.96f), 0.3f, 0.0485610f,
       1e-6f},
      // Head-on, o 0.005 off the mirror direction: o = (0.005, 0, z), z = sqrt(1 - 0.005^2) =
      // 0.9999875; spread (0.005 / 0.01)^2 = 0.25 over h.z^2 = (1 + z)^2 = 3.99995;
      // exp(-0.0625016) / (4 pi 0.0001 sqrt(z)) = 747.5653. Taking the spread as
      // |h|^2 - h.z^2 would lose about 0.07 % of it to cancellation here.
      {"near the peak", float3(0.0f, 0.8f, -0.6f), float3(0.005f, -0.79999f, 0.5999925f), 0.01f,
       747.5653f, 0.01f},
      {"below the surface", float3(0.0f, 0.8f, -0.6f), float3(0.0f, 0.8f, -0.6f), 0.3f, 0.0f, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const float3 v = isotropicWardLobe(c.I, c.o, N, dot(c.I, N), dot(c.o, N), {c.a, c.a},
                                       float3(0.0f), float3(1.0f, 0.0f, 2.0f));
    EXPECT_NEAR(v.x, c.expected, c.tolerance);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_NEAR(v.z, 2.0f * c.expected, 2.0f * c.tolerance);
  }
}

TEST(WardLobe, GuardsGiveZeroOrDiffuseOnly) {
  const float3 dc(1.0f, 0.5f, 0.0f), gc(1.0f);
  const float3 diffuseOnly = dc * 0.3183099f;
  struct Case {
    const char* what;
    float3 i, o;
    float ax, ay;
    float3 expected;  // NaN x: "more than the diffuse part"
  };
  const float more = NAN;
  const Case cases[] = {
      {"incidence within 1e-4 of the surface", float3(1.0f, 0.0f, -0.00009f),
       float3(0.0f, 0.0f, 1.0f), 0.3f, 0.3f, float3(0.0f)},
      {"incidence exactly 1e-4 from the surface is kept", float3(1.0f, 0.0f, -0.0001f),
       float3(-0.6f, 0.0f, 0.8f), 0.9f, 0.9f, float3(more)},
      {"outgoing in the surface", float3(0.0f, 0.0f, -1.0f), float3(1.0f, 0.0f, 0.0f), 0.3f, 0.3f,
       float3(0.0f)},
      {"outgoing below", float3(0.0f, 0.0f, -1.0f), float3(0.6f, 0.0f, -0.8f), 0.3f, 0.3f,
       float3(0.0f)},
      {"incoming from below", float3(0.0f, 0.0f, 1.0f), float3(0.0f, 0.0f, 1.0f), 0.3f, 0.3f,
       float3(0.0f)},
      {"exponential at most 1e-6", float3(0.0f, 0.0f, -1.0f), float3(0.8f, 0.0f, 0.6f), 0.05f,
       0.05f, diffuseOnly},  // exp(-(16^2) / 1.6^2) = exp(-100)
      {"zero roughness", float3(0.0f, 0.0f, -1.0f), float3(0.0f, 0.0f, 1.0f), 0.0f, 0.3f,
       diffuseOnly},
  };
  for (const Case& c : cases) {
    const float3 v = wardLobe(c.i, c.o, {c.ax, c.ay}, dc, gc);
    if (std::isnan(c.expected.x)) {
      EXPECT_GT(v.x, diffuseOnly.x) << c.what;
    } else {
      EXPECT_EQ(v, c.expected) << c.what;
    }
  }
}

TEST(WardLobe, IsSymmetricInItsTwoDirections) {
  // f(i, o) = f(-o, -i): swapping the directions keeps h = o - i and the product of cosines.
  const float3 directions[] = {normalize(float3(0.3f, -0.2f, 0.9f)),
                               normalize(float3(-0.7f, 0.1f, 0.4f)),
                               normalize(float3(0.1f, 0.8f, 0.2f)), float3(0.0f, 0.0f, 1.0f)};
  for (const float3& a : directions) {
    for (const float3& b : directions) {
      const float3 i = -a;  // arriving along -a, leaving along b
      const float3 forward = wardLobe(i, b, {0.2f, 0.45f}, float3(0.5f), float3(1.0f));
      const float3 backward = wardLobe(-b, -i, {0.2f, 0.45f}, float3(0.5f), float3(1.0f));
      EXPECT_NEAR(forward.x, backward.x, 1e-5f * forward.x);
    }
  }
}

TEST(WardSampling, FixedNumbersGiveTheHandComputedDirection) {
  struct Case {
    float3 i;
    float ax, ay;
    float u1, u2;
    float3 o;
    float value, density;
  };
  // Isotropic, u1 = 1/8: phi = pi/4; tan^2 theta = ln 2 / (0.5/0.25 + 0.5/0.25) = 0.1732868,
  // h = (0.2717476, 0.2717476, 0.9232045), o = i + 2 cos(theta) h; value = 0.5 / (pi sqrt(o.z)),
  // density = 0.5 / (4 pi 0.25 cos^4 theta).
  // Anisotropic ones: tan(phi) = sin(2 pi u1) ay / (cos(2 pi u1) ax), the signs of the sine and
  // cosine kept, then the same steps.
  const Case cases[] = {
      {float3(0.0f, 0.0f, -1.0f), 0.5f, 0.5f, 0.125f, 0.5f,
       float3(0.5017571f, 0.5017571f, 0.7046131f), 0.1896028f, 0.2190930f},
      {float3(0.6f, 0.0f, -0.8f), 0.2f, 0.4f, 0.1f, 0.3f,
       float3(0.7393579f, 0.2024988f, 0.6421403f), 0.9714898f, 0.9937085f},
      {float3(0.0f, 0.0f, -1.0f), 0.2f, 0.4f, 0.6f, 0.75f,
       float3(-0.3423569f, -0.4974736f, 0.7970645f), 0.2785438f, 0.3080157f},
  };
  for (const Case& c : cases) {
    const LobeSample s = sampleWard(c.i, {c.ax, c.ay}, float3(0.0f), float3(1.0f), c.u1, c.u2);
    EXPECT_TRUE(nearFloat3(s.o, c.o, 2e-6f));
    EXPECT_NEAR(s.value.x, c.value, 2e-6f);
    EXPECT_NEAR(s.density, c.density, 2e-6f);
    // The density a draw reports is the density of landing there.
    EXPECT_NEAR(wardDensity(c.i, s.o, {c.ax, c.ay}), s.density, 1e-5f * s.density);
  }
}

TEST(WardSampling, DrawsBelowTheSurfaceFail) {
  // Grazing at 85 degrees, h tipped towards the ray (u1 = 0) and steep (u2 = 0.9): i.h > 0, so
  // the mirror direction points down.
  const float3 i(0.9961947f, 0.0f, -0.0871557f);
  const LobeSample s = sampleWard(i, {0.5f, 0.5f}, float3(1.0f), float3(1.0f), 0.0f, 0.9f);
  EXPECT_LT(s.o.z, 0.0f);
  EXPECT_EQ(s.density, -1.0f);
  EXPECT_EQ(s.value, float3(0.0f));
  EXPECT_EQ(sampleWard(i, {0.0f, 0.5f}, float3(1.0f), float3(1.0f), 0.3f, 0.3f).density, -1.0f);
}

TEST(WardSampling, ConcentricDiskKeepsDirectionsAboveTheSurface) {
  struct Case {
    float u, v;
    float3 expected;
  };
  const Case cases[] = {
      {0.5f, 0.5f, float3(0.0f, 0.0f, 1.0f)},          // centre
      {0.75f, 0.5f, float3(0.5f, 0.0f, 0.8660254f)},   // (a, b) = (0.5, 0): r 0.5, angle 0
      {0.25f, 0.5f, float3(-0.5f, 0.0f, 0.8660254f)},  // r -0.5: the other half
      {0.5f, 0.75f, float3(0.0f, 0.5f, 0.8660254f)},   // b dominates: angle pi/2
      {0.0f, 0.5f, float3(-1.0f, 0.0f, 0.0014142f)},   // rim: radius 1 - 1e-6, z ~ sqrt(2e-6)
  };
  for (const Case& c : cases) {
    const float3 d = cosineHemisphere(c.u, c.v);
    EXPECT_TRUE(nearFloat3(d, c.expected, 2e-5f)) << c.u << ", " << c.v;
    EXPECT_GT(d.z, 0.0f);
  }
}

TEST(WardLobe, ReflectivityCurve) {
  struct Case {
    float cosine, r0, r90, power, expected;
  };
  const Case cases[] = {
      {0.3f, 0.1f, 1.0f, 0.0f, 1.0f},  // power 0: r90 at every angle
      {1.0f, 0.1f, 0.7f, 0.0f, 0.7f},
      {0.5f, 0.04f, 1.0f, 5.0f, 0.07f},  // 0.04 + 0.96 / 32
      {1.0f, 0.04f, 1.0f, 5.0f, 0.04f},
      {-0.5f, 0.04f, 1.0f, 5.0f, 1.0f},  // a negative cosine counts as 0
      {0.5f, 2.0f, 2.0f, 1.0f, 1.0f},    // limited to [0, 1]
      {0.0f, 0.5f, -1.0f, 1.0f, 0.0f},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(reflectivityCurve(c.cosine, c.r0, c.r90, c.power), c.expected, 1e-6f);
  }
}

TEST(RayDirections, ReflectionIsLiftedAboveTheGeometricHorizon) {
  const float3 I(0.8f, 0.0f, -0.6f), N(0.0f, 0.0f, 1.0f);
  // Clear of the horizon: the mirror direction.
  EXPECT_TRUE(nearFloat3(horizonClampedReflection(I, N, N), float3(0.8f, 0.0f, 0.6f)));
  // Ng = (-0.6, 0, 0.8) puts the mirror direction in the geometric plane. The unit vectors of the
  // xz-plane with R.Ng = 0.05 sit at angles atan2(0.6, 0.8) + asin(0.05) and its opposite; the
  // one with the larger N coefficient is (cos, 0, sin) of 0.6935332 rad.
  const float3 lifted = horizonClampedReflection(I, N, float3(-0.6f, 0.0f, 0.8f));
  EXPECT_TRUE(nearFloat3(lifted, float3(0.7689994f, 0.0f, 0.6392495f), 2e-6f));
  EXPECT_NEAR(dot(lifted, float3(-0.6f, 0.0f, 0.8f)), 0.05f, 1e-6f);
  // Ng perpendicular to the plane of I and N: no such vector, N is used.
  EXPECT_EQ(horizonClampedReflection(I, N, float3(0.0f, 1.0f, 0.0f)), N);
}

TEST(RayDirections, RefractionRatioOnBothSides) {
  ShadingState s = tarvo::test::cameraHit();
  s.outsideIor = 1.0f;
  s.mediumIor = 1.2f;
  s.frontFacing = 1;
  const IndexRatio entering = indexRatio(s, 1.5f);
  EXPECT_FLOAT_EQ(entering.eta, 1.0f / 1.5f);
  EXPECT_EQ(entering.transmittedIor, 1.5f);
  s.frontFacing = 0;
  const IndexRatio leaving = indexRatio(s, 1.5f);
  EXPECT_FLOAT_EQ(leaving.eta, 1.5f / 1.2f);
  EXPECT_EQ(leaving.transmittedIor, 1.2f);

  // 45 degrees: c = 0.7071068, k = (c^2 - 1) eta^2 + 1, T = eta I + (eta c - sqrt(k)) N.
  const float3 I(0.7071068f, 0.0f, -0.7071068f), N(0.0f, 0.0f, 1.0f);
  EXPECT_TRUE(nearFloat3(refractedDirection(I, N, 1.0f / 1.5f),
                         float3(0.4714045f, 0.0f, -0.8819171f)));  // k = 0.7777778
  EXPECT_TRUE(nearFloat3(refractedDirection(I, N, 1.25f),
                         float3(0.8838835f, 0.0f, -0.4677072f)));  // k = 0.21875
  // 60 degrees leaving at 1.25: k = (0.25 - 1) 1.5625 + 1 < 0, total internal reflection.
  EXPECT_EQ(refractedDirection(float3(0.8660254f, 0.0f, -0.5f), N, 1.25f), float3(0.0f));
}

}  // namespace
}  // namespace pvx

// The rough-interface pieces of the glass-like materials, against values worked out by hand, and
// the physics they must keep: a normalised distribution, reciprocity, total internal reflection
// exactly past the critical angle, base-10 absorption.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "shadinglib/absorption.h"
#include "shadinglib/microfacet.h"
#include "shadinglib/ray_directions.h"

namespace pvx {
namespace {

constexpr double kPiD = 3.14159265358979323846;
const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

float3 fromAngles(double thetaDegrees, double phiDegrees, double zSign) {
  const double t = thetaDegrees * kPiD / 180.0, p = phiDegrees * kPiD / 180.0;
  return float3(float(std::sin(t) * std::cos(p)), float(std::sin(t) * std::sin(p)),
                float(zSign * std::cos(t)));
}

TEST(Microfacet, HandComputedValues) {
  // Schlick with R0 0.1: mu 1 -> 0.1; mu 0 -> 1; mu 0.5 -> 0.1 + 0.9 / 32 = 0.128125; mu outside
  // [0, 1] is limited first.
  EXPECT_FLOAT_EQ(schlickReflectance(0.1f, 1.0f), 0.1f);
  EXPECT_FLOAT_EQ(schlickReflectance(0.1f, 0.0f), 1.0f);
  EXPECT_FLOAT_EQ(schlickReflectance(0.1f, 0.5f), 0.128125f);
  EXPECT_FLOAT_EQ(schlickReflectance(0.1f, 2.0f), 0.1f);
  EXPECT_FLOAT_EQ(schlickReflectance(0.1f, -1.0f), 1.0f);

  // alpha 0.5, a2 0.25. D at the normal: a2 / (pi a2^2) = 4 / pi. At 45 degrees cos^4 = 0.25,
  // tan^2 = 1: 0.25 / (pi 0.25 1.25^2) = 1 / (1.5625 pi).
  const float a2 = 0.25f;
  EXPECT_FLOAT_EQ(ggxDistribution(float3(0, 0, 1), a2), float(4.0 / kPiD));
  EXPECT_NEAR(ggxDistribution(normalize(float3(1, 0, 1)), a2), 1.0 / (1.5625 * kPiD), 1e-6);
  EXPECT_EQ(ggxDistribution(float3(0, 0, -1), a2), 0.0f);

  // G1 at 60 degrees: tan^2 = 3, 2 / (1 + sqrt(1 + 0.75)); 0 seen from the facet's back.
  const float3 v = fromAngles(60, 0, 1);
  EXPECT_NEAR(smithMasking(v, float3(0, 0, 1), a2), 2.0 / (1.0 + std::sqrt(1.75)), 1e-6);
  EXPECT_EQ(smithMasking(v, float3(-1, 0, 0), a2), 0.0f);

  // Head-on reflection: h = n, G = 1, Rm = (4 / pi) / 4 = 1 / pi.
  EXPECT_FLOAT_EQ(microfacetReflection(float3(0, 0, -1), float3(0, 0, 1), a2), float(1.0 / kPiD));
  // Head-on transmission into glass, eta = 1 / 1.5: h = n, i.h = o.h = -1, so
  // Tm = (4 / pi) eta^2 / (1 + eta)^2 = (4 / pi) (4 / 25) = 16 / (25 pi); at eta = 1, 1 / pi.
  EXPECT_NEAR(microfacetTransmission(float3(0, 0, -1), float3(0, 0, -1), 1.0f / 1.5f, a2),
              16.0 / (25.0 * kPiD), 1e-6);
  EXPECT_FLOAT_EQ(microfacetTransmission(float3(0, 0, -1), float3(0, 0, -1), 1.0f, a2),
                  float(1.0 / kPiD));
  // Each term is 0 on the other's side.
  EXPECT_EQ(microfacetReflection(float3(0, 0, -1), float3(0, 0, -1), a2), 0.0f);
  EXPECT_EQ(microfacetTransmission(float3(0, 0, -1), float3(0, 0, 1), 0.6f, a2), 0.0f);

  // u1 0.5: tan^2 = a2 = 0.25, cos = 1 / sqrt(1.25); u2 0.25: phi = pi / 2.
  const float3 m = sampleGgxNormal(a2, 0.5f, 0.25f);
  EXPECT_TRUE(std::fabs(m.x) < 1e-6f && std::fabs(m.y - 0.4472136f) < 1e-6f &&
              std::fabs(m.z - 0.8944272f) < 1e-6f);
}

TEST(Microfacet, DistributionProjectsToTheUnitDisc) {
  // The integral of D(m) m.z over the hemisphere is 1 for every roughness.
  for (float alpha : {0.1f, 0.4f, 1.0f}) {
    const float a2 = alpha * alpha;
    double sum = 0.0;
    const int n = 20000;
    for (int k = 0; k < n; ++k) {
      // theta through tan(theta) = t, with t spread over [0, 100 alpha] on a quadratic grid.
      const double u = (k + 0.5) / n, t = 100.0 * alpha * u * u, dt = 200.0 * alpha * u / n;
      const double c = 1.0 / std::sqrt(1.0 + t * t), s = t * c;
      const double dTheta = dt / (1.0 + t * t);
      sum += ggxDistribution(float3(float(s), 0.0f, float(c)), a2) * c * s * dTheta * 2.0 * kPiD;
    }
    EXPECT_NEAR(sum, 1.0, 2e-3) << "alpha " << alpha;
  }
}

TEST(Microfacet, ReflectionIsReciprocalAndTransmissionScalesByEtaSquared) {
  // Rm(i, o) = Rm(-o, -i). Reversed, -o + i / eta = -(i + eta o) / eta keeps the half vector and
  // divides i.h + eta o.h by eta, so Tm(-o, -i, 1 / eta) = Tm(i, o, eta) / eta^2.
  const float a2 = 0.09f, eta = 1.0f / 1.45f;
  for (double ti : {10.0, 40.0, 75.0}) {
    for (double to : {5.0, 30.0, 60.0}) {
      const float3 i = fromAngles(ti, 20, -1);
      const float3 r = fromAngles(to, 170, 1);
      const float forward = microfacetReflection(i, r, a2);
      EXPECT_GT(forward, 0.0f);
      EXPECT_NEAR(microfacetReflection(-r, -i, a2), forward, 1e-5f * forward);
      // Transmitted directions on the far side.
      const float3 t = fromAngles(ti * 0.6 + to / 10.0, 40, -1);
      const float into = microfacetTransmission(i, t, eta, a2);
      EXPECT_GT(into, 0.0f);
      EXPECT_NEAR(microfacetTransmission(-t, -i, 1.0f / eta, a2), into / (eta * eta), 1e-4f * into);
    }
  }
}

TEST(Microfacet, TotalInternalReflectionStartsExactlyAtTheCriticalAngle) {
  // Leaving glass of index 1.5 into air: sin(theta_c) = 1 / 1.5, theta_c = 41.8103 degrees.
  const float eta = 1.5f;
  const float3 N(0, 0, 1);
  const float3 before = fromAngles(41.80, 0, -1), after = fromAngles(41.82, 0, -1);
  const Refraction in = refractionOrTotalReflection(before, N, eta);
  EXPECT_FALSE(in.totalInternalReflection);
  EXPECT_LT(in.direction.z, 0.0f);
  const Refraction out = refractionOrTotalReflection(after, N, eta);
  EXPECT_TRUE(out.totalInternalReflection);
  EXPECT_EQ(out.direction, float3(0.0f));
  // The same boundary at a microfacet.
  EXPECT_NE(refractAtMicrofacet(before, N, eta), float3(0.0f));
  EXPECT_EQ(refractAtMicrofacet(after, N, eta), float3(0.0f));
  // Entering glass never reflects totally, even at grazing incidence.
  EXPECT_FALSE(
      refractionOrTotalReflection(fromAngles(89.9, 0, -1), N, 1.0f / 1.5f).totalInternalReflection);
}

TEST(Microfacet, Base10AbsorptionAndItsTransmittanceVariant) {
  // 10^-(0.5 x 2) = 0.1.
  EXPECT_NEAR(base10Transmittance(0.5f, 2.0f), 0.1f, 1e-6f);
  struct Case {
    float coefficient, distance, expected;
  };
  // Nothing absorbed at distance 0 or with no coefficient, whatever the other; everything over
  // an infinite distance or with an infinite coefficient; a NaN absorbs nothing.
  const Case edges[] = {{kInf, 0.0f, 1.0f}, {0.0f, kInf, 1.0f}, {0.3f, kInf, 0.0f},
                        {kInf, 1.0f, 0.0f}, {kNaN, 1.0f, 1.0f}, {1.0f, kNaN, 1.0f},
                        {-2.0f, 1.0f, 1.0f}};
  for (const Case& c : edges) {
    EXPECT_EQ(base10Transmittance(c.coefficient, c.distance), c.expected)
        << c.coefficient << " over " << c.distance;
  }
  // Transmittance 0.5 over a scale of 2: a = ln 2 / 2; over distance 2, 10^-ln 2 = 0.2026.
  const float a = transmittanceCoefficient(0.5f, 2.0f);
  EXPECT_NEAR(a, 0.3465736f, 1e-6f);
  EXPECT_NEAR(base10Transmittance(a, 2.0f), std::pow(10.0, -std::log(2.0)), 1e-6);
  EXPECT_EQ(transmittanceCoefficient(1.0f, 2.0f), 0.0f);
  EXPECT_EQ(base10Transmittance(transmittanceCoefficient(0.0f, 2.0f), 1.0f), 0.0f);
  EXPECT_EQ(base10Transmittance(transmittanceCoefficient(0.5f, 0.0f), 1.0f), 0.0f);
}

}  // namespace
}  // namespace pvx

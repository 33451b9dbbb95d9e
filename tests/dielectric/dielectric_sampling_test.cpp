// Physical checks of quarra_Mtl_Dielectric's `scatter`, through the exported class: the rough
// interface's draws follow the GGX distribution of normals pushed through reflection and
// refraction with the F / (1 - F) choice (a chi-square test over the whole sphere against that
// density written out here), and the reflected plus transmitted albedo is at most 1, exactly 1
// for the smooth interface. That density matches `evaluate` in its reflected part only: the
// material's transmission term for lights is built around another half vector.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "shadinglib/vector_math.h"
#include "tests/support/scatter_statistics.h"
#include "tests/support/test_support.h"

namespace {

using pvx::float2;
using pvx::float3;
using tarvo::host::BoundShader;
using tarvo::test::cameraHit;
using tarvo::test::chiSquareCritical;
using tarvo::test::incomingAt;
using tarvo::test::makeShader;
using tarvo::test::SeededHost;
using tarvo::test::writeVarying;

constexpr double kPi = tarvo::test::kStatisticsPi;
constexpr int kTangentOffset = 36;

struct Vec {
  double x, y, z;
};
double dot(const Vec& a, const Vec& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec unit(const Vec& v) {
  const double l = std::sqrt(dot(v, v));
  return {v.x / l, v.y / l, v.z / l};
}

double ggx(const Vec& m, double a2) {
  if (m.z <= 0.0) return 0.0;
  const double c2 = m.z * m.z, d = a2 * c2 + 1.0 - c2;
  return a2 / (kPi * d * d);
}

// Density per solid angle of o for an incident i arriving from outside (i.z < 0, eta < 1, so no
// total internal reflection): a normal m drawn by D(m) m.z, kept when it faces i, reflects with
// probability F (Jacobian 1 / (4 |o.m|)) and refracts with probability 1 - F (Jacobian
// |o.m| / (o.m - eta i.m)^2, Walter et al.).
double scatterDensity(const Vec& i, const Vec& o, double a2, double eta, double F) {
  double p = 0.0;
  const Vec hr = unit({o.x - i.x, o.y - i.y, o.z - i.z});
  if (hr.z > 0.0 && -dot(i, hr) > 0.0) p += F * ggx(hr, a2) * hr.z / (4.0 * std::fabs(dot(o, hr)));
  Vec ht = unit({eta * i.x - o.x, eta * i.y - o.y, eta * i.z - o.z});
  if (ht.z < 0.0) ht = {-ht.x, -ht.y, -ht.z};
  const double ih = dot(i, ht), oh = dot(o, ht);
  if (ih < 0.0 && oh < 0.0) {
    const double j = oh - eta * ih;
    p += (1.0 - F) * ggx(ht, a2) * ht.z * std::fabs(oh) / (j * j);
  }
  return p;
}

double schlick(double r0, double mu) {
  return r0 + (1.0 - r0) * std::pow(1.0 - mu, 5.0);
}

struct Surface {
  BoundShader shader;
  pvx::ShadingState state;
};

Surface glass(float roughness, double thetaDegrees, double phiDegrees) {
  Surface s{makeShader("quarra_Mtl_Dielectric"), cameraHit()};
  s.shader.set("u_roughValue", roughness);
  s.shader.set("u_ior", 1.5f);
  writeVarying(&s.state, kTangentOffset, float3(1.0f, 0.0f, 0.0f));
  s.state.I = incomingAt(thetaDegrees, phiDegrees);
  return s;
}

TEST(DielectricScatter, RoughDrawsFollowTheMicrofacetDensityOverBothHemispheres) {
  struct Case {
    float roughness;
    double theta, phi;
  };
  const Case cases[] = {{0.2f, 0.0, 0.0},    {0.2f, 50.0, 30.0}, {0.5f, 20.0, 0.0},
                        {0.5f, 70.0, 200.0}, {0.8f, 40.0, 90.0}, {0.8f, 85.0, 0.0}};
  constexpr int kSamples = 100000;
  constexpr int kZBins = 64, kPhiBins = 64, kZSub = 16, kPhiSub = 8;
  uint32_t seed = 11;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "roughness " << c.roughness << " at " << c.theta);
    Surface s = glass(c.roughness, c.theta, c.phi);
    const Vec i{s.state.I.x, s.state.I.y, s.state.I.z};
    const double a2 = double(c.roughness) * c.roughness, eta = 1.0 / 1.5;
    const double F = schlick(0.1, -i.z);

    std::vector<double> observed(kZBins * kPhiBins, 0.0);
    SeededHost host(seed++);
    int drawn = 0;
    for (int n = 0; n < kSamples; ++n) {
      pvx::ShadingState st = s.state;
      s.shader.material()->scatter(&host, &st);
      if (st.scatterKind == pvx::kRayNone) continue;
      ASSERT_EQ(st.scatterKind, pvx::kRaySpecular);
      ++drawn;
      const Vec o = unit({st.scatterDir.x, st.scatterDir.y, st.scatterDir.z});
      const int zi = std::clamp(int((o.z + 1.0) * 0.5 * kZBins), 0, kZBins - 1);
      double phi = std::atan2(o.y, o.x);
      if (phi < 0.0) phi += 2.0 * kPi;
      const int pi = std::min(int(phi / (2.0 * kPi) * kPhiBins), kPhiBins - 1);
      observed[zi * kPhiBins + pi] += 1.0;
    }

    double chi2 = 0.0, pooledObserved = kSamples - drawn, pooledExpected = 0.0, total = 0.0;
    int bins = 0;
    const double dphi = 2.0 * kPi / (kPhiBins * kPhiSub);
    for (int zi = 0; zi < kZBins; ++zi) {
      // Lobes around the poles are narrow in z (a width w in angle is w^2 / 2 in z): the bins
      // next to them are integrated more finely.
      const int zSub = (zi < 4 || zi >= kZBins - 4) ? 32 * kZSub : kZSub;
      const double dz = 2.0 / (kZBins * zSub);
      for (int pi = 0; pi < kPhiBins; ++pi) {
        double mass = 0.0;
        for (int a = 0; a < zSub; ++a) {
          const double z = -1.0 + (zi * zSub + a + 0.5) * dz, r = std::sqrt(1.0 - z * z);
          for (int b = 0; b < kPhiSub; ++b) {
            const double phi = (pi * kPhiSub + b + 0.5) * dphi;
            mass += scatterDensity(i, {r * std::cos(phi), r * std::sin(phi), z}, a2, eta, F);
          }
        }
        const double expected = mass * dz * dphi * kSamples;
        total += expected;
        const double o = observed[zi * kPhiBins + pi];
        if (expected < 5.0) {
          pooledObserved += o;
          pooledExpected += expected;
        } else {
          chi2 += (o - expected) * (o - expected) / expected;
          ++bins;
        }
      }
    }
    // Normals facing away from i give no draw: that share is what the density leaves out.
    pooledExpected += std::max(kSamples - total, 0.0);
    chi2 += (pooledObserved - pooledExpected) * (pooledObserved - pooledExpected) /
            std::max(pooledExpected, 5.0);
    ++bins;
    const double critical = chiSquareCritical(bins - 1);
    std::printf("  chi-square roughness %.1f at %2.0f degrees: %8.1f on %4d bins (critical %.1f)\n",
                c.roughness, c.theta, chi2, bins, critical);
    EXPECT_LT(chi2, critical);
  }
}

TEST(DielectricScatter, ReflectedPlusTransmittedAlbedoIsAtMostOne) {
  // Albedo = mean of scatterWeight x scatterCos x scatterInvPdf (cos and inverse density are 1).
  constexpr int kSamples = 20000;
  uint32_t seed = 300;
  for (float roughness : {0.05f, 0.3f, 0.7f}) {
    std::printf("  roughness %.2f:", roughness);
    for (double angle : {0.0, 30.0, 60.0, 80.0, 89.0}) {
      Surface s = glass(roughness, angle, 0.0);
      SeededHost host(seed++);
      double sum = 0.0, sumSquares = 0.0;
      for (int n = 0; n < kSamples; ++n) {
        pvx::ShadingState st = s.state;
        s.shader.material()->scatter(&host, &st);
        if (st.scatterKind == pvx::kRayNone) continue;
        const double x = double(st.scatterWeight.x) * st.scatterCos * st.scatterInvPdf;
        sum += x;
        sumSquares += x * x;
      }
      const double mean = sum / kSamples;
      const double error = std::sqrt(std::max(sumSquares / kSamples - mean * mean, 0.0) / kSamples);
      std::printf(" %2.0f: %.3f+-%.3f", angle, mean, error);
      EXPECT_LE(mean, 1.0 + 4.0 * error) << roughness << " at " << angle;
    }
    std::printf("\n");
  }
}

TEST(DielectricScatter, SmoothInterfaceConservesEnergyExactly) {
  // Both groups allowed: weight 1 whichever is drawn. One group only: F for reflection, 1 - F
  // for transmission, and the two add to 1. From inside, also past the critical angle.
  for (bool inside : {false, true}) {
    for (double angle : {0.0, 35.0, 60.0, 88.0}) {
      SCOPED_TRACE(testing::Message() << (inside ? "inside" : "outside") << " at " << angle);
      Surface s = glass(0.0f, angle, 0.0);
      if (inside) s.state.frontFacing = 0;
      SeededHost host(7);
      for (int n = 0; n < 50; ++n) {
        pvx::ShadingState st = s.state;
        s.shader.material()->scatter(&host, &st);
        ASSERT_EQ(st.scatterKind, pvx::kRayTransmission);
        EXPECT_TRUE(st.scatterWeight == float3(1.0f));
      }
      float sum = 0.0f;
      for (int group : {pvx::kAllowSpecularReflection, pvx::kAllowSpecularTransmission}) {
        pvx::ShadingState st = s.state;
        std::fill(std::begin(st.allowScatter), std::end(st.allowScatter), uint8_t{0});
        st.allowScatter[group] = 1;
        s.shader.material()->scatter(&host, &st);
        if (st.scatterKind != pvx::kRayNone) sum += st.scatterWeight.x;
      }
      // Past the critical angle from inside, transmission alone ends the path and reflection
      // alone carries F; both together reflect everything (checked above).
      if (!(inside && angle > 41.9)) {
        EXPECT_NEAR(sum, 1.0f, 1e-6f);
      }
    }
  }
}

}  // namespace

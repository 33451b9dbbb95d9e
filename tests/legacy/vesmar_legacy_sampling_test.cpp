// Physical checks of VesmarLegacy's path-tracing entries: `scatter` picks its events with the
// shares the material's albedos give and bounces diffusely with the cosine density (a chi-square
// test over event bins and direction bins), its weights agree with `evaluate`, the estimate's
// mean is the albedo sum and never above 1, and the glossy lobe `evaluate` reports reflects at
// most what comes in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "shadinglib/vector_math.h"
#include "tests/support/scatter_statistics.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

constexpr double kPi = 3.14159265358979323846;

pvx::ShadingState hitAt(float degrees) {
  pvx::ShadingState s = cameraHit();
  const double a = degrees * kPi / 180.0;
  s.I = float3(float(std::sin(a)), 0.0f, float(-std::cos(a)));
  return s;
}

struct EventCase {
  const char* name;
  float degrees;
  std::function<void(BoundShader&)> setup;
  // Worked out by hand: probabilities of pass-through, diffuse, mirror; the weights of
  // pass-through and mirror.
  double pPass, pDiffuse, pMirror;
  float3 passWeight, mirrorWeight;
};

TEST(VesmarLegacyScatter, EventsAndBounceDirectionsFollowTheShares) {
  const EventCase cases[] = {
      // Opaque, D = 0.8, F = 0.3: diffuse (1 - 0.3) 0.8 = 0.56, mirror 0.3, path end 0.14.
      {"opaque, head-on", 0.0f,
       [](BoundShader& m) {
         m.set("transparencyColor", float3(0.0f));
         m.set("diffuseColor", float3(0.8f));
         m.set("reflectivityColor", float3(0.3f));
       },
       0.0, 0.56, 0.3, float3(0.0f), float3(1.0f)},
      // t = 0.4, present 0.6: pass 0.4; diffuse (0.8 0.9, 0.7 0.5, 0.9 0.2) 0.6 0.6, largest
      // 0.2592; mirror F 0.6, largest 0.18, weight F / 0.3.
      {"transparent, coloured, 50 degrees", 50.0f,
       [](BoundShader& m) {
         m.set("transparencyColor", float3(0.4f));
         m.set("diffuseColor", float3(0.9f, 0.5f, 0.2f));
         m.set("reflectivityColor", float3(0.2f, 0.3f, 0.1f));
       },
       0.4, 0.2592, 0.18, float3(1.0f), float3(2.0f / 3.0f, 1.0f, 1.0f / 3.0f)},
      // Cut-out 0.3 with transparency 0.5 folded in: 1 - 0.7 0.5 = 0.65 passes; present 0.35;
      // diffuse 0.8 0.35 = 0.28, mirror 0.2 0.35 = 0.07; the shares sum to 1.
      {"cut-out with the fold, 70 degrees", 70.0f,
       [](BoundShader& m) {
         m.set("maskingColor", float3(0.3f));
         m.set("transparencyColor", float3(0.5f));
         m.set("transparencyBlocksHighlights", true);
         m.set("diffuseColor", float3(1.0f));
         m.set("reflectivityColor", float3(0.2f));
       },
       0.65, 0.28, 0.07, float3(1.0f), float3(1.0f)},
  };
  constexpr int kSamples = 200000;
  constexpr int kRadialBins = 16, kPhiBins = 16;  // sin^2 theta and phi are uniform
  constexpr int kChecked = 200;
  uint32_t seed = 11;
  for (const EventCase& c : cases) {
    SCOPED_TRACE(c.name);
    BoundShader m = makeShader("VesmarLegacy");
    c.setup(m);
    // The glossy lobe off for the weight comparison: a black reflection tint.
    BoundShader diffuseOnly = makeShader("VesmarLegacy");
    c.setup(diffuseOnly);
    diffuseOnly.set("reflectType", int32_t(1));
    diffuseOnly.set("reflectAbsorb", 1.0f);
    const pvx::ShadingState start = hitAt(c.degrees);
    const float3 mirror(start.I.x, start.I.y, -start.I.z);

    tarvo::host::RecordingHost host(tarvo::host::HostPolicy::Seeded, {}, seed++);
    std::vector<double> directions(kRadialBins * kPhiBins, 0.0);
    double passes = 0, mirrors = 0, ends = 0;
    int checked = 0;
    for (int n = 0; n < kSamples; ++n) {
      pvx::ShadingState s = start;
      m.material()->scatter(&host, &s);
      ASSERT_EQ(s.ignoreHit, 0);
      if (s.scatterKind == pvx::kRayNone) {
        ++ends;
        continue;
      }
      EXPECT_EQ(s.scatterCos, 1.0f);
      EXPECT_EQ(s.scatterInvPdf, 1.0f);
      if (s.scatterKind == pvx::kRayTransmission) {
        ++passes;
        EXPECT_TRUE(tarvo::test::nearFloat3(s.scatterDir, start.I));
        EXPECT_TRUE(tarvo::test::nearFloat3(s.scatterWeight, c.passWeight, 1e-5f));
      } else if (s.scatterKind == pvx::kRayGlossy) {
        ++mirrors;
        EXPECT_TRUE(tarvo::test::nearFloat3(s.scatterDir, mirror, 1e-6f));
        EXPECT_TRUE(tarvo::test::nearFloat3(s.scatterWeight, c.mirrorWeight, 1e-5f));
      } else {
        ASSERT_EQ(s.scatterKind, pvx::kRayCamera);
        const float3 d = s.scatterDir;
        const double sin2 = std::min(1.0, std::max(0.0, 1.0 - double(d.z) * d.z));
        double phi = std::atan2(d.y, d.x);
        if (phi < 0.0) phi += 2.0 * kPi;
        const int ri = std::min(int(sin2 * kRadialBins), kRadialBins - 1);
        const int pi = std::min(int(phi / (2.0 * kPi) * kPhiBins), kPhiBins - 1);
        directions[ri * kPhiBins + pi] += 1.0;
        if (checked++ < kChecked) {
          // Cosine-weighted draws of the diffuse event: weight = f cos / (p cos / pi) =
          // evaluate's response x pi / p.
          pvx::ShadingState e = start;
          e.scatterDir = d;
          diffuseOnly.material()->evaluate(&host, &e);
          const float3 expected = e.scatterWeight * float(kPi / c.pDiffuse);
          EXPECT_TRUE(tarvo::test::nearFloat3(s.scatterWeight, expected, 1e-4f));
        }
      }
    }
    double chi2 = 0.0;
    int bins = 0;
    auto add = [&](double observed, double expected) {
      if (expected <= 0.0) {
        EXPECT_EQ(observed, 0.0);
        return;
      }
      chi2 += (observed - expected) * (observed - expected) / expected;
      ++bins;
    };
    add(passes, c.pPass * kSamples);
    add(mirrors, c.pMirror * kSamples);
    add(ends, (1.0 - c.pPass - c.pDiffuse - c.pMirror) * kSamples);
    for (double o : directions)
      add(o, c.pDiffuse * kSamples / (kRadialBins * kPhiBins));
    const double critical = chiSquareCritical(bins - 1);
    std::printf("  chi-square %-36s %8.1f on %3d bins (critical %.1f)\n", c.name, chi2, bins,
                critical);
    EXPECT_LT(chi2, critical);
  }
}

TEST(VesmarLegacyScatter, MeanWeightIsTheAlbedoAndAtMostOne) {
  // Mean of weight x cos x invPdf over draws. Opaque, D = 1, F = 0.5: 0.5 + 0.5 = 1 exactly;
  // the others are random colours at most 1 with random transparency and cut-out.
  std::mt19937 colours(5);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  constexpr int kSamples = 40000;
  uint32_t seed = 300;
  for (int trial = 0; trial < 8; ++trial) {
    BoundShader m = makeShader("VesmarLegacy");
    float3 expected(-1.0f);
    if (trial == 0) {
      m.set("transparencyColor", float3(0.0f));
      m.set("diffuseColor", float3(1.0f));
      m.set("reflectivityColor", float3(0.5f));
      expected = float3(1.0f);
    } else {
      m.set("transparencyColor", float3(unit(colours), unit(colours), unit(colours)));
      m.set("diffuseColor", float3(unit(colours), unit(colours), unit(colours)));
      m.set("reflectivityColor", float3(unit(colours), unit(colours), unit(colours)));
      m.set("maskingColor", float3(unit(colours) * 0.5f));
      m.set("transparencyBlocksHighlights", trial % 2 == 0);
    }
    const pvx::ShadingState start = hitAt(float(trial) * 10.0f);
    tarvo::host::RecordingHost host(tarvo::host::HostPolicy::Seeded, {}, seed++);
    double sum[3] = {0, 0, 0}, squares[3] = {0, 0, 0};
    for (int n = 0; n < kSamples; ++n) {
      pvx::ShadingState s = start;
      m.material()->scatter(&host, &s);
      if (s.scatterKind == pvx::kRayNone) continue;
      const float k = s.scatterCos * s.scatterInvPdf;
      const double x[3] = {s.scatterWeight.x * k, s.scatterWeight.y * k, s.scatterWeight.z * k};
      for (int i = 0; i < 3; ++i) {
        sum[i] += x[i];
        squares[i] += x[i] * x[i];
      }
    }
    for (int i = 0; i < 3; ++i) {
      const double mean = sum[i] / kSamples;
      const double error = std::sqrt(std::max(squares[i] / kSamples - mean * mean, 0.0) / kSamples);
      EXPECT_LE(mean, 1.0 + 4.0 * error + 1e-6) << "trial " << trial << " channel " << i;
      if (trial == 0) {
        EXPECT_NEAR(mean, 1.0, 1e-5);
      }
    }
  }
}

TEST(VesmarLegacyEvaluate, GlossyLobeReflectsAtMostWhatArrives) {
  // The directional albedo of the glossy response (white tint, no diffuse, f0 1), integrated
  // over the hemisphere in cos theta and phi: at most 1, and near 1 for a moderately rough lobe
  // seen head-on, where shadowing is small.
  const float roughness[] = {0.1f, 0.33f, 0.6f};
  const float angles[] = {0.0f, 45.0f, 75.0f};
  constexpr int kTheta = 400, kPhi = 200;
  for (float r : roughness) {
    BoundShader m = makeShader("VesmarLegacy");
    m.set("transparencyColor", float3(0.0f));
    m.set("diffuseColor", float3(0.0f));
    m.set("reflectType", int32_t(1));
    m.set("specularREG", float3(1.0f, r, 1.0f));
    for (float angle : angles) {
      const pvx::ShadingState start = hitAt(angle);
      RecordingHost host;
      host.logging = false;
      double albedo = 0.0;
      for (int i = 0; i < kTheta; ++i) {
        const double z = (i + 0.5) / kTheta, s = std::sqrt(1.0 - z * z);
        for (int j = 0; j < kPhi; ++j) {
          const double phi = (j + 0.5) * 2.0 * kPi / kPhi;
          pvx::ShadingState e = start;
          e.scatterDir = float3(float(s * std::cos(phi)), float(s * std::sin(phi)), float(z));
          m.material()->evaluate(&host, &e);
          albedo += double(e.scatterWeight.x) * e.scatterCos;
        }
      }
      albedo *= (1.0 / kTheta) * (2.0 * kPi / kPhi);
      std::printf("  glossy albedo, roughness %.2f at %2.0f degrees: %.4f\n", r, angle, albedo);
      EXPECT_LE(albedo, 1.0 + 1e-3);
      if (angle == 0.0f && r == 0.33f) {
        EXPECT_GT(albedo, 0.8);
      }
    }
  }
}

}  // namespace
}  // namespace tarvo::test

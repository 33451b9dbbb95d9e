// Physical checks of a material's path-tracing entries, through its exported class: the chi-square
// test of the directions `scatter` draws against a density over the hemisphere around z, and the
// directional albedo (weight x cosine x inverse density, averaged over draws).
#ifndef TARVO_TESTS_SCATTER_STATISTICS_H
#define TARVO_TESTS_SCATTER_STATISTICS_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <random>
#include <vector>

#include "host/recording_host.h"
#include "tarvo/tarvo.h"
#include "tests/support/shading_states.h"

namespace tarvo::test {

constexpr double kStatisticsPi = 3.14159265358979323846;

// A hit on a surface whose frame is the world's axes, the ray arriving from the direction at
// polar angle theta and azimuth phi; with `glossyOnly` the host accepts the glossy reflection
// alone.
inline pvx::ShadingState samplingHit(double thetaDegrees, double phiDegrees, bool glossyOnly) {
  pvx::ShadingState s = framedHit();
  s.I = incomingAt(thetaDegrees, phiDegrees);
  if (glossyOnly) {
    for (uint8_t& a : s.allowScatter)
      a = 0;
    s.allowScatter[pvx::kAllowSpecularReflection] = 1;
  }
  return s;
}

struct Direction {
  double x, y, z;
};

// The density of Ward's half-vector sampling per solid angle of o (directions local to the
// frame, i arriving), written out independently of the library: e / (pi ax ay cos^3 theta_h)
// times the mirror map's Jacobian 1 / (4 o.h).
inline double wardReferenceDensity(const Direction& i, const Direction& o, double ax, double ay) {
  if (!(o.z > 0.0) || !(i.z < -1e-4)) return 0.0;
  Direction h{o.x - i.x, o.y - i.y, o.z - i.z};
  const double l = std::sqrt(h.x * h.x + h.y * h.y + h.z * h.z);
  h = {h.x / l, h.y / l, h.z / l};
  const double oh = o.x * h.x + o.y * h.y + o.z * h.z;
  const double e = std::exp(-((h.x / ax) * (h.x / ax) + (h.y / ay) * (h.y / ay)) / (h.z * h.z));
  return e / (4.0 * kStatisticsPi * ax * ay * oh * h.z * h.z * h.z);
}

// Chi-square quantile by the Wilson-Hilferty approximation, for a significance of 1e-4.
inline double chiSquareCritical(int dof) {
  const double z = 3.719;
  const double k = 2.0 / (9.0 * dof);
  return dof * std::pow(1.0 - k + z * std::sqrt(k), 3.0);
}

struct ChiSquareResult {
  double chi2;
  double critical;
  int bins;
  int drawn;
};

// Calls `scatter` `samples` times on copies of `state`, hands each draw that gives a direction
// to `onDraw`, and compares the directions' histogram over (cos theta, phi) bins with `density`
// (per solid angle) integrated over each bin. Bins expecting fewer than 5 draws are pooled with
// the draws that gave no direction, whose share is the mass the density leaves out. The bins
// cover the hemisphere around z, or with `wholeSphere` both hemispheres, where the rows next to
// the poles are integrated 32 times more finely (a lobe of angular width w there is w^2 / 2 in
// cos theta).
inline ChiSquareResult scatterChiSquare(pvx::MaterialShader* material,
                                        const pvx::ShadingState& state, pvx::IHostContext* host,
                                        const std::function<double(const Direction&)>& density,
                                        int samples,
                                        const std::function<void(const pvx::ShadingState&)>& onDraw,
                                        bool wholeSphere = false) {
  const int zBins = wholeSphere ? 64 : 32, zSub = wholeSphere ? 16 : 32,
            poleRows = wholeSphere ? 4 : 0;
  const double zLow = wholeSphere ? -1.0 : 0.0, zSpan = 1.0 - zLow;
  constexpr int kPhiBins = 64, kPhiSub = 8;
  std::vector<double> observed(zBins * kPhiBins, 0.0);
  int drawn = 0;
  for (int n = 0; n < samples; ++n) {
    pvx::ShadingState st = state;
    material->scatter(host, &st);
    if (st.scatterKind == pvx::kRayNone) continue;
    ++drawn;
    onDraw(st);
    const Direction o{st.scatterDir.x, st.scatterDir.y, st.scatterDir.z};
    const int zi = std::clamp(int((o.z - zLow) / zSpan * zBins), 0, zBins - 1);
    double phi = std::atan2(o.y, o.x);
    if (phi < 0.0) phi += 2.0 * kStatisticsPi;
    const int pi = std::min(int(phi / (2.0 * kStatisticsPi) * kPhiBins), kPhiBins - 1);
    observed[zi * kPhiBins + pi] += 1.0;
  }

  // Expected counts: the density integrated over each bin, dw = dcos dphi.
  double chi2 = 0.0, pooledObserved = samples - drawn, pooledExpected = 0.0, total = 0.0;
  int bins = 0;
  const double dphi = 2.0 * kStatisticsPi / (kPhiBins * kPhiSub);
  for (int zi = 0; zi < zBins; ++zi) {
    const int sub = (zi < poleRows || zi >= zBins - poleRows) ? 32 * zSub : zSub;
    const double dz = zSpan / (zBins * sub);
    for (int pi = 0; pi < kPhiBins; ++pi) {
      double mass = 0.0;
      for (int a = 0; a < sub; ++a) {
        const double z = zLow + (zi * sub + a + 0.5) * dz, r = std::sqrt(1.0 - z * z);
        for (int b = 0; b < kPhiSub; ++b) {
          const double phi = (pi * kPhiSub + b + 0.5) * dphi;
          mass += density(Direction{r * std::cos(phi), r * std::sin(phi), z});
        }
      }
      const double expected = mass * dz * dphi * samples;
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
  pooledExpected += std::max(samples - total, 0.0);
  if (pooledExpected > 0.0) {
    chi2 += (pooledObserved - pooledExpected) * (pooledObserved - pooledExpected) /
            std::max(pooledExpected, 5.0);
    ++bins;
  }
  return {chi2, chiSquareCritical(bins - 1), bins, drawn};
}

// What each draw of `scatter` must agree on with the material's own answers.
struct DrawAgreement {
  int32_t kind;                    // every draw's scatterKind
  float diffuseLeftOut = 0.0f;     // d / pi that a glossy-only draw leaves out of its weight
  double densityTolerance = 2e-3;  // relative: 1 / scatterInvPdf against `density`
  float weightTolerance = 2e-4f;   // relative: the weight against evaluate's
  int compared = 300;              // the first draws also compared with `evaluate`
};

// The chi-square test of `scatter`'s directions against `density`, with every draw's kind and
// reported density checked, and the first draws' weight and cosine compared with what
// `evaluated->evaluate` gives at their direction (`scattering` may wrap the evaluated material).
// `eachDraw`, when given, checks every draw further.
inline void expectDrawsFollowDensity(
    const char* name, pvx::MaterialShader* scattering, pvx::MaterialShader* evaluated,
    const pvx::ShadingState& state, pvx::IHostContext* host,
    const std::function<double(const Direction&)>& density, int samples, const DrawAgreement& agree,
    const std::function<void(const pvx::ShadingState&)>& eachDraw = nullptr) {
  int densityMismatches = 0, compared = 0;
  const ChiSquareResult result =
      scatterChiSquare(scattering, state, host, density, samples, [&](const pvx::ShadingState& st) {
        ASSERT_EQ(st.scatterKind, agree.kind);
        const double expected =
            density(Direction{st.scatterDir.x, st.scatterDir.y, st.scatterDir.z});
        if (std::fabs(1.0 / st.scatterInvPdf - expected) > agree.densityTolerance * expected) {
          ++densityMismatches;
        }
        if (eachDraw) eachDraw(st);
        if (compared++ >= agree.compared) return;
        pvx::ShadingState ev = state;
        ev.scatterDir = st.scatterDir;
        evaluated->evaluate(host, &ev);
        const float expectedWeight = ev.scatterWeight.x - agree.diffuseLeftOut;
        EXPECT_NEAR(st.scatterWeight.x, expectedWeight,
                    agree.weightTolerance * ev.scatterWeight.x + 1e-6f);
        EXPECT_NEAR(ev.scatterCos, st.scatterCos, 1e-6f);
      });
  EXPECT_EQ(densityMismatches, 0) << "scatterInvPdf differs from the density of the draw";
  std::printf("  chi-square %-52s %8.1f on %4d bins (critical %.1f), %d of %d drawn\n", name,
              result.chi2, result.bins, result.critical, result.drawn, samples);
  EXPECT_LT(result.chi2, result.critical);
}

struct Albedo {
  double mean;
  double error;  // standard error of the mean
};

// Mean of the red channel of weight x cosine x inverse density over `samples` calls of
// `scatter` (0 for a call that gives no direction).
inline Albedo directionalAlbedo(pvx::MaterialShader* material, const pvx::ShadingState& state,
                                pvx::IHostContext* host, int samples) {
  double sum = 0.0, sumSquares = 0.0;
  for (int n = 0; n < samples; ++n) {
    pvx::ShadingState st = state;
    material->scatter(host, &st);
    if (st.scatterKind == pvx::kRayNone) continue;
    const double x = double(st.scatterWeight.x) * st.scatterCos * st.scatterInvPdf;
    sum += x;
    sumSquares += x * x;
  }
  const double mean = sum / samples;
  return {mean, std::sqrt(std::max(sumSquares / samples - mean * mean, 0.0) / samples)};
}

// The directional albedo printed (a table row's cell) and held at or below 1, within four
// standard errors and float rounding.
inline void expectAlbedoAtMostOne(pvx::MaterialShader* material, const pvx::ShadingState& state,
                                  pvx::IHostContext* host, int samples, const char* name,
                                  float angle) {
  const Albedo albedo = directionalAlbedo(material, state, host, samples);
  std::printf(" %2.0f: %.3f+-%.3f", angle, albedo.mean, albedo.error);
  EXPECT_LE(albedo.mean, 1.0 + 4.0 * albedo.error + 1e-5) << name << " at " << angle;
}

// expectAlbedoAtMostOne for each of `rows` (each with a `name`) at each incident angle, printed
// as a table headed by `what`: `make(row, angle)` gives the `shader` and the `state` to draw from.
template <class Rows, class Make>
void expectAlbedoTable(const char* what, const Rows& rows, std::initializer_list<float> angles,
                       uint32_t seed, Make make) {
  std::printf("  %s directional albedo (mean +- standard error), incident angle in degrees\n",
              what);
  for (const auto& row : rows) {
    std::printf("  %-16s", row.name);
    for (float angle : angles) {
      auto s = make(row, angle);
      host::RecordingHost host(host::HostPolicy::Seeded, {}, seed++);
      expectAlbedoAtMostOne(s.shader.material(), s.state, &host, 40000, row.name, angle);
    }
    std::printf("\n");
  }
}

}  // namespace tarvo::test

#endif  // TARVO_TESTS_SCATTER_STATISTICS_H

// Physical checks of quarra_Mtl_Ward's path-tracing entries, through the exported class:
// directions drawn by `scatter` follow the density its `scatterInvPdf` reports (a chi-square
// test against that density integrated over bins of the outgoing hemisphere), the weight of a
// drawn direction is what `evaluate` gives for it, and the directional albedo never exceeds 1.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "tests/support/scatter_statistics.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

constexpr double kPi = tarvo::test::kStatisticsPi;

struct SamplingCase {
  const char* name;
  bool glossyOnly;
  float roughness, anisotropy;
  float thetaDegrees, phiDegrees;  // of the incoming ray's direction of origin
  float diffuseShare;              // 0: glossy colour 1; else diffuse 0.8 and reflectivity 0.5
};

struct SampledSurface {
  BoundShader shader;
  pvx::ShadingState state;
  double ax, ay, diffuseProbability;
  float3 diffuse;
};

SampledSurface makeSetup(const SamplingCase& c) {
  SampledSurface s{makeShader("quarra_Mtl_Ward"),      cameraHit(), c.roughness,
                   double(c.roughness) * c.anisotropy, 0.0,         float3(0.0f)};
  s.shader.set("u_roughValue", c.roughness);
  s.shader.set("u_anisotropyValue", c.anisotropy);
  if (c.diffuseShare > 0.0f) {
    // Power 0: glossy weight = reflectivity = 0.5, so d = 0.8 (1 - 0.5) = 0.4 and g = 0.5.
    s.shader.set("u_diffuseColor", float3(0.8f));
    s.shader.set("u_reflectivity", 0.5f);
    s.diffuse = float3(0.4f);
    s.diffuseProbability = c.glossyOnly ? 0.0 : 0.5;
  }
  s.state = samplingHit(c.thetaDegrees, c.phiDegrees, c.glossyOnly);
  return s;
}

TEST(WardScatter, DrawsFollowTheReportedDensity) {
  const SamplingCase cases[] = {
      {"glossy, isotropic, head-on", true, 0.2f, 1.0f, 0.0f, 0.0f, 0.0f},
      {"glossy, anisotropic, 45 degrees, with diffuse", true, 0.3f, 0.5f, 45.0f, 30.0f, 0.4f},
      {"glossy, anisotropic, 70 degrees", true, 0.15f, 3.0f, 70.0f, 120.0f, 0.0f},
      {"glossy, rough, 85 degrees", true, 0.5f, 1.0f, 85.0f, 0.0f, 0.0f},
      {"mixture, isotropic, 30 degrees", false, 0.3f, 1.0f, 30.0f, 0.0f, 0.4f},
      {"mixture, anisotropic, 60 degrees", false, 0.2f, 2.0f, 60.0f, 45.0f, 0.4f},
      {"mixture, rough, 80 degrees", false, 0.5f, 0.5f, 80.0f, 200.0f, 0.4f},
  };
  constexpr int kSamples = 100000;

  uint32_t seed = 1;
  for (const SamplingCase& c : cases) {
    SCOPED_TRACE(c.name);
    SampledSurface s = makeSetup(c);
    const Direction i{s.state.I.x, s.state.I.y, s.state.I.z};
    auto density = [&](const Direction& o) {
      return s.diffuseProbability * o.z / kPi +
             (1.0 - s.diffuseProbability) * wardReferenceDensity(i, o, s.ax, s.ay);
    };

    tarvo::host::RecordingHost host(tarvo::host::HostPolicy::Seeded, {}, seed++);
    DrawAgreement agree{c.glossyOnly ? pvx::kRayGlossy : pvx::kRayReflection};
    // Glossy-only draws leave the diffuse share d / pi to the host's other estimators.
    agree.diffuseLeftOut = c.glossyOnly ? s.diffuse.x * 0.3183099f : 0.0f;
    agree.densityTolerance = 1e-3;
    agree.weightTolerance = 1e-4f;
    expectDrawsFollowDensity(
        c.name, s.shader.material(), s.shader.material(), s.state, &host, density, kSamples, agree,
        [](const pvx::ShadingState& st) { EXPECT_NEAR(st.scatterCos, st.scatterDir.z, 1e-6f); });
  }
}

TEST(WardScatter, DirectionalAlbedoStaysAtOrBelowOne) {
  // Albedo = mean of scatterWeight x scatterCos x scatterInvPdf over draws (0 for no draw).
  // Glossy colour 1 alone (the defaults), and a Fresnel-like split of glossy F and diffuse
  // 1 - F (power 5 from 0.04 to 1, diffuse colour 1).
  struct Surface {
    const char* name;
    float roughness;
    bool withDiffuse;
  };
  const Surface surfaces[] = {{"glossy 0.05", 0.05f, false}, {"glossy 0.2", 0.2f, false},
                              {"glossy 0.5", 0.5f, false},   {"split 0.05", 0.05f, true},
                              {"split 0.2", 0.2f, true},     {"split 0.5", 0.5f, true}};
  expectAlbedoTable("Ward", surfaces, {0.0f, 30.0f, 60.0f, 75.0f, 85.0f, 89.0f}, 100,
                    [](const Surface& surface, float angle) {
                      SampledSurface s = makeSetup(
                          {surface.name, false, surface.roughness, 1.0f, angle, 0.0f, 0.0f});
                      if (surface.withDiffuse) {
                        s.shader.set("u_diffuseColor", float3(1.0f));
                        s.shader.set("u_brdfCurvePower", 5.0f);
                        s.shader.set("u_brdf00Reflectivity", 0.04f);
                      }
                      return s;
                    });
}

}  // namespace
}  // namespace tarvo::test

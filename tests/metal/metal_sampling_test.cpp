// Physical checks of quarra_Mtl_Metal's path-tracing entries: directions drawn by `scatter`
// follow the density its `scatterInvPdf` reports and the Ward sampling density written out here
// (chi-square over the hemisphere), in a frame turned by the anisotropy rotation; a drawn
// direction's weight is what `evaluate` gives for it; the directional albedo never exceeds 1.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "tests/support/scatter_statistics.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

constexpr double kPi = kStatisticsPi;

struct SamplingCase {
  const char* name;
  bool glossyOnly;
  float roughness, anisotropy, rotation;
  float thetaDegrees, phiDegrees;  // of the incoming ray's direction of origin
  bool withDiffuse;  // diffuse colour 0.8 and reflectivity 0.5: D = 0.4, S = 0.5; else S = 1
};

struct MetalSurface {
  host::BoundShader shader;
  pvx::ShadingState state;
  double diffuseProbability;
  float diffuse;
};

MetalSurface makeSurface(const SamplingCase& c) {
  MetalSurface s{makeShader("quarra_Mtl_Metal"), cameraHit(), 0.0, 0.0f};
  s.shader.set("u_roughValue", c.roughness);
  s.shader.set("u_anisotropyValue", c.anisotropy);
  s.shader.set("u_anisoRotationValue", c.rotation);
  s.shader.set("u_brdf00Reflectivity", 1.0f);
  if (c.withDiffuse) {
    // Power 0: F = brdf90 = 0.5 at every angle, so D = 0.8 (1 - 0.5) and S = 1 x 0.5.
    s.shader.set("u_diffuseColor", float3(0.8f));
    s.shader.set("u_brdf90Reflectivity", 0.5f);
    s.diffuse = 0.4f;
    s.diffuseProbability = c.glossyOnly ? 0.0 : 0.5;
  }
  s.state = samplingHit(c.thetaDegrees, c.phiDegrees, c.glossyOnly);
  return s;
}

// World directions in the frame turned by `rotation` about N = z: T = (cos, sin, 0).
Direction rotatedLocal(const Direction& v, double rotation) {
  const double c = std::cos(rotation), s = std::sin(rotation);
  return {v.x * c + v.y * s, -v.x * s + v.y * c, v.z};
}

TEST(MetalScatter, DrawsFollowTheWardDensityInTheRotatedFrame) {
  const SamplingCase cases[] = {
      {"glossy, isotropic, head-on", true, 0.2f, 1.0f, 0.0f, 0.0f, 0.0f, false},
      {"glossy, anisotropic, rotated, 45 degrees, diffuse", true, 0.3f, 0.5f, 0.6f, 45.0f, 30.0f,
       true},
      {"glossy, anisotropic, rotated back, 70 degrees", true, 0.15f, 3.0f, -1.0f, 70.0f, 120.0f,
       false},
      {"glossy, rough, 85 degrees", true, 0.5f, 1.0f, 0.0f, 85.0f, 0.0f, false},
      {"mixture, isotropic, 30 degrees", false, 0.3f, 1.0f, 0.0f, 30.0f, 0.0f, true},
      {"mixture, anisotropic, rotated, 60 degrees", false, 0.2f, 2.0f, 2.0f, 60.0f, 45.0f, true},
      {"mixture, rough, anisotropic, 80 degrees", false, 0.5f, 0.5f, 0.3f, 80.0f, 200.0f, true},
  };
  constexpr int kSamples = 100000;

  uint32_t seed = 11;
  for (const SamplingCase& c : cases) {
    SCOPED_TRACE(c.name);
    MetalSurface s = makeSurface(c);
    const Direction i = rotatedLocal({s.state.I.x, s.state.I.y, s.state.I.z}, c.rotation);
    const double ax = c.roughness, ay = double(c.roughness) * c.anisotropy;
    auto density = [&](const Direction& o) {
      return s.diffuseProbability * o.z / kPi +
             (1.0 - s.diffuseProbability) *
                 wardReferenceDensity(i, rotatedLocal(o, c.rotation), ax, ay);
    };

    host::RecordingHost host(host::HostPolicy::Seeded, {}, seed++);
    DrawAgreement agree{c.glossyOnly ? pvx::kRayGlossy : pvx::kRayReflection};
    // Glossy-only draws leave the diffuse share D / pi out of the weight.
    agree.diffuseLeftOut = c.glossyOnly ? s.diffuse * 0.3183099f : 0.0f;
    expectDrawsFollowDensity(c.name, s.shader.material(), s.shader.material(), s.state, &host,
                             density, kSamples, agree);
  }
}

TEST(MetalScatter, DirectionalAlbedoStaysAtOrBelowOne) {
  // The reflectivity curve at its extremes: all glossy (F = 1), all diffuse (F = 0, diffuse 1,
  // where the albedo is exactly 1), and a Fresnel-like split from 0 head-on to 1 at grazing.
  struct Surface {
    const char* name;
    float roughness, f0, f90, power;
    float diffuse;
  };
  const Surface surfaces[] = {{"glossy 0.05", 0.05f, 1.0f, 1.0f, 0.0f, 0.0f},
                              {"glossy 0.5", 0.5f, 1.0f, 1.0f, 0.0f, 0.0f},
                              {"diffuse", 0.2f, 0.0f, 0.0f, 0.0f, 1.0f},
                              {"split 0.05", 0.05f, 0.0f, 1.0f, 5.0f, 1.0f},
                              {"split 0.5", 0.5f, 0.0f, 1.0f, 5.0f, 1.0f}};
  // A pure diffuse draw averages exactly 1, up to float rounding.
  expectAlbedoTable("metal", surfaces, {0.0f, 30.0f, 60.0f, 80.0f, 89.0f}, 200,
                    [](const Surface& surface, float angle) {
                      MetalSurface s = makeSurface(
                          {surface.name, false, surface.roughness, 1.0f, 0.0f, angle, 0.0f, false});
                      s.shader.set("u_diffuseColor", float3(surface.diffuse));
                      setCurve(s.shader, "u_brdf", surface.f0, surface.f90, surface.power);
                      return s;
                    });
}

}  // namespace
}  // namespace tarvo::test

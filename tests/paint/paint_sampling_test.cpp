// Physical checks of quarra_Mtl_MetallicPaint's path-tracing entries: the topcoat's mirror
// bounce is drawn with probability Ft (always when the host wants neither a diffuse nor a
// glossy bounce), whether or not the topcoat is on, with weight Ft and density pc; the base
// layer's draws follow (1 - pc) times the metal's mixture density (chi-square, the topcoat
// bounces pooled with the draws that give no direction) and weigh what `evaluate` gives; the
// directional albedo of both layers together stays at or below 1.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "tests/support/scatter_statistics.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

constexpr double kPi = kStatisticsPi;
constexpr int kTangentOffset = 36;

// Schlick from 0.3 at the cosine mu.
double topcoatReflectance(double mu) {
  return 0.3 + 0.7 * std::pow(1.0 - mu, 5.0);
}

struct Surface {
  host::BoundShader shader;
  pvx::ShadingState state;
  double Ft;
};

// A Fresnel-like base (0.04 head-on to 1 at grazing, power 5) of colour 0.8: D and S are never
// black, so the mixture draws half diffuse, half Ward.
Surface makeSurface(float roughness, float thetaDegrees, bool topcoat) {
  Surface s{makeShader("quarra_Mtl_MetallicPaint"), cameraHit(), 0.0};
  s.shader.set("u_baseRoughValue", roughness);
  s.shader.set("u_topcoatEnable", topcoat);
  s.shader.set("u_baseColor", pvx::float4(0.8f, 0.8f, 0.8f, 1.0f));
  s.shader.set("u_base00Reflectivity", 0.04f);
  s.shader.set("u_baseCurvePower", 5.0f);
  writeVarying(&s.state, kTangentOffset, float3(1.0f, 0.0f, 0.0f));
  const double t = thetaDegrees * kPi / 180.0;
  s.state.I = float3(float(std::sin(t)), 0.0f, float(-std::cos(t)));
  s.Ft = topcoatReflectance(std::cos(t));
  return s;
}

TEST(PaintScatter, TopcoatBounceWeighsFtWithDensityPc) {
  // pc = Ft when a diffuse or glossy bounce is allowed, else 1; Ft(0) = 0.3,
  // Ft(45) = 0.3 + 0.7 x 0.292893^5 = 0.301509, Ft(75) = 0.3 + 0.7 x 0.741181^5 = 0.456574.
  constexpr int kSamples = 20000;
  uint32_t seed = 3;
  for (float angle : {0.0f, 45.0f, 75.0f}) {
    for (bool topcoat : {true, false}) {
      for (bool mixture : {true, false}) {
        SCOPED_TRACE(testing::Message()
                     << angle << " degrees, topcoat " << topcoat << ", mixture " << mixture);
        Surface s = makeSurface(0.2f, angle, topcoat);
        if (!mixture) {
          s.state.allowScatter[pvx::kAllowDiffuseReflection] = 0;
          s.state.allowScatter[pvx::kAllowGlossyReflection] = 0;
        }
        const double pc = mixture ? s.Ft : 1.0;
        const float3 mirror(s.state.I.x, s.state.I.y, -s.state.I.z);
        host::RecordingHost host(host::HostPolicy::Seeded, {}, seed++);
        int bounces = 0;
        for (int n = 0; n < kSamples; ++n) {
          pvx::ShadingState st = s.state;
          s.shader.material()->scatter(&host, &st);
          if (st.scatterKind != pvx::kRayGlossy) {
            ASSERT_TRUE(mixture) << "only the topcoat bounces when the base may not";
            continue;
          }
          ++bounces;
          ASSERT_NEAR(st.scatterWeight.x, s.Ft, 1e-5);
          ASSERT_NEAR(st.scatterInvPdf, 1.0 / pc, 1e-4);
          ASSERT_EQ(st.scatterCos, 1.0f);
          ASSERT_TRUE(nearFloat3(st.scatterDir, mirror, 1e-5f));
        }
        const double share = double(bounces) / kSamples;
        EXPECT_NEAR(share, pc, 5.0 * std::sqrt(pc * (1.0 - pc) / kSamples) + 1e-9);
      }
    }
  }
}

// The paint with its topcoat bounces turned into "no direction": what is left is the base.
class BaseDrawsOnly final : public pvx::MaterialShader {
 public:
  explicit BaseDrawsOnly(pvx::MaterialShader* paint) : paint_(paint) {}
  void* destroy(unsigned) override { return nullptr; }
  void declareParameters(pvx::IParameterBinder*) override {}
  void copyParameters(const pvx::IShaderBase*) override {}
  void shade(pvx::IHostContext*, pvx::ShadingState*) const override {}
  void scatter(pvx::IHostContext* host, pvx::ShadingState* state) const override {
    paint_->scatter(host, state);
    if (state->scatterKind == pvx::kRayGlossy) state->scatterKind = pvx::kRayNone;
  }

 private:
  pvx::MaterialShader* paint_;
};

TEST(PaintScatter, BaseDrawsFollowTheMixtureDensityTimesTheBaseShare) {
  const struct {
    const char* name;
    float roughness, thetaDegrees;
    bool topcoat;
  } cases[] = {{"rough 0.2, head-on, topcoat", 0.2f, 0.0f, true},
               {"rough 0.3, 45 degrees", 0.3f, 45.0f, false},
               {"rough 0.15, 70 degrees, topcoat", 0.15f, 70.0f, true}};
  constexpr int kSamples = 100000;
  uint32_t seed = 40;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Surface s = makeSurface(c.roughness, c.thetaDegrees, c.topcoat);
    const Direction i{s.state.I.x, s.state.I.y, s.state.I.z};
    auto density = [&](const Direction& o) {
      return (1.0 - s.Ft) *
             (0.5 * o.z / kPi + 0.5 * wardReferenceDensity(i, o, c.roughness, c.roughness));
    };
    BaseDrawsOnly base(s.shader.material());
    host::RecordingHost host(host::HostPolicy::Seeded, {}, seed++);
    expectDrawsFollowDensity(c.name, &base, s.shader.material(), s.state, &host, density, kSamples,
                             DrawAgreement{pvx::kRayReflection});
  }
}

TEST(PaintScatter, DirectionalAlbedoOfBothLayersStaysAtOrBelowOne) {
  // With the topcoat on and a spread of 1 the base keeps 1 - Ft of the light and the topcoat
  // bounce takes Ft. With it off the bounce still takes Ft on top of the whole base, so the
  // bound only holds for a base that leaves Ft free: colour 0.2 under a constant reflectivity
  // of 0.1 (albedo about 0.28) against Ft up to 0.57 at 80 degrees.
  const struct {
    const char* name;
    bool topcoat;
    float roughness, colour, f0, f90, power;
  } surfaces[] = {{"on, glossy 0.05", true, 0.05f, 0.8f, 0.04f, 1.0f, 5.0f},
                  {"on, rough 0.5", true, 0.5f, 1.0f, 0.04f, 1.0f, 5.0f},
                  {"on, all glossy", true, 0.2f, 0.0f, 1.0f, 1.0f, 0.0f},
                  {"off, dark base", false, 0.2f, 0.2f, 0.1f, 0.1f, 0.0f}};
  expectAlbedoTable(
      "paint", surfaces, {0.0f, 30.0f, 60.0f, 80.0f}, 300, [](const auto& surface, float angle) {
        Surface s = makeSurface(surface.roughness, angle, surface.topcoat);
        s.shader.set("u_baseHighlightSpread", 1.0f);
        s.shader.set("u_baseColor", pvx::float4(surface.colour, surface.colour, surface.colour, 1));
        setCurve(s.shader, "u_base", surface.f0, surface.f90, surface.power);
        return s;
      });
}

}  // namespace
}  // namespace tarvo::test

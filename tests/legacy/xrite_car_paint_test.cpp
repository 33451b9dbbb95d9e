// XRite: the flake loop's lookups per call (none for solid paint, the footprint's cells near and
// grazing, the ceiling for absurd counts), the paint composed by hand, the clear coat's Fresnel
// curve on the local view, and the mask.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

struct Paint {
  host::BoundShader shader = makeShader("XRite");
  host::RecordingTexture2D flakes;
  host::RecordingTextureCube diffuse, specular, reflect;
  host::RecordingHost host;

  Paint() {
    flakes.value = float4(0.5f, 0.5f, 1.0f, 1.0f);  // every flake faces along the normal
    diffuse.value = float4(0.5f, 0.5f, 0.5f, 1.0f);
    specular.value = float4(1.5f, 1.5f, 1.5f, 1.0f);
    reflect.value = float4(1.0f, 1.0f, 1.0f, 1.0f);  // channel sum exactly 3
    shader.set("flakeNormalTexture", static_cast<pvx::ITexture2D*>(&flakes));
    shader.set("diffuseCube", static_cast<pvx::ITextureCube*>(&diffuse));
    shader.set("specularCube", static_cast<pvx::ITextureCube*>(&specular));
    shader.set("reflectCube", static_cast<pvx::ITextureCube*>(&reflect));
    host.traceSpecularAnswer = float3(0.2f, 0.4f, 0.6f);
  }
  pvx::ShadingState shade(pvx::ShadingState s) {
    shader.material()->shade(&host, &s);
    return s;
  }
};

// Head-on from half a unit: lod = 0.0025 0.5 / 0.001953125 = 0.64, f = 4 lod = 2.56: 3 x 3 cells.
pvx::ShadingState nearView() {
  pvx::ShadingState s = cameraHit();
  s.rayOrigin = float3(0.0f, 0.0f, 0.5f);
  return s;
}

// V.n = 0.00005, below the grazing limit: the footprint is maxFlakes.
pvx::ShadingState grazingView() {
  pvx::ShadingState s = cameraHit();
  s.I = float3(-1.0f, 0.0f, -0.00005f);
  s.rayOrigin = float3(5.0f, 0.0f, 0.00025f);
  return s;
}

TEST(XRite, FlakeLookupsPerCallFollowTheFootprintUpToTheCeiling) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* name;
    pvx::ShadingState state;
    bool solid;
    float flakeZ, maxFlakes, flakeFactor;
    size_t flakeLookups, reflectLookups, specularLookups;
  };
  const Case cases[] = {
      {"solid paint", nearView(), true, 1.0f, 7.0f, 4.0f, 0, 0, 0},
      {"near view", nearView(), false, 1.0f, 7.0f, 4.0f, 9, 9, 9},
      // A flake standing exactly at contributionFactor only glows.
      {"flakes at the threshold", nearView(), false, 0.75f, 7.0f, 4.0f, 9, 0, 9},
      {"grazing view: 4 x 7 = 28 per side", grazingView(), false, 1.0f, 7.0f, 4.0f, 784, 784, 784},
      {"1e9 flakes: the 32 x 32 ceiling", grazingView(), false, 1.0f, 1e9f, 4.0f, 1024, 1024, 1024},
      {"NaN flakes", grazingView(), false, 1.0f, nan, 4.0f, 0, 0, 0},
      {"negative factor", nearView(), false, 1.0f, 7.0f, -4.0f, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Paint paint;
    paint.flakes.value.z = c.flakeZ;
    paint.shader.set("xriteIsSolid", c.solid);
    paint.shader.set("maxFlakes", c.maxFlakes);
    paint.shader.set("flakeFactor", c.flakeFactor);
    const auto start = std::chrono::steady_clock::now();
    const pvx::ShadingState s = paint.shade(c.state);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    EXPECT_EQ(paint.flakes.sampleCount(), c.flakeLookups);
    EXPECT_EQ(paint.reflect.sampleCount(), c.reflectLookups);
    EXPECT_EQ(paint.specular.sampleCount(), c.specularLookups);
    EXPECT_EQ(paint.diffuse.sampleCount(), 1u);  // the base coat, along the normal
    for (float v : {s.Ci.x, s.Ci.y, s.Ci.z})
      EXPECT_TRUE(std::isfinite(v) && v >= 0.0f && v <= 1.0f);
  }
}

TEST(XRite, ComposesBaseFlakesAndClearCoat) {
  Paint paint;
  paint.host.occlusionAnswer = float3(1.0f);
  const pvx::ShadingState s = paint.shade(nearView());
  // Cells: weights 0.56^2, 0.56 (x4), 1 (x4): W = 2.56^2 = 6.5536, sums scale W / (W + 0.01).
  // Sparkle: reflect sum 3 is not above 3, (3/3)^4 = 1: flakeColor. Glow: 4.5 > 3: flakeColor2.
  // flakes = 0.998476 (0.1993, 0.2018, 0.2056) = (0.198996, 0.201493, 0.205287),
  //   encoded 1.055 x^(1/2.4) - 0.055 = (0.483399, 0.486203, 0.490426);
  // base = 0.5 xriteDiffuse = (0.00245, 0.00245, 0.00225), encoded 12.92 x = (0.031654, ..,
  // 0.02907); paint = 0.344 base' + 0.656 flakes' = (0.327999, 0.329838, 0.331720); head-on coat
  // weight min(0^2.5 0.9 + 0.04, 1) = 0.04: 0.96 paint + 0.04 (0.2, 0.4, 0.6).
  EXPECT_TRUE(nearFloat3(pvx::rgb(s.Ci), float3(0.322879f, 0.332645f, 0.342451f), 2e-5f));
  EXPECT_EQ(s.Ci.w, 1.0f);  // the host's alpha stands
  ASSERT_EQ(paint.host.count(slot::kTraceSpecular), 1);
  // The coat reflects about the normal: straight back up.
  EXPECT_TRUE(nearFloat3(paint.host.first(slot::kTraceSpecular)->vector(1), float3(0, 0, 1)));
  EXPECT_EQ(paint.host.count(slot::kLightSamples), 1);
  EXPECT_EQ(paint.host.first(slot::kLightSamples)->integer, -2);
}

TEST(XRite, ClearCoatFresnelOnTheLocalViewCosine) {
  // Unbound cubes and image: no flakes, a black base; what is left is the coat times F_c.
  pvx::mat4 tilted = pvx::identity4;  // world z becomes object y: the local view lies flat
  tilted.m[9] = 1.0f;
  tilted.m[10] = 0.0f;
  struct Case {
    const char* name;
    float3 I;
    pvx::mat4 worldToObject;
    float weight;
  };
  const Case cases[] = {
      {"head-on", float3(0, 0, -1), pvx::identity4, 0.04f},
      // c = 0.6: 0.4^2.5 0.9 + 0.04.
      {"oblique", float3(0.8f, 0, -0.6f), pvx::identity4, 0.131074f},
      // Through worldToObject the view (0, 0, 1) becomes (0, 1, 0): c = 0, 0.9 + 0.04.
      {"view through worldToObject", float3(0, 0, -1), tilted, 0.94f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host::BoundShader shader = makeShader("XRite");
    host::RecordingHost host;
    host.traceSpecularAnswer = float3(1.0f, 0.5f, 0.25f);
    pvx::ShadingState s = cameraHit();
    s.I = c.I;
    s.worldToObject = c.worldToObject;
    shader.material()->shade(&host, &s);
    EXPECT_TRUE(nearFloat3(pvx::rgb(s.Ci), float3(1.0f, 0.5f, 0.25f) * c.weight, 1e-5f));
  }
}

TEST(XRite, MaskDiscardsBlendsAndCastsTheShadow) {
  host::BoundShader shader = makeShader("XRite");
  host::RecordingHost host;
  host.traceContinueAnswer = float4(1.0f, 1.0f, 1.0f, 0.5f);
  pvx::ShadingState s = cameraHit();
  shader.material()->shadow(&host, &s);
  EXPECT_EQ(s.shadowT, float3(0.0f));  // default mask: opaque, a full shadow

  shader.set("maskingColor", float3(0.25f, 0.5f, 0.0f));
  shader.set("maskingInvertTexture", true);  // no effect on the constant mode
  s = cameraHit();
  shader.material()->shade(&host, &s);
  // Unlit paint is black: the continuation shows by the mask; alpha untouched.
  EXPECT_TRUE(nearFloat4(s.Ci, float4(0.25f, 0.5f, 0.0f, 1.0f)));
  shader.material()->shadow(&host, &s);
  EXPECT_EQ(s.shadowT, float3(0.25f, 0.5f, 0.0f));

  shader.set("maskingColor", float3(1.0f));
  s = cameraHit();
  shader.material()->shade(&host, &s);
  EXPECT_EQ(s.ignoreHit, 1);
}

}  // namespace
}  // namespace tarvo::test

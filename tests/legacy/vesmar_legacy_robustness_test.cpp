// VesmarLegacy gives defined, finite results where its inputs leave the tables: channel modes
// outside them, NaN projection matrices, a slab of thickness zero, indices of refraction of 0.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

bool finite(const float* v, int n) {
  for (int i = 0; i < n; ++i)
    if (!std::isfinite(v[i])) return false;
  return true;
}

TEST(VesmarLegacyRobustness, OutOfTableInputsGiveFiniteResults) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  pvx::mat4 nanMatrix = pvx::identity4;
  nanMatrix.m[0] = nanMatrix.m[13] = nan;
  struct Case {
    const char* what;
    std::function<void(BoundShader&)> setup;
  };
  const Case cases[] = {
      {"modes above the tables",
       [](BoundShader& m) {
         for (const char* p : {"diffuseMode", "specularMode", "transparencyMode", "bumpMode",
                               "maskingMode", "reflectType", "IBLDiffMode", "IBLSpecMode"})
           m.set(p, int32_t{9});
       }},
      {"modes below the tables",
       [](BoundShader& m) {
         for (const char* p : {"diffuseMode", "specularMode", "transparencyMode", "bumpMode",
                               "maskingMode", "reflectType"})
           m.set(p, int32_t{-7});
       }},
      {"NaN projections",
       [&](BoundShader& m) {
         for (const char* p :
              {"diffuseTextureMatrix", "transparencyTextureMatrix", "bumpTextureMatrix",
               "bumpTextureMatrixInverse", "maskingTextureMatrix"})
           m.set(p, nanMatrix);
         m.set("diffuseMode", int32_t{3});
         m.set("transparencyMode", int32_t{4});
         m.set("bumpMode", int32_t{4});
         m.set("maskingMode", int32_t{2});
       }},
      {"slab of thickness zero", [](BoundShader& m) { m.set("simulatedThickness", 0.0f); }},
      {"index of refraction 0",
       [](BoundShader& m) {
         m.set("refractiveIndex", 0.0f);
         m.set("useUniformReflectivity", false);
         m.set("fresnel", pvx::float4(0.0f, 0.0f, -2.0f, 1.0f));
         m.set("clearCoat_fresnel", pvx::float4(0.0f, 0.0f, -2.0f, 1.0f));
       }},
  };
  for (const Case& c : cases) {
    for (int facing = 0; facing < 2; ++facing) {
      SCOPED_TRACE(::testing::Message() << c.what << ", frontFacing " << facing);
      BoundShader m = tarvo::test::makeShader("VesmarLegacy");
      c.setup(m);
      pvx::ShadingState s = cameraHit();
      s.frontFacing = uint8_t(facing);
      s.I = float3(0.0f, 0.6f, -0.8f);
      s.scatterDir = float3(0.0f, 0.0f, 1.0f);
      RecordingHost host;
      host.logging = false;
      host.lights = {tarvo::host::makeLight(float3(0, 0, 1), float3(1.0f))};
      auto* material = m.material();
      pvx::ShadingState shaded = s, shadowed = s, evaluated = s, scattered = s;
      material->shade(&host, &shaded);
      material->shadow(&host, &shadowed);
      material->evaluate(&host, &evaluated);
      material->scatter(&host, &scattered);
      EXPECT_TRUE(shaded.ignoreHit || finite(&shaded.Ci.x, 4));
      EXPECT_TRUE(finite(&shadowed.shadowT.x, 3));
      EXPECT_TRUE(evaluated.ignoreHit ||
                  (finite(&evaluated.scatterWeight.x, 3) && std::isfinite(evaluated.scatterCos)));
      if (!scattered.ignoreHit && scattered.scatterKind != pvx::kRayNone) {
        EXPECT_TRUE(finite(&scattered.scatterDir.x, 3));
        EXPECT_TRUE(finite(&scattered.scatterWeight.x, 3));
      }
    }
  }
}

}  // namespace
}  // namespace tarvo::test

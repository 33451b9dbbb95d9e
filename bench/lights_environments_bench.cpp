// Cost of a light query and of an escaped ray: the lights with their falloff, cone and shadow
// call doing real work, the environments with every image bound to a constant texture so that
// the lookup path (mapping, host call, grading) is what is timed. The varied states take the
// environments through camera, reflection, continued and transmitted rays.
#include "bench/bench_support.h"

#include <cstdint>

namespace tarvo::bench {
namespace {

constexpr double kLightBudgetNs = 30.0;
constexpr double kEnvironmentBudgetNs = 80.0;

void bindBackplateImages(BoundShader& s) {
  s.set("environmentSourceImage", static_cast<pvx::ITexture2D*>(&textures().texture2D));
  s.set("custom2DBackground", static_cast<pvx::ITexture2D*>(&textures().texture2D));
  s.set("customCubeBackground", static_cast<pvx::ITextureCube*>(&textures().textureCube));
  s.set("uv_scale", pvx::float2(1.0f / 64.0f, 1.0f / 48.0f));
  s.set("render_size", pvx::float2(64.0f, 48.0f));
  s.set("globalIBLGainValue", 1.5f);
}

const bool registered = [] {
  registerEntryPoints(
      "qvPointLight", "falloff",
      [](BoundShader& s) { s.set("attenuationFactors", pvx::float3(20.0f, 2.0f, 0.0f)); },
      kLightBudgetNs);
  registerEntryPoints(
      "qvSpotLight", "cone edge",
      [](BoundShader& s) {
        s.set("attenuationFactors", pvx::float3(20.0f, 2.0f, 3.0f));
        s.set("cosPenumbra", 0.5f);
        s.set("cosUmbra", 0.999f);
      },
      kLightBudgetNs);
  registerEntryPoints(
      "quarra_Env_Default", "graded image",
      [](BoundShader& s) {
        s.set("reflectionLatlong", static_cast<pvx::ITexture2D*>(&textures().texture2D));
        s.set("reflectIBLContrast", pvx::float2(0.5f, 1.2f));
        s.set("reflectIBLGainMode", int32_t(2));
        s.set("reflectIBLSaturation", 0.8f);
        s.set("useBackgroundGeometry", true);  // every kind but the camera's sees the image
      },
      kEnvironmentBudgetNs);
  const char* const modeNames[] = {"flat", "camera into environment", "screen image",
                                   "camera into cube", "camera into latlong image"};
  for (int32_t mode = 0; mode <= 4; ++mode) {
    registerEntryPoints(
        "quarra_Env_Backplate", modeNames[mode],
        [mode](BoundShader& s) {
          bindBackplateImages(s);
          s.set("backgroundMode", mode);
        },
        kEnvironmentBudgetNs);
  }
  return true;
}();

}  // namespace
}  // namespace tarvo::bench

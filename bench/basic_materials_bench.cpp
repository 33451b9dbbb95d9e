// The basic materials: nanoseconds per entry-point call on the varied states, against their
// budgets (20 ns for the utility materials, 60 ns for ambient-only and the shadow plane).
#include "bench/bench_support.h"

namespace tarvo::bench {
namespace {

const bool registered = [] {
  registerEntryPoints("quarra_Mtl_Unlit", "default", {}, 20.0);
  registerEntryPoints("quarra_Mtl_Solid", "default", {}, 20.0);
  registerEntryPoints(
      "quarra_Mtl_Solid", "switches",
      [](BoundShader& s) {
        s.set("reverseNormal", true);
        s.set("faceForward", true);
        s.set("patchState", int32_t{2});
      },
      20.0);
  registerEntryPoints("quarra_Mtl_NormalsOnly", "default", {}, 20.0);

  registerEntryPoints("quarra_Mtl_AmbientOnly", "default", {}, 60.0);
  registerEntryPoints(
      "quarra_Mtl_AmbientOnly", "host_occlusion",
      [](BoundShader& s) {
        s.set("showAmbientOnly", true);
        s.set("usingRaytracedAO", true);
        s.set("ambientOcclusionFactor", 0.8f);
      },
      60.0);
  registerEntryPoints(
      "quarra_Mtl_AmbientOnly", "vertex_colour",
      [](BoundShader& s) {
        s.set("showAmbientOnly", true);
        s.set("ambientOcclusionMode", int32_t{2});
      },
      60.0);
  registerEntryPoints(
      "quarra_Mtl_AmbientOnly", "texture",
      [](BoundShader& s) {
        s.set("showAmbientOnly", true);
        s.set("ambientOcclusionMode", int32_t{1});
        s.set("ambientOcclusionTexture", static_cast<pvx::ITexture2D*>(&textures().texture2D));
      },
      60.0);

  registerEntryPoints("quarra_Mtl_ShadowPlane", "default", {}, 60.0);
  registerEntryPoints(
      "quarra_Mtl_ShadowPlane", "mere_shadow",
      [](BoundShader& s) {
        s.set("shadowColor", pvx::float3(0.1f, 0.05f, 0.2f));
        s.set("draw_mere_shadow", true);
      },
      60.0);
  return true;
}();

}  // namespace
}  // namespace tarvo::bench

// XRite and BackgroundGeometry: nanoseconds per entry-point call on the varied states (constant
// host, constant textures and cubes). XRite's shade with its cubes and flake image bound at the
// varied views (up to the default 28 x 28 flake cells) stays under 20 us, and at the 32 x 32
// ceiling (1e9 flakes) under 10 ms; its shadow under 100. BackgroundGeometry's shade stays under
// 200 without received shadows and under 400 on the host's four light records; shadow and
// scatter under 100.
#include "bench/bench_support.h"

namespace tarvo::bench {
namespace {

void litByCubes(BoundShader& s) {
  auto* cube = static_cast<pvx::ITextureCube*>(&textures().textureCube);
  s.set("flakeNormalTexture", static_cast<pvx::ITexture2D*>(&textures().texture2D));
  for (const char* name : {"diffuseCube", "specularCube", "reflectCube"})
    s.set(name, cube);
}

void atTheCeiling(BoundShader& s) {
  litByCubes(s);
  s.set("maxFlakes", 1e9f);
  s.set("flakeFactor", 1e9f);
}

void noShadows(BoundShader& s) {
  s.set("receiveShadow", 0.0f);
}

void texturedBackdrop(BoundShader& s) {
  auto* texture = static_cast<pvx::ITexture2D*>(&textures().texture2D);
  s.set("diffuseMode", int32_t{5});
  s.set("diffuseTexture", texture);
  s.set("reflectLatlong", texture);
}

const bool registered = [] {
  registerEntryPoints("XRite", "cubes", litByCubes, EntryBudgets{20000.0, 100.0, 0.0, 0.0});
  registerEntryPoints("XRite", "ceiling", atTheCeiling, EntryBudgets{1e7, 100.0, 0.0, 0.0});
  registerEntryPoints("BackgroundGeometry", "no_shadows", noShadows,
                      EntryBudgets{200.0, 100.0, 0.0, 100.0});
  registerEntryPoints("BackgroundGeometry", "textured_shadows", texturedBackdrop,
                      EntryBudgets{400.0, 100.0, 0.0, 100.0});
  return true;
}();

}  // namespace
}  // namespace tarvo::bench

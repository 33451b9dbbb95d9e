// quarra_Mtl_Ward: nanoseconds per entry-point call on the varied states with four light
// records. Budgets with the defaults: shade 400, shadow and evaluate 150, scatter 200. With every
// map switched on (constant textures) the texture calls and the normal maps are what is measured.
#include "bench/bench_support.h"

namespace tarvo::bench {
namespace {

void switchOnEveryMap(BoundShader& s) {
  auto* texture = static_cast<pvx::ITexture2D*>(&textures().texture2D);
  const char* const maps[] = {"normal0",       "normal0Amount", "normal1",       "diffuse",
                              "specular",      "rough",         "refractGlossy", "anisotropy",
                              "anisoRotation", "brdf00Reflect", "brdf90Reflect", "transparency",
                              "translucency",  "cutout",        "additional"};
  for (const char* stem : maps) {
    s.set(std::string("u_") + stem + "MapEnable", true);
    s.set(std::string("u_") + stem + "Map", texture);
  }
  s.set("u_normal0Amount", 0.3f);
  s.set("u_normal1Amount", 0.2f);
  s.set("u_imageFadeEnable", int32_t{2});
  s.set("u_imageFadeMap", texture);
  s.set("u_transparency", true);
  s.set("u_transparencyFade", 0.5f);
  s.set("u_reflectivity", 0.6f);
  s.set("u_additionalColor", pvx::float3(0.1f));
}

const bool registered = [] {
  registerEntryPoints("quarra_Mtl_Ward", "default", {}, EntryBudgets{400.0, 150.0, 150.0, 200.0});
  registerEntryPoints("quarra_Mtl_Ward", "diffuse_and_glossy", diffuseAndGlossy,
                      EntryBudgets{400.0, 150.0, 150.0, 200.0});
  registerEntryPoints("quarra_Mtl_Ward", "every_map", switchOnEveryMap,
                      EntryBudgets{800.0, 150.0, 400.0, 400.0});
  return true;
}();

}  // namespace
}  // namespace tarvo::bench

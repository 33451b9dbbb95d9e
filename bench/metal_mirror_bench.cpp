// quarra_Mtl_Metal and quarra_Mtl_Mirror: nanoseconds per entry-point call on the varied states
// with four light records. Mirror: shade 60 (one trace). Metal with the defaults: shade 400,
// shadow and evaluate 150, scatter 200; with patina, flecks, switchers, both bumps and a cut-out
// pattern: shade 1500.
#include "bench/bench_support.h"

namespace tarvo::bench {
namespace {

// Patina, flecks, every switcher map with the anodised noise, both bumps and the staggered
// round holes, with constant textures.
void switchOnEverything(BoundShader& s) {
  auto* texture = static_cast<pvx::ITexture2D*>(&textures().texture2D);
  s.set("u_patinaEnable", true);
  s.set("n_patinaPercent", 0.5f);
  s.set("u_flecksEnable", true);
  s.set("u_reflectSwitcher", int32_t{4});
  s.set("u_anisoRotSwitcher", int32_t{3});
  for (const char* map : {"u_brushMap", "u_breakMap", "u_bumpMapColor", "u_patternMap"})
    s.set(map, texture);
  s.set("u_brushMapEnable", true);
  s.set("u_breakMapEnable", true);
  s.set("u_patternEnable", true);
  s.set("u_bumpSwitcher", int32_t{1});
  s.set("u_cutoutsSwitcher", int32_t{1});
  s.set("u_diffuseColor", pvx::float3(0.6f, 0.5f, 0.4f));
  s.set("u_roughValue", 0.2f);
  s.set("u_anisotropyValue", 0.5f);
}

const bool registered = [] {
  registerEntryPoints("quarra_Mtl_Metal", "default", {}, EntryBudgets{400.0, 150.0, 150.0, 200.0});
  registerEntryPoints("quarra_Mtl_Metal", "diffuse_and_glossy", diffuseAndGlossy,
                      EntryBudgets{400.0, 150.0, 150.0, 200.0});
  registerEntryPoints("quarra_Mtl_Metal", "every_feature", switchOnEverything,
                      EntryBudgets{1500.0, 150.0, 400.0, 400.0});
  registerEntryPoints(
      "quarra_Mtl_Mirror", "tinted",
      [](BoundShader& s) { s.set("u_tintColor", pvx::float3(0.9f, 0.8f, 0.7f)); },
      EntryBudgets{60.0, 0.0, 60.0, 60.0});
  return true;
}();

}  // namespace
}  // namespace tarvo::bench

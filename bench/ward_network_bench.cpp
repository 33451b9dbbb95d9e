// The nine Ward network variants: nanoseconds per entry-point call on the varied states with four
// light records. With the networks off each stays within 10 % of quarra_Mtl_Ward's budgets; with
// them on (constant textures, the constant host's noise, every bitmap bound) the networks are
// what is measured: the bump evaluates its network three times per call.
#include <string>

#include "bench/bench_support.h"

namespace tarvo::bench {
namespace {

const char* const kVariants[] = {
    "quarra_Mtl_Ward_120b7820", "quarra_Mtl_Ward_33632204", "quarra_Mtl_Ward_5592d496",
    "quarra_Mtl_Ward_5ba0bfff", "quarra_Mtl_Ward_82261344", "quarra_Mtl_Ward_aa598cb4",
    "quarra_Mtl_Ward_b9aac246", "quarra_Mtl_Ward_ccb3a2e6", "quarra_Mtl_Ward_f05db29e"};

void switchOnTheNetworks(BoundShader& s) {
  auto* texture = static_cast<pvx::ITexture2D*>(&textures().texture2D);
  for (const tarvo::host::ParameterRecord& p : s.table().parameters()) {
    const std::string& n = p.name;
    if (n.size() > 8 && n.compare(n.size() - 8, 8, "_texture") == 0) s.set(n, texture);
    if (n.size() > 6 && n.compare(n.size() - 6, 6, "_type") == 0) s.set(n, int32_t{1});
  }
  // Only the inputs a network drives: the others would read unbound maps.
  const auto drives = [&](const char* input) {
    for (const tarvo::host::ParameterRecord& p : s.table().parameters()) {
      if (p.name.rfind(std::string("_ward_") + input, 0) == 0) return true;
    }
    return false;
  };
  s.set("u_diffuseMapEnable", drives("diffuse_color"));
  s.set("u_normal0MapEnable", drives("normal0_map"));
  s.set("u_normal0Amount", 0.3f);
  s.set("u_cutoutMapEnable", drives("cutout_map"));
  s.set("u_diffuseColor", pvx::float3(0.6f, 0.5f, 0.4f));
  s.set("u_brdfCurvePower", 5.0f);
}

const bool registered = [] {
  for (const char* variant : kVariants) {
    registerEntryPoints(variant, "networks_off", {}, EntryBudgets{440.0, 165.0, 165.0, 220.0});
    // The deepest networks (two nested noises, or a noise of two tiles) get the largest budget.
    const std::string name = variant;
    const double shade =
        name == "quarra_Mtl_Ward_33632204" || name == "quarra_Mtl_Ward_b9aac246" ? 2500.0 : 1500.0;
    registerEntryPoints(variant, "networks_on", switchOnTheNetworks,
                        EntryBudgets{shade, shade * 0.5, shade, shade});
  }
  return true;
}();

}  // namespace
}  // namespace tarvo::bench

// VesmarLegacy: nanoseconds per entry-point call on the varied states with four light records.
// Budgets with the defaults: shade 600, shadow 150, evaluate 200, scatter 250. With every channel
// textured (constant textures, box projections, the bump channel cylindrical), both lobes,
// Fresnel curves, a traced reflection and slab refraction, shade stays under 2000.
#include "bench/bench_support.h"

namespace tarvo::bench {
namespace {

void texturedLayers(BoundShader& s) {
  auto* texture = static_cast<pvx::ITexture2D*>(&textures().texture2D);
  const char* const channels[] = {"diffuse", "specular", "transparency", "bump", "masking"};
  for (const char* ch : channels) {
    s.set(std::string(ch) + "Mode", int32_t{3});
    s.set(std::string(ch) + "Texture", texture);
  }
  s.set("bumpMode", int32_t{4});
  s.set("reflectType", int32_t{2});
  s.set("useUniformReflectivity", false);
  s.set("fresnel", pvx::float4(0.05f, 0.9f, 5.0f, 1.0f));
  s.set("clearCoat_fresnel", pvx::float4(0.04f, 1.0f, 5.0f, 1.0f));
  s.set("surfaceRoughness", 0.1f);
  s.set("simulatedThickness", 0.2f);
  s.set("absorbanceRGB", pvx::float3(0.5f, 0.2f, 0.1f));
}

const bool registered = [] {
  const EntryBudgets budgets{600.0, 150.0, 200.0, 250.0};
  registerEntryPoints("VesmarLegacy", "default", {}, budgets);
  registerEntryPoints("VesmarLegacy", "textured_layers", texturedLayers,
                      EntryBudgets{2000.0, 250.0, 400.0, 400.0});
  return true;
}();

}  // namespace
}  // namespace tarvo::bench

// quarra_Mtl_Dielectric and quarra_Mtl_Glazing: nanoseconds per entry-point call on the varied
// states with four light records. Budgets: dielectric shade 400, shadow and evaluate 150,
// scatter 200; glazing shade 300, shadow, evaluate and scatter 120. The kernel these stand on,
// GGX reflection plus transmission on local directions alone (no frame, no inputs, no host), is
// measured too, so `evaluate` can be read as a multiple of it.
#include <array>
#include <string>

#include "bench/bench_support.h"
#include "shadinglib/microfacet.h"

namespace tarvo::bench {
namespace {

// Incident and outgoing pairs over both hemispheres: reflections, transmissions, grazing ones.
struct DirectionPair {
  pvx::float3 i, o;
};
std::array<DirectionPair, 8> directionPairs() {
  using pvx::float3;
  using pvx::normalize;
  return {{{float3(0, 0, -1), float3(0, 0, 1)},
           {normalize(float3(0.5f, 0, -1)), normalize(float3(0.4f, 0.1f, 1))},
           {normalize(float3(0.5f, 0, -1)), normalize(float3(0.3f, 0, -1))},
           {normalize(float3(-1, 0.3f, -0.2f)), normalize(float3(0.2f, 0.5f, 1))},
           {normalize(float3(0.1f, 0.2f, -1)), normalize(float3(-0.1f, 0.1f, -1))},
           {normalize(float3(1, 1, -0.5f)), normalize(float3(-1, 0, 0.5f))},
           {normalize(float3(0, 1, -1)), normalize(float3(0, 0.6f, -1))},
           {normalize(float3(0.9f, 0, -0.1f)), normalize(float3(0.9f, 0, 0.1f))}}};
}

void ggxReflectionPlusTransmission(benchmark::State& timer) {
  const std::array<DirectionPair, 8> pairs = directionPairs();
  const float alpha2 = pvx::ggxAlphaSquared(0.3f);
  const float eta = 1.0f / 1.52f;
  size_t next = 0;
  for (auto _ : timer) {
    const DirectionPair& p = pairs[next];
    const float F = pvx::schlickReflectance(0.1f, -p.i.z);
    benchmark::DoNotOptimize(pvx::microfacetScattering(p.i, p.o, F, eta, alpha2));
    next = (next + 1) % pairs.size();
  }
}
BENCHMARK(ggxReflectionPlusTransmission)->Name("kernel/ggx_reflection_plus_transmission");

void frostedGlass(BoundShader& s) {
  s.set("u_roughValue", 0.3f);
  s.set("u_falloffEnable", true);
  s.set("u_absorptionCoef", pvx::float3(0.2f, 0.1f, 0.05f));
}

void everyMap(BoundShader& s) {
  auto* texture = static_cast<pvx::ITexture2D*>(&textures().texture2D);
  for (const char* stem : {"normal0", "normal1", "rough", "transmittance"}) {
    s.set(std::string("u_") + stem + "MapEnable", true);
    s.set(std::string("u_") + stem + "Map", texture);
  }
  s.set("u_normal0Amount", 0.3f);
  s.set("u_normal1Amount", 0.2f);
  s.set("u_falloffEnable", true);
  s.set("u_absorptionCoef", pvx::float3(1.0f));
}

void proceduralRipple(BoundShader& s) {
  s.set("u_procedureMapEnable", int32_t{1});
  s.set("u_procedureMapAmount", 0.2f);
  s.set("u_roughValue", 0.1f);
}

const bool registered = [] {
  const EntryBudgets dielectric{400.0, 150.0, 150.0, 200.0};
  registerEntryPoints("quarra_Mtl_Dielectric", "default", {}, dielectric);
  registerEntryPoints("quarra_Mtl_Dielectric", "frosted", frostedGlass, dielectric);
  registerEntryPoints("quarra_Mtl_Dielectric", "every_map", everyMap,
                      EntryBudgets{500.0, 150.0, 250.0, 300.0});
  registerEntryPoints("quarra_Mtl_Dielectric", "procedural_ripple", proceduralRipple,
                      EntryBudgets{600.0, 150.0, 350.0, 400.0});
  const EntryBudgets glazing{300.0, 120.0, 120.0, 120.0};
  registerEntryPoints("quarra_Mtl_Glazing", "default", {}, glazing);
  registerEntryPoints(
      "quarra_Mtl_Glazing", "rough_double",
      [](BoundShader& s) {
        s.set("u_rough", 0.2f);
        s.set("u_level", 2.0f);
      },
      glazing);
  return true;
}();

}  // namespace
}  // namespace tarvo::bench

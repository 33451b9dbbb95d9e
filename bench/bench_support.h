// What every entry-point benchmark stands on: the library, instances set up by name, a host
// whose services answer constants (host/recording_host.h, the Constant policy: four light
// records, no logging), the fixed set of varied shading states, and the timed loop. A benchmark
// file registers its classes at start-up:
//
//   static const bool registered = [] {
//     tarvo::bench::registerEntryPoints("quarra_Mtl_Ward", "default", {}, 200.0);
//     tarvo::bench::registerEntryPoints("quarra_Mtl_Ward", "textured",
//         [](tarvo::host::BoundShader& s) { s.set("u_diffuseMapEnable", true); ... }, 250.0);
//     return true;
//   }();
//
// which adds "<Class>/<setup>/<entry>" for every entry point in the class's capability mask.
// Each reports nanoseconds per call (one call per iteration, cycling through the states) and its
// budget in the `budget_ns` counter.
#ifndef TARVO_BENCH_SUPPORT_H
#define TARVO_BENCH_SUPPORT_H

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/parameter_table.h"
#include "host/plugin_library.h"
#include "host/recording_host.h"

namespace tarvo::bench {

using host::BoundShader;

const host::PluginLibrary& library();

// A new instance with its declarations recorded, ready for BoundShader::set.
host::BoundShader makeShader(std::string_view className);

// Texture objects that live for the whole run, for binding in a setup.
host::ConstantTextures& textures();

// Sets parameters of a fresh instance before timing.
using Setup = std::function<void(host::BoundShader&)>;

// Registers one benchmark per entry point the class implements (shade for lights and
// environments; shade, shadow, evaluate, scatter by the capability mask for materials).
void registerEntryPoints(const std::string& className, const std::string& setupName, Setup setup,
                         double budgetNs);

// Budgets per material entry point, for classes whose entry points cost differently.
struct EntryBudgets {
  double shade, shadow, evaluate, scatter;
};
void registerEntryPoints(const std::string& className, const std::string& setupName, Setup setup,
                         const EntryBudgets& budgetsNs);

// The material entry points in slot order, and whether a catalogue class implements one (by its
// capability mask; lights and environments implement shade alone).
struct EntryPoint {
  int32_t capability;
  int slot;
  const char* name;
};
extern const EntryPoint kMaterialEntryPoints[4];
bool implements(const pvx::CatalogueEntry& entry, const EntryPoint& point);

// A diffuse colour under a Fresnel-like glossy curve, anisotropic: a setup the Ward family and
// the metal share.
void diffuseAndGlossy(host::BoundShader& s);

// Every setup registered so far, in registration order: the instruction counts
// (bench/instruction_counts.h) run the same setups.
struct RegisteredSetup {
  std::string className;
  std::string setupName;
  Setup setup;
};
const std::vector<RegisteredSetup>& registeredSetups();

// The timed loop: calls virtual slot `slot` of `shader` once per iteration on the next of the
// varied states.
void runEntryPoint(benchmark::State& timer, pvx::IShaderBase* shader, int slot,
                   pvx::IHostContext* host);

}  // namespace tarvo::bench

#endif  // TARVO_BENCH_SUPPORT_H

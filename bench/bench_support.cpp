#include "bench/bench_support.h"

#include <array>
#include <utility>

namespace tarvo::bench {

namespace {

template <class Call>
void timeCalls(benchmark::State& timer, Call&& call) {
  std::array<pvx::ShadingState, host::kVariedStateCount> states = host::variedShadingStates();
  size_t next = 0;
  for (auto _ : timer) {
    call(&states[next]);
    next = (next + 1) % host::kVariedStateCount;
  }
  benchmark::DoNotOptimize(states.data());
}

std::vector<RegisteredSetup>& setups() {
  static std::vector<RegisteredSetup> registered;
  return registered;
}

}  // namespace

const EntryPoint kMaterialEntryPoints[4] = {
    {pvx::kCapShade, pvx::shader_slot::kShade, "shade"},
    {pvx::kCapShadow, pvx::shader_slot::kShadow, "shadow"},
    {pvx::kCapEvaluate, pvx::shader_slot::kEvaluate, "evaluate"},
    {pvx::kCapScatter, pvx::shader_slot::kScatter, "scatter"},
};

bool implements(const pvx::CatalogueEntry& entry, const EntryPoint& point) {
  return entry.kind == pvx::kKindMaterial ? (entry.capabilityMask & point.capability) != 0
                                          : point.slot == pvx::shader_slot::kShade;
}

void diffuseAndGlossy(host::BoundShader& s) {
  s.set("u_diffuseColor", pvx::float3(0.6f, 0.5f, 0.4f));
  s.set("u_brdfCurvePower", 5.0f);
  s.set("u_roughValue", 0.2f);
  s.set("u_anisotropyValue", 0.5f);
}

const std::vector<RegisteredSetup>& registeredSetups() {
  return setups();
}

const host::PluginLibrary& library() {
  static const host::PluginLibrary loaded(host::PluginLibrary::defaultPath());
  return loaded;
}

host::BoundShader makeShader(std::string_view className) {
  return host::BoundShader(library().create(className), std::string(className));
}

host::ConstantTextures& textures() {
  static host::ConstantTextures shared;
  return shared;
}

void runEntryPoint(benchmark::State& timer, pvx::IShaderBase* shader, int slot,
                   pvx::IHostContext* host) {
  // Resolved once, outside the loop, the way a host keeps its function pointers.
  switch (shader->getKind()) {
    case pvx::kKindMaterial: {
      auto* material = static_cast<pvx::MaterialShader*>(shader);
      using Entry = void (pvx::MaterialShader::*)(pvx::IHostContext*, pvx::ShadingState*) const;
      Entry entry = &pvx::MaterialShader::shade;
      if (slot == pvx::shader_slot::kShadow) entry = &pvx::MaterialShader::shadow;
      if (slot == pvx::shader_slot::kEvaluate) entry = &pvx::MaterialShader::evaluate;
      if (slot == pvx::shader_slot::kScatter) entry = &pvx::MaterialShader::scatter;
      timeCalls(timer, [&](pvx::ShadingState* s) { (material->*entry)(host, s); });
      break;
    }
    case pvx::kKindLight: {
      auto* light = static_cast<pvx::LightShader*>(shader);
      timeCalls(timer, [&](pvx::ShadingState* s) { light->shade(host, s); });
      break;
    }
    default: {
      auto* environment = static_cast<pvx::EnvironmentShader*>(shader);
      timeCalls(timer, [&](pvx::ShadingState* s) { environment->shade(host, s); });
      break;
    }
  }
}

void registerEntryPoints(const std::string& className, const std::string& setupName, Setup setup,
                         double budgetNs) {
  registerEntryPoints(className, setupName, std::move(setup),
                      EntryBudgets{budgetNs, budgetNs, budgetNs, budgetNs});
}

void registerEntryPoints(const std::string& className, const std::string& setupName, Setup setup,
                         const EntryBudgets& budgetsNs) {
  const pvx::CatalogueEntry* entry = pvx::findCatalogueEntry(className);
  if (entry == nullptr) return;
  setups().push_back({className, setupName, setup});
  for (const EntryPoint& point : kMaterialEntryPoints) {
    if (!implements(*entry, point)) continue;
    const std::string name = className + "/" + setupName + "/" + point.name;
    const int slot = point.slot;
    const double budgetNs = slot == pvx::shader_slot::kShadow     ? budgetsNs.shadow
                            : slot == pvx::shader_slot::kEvaluate ? budgetsNs.evaluate
                            : slot == pvx::shader_slot::kScatter  ? budgetsNs.scatter
                                                                  : budgetsNs.shade;
    benchmark::RegisterBenchmark(
        name.c_str(), [className, setup, slot, budgetNs](benchmark::State& timer) {
          host::BoundShader shader = makeShader(className);
          if (setup) setup(shader);
          host::RecordingHost host(host::HostPolicy::Constant, host::HostAnswers::varied());
          runEntryPoint(timer, shader.get(), slot, &host);
          timer.counters["budget_ns"] = budgetNs;
        });
  }
}

}  // namespace tarvo::bench

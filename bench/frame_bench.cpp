// Costs of the plug-in frame a host pays outside shading: creating and destroying an instance,
// recording its declarations, copying its parameters.
#include <benchmark/benchmark.h>

#include "host/parameter_table.h"
#include "host/plugin_library.h"

namespace tarvo::bench {
namespace {

const tarvo::host::PluginLibrary& library() {
  static tarvo::host::PluginLibrary loaded(tarvo::host::PluginLibrary::defaultPath());
  return loaded;
}

void BM_CreateDestroy(benchmark::State& state) {
  const tarvo::host::ShaderFactory factory = library().factory("quarra_Mtl_Ward");
  for (auto _ : state) {
    pvx::IShaderBase* shader = factory.create();
    benchmark::DoNotOptimize(shader);
    pvx::destroyShader(shader);
  }
}
BENCHMARK(BM_CreateDestroy);

void BM_DeclareParameters(benchmark::State& state) {
  pvx::ShaderPtr shader = library().create("quarra_Mtl_Ward");
  tarvo::host::ParameterTable table;
  for (auto _ : state) {
    table.record(shader.get());
    benchmark::DoNotOptimize(table.parameters().data());
  }
}
BENCHMARK(BM_DeclareParameters);

void BM_CopyParameters(benchmark::State& state) {
  pvx::ShaderPtr a = library().create("quarra_Mtl_Ward");
  pvx::ShaderPtr b = library().create("quarra_Mtl_Ward");
  for (auto _ : state) {
    b->copyParameters(a.get());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_CopyParameters);

}  // namespace
}  // namespace tarvo::bench

// The library under test and host-side shaders for the renderer tests: classes whose entry
// points are test functions, so the renderer's own behaviour (ray kinds, light records, the
// path tracer's estimator) is checked independently of the library's classes.
#ifndef TARVO_TESTS_RENDERER_TEST_SHADERS_H
#define TARVO_TESTS_RENDERER_TEST_SHADERS_H

#include <functional>
#include <memory>
#include <new>

#include "host/plugin_library.h"
#include "tarvo/tarvo.h"

namespace tarvo::test {

// The library under test, loaded once and shared by the scenes of a test executable.
inline std::shared_ptr<const host::PluginLibrary> sharedLibrary() {
  static auto loaded =
      std::make_shared<const host::PluginLibrary>(host::PluginLibrary::defaultPath());
  return loaded;
}

using Entry = std::function<void(pvx::IHostContext*, pvx::ShadingState*)>;

template <class Interface>
class FunctionShaderBase : public Interface {
 public:
  void* destroy(unsigned flags) override {
    this->~FunctionShaderBase();
    if (flags & 1u) ::operator delete(this);
    return this;
  }
  void declareParameters(pvx::IParameterBinder* binder) override { binder->begin(this, mask); }
  void copyParameters(const pvx::IShaderBase*) override {}
  void shade(pvx::IHostContext* host, pvx::ShadingState* s) const override {
    if (onShade) onShade(host, s);
  }
  virtual ~FunctionShaderBase() = default;
  int32_t mask = 0;
  Entry onShade;
};

class FunctionMaterial final : public FunctionShaderBase<pvx::MaterialShader> {
 public:
  void shadow(pvx::IHostContext* h, pvx::ShadingState* s) const override {
    if (onShadow) onShadow(h, s);
  }
  void evaluate(pvx::IHostContext* h, pvx::ShadingState* s) const override {
    if (onEvaluate) onEvaluate(h, s);
  }
  void scatter(pvx::IHostContext* h, pvx::ShadingState* s) const override {
    if (onScatter) onScatter(h, s);
  }
  Entry onShadow, onEvaluate, onScatter;
};

using FunctionLight = FunctionShaderBase<pvx::LightShader>;
using FunctionEnvironment = FunctionShaderBase<pvx::EnvironmentShader>;

template <class T>
pvx::ShaderPtr adopt(T* shader) {
  return pvx::ShaderPtr(shader);
}

}  // namespace tarvo::test

#endif  // TARVO_TESTS_RENDERER_TEST_SHADERS_H

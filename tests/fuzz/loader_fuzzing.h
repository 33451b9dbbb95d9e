// What the loaders' fuzzers share: ceilings far below the defaults (they look for wrong answers,
// not for slow ones), the shader library compiled into the program, and the verdict on a load.
#ifndef TARVO_TESTS_FUZZ_LOADER_FUZZING_H
#define TARVO_TESTS_FUZZ_LOADER_FUZZING_H

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "host/plugin_library.h"
#include "host/render/limits.h"

namespace tarvo::test {

inline const render::Limits& fuzzingLimits() {
  static const render::Limits limits = [] {
    render::Limits l;
    l.sceneBytes = 1 << 20;
    l.jsonValues = 100000;
    l.items = 1000;
    l.lights = 64;
    l.triangles = 100000;
    l.meshBytes = 1 << 20;
    l.texturePixels = 1 << 20;
    l.textureBytes = 1 << 20;
    l.textureMemoryMB = 32;
    return l;
  }();
  return limits;
}

// The empty name opens the program itself, which holds the library.
inline std::shared_ptr<const host::PluginLibrary> fuzzedLibrary() {
  static const auto library = std::make_shared<const host::PluginLibrary>("");
  return library;
}

// Runs a load: the loader's own errors (`Refusal`, `Other`) are answers; anything else is a
// finding.
template <class Refusal, class Other = Refusal, class Load>
void loadOrRefuse(const char* loader, Load&& load) {
  try {
    load();
  } catch (const Refusal&) {
  } catch (const Other&) {
  } catch (const std::exception& e) {
    std::fprintf(stderr, "\nThe %s let through %s\n", loader, e.what());
    std::abort();
  }
}

}  // namespace tarvo::test

#endif  // TARVO_TESTS_FUZZ_LOADER_FUZZING_H

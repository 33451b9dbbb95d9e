// libFuzzer target for the renderer's scene loader: every input is a scene file (JSON) or, when
// it does not start like one, an OBJ mesh. Either must load or end in the loader's own error
// (SceneError, GeometryError); anything else (a crash, a sanitizer report, another exception, a
// run beyond the time or memory limits) is a finding. Relative file names resolve in scenes/,
// so the seed scenes' meshes and textures load.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "host/render/geometry.h"
#include "host/render/scene_file.h"

namespace {

// Ceilings far below the defaults: the fuzzer looks for wrong answers, not for slow ones.
tarvo::render::Limits fuzzingLimits() {
  tarvo::render::Limits limits;
  limits.sceneBytes = 1 << 20;
  limits.jsonValues = 100000;
  limits.items = 1000;
  limits.lights = 64;
  limits.meshBytes = 1 << 20;
  limits.texturePixels = 1 << 20;
  limits.textureBytes = 1 << 20;
  limits.textureMemoryMB = 16;
  return limits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvo;
  // The library is compiled into this program: the empty name opens the program itself.
  static const auto library = std::make_shared<const host::PluginLibrary>("");
  static const render::Limits limits = fuzzingLimits();
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t first = text.find_first_not_of(" \t\r\n");
  const bool json = first != std::string::npos && (text[first] == '{' || text[first] == '[');
  try {
    if (json) {
      render::loadSceneText(text, "fuzz.json", TARVO_FUZZ_SCENES, library, limits);
    } else {
      render::parseObj(text, "fuzz.obj");
    }
  } catch (const render::SceneError&) {
  } catch (const render::GeometryError&) {
  } catch (const std::exception& e) {
    std::fprintf(stderr, "\nThe scene loader let through %s\n", e.what());
    std::abort();
  }
  return 0;
}

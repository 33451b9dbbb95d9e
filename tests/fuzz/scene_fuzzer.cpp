// libFuzzer target for the renderer's scene loader: every input is a scene file (JSON) or, when
// it does not start like one, an OBJ mesh. Either must load or end in the loader's own error
// (SceneError, GeometryError); anything else (a crash, a sanitizer report, another exception, a
// run beyond the time or memory limits) is a finding. Relative file names resolve in scenes/,
// so the seed scenes' meshes and textures load.
#include <cstdint>
#include <string>

#include "host/render/geometry.h"
#include "host/render/scene_file.h"
#include "tests/fuzz/loader_fuzzing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvo;
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t first = text.find_first_not_of(" \t\r\n");
  const bool json = first != std::string::npos && (text[first] == '{' || text[first] == '[');
  test::loadOrRefuse<render::SceneError, render::GeometryError>("scene loader", [&] {
    if (json) {
      render::loadSceneText(text, "fuzz.json", TARVO_FUZZ_SEEDS, test::fuzzedLibrary(),
                            test::fuzzingLimits());
    } else {
      render::parseObj(text, "fuzz.obj", test::fuzzingLimits().triangles);
    }
  });
  return 0;
}

// libFuzzer target for the renderer's glTF reader: every input is a model, written to a file of
// its own (binary when it starts with the GLB magic) beside copies of the sample's buffer and
// texture, and read as `tarvo-render model.gltf` reads it. It must load or end in the reader's
// own error (GltfError); anything else (a crash, a sanitizer report, another exception, a run
// beyond the time or memory limits) is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/render/gltf_scene.h"
#include "tests/fuzz/loader_fuzzing.h"

namespace {

// A folder of this process holding the files the samples name, removed when the run ends.
std::string workFolder() {
  static const std::string folder = std::filesystem::temp_directory_path().string() +
                                    "/tarvo-gltf-fuzz-" + std::to_string(::getpid());
  std::filesystem::create_directories(folder);
  std::atexit([] { std::filesystem::remove_all(folder); });
  for (const char* name : {"sample.bin", "checker.png"}) {
    std::filesystem::copy_file(std::string(TARVO_FUZZ_SEEDS) + "/" + name, folder + "/" + name,
                               std::filesystem::copy_options::overwrite_existing);
  }
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvo;
  static const std::string folder = workFolder();
  const bool binary = size >= 4 && std::string(reinterpret_cast<const char*>(data), 4) == "glTF";
  const std::string path = folder + (binary ? "/model.glb" : "/model.gltf");
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  test::loadOrRefuse<render::GltfError>("glTF reader", [&] {
    render::loadGltfScene(path, test::fuzzedLibrary(), test::fuzzingLimits());
  });
  return 0;
}

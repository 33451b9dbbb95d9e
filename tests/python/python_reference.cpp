// Answers the Python module's tests compare with, computed through the C++ host pieces alone:
//   tarvo_python_reference evaluate <class> <ix> <iy> <iz> [name=v[,v...] ...] < directions
//     reads "x y z" lines and prints "weight.x weight.y weight.z cos" per line as hex floats,
//     for a camera hit on the plane z = 0 seen from the incident direction (tangent +x);
//   tarvo_python_reference scatter <class> <ix> <iy> <iz> <n> <seed> [name=v[,v...] ...]
//     prints "direction.x direction.y direction.z weight.x inverse-density kind" for each of n
//     draws of `scatter` on that hit, its random numbers seeded as the module seeds them;
//   tarvo_python_reference pixels <image.exr>
//     writes the image's RGBA as raw float32, rows from the top.
#include <OpenImageIO/imageio.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "host/parameter_table.h"
#include "host/plugin_library.h"
#include "host/recording_host.h"
#include "tests/support/shading_states.h"

namespace {

// The shader of argv[2] with the settings from argv[first] on, and a camera hit seen from the
// incident direction argv[3..5].
pvx::ShadingState setUp(tarvo::host::BoundShader& shader, int argc, char** argv, int first) {
  const double i[3] = {std::atof(argv[3]), std::atof(argv[4]), std::atof(argv[5])};
  const double length = std::sqrt(i[0] * i[0] + i[1] * i[1] + i[2] * i[2]);
  for (int a = first; a < argc; ++a) {
    const std::string setting = argv[a];
    const size_t equals = setting.find('=');
    std::vector<double> values;
    std::stringstream list(setting.substr(equals + 1));
    for (std::string item; std::getline(list, item, ',');)
      values.push_back(std::atof(item.c_str()));
    shader.setNumbers(setting.substr(0, equals), values);
  }
  pvx::ShadingState start = tarvo::test::cameraHit();
  start.I = pvx::float3(float(-i[0] / length), float(-i[1] / length), float(-i[2] / length));
  if (const tarvo::host::VaryingRecord* tangent = shader.table().findVarying("tangent")) {
    const pvx::float3 x(1.0f, 0.0f, 0.0f);
    std::memcpy(start.varying + tangent->offset, &x, sizeof x);
  }
  return start;
}

int shadeAll(int argc, char** argv) {
  const tarvo::host::PluginLibrary library(tarvo::host::PluginLibrary::defaultPath());
  tarvo::host::BoundShader shader(library.create(argv[2]), argv[2]);
  const bool scatter = std::string(argv[1]) == "scatter";
  const pvx::ShadingState start = setUp(shader, argc, argv, scatter ? 8 : 6);
  if (scatter) {
    tarvo::host::RecordingHost host(tarvo::host::HostPolicy::Seeded,
                                    tarvo::host::HostAnswers::varied(),
                                    std::strtoull(argv[7], nullptr, 10));
    for (long n = std::atol(argv[6]); n > 0; --n) {
      pvx::ShadingState s = start;
      shader.material()->scatter(&host, &s);
      std::printf("%a %a %a %a %a %d\n", double(s.scatterDir.x), double(s.scatterDir.y),
                  double(s.scatterDir.z), double(s.scatterWeight.x), double(s.scatterInvPdf),
                  s.scatterKind);
    }
    return 0;
  }
  tarvo::host::RecordingHost host(tarvo::host::HostPolicy::Constant,
                                  tarvo::host::HostAnswers::varied());
  float x, y, z;
  while (std::cin >> x >> y >> z) {
    pvx::ShadingState state = start;
    state.scatterDir = pvx::float3(x, y, z);
    shader.material()->evaluate(&host, &state);
    std::printf("%a %a %a %a\n", double(state.scatterWeight.x), double(state.scatterWeight.y),
                double(state.scatterWeight.z), double(state.scatterCos));
  }
  return 0;
}

int pixels(const char* path) {
  auto input = OIIO::ImageInput::open(path);
  if (!input) {
    std::cerr << "cannot read '" << path << "'\n";
    return 1;
  }
  const OIIO::ImageSpec& header = input->spec();
  std::vector<float> data(static_cast<size_t>(header.width) * header.height * 4);
  if (header.nchannels != 4 || !input->read_image(0, 0, 0, 4, OIIO::TypeDesc::FLOAT, data.data())) {
    std::cerr << "cannot read RGBA floats from '" << path << "'\n";
    return 1;
  }
  std::fwrite(data.data(), sizeof(float), data.size(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 6 && std::string(argv[1]) == "evaluate") return shadeAll(argc, argv);
  if (argc >= 8 && std::string(argv[1]) == "scatter") return shadeAll(argc, argv);
  if (argc == 3 && std::string(argv[1]) == "pixels") return pixels(argv[2]);
  std::cerr << "usage: tarvo_python_reference evaluate <class> <ix> <iy> <iz> [name=v,...] | "
               "scatter <class> <ix> <iy> <iz> <n> <seed> [name=v,...] | pixels <image.exr>\n";
  return 2;
}

// Rendering a scene into a film with parallel tiles, and writing the result.
#ifndef TARVO_HOST_RENDER_RENDERER_H
#define TARVO_HOST_RENDER_RENDERER_H

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/render/render_host.h"
#include "host/render/scene.h"

namespace tarvo::render {

// Linear RGBA, rows from the top.
struct Film {
  int width = 0;
  int height = 0;
  std::vector<pvx::float4> pixels;
  pvx::float4& at(int x, int y) {
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
  const pvx::float4& at(int x, int y) const {
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
};

struct RenderStats {
  double seconds = 0.0;
  int threads = 0;
  RenderCounters counters;
  bool interrupted = false;
};

class RenderInterrupted : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Called now and then from a watcher thread with the finished fraction and the seconds spent.
using ProgressFunction = std::function<void(double fraction, double seconds)>;

// Renders every pixel with settings.samples samples in 16 x 16 tiles over settings.threads
// threads (0: all). The result depends only on the scene and the seed, never on the number of
// threads or the order in which tiles finish. Setting `cancel` stops the render early: the
// stats say so and the film is incomplete.
Film renderScene(const Scene& scene, RenderStats* stats = nullptr,
                 const std::atomic<bool>* cancel = nullptr, const ProgressFunction& progress = {});

class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes the film by the file's extension: .png as 8-bit sRGB with alpha, .exr as linear float
// RGBA; anything else is refused. The exposure of the settings is applied; with `opaque` set the
// alpha is 1. Labels are drawn over the image. The file is written under a temporary name in
// the same folder and renamed when complete, so a failed write leaves no partial file.
void writeImage(const std::string& path, const Film& film, const Scene& scene);

// The pixels writeImage puts into an EXR: linear RGBA floats, rows from the top, exposure,
// alpha and labels applied.
std::vector<float> linearPixels(const Film& film, const Scene& scene);

// True for the extensions writeImage accepts.
bool isSupportedOutput(const std::string& path);

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_RENDERER_H

// Rendering a scene into a film with parallel tiles, and writing the result.
#ifndef TARVO_HOST_RENDER_RENDERER_H
#define TARVO_HOST_RENDER_RENDERER_H

#include <OpenImageIO/imagebuf.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/render/limits.h"
#include "host/render/render_host.h"
#include "host/render/scene.h"

namespace tarvo::render {

// Linear RGBA, rows from the top.
struct Film {
  int width = 0;
  int height = 0;
  int top = 0;  // the frame row of the film's first row (a band rendered alone starts lower)
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
  int samplesDone = 0;  // samples per pixel that every pixel has (all of them unless interrupted)
};

class RenderInterrupted : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Called now and then from a watcher thread with the finished fraction, the seconds spent and
// the samples per pixel that every pixel has so far.
using ProgressFunction = std::function<void(double fraction, double seconds, int samplesDone)>;

// Renders every pixel with settings.samples samples, in passes of a few samples over the whole
// image, each pass in 16 x 16 tiles over settings.threads threads (0: all). The result depends
// only on the scene and the seed, never on the number of threads or the order in which tiles
// finish. Setting `cancel` stops the render early: the stats say so, and the film holds the
// whole picture with the samples done so far (a tile that finished the interrupted pass has a
// few more). The film holds colour premultiplied by alpha; alpha is 1 unless the settings ask
// for a transparent film. Settings naming a band of rows render those alone.
Film renderScene(const Scene& scene, RenderStats* stats = nullptr,
                 const std::atomic<bool>* cancel = nullptr, const ProgressFunction& progress = {});

// What a command line or a Python call asks on top of the scene file; unset keeps the scene's.
struct RenderRequest {
  int64_t width = 0;  // 0: the scene's
  int64_t height = 0;
  int64_t samples = 0;
  int64_t threads = -1;  // -1: the scene's
  std::optional<uint64_t> seed;
  std::optional<RenderMode> mode;
};

class RenderRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Applies the request to the scene's settings and checks the render it makes against the
// ceilings: the image size (a side given alone keeps the aspect ratio of the scene's camera when
// it has one, computed wide and checked before it is narrowed), the samples and the threads.
// Throws RenderRefused naming the ceiling; the command line's render and its --validate, and
// Python's render, all go through here, and through checkRenderMemory once the rows to render
// are known.
void applyRequest(Scene& scene, const RenderRequest& request, const Limits& limits);

// Refuses (RenderRefused) a render whose memory (renderBytes) is beyond the ceiling.
void checkRenderMemory(const Scene& scene, const Limits& limits);

// Memory a render of the scene takes beyond the scene itself, the most of it: the film and
// the image written from it, and every render thread's light lists (one per trace level).
int64_t renderBytes(const Scene& scene);

class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a program ending on a signal needs from a write in progress: the temporary file's name
// (set before the file is created) and a lock held while the finished file takes its name, so
// an ending taken under the lock finds either no output or a complete one (`committed`).
struct WriteGuard {
  std::mutex lock;
  std::string temporary;
  bool committed = false;
};

// Writes the film by the file's extension: .png as 8-bit sRGB with alpha, .exr as linear float
// RGBA (premultiplied, as EXR keeps it); anything else is refused. The exposure of the settings
// is applied. Labels are drawn over the image. The file is written under a temporary name in
// the same folder and renamed when complete, so a failed write leaves no partial file; a
// failure names the output and the reason (a missing or read-only folder, a full disk).
void writeImage(const std::string& path, const Film& film, const Scene& scene,
                WriteGuard* guard = nullptr);

// The step writeImage ends with, for an image made elsewhere (a tile with its place in the
// frame), as 8-bit or float. The image goes to a temporary file in the output's folder, every
// write, the flush to the disk and the close checked, and takes the output's name only when
// complete: a failure (a full disk, a read-only folder) throws OutputError naming the output and
// the errno, removes the temporary file and leaves a file already at `path` as it was.
void writeImageBuffer(const std::string& path, const OIIO::ImageBuf& image, bool eightBit,
                      WriteGuard* guard = nullptr);

// Why `path` cannot be written, found before any work is spent on it ("" when it can be):
// a missing or read-only folder, or a folder in the file's place.
std::string outputProblem(const std::string& path);

// The pixels writeImage puts into an EXR: linear RGBA floats, rows from the top, exposure,
// alpha and labels applied.
std::vector<float> linearPixels(const Film& film, const Scene& scene);

// True for the extensions writeImage accepts.
bool isSupportedOutput(const std::string& path);

// Why writing `path` would destroy what the scene was read from ("" when it would not): the
// output is the scene file or a mesh, texture or model the scene reads, by the file itself (a
// link or another spelling of the name counts).
std::string outputOverwritesInput(const std::string& path, const Scene& scene);

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_RENDERER_H

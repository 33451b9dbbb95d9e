#include "host/render/renderer.h"

#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>
#include <sys/stat.h>
#include <tbb/blocked_range.h>
#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

namespace tarvo::render {

namespace {

constexpr int kTileSize = 16;
constexpr int kPasses = 16;
constexpr int kLeastPerPass = 4;

struct Tile {
  int x0, y0, x1, y1;
};

// What one camera sample adds to its pixel. The film keeps colour premultiplied by alpha, so a
// sample the film does not cover (alpha 0, a backdrop's colour) adds nothing to a transparent
// film; an opaque film takes the colour whole.
pvx::float4 filmSample(pvx::float4 c, bool transparentFilm) {
  if (!transparentFilm) return {c.x, c.y, c.z, 1.0f};
  const float a = std::clamp(c.w, 0.0f, 1.0f);
  return {c.x * a, c.y * a, c.z * a, a};
}

}  // namespace

Film renderScene(const Scene& scene, RenderStats* stats, const std::atomic<bool>* cancel,
                 const ProgressFunction& progress) {
  const RenderSettings& settings = scene.settings;
  const int samples = std::max(1, settings.samples);
  const int endRow = settings.endRow > 0 ? settings.endRow : settings.height;
  Film film;
  film.width = settings.width;
  film.height = endRow - settings.firstRow;
  film.top = settings.firstRow;
  const size_t pixelCount = static_cast<size_t>(film.width) * static_cast<size_t>(film.height);
  // Sums of the samples so far; film.pixels is their mean, set at the end.
  std::vector<pvx::float4> sums(pixelCount, pvx::float4(0.0f, 0.0f, 0.0f, 0.0f));
  std::vector<Tile> tiles;
  for (int y = film.top; y < endRow; y += kTileSize) {
    for (int x = 0; x < film.width; x += kTileSize) {
      tiles.push_back({x, y, std::min(x + kTileSize, film.width), std::min(y + kTileSize, endRow)});
    }
  }
  // Tiles go in a fixed shuffled order, so the finished fraction grows evenly over the image
  // (a sky is quicker than a busy foreground) and the progress estimate holds. Every pixel's
  // samples depend on the pixel alone, so the order changes nothing in the image.
  std::shuffle(tiles.begin(), tiles.end(), std::mt19937(12345u));
  // The samples go in passes over the whole image, up to sixteen of them, so that an image
  // stopped early is the whole picture with fewer samples. A pass takes at least four samples
  // of a pixel one after another: samples of one pixel read the same texels, which stay in
  // the caches. Each tile counts the samples it has.
  const int perPass = std::min(samples, std::max(kLeastPerPass, (samples + kPasses - 1) / kPasses));
  const int passes = (samples + perPass - 1) / perPass;
  std::vector<int> tileSamples(tiles.size(), 0);
  const int threads = settings.threads > 0 ? settings.threads
                                           : static_cast<int>(std::thread::hardware_concurrency());
  std::atomic<size_t> tilesDone{0};
  std::atomic<int> samplesDone{0};
  std::atomic<bool> stopped{false};
  tbb::enumerable_thread_specific<std::unique_ptr<RenderHost>> hosts;
  const auto start = std::chrono::steady_clock::now();
  const auto elapsed = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };

  // The watcher reports progress until the passes are done.
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::thread watcher;
  const double totalTiles = static_cast<double>(tiles.size()) * passes;
  if (progress) {
    watcher = std::thread([&] {
      std::unique_lock<std::mutex> lock(mutex);
      while (!finished.wait_for(lock, std::chrono::milliseconds(250), [&] { return done; })) {
        progress(static_cast<double>(tilesDone.load()) / totalTiles, elapsed(), samplesDone.load());
      }
    });
  }

  tbb::task_arena arena(std::max(1, threads));
  for (int pass = 0; pass < passes && !stopped.load(); ++pass) {
    const int first = pass * perPass, last = std::min(samples, first + perPass);
    arena.execute([&] {
      tbb::parallel_for(
          tbb::blocked_range<size_t>(0, tiles.size(), 1),
          [&](const tbb::blocked_range<size_t>& range) {
            std::unique_ptr<RenderHost>& host = hosts.local();
            if (!host) host = std::make_unique<RenderHost>(scene);
            for (size_t i = range.begin(); i != range.end(); ++i) {
              if ((cancel && cancel->load()) || stopped.load()) {
                stopped = true;
                return;
              }
              const Tile& tile = tiles[i];
              for (int y = tile.y0; y < tile.y1; ++y) {
                for (int x = tile.x0; x < tile.x1; ++x) {
                  pvx::float4& sum = sums[static_cast<size_t>(y - film.top) * film.width + x];
                  for (int s = first; s < last; ++s) {
                    const pvx::float4 c = host->renderSample(x, y, s);
                    // A sample that went wrong inside a shader (NaN, infinity) is dropped
                    // rather than spoiling the pixel.
                    if (std::isfinite(c.x) && std::isfinite(c.y) && std::isfinite(c.z) &&
                        std::isfinite(c.w)) {
                      sum = sum + filmSample(c, settings.transparentFilm);
                    }
                  }
                }
              }
              tileSamples[i] = last;
              ++tilesDone;
            }
          },
          tbb::simple_partitioner());
    });
    if (!stopped.load()) samplesDone = last;
  }

  film.pixels.resize(pixelCount);
  for (size_t i = 0; i < tiles.size(); ++i) {
    const Tile& tile = tiles[i];
    const float scale = 1.0f / static_cast<float>(std::max(1, tileSamples[i]));
    for (int y = tile.y0; y < tile.y1; ++y) {
      for (int x = tile.x0; x < tile.x1; ++x)
        film.at(x, y - film.top) = sums[static_cast<size_t>(y - film.top) * film.width + x] * scale;
    }
  }
  if (watcher.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      done = true;
    }
    finished.notify_all();
    watcher.join();
  }
  if (stats) {
    stats->seconds = elapsed();
    stats->threads = std::max(1, threads);
    stats->counters = RenderCounters();
    for (const auto& host : hosts) {
      if (host) stats->counters.add(host->counters());
    }
    stats->interrupted = stopped.load();
    stats->samplesDone = samplesDone.load();
  }
  if (progress && !stopped.load()) progress(1.0, elapsed(), samples);
  return film;
}

int64_t renderBytes(const Scene& scene) {
  const RenderSettings& settings = scene.settings;
  const int64_t threads = settings.threads > 0
                              ? settings.threads
                              : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  const int rows = (settings.endRow > 0 ? settings.endRow : settings.height) - settings.firstRow;
  const int64_t film =
      static_cast<int64_t>(settings.width) * rows * static_cast<int64_t>(2 * sizeof(pvx::float4));
  const int64_t lists = RenderHost::lightListBytes(settings.maxDepth, scene.lights.size());
  return film + threads * lists;
}

// ---------------------------------------------------------------------------------------------

namespace {

std::string extensionOf(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

void drawLabels(OIIO::ImageBuf& image, const Scene& scene, bool linear) {
  // Labels without a size shrink with their distance, like the things they name; the nearest
  // keeps the full size.
  float nearest = 0.0f;
  for (const Label& label : scene.labels) {
    if (label.screen) continue;
    const float d = length(label.anchor - scene.camera.position);
    if (nearest == 0.0f || d < nearest) nearest = d;
  }
  for (const Label& label : scene.labels) {
    float x, y;
    if (label.screen) {
      x = label.anchor.x * static_cast<float>(image.roi().width());
      y = label.anchor.y * static_cast<float>(image.roi().height());
    } else if (!scene.camera.project(label.anchor, image.roi().width(), image.roi().height(), &x,
                                     &y)) {
      continue;
    }
    const float perspective =
        label.screen ? 1.0f
                     : std::max(0.75f, nearest / length(label.anchor - scene.camera.position));
    const int size = label.size > 0.0f
                         ? static_cast<int>(label.size)
                         : std::max(9, static_cast<int>(static_cast<float>(image.roi().height()) /
                                                        40.0f * perspective));
    const float color[4] = {0.04f, 0.04f, 0.05f, 1.0f};
    (void)linear;
    // One call per line: the lines stack downward from the anchor.
    std::vector<std::string> lines;
    for (size_t start = 0;;) {
      const size_t end = label.text.find('\n', start);
      lines.push_back(label.text.substr(start, end == std::string::npos ? end : end - start));
      if (end == std::string::npos) break;
      start = end + 1;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
      const int lineY = static_cast<int>(y) + static_cast<int>(i) * (size + size / 5);
      // OpenImageIO looks for the font in the usual system font folders.
      for (const char* font : {"DejaVuSans", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                               "LiberationSans-Regular"}) {
        if (OIIO::ImageBufAlgo::render_text(image, static_cast<int>(x), lineY, lines[i], size, font,
                                            color, OIIO::ImageBufAlgo::TextAlignX::Center,
                                            OIIO::ImageBufAlgo::TextAlignY::Center, 0)) {
          break;
        }
        (void)image.geterror();
      }
    }
  }
}

}  // namespace

bool isSupportedOutput(const std::string& path) {
  const std::string ext = extensionOf(path);
  return ext == "png" || ext == "exr";
}

std::string outputProblem(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : path.substr(0, std::max<size_t>(slash, 1));
  struct stat info;
  if (::stat(folder.c_str(), &info) != 0) return "the folder '" + folder + "' does not exist";
  if (!S_ISDIR(info.st_mode)) return "'" + folder + "' is not a folder";
  if (::access(folder.c_str(), W_OK) != 0) return "the folder '" + folder + "' is not writable";
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return "it is a folder";
  return "";
}

namespace {

// The film as it is written: exposure applied, labels drawn; sRGB-encoded for 8-bit output,
// linear otherwise. EXR keeps the film's premultiplied colour; PNG holds colour apart from
// alpha, so it is divided out before encoding.
OIIO::ImageBuf finishedImage(const Film& film, const Scene& scene, bool srgb) {
  const RenderSettings& settings = scene.settings;
  const float gain = std::exp2(settings.exposure);
  OIIO::ImageSpec header(film.width, film.height, 4, OIIO::TypeDesc::FLOAT);
  header.channelnames = {"R", "G", "B", "A"};
  header.alpha_channel = 3;
  OIIO::ImageBuf image(header);
  std::vector<float> row(static_cast<size_t>(film.width) * 4);
  for (int y = 0; y < film.height; ++y) {
    for (int x = 0; x < film.width; ++x) {
      const pvx::float4 c = film.at(x, y);
      float* out = &row[static_cast<size_t>(x) * 4];
      const float alpha = std::clamp(c.w, 0.0f, 1.0f);
      const float unpremultiply = srgb && alpha > 0.0f ? 1.0f / alpha : 1.0f;
      const float rgb[3] = {c.x * gain * unpremultiply, c.y * gain * unpremultiply,
                            c.z * gain * unpremultiply};
      for (int k = 0; k < 3; ++k)
        out[k] = srgb ? linearToSrgb(rgb[k]) : rgb[k];
      out[3] = alpha;
    }
    image.set_pixels(OIIO::ROI(0, film.width, y, y + 1, 0, 1, 0, 4), OIIO::TypeDesc::FLOAT,
                     row.data());
  }
  drawLabels(image, scene, !srgb);
  image.specmod().attribute("oiio:ColorSpace", srgb ? "sRGB" : "Linear");
  // Already divided: the PNG writer must not divide by alpha again.
  if (srgb) image.specmod().attribute("oiio:UnassociatedAlpha", 1);
  // No time stamp (the image writer's default is the time of writing): the file is a function
  // of the scene alone, so a render made again or merged from tiles is the same file.
  image.specmod().attribute("DateTime", "");
  return image;
}

}  // namespace

std::vector<float> linearPixels(const Film& film, const Scene& scene) {
  const OIIO::ImageBuf image = finishedImage(film, scene, false);
  std::vector<float> pixels(static_cast<size_t>(film.width) * static_cast<size_t>(film.height) * 4);
  image.get_pixels(OIIO::ROI(0, film.width, 0, film.height, 0, 1, 0, 4), OIIO::TypeDesc::FLOAT,
                   pixels.data());
  return pixels;
}

void writeImage(const std::string& path, const Film& film, const Scene& scene, WriteGuard* guard) {
  const std::string ext = extensionOf(path);
  if (ext != "png" && ext != "exr") {
    throw OutputError("cannot write '" + path +
                      "': the output must end in .png (8-bit sRGB) or .exr (linear float)");
  }
  const bool png = ext == "png";
  writeImageBuffer(path, finishedImage(film, scene, png), png, guard);
}

void writeImageBuffer(const std::string& path, const OIIO::ImageBuf& image, bool eightBit,
                      WriteGuard* guard) {
  const std::string ext = extensionOf(path);
  // Same folder, same extension (the writer picks the format by it), another name.
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string temporary =
      folder + "." + base + ".partial-" + std::to_string(static_cast<long>(getpid())) + "." + ext;
  if (guard != nullptr) {
    std::lock_guard<std::mutex> hold(guard->lock);
    guard->temporary = temporary;
  }
  const bool written =
      image.write(temporary, eightBit ? OIIO::TypeDesc::UINT8 : OIIO::TypeDesc::FLOAT);
  if (!written) {
    std::remove(temporary.c_str());
    // The writer's reason names the temporary file; the user knows only the output.
    std::string reason = outputProblem(path);
    if (reason.empty()) {
      reason = image.geterror();
      reason = reason.substr(0, reason.find('\n'));
      for (size_t at; (at = reason.find(temporary)) != std::string::npos;)
        reason.replace(at, temporary.size(), path);
      if (reason.empty()) reason = "the image writer failed (is the disk full?)";
    }
    throw OutputError("cannot write '" + path + "': " + reason);
  }
  std::unique_lock<std::mutex> hold;
  if (guard != nullptr) hold = std::unique_lock<std::mutex>(guard->lock);
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    std::remove(temporary.c_str());
    throw OutputError("cannot write '" + path + "': " + std::strerror(error));
  }
  if (guard != nullptr) guard->committed = true;
}

}  // namespace tarvo::render

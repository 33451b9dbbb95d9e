#include "host/render/renderer.h"

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <tbb/blocked_range.h>
#include <tbb/enumerable_thread_specific.h>
#include <tbb/global_control.h>
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
  // No more threads than the task scheduler allows (asked for more, it warns on the standard
  // error and runs this many anyway).
  const int allowed = static_cast<int>(std::min<size_t>(
      tbb::global_control::active_value(tbb::global_control::max_allowed_parallelism), INT32_MAX));
  const int threads =
      std::min(settings.threads > 0 ? settings.threads
                                    : static_cast<int>(std::thread::hardware_concurrency()),
               std::max(1, allowed));
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
    // The threads that rendered: a small image has fewer tiles than threads.
    stats->threads = 0;
    stats->counters = RenderCounters();
    for (const auto& host : hosts) {
      if (!host) continue;
      stats->counters.add(host->counters());
      ++stats->threads;
    }
    stats->interrupted = stopped.load();
    stats->samplesDone = samplesDone.load();
  }
  if (progress && !stopped.load()) progress(1.0, elapsed(), samples);
  return film;
}

void applyRequest(Scene& scene, const RenderRequest& request, const Limits& limits) {
  RenderSettings& settings = scene.settings;
  int64_t width = request.width > 0 ? request.width : settings.width;
  int64_t height = request.height > 0 ? request.height : settings.height;
  const double aspect = scene.camera.aspectRatio;
  if (aspect > 0.0 && !(request.width > 0 && request.height > 0)) {
    // The side not given follows the camera's aspect ratio, computed wide: a ratio near 0 or
    // 2^32 must meet the ceiling, not wrap.
    const bool fromHeight = request.height > 0;
    const double side =
        fromHeight ? static_cast<double>(height) * aspect : static_cast<double>(width) / aspect;
    const double most = static_cast<double>(std::min<int64_t>(limits.pixels, INT32_MAX));
    if (!(side >= 0.5 && side <= most)) {
      char ratio[32];
      std::snprintf(ratio, sizeof ratio, "%g", aspect);
      throw RenderRefused(
          std::string("the camera's aspect ratio of ") + ratio + " makes the image " +
          (fromHeight ? "width" : "height") + " of " + std::to_string(fromHeight ? height : width) +
          " pixels " +
          (side < 0.5 ? "less than one pixel"
                      : "larger than the ceiling of " + ceilingText(limits.pixels, "pixels")) +
          "; give both -W and -H");
    }
    (fromHeight ? width : height) = std::llround(side);
  }
  if (width * height > limits.pixels || width > INT32_MAX || height > INT32_MAX) {
    throw RenderRefused("the image of " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels is larger than the ceiling of " +
                        ceilingText(limits.pixels, "pixels"));
  }
  settings.width = static_cast<int>(width);
  settings.height = static_cast<int>(height);
  const auto count = [&](int64_t value, int* target, int64_t most, const char* what,
                         const char* limitName) {
    if (value > most) {
      throw RenderRefused(std::string(what) + " of " + std::to_string(value) +
                          " are more than the ceiling of " + ceilingText(most, limitName));
    }
    *target = static_cast<int>(value);
  };
  if (request.samples > 0)
    count(request.samples, &settings.samples, limits.samples, "samples", "samples");
  if (request.threads >= 0)
    count(request.threads, &settings.threads, limits.threads, "threads", "threads");
  if (request.seed) settings.seed = *request.seed;
  if (request.mode) settings.mode = *request.mode;
}

void checkRenderMemory(const Scene& scene, const Limits& limits) {
  const RenderSettings& settings = scene.settings;
  if (const int64_t bytes = renderBytes(scene); bytes > (limits.renderMemoryMB << 20)) {
    throw RenderRefused("the render would take " + std::to_string(bytes >> 20) +
                        " MB for the image and the light lists of its threads (" +
                        std::to_string(scene.lights.size()) + " lights, maxDepth " +
                        std::to_string(settings.maxDepth) + "), more than the ceiling of " +
                        ceilingText(limits.renderMemoryMB, "render-memory") +
                        " MB; use fewer threads (-j) or a smaller image");
  }
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
    int size = label.size > 0.0f
                   ? static_cast<int>(label.size)
                   : std::max(9, static_cast<int>(static_cast<float>(image.roi().height()) / 40.0f *
                                                  perspective));
    // A size picked from the image stays within the label-area ceiling.
    if (label.size <= 0.0f && label.largest > 0.0f)
      size = std::min(size, static_cast<int>(label.largest));
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
    const int width = image.roi().width(), height = image.roi().height();
    for (size_t i = 0; i < lines.size(); ++i) {
      const float lineY = y + static_cast<float>(i) * static_cast<float>(size + size / 5);
      if (!(std::fabs(x) < 1e7f && std::fabs(lineY) < 1e7f) || size < 1) continue;
      const int cx = static_cast<int>(x), cy = static_cast<int>(lineY);
      // OpenImageIO looks for the font in the usual system font folders.
      for (const char* font : {"DejaVuSans", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                               "LiberationSans-Regular"}) {
        const OIIO::ROI box = OIIO::ImageBufAlgo::text_size(lines[i], size, font);
        if (!box.defined()) continue;
        // The text is centred on the anchor. A box wholly outside the image fails an assertion
        // inside OpenImageIO, so such a line is left out (two pixels to spare for rounding).
        const int left = cx - box.width() / 2, top = cy - box.height() / 2;
        if (left + box.width() <= 2 || left >= width - 2 || top + box.height() <= 2 ||
            top >= height - 2) {
          break;
        }
        if (OIIO::ImageBufAlgo::render_text(image, cx, cy, lines[i], size, font, color,
                                            OIIO::ImageBufAlgo::TextAlignX::Center,
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

namespace {

// "No space left on device (ENOSPC)"
std::string errnoText(int error) {
  const char* name = strerrorname_np(error);
  return std::string(std::strerror(error)) +
         (name != nullptr ? " (" + std::string(name) + ")" : "");
}

// The image writers' output, sent to a file descriptor with every write checked. The writers
// themselves ignore some failed writes (a full disk then gave a truncated file and success);
// here the first failure is kept and the whole write is refused for it.
class CheckedOutput final : public OIIO::Filesystem::IOProxy {
 public:
  CheckedOutput(const std::string& name, int fd) : IOProxy(name, Write), fd_(fd) {}
  const char* proxytype() const override { return "tarvo-checked"; }
  size_t write(const void* bytes, size_t size) override {
    const size_t done = pwrite(bytes, size, m_pos);
    m_pos += static_cast<int64_t>(done);
    return done;
  }
  size_t pwrite(const void* bytes, size_t size, int64_t offset) override {
    size_t done = 0;
    while (done < size && error_ == 0) {
      const ssize_t n = ::pwrite(fd_, static_cast<const char*>(bytes) + done, size - done,
                                 static_cast<off_t>(offset) + static_cast<off_t>(done));
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else if (n < 0 && errno != EINTR) {
        error_ = errno;
      } else if (n == 0) {
        error_ = ENOSPC;  // a write that takes nothing and reports no error: the disk is full
      }
    }
    if (offset + static_cast<int64_t>(done) > end_) end_ = offset + static_cast<int64_t>(done);
    return done;
  }
  size_t size() const override { return static_cast<size_t>(end_); }
  int error() const { return error_; }

 private:
  int fd_;
  int error_ = 0;
  int64_t end_ = 0;
};

}  // namespace

void writeImageBuffer(const std::string& path, const OIIO::ImageBuf& image, bool eightBit,
                      WriteGuard* guard) {
  // Same folder, same extension (the writer picks the format by it), another name.
  const std::string ext = extensionOf(path);
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string temporary =
      folder + "." + base + ".partial-" + std::to_string(static_cast<long>(getpid())) + "." + ext;
  const auto refuse = [&](const std::string& reason) {
    throw OutputError("cannot write '" + path + "': " + reason);
  };
  // The name is known to a signal's ending before the file exists.
  if (guard != nullptr) {
    std::lock_guard<std::mutex> hold(guard->lock);
    guard->temporary = temporary;
  }
  // A file left by an earlier run of the same process number goes; a link in its place is
  // never followed.
  ::unlink(temporary.c_str());
  const int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    const std::string problem = outputProblem(path);
    refuse(problem.empty() ? errnoText(error) : problem);
  }
  int error = 0;
  std::string reason;
  {
    // The output keeps the permissions of the file it replaces.
    struct stat old;
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);
    CheckedOutput sink(temporary, fd);
    std::unique_ptr<OIIO::ImageOutput> writer = OIIO::ImageOutput::create(temporary);
    OIIO::ImageSpec header = image.spec();
    header.set_format(eightBit ? OIIO::TypeDesc::UINT8 : OIIO::TypeDesc::FLOAT);
    const bool written = writer && writer->supports("ioproxy") && writer->set_ioproxy(&sink) &&
                         writer->open(temporary, header) && image.write(writer.get()) &&
                         writer->close();
    error = sink.error();
    if (!written && error == 0) {
      reason = writer ? writer->geterror() : OIIO::geterror();
      if (reason.empty()) reason = image.geterror();
      reason = reason.substr(0, reason.find('\n'));
      // The writer's reason names the temporary file; the user knows only the output.
      for (size_t at; (at = reason.find(temporary)) != std::string::npos;)
        reason.replace(at, temporary.size(), path);
      if (reason.empty()) reason = "the image writer failed";
    }
  }
  // Written is not stored: the data reaches the disk, and its last errors show, at the flush
  // and the close.
  if (error == 0 && reason.empty() && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0 && reason.empty()) error = errno;
  if (error != 0 || !reason.empty()) {
    ::unlink(temporary.c_str());
    refuse(error != 0 ? errnoText(error) : reason);
  }
  std::unique_lock<std::mutex> hold;
  if (guard != nullptr) hold = std::unique_lock<std::mutex>(guard->lock);
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const int renameError = errno;
    ::unlink(temporary.c_str());
    refuse(errnoText(renameError));
  }
  if (guard != nullptr) guard->committed = true;
  // The new name itself reaches the disk with its folder.
  const int folderFd =
      ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    (void)::fsync(folderFd);
    ::close(folderFd);
  }
}

std::string outputOverwritesInput(const std::string& path, const Scene& scene) {
  struct stat output;
  if (::stat(path.c_str(), &output) != 0) return "";  // a new file replaces nothing
  const auto same = [&](const std::string& input) {
    struct stat info;
    return ::stat(input.c_str(), &info) == 0 && info.st_dev == output.st_dev &&
           info.st_ino == output.st_ino;
  };
  for (const auto& [input, what] : scene.sources) {
    if (same(input)) return "it is the " + what + " '" + input + "' the scene is read from";
  }
  for (const std::string& input : scene.textures().sources()) {
    if (same(input)) return "it is the texture '" + input + "' the scene reads";
  }
  return "";
}

}  // namespace tarvo::render

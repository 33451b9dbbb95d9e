// tarvo-render: renders a scene file or a glTF model (or, without one, the embedded showcase of
// every built class) with the shader library loaded at run time, and writes a PNG or EXR.
//
//   tarvo-render [scene.json | model.gltf] -o out.png [-W 1280 -H 720] [-s 16] [--mode shade|path]
//                [-j threads] [--seed N] [--limit name=value ...]
//                [--time-limit SECONDS] [--keep-partial]
//   tarvo-render --validate scene.json       reads the scene as a render would, renders nothing
//   --strict                                 the scene's warnings are errors (exit 1)
//   tarvo-render [scene] --tile I/N -o part.exr     renders tile I of N (a band of rows) alone
//   tarvo-render --merge part*.exr -o frame.png     merges the tiles into the whole render
#include <OpenImageIO/imageio.h>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <thread>
#include <tuple>

#include "host/nearest_names.h"
#include "host/plugin_library.h"
#include "host/render/limits.h"
#include "host/render/renderer.h"
#include "host/render/scene_file.h"
#include "host/render/showcase.h"
#include "host/render/tiles.h"

namespace {

// SIGINT, SIGTERM, SIGHUP and SIGPIPE are blocked in every thread and taken by one watcher
// thread, which ends the run at once in any phase (loading, rendering, drawing labels, writing):
// a temporary file being written and the renderer's scratch files are removed, a finished
// output that has taken its name is left alone. With --keep-partial the first signal during
// rendering stops the render instead, and the image rendered so far is written; a second one
// ends the run. The message goes to the standard error as the program found it, which reading
// an image may have redirected for the moment.
tarvo::render::WriteGuard writeGuard;
int messageFd = STDERR_FILENO;
std::atomic<bool> stopRendering{false};
std::atomic<bool> keepPartial{false};
std::atomic<bool> rendering{false};
std::atomic<int> stoppedBy{0};  // the signal that stopped the render, 0 for none

const char* signalMessage(int number) {
  switch (number) {
    case SIGINT:
      return "\ntarvo-render: interrupted (SIGINT); nothing was written\n";
    case SIGHUP:
      return "\ntarvo-render: hung up (SIGHUP); nothing was written\n";
    case SIGPIPE:
      return "\ntarvo-render: broken pipe (SIGPIPE); nothing was written\n";
    default:
      return "\ntarvo-render: terminated (SIGTERM); nothing was written\n";
  }
}

void endOnSignals(sigset_t signals) {
  const int own = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (own >= 0) messageFd = own;
  std::thread([signals] {
    int number = 0;
    for (;;) {
      while (sigwait(&signals, &number) != 0) {
      }
      if (!keepPartial || !rendering || stopRendering) break;
      stoppedBy = number;
      stopRendering = true;
    }
    std::lock_guard<std::mutex> hold(writeGuard.lock);
    if (writeGuard.committed) return;  // the output is complete: the run ends normally
    if (!writeGuard.temporary.empty()) ::unlink(writeGuard.temporary.c_str());
    tarvo::render::removeScratchFiles();
    const char* message = signalMessage(number);
    (void)!::write(messageFd, message, std::strlen(message));
    std::_Exit(128 + number);
  }).detach();
}

// A whole-number option read wide and range-checked, so nothing wraps.
bool parseOption(const std::string& text, const char* option, int64_t least, int64_t most,
                 const char* limitName, int64_t* value) {
  int64_t v = 0;
  bool digits = !text.empty();
  for (char c : text) {
    if (c < '0' || c > '9' || v > (INT64_MAX - (c - '0')) / 10) {
      digits = false;
      break;
    }
    v = v * 10 + (c - '0');
  }
  if (digits && v >= least && v <= most) {
    *value = v;
    return true;
  }
  std::cerr << "tarvo-render: " << option << " takes a whole number from " << least << " to "
            << most;
  if (limitName != nullptr) std::cerr << " (--limit " << limitName << "=N raises the ceiling)";
  std::cerr << ", not '" << tarvo::host::clipped(text) << "'\n";
  return false;
}

std::string shortNumber(double value) {
  char buffer[32];
  if (value >= 1e9) {
    std::snprintf(buffer, sizeof buffer, "%.2fG", value / 1e9);
  } else if (value >= 1e6) {
    std::snprintf(buffer, sizeof buffer, "%.2fM", value / 1e6);
  } else if (value >= 1e3) {
    std::snprintf(buffer, sizeof buffer, "%.1fk", value / 1e3);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
  }
  return buffer;
}

std::string duration(double seconds) {
  char buffer[32];
  if (seconds >= 60.0) {
    std::snprintf(buffer, sizeof buffer, "%dm%02ds", static_cast<int>(seconds) / 60,
                  static_cast<int>(seconds) % 60);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.1fs", seconds);
  }
  return buffer;
}

void drawProgress(double fraction, double seconds, int samplesDone, int samples) {
  constexpr int kWidth = 40;
  const int filled = static_cast<int>(fraction * kWidth + 0.5);
  std::string bar(static_cast<size_t>(filled), '#');
  bar.resize(kWidth, '-');
  std::string eta = "--";
  if (fraction > 0.02 && fraction < 1.0) eta = duration(seconds * (1.0 - fraction) / fraction);
  if (fraction >= 1.0) eta = "0s";
  // The render holds the standard error back from the image libraries: the bar goes past it.
  dprintf(messageFd, "\r[%s] %5.1f%%  %d/%d spp  elapsed %s  ETA %s   ", bar.c_str(),
          fraction * 100.0, samplesDone, samples, duration(seconds).c_str(), eta.c_str());
}

// Prints the scene's warnings; with `strict` they are errors and the run ends (true).
bool reportWarnings(const tarvo::render::Scene& scene, bool strict) {
  for (const std::string& warning : scene.warnings)
    std::cerr << (strict ? "tarvo-render: error: " : "warning: ") << warning << "\n";
  if (strict && !scene.warnings.empty()) {
    std::cerr << "tarvo-render: " << scene.warnings.size()
              << (scene.warnings.size() == 1 ? " warning" : " warnings")
              << " under --strict; nothing was rendered\n";
    return true;
  }
  return false;
}

int mergeCommand(const std::vector<std::string>& parts, const std::string& output, bool quiet) {
  try {
    tarvo::render::mergeTiles(parts, output, &writeGuard);
  } catch (const std::exception& e) {
    std::cerr << "tarvo-render: " << e.what() << "\n";
    return 1;
  }
  if (!quiet) std::cerr << "merged " << parts.size() << " tiles into " << output << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  sigaddset(&signals, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  endOnSignals(signals);

  CLI::App app{
      "Renders a scene with the tarvoShaders library; without a scene file, the "
      "showcase of every built shader class."};
  std::string scenePath, output = "out.png", library, mode;
  std::string widthText, heightText, samplesText, threadsText, seedText;
  std::vector<std::string> limitTexts;
  bool quiet = false, strict = false;
  app.add_option("scene", scenePath,
                 "scene file (JSON) or glTF model (.gltf, .glb); none renders the showcase");
  app.add_option("-o,--output", output, "output image, .png (sRGB) or .exr (linear)")
      ->capture_default_str();
  app.add_option("-W,--width", widthText, "image width in pixels");
  app.add_option("-H,--height", heightText, "image height in pixels");
  app.add_option("-s,--samples", samplesText, "samples per pixel");
  app.add_option("-m,--mode", mode,
                 "how indirect light is gathered (the picture is the same): shade (by shading what "
                 "a ray sees) or path (along scatter paths)")
      ->check(CLI::IsMember({"shade", "path"}));
  app.add_option("-j,--threads", threadsText, "render threads (0: every core)");
  app.add_option("--seed", seedText, "random seed; the image depends on it, not on the threads");
  app.add_option("--library", library, "shader library to load (default: beside this program)");
  app.add_option("--limit", limitTexts,
                 "raise or lower a ceiling, name=value (see the README: pixels, samples, depth, "
                 "nesting, scene-bytes, ...)");
  std::string environment;
  app.add_option("--environment", environment,
                 "showcase: latitude-longitude environment image (default: a generated sky)");
  bool validate = false;
  app.add_flag("--validate", validate,
               "check the scene file (every value, file and name it holds) without rendering; "
               "exit 1 with the loader's file:line:column message when it is refused");
  app.add_flag("-q,--quiet", quiet, "no progress bar and no summary (warnings still show)");
  double timeLimit = 0.0;
  app.add_option("--time-limit", timeLimit,
                 "stop rendering after this many seconds (with --keep-partial the image so far "
                 "is written, else nothing)")
      ->check(CLI::PositiveNumber);
  bool keep = false;
  app.add_flag("--keep-partial", keep,
               "when the time limit or Ctrl-C stops the render, write the image rendered so far "
               "(every pixel, fewer samples)");
  app.add_flag("--strict", strict,
               "treat the scene's warnings (a light that lights nothing, a mirror-like curve "
               "hiding a diffuse colour, a value outside its range, ...) as errors: exit 1");
  std::string tileText;
  std::vector<std::string> mergeParts;
  app.add_option("--tile", tileText,
                 "render tile I of N alone (I/N, from 1; bands of whole rows) into an EXR "
                 "for --merge");
  app.add_option("--merge", mergeParts,
                 "merge the EXR tiles of one render (from --tile) into the whole frame");
  CLI11_PARSE(app, argc, argv);

  tarvo::render::Limits limits;
  for (const std::string& text : limitTexts) {
    try {
      limits.set(text);
    } catch (const std::invalid_argument& e) {
      std::cerr << "tarvo-render: " << e.what() << "\n";
      return 2;
    }
  }
  // Counts end in ints; a raised ceiling cannot take them past that.
  const auto asInt = [](int64_t ceiling) { return std::min<int64_t>(ceiling, INT32_MAX); };
  int64_t width = 0, height = 0, samples = 0, threads = -1, seed = -1;
  if ((!widthText.empty() &&
       !parseOption(widthText, "-W", 1, asInt(limits.pixels), "pixels", &width)) ||
      (!heightText.empty() &&
       !parseOption(heightText, "-H", 1, asInt(limits.pixels), "pixels", &height)) ||
      (!samplesText.empty() &&
       !parseOption(samplesText, "-s", 1, asInt(limits.samples), "samples", &samples)) ||
      (!threadsText.empty() &&
       !parseOption(threadsText, "-j", 0, asInt(limits.threads), "threads", &threads)) ||
      (!seedText.empty() && !parseOption(seedText, "--seed", 0, INT64_MAX, nullptr, &seed))) {
    return 2;
  }
  tarvo::render::RenderRequest request;
  request.width = width;
  request.height = height;
  request.samples = samples;
  request.threads = threads;
  if (seed >= 0) request.seed = static_cast<uint64_t>(seed);
  if (!mode.empty()) {
    request.mode =
        mode == "path" ? tarvo::render::RenderMode::Path : tarvo::render::RenderMode::Shade;
  }
  if (!mergeParts.empty() && (!scenePath.empty() || !tileText.empty() || !widthText.empty() ||
                              !heightText.empty() || !samplesText.empty() || !mode.empty() ||
                              !seedText.empty() || !environment.empty() || validate)) {
    std::cerr << "tarvo-render: --merge takes the tiles and -o alone: the tiles carry the scene "
                 "and its settings\n";
    return 2;
  }
  tarvo::render::TileSpec tile;
  if (!tileText.empty()) {
    try {
      tile = tarvo::render::parseTile(tileText);
    } catch (const tarvo::render::TileError& e) {
      std::cerr << "tarvo-render: " << e.what() << "\n";
      return 2;
    }
    if (output.size() < 4 || output.compare(output.size() - 4, 4, ".exr") != 0) {
      std::cerr << "tarvo-render: a tile is written as .exr (its raw linear values and its place "
                   "in the frame), not '"
                << output << "'\n";
      return 2;
    }
  }
  // With --tile the whole command line is checked, the split against the frame included.
  if (validate && scenePath.empty() && tile.count == 0) {
    std::cerr << "tarvo-render: --validate needs a scene file\n";
    return 2;
  }
  if (!scenePath.empty() && !environment.empty()) {
    std::cerr << "tarvo-render: --environment shapes the showcase, and a scene file was given; a "
                 "scene names its environment itself\n";
    return 2;
  }
  // --validate checks the output only when one is named.
  const bool checkOutput = !validate || app.count("--output") > 0;
  if (checkOutput && !tarvo::render::isSupportedOutput(output)) {
    std::cerr << "tarvo-render: the output '" << output
              << "' must end in .png (8-bit sRGB) or .exr (linear float)\n";
    return 2;
  }
  if (const std::string problem = checkOutput ? tarvo::render::outputProblem(output) : "";
      !problem.empty()) {
    std::cerr << "tarvo-render: cannot write '" << output << "': " << problem << "\n";
    return 2;
  }
  // The image library's own messages come back through its error calls, which this program
  // words itself; no debug lines of its own.
  OIIO::attribute("debug", 0);
  if (!mergeParts.empty()) return mergeCommand(mergeParts, output, quiet);

  if (scenePath.empty()) {
    // The showcase's size is known before it is built.
    const int64_t w = width > 0 ? width : tarvo::render::ShowcaseOptions().width;
    const int64_t h = height > 0 ? height : tarvo::render::ShowcaseOptions().height;
    if (w * h > limits.pixels) {
      std::cerr << "tarvo-render: the image of " << w << " x " << h
                << " pixels is larger than the ceiling of "
                << tarvo::render::ceilingText(limits.pixels, "pixels") << "\n";
      return 2;
    }
  }
  const char* phase = "loading the shader library";
  try {
    const auto started = std::chrono::steady_clock::now();
    auto plugin = std::make_shared<tarvo::host::PluginLibrary>(
        library.empty() ? tarvo::host::PluginLibrary::defaultPath() : library);
    std::unique_ptr<tarvo::render::Scene> scene;
    if (scenePath.empty()) {
      phase = "building the showcase";
      tarvo::render::ShowcaseOptions options;
      if (width > 0) options.width = static_cast<int>(width);
      if (height > 0) options.height = static_cast<int>(height);
      if (samples > 0) options.samples = static_cast<int>(samples);
      options.limits = limits;
      options.environmentImage = environment;
      scene = tarvo::render::makeShowcase(plugin, options);
    } else {
      phase = "loading the scene";
      scene = tarvo::render::loadScene(scenePath, plugin, limits);
    }
    const double milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    if (reportWarnings(*scene, strict)) return 1;
    // Everything below is refused alike by a render and by --validate.
    tarvo::render::RenderSettings& settings = scene->settings;
    tarvo::render::TileSource source;
    try {
      tarvo::render::applyRequest(*scene, request, limits);
      if (tile.count > 0) {
        try {
          std::tie(settings.firstRow, settings.endRow) =
              tarvo::render::tileRows(tile, settings.height);
        } catch (const tarvo::render::TileError& e) {
          std::cerr << "tarvo-render: --tile " << tileText << ": " << e.what() << "\n";
          return 2;
        }
      }
      tarvo::render::checkRenderMemory(*scene, limits);
    } catch (const tarvo::render::RenderRefused& e) {
      std::cerr << "tarvo-render: " << e.what() << "\n";
      return 2;
    }
    if (const std::string clash =
            checkOutput ? tarvo::render::outputOverwritesInput(output, *scene) : "";
        !clash.empty()) {
      std::cerr << "tarvo-render: will not write '" << output << "': " << clash
                << "; name another output\n";
      return 2;
    }
    if (validate) {
      if (!quiet && tile.count > 0) {
        std::cout << (scenePath.empty() ? "showcase" : scenePath) << ": valid; tile " << tileText
                  << " is rows " << settings.firstRow << " to " << settings.endRow - 1 << " of "
                  << settings.height << "\n";
      } else if (!quiet) {
        // The time is the library's loading and the scene's reading, without the program's
        // start.
        char read[32];
        std::snprintf(read, sizeof read, "%.0f ms", milliseconds);
        std::cout << scenePath << ": valid (" << scene->shaders().size() << " shaders, "
                  << scene->lights.size() << " lights), read in " << read << "\n";
      }
      return 0;
    }
    if (tile.count > 0) {
      // What the tile is of, for the merge to compare, taken before the render: the scene's
      // text (the showcase's options) and the library's code.
      const std::string showcase =
          "showcase" + (environment.empty()
                            ? std::string()
                            : " " + environment + " " + tarvo::render::fileHash(environment));
      source = {scenePath.empty() ? "showcase" : scenePath,
                scenePath.empty() ? tarvo::render::textHash(showcase)
                                  : tarvo::render::fileHash(scenePath),
                tarvo::render::fileHash(plugin->path())};
    }
    phase = "rendering";
    const bool bar = !quiet && isatty(STDERR_FILENO);
    tarvo::render::RenderStats stats;
    const int samplesAsked = settings.samples;
    keepPartial = keep;
    rendering = true;
    std::mutex timerLock;
    std::condition_variable timerWake;
    bool renderDone = false, timedOut = false;
    std::thread timer;
    if (timeLimit > 0.0) {
      timer = std::thread([&] {
        std::unique_lock<std::mutex> lock(timerLock);
        if (!timerWake.wait_for(lock, std::chrono::duration<double>(timeLimit),
                                [&] { return renderDone; })) {
          timedOut = true;
          stopRendering = true;
        }
      });
    }
    tarvo::render::Film film;
    {
      // Image files read again during the render (the cache's memory is bounded) speak through
      // their libraries on the standard error; a failed read is counted and warned of below.
      const tarvo::render::QuietStandardError held;
      film = tarvo::render::renderScene(
          *scene, &stats, &stopRendering,
          bar ? tarvo::render::ProgressFunction([samplesAsked](double f, double t, int done) {
            drawProgress(f, t, done, samplesAsked);
          })
              : tarvo::render::ProgressFunction());
    }
    rendering = false;
    if (timer.joinable()) {
      {
        std::lock_guard<std::mutex> lock(timerLock);
        renderDone = true;
      }
      timerWake.notify_all();
      timer.join();
    }
    if (bar) std::fprintf(stderr, "\n");
    if (stats.interrupted) {
      const std::string why =
          timedOut ? "the time limit stopped the render" : "the render was interrupted";
      std::cerr << "tarvo-render: " << why << " after " << stats.samplesDone << " of "
                << samplesAsked << " samples per pixel";
      if (!keep || tile.count > 0) {
        // A tile's merge needs all of its samples.
        std::cerr << (keep ? "; a tile is written only whole, so nothing was written\n"
                           : "; nothing was written (--keep-partial writes the image rendered "
                             "so far)\n");
        return timedOut ? 1 : 128 + stoppedBy.load();
      }
      std::cerr << "; writing the image rendered so far\n";
    }
    phase = "writing the image";
    {
      const tarvo::render::QuietStandardError held;  // libpng's complaints
      if (tile.count > 0) {
        tarvo::render::writeTile(output, film, *scene, tile, source, &writeGuard);
      } else {
        tarvo::render::writeImage(output, film, *scene, &writeGuard);
      }
    }
    for (const std::string& image : scene->textures().unreadable()) {
      std::cerr << "warning: the image '" << image
                << "' could not be read again during the render (it changed on disk since it "
                   "was loaded); its lookups gave black\n";
    }
    if (!quiet) {
      const double s = std::max(stats.seconds, 1e-9);
      std::cerr << "rendered ";
      if (tile.count > 0) {
        std::cerr << "tile " << tileText << " (rows " << settings.firstRow << " to "
                  << settings.endRow - 1 << ") of ";
      }
      std::cerr << settings.width << "x" << settings.height << " at " << stats.samplesDone
                << " spp (" << (settings.mode == tarvo::render::RenderMode::Path ? "path" : "shade")
                << " mode) in " << duration(stats.seconds) << " on " << stats.threads
                << (stats.threads == 1 ? " thread" : " threads") << ": "
                << shortNumber(static_cast<double>(stats.counters.samples) / s) << " samples/s, "
                << shortNumber(static_cast<double>(stats.counters.rays) / s) << " rays/s ("
                << shortNumber(static_cast<double>(stats.counters.rays)) << " rays, "
                << shortNumber(static_cast<double>(stats.counters.shaderCalls))
                << " shader calls)\nwrote " << output << "\n";
    }
    return stats.interrupted && !timedOut ? 128 + stoppedBy.load() : 0;
  } catch (const std::bad_alloc&) {
    std::cerr << "tarvo-render: out of memory while " << phase
              << "; lower the image size, the samples or a ceiling raised with --limit\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "tarvo-render: " << e.what() << "\n";
    return 1;
  }
}

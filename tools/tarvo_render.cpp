// tarvo-render: renders a scene file (or, without one, the embedded showcase of every built
// class) with the shader library loaded at run time, and writes a PNG or EXR.
//
//   tarvo-render [scene.json] -o out.png [-W 960 -H 540] [-s 16] [--mode shade|path]
//                [-j threads] [--seed N]
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>

#include "host/plugin_library.h"
#include "host/render/renderer.h"
#include "host/render/scene_file.h"
#include "host/render/showcase.h"

namespace {

std::atomic<bool> interrupted{false};

void onSignal(int) {
  interrupted = true;
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

void drawProgress(double fraction, double seconds) {
  constexpr int kWidth = 40;
  const int filled = static_cast<int>(fraction * kWidth + 0.5);
  std::string bar(static_cast<size_t>(filled), '#');
  bar.resize(kWidth, '-');
  std::string eta = "--";
  if (fraction > 0.02 && fraction < 1.0) eta = duration(seconds * (1.0 - fraction) / fraction);
  if (fraction >= 1.0) eta = "0s";
  std::fprintf(stderr, "\r[%s] %5.1f%%  elapsed %s  ETA %s   ", bar.c_str(), fraction * 100.0,
               duration(seconds).c_str(), eta.c_str());
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Renders a scene with the tarvoShaders library; without a scene file, the "
      "showcase of every built shader class."};
  std::string scenePath, output = "out.png", library, mode;
  int width = 0, height = 0, samples = 0, threads = -1;
  int64_t seed = -1;
  bool allClasses = false, quiet = false;
  app.add_option("scene", scenePath, "scene file (JSON); none renders the showcase")
      ->check(CLI::ExistingFile);
  app.add_option("-o,--output", output, "output image, .png (sRGB) or .exr (linear)")
      ->capture_default_str();
  app.add_option("-W,--width", width, "image width in pixels")->check(CLI::PositiveNumber);
  app.add_option("-H,--height", height, "image height in pixels")->check(CLI::PositiveNumber);
  app.add_option("-s,--samples", samples, "samples per pixel")->check(CLI::PositiveNumber);
  app.add_option("-m,--mode", mode, "shade (shaders trace) or path (path tracer)")
      ->check(CLI::IsMember({"shade", "path"}));
  app.add_option("-j,--threads", threads, "render threads (0: every core)")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--seed", seed, "random seed; the image depends on it, not on the threads")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--library", library, "shader library to load (default: beside this program)");
  std::string environment;
  app.add_option("--environment", environment,
                 "showcase: latitude-longitude environment image (default: a generated sky)")
      ->check(CLI::ExistingFile);
  app.add_flag("--all-classes", allClasses,
               "showcase: also show classes whose entry points are not built yet");
  app.add_flag("-q,--quiet", quiet, "no progress bar and no summary");
  CLI11_PARSE(app, argc, argv);

  if (!tarvo::render::isSupportedOutput(output)) {
    std::cerr << "tarvo-render: the output '" << output
              << "' must end in .png (8-bit sRGB) or .exr (linear float)\n";
    return 2;
  }
  try {
    auto plugin = std::make_shared<tarvo::host::PluginLibrary>(
        library.empty() ? tarvo::host::PluginLibrary::defaultPath() : library);
    std::unique_ptr<tarvo::render::Scene> scene;
    if (scenePath.empty()) {
      tarvo::render::ShowcaseOptions options;
      if (width > 0) options.width = width;
      if (height > 0) options.height = height;
      if (samples > 0) options.samples = samples;
      options.includeUnimplemented = allClasses;
      options.environmentImage = environment;
      std::vector<std::string> shown, left;
      scene = tarvo::render::makeShowcase(plugin, options, &shown, &left);
      if (!quiet) {
        std::cerr << "showcase: " << shown.size() << " material classes";
        if (!left.empty()) {
          std::cerr << " (" << left.size()
                    << " not built yet and left out; --all-classes shows them)";
        }
        std::cerr << "\n";
      }
    } else {
      scene = tarvo::render::loadScene(scenePath, plugin);
      if (!quiet) {
        for (const std::string& warning : scene->warnings)
          std::cerr << "warning: " << warning << "\n";
      }
    }
    tarvo::render::RenderSettings& settings = scene->settings;
    if (width > 0) settings.width = width;
    if (height > 0) settings.height = height;
    if (samples > 0) settings.samples = samples;
    if (!mode.empty()) {
      settings.mode =
          mode == "path" ? tarvo::render::RenderMode::Path : tarvo::render::RenderMode::Shade;
    }
    if (threads >= 0) settings.threads = threads;
    if (seed >= 0) settings.seed = static_cast<uint64_t>(seed);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    const bool bar = !quiet && isatty(STDERR_FILENO);
    tarvo::render::RenderStats stats;
    const tarvo::render::Film film = tarvo::render::renderScene(
        *scene, &stats, &interrupted,
        bar ? tarvo::render::ProgressFunction(drawProgress) : tarvo::render::ProgressFunction());
    if (bar) std::fprintf(stderr, "\n");
    if (stats.interrupted) {
      std::cerr << "tarvo-render: interrupted; nothing was written\n";
      return 130;
    }
    tarvo::render::writeImage(output, film, *scene);
    if (!quiet) {
      const double s = std::max(stats.seconds, 1e-9);
      std::cerr << "rendered " << settings.width << "x" << settings.height << " at "
                << settings.samples << " spp ("
                << (settings.mode == tarvo::render::RenderMode::Path ? "path" : "shade")
                << " mode) in " << duration(stats.seconds) << " on " << stats.threads
                << (stats.threads == 1 ? " thread" : " threads") << ": "
                << shortNumber(static_cast<double>(stats.counters.samples) / s) << " samples/s, "
                << shortNumber(static_cast<double>(stats.counters.rays) / s) << " rays/s ("
                << shortNumber(static_cast<double>(stats.counters.rays)) << " rays, "
                << shortNumber(static_cast<double>(stats.counters.shaderCalls))
                << " shader calls)\nwrote " << output << "\n";
    }
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "tarvo-render: " << e.what() << "\n";
    return 1;
  }
}

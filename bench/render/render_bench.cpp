// Renderer figures: Embree closest-hit and occlusion rays per second on the showcase geometry,
// and whole camera samples of the showcase in both modes (shader calls included).
#include <benchmark/benchmark.h>

#include <memory>

#include "host/render/render_host.h"
#include "host/render/showcase.h"

namespace tarvo::render {
namespace {

const Scene& showcase() {
  static const std::unique_ptr<Scene> scene = [] {
    auto library = std::make_shared<const host::PluginLibrary>(host::PluginLibrary::defaultPath());
    // The showcase as make demo renders it: the classes built so far.
    return makeShowcase(library, ShowcaseOptions());
  }();
  return *scene;
}

// Camera rays through a grid of pixels: the rays a render casts first.
std::vector<Ray> cameraRays(const Scene& scene, int count) {
  std::vector<Ray> rays;
  Random random(1, 2);
  for (int i = 0; i < count; ++i) {
    Ray ray;
    ray.origin = scene.camera.position;
    ray.direction = scene.camera.direction(random.uniform() * scene.settings.width,
                                           random.uniform() * scene.settings.height,
                                           scene.settings.width, scene.settings.height);
    rays.push_back(ray);
  }
  return rays;
}

void BM_ClosestHitRays(benchmark::State& state) {
  const Scene& scene = showcase();
  const std::vector<Ray> rays = cameraRays(scene, 4096);
  size_t i = 0;
  Hit hit;
  for (auto _ : state) {
    benchmark::DoNotOptimize(scene.geometry().intersect(rays[i++ & 4095], &hit));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetLabel("rays");
}
BENCHMARK(BM_ClosestHitRays);

void BM_OcclusionRays(benchmark::State& state) {
  const Scene& scene = showcase();
  std::vector<Ray> rays = cameraRays(scene, 4096);
  for (Ray& ray : rays)
    ray.tfar = 100.0f;
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(scene.geometry().occluded(rays[i++ & 4095]));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetLabel("rays");
}
BENCHMARK(BM_OcclusionRays);

void BM_ShowcaseSample(benchmark::State& state) {
  const Scene& scene = showcase();
  const_cast<Scene&>(scene).settings.mode =
      state.range(0) == 0 ? RenderMode::Shade : RenderMode::Path;
  RenderHost host(scene);
  int pixel = 0;
  for (auto _ : state) {
    // Walk the image row by row so every kind of pixel is measured.
    const int x = (pixel * 7) % scene.settings.width, y = (pixel / 137) % scene.settings.height;
    benchmark::DoNotOptimize(host.renderSample(x, y, pixel & 15));
    ++pixel;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetLabel(state.range(0) == 0 ? "shade-mode samples" : "path-mode samples");
  state.counters["rays/sample"] = benchmark::Counter(static_cast<double>(host.counters().rays) /
                                                     static_cast<double>(state.iterations()));
}
BENCHMARK(BM_ShowcaseSample)->Arg(0)->Arg(1);

}  // namespace
}  // namespace tarvo::render

BENCHMARK_MAIN();

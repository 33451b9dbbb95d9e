// Every example scene, the glTF sample and the showcase are one picture in both modes, without
// fireflies: 160 x 90 pixels, shade mode at 64 samples and path mode at 256 (another seed).
//
// Both checks read luminance after compositing over grey. Agreement: 5 x 5-pixel blocks whose
// means differ by more than 15 % (of the larger, at least 0.05) are at most 2 % of the blocks.
// Fireflies: at most 0.2 % of the pixels stand more than 0.3 above the median of their 5 x 5
// neighbourhood where the other mode's render has no such pixel and is more than 0.3 darker. A
// checker floor's far corners and a glass ball's sparkles stand out that much in every render
// (up to 10 % of the glTF sample's pixels): the other mode tells the picture from chance.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "host/render/renderer.h"
#include "host/render/scene_file.h"
#include "host/render/showcase.h"

namespace tarvo::render {
namespace {

constexpr int kWidth = 160, kHeight = 90;

struct Luminance {
  std::vector<float> values;
  float at(int x, int y) const {
    return values[static_cast<size_t>(std::clamp(y, 0, kHeight - 1) * kWidth +
                                      std::clamp(x, 0, kWidth - 1))];
  }
  bool standsOut(int x, int y) const {
    float around[25];
    int n = 0;
    for (int dy = -2; dy <= 2; ++dy) {
      for (int dx = -2; dx <= 2; ++dx)
        around[n++] = at(x + dx, y + dy);
    }
    std::nth_element(around, around + 12, around + 25);
    return at(x, y) > around[12] + 0.3f;
  }
};

Luminance render(Scene& scene, RenderMode mode, uint64_t seed) {
  scene.settings.width = kWidth;
  scene.settings.height = kHeight;
  scene.settings.mode = mode;
  scene.settings.samples = mode == RenderMode::Shade ? 64 : 256;
  scene.settings.seed = seed;
  const Film film = renderScene(scene);
  Luminance l;
  for (const pvx::float4& c : film.pixels) {
    // Premultiplied colour over grey 0.5.
    const float grey = 0.5f * (1.0f - std::clamp(c.w, 0.0f, 1.0f));
    l.values.push_back(0.2126f * (c.x + grey) + 0.7152f * (c.y + grey) + 0.0722f * (c.z + grey));
  }
  return l;
}

double differingBlocks(const Luminance& a, const Luminance& b) {
  int blocks = 0, differing = 0;
  for (int by = 0; by + 5 <= kHeight; by += 5) {
    for (int bx = 0; bx + 5 <= kWidth; bx += 5) {
      double ma = 0.0, mb = 0.0;
      for (int y = by; y < by + 5; ++y) {
        for (int x = bx; x < bx + 5; ++x) {
          ma += a.at(x, y) / 25.0;
          mb += b.at(x, y) / 25.0;
        }
      }
      ++blocks;
      if (std::fabs(ma - mb) > 0.15 * std::max({ma, mb, 0.05})) ++differing;
    }
  }
  return 100.0 * differing / blocks;
}

double fireflies(const Luminance& image, const Luminance& otherMode) {
  int count = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      count += image.standsOut(x, y) && !otherMode.standsOut(x, y) &&
               image.at(x, y) > otherMode.at(x, y) + 0.3f;
    }
  }
  return 100.0 * count / (kWidth * kHeight);
}

TEST(ExampleScenes, BothModesShowOnePictureWithoutFireflies) {
  const auto library =
      std::make_shared<const host::PluginLibrary>(host::PluginLibrary::defaultPath());
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(TARVO_EXAMPLE_SCENES)) {
    if (entry.path().extension() == ".json" && entry.path().stem() != "scene.schema")
      names.push_back(entry.path().string());
  }
  std::sort(names.begin(), names.end());
  names.push_back(std::string(TARVO_EXAMPLE_SCENES) + "/assets/sample.gltf");
  names.push_back("showcase");
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    auto scene =
        name == "showcase" ? makeShowcase(library, ShowcaseOptions()) : loadScene(name, library);
    const Luminance shade = render(*scene, RenderMode::Shade, 1);
    const Luminance path = render(*scene, RenderMode::Path, 2);
    const double differing = differingBlocks(shade, path);
    const double shadeFlies = fireflies(shade, path), pathFlies = fireflies(path, shade);
    std::printf("%-40s blocks differing %5.2f %%, fireflies shade %.3f %% path %.3f %%\n",
                std::filesystem::path(name).filename().c_str(), differing, shadeFlies, pathFlies);
    EXPECT_LE(differing, 2.0);
    EXPECT_LE(shadeFlies, 0.2);
    EXPECT_LE(pathFlies, 0.2);
  }
}

}  // namespace
}  // namespace tarvo::render

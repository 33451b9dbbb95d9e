#include "host/render/sky.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "host/render/math.h"
#include "host/render/noise.h"

namespace tarvo::render {

Image generateSky(int width, int height) {
  Image image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  const float3 sun = normalize(float3(-0.45f, -0.55f, 0.6f));
  for (int y = 0; y < height; ++y) {
    // Row centre to latitude: v = 1 at the top row is straight up.
    const float v = 1.0f - (static_cast<float>(y) + 0.5f) / static_cast<float>(height);
    const float elevation = (v - 0.5f) * kPi;
    for (int x = 0; x < width; ++x) {
      const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(width);
      // Inverse of u = atan2(-y, x) / 2 pi + 1/4.
      const float azimuth = (u - 0.25f) * 2.0f * kPi;
      const float3 d(std::cos(elevation) * std::cos(azimuth),
                     -std::cos(elevation) * std::sin(azimuth), std::sin(elevation));
      float3 c;
      if (d.z >= 0.0f) {
        const float t = std::pow(d.z, 0.45f);
        c = float3(0.85f, 0.9f, 1.0f) * (1.0f - t) + float3(0.18f, 0.36f, 0.85f) * t;
        // Soft clouds from a few octaves of noise, fading towards the horizon.
        const float cloud = noise3(d.x * 3.0f, d.y * 3.0f, d.z * 6.0f) * 0.6f +
                            noise3(d.x * 9.0f, d.y * 9.0f, d.z * 18.0f) * 0.4f;
        const float cover =
            std::clamp((cloud - 0.55f) * 4.0f, 0.0f, 1.0f) * std::min(1.0f, d.z * 4.0f);
        c = c * (1.0f - cover) + float3(0.95f, 0.95f, 0.97f) * cover;
        const float s = std::max(0.0f, dot(d, sun));
        c += float3(1.0f, 0.9f, 0.7f) * (0.6f * std::pow(s, 64.0f));
        if (s > 0.999f) c += float3(3.0f, 2.8f, 2.4f);
      } else {
        const float t = std::min(1.0f, -d.z * 3.0f);
        c = float3(0.45f, 0.42f, 0.38f) * (1.0f - t) + float3(0.22f, 0.2f, 0.18f) * t;
      }
      image.pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
          float4(c, 1.0f);
    }
  }
  return image;
}

Image generateChecker(int size, int squares) {
  Image image;
  image.width = image.height = size;
  image.pixels.resize(static_cast<size_t>(size) * static_cast<size_t>(size));
  const int cell = std::max(1, size / std::max(1, squares));
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      // Row 0 is the top of the image; texture coordinates start at the lower-left corner.
      const int cx = x / cell, cy = (size - 1 - y) / cell;
      float4 c = ((cx + cy) % 2 == 0) ? float4(0.8f, 0.8f, 0.78f, 1.0f)
                                      : float4(0.12f, 0.13f, 0.15f, 1.0f);
      if (cx == 0 && cy == 0) c = float4(0.8f, 0.1f, 0.08f, 1.0f);
      image.pixels[static_cast<size_t>(y) * static_cast<size_t>(size) + static_cast<size_t>(x)] = c;
    }
  }
  return image;
}

Image generateFlakeNormals(int size) {
  Image image;
  image.width = image.height = size;
  image.pixels.reserve(static_cast<size_t>(size) * static_cast<size_t>(size));
  uint32_t h = 0x9e3779b9u;
  const auto next = [&h] {
    h ^= h << 13;
    h ^= h >> 17;
    h ^= h << 5;
    return static_cast<float>(h & 0xffffu) / 65535.0f;
  };
  for (int i = 0; i < size * size; ++i) {
    const float z = 0.55f + 0.45f * next(), phi = 6.2831853f * next();
    const float r = std::sqrt(std::max(0.0f, 1.0f - z * z));
    image.pixels.emplace_back(0.5f + 0.5f * r * std::cos(phi), 0.5f + 0.5f * r * std::sin(phi), z,
                              1.0f);
  }
  return image;
}

}  // namespace tarvo::render

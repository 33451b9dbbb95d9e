#include "host/render/noise.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tarvo::render {

uint32_t hash32(uint32_t x) {
  // A 32-bit integer finaliser with good avalanche (Chris Wellons' lowbias32).
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

namespace {

float toUnit(uint32_t h) {
  return static_cast<float>(h >> 8) * (1.0f / 16777215.0f);
}

int32_t cell(float x) {
  const float f = std::floor(x);
  // Far-away coordinates fold into the int range rather than overflowing.
  return static_cast<int32_t>(static_cast<int64_t>(std::clamp(f, -2.0e9f, 2.0e9f)));
}

uint32_t hashCell(const int32_t* c, int n) {
  uint32_t h = 0x9e3779b9U;
  for (int i = 0; i < n; ++i)
    h = hash32(h ^ (static_cast<uint32_t>(c[i]) * 0x85ebca6bU + static_cast<uint32_t>(i)));
  return h;
}

float fade(float t) {
  return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}

// Gradient noise in N dimensions: a pseudo-random gradient at each lattice corner dotted with
// the offset, blended by the quintic fade. The raw value lies within about +-sqrt(N)/2; the
// scale maps it onto [-1, 1] and the result is clamped after the shift to [0, 1].
template <int N>
float gradientNoise(const float* p, float scale) {
  int32_t base[N];
  float frac[N], weight[N];
  for (int i = 0; i < N; ++i) {
    base[i] = cell(p[i]);
    frac[i] = p[i] - std::floor(p[i]);
    weight[i] = fade(frac[i]);
  }
  float corners[1 << N];
  for (int corner = 0; corner < (1 << N); ++corner) {
    int32_t c[N];
    for (int i = 0; i < N; ++i)
      c[i] = base[i] + ((corner >> i) & 1);
    uint32_t h = hashCell(c, N);
    float sum = 0.0f;
    for (int i = 0; i < N; ++i) {
      // Gradient components in [-1, 1] from successive hashes.
      h = hash32(h + 0x632be5abU);
      const float g = toUnit(h) * 2.0f - 1.0f;
      sum += g * (frac[i] - static_cast<float>((corner >> i) & 1));
    }
    corners[corner] = sum;
  }
  // Blend axis by axis.
  for (int i = 0, count = 1 << N; i < N; ++i, count >>= 1) {
    for (int j = 0; j < count / 2; ++j)
      corners[j] = corners[2 * j] + (corners[2 * j + 1] - corners[2 * j]) * weight[i];
  }
  return std::clamp(0.5f + 0.5f * corners[0] * scale, 0.0f, 1.0f);
}

}  // namespace

float noise2(float x, float y) {
  const float p[2] = {x, y};
  return gradientNoise<2>(p, 2.0f);
}

float noise3(float x, float y, float z) {
  const float p[3] = {x, y, z};
  return gradientNoise<3>(p, 1.8f);
}

float noise4(float x, float y, float z, float w) {
  const float p[4] = {x, y, z, w};
  return gradientNoise<4>(p, 1.6f);
}

float cellRandom(float identifier) {
  uint32_t bits;
  std::memcpy(&bits, &identifier, sizeof bits);
  return toUnit(hash32(bits ^ 0x2545f491U));
}

float latticeValue(const pvx::float3& p) {
  const int32_t c[3] = {cell(p.x), cell(p.y), cell(p.z)};
  return toUnit(hashCell(c, 3)) * 2.0f - 1.0f;
}

pvx::float3 cellVector(const pvx::float3& p) {
  const int32_t c[3] = {cell(p.x), cell(p.y), cell(p.z)};
  const uint32_t h = hashCell(c, 3);
  const uint32_t h1 = hash32(h + 1u), h2 = hash32(h + 2u), h3 = hash32(h + 3u);
  return {toUnit(h1) * 2.0f - 1.0f, toUnit(h2) * 2.0f - 1.0f, toUnit(h3) * 2.0f - 1.0f};
}

}  // namespace tarvo::render

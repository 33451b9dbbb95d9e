#include "host/render/noise.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tarvo::render {

namespace {

float toUnit(uint32_t h) {
  return static_cast<float>(h >> 8) * (1.0f / 16777215.0f);
}

int32_t cell(float x) {
  const float f = std::floor(x);
  // Far-away coordinates fold into the int range rather than overflowing.
  return static_cast<int32_t>(static_cast<int64_t>(std::clamp(f, -2.0e9f, 2.0e9f)));
}

constexpr uint32_t kCellHashSeed = 0x9e3779b9U;

// One more coordinate of a lattice point folded into the hash of the ones before it.
uint32_t hashCoordinate(uint32_t h, int32_t c, int i) {
  return hash32(h ^ (static_cast<uint32_t>(c) * 0x85ebca6bU + static_cast<uint32_t>(i)));
}

uint32_t hashCell(const int32_t* c, int n) {
  uint32_t h = kCellHashSeed;
  for (int i = 0; i < n; ++i)
    h = hashCoordinate(h, c[i], i);
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
  // A point on a lattice plane of the last axis (a noise phase of 0, a 3-D noise read at z = 0)
  // weighs the corners beyond that plane by exactly 0: they are left out. The full blend would
  // add (beyond - near) x 0 to the near half, changing at most the sign of a zero, which the
  // shift to [0, 1] below removes.
  const int count = weight[N - 1] == 0.0f ? 1 << (N - 1) : 1 << N;
  // hashCell of every corner (bit i of the corner's index: + 1 along axis i). Corners share
  // the hashes of their first coordinates, so the cell takes 2 + 4 + ... + 2^N hashes, not
  // N 2^N: after axis i the first 2^(i+1) entries hold every prefix.
  uint32_t hashes[1 << N];
  hashes[0] = kCellHashSeed;
  for (int i = 0, prefixes = 1; prefixes < count; ++i, prefixes <<= 1) {
    for (int j = 0; j < prefixes; ++j) {
      const uint32_t prefix = hashes[j];
      hashes[j] = hashCoordinate(prefix, base[i], i);
      hashes[j + prefixes] = hashCoordinate(prefix, base[i] + 1, i);
    }
  }
  if (count < (1 << N)) {
    for (int j = 0; j < count; ++j)
      hashes[j] = hashCoordinate(hashes[j], base[N - 1], N - 1);
  }
  float corners[1 << N];
  for (int corner = 0; corner < count; ++corner) {
    uint32_t h = hashes[corner];
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
  for (int i = 0, left = count; left > 1; ++i, left >>= 1) {
    for (int j = 0; j < left / 2; ++j)
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

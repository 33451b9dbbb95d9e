#include "host/render/noise.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tarvo::render {

namespace {

float toUnit(uint32_t h) {
  return static_cast<float>(h >> 8) * (1.0f / 16777215.0f);
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

// floor() without a call into the C library: a float of magnitude 2^23 or more is whole
// already (NaN comes back as it is).
float floorOf(float x) {
  if (!(std::fabs(x) < 8388608.0f)) return x;
  const float t = static_cast<float>(static_cast<int32_t>(x));
  return t > x ? t - 1.0f : t;
}

// The lattice cell of a whole number; far-away coordinates fold into the int range rather than
// overflowing, NaN into cell 0.
int32_t cellOf(float whole) {
  if (whole >= 2.0e9f) return 2000000000;
  if (whole <= -2.0e9f) return -2000000000;
  return whole == whole ? static_cast<int32_t>(whole) : 0;
}

int32_t cell(float x) {
  return cellOf(floorOf(x));
}

// A lattice corner's key is the sum of its coordinates times these (one per axis), hashed once.
constexpr uint32_t kAxisPrimes[4] = {0x8da6b343U, 0xd8163841U, 0xcb1ab31fU, 0x165667b1U};

// Ken Perlin's gradient set for four coordinates: the 32 vectors with three components of +-1
// and one of 0. Noise of N < 4 coordinates takes the last N components, so its gradients are
// the edge and corner directions of the unit cube (N = 3) or square (N = 2).
struct GradientTable {
  float g[32][4];
  constexpr GradientTable() : g() {
    int k = 0;
    for (int zero = 3; zero >= 0; --zero) {
      for (int signs = 0; signs < 8; ++signs, ++k) {
        for (int i = 0, bit = 0; i < 4; ++i) {
          g[k][i] = i == zero ? 0.0f : ((signs >> bit++) & 1) != 0 ? -1.0f : 1.0f;
        }
      }
    }
  }
};
constexpr GradientTable kGradients;

// The gradient the key picks, dotted with the offset from its corner: offsets[i][b] is the
// fraction along axis i minus bit i of the corner.
template <int N>
float cornerValue(uint32_t key, const float (*offsets)[2], int corner) {
  const float* g = kGradients.g[hash32(key) >> 27] + (4 - N);
  float sum = g[0] * offsets[0][corner & 1] + g[1] * offsets[1][(corner >> 1) & 1];
  if constexpr (N > 2) sum += g[2] * offsets[2][(corner >> 2) & 1];
  if constexpr (N > 3) sum += g[3] * offsets[3][(corner >> 3) & 1];
  return sum;
}

// Gradient noise in N dimensions: a pseudo-random gradient at each lattice corner dotted with
// the offset, blended by the quintic fade. The scale maps the raw value's spread onto about
// [-1, 1]; the result is clamped after the shift to [0, 1]. The loops are short and fixed:
// unrolled and inlined whole, the four-coordinate noise takes about 500 instructions.
#if defined(__GNUC__)
#define TARVO_NOISE_FLATTEN __attribute__((flatten))
#else
#define TARVO_NOISE_FLATTEN
#endif

template <int N>
TARVO_NOISE_FLATTEN float gradientNoise(const float* p, float scale) {
  uint32_t axis[N];
  float offsets[N][2], weight[N];
#pragma GCC unroll 4
  for (int i = 0; i < N; ++i) {
    const float whole = floorOf(p[i]);
    offsets[i][0] = p[i] - whole;
    offsets[i][1] = offsets[i][0] - 1.0f;
    weight[i] = fade(offsets[i][0]);
    axis[i] = static_cast<uint32_t>(cellOf(whole)) * kAxisPrimes[i];
  }
  // The corners on the near side of the last axis, then (unless the point lies on that lattice
  // plane, as a noise phase of 0 does, where they weigh exactly 0) those beyond it.
  constexpr int kHalf = 1 << (N - 1);
  float near[kHalf];
  uint32_t keys[kHalf];
#pragma GCC unroll 8
  for (int c = 0; c < kHalf; ++c) {
    uint32_t key = 0x9e3779b9U;
#pragma GCC unroll 4
    for (int i = 0; i < N - 1; ++i)
      key += ((c >> i) & 1) != 0 ? axis[i] + kAxisPrimes[i] : axis[i];
    keys[c] = key;
    near[c] = cornerValue<N>(key + axis[N - 1], offsets, c);
  }
  if (weight[N - 1] != 0.0f) {
#pragma GCC unroll 8
    for (int c = 0; c < kHalf; ++c) {
      const float far =
          cornerValue<N>(keys[c] + axis[N - 1] + kAxisPrimes[N - 1], offsets, c | kHalf);
      near[c] += (far - near[c]) * weight[N - 1];
    }
  }
  // Then the other axes, first to last.
#pragma GCC unroll 4
  for (int i = 0, left = kHalf; left > 1; ++i, left >>= 1) {
    for (int j = 0; j < left / 2; ++j)
      near[j] = near[2 * j] + (near[2 * j + 1] - near[2 * j]) * weight[i];
  }
  return std::clamp(0.5f + 0.5f * near[0] * scale, 0.0f, 1.0f);
}

}  // namespace

float noise2(float x, float y) {
  const float p[2] = {x, y};
  return gradientNoise<2>(p, 1.3f);
}

float noise3(float x, float y, float z) {
  const float p[3] = {x, y, z};
  return gradientNoise<3>(p, 1.2f);
}

float noise4(float x, float y, float z, float w) {
  const float p[4] = {x, y, z, w};
  return gradientNoise<4>(p, 1.07f);
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

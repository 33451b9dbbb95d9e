// Metallic flecks: a quadratic B-spline value noise on the integer lattice (lattice values from
// the host's `lookup49`), read twice, the second time at the lattice point the first read's
// gradient points to, so that each fleck is one flat-shaded lattice cell whose brightness
// jumps from cell to cell. The metal and the metallic paint sprinkle their flecks with it.
#ifndef TARVO_SHADINGLIB_FLECK_NOISE_H
#define TARVO_SHADINGLIB_FLECK_NOISE_H

#include "shadinglib/vector_math.h"
#include "tarvo/host_services.h"

namespace pvx {

// Lattice coordinates are shifted by this much to keep them positive for the host's lattice;
// coordinates further below zero are mirrored first.
constexpr float kFleckLatticeShift = 40000.0f;
// A fleck shows where the noise weight lies in this band.
constexpr float kFleckLowWeight = 0.02f;
constexpr float kFleckHighWeight = 0.5f;

struct NoiseWithGradient {
  float value;
  float3 gradient;
};

namespace fleck_detail {

inline float latticeCoordinate(float x) {
  if (x < 1.0f - kFleckLatticeShift) x = 2.0f - kFleckLatticeShift - x;
  return x + kFleckLatticeShift;
}

// Weights of the three lattice points base, base + 1, base + 2 at offset f in [0, 1), and their
// derivatives in f.
struct SplineWeights {
  float w[3];
  float d[3];
};

inline SplineWeights quadraticBSpline(float f) {
  const float g = f - 0.5f;
  return {{0.5f * (1.0f - f) * (1.0f - f), 0.75f - g * g, 0.5f * f * f}, {f - 1.0f, -2.0f * g, f}};
}

}  // namespace fleck_detail

// The B-spline value noise at x and its gradient: 27 lattice values around x.
inline NoiseWithGradient bsplineValueNoise(IHostContext* host, const float3& x) {
  using namespace fleck_detail;
  const float3 p(latticeCoordinate(x.x), latticeCoordinate(x.y), latticeCoordinate(x.z));
  const float3 base(floor(p.x - 0.5f), floor(p.y - 0.5f), floor(p.z - 0.5f));
  const SplineWeights wx = quadraticBSpline(p.x - 0.5f - base.x);
  const SplineWeights wy = quadraticBSpline(p.y - 0.5f - base.y);
  const SplineWeights wz = quadraticBSpline(p.z - 0.5f - base.z);
  NoiseWithGradient n{0.0f, float3(0.0f)};
  for (int a = 0; a < 3; ++a) {
    for (int b = 0; b < 3; ++b) {
      for (int c = 0; c < 3; ++c) {
        const float3 lattice = base + float3(float(a), float(b), float(c));
        const float v = host->lookup49(&lattice);
        n.value += wx.w[a] * wy.w[b] * wz.w[c] * v;
        n.gradient += float3(wx.d[a] * wy.w[b] * wz.w[c], wx.w[a] * wy.d[b] * wz.w[c],
                             wx.w[a] * wy.w[b] * wz.d[c]) *
                      v;
      }
    }
  }
  return n;
}

struct Fleck {
  float weight;         // |noise|^density
  float3 normalOffset;  // the second read's gradient, scaled
  bool present;         // the weight lies in the fleck band
};

// The fleck at x (a position already divided by the fleck size): the noise is read at x, then
// at the lattice point floor(x + 2 gradient); that value raised to `density` is the weight.
inline Fleck fleckAt(IHostContext* host, const float3& x, float density, float offsetScale) {
  const float3 g1 = bsplineValueNoise(host, x).gradient;
  const float3 jumped = x + 2.0f * g1;
  const NoiseWithGradient n =
      bsplineValueNoise(host, float3(floor(jumped.x), floor(jumped.y), floor(jumped.z)));
  const float weight = pow(abs(n.value), density);
  return {weight, n.gradient * offsetScale,
          weight >= kFleckLowWeight && weight <= kFleckHighWeight};
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_FLECK_NOISE_H

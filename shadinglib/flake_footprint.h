// The sparkle layer of a measured car paint: how many flake cells a shading point averages over
// (its footprint grows with distance and towards grazing views), the weight of each cell, and
// how bright one flake's lookup makes it.
//
// The cell grid is f x f for the footprint f = flakeFactor lod, rounded up: the first row and the
// first column carry the fractional part as weight (the corner cell its square) so that the sum
// grows smoothly with f. Both factors are scene data and may hold anything (1e9, infinity, NaN,
// negative), so the grid's side is limited to kMaxFlakeGridSide cells: a call then does at most
// 32 x 32 = 1024 cells of one flake-image and two cube lookups. The defaults (7 flakes at most,
// factor 4: 28 x 28 cells) and ordinary values stay below the ceiling and are unchanged by it.
#ifndef TARVO_SHADINGLIB_FLAKE_FOOTPRINT_H
#define TARVO_SHADINGLIB_FLAKE_FOOTPRINT_H

#include "shadinglib/vector_math.h"

namespace pvx {

constexpr int kMaxFlakeGridSide = 32;

// Views closer to grazing than this cosine take the largest footprint.
constexpr float kGrazingViewCosine = 0.0001f;

// The footprint in flakes: 0.0025 distance / (sqrt(view cosine) flakeSize), at most maxFlakes;
// maxFlakes itself at grazing views (and for a NaN cosine).
inline float flakeFootprint(float viewCosine, float distance, float flakeSize, float maxFlakes) {
  if (!(viewCosine >= kGrazingViewCosine)) return maxFlakes;
  return min(0.0025f * distance / (sqrt(viewCosine) * flakeSize), maxFlakes);
}

struct FlakeGrid {
  int side = 0;             // cells per row and per column
  float edgeWeight = 1.0f;  // weight of the cells of the first row and of the first column
};

// The grid for f = flakeFactor lod. A fractional part below 0.0001 is dropped (whole cells of
// weight 1); no cells for f <= 0 or NaN; whole cells at the ceiling from kMaxFlakeGridSide on.
inline FlakeGrid flakeGrid(float f) {
  if (!(f > 0.0f)) return {0, 1.0f};
  if (f >= float(kMaxFlakeGridSide)) return {kMaxFlakeGridSide, 1.0f};
  const float whole = floor(f), fraction = f - whole;
  if (fraction < 0.0001f) return {int(whole), 1.0f};
  return {int(whole) + 1, fraction};
}

inline float flakeCellWeight(const FlakeGrid& grid, int i, int j) {
  return (i == 0 ? grid.edgeWeight : 1.0f) * (j == 0 ? grid.edgeWeight : 1.0f);
}

// A cube lookup's brightness as a flake sees it: full (1) once its channels sum above 3, the
// fourth power of the sum's third below, so dim surroundings barely sparkle.
inline bool isBrightLookup(const float4& lookup) {
  return lookup.x + lookup.y + lookup.z > 3.0f;
}
inline float dimLookupWeight(const float4& lookup) {
  const float t = (lookup.x + lookup.y + lookup.z) / 3.0f;
  const float t2 = t * t;
  return t2 * t2;
}

// Linear to sRGB-encoded, per channel: 12.92 x up to 0.0031308, 1.055 x^(1/2.4) - 0.055 above.
inline float srgbEncoded(float x) {
  return x <= 0.0031308f ? 12.92f * x : 1.055f * pow(x, 0.4166667f) - 0.055f;
}
inline float3 srgbEncoded(const float3& c) {
  return float3(srgbEncoded(c.x), srgbEncoded(c.y), srgbEncoded(c.z));
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_FLAKE_FOOTPRINT_H

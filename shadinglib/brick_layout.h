// The brick layout of the `Tile` texture node: where the bricks and the mortar of a wall lie in
// the unit tile square, as a brick mask and a per-brick identifier. The node's contract asks
// only for a mask in [0, 1] (1 inside a brick, 0 in the mortar) and an identifier that is the
// same for every point of one brick; the layout itself is this library's own, a running bond:
//   - rows of height brickHeight / verticalCount, bricks of width brickWidth / horizontalCount
//     (counts below 1 count as 1, above 10000 as 10000; dimensions held to [0.01, 100]);
//   - row r is shifted by the fractional part of lineShift x r plus randomShift x a random value
//     of the row, both in brick widths;
//   - row edit: with useRowEdit and perRow > 0, every perRow-th row has bricks changeRow times
//     as wide (held to [0.01, 100]; a changeRow of 0 or less leaves that row as mortar);
//   - column edit: with useColumnEdit and perColumn > 0, every perColumn-th brick of a row is
//     changeColumn (held to [0, 1]) as tall as a full brick;
//   - horizontalGap is the share of a brick's width taken by the joint between two bricks of a
//     row, verticalGap the share of a row's height between rows;
//   - each brick is missing (all mortar) with probability holes / bricks in the tile, chosen per
//     brick from its identifier;
//   - the mask rises from 0 at a brick's outline to 1 across a band of 4 % of the smaller brick
//     side; edgeRoughness widens the band up to five times and frays it with a ripple along the
//     outline, so the edge is soft but stays within the band;
//   - the identifier is a whole number below 2^24 hashed from the row, the column and
//     randomSeed, exact as a float.
// The two gaps, the two shifts and the edge roughness are clamped to [0, 1] before use. Every
// float that becomes an index is clamped first, so no parameter value makes a conversion
// undefined, and nothing here loops.
#ifndef TARVO_SHADINGLIB_BRICK_LAYOUT_H
#define TARVO_SHADINGLIB_BRICK_LAYOUT_H

#include <cstdint>

#include "shadinglib/hash.h"
#include "shadinglib/vector_math.h"

namespace pvx {

// The layout parameters of one `Tile` node, as its members hold them.
struct BrickLayout {
  float verticalCount, horizontalCount;
  float horizontalGap, verticalGap;
  float edgeRoughness;
  int32_t randomSeed;
  float lineShift, randomShift;
  float changeRow;
  int32_t perRow;
  bool useColumnEdit, useRowEdit;
  float changeColumn;
  int32_t perColumn, holes;
  float brickHeight, brickWidth;
};

struct BrickSample {
  float mask;
  float identifier;
};

constexpr float kMaxBrickCount = 10000.0f;
constexpr float kMinBrickDimension = 0.01f;
constexpr float kMaxBrickDimension = 100.0f;
constexpr float kBrickEdgeBand = 0.04f;

namespace brick_detail {

// A value in [0, 1) from the top 24 bits.
inline float unitValue(uint32_t h) {
  return static_cast<float>(h >> 8) * (1.0f / 16777216.0f);
}

// floor(x) as an index; NaN and far values are clamped before the conversion.
inline int32_t cellIndex(float x) {
  return static_cast<int32_t>(clamp(floor(x), -1.0e9f, 1.0e9f));
}

inline bool everyNth(bool enabled, int32_t index, int32_t period) {
  return enabled && period > 0 && (index % period) == period - 1;
}

}  // namespace brick_detail

// The mask and brick identifier at (u, v) of the unit tile square.
inline BrickSample brickAt(const BrickLayout& l, float u, float v) {
  using namespace brick_detail;
  const float rows = clamp(l.verticalCount, 1.0f, kMaxBrickCount);
  const float columns = clamp(l.horizontalCount, 1.0f, kMaxBrickCount);
  const float rowHeight = clamp(l.brickHeight, kMinBrickDimension, kMaxBrickDimension) / rows;
  float brickWidth = clamp(l.brickWidth, kMinBrickDimension, kMaxBrickDimension) / columns;

  const float y = v / rowHeight;
  const int32_t row = cellIndex(y);
  const float fy = y - floor(y);
  const uint32_t rowKey = hash32(static_cast<uint32_t>(row) * 0x9e3779b9U ^
                                 hash32(static_cast<uint32_t>(l.randomSeed)));
  if (everyNth(l.useRowEdit, row, l.perRow)) {
    if (!(l.changeRow > 0.0f)) return BrickSample{0.0f, static_cast<float>(rowKey >> 8)};
    brickWidth *= clamp(l.changeRow, kMinBrickDimension, kMaxBrickDimension);
  }

  const float lineShift = clamp(l.lineShift, 0.0f, 1.0f) * static_cast<float>(row);
  const float shift =
      lineShift - floor(lineShift) + clamp(l.randomShift, 0.0f, 1.0f) * unitValue(hash32(rowKey));
  const float x = u / brickWidth + shift;
  const int32_t column = cellIndex(x);
  const float fx = x - floor(x);
  const uint32_t key = hash32(rowKey ^ static_cast<uint32_t>(column) * 0x85ebca6bU);
  const float identifier = static_cast<float>(key >> 8);

  const float bricksInTile = rows * columns;
  if (l.holes > 0 &&
      unitValue(hash32(key ^ 0x68e31da4U)) * bricksInTile < static_cast<float>(l.holes)) {
    return BrickSample{0.0f, identifier};
  }

  // Signed distance (in tile units) from the brick's outline, positive inside.
  const float gx = clamp(l.horizontalGap, 0.0f, 1.0f) * 0.5f;
  const float gy = clamp(l.verticalGap, 0.0f, 1.0f) * 0.5f;
  const float height =
      everyNth(l.useColumnEdit, column, l.perColumn) ? clamp(l.changeColumn, 0.0f, 1.0f) : 1.0f;
  const float top = gy + (1.0f - 2.0f * gy) * height;
  const float dx = min(fx - gx, 1.0f - gx - fx) * brickWidth;
  const float dy = min(fy - gy, top - fy) * rowHeight;
  const float inside = min(dx, dy);

  const float roughness = clamp(l.edgeRoughness, 0.0f, 1.0f);
  const float band = kBrickEdgeBand * (1.0f + 4.0f * roughness) * min(brickWidth, rowHeight);
  const float ripple =
      0.5f + 0.5f * sin(kTwoPi * (3.0f * fx + 2.0f * fy + unitValue(key ^ 0x2545f491U)));
  const float inset = band * roughness * ripple;
  return BrickSample{clamp(smoothstep(inset, inset + band, inside), 0.0f, 1.0f), identifier};
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_BRICK_LAYOUT_H

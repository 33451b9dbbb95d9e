// The procedural texture nodes the Ward network variants wire into their inputs. Each node
// returns a float4 colour:
//   UnifiedBitmap  amount x the texel of its texture at its placed (s, t), alpha the texel's
//   Noise          a blend of color1 and color2 by the thresholded host noise at its placed Po
//   Tile           brick and mortar colours by the brick layout (shadinglib/brick_layout.h) at
//                  its placed (s, t), transparent black outside the tile unless it repeats
// A colour input is a constant parameter or the colour of a child node; the caller evaluates
// the children first and passes their colours in, so a network is straight-line code with its
// shape fixed at compile time (shadinglib/ward_networks.h).
//
// Parameter groups of one node, under the node's path (member `_ward_<path>_<parameter>`), in
// declaration order. The defaults are this library's own: an identity placement, a three-level
// noise from black to white over [0, 1], a unit bitmap, a wall of 4 x 8 bricks in half bond
// with 5 % joints that repeats.
//   TARVO_NOISE_NODE_PARAMETERS(PARAM, path, color1Kind, color2Kind)
//       xform, type, [color1], [color2], size, thresholdLow, thresholdHigh, levels, phase; a
//       colour is declared only when its kind is Constant (else a child node drives it)
//   TARVO_UNIFIEDBITMAP_NODE_PARAMETERS(PARAM, path)
//       xform, texture, amount, isCube (declared and copied, not read)
//   TARVO_TILE_NODE_PARAMETERS(PARAM, path)
//       xform, verticalCount, horizontalCount, colorVariance, fadeVariance, horizontalGap,
//       verticalGap, edgeRoughness, randomSeed, lineShift, randomShift, changeRow, perRow,
//       useColumnEdit, useRowEdit, changeColumn, perColumn, holes, brickHeight, brickWidth,
//       repeatX, repeatY; brickColor and mortarColor are always driven by child nodes
#ifndef TARVO_SHADINGLIB_TEXTURE_NODES_H
#define TARVO_SHADINGLIB_TEXTURE_NODES_H

#include <cstdint>

#include "shadinglib/brick_layout.h"
#include "shadinglib/noise.h"
#include "shadinglib/texture_sampling.h"
#include "shadinglib/vector_math.h"
#include "tarvo/host_services.h"

// ---- parameter groups -----------------------------------------------------------------------

#define TARVO_NODE_COLOR_Constant(PARAM, name, def, ...) PARAM(ColorAlpha, name, def, __VA_ARGS__)
#define TARVO_NODE_COLOR_UnifiedBitmap(PARAM, name, def, ...)
#define TARVO_NODE_COLOR_Noise(PARAM, name, def, ...)
#define TARVO_NODE_COLOR_Tile(PARAM, name, def, ...)

// The colour entries end without a separator, which the formatter misreads as a continuation.
// clang-format off
#define TARVO_NOISE_NODE_PARAMETERS(PARAM, path, color1Kind, color2Kind)                     \
  PARAM(Mat4, _ward_##path##_xform, ::pvx::identity4, "noise node: placement of the noise space")                                        \
  PARAM(Int, _ward_##path##_type, 0, "noise node: kind of noise", "0 regular | 1 fractal | 2 turbulence")                                                         \
  TARVO_NODE_COLOR_##color1Kind(PARAM, _ward_##path##_color1, ::pvx::float4(0.0f, 0.0f, 0.0f, 1.0f), "noise node: colour where the thresholded noise is 0") \
  TARVO_NODE_COLOR_##color2Kind(PARAM, _ward_##path##_color2, ::pvx::float4(1.0f), "noise node: colour where the thresholded noise is 1")           \
  PARAM(Float, _ward_##path##_size, 1.0f, "noise node: scale of the noise (the space is divided by it)", "(0, inf)")                                                    \
  PARAM(Float, _ward_##path##_thresholdLow, 0.0f, "noise node: noise value that gives color1", "[0, 1]")                                            \
  PARAM(Float, _ward_##path##_thresholdHigh, 1.0f, "noise node: noise value that gives color2", "[0, 1]")                                           \
  PARAM(Float, _ward_##path##_levels, 3.0f, "noise node: number of octaves (may be fractional; at most 24 count)", "[0, 24]")                                                  \
  PARAM(Float, _ward_##path##_phase, 0.0f, "noise node: fourth noise coordinate; changing it animates the noise")
// clang-format on

#define TARVO_UNIFIEDBITMAP_NODE_PARAMETERS(PARAM, path)                        \
  PARAM(Mat4, _ward_##path##_xform, ::pvx::identity4,                           \
        "bitmap node: placement of the texture space")                          \
  PARAM(Texture2D, _ward_##path##_texture, {}, "bitmap node: the image")        \
  PARAM(Float, _ward_##path##_amount, 1.0f, "bitmap node: scale of the colour") \
  PARAM(Bool, _ward_##path##_isCube, false, "bitmap node: kept and copied for the host; not read")

#define TARVO_TILE_NODE_PARAMETERS(PARAM, path)                                                    \
  PARAM(Mat4, _ward_##path##_xform, ::pvx::identity4, "tile node: placement of the tile space")    \
  PARAM(Float, _ward_##path##_verticalCount, 8.0f, "tile node: bricks per unit, vertically",       \
        "(0, inf)")                                                                                \
  PARAM(Float, _ward_##path##_horizontalCount, 4.0f, "tile node: bricks per unit, horizontally",   \
        "(0, inf)")                                                                                \
  PARAM(Float, _ward_##path##_colorVariance, 0.0f, "tile node: per-brick brightness variation",    \
        "[0, 1]")                                                                                  \
  PARAM(Float, _ward_##path##_fadeVariance, 0.0f, "tile node: per-brick fade variation", "[0, 1]") \
  PARAM(Float, _ward_##path##_horizontalGap, 0.05f,                                                \
        "tile node: mortar width between bricks of a row", "[0, 1]")                               \
  PARAM(Float, _ward_##path##_verticalGap, 0.05f, "tile node: mortar width between rows",          \
        "[0, 1]")                                                                                  \
  PARAM(Float, _ward_##path##_edgeRoughness, 0.0f, "tile node: roughness of the brick edges",      \
        "[0, 1]")                                                                                  \
  PARAM(Int, _ward_##path##_randomSeed, 0, "tile node: seed of the per-brick random values")       \
  PARAM(Float, _ward_##path##_lineShift, 0.5f, "tile node: offset of every other row, in bricks",  \
        "[0, 1]")                                                                                  \
  PARAM(Float, _ward_##path##_randomShift, 0.0f, "tile node: random part of the row offset",       \
        "[0, 1]")                                                                                  \
  PARAM(Float, _ward_##path##_changeRow, 1.0f,                                                     \
        "tile node: width change of every perRow-th row (with useRowEdit)")                        \
  PARAM(Int, _ward_##path##_perRow, 2, "tile node: every how many rows the change applies",        \
        "[1, inf)")                                                                                \
  PARAM(Bool, _ward_##path##_useColumnEdit, false,                                                 \
        "tile node: change every perColumn-th column by changeColumn")                             \
  PARAM(Bool, _ward_##path##_useRowEdit, false,                                                    \
        "tile node: change every perRow-th row by changeRow")                                      \
  PARAM(Float, _ward_##path##_changeColumn, 1.0f,                                                  \
        "tile node: height change of every perColumn-th column (with useColumnEdit)")              \
  PARAM(Int, _ward_##path##_perColumn, 2, "tile node: every how many columns the change applies",  \
        "[1, inf)")                                                                                \
  PARAM(Int, _ward_##path##_holes, 0, "tile node: number of missing bricks", "[0, inf)")           \
  PARAM(Float, _ward_##path##_brickHeight, 1.0f, "tile node: brick height scale", "(0, inf)")      \
  PARAM(Float, _ward_##path##_brickWidth, 1.0f, "tile node: brick width scale", "(0, inf)")        \
  PARAM(Bool, _ward_##path##_repeatX, true,                                                        \
        "tile node: repeat the tiles along x (off: empty outside the unit square)")                \
  PARAM(Bool, _ward_##path##_repeatY, true, "tile node: repeat the tiles along y")

// The settings of the node at `path` in parameter block `p`, for the node functions below.
#define TARVO_UNIFIEDBITMAP_NODE_SETTINGS(p, path)                                  \
  ::pvx::BitmapNode {                                                               \
    (p)._ward_##path##_xform, (p)._ward_##path##_texture, (p)._ward_##path##_amount \
  }

#define TARVO_NOISE_NODE_SETTINGS(p, path)                                      \
  ::pvx::NoiseNode {                                                            \
    (p)._ward_##path##_xform, (p)._ward_##path##_type, (p)._ward_##path##_size, \
        (p)._ward_##path##_thresholdLow, (p)._ward_##path##_thresholdHigh,      \
        (p)._ward_##path##_levels, (p)._ward_##path##_phase                     \
  }

#define TARVO_TILE_NODE_SETTINGS(p, path)                                                          \
  ::pvx::TileNode {                                                                                \
    (p)._ward_##path##_xform, (p)._ward_##path##_colorVariance, (p)._ward_##path##_fadeVariance,   \
        (p)._ward_##path##_repeatX, (p)._ward_##path##_repeatY, ::pvx::BrickLayout {               \
      (p)._ward_##path##_verticalCount, (p)._ward_##path##_horizontalCount,                        \
          (p)._ward_##path##_horizontalGap, (p)._ward_##path##_verticalGap,                        \
          (p)._ward_##path##_edgeRoughness, (p)._ward_##path##_randomSeed,                         \
          (p)._ward_##path##_lineShift, (p)._ward_##path##_randomShift,                            \
          (p)._ward_##path##_changeRow, (p)._ward_##path##_perRow,                                 \
          (p)._ward_##path##_useColumnEdit, (p)._ward_##path##_useRowEdit,                         \
          (p)._ward_##path##_changeColumn, (p)._ward_##path##_perColumn, (p)._ward_##path##_holes, \
          (p)._ward_##path##_brickHeight, (p)._ward_##path##_brickWidth                            \
    }                                                                                              \
  }

namespace pvx {

// What every node of one evaluation reads: the host, the object-space hit position (noises) and
// the 2-D coordinate (bitmaps and tiles).
struct NodeInputs {
  IHostContext* host;
  float3 Po;
  float2 st;
};

struct BitmapNode {
  const mat4& xform;
  const Texture2D& texture;
  float amount;
};

struct NoiseNode {
  const mat4& xform;
  int32_t type;
  float size, thresholdLow, thresholdHigh, levels, phase;
};

struct TileNode {
  const mat4& xform;
  float colorVariance, fadeVariance;
  bool repeatX, repeatY;
  BrickLayout layout;
};

// A node's placement of (s, t): the point (s, t, 1) through the column-major mat4, translation
// added, fourth row ignored.
inline float2 placeNodeUV(const mat4& xform, const float2& st) {
  const float3 q = transformPoint(xform, float3(st.x, st.y, 1.0f));
  return float2(q.x, q.y);
}

inline float4 evaluateBitmap(const BitmapNode& n, const NodeInputs& in) {
  const float4 texel = sample2D(n.texture, placeNodeUV(n.xform, in.st));
  return float4(rgb(texel) * n.amount, texel.w);
}

// The blend factor of a noise node: its noise value at the placed and scaled Po, through the
// threshold ramp. A noise the host could not compute (a point at infinity from a size of 0)
// counts as 0.
inline float noiseBlend(const NoiseNode& n, const NodeInputs& in) {
  const float3 p = transformPoint(n.xform, in.Po) * (1.0f / n.size);
  const float v = noiseValue(in.host, p, n.phase, n.type, n.levels);
  return noiseThreshold(v == v ? v : 0.0f, n.thresholdLow, n.thresholdHigh);
}

inline float4 evaluateNoise(const NoiseNode& n, const NodeInputs& in, const float4& color1,
                            const float4& color2) {
  const float t = noiseBlend(n, in);
  return color1 * (1.0f - t) + color2 * t;
}

// Brings a tile coordinate into [0, 1]: wrapped when the tile repeats, else false outside.
inline bool wrapTileCoordinate(float& x, bool repeat) {
  if (x >= 0.0f && x <= 1.0f) return true;
  if (!repeat) return false;
  x -= floor(x);
  return x >= 0.0f && x <= 1.0f;  // false for NaN and infinities
}

// A per-brick factor 1 + (2 r - 1) x variance, raised to 0 when negative.
inline float brickVariation(float r, float variance) {
  const float f = 1.0f + (2.0f * r - 1.0f) * variance;
  return f > 0.0f ? f : 0.0f;
}

inline float4 evaluateTile(const TileNode& n, const NodeInputs& in, const float4& brickColor,
                           const float4& mortarColor) {
  float2 uv = placeNodeUV(n.xform, in.st);
  if (!wrapTileCoordinate(uv.x, n.repeatX) || !wrapTileCoordinate(uv.y, n.repeatY)) {
    return float4(0.0f);
  }
  const BrickSample brick = brickAt(n.layout, uv.x, uv.y);
  const float c = brickVariation(in.host->cellRandom(brick.identifier), n.colorVariance);
  const float g = brickVariation(in.host->cellRandom(brick.identifier), n.fadeVariance);
  return brickColor * (c * g) * brick.mask + mortarColor * (1.0f - brick.mask);
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_TEXTURE_NODES_H

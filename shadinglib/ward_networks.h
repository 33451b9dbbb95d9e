// Texture networks in place of the Ward family's texture maps: how one description of a
// network's shape becomes both the parameter declarations of its nodes and the straight-line
// code that evaluates them, and how a network drives the diffuse colour, the first normal map
// (as a height field) or the cut-out.
//
// A network description is a list macro NETWORK(NODE, X) with one entry per node, in the order
// the class declares the nodes' parameters; X is passed through untouched:
//   NODE(X, UnifiedBitmap, path)
//   NODE(X, Noise, path, color1Kind, color2Kind)    kinds Constant, UnifiedBitmap, Noise, Tile
//   NODE(X, Tile, path, brickColorKind, mortarColorKind)   (both driven by nodes)
//   NODE(X, Input, input, rootKind)   the input the root node `<input>_<rootKind>` drives:
//                                     diffuse_color, normal0_map or cutout_map; declares nothing
// A node's path is its input, then the node kinds and colour inputs down from the root
// (`diffuse_color_Noise_color1_UnifiedBitmap`); a child's path is its parent's path, the colour
// input and the child's kind, so the entries need name no links.
//
//   TARVO_WARD_NETWORK_PARAMETERS(PARAM, VARYING, NETWORK)  the whole parameter list of a
//       network variant: the varyings, `CaldrinAODisable`, the Ward surface group, the network's
//       nodes, the ambient-occlusion and masking group
//   TARVO_WARD_NETWORK_INPUTS(Name, NETWORK)  the input source (shadinglib/ward_inputs.h) that
//       evaluates the network: one static function per node, named by its path, calling its
//       children's functions before combining their colours; no interpreter, no allocation,
//       no virtual call per node
#ifndef TARVO_SHADINGLIB_WARD_NETWORKS_H
#define TARVO_SHADINGLIB_WARD_NETWORKS_H

#include "shadinglib/mapped_inputs.h"
#include "shadinglib/material_prologue.h"
#include "shadinglib/shading_frame.h"
#include "shadinglib/texture_nodes.h"
#include "shadinglib/ward_inputs.h"

// ---- declarations ---------------------------------------------------------------------------

#define TARVO_NETWORK_NODE_PARAMETERS(PARAM, Kind, ...) \
  TARVO_NETWORK_PARAMETERS_##Kind(PARAM, __VA_ARGS__)
#define TARVO_NETWORK_PARAMETERS_UnifiedBitmap(PARAM, path) \
  TARVO_UNIFIEDBITMAP_NODE_PARAMETERS(PARAM, path)
#define TARVO_NETWORK_PARAMETERS_Noise(PARAM, path, color1Kind, color2Kind) \
  TARVO_NOISE_NODE_PARAMETERS(PARAM, path, color1Kind, color2Kind)
#define TARVO_NETWORK_PARAMETERS_Tile(PARAM, path, brickKind, mortarKind) \
  TARVO_TILE_NODE_PARAMETERS(PARAM, path)
#define TARVO_NETWORK_PARAMETERS_Input(PARAM, input, rootKind)

#define TARVO_WARD_NETWORK_PARAMETERS(PARAM, VARYING, NETWORK)        \
  VARYING(Float3, bitangent, 0, TARVO_NOTE_BITANGENT)                 \
  VARYING(Float3, tangent, 12, TARVO_NOTE_TANGENT)                    \
  VARYING(Float2, uv, 24, TARVO_NOTE_UV)                              \
  PARAM(Bool, CaldrinAODisable, false, TARVO_NOTE_CALDRIN_AO_DISABLE) \
  TARVO_WARD_SURFACE_PARAMETERS(PARAM, VARYING)                       \
  NETWORK(TARVO_NETWORK_NODE_PARAMETERS, PARAM)                       \
  TARVO_AO_MASKING_PARAMETERS_AT(PARAM, VARYING, 32, 40)

// ---- evaluation -----------------------------------------------------------------------------

#define TARVO_NETWORK_NODE_FUNCTION(X, Kind, ...) TARVO_NETWORK_FUNCTION_##Kind(__VA_ARGS__)

// A colour input: the constant parameter, or the colour of the child node.
#define TARVO_NETWORK_COLOR_Constant(p, in, input) (p)._ward_##input
#define TARVO_NETWORK_COLOR_UnifiedBitmap(p, in, input) input##_UnifiedBitmap(p, in)
#define TARVO_NETWORK_COLOR_Noise(p, in, input) input##_Noise(p, in)
#define TARVO_NETWORK_COLOR_Tile(p, in, input) input##_Tile(p, in)

#define TARVO_NETWORK_FUNCTION_UnifiedBitmap(path)                                \
  template <class P>                                                              \
  static ::pvx::float4 path(const P& p, const ::pvx::NodeInputs& in) {            \
    return ::pvx::evaluateBitmap(TARVO_UNIFIEDBITMAP_NODE_SETTINGS(p, path), in); \
  }

#define TARVO_NETWORK_FUNCTION_Noise(path, color1Kind, color2Kind)                       \
  template <class P>                                                                     \
  static ::pvx::float4 path(const P& p, const ::pvx::NodeInputs& in) {                   \
    const ::pvx::float4 color1 = TARVO_NETWORK_COLOR_##color1Kind(p, in, path##_color1); \
    const ::pvx::float4 color2 = TARVO_NETWORK_COLOR_##color2Kind(p, in, path##_color2); \
    return ::pvx::evaluateNoise(TARVO_NOISE_NODE_SETTINGS(p, path), in, color1, color2); \
  }

#define TARVO_NETWORK_FUNCTION_Tile(path, brickKind, mortarKind)                              \
  template <class P>                                                                          \
  static ::pvx::float4 path(const P& p, const ::pvx::NodeInputs& in) {                        \
    const ::pvx::float4 brick = TARVO_NETWORK_COLOR_##brickKind(p, in, path##_brickColor);    \
    const ::pvx::float4 mortar = TARVO_NETWORK_COLOR_##mortarKind(p, in, path##_mortarColor); \
    return ::pvx::evaluateTile(TARVO_TILE_NODE_SETTINGS(p, path), in, brick, mortar);         \
  }

#define TARVO_NETWORK_FUNCTION_Input(input, rootKind) \
  TARVO_NETWORK_INPUT_##input(input##_##rootKind)

// Each input's network is evaluated behind a call: the entry points stay small where the
// network is switched off.
//
// The network's colour takes the place of amount x texel (its alpha feeds image fade mode 1).
#define TARVO_NETWORK_INPUT_diffuse_color(root)                                                 \
  template <class P>                                                                            \
  TARVO_OUT_OF_LINE static ::pvx::float4 diffuseMapColor(const P& p, ::pvx::IHostContext* host, \
                                                         const ::pvx::ShadingState& state,      \
                                                         const ::pvx::float2& uv) {             \
    return root(p, ::pvx::NodeInputs{host, state.Po, uv});                                      \
  }

// The network is a height field at the first normal map's transformed UV.
#define TARVO_NETWORK_INPUT_normal0_map(root)                                               \
  template <class P>                                                                        \
  TARVO_OUT_OF_LINE static void applyFirstNormalMap(                                        \
      const P& p, ::pvx::IHostContext* host, const ::pvx::ShadingState& state,              \
      const ::pvx::float2& uv, float strength, ::pvx::TangentFrame& frame) {                \
    ::pvx::applyHeightFieldBump(frame, ::pvx::mappedUV(uv, p.u_normal0Transform), strength, \
                                [&](const ::pvx::float2& st) {                              \
                                  return root(p, ::pvx::NodeInputs{host, state.Po, st});    \
                                });                                                         \
  }

// The opacity is the red channel of the network's colour (a bitmap's amount x texel).
#define TARVO_NETWORK_INPUT_cutout_map(root)                                          \
  template <class P>                                                                  \
  TARVO_OUT_OF_LINE static float cutoutOpacity(const P& p, ::pvx::IHostContext* host, \
                                               const ::pvx::ShadingState& state,      \
                                               const ::pvx::float2& uv) {             \
    return root(p, ::pvx::NodeInputs{host, state.Po, uv}).x;                          \
  }

#define TARVO_WARD_NETWORK_INPUTS(Name, NETWORK) \
  struct Name : ::pvx::WardMappedInputs {        \
    NETWORK(TARVO_NETWORK_NODE_FUNCTION, ~)      \
  }

namespace pvx {

// Offset of the height field's two extra samples along s and along t.
constexpr float kHeightFieldStep = 0.001f;
// Height differences below this along both axes leave the frame as it is.
constexpr float kFlatHeightDifference = 0.00001f;

// The height of a network colour: red + green + blue.
inline float colorHeight(const float4& c) {
  return c.x + c.y + c.z;
}

// Bends the frame by the slope of a height field, sampled at st and one step along s and t:
// N += (dx T + dy B) x strength x the normal-map gain, then the frame is renormalised, where
// dx and dy are the height here minus the height one step on. `height(st)` returns a colour.
template <class Height>
void applyHeightFieldBump(TangentFrame& frame, const float2& st, float strength, Height&& height) {
  const float here = colorHeight(height(st));
  const float dx = here - colorHeight(height(float2(st.x + kHeightFieldStep, st.y)));
  const float dy = here - colorHeight(height(float2(st.x, st.y + kHeightFieldStep)));
  if (abs(dx) < kFlatHeightDifference && abs(dy) < kFlatHeightDifference) return;
  applyNormalTexel(frame, float4(dx, dy, 0.0f, 0.0f), strength);
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_WARD_NETWORKS_H

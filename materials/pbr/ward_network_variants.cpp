// The nine Ward network variants: quarra_Mtl_Ward surfaces whose diffuse colour, first normal
// map or cut-out comes from a small procedural texture network (UnifiedBitmap, Noise and Tile
// nodes, shadinglib/texture_nodes.h) instead of a texture map. Parameter groups: the varyings
// and `CaldrinAODisable`; the Ward surface group; the network's nodes, each under its path
// (`_ward_<input>_<node path>_<parameter>`); the ambient-occlusion and masking group last. No
// clipping, decal or common tint.
//
// With its switch on, a diffuse network's colour replaces amount x texel (its alpha feeds image
// fade mode 1); a normal network is a height field sampled three times; a cut-out network gives
// the opacity. Everything else is the Ward material (shadinglib/ward_material.h).
//
// Each class is one description of its network shape, its nodes listed in declaration order
// (shadinglib/ward_networks.h): the description declares the nodes and generates the code that
// evaluates them. This library's own choices: the node parameters' defaults and the brick
// layout of Tile (shadinglib/brick_layout.h).
#include "frame/shader_class.h"
#include "shadinglib/ward_material.h"
#include "shadinglib/ward_networks.h"

namespace pvx {

// Bump from a noise with constant colours (the noise reads Po only, so the bump is flat).
#define TARVO_WARD_5ba0bfff_NETWORK(NODE, X) \
  NODE(X, Input, normal0_map, Noise)         \
  NODE(X, Noise, normal0_map_Noise, Constant, Constant)

// Diffuse colour from a noise with constant colours.
#define TARVO_WARD_120b7820_NETWORK(NODE, X) \
  NODE(X, Input, diffuse_color, Noise)       \
  NODE(X, Noise, diffuse_color_Noise, Constant, Constant)

// Bump from a bitmap; diffuse colour from a noise between two bitmaps.
#define TARVO_WARD_5592d496_NETWORK(NODE, X)                       \
  NODE(X, Input, normal0_map, UnifiedBitmap)                       \
  NODE(X, Input, diffuse_color, Noise)                             \
  NODE(X, UnifiedBitmap, normal0_map_UnifiedBitmap)                \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color1_UnifiedBitmap) \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color2_UnifiedBitmap) \
  NODE(X, Noise, diffuse_color_Noise, UnifiedBitmap, UnifiedBitmap)

// Bump and diffuse colour each from a noise between two noises, each between two bitmaps.
#define TARVO_WARD_33632204_NETWORK(NODE, X)                                     \
  NODE(X, Input, normal0_map, Noise)                                             \
  NODE(X, Input, diffuse_color, Noise)                                           \
  NODE(X, UnifiedBitmap, normal0_map_Noise_color1_Noise_color1_UnifiedBitmap)    \
  NODE(X, UnifiedBitmap, normal0_map_Noise_color1_Noise_color2_UnifiedBitmap)    \
  NODE(X, UnifiedBitmap, normal0_map_Noise_color2_Noise_color1_UnifiedBitmap)    \
  NODE(X, UnifiedBitmap, normal0_map_Noise_color2_Noise_color2_UnifiedBitmap)    \
  NODE(X, Noise, normal0_map_Noise, Noise, Noise)                                \
  NODE(X, Noise, normal0_map_Noise_color1_Noise, UnifiedBitmap, UnifiedBitmap)   \
  NODE(X, Noise, normal0_map_Noise_color2_Noise, UnifiedBitmap, UnifiedBitmap)   \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color1_Noise_color1_UnifiedBitmap)  \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color1_Noise_color2_UnifiedBitmap)  \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color2_Noise_color1_UnifiedBitmap)  \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color2_Noise_color2_UnifiedBitmap)  \
  NODE(X, Noise, diffuse_color_Noise, Noise, Noise)                              \
  NODE(X, Noise, diffuse_color_Noise_color1_Noise, UnifiedBitmap, UnifiedBitmap) \
  NODE(X, Noise, diffuse_color_Noise_color2_Noise, UnifiedBitmap, UnifiedBitmap)

// Cut-out from a bitmap; diffuse colour from a noise between two bitmaps.
#define TARVO_WARD_82261344_NETWORK(NODE, X)                        \
  NODE(X, Input, cutout_map, UnifiedBitmap)                         \
  NODE(X, Input, diffuse_color, Noise)                              \
  NODE(X, UnifiedBitmap, cutout_map_UnifiedBitmap)                  \
  NODE(X, Noise, diffuse_color_Noise, UnifiedBitmap, UnifiedBitmap) \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color1_UnifiedBitmap)  \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color2_UnifiedBitmap)

// Bump and diffuse colour each from a noise between two bitmaps.
#define TARVO_WARD_aa598cb4_NETWORK(NODE, X)                       \
  NODE(X, Input, normal0_map, Noise)                               \
  NODE(X, Input, diffuse_color, Noise)                             \
  NODE(X, UnifiedBitmap, normal0_map_Noise_color1_UnifiedBitmap)   \
  NODE(X, UnifiedBitmap, normal0_map_Noise_color2_UnifiedBitmap)   \
  NODE(X, Noise, normal0_map_Noise, UnifiedBitmap, UnifiedBitmap)  \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color1_UnifiedBitmap) \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color2_UnifiedBitmap) \
  NODE(X, Noise, diffuse_color_Noise, UnifiedBitmap, UnifiedBitmap)

// Bump from a bitmap; diffuse colour from a noise between two brick walls, each with bitmap
// brick and mortar colours.
#define TARVO_WARD_b9aac246_NETWORK(NODE, X)                                        \
  NODE(X, Input, normal0_map, UnifiedBitmap)                                        \
  NODE(X, Input, diffuse_color, Noise)                                              \
  NODE(X, UnifiedBitmap, normal0_map_UnifiedBitmap)                                 \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color1_Tile_brickColor_UnifiedBitmap)  \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color1_Tile_mortarColor_UnifiedBitmap) \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color2_Tile_brickColor_UnifiedBitmap)  \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color2_Tile_mortarColor_UnifiedBitmap) \
  NODE(X, Noise, diffuse_color_Noise, Tile, Tile)                                   \
  NODE(X, Tile, diffuse_color_Noise_color1_Tile, UnifiedBitmap, UnifiedBitmap)      \
  NODE(X, Tile, diffuse_color_Noise_color2_Tile, UnifiedBitmap, UnifiedBitmap)

// Diffuse colour from a noise between two bitmaps.
#define TARVO_WARD_ccb3a2e6_NETWORK(NODE, X)                        \
  NODE(X, Input, diffuse_color, Noise)                              \
  NODE(X, Noise, diffuse_color_Noise, UnifiedBitmap, UnifiedBitmap) \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color1_UnifiedBitmap)  \
  NODE(X, UnifiedBitmap, diffuse_color_Noise_color2_UnifiedBitmap)

// Bump from a bitmap; diffuse colour from a brick wall with bitmap brick and mortar colours.
#define TARVO_WARD_f05db29e_NETWORK(NODE, X)                          \
  NODE(X, Input, normal0_map, UnifiedBitmap)                          \
  NODE(X, Input, diffuse_color, Tile)                                 \
  NODE(X, UnifiedBitmap, normal0_map_UnifiedBitmap)                   \
  NODE(X, Tile, diffuse_color_Tile, UnifiedBitmap, UnifiedBitmap)     \
  NODE(X, UnifiedBitmap, diffuse_color_Tile_brickColor_UnifiedBitmap) \
  NODE(X, UnifiedBitmap, diffuse_color_Tile_mortarColor_UnifiedBitmap)

// The parameter list of each class (TARVO_PARAMETER_BLOCK takes a list macro by name).
#define TARVO_WARD_NETWORK_LIST(Hash, PARAM, VARYING) \
  TARVO_WARD_NETWORK_PARAMETERS(PARAM, VARYING, TARVO_WARD_##Hash##_NETWORK)
#define TARVO_WARD_5ba0bfff_PARAMETERS(P, V) TARVO_WARD_NETWORK_LIST(5ba0bfff, P, V)
#define TARVO_WARD_120b7820_PARAMETERS(P, V) TARVO_WARD_NETWORK_LIST(120b7820, P, V)
#define TARVO_WARD_5592d496_PARAMETERS(P, V) TARVO_WARD_NETWORK_LIST(5592d496, P, V)
#define TARVO_WARD_33632204_PARAMETERS(P, V) TARVO_WARD_NETWORK_LIST(33632204, P, V)
#define TARVO_WARD_82261344_PARAMETERS(P, V) TARVO_WARD_NETWORK_LIST(82261344, P, V)
#define TARVO_WARD_aa598cb4_PARAMETERS(P, V) TARVO_WARD_NETWORK_LIST(aa598cb4, P, V)
#define TARVO_WARD_b9aac246_PARAMETERS(P, V) TARVO_WARD_NETWORK_LIST(b9aac246, P, V)
#define TARVO_WARD_ccb3a2e6_PARAMETERS(P, V) TARVO_WARD_NETWORK_LIST(ccb3a2e6, P, V)
#define TARVO_WARD_f05db29e_PARAMETERS(P, V) TARVO_WARD_NETWORK_LIST(f05db29e, P, V)

#define TARVO_WARD_NETWORK_CLASS(Hash)                                                            \
  TARVO_PARAMETER_BLOCK(WardNetwork##Hash##Parameters, TARVO_WARD_##Hash##_PARAMETERS);           \
  TARVO_WARD_NETWORK_INPUTS(WardNetwork##Hash##Inputs, TARVO_WARD_##Hash##_NETWORK);              \
  class quarra_Mtl_Ward_##Hash final : public ShaderClass<quarra_Mtl_Ward_##Hash, MaterialShader, \
                                                          WardNetwork##Hash##Parameters> {        \
   public:                                                                                        \
    static constexpr const char* kClassName = "quarra_Mtl_Ward_" #Hash;                           \
    using Shading = WardMaterial<WardNetwork##Hash##Parameters, WardNetwork##Hash##Inputs>;       \
    void shade(IHostContext* host, ShadingState* state) const override {                          \
      Shading::shade(parameters(), host, state);                                                  \
    }                                                                                             \
    void shadow(IHostContext* host, ShadingState* state) const override {                         \
      Shading::shadow(parameters(), host, state);                                                 \
    }                                                                                             \
    void evaluate(IHostContext* host, ShadingState* state) const override {                       \
      Shading::evaluate(parameters(), host, state);                                               \
    }                                                                                             \
    void scatter(IHostContext* host, ShadingState* state) const override {                        \
      Shading::scatter(parameters(), host, state);                                                \
    }                                                                                             \
  };                                                                                              \
  TARVO_SHADER_FACTORY(quarra_Mtl_Ward_##Hash)

TARVO_WARD_NETWORK_CLASS(120b7820)
TARVO_WARD_NETWORK_CLASS(33632204)
TARVO_WARD_NETWORK_CLASS(5592d496)
TARVO_WARD_NETWORK_CLASS(5ba0bfff)
TARVO_WARD_NETWORK_CLASS(82261344)
TARVO_WARD_NETWORK_CLASS(aa598cb4)
TARVO_WARD_NETWORK_CLASS(b9aac246)
TARVO_WARD_NETWORK_CLASS(ccb3a2e6)
TARVO_WARD_NETWORK_CLASS(f05db29e)

}  // namespace pvx

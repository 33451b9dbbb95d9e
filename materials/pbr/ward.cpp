// quarra_Mtl_Ward: the general-purpose physically based surface, a diffuse layer under an
// anisotropic Ward glossy lobe, with transparency (refraction), translucency, an additional
// colour, cut-outs, decals, two normal maps, a built-in bump and an image fade of the diffuse
// colour. Parameter groups: ambient occlusion and masking; the clipping planes (at most
// kMaxClippingPlanes = 1024 are tested, whatever count the map holds); the Ward surface
// group (bump, normal maps, the mapped diffuse, specular, roughness, anisotropy, reflectivity,
// transparency, translucency, cut-out and additional inputs); decal; common tint.
#include "frame/shader_class.h"
#include "shadinglib/material_prologue.h"
#include "shadinglib/ward_material.h"

namespace pvx {

#define TARVO_WARD_PARAMETERS(PARAM, VARYING)                                            \
  TARVO_AO_MASKING_PARAMETERS(PARAM, VARYING)                                            \
  VARYING(Float3, bitangent, 24, TARVO_NOTE_BITANGENT)                                   \
  VARYING(Float3, tangent, 36, TARVO_NOTE_TANGENT)                                       \
  VARYING(Float2, uv, 48, TARVO_NOTE_UV)                                                 \
  PARAM(Bool, CaldrinAODisable, false, TARVO_NOTE_CALDRIN_AO_DISABLE)                    \
  TARVO_GLOBAL_CLIPPING_PARAMETERS(PARAM, VARYING)                                       \
  TARVO_WARD_SURFACE_PARAMETERS(PARAM, VARYING)                                          \
  PARAM(Bool, u_isDecal, false,                                                          \
        "decal: outside the unit square of u_decalTransform the surface is see-through") \
  PARAM(Mat4, u_decalTransform, ::pvx::identity4,                                        \
        "carries (u, v, 0, 1) into the decal square [0, 1] x [0, 1]")                    \
  PARAM(Bool, u_commonTintEnable, false, TARVO_NOTE_COMMON_TINT_ENABLE)                  \
  PARAM(ColorAlpha, u_commonTintColor, ::pvx::float4(1.0f), TARVO_NOTE_COMMON_TINT_COLOR)
TARVO_PARAMETER_BLOCK(WardParameters, TARVO_WARD_PARAMETERS);

class quarra_Mtl_Ward final : public ShaderClass<quarra_Mtl_Ward, MaterialShader, WardParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_Ward";
  using Shading = WardMaterial<WardParameters>;

  void shade(IHostContext* host, ShadingState* state) const override {
    Shading::shade(parameters(), host, state);
  }
  void shadow(IHostContext* host, ShadingState* state) const override {
    Shading::shadow(parameters(), host, state);
  }
  void evaluate(IHostContext* host, ShadingState* state) const override {
    Shading::evaluate(parameters(), host, state);
  }
  void scatter(IHostContext* host, ShadingState* state) const override {
    Shading::scatter(parameters(), host, state);
  }
};

TARVO_SHADER_FACTORY(quarra_Mtl_Ward)

}  // namespace pvx

// quarra_Mtl_NormalsOnly: colours a surface by which side faces the viewer (blue for the outside,
// yellow for the inside, with `reverseNormal` swapping them), or flat green or olive when
// `faceForward` or `faceLight` is set, scaled by the view cosine. Opaque. No host services,
// textures or varyings.
#include "frame/shader_class.h"
#include "shadinglib/vector_math.h"

namespace pvx {

#define TARVO_NORMALS_ONLY_PARAMETERS(PARAM, VARYING)                                    \
  PARAM(Bool, reverseNormal, false, "swap the front (blue) and back (yellow) colouring") \
  PARAM(Bool, faceForward, false, "colour every hit green")                              \
  PARAM(Bool, faceLight, false, "colour every hit olive (when faceForward is off)")
TARVO_PARAMETER_BLOCK(NormalsOnlyParameters, TARVO_NORMALS_ONLY_PARAMETERS);

class quarra_Mtl_NormalsOnly final
    : public ShaderClass<quarra_Mtl_NormalsOnly, MaterialShader, NormalsOnlyParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_NormalsOnly";

  void shade(IHostContext*, ShadingState* state) const override {
    const float d = abs(dot(state->N, state->I));
    state->Ci = float4(clamp01(sideColor(*state) * d), 1.0f);
  }

 private:
  float3 sideColor(const ShadingState& state) const {
    if (faceForward) return float3(0.05f, 0.8f, 0.05f);
    if (faceLight) return float3(0.45f, 0.65f, 0.35f);
    const bool outside = (state.frontFacing != 0) != reverseNormal;
    return outside ? float3(0.05f, 0.05f, 0.8f) : float3(1.0f, 1.0f, 0.0f);
  }
};

TARVO_SHADER_FACTORY(quarra_Mtl_NormalsOnly)

}  // namespace pvx

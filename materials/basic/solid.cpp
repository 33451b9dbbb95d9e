// quarra_Mtl_Solid: a fixed tint scaled by the cosine between the ray and the normal, for
// previewing geometry. `patchState` picks the tint (0 and 1 mauve, 2 grey, anything else black);
// `reverseNormal` and `faceForward` orient the normal, which the absolute cosine makes moot but
// hosts still set. No host services, textures or varyings.
#include "frame/shader_class.h"
#include "shadinglib/vector_math.h"

namespace pvx {

#define TARVO_SOLID_PARAMETERS(PARAM, VARYING)                                             \
  PARAM(Bool, reverseNormal, false,                                                        \
        "negate the normal (kept: the shading uses the absolute cosine)")                  \
  PARAM(Bool, faceForward, false,                                                          \
        "turn the normal towards the viewer (kept: the shading uses the absolute cosine)") \
  PARAM(Int, patchState, 0, "tint scaled by the cosine to the viewer", "0 pink | 1 pink | 2 grey")
TARVO_PARAMETER_BLOCK(SolidParameters, TARVO_SOLID_PARAMETERS);

class quarra_Mtl_Solid final
    : public ShaderClass<quarra_Mtl_Solid, MaterialShader, SolidParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_Solid";

  // The host's alpha is left as it was.
  void shade(IHostContext*, ShadingState* state) const override {
    const float d = abs(dot(state->I, orientedNormal(*state)));
    const float3 color = patchTint() * d;
    state->Ci.x = clamp01(color.x);
    state->Ci.y = clamp01(color.y);
    state->Ci.z = clamp01(color.z);
  }

 private:
  float3 orientedNormal(const ShadingState& state) const {
    float3 n = reverseNormal ? -state.N : state.N;
    if (faceForward && dot(state.I, state.Ng) > 0.0f) n = -n;
    return n;
  }

  float3 patchTint() const {
    switch (patchState) {
      case 0:
      case 1:
        return float3(0.69f, 0.58f, 0.69f);
      case 2:
        return float3(0.85f);
      default:
        return float3(0.0f);
    }
  }
};

TARVO_SHADER_FACTORY(quarra_Mtl_Solid)

}  // namespace pvx

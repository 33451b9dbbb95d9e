// quarra_Mtl_Unlit: a flat colour that only camera rays see. Every other ray passes on as if the
// surface were absent, and shadow rays pass unhindered, so the surface neither reflects, refracts
// nor shadows. Parameters: `diffuseColor`. No host services, textures or varyings.
#include "frame/shader_class.h"
#include "shadinglib/vector_math.h"

namespace pvx {

#define TARVO_UNLIT_PARAMETERS(PARAM, VARYING)         \
  PARAM(Color, diffuseColor, float3(1.0f, 1.0f, 0.0f), \
        "colour shown to camera rays; every other ray passes through")
TARVO_PARAMETER_BLOCK(UnlitParameters, TARVO_UNLIT_PARAMETERS);

class quarra_Mtl_Unlit final
    : public ShaderClass<quarra_Mtl_Unlit, MaterialShader, UnlitParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_Unlit";

  // The host's alpha is left as it was.
  void shade(IHostContext*, ShadingState* state) const override {
    if (state->rayKind != kRayCamera) {
      state->ignoreHit = 1;
      return;
    }
    state->Ci.x = diffuseColor.x;
    state->Ci.y = diffuseColor.y;
    state->Ci.z = diffuseColor.z;
  }

  void shadow(IHostContext*, ShadingState* state) const override { state->shadowT = float3(1.0f); }
};

TARVO_SHADER_FACTORY(quarra_Mtl_Unlit)

}  // namespace pvx

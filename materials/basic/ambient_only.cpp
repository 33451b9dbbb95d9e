// quarra_Mtl_AmbientOnly: a diagnostic surface that shows the ambient-occlusion term as a grey
// level (its darkest channel), or plain white when that display is off or no occlusion source is
// chosen. Parameters: the shared ambient-occlusion and masking group only; the masking half is
// declared and copied but not used.
#include "frame/shader_class.h"
#include "shadinglib/material_prologue.h"

namespace pvx {

#define TARVO_AMBIENT_ONLY_PARAMETERS(PARAM, VARYING) TARVO_AO_MASKING_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(AmbientOnlyParameters, TARVO_AMBIENT_ONLY_PARAMETERS);

class quarra_Mtl_AmbientOnly final
    : public ShaderClass<quarra_Mtl_AmbientOnly, MaterialShader, AmbientOnlyParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_AmbientOnly";

  void shade(IHostContext* host, ShadingState* state) const override {
    state->Ci = float4(1.0f);
    if (!showAmbientOnly) return;
    // Computed (and the host asked) even when no source is chosen and the result is dropped.
    const float3 occlusion = ambientOcclusionTerm(parameters(), host, *state, float3(0.0f), 1.0f);
    if (!showsOcclusion()) return;
    const float grey = minComponent(occlusion);
    state->Ci = float4(grey, grey, grey, 1.0f);
  }

 private:
  bool showsOcclusion() const {
    return usingRaytracedAO || (usePrecalcAO && ambientOcclusionMode > 0);
  }
};

TARVO_SHADER_FACTORY(quarra_Mtl_AmbientOnly)

}  // namespace pvx

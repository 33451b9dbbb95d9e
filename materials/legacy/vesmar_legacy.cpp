// VesmarLegacy: The legacy material model with texture channels and IBL controls.
// Parameter block and shading entries are not built yet: the class declares only its capability
// mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_VESMAR_LEGACY_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(VesmarLegacyParameters, TARVO_VESMAR_LEGACY_PARAMETERS);

class VesmarLegacy final
    : public ShaderClass<VesmarLegacy, MaterialShader, VesmarLegacyParameters> {
 public:
  static constexpr const char* kClassName = "VesmarLegacy";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(VesmarLegacy)

}  // namespace pvx

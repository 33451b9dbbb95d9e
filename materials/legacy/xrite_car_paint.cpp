// XRite: Measured car paint with flakes.
// Parameter block and shading entries are not built yet: the class declares only its capability
// mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_X_RITE_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(XRiteParameters, TARVO_X_RITE_PARAMETERS);

class XRite final : public ShaderClass<XRite, MaterialShader, XRiteParameters> {
 public:
  static constexpr const char* kClassName = "XRite";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(XRite)

}  // namespace pvx

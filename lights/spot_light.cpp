// qvSpotLight: A spot light: the point light's falloff plus a cone with a smooth edge.
// Parameter block and shading entries are not built yet: the class declares only its capability
// mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_SPOT_LIGHT_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(SpotLightParameters, TARVO_SPOT_LIGHT_PARAMETERS);

class qvSpotLight final : public ShaderClass<qvSpotLight, LightShader, SpotLightParameters> {
 public:
  static constexpr const char* kClassName = "qvSpotLight";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(qvSpotLight)

}  // namespace pvx

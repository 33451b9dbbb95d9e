// qvPointLight: A point light with a hard range, distance falloff and optional shadows.
// Parameter block and shading entries are not built yet: the class declares only its capability
// mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_POINT_LIGHT_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(PointLightParameters, TARVO_POINT_LIGHT_PARAMETERS);

class qvPointLight final : public ShaderClass<qvPointLight, LightShader, PointLightParameters> {
 public:
  static constexpr const char* kClassName = "qvPointLight";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(qvPointLight)

}  // namespace pvx

// quarra_Env_Default: Background colour or a graded latitude-longitude image for rays that leave
// the scene. Parameter block and shading entries are not built yet: the class declares only its
// capability mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_DEFAULT_ENVIRONMENT_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(DefaultEnvironmentParameters, TARVO_DEFAULT_ENVIRONMENT_PARAMETERS);

class quarra_Env_Default final
    : public ShaderClass<quarra_Env_Default, EnvironmentShader, DefaultEnvironmentParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Env_Default";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(quarra_Env_Default)

}  // namespace pvx

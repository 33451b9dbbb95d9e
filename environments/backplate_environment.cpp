// quarra_Env_Backplate: A backplate picture behind the geometry, an environment image for
// reflections. Parameter block and shading entries are not built yet: the class declares only its
// capability mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_BACKPLATE_ENVIRONMENT_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(BackplateEnvironmentParameters, TARVO_BACKPLATE_ENVIRONMENT_PARAMETERS);

class quarra_Env_Backplate final
    : public ShaderClass<quarra_Env_Backplate, EnvironmentShader, BackplateEnvironmentParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Env_Backplate";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(quarra_Env_Backplate)

}  // namespace pvx

// quarra_Mtl_AmbientOnly: Shows the ambient-occlusion term as a grey level.
// Parameter block and shading entries are not built yet: the class declares only its capability
// mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_AMBIENT_ONLY_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(AmbientOnlyParameters, TARVO_AMBIENT_ONLY_PARAMETERS);

class quarra_Mtl_AmbientOnly final
    : public ShaderClass<quarra_Mtl_AmbientOnly, MaterialShader, AmbientOnlyParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_AmbientOnly";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(quarra_Mtl_AmbientOnly)

}  // namespace pvx

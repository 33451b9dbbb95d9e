// quarra_Mtl_Mirror: A perfect mirror.
// Parameter block and shading entries are not built yet: the class declares only its capability
// mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_MIRROR_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(MirrorParameters, TARVO_MIRROR_PARAMETERS);

class quarra_Mtl_Mirror final
    : public ShaderClass<quarra_Mtl_Mirror, MaterialShader, MirrorParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_Mirror";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(quarra_Mtl_Mirror)

}  // namespace pvx

// quarra_Mtl_Glazing: Thin glazing with straight-through transmission.
// Parameter block and shading entries are not built yet: the class declares only its capability
// mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_GLAZING_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(GlazingParameters, TARVO_GLAZING_PARAMETERS);

class quarra_Mtl_Glazing final
    : public ShaderClass<quarra_Mtl_Glazing, MaterialShader, GlazingParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_Glazing";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(quarra_Mtl_Glazing)

}  // namespace pvx

// quarra_Mtl_Solid: A fixed tint scaled by the cosine between the ray and the normal.
// Parameter block and shading entries are not built yet: the class declares only its capability
// mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_SOLID_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(SolidParameters, TARVO_SOLID_PARAMETERS);

class quarra_Mtl_Solid final
    : public ShaderClass<quarra_Mtl_Solid, MaterialShader, SolidParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_Solid";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(quarra_Mtl_Solid)

}  // namespace pvx

// quarra_Mtl_Dielectric: Glass-like dielectric with Fresnel reflectance, rough transmission and
// absorption. Parameter block and shading entries are not built yet: the class declares only its
// capability mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_DIELECTRIC_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(DielectricParameters, TARVO_DIELECTRIC_PARAMETERS);

class quarra_Mtl_Dielectric final
    : public ShaderClass<quarra_Mtl_Dielectric, MaterialShader, DielectricParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_Dielectric";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(quarra_Mtl_Dielectric)

}  // namespace pvx

// quarra_Mtl_Ward: Diffuse layer under an anisotropic Ward glossy lobe, with refraction and
// translucency. Parameter block and shading entries are not built yet: the class declares only its
// capability mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_WARD_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(WardParameters, TARVO_WARD_PARAMETERS);

class quarra_Mtl_Ward final : public ShaderClass<quarra_Mtl_Ward, MaterialShader, WardParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_Ward";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(quarra_Mtl_Ward)

}  // namespace pvx

// quarra_Mtl_ShadowPlane: Shows what lies behind it, darkened by the shadows and occlusion falling
// on it. Parameter block and shading entries are not built yet: the class declares only its
// capability mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_SHADOW_PLANE_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(ShadowPlaneParameters, TARVO_SHADOW_PLANE_PARAMETERS);

class quarra_Mtl_ShadowPlane final
    : public ShaderClass<quarra_Mtl_ShadowPlane, MaterialShader, ShadowPlaneParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_ShadowPlane";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(quarra_Mtl_ShadowPlane)

}  // namespace pvx

// BackgroundGeometry: Background domes and ground planes with received shadows and reflection
// override. Parameter block and shading entries are not built yet: the class declares only its
// capability mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_BACKGROUND_GEOMETRY_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(BackgroundGeometryParameters, TARVO_BACKGROUND_GEOMETRY_PARAMETERS);

class BackgroundGeometry final
    : public ShaderClass<BackgroundGeometry, MaterialShader, BackgroundGeometryParameters> {
 public:
  static constexpr const char* kClassName = "BackgroundGeometry";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(BackgroundGeometry)

}  // namespace pvx

// quarra_Mtl_Unlit: A flat colour seen by camera rays only; invisible to every other ray.
// Parameter block and shading entries are not built yet: the class declares only its capability
// mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_UNLIT_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(UnlitParameters, TARVO_UNLIT_PARAMETERS);

class quarra_Mtl_Unlit final
    : public ShaderClass<quarra_Mtl_Unlit, MaterialShader, UnlitParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_Unlit";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(quarra_Mtl_Unlit)

}  // namespace pvx

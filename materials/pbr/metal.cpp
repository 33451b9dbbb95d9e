// quarra_Mtl_Metal: Metal with flecks, patina and cut-out patterns.
// Parameter block and shading entries are not built yet: the class declares only its capability
// mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_METAL_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(MetalParameters, TARVO_METAL_PARAMETERS);

class quarra_Mtl_Metal final
    : public ShaderClass<quarra_Mtl_Metal, MaterialShader, MetalParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_Metal";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(quarra_Mtl_Metal)

}  // namespace pvx

// quarra_Mtl_MetallicPaint: Layered car paint with base, flecks, pearl and topcoat.
// Parameter block and shading entries are not built yet: the class declares only its capability
// mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_METALLIC_PAINT_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(MetallicPaintParameters, TARVO_METALLIC_PAINT_PARAMETERS);

class quarra_Mtl_MetallicPaint final
    : public ShaderClass<quarra_Mtl_MetallicPaint, MaterialShader, MetallicPaintParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_MetallicPaint";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(quarra_Mtl_MetallicPaint)

}  // namespace pvx

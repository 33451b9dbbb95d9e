// quarra_Mtl_NormalsOnly: Colours a surface by which side faces the viewer, scaled by the view
// cosine. Parameter block and shading entries are not built yet: the class declares only its
// capability mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_NORMALS_ONLY_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(NormalsOnlyParameters, TARVO_NORMALS_ONLY_PARAMETERS);

class quarra_Mtl_NormalsOnly final
    : public ShaderClass<quarra_Mtl_NormalsOnly, MaterialShader, NormalsOnlyParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_NormalsOnly";
  void shade(IHostContext*, ShadingState*) const override {}
};

TARVO_SHADER_FACTORY(quarra_Mtl_NormalsOnly)

}  // namespace pvx

// The nine generated Ward classes whose inputs are driven by procedural texture networks.
// Parameter blocks and shading entries are not built yet: each class declares only its
// capability mask and keeps the default entry points.
#include "frame/shader_class.h"

namespace pvx {

#define TARVO_WARD_NETWORK_PARAMETERS(PARAM, VARYING)
TARVO_PARAMETER_BLOCK(WardNetworkParameters, TARVO_WARD_NETWORK_PARAMETERS);

#define TARVO_WARD_NETWORK_CLASS(Hash)                                                      \
  class quarra_Mtl_Ward_##Hash final                                                        \
      : public ShaderClass<quarra_Mtl_Ward_##Hash, MaterialShader, WardNetworkParameters> { \
   public:                                                                                  \
    static constexpr const char* kClassName = "quarra_Mtl_Ward_" #Hash;                     \
    void shade(IHostContext*, ShadingState*) const override {}                              \
  };                                                                                        \
  TARVO_SHADER_FACTORY(quarra_Mtl_Ward_##Hash)

TARVO_WARD_NETWORK_CLASS(120b7820)
TARVO_WARD_NETWORK_CLASS(33632204)
TARVO_WARD_NETWORK_CLASS(5592d496)
TARVO_WARD_NETWORK_CLASS(5ba0bfff)
TARVO_WARD_NETWORK_CLASS(82261344)
TARVO_WARD_NETWORK_CLASS(aa598cb4)
TARVO_WARD_NETWORK_CLASS(b9aac246)
TARVO_WARD_NETWORK_CLASS(ccb3a2e6)
TARVO_WARD_NETWORK_CLASS(f05db29e)

}  // namespace pvx

// The library's only exports: `<Class>_create` and `<Class>_getAPIVersion` for every class of
// the catalogue, generated from the catalogue table. Plain C functions, undecorated names.
#include "frame/shader_class.h"

namespace pvx {
#define TARVO_DECLARE_FACTORY(Class, Kind, Mask) IShaderBase* create_##Class() noexcept;
TARVO_CATALOGUE(TARVO_DECLARE_FACTORY)
#undef TARVO_DECLARE_FACTORY
}  // namespace pvx

#define TARVO_DEFINE_EXPORTS(Class, Kind, Mask)                \
  extern "C" TARVO_EXPORT pvx::IShaderBase* Class##_create() { \
    return pvx::create_##Class();                              \
  }                                                            \
  extern "C" TARVO_EXPORT uint32_t Class##_getAPIVersion() {   \
    return pvx::kApiVersion;                                   \
  }

TARVO_CATALOGUE(TARVO_DEFINE_EXPORTS)
#undef TARVO_DEFINE_EXPORTS

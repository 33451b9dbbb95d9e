// The shader catalogue: the 27 classes this library exports, each reached through two plain C
// functions named after the class, `<Class>_create` and `<Class>_getAPIVersion`. The list below
// is the one table the library generates its exports from; hosts may use it to enumerate the
// classes. Columns: class name, kind, capability mask (the value the class passes to `begin`).
#ifndef TARVO_CATALOGUE_H
#define TARVO_CATALOGUE_H

#include <cstdint>
#include <string_view>

#include "tarvo/shader.h"

#define TARVO_CATALOGUE(X)                       \
  X(BackgroundGeometry, kKindMaterial, 11)       \
  X(VesmarLegacy, kKindMaterial, 15)             \
  X(XRite, kKindMaterial, 3)                     \
  X(qvPointLight, kKindLight, 32)                \
  X(qvSpotLight, kKindLight, 32)                 \
  X(quarra_Env_Backplate, kKindEnvironment, 64)  \
  X(quarra_Env_Default, kKindEnvironment, 64)    \
  X(quarra_Mtl_AmbientOnly, kKindMaterial, 1)    \
  X(quarra_Mtl_Dielectric, kKindMaterial, 15)    \
  X(quarra_Mtl_Glazing, kKindMaterial, 15)       \
  X(quarra_Mtl_Metal, kKindMaterial, 15)         \
  X(quarra_Mtl_MetallicPaint, kKindMaterial, 13) \
  X(quarra_Mtl_Mirror, kKindMaterial, 13)        \
  X(quarra_Mtl_NormalsOnly, kKindMaterial, 1)    \
  X(quarra_Mtl_ShadowPlane, kKindMaterial, 11)   \
  X(quarra_Mtl_Solid, kKindMaterial, 1)          \
  X(quarra_Mtl_Unlit, kKindMaterial, 3)          \
  X(quarra_Mtl_Ward, kKindMaterial, 15)          \
  X(quarra_Mtl_Ward_120b7820, kKindMaterial, 15) \
  X(quarra_Mtl_Ward_33632204, kKindMaterial, 15) \
  X(quarra_Mtl_Ward_5592d496, kKindMaterial, 15) \
  X(quarra_Mtl_Ward_5ba0bfff, kKindMaterial, 15) \
  X(quarra_Mtl_Ward_82261344, kKindMaterial, 15) \
  X(quarra_Mtl_Ward_aa598cb4, kKindMaterial, 15) \
  X(quarra_Mtl_Ward_b9aac246, kKindMaterial, 15) \
  X(quarra_Mtl_Ward_ccb3a2e6, kKindMaterial, 15) \
  X(quarra_Mtl_Ward_f05db29e, kKindMaterial, 15)

namespace pvx {

// Interface revision of the shader interfaces, the host services and the shading state.
constexpr uint32_t kApiVersion = 2724;

using CreateFunction = IShaderBase* (*)();
using GetApiVersionFunction = uint32_t (*)();

struct CatalogueEntry {
  const char* className;
  ShaderKind kind;
  int32_t capabilityMask;
};

#define TARVO_CATALOGUE_ENTRY(Class, Kind, Mask) CatalogueEntry{#Class, Kind, Mask},
inline constexpr CatalogueEntry kCatalogue[] = {TARVO_CATALOGUE(TARVO_CATALOGUE_ENTRY)};
#undef TARVO_CATALOGUE_ENTRY

constexpr int kCatalogueSize = static_cast<int>(sizeof(kCatalogue) / sizeof(kCatalogue[0]));
static_assert(kCatalogueSize == 27);

// Position of a class in the catalogue, or -1.
constexpr int findCatalogueIndex(std::string_view className) {
  for (int i = 0; i < kCatalogueSize; ++i) {
    if (className == kCatalogue[i].className) return i;
  }
  return -1;
}

// The catalogue entry of a class name, or null.
inline const CatalogueEntry* findCatalogueEntry(std::string_view className) {
  const int index = findCatalogueIndex(className);
  return index < 0 ? nullptr : &kCatalogue[index];
}

}  // namespace pvx

#endif  // TARVO_CATALOGUE_H

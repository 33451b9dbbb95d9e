// What each catalogue class declares when it is complete: its parameter and varying counts.
// A class whose parameter block is not built yet declares no parameters.
#ifndef TARVO_TESTS_CATALOGUE_EXPECTATIONS_H
#define TARVO_TESTS_CATALOGUE_EXPECTATIONS_H

#include <string_view>

namespace tarvo::test {

struct ClassExpectation {
  std::string_view className;
  int parameters;
  int varyings;
};

inline constexpr ClassExpectation kClassExpectations[] = {
    {"BackgroundGeometry", 50, 3},
    {"VesmarLegacy", 118, 5},
    {"XRite", 33, 3},
    {"qvPointLight", 4, 0},
    {"qvSpotLight", 6, 0},
    {"quarra_Env_Backplate", 19, 0},
    {"quarra_Env_Default", 10, 0},
    {"quarra_Mtl_AmbientOnly", 15, 2},
    {"quarra_Mtl_Dielectric", 48, 5},
    {"quarra_Mtl_Glazing", 29, 5},
    {"quarra_Mtl_Metal", 94, 5},
    {"quarra_Mtl_MetallicPaint", 45, 5},
    {"quarra_Mtl_Mirror", 21, 3},
    {"quarra_Mtl_NormalsOnly", 3, 0},
    {"quarra_Mtl_ShadowPlane", 4, 0},
    {"quarra_Mtl_Solid", 3, 0},
    {"quarra_Mtl_Unlit", 1, 0},
    {"quarra_Mtl_Ward", 112, 5},
    {"quarra_Mtl_Ward_120b7820", 115, 5},
    {"quarra_Mtl_Ward_33632204", 180, 5},
    {"quarra_Mtl_Ward_5592d496", 125, 5},
    {"quarra_Mtl_Ward_5ba0bfff", 115, 5},
    {"quarra_Mtl_Ward_82261344", 125, 5},
    {"quarra_Mtl_Ward_aa598cb4", 136, 5},
    {"quarra_Mtl_Ward_b9aac246", 177, 5},
    {"quarra_Mtl_Ward_ccb3a2e6", 121, 5},
    {"quarra_Mtl_Ward_f05db29e", 140, 5},
};

}  // namespace tarvo::test

#endif  // TARVO_TESTS_CATALOGUE_EXPECTATIONS_H

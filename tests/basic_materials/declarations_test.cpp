// The five basic materials declare their parameters and varyings in their fixed order, with their
// types, defaults and capability masks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using host::ParamType;

std::vector<ClassDeclarations> expectedClasses() {
  const std::vector<Declaration> aoMasking = aoMaskingDeclarations();
  return {
      {"quarra_Mtl_Unlit", 3, {{"diffuseColor", ParamType::Color, {1, 1, 0}}}},
      {"quarra_Mtl_Solid",
       1,
       {{"reverseNormal", ParamType::Bool, {0}},
        {"faceForward", ParamType::Bool, {0}},
        {"patchState", ParamType::Int, {0}}}},
      {"quarra_Mtl_NormalsOnly",
       1,
       {{"reverseNormal", ParamType::Bool, {0}},
        {"faceForward", ParamType::Bool, {0}},
        {"faceLight", ParamType::Bool, {0}}}},
      {"quarra_Mtl_AmbientOnly", 1, aoMasking},
      {"quarra_Mtl_ShadowPlane",
       11,
       {{"shadowColor", ParamType::Color, {0, 0, 0}},
        {"shadowIntensity", ParamType::Float, {0.7f}},
        {"receiveShadow", ParamType::Float, {1}},
        {"draw_mere_shadow", ParamType::Bool, {0}}}},
  };
}

TEST(BasicMaterials, DeclareTheirParametersInOrderWithTypesAndDefaults) {
  for (const ClassDeclarations& expected : expectedClasses()) {
    SCOPED_TRACE(expected.className);
    expectDeclarations(expected);
  }
}

}  // namespace
}  // namespace tarvo::test

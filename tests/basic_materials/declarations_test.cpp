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
  const std::vector<Declaration> aoMasking = {
      {"ambientOcclusionTexture", ParamType::Texture2D, {}},
      {"ambientOcclusionMode", ParamType::Int, {0}},
      {"ambientOcclusionFactor", ParamType::Float, {1}},
      {"ambientOcclusionColor", ParamType::Color, {0, 0, 0}},
      {"usePrecalcAO", ParamType::Bool, {1}},
      {"showAmbientOnly", ParamType::Bool, {0}},
      {"usingRaytracedAO", ParamType::Bool, {0}},
      {"uv1", ParamType::Bool, {0}, pvx::kVaryingFloat2},
      {"vtxcolor", ParamType::Bool, {8}, pvx::kVaryingColor4},
      {"maskingColor", ParamType::Color, {0, 0, 0}},
      {"maskingMode", ParamType::Int, {0}},
      {"maskingTexture", ParamType::Texture2D, {}},
      {"maskingTextureMatrix", ParamType::Mat4, kIdentity4},
      {"maskingInvertTexture", ParamType::Bool, {0}},
      {"maskingAngularRepeat", ParamType::Float, {1}},
      {"maskingUVMatrix", ParamType::Mat3, kIdentity3},
      {"maskingFromAlpha", ParamType::Bool, {0}},
  };
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

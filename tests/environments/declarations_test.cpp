// The two environments declare their parameters in their fixed order with their types and
// defaults; the matrices and the backplate mode that the host binds start as identity and 0.
#include <gtest/gtest.h>

#include <vector>

#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using host::ParamType;

TEST(Environments, DeclareTheirParametersInOrderWithTypesAndDefaults) {
  const std::vector<double> luminanceWeights = {0.2125f, 0.7154f, 0.0721f};
  const ClassDeclarations classes[] = {
      {"quarra_Env_Default",
       pvx::kCapEnvironment,
       {{"IBLLuminanceFactors", ParamType::Color, luminanceWeights},
        {"globalIBLMatrix", ParamType::Mat3, kIdentity3},
        {"reflectIBLContrast", ParamType::Float2, {0.5f, 1}},
        {"reflectIBLGainMode", ParamType::Int, {0}},
        {"reflectIBLGain", ParamType::Color, {1, 1, 1}},
        {"reflectIBLSaturation", ParamType::Float, {1}},
        {"backgroundColor", ParamType::Color, {0, 0.5f, 0.7f}},
        {"reflectionLatlong", ParamType::Texture2D, {}},
        {"u_hasLightRepresentation", ParamType::Bool, {0}},
        {"useBackgroundGeometry", ParamType::Bool, {0}}}},
      {"quarra_Env_Backplate",
       pvx::kCapEnvironment,
       {{"IBLLuminanceFactors", ParamType::Color, luminanceWeights},
        {"globalIBLMatrix", ParamType::Mat3, kIdentity3},
        {"globalIBLGainValue", ParamType::Float, {1}},
        {"backgroundColor", ParamType::Color, {0, 0.5f, 0.7f}},
        {"environmentSourceImage", ParamType::Texture2D, {}},
        {"backgroundMode", ParamType::Int, {0}},
        {"custom2DBackground", ParamType::Texture2D, {}},
        {"customCubeBackground", ParamType::TextureCube, {}},
        {"backplateCloseUp", ParamType::Float, {1}},
        {"backplateHorizon", ParamType::Float, {0}},
        {"camerawindowsize", ParamType::Float2, {1, 1}},
        {"backplatetransform", ParamType::Mat4, kIdentity4},
        {"backplateCubeRotation", ParamType::Mat3, kIdentity3},
        {"backplateGainValue", ParamType::Float, {1}},
        {"uv_scale", ParamType::Float2, {1, 1}},
        {"uv_offset", ParamType::Float2, {0, 0}},
        {"render_size", ParamType::Float2, {-1, -1}},
        {"viewport_size", ParamType::Float2, {-1, -1}},
        {"u_hasLightRepresentation", ParamType::Bool, {0}}}},
  };
  for (const ClassDeclarations& expected : classes) {
    SCOPED_TRACE(expected.className);
    expectDeclarations(expected);
  }
}

}  // namespace
}  // namespace tarvo::test

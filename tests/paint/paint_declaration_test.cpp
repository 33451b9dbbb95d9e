// quarra_Mtl_MetallicPaint declares its parameter block in order with the defaults of its
// description; the fleck size, which the host always binds, starts at this library's 0.02.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using host::ParamType;

TEST(PaintDeclaration, ParametersAndVaryingsInOrderWithDefaults) {
  expectDeclarations({"quarra_Mtl_MetallicPaint",
                      pvx::kCapShade | pvx::kCapEvaluate | pvx::kCapScatter,
                      withAoMasking({
                          {"CaldrinAODisable", ParamType::Bool, {0}},
                          {"bitangent", ParamType::Float2, {24}, pvx::kVaryingFloat3},
                          {"tangent", ParamType::Float2, {36}, pvx::kVaryingFloat3},
                          {"uv", ParamType::Float2, {48}, pvx::kVaryingFloat2},
                          {"u_globalClippingMap", ParamType::Texture1D, {}},
                          {"u_globalClippingMapEnable", ParamType::Bool, {0}},
                          {"u_topcoatEnable", ParamType::Bool, {0}},
                          {"u_pearl", ParamType::Int, {0}},
                          {"u_pearlColor", ParamType::ColorAlpha, {0.8f, 0.12f, 0, 0}},
                          {"u_pearlIor", ParamType::Float, {0.2f}},
                          {"u_pearlAmount", ParamType::Float, {0.5f}},
                          {"u_finish", ParamType::Int, {0}},
                          {"u_finishPeelamount", ParamType::Float, {0.5f}},
                          {"u_baseHighlightSpread", ParamType::Float, {0.6f}},
                          {"u_flecksEnable", ParamType::Bool, {0}},
                          {"u_flecksColor", ParamType::ColorAlpha, {1, 1, 1, 1}},
                          {"u_baseMapEnable", ParamType::Bool, {0}},
                          {"u_baseMap", ParamType::Texture2D, {}},
                          {"u_baseColor", ParamType::ColorAlpha, {1, 1, 1, 1}},
                          {"u_baseTransform", ParamType::Mat3, kIdentity3},
                          {"u_shiftedColor", ParamType::Color, {0, 0, 0}},
                          {"u_hueWeight", ParamType::Float, {0}},
                          {"u_baseBiasFactor", ParamType::Float, {0}},
                          {"u_baseRoughValue", ParamType::Float, {0.01f}},
                          {"u_topcoatRoughValue", ParamType::Float, {0.01f}},
                          {"u_baseCurvePower", ParamType::Float, {0}},
                          {"u_base00Reflectivity", ParamType::Float, {0.1f}},
                          {"u_base90Reflectivity", ParamType::Float, {1}},
                          {"u_flecksSize", ParamType::Float, {0.02f}},
                          {"u_commonTintEnable", ParamType::Bool, {0}},
                          {"u_commonTintColor", ParamType::ColorAlpha, {1, 1, 1, 1}},
                          {"reverseNormal", ParamType::Bool, {0}},
                          {"faceForward", ParamType::Bool, {0}},
                      })});
}

}  // namespace
}  // namespace tarvo::test

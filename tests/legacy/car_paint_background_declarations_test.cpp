// The measured car paint and the background geometry declare their parameters and varyings in
// their fixed order with their types and defaults (the matrices the host binds start as
// identity, a colour construction leaves to the host as black).
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using host::ParamType;

TEST(XRiteDeclaration, ParametersAndVaryingsInterleavedInOrderWithDefaults) {
  expectDeclarations({"XRite", pvx::kCapShade | pvx::kCapShadow,
                      withAoMasking({
                          {"reverseNormal", ParamType::Bool, {0}},
                          {"faceForward", ParamType::Bool, {0}},
                          {"xriteDiffuse", ParamType::Color, {0.0049f, 0.0049f, 0.0045f}},
                          {"flakeColor", ParamType::Color, {0.104f, 0.106f, 0.108f}},
                          {"flakeColor2", ParamType::Color, {0.0953f, 0.0958f, 0.0976f}},
                          {"fresnel", ParamType::ColorAlpha, {0.04f, 0.9f, 2.5f, 1.0f}},
                          {"xriteIsSolid", ParamType::Bool, {0}},
                          {"coarseness", ParamType::Float, {0.656f}},
                          {"specIntensity", ParamType::Float, {1}},
                          {"diffIntensity", ParamType::Float, {1}},
                          {"contributionFactor", ParamType::Float, {0.75f}},
                          {"maxFlakes", ParamType::Float, {7}},
                          {"flakeFactor", ParamType::Float, {4}},
                          {"flakeSize", ParamType::Float, {0.001953125f}},
                          {"flakeNormalTexture", ParamType::Texture2D, {}},
                          {"diffuseCube", ParamType::TextureCube, {}},
                          {"specularCube", ParamType::TextureCube, {}},
                          {"reflectCube", ParamType::TextureCube, {}},
                          {"uv", ParamType::Bool, {24}, 1},
                      })});
}

TEST(BackgroundGeometryDeclaration, ParametersThenVaryingsInOrderWithDefaults) {
  expectDeclarations({"BackgroundGeometry",
                      pvx::kCapShade | pvx::kCapShadow | pvx::kCapScatter,
                      {
                          {"diffuseColor", ParamType::Color, {1, 1, 1}},
                          {"diffuseTexture", ParamType::Texture2D, {}},
                          {"diffuseMode", ParamType::Int, {0}},
                          {"diffuseTextureMatrix", ParamType::Mat4, kIdentity4},
                          {"diffuseAngularRepeat", ParamType::Float, {1}},
                          {"diffuseUVMatrix", ParamType::Mat3, kIdentity3},
                          {"diffuseIBLGainColor", ParamType::Color, {1, 1, 1}},
                          {"diffuseIBLContrastPivot", ParamType::Color, {1, 1, 1}},
                          {"diffuseIBLContrastValue", ParamType::Float, {1}},
                          {"diffuseIBLGainSource", ParamType::Int, {0}},
                          {"specularColor", ParamType::Color, {0, 0, 0}},
                          {"specularTexture", ParamType::Texture2D, {}},
                          {"specularMode", ParamType::Int, {0}},
                          {"specularTextureMatrix", ParamType::Mat4, kIdentity4},
                          {"specularAngularRepeat", ParamType::Float, {1}},
                          {"specularUVMatrix", ParamType::Mat3, kIdentity3},
                          {"specularIBLGainColor", ParamType::Color, {1, 1, 1}},
                          {"specularIBLContrastPivot", ParamType::Color, {1, 1, 1}},
                          {"specularIBLContrastValue", ParamType::Float, {1}},
                          {"specularIBLGainSource", ParamType::Int, {0}},
                          {"bumpMode", ParamType::Int, {-1}},
                          {"bumpTexture", ParamType::Texture2D, {}},
                          {"bumpTextureMatrix", ParamType::Mat4, kIdentity4},
                          {"bumpTextureMatrixInverse", ParamType::Mat4, kIdentity4},
                          {"bumpAngularRepeat", ParamType::Float, {1}},
                          {"bumpScale", ParamType::Float, {1}},
                          {"bumpUVMatrix", ParamType::Mat3, kIdentity3},
                          {"shadowColor", ParamType::Color, {0, 0, 0}},
                          {"shadowIntensity", ParamType::Float, {1}},
                          {"receiveShadow", ParamType::Float, {1}},
                          {"draw_mere_shadow", ParamType::Bool, {0}},
                          {"useOverriddenReflection", ParamType::Bool, {1}},
                          {"reflectLatlong", ParamType::Texture2D, {}},
                          {"diffuseTextureGainColor", ParamType::Color, {1, 1, 1}},
                          {"diffuseTextureGainSource", ParamType::Int, {0}},
                          {"diffuseTextureGainValue", ParamType::Float, {1}},
                          {"diffuseTextureSatValue", ParamType::Float, {1}},
                          {"globalIBLContrastPivot", ParamType::Color, {1, 1, 1}},
                          {"globalIBLContrastValue", ParamType::Float, {1}},
                          {"globalIBLGainColor", ParamType::Color, {1, 1, 1}},
                          {"globalIBLSatValue", ParamType::Float, {1}},
                          {"globalIBLGainSource", ParamType::Int, {0}},
                          {"globalIBLGainValue", ParamType::Float, {1}},
                          {"globalIBLMatrix", ParamType::Mat3, kIdentity3},
                          {"reflectIBLChannelGainColor", ParamType::Color, {1, 1, 1}},
                          {"reflectIBLChannelGainSource", ParamType::Int, {0}},
                          {"reflectIBLChannelGainValue", ParamType::Float, {1}},
                          {"reflectIBLChannelSatValue", ParamType::Float, {1}},
                          {"diffuseIBLGainValue", ParamType::Float, {1}},
                          {"specularIBLGainValue", ParamType::Float, {1}},
                          {"uv", ParamType::Bool, {0}, 1},
                          {"tangent", ParamType::Bool, {8}, 2},
                          {"bitangent", ParamType::Bool, {20}, 2},
                      }});
}

}  // namespace
}  // namespace tarvo::test

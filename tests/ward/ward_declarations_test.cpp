// What quarra_Mtl_Ward and its nine network variants declare, in order, with types and defaults.
// A variant declares its varyings first, `CaldrinAODisable`, the Ward surface group, the
// network's nodes in their order, then the ambient-occlusion and masking group; no clipping,
// decal or tint. The node lists are written out here, not taken from the classes' descriptions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using host::ParamType;

// The Ward surface group, from `u_procedureMapEnable` to `u_reflectionHighlightOnly`.
std::vector<Declaration> wardSurface() {
  return {
      {"u_procedureMapEnable", ParamType::Int, {0}},
      {"u_procedureMapTiling", ParamType::Color, {1, 1, 1}},
      {"u_procedureMapAmount", ParamType::Float, {0}},
      {"u_smokeMap", ParamType::Texture1D, {}},
      {"u_normal0MapEnable", ParamType::Bool, {0}},
      {"u_normal0Map", ParamType::Texture2D, {}},
      {"u_normal0AmountMapEnable", ParamType::Bool, {0}},
      {"u_normal0AmountMap", ParamType::Texture2D, {}},
      {"u_normal0AmountTransform", ParamType::Mat3, kIdentity3},
      {"u_normal0Amount", ParamType::Float, {0}},
      {"u_normal0Transform", ParamType::Mat3, kIdentity3},
      {"u_normal1MapEnable", ParamType::Bool, {0}},
      {"u_normal1Map", ParamType::Texture2D, {}},
      {"u_normal1Amount", ParamType::Float, {0}},
      {"u_normal1Transform", ParamType::Mat3, kIdentity3},
      {"u_normal1AsShadingNormal", ParamType::Bool, {0}},
      {"u_diffuseMapEnable", ParamType::Bool, {0}},
      {"u_diffuseMap", ParamType::Texture2D, {}},
      {"u_diffuseColor", ParamType::Color, {0, 0, 0}},
      {"u_diffuseTransform", ParamType::Mat3, kIdentity3},
      {"u_diffuseAmount", ParamType::Float, {1}},
      {"u_imageFadeEnable", ParamType::Int, {0}},
      {"u_imageFade", ParamType::Float, {1}},
      {"u_imageFadeMap", ParamType::Texture2D, {}},
      {"u_imageFadeTransform", ParamType::Mat3, kIdentity3},
      {"u_imageFadeAmount", ParamType::Float, {1}},
      {"u_imageFadeColor", ParamType::Color, {0, 0, 0}},
      {"u_specularMapEnable", ParamType::Bool, {0}},
      {"u_specularMap", ParamType::Texture2D, {}},
      {"u_specularColor", ParamType::Color, {1, 1, 1}},
      {"u_specularTransform", ParamType::Mat3, kIdentity3},
      {"u_specularAmount", ParamType::Float, {1}},
      {"u_roughMapEnable", ParamType::Bool, {0}},
      {"u_roughMap", ParamType::Texture2D, {}},
      {"u_roughValue", ParamType::Float, {0.01f}},
      {"u_roughTransform", ParamType::Mat3, kIdentity3},
      {"u_roughAmount", ParamType::Float, {1}},
      {"u_reflectGlossyValue", ParamType::Float, {0}},
      {"u_refractGlossyMapEnable", ParamType::Bool, {0}},
      {"u_refractGlossyMap", ParamType::Texture2D, {}},
      {"u_refractGlossyTransform", ParamType::Mat3, kIdentity3},
      {"u_refractGlossyAmount", ParamType::Float, {1}},
      {"u_refractGlossyValue", ParamType::Float, {0}},
      {"u_anisotropyMapEnable", ParamType::Bool, {0}},
      {"u_anisotropyMap", ParamType::Texture2D, {}},
      {"u_anisotropyValue", ParamType::Float, {1}},
      {"u_anisotropyTransform", ParamType::Mat3, kIdentity3},
      {"u_anisotropyAmount", ParamType::Float, {1}},
      {"u_anisoRotationMapEnable", ParamType::Bool, {0}},
      {"u_anisoRotationMap", ParamType::Texture2D, {}},
      {"u_anisoRotationValue", ParamType::Float, {0}},
      {"u_anisoRotationTransform", ParamType::Mat3, kIdentity3},
      {"u_anisoRotationAmount", ParamType::Float, {1}},
      {"u_brdfCurvePower", ParamType::Float, {0}},
      {"u_brdf00ReflectMapEnable", ParamType::Bool, {0}},
      {"u_brdf00ReflectMap", ParamType::Texture2D, {}},
      {"u_brdf00ReflectTransform", ParamType::Mat3, kIdentity3},
      {"u_brdf00ReflectAmount", ParamType::Float, {1}},
      {"u_brdf00Reflectivity", ParamType::Float, {0.1f}},
      {"u_brdf90ReflectMapEnable", ParamType::Bool, {0}},
      {"u_brdf90ReflectMap", ParamType::Texture2D, {}},
      {"u_brdf90ReflectTransform", ParamType::Mat3, kIdentity3},
      {"u_brdf90Reflectivity", ParamType::Float, {1}},
      {"u_brdf90ReflectAmount", ParamType::Float, {1}},
      {"u_reflectivity", ParamType::Float, {1}},
      {"u_isMetal", ParamType::Bool, {0}},
      {"u_transparency", ParamType::Bool, {0}},
      {"u_transparencyMapEnable", ParamType::Bool, {0}},
      {"u_transparencyMap", ParamType::Texture2D, {}},
      {"u_transparencyValue", ParamType::Float, {0}},
      {"u_transparencyTransform", ParamType::Mat3, kIdentity3},
      {"u_transparencyFade", ParamType::Float, {0}},
      {"u_ior", ParamType::Float, {1.33f}},
      {"u_transparencyAmount", ParamType::Float, {1}},
      {"u_translucencyMapEnable", ParamType::Bool, {0}},
      {"u_translucencyMap", ParamType::Texture2D, {}},
      {"u_translucencyValue", ParamType::Float, {0}},
      {"u_translucencyTransform", ParamType::Mat3, kIdentity3},
      {"u_translucencyAmount", ParamType::Float, {1}},
      {"u_cutoutMapEnable", ParamType::Bool, {0}},
      {"u_cutoutMap", ParamType::Texture2D, {}},
      {"u_cutoutTransform", ParamType::Mat3, kIdentity3},
      {"u_cutoutAmount", ParamType::Float, {1}},
      {"u_additionalMapEnable", ParamType::Bool, {0}},
      {"u_additionalMap", ParamType::Texture2D, {}},
      {"u_additionalColor", ParamType::Color, {0, 0, 0}},
      {"u_additionalMapTransform", ParamType::Mat3, kIdentity3},
      {"u_additionalAmount", ParamType::Float, {1}},
      {"u_cosineUsesBump", ParamType::Bool, {0}},
      {"u_reflectionHighlightOnly", ParamType::Bool, {0}},
  };
}

TEST(WardDeclaration, ParametersAndVaryingsInOrderWithDefaults) {
  std::vector<Declaration> own = {varying("bitangent", pvx::kVaryingFloat3, 24),
                                  varying("tangent", pvx::kVaryingFloat3, 36),
                                  varying("uv", pvx::kVaryingFloat2, 48),
                                  {"CaldrinAODisable", ParamType::Bool, {0}},
                                  {"u_globalClippingMap", ParamType::Texture1D, {}},
                                  {"u_globalClippingMapEnable", ParamType::Bool, {0}}};
  for (const Declaration& d : wardSurface())
    own.push_back(d);
  own.insert(own.end(), {{"u_isDecal", ParamType::Bool, {0}},
                         {"u_decalTransform", ParamType::Mat4, kIdentity4},
                         {"u_commonTintEnable", ParamType::Bool, {0}},
                         {"u_commonTintColor", ParamType::ColorAlpha, {1, 1, 1, 1}}});
  expectDeclarations({"quarra_Mtl_Ward", 15, withAoMasking(own)});
}

// Node kinds: a bitmap, a noise with constant colours, a noise driven by two child nodes (its
// colours are not declared), a tile (always driven). Defaults are the Ward tests' business.
enum Kind { Bitmap, Noise, DrivenNoise, Tile };

struct Node {
  std::string path;
  Kind kind;
};

struct Variant {
  const char* className;
  std::vector<Node> nodes;
};

std::vector<Declaration> nodeDeclarations(const Node& n) {
  using P = ParamType;
  const std::vector<std::pair<const char*, ParamType>> bitmap = {
      {"xform", P::Mat4}, {"texture", P::Texture2D}, {"amount", P::Float}, {"isCube", P::Bool}};
  const std::vector<std::pair<const char*, ParamType>> noise = {
      {"xform", P::Mat4},          {"type", P::Int},     {"color1", P::ColorAlpha},
      {"color2", P::ColorAlpha},   {"size", P::Float},   {"thresholdLow", P::Float},
      {"thresholdHigh", P::Float}, {"levels", P::Float}, {"phase", P::Float}};
  const std::vector<std::pair<const char*, ParamType>> tile = {
      {"xform", P::Mat4},          {"verticalCount", P::Float}, {"horizontalCount", P::Float},
      {"colorVariance", P::Float}, {"fadeVariance", P::Float},  {"horizontalGap", P::Float},
      {"verticalGap", P::Float},   {"edgeRoughness", P::Float}, {"randomSeed", P::Int},
      {"lineShift", P::Float},     {"randomShift", P::Float},   {"changeRow", P::Float},
      {"perRow", P::Int},          {"useColumnEdit", P::Bool},  {"useRowEdit", P::Bool},
      {"changeColumn", P::Float},  {"perColumn", P::Int},       {"holes", P::Int},
      {"brickHeight", P::Float},   {"brickWidth", P::Float},    {"repeatX", P::Bool},
      {"repeatY", P::Bool}};
  std::vector<Declaration> declarations;
  for (const auto& [name, type] : n.kind == Bitmap ? bitmap : n.kind == Tile ? tile : noise) {
    if (type != P::ColorAlpha || n.kind != DrivenNoise) {
      declarations.push_back({"_ward_" + n.path + "_" + name, type, {}});
    }
  }
  return declarations;
}

// A noise between two noises, each between two bitmaps: the bitmaps, then the noises.
std::vector<Node> nestedNoise(const std::string& input) {
  const std::string n = input + "_Noise";
  return {{n + "_color1_Noise_color1_UnifiedBitmap", Bitmap},
          {n + "_color1_Noise_color2_UnifiedBitmap", Bitmap},
          {n + "_color2_Noise_color1_UnifiedBitmap", Bitmap},
          {n + "_color2_Noise_color2_UnifiedBitmap", Bitmap},
          {n, DrivenNoise},
          {n + "_color1_Noise", DrivenNoise},
          {n + "_color2_Noise", DrivenNoise}};
}

std::vector<Node> joined(std::vector<Node> a, const std::vector<Node>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<Variant>& variants() {
  const std::string d = "diffuse_color_Noise";
  static const std::vector<Variant> table = {
      {"quarra_Mtl_Ward_5ba0bfff", {{"normal0_map_Noise", Noise}}},
      {"quarra_Mtl_Ward_120b7820", {{"diffuse_color_Noise", Noise}}},
      {"quarra_Mtl_Ward_5592d496",
       {{"normal0_map_UnifiedBitmap", Bitmap},
        {d + "_color1_UnifiedBitmap", Bitmap},
        {d + "_color2_UnifiedBitmap", Bitmap},
        {d, DrivenNoise}}},
      {"quarra_Mtl_Ward_33632204",
       joined(nestedNoise("normal0_map"), nestedNoise("diffuse_color"))},
      {"quarra_Mtl_Ward_82261344",
       {{"cutout_map_UnifiedBitmap", Bitmap},
        {d, DrivenNoise},
        {d + "_color1_UnifiedBitmap", Bitmap},
        {d + "_color2_UnifiedBitmap", Bitmap}}},
      {"quarra_Mtl_Ward_aa598cb4",
       {{"normal0_map_Noise_color1_UnifiedBitmap", Bitmap},
        {"normal0_map_Noise_color2_UnifiedBitmap", Bitmap},
        {"normal0_map_Noise", DrivenNoise},
        {d + "_color1_UnifiedBitmap", Bitmap},
        {d + "_color2_UnifiedBitmap", Bitmap},
        {d, DrivenNoise}}},
      {"quarra_Mtl_Ward_b9aac246",
       {{"normal0_map_UnifiedBitmap", Bitmap},
        {d + "_color1_Tile_brickColor_UnifiedBitmap", Bitmap},
        {d + "_color1_Tile_mortarColor_UnifiedBitmap", Bitmap},
        {d + "_color2_Tile_brickColor_UnifiedBitmap", Bitmap},
        {d + "_color2_Tile_mortarColor_UnifiedBitmap", Bitmap},
        {d, DrivenNoise},
        {d + "_color1_Tile", Tile},
        {d + "_color2_Tile", Tile}}},
      {"quarra_Mtl_Ward_ccb3a2e6",
       {{d, DrivenNoise},
        {d + "_color1_UnifiedBitmap", Bitmap},
        {d + "_color2_UnifiedBitmap", Bitmap}}},
      {"quarra_Mtl_Ward_f05db29e",
       {{"normal0_map_UnifiedBitmap", Bitmap},
        {"diffuse_color_Tile", Tile},
        {"diffuse_color_Tile_brickColor_UnifiedBitmap", Bitmap},
        {"diffuse_color_Tile_mortarColor_UnifiedBitmap", Bitmap}}},
  };
  return table;
}

TEST(WardNetworkVariants, DeclareTheWardGroupsAroundTheirNodesInOrder) {
  for (const Variant& v : variants()) {
    SCOPED_TRACE(v.className);
    std::vector<Declaration> expected = {varying("bitangent", pvx::kVaryingFloat3, 0),
                                         varying("tangent", pvx::kVaryingFloat3, 12),
                                         varying("uv", pvx::kVaryingFloat2, 24),
                                         {"CaldrinAODisable", ParamType::Bool, {0}}};
    const auto add = [&](const std::vector<Declaration>& more) {
      expected.insert(expected.end(), more.begin(), more.end());
    };
    add(wardSurface());
    for (const Node& n : v.nodes)
      add(nodeDeclarations(n));
    add(aoMaskingDeclarations(32, 40));
    expectDeclarations({v.className, 15, expected});
  }
}

}  // namespace
}  // namespace tarvo::test

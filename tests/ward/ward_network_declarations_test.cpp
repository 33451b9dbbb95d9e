// What the nine Ward network variants declare: the varyings first, `CaldrinAODisable`, the Ward
// surface group as quarra_Mtl_Ward declares it, the network's nodes in their order, then the
// ambient-occlusion and masking group as quarra_Mtl_Ward declares it; no clipping, decal or
// tint. The node lists below are written out here, not taken from the classes' descriptions.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using host::ParamType;

// Node kinds: a bitmap, a noise with constant colours, a noise driven by two child nodes, a
// tile (always driven).
enum Kind { Bitmap, Noise, DrivenNoise, Tile };

struct Node {
  std::string path;
  Kind kind;
};

struct Variant {
  const char* className;
  int declarations;  // after the capability mask, varyings included
  std::vector<Node> nodes;
};

using Parameter = std::pair<std::string, ParamType>;

// Each node kind's parameters in declaration order as name:type (b bool, i int, f float,
// c colour with alpha, m mat4, t texture).
const char* const kBitmapParameters = "xform:m texture:t amount:f isCube:b";
const char* const kNoiseParameters =
    "xform:m type:i color1:c color2:c size:f thresholdLow:f thresholdHigh:f levels:f phase:f";
const char* const kTileParameters =
    "xform:m verticalCount:f horizontalCount:f colorVariance:f fadeVariance:f horizontalGap:f "
    "verticalGap:f edgeRoughness:f randomSeed:i lineShift:f randomShift:f changeRow:f perRow:i "
    "useColumnEdit:b useRowEdit:b changeColumn:f perColumn:i holes:i brickHeight:f brickWidth:f "
    "repeatX:b repeatY:b";

std::vector<Parameter> nodeParameters(const Node& n) {
  const char* list = n.kind == Bitmap ? kBitmapParameters
                     : n.kind == Tile ? kTileParameters
                                      : kNoiseParameters;
  std::vector<Parameter> v;
  std::istringstream words(list);
  std::string word;
  while (words >> word) {
    const std::string name = word.substr(0, word.size() - 2);
    const char type = word.back();
    // A colour driven by a child node is not declared.
    if (type == 'c' && n.kind == DrivenNoise) continue;
    v.push_back({"_ward_" + n.path + "_" + name, type == 'b'   ? ParamType::Bool
                                                 : type == 'i' ? ParamType::Int
                                                 : type == 'f' ? ParamType::Float
                                                 : type == 'c' ? ParamType::ColorAlpha
                                                 : type == 'm' ? ParamType::Mat4
                                                               : ParamType::Texture2D});
  }
  return v;
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
      {"quarra_Mtl_Ward_5ba0bfff", 120, {{"normal0_map_Noise", Noise}}},
      {"quarra_Mtl_Ward_120b7820", 120, {{"diffuse_color_Noise", Noise}}},
      {"quarra_Mtl_Ward_5592d496",
       130,
       {{"normal0_map_UnifiedBitmap", Bitmap},
        {d + "_color1_UnifiedBitmap", Bitmap},
        {d + "_color2_UnifiedBitmap", Bitmap},
        {d, DrivenNoise}}},
      {"quarra_Mtl_Ward_33632204", 185,
       joined(nestedNoise("normal0_map"), nestedNoise("diffuse_color"))},
      {"quarra_Mtl_Ward_82261344",
       130,
       {{"cutout_map_UnifiedBitmap", Bitmap},
        {d, DrivenNoise},
        {d + "_color1_UnifiedBitmap", Bitmap},
        {d + "_color2_UnifiedBitmap", Bitmap}}},
      {"quarra_Mtl_Ward_aa598cb4",
       141,
       {{"normal0_map_Noise_color1_UnifiedBitmap", Bitmap},
        {"normal0_map_Noise_color2_UnifiedBitmap", Bitmap},
        {"normal0_map_Noise", DrivenNoise},
        {d + "_color1_UnifiedBitmap", Bitmap},
        {d + "_color2_UnifiedBitmap", Bitmap},
        {d, DrivenNoise}}},
      {"quarra_Mtl_Ward_b9aac246",
       182,
       {{"normal0_map_UnifiedBitmap", Bitmap},
        {d + "_color1_Tile_brickColor_UnifiedBitmap", Bitmap},
        {d + "_color1_Tile_mortarColor_UnifiedBitmap", Bitmap},
        {d + "_color2_Tile_brickColor_UnifiedBitmap", Bitmap},
        {d + "_color2_Tile_mortarColor_UnifiedBitmap", Bitmap},
        {d, DrivenNoise},
        {d + "_color1_Tile", Tile},
        {d + "_color2_Tile", Tile}}},
      {"quarra_Mtl_Ward_ccb3a2e6",
       126,
       {{d, DrivenNoise},
        {d + "_color1_UnifiedBitmap", Bitmap},
        {d + "_color2_UnifiedBitmap", Bitmap}}},
      {"quarra_Mtl_Ward_f05db29e",
       145,
       {{"normal0_map_UnifiedBitmap", Bitmap},
        {"diffuse_color_Tile", Tile},
        {"diffuse_color_Tile_brickColor_UnifiedBitmap", Bitmap},
        {"diffuse_color_Tile_mortarColor_UnifiedBitmap", Bitmap}}},
  };
  return table;
}

std::vector<Parameter> parametersOf(const host::ParameterTable& table, size_t from, size_t to) {
  std::vector<Parameter> v;
  for (size_t i = from; i < to; ++i)
    v.push_back({table.parameters()[i].name, table.parameters()[i].type});
  return v;
}

size_t indexOf(const host::ParameterTable& table, const std::string& name) {
  for (size_t i = 0; i < table.parameters().size(); ++i) {
    if (table.parameters()[i].name == name) return i;
  }
  return table.parameters().size();
}

TEST(WardNetworkVariants, DeclareTheWardGroupsAroundTheirNodesInOrder) {
  const host::BoundShader ward = makeShader("quarra_Mtl_Ward");
  const host::ParameterTable& w = ward.table();
  // The Ward surface group and, from the start of quarra_Mtl_Ward's list, the AO and masking
  // group (its 15 parameters).
  const std::vector<Parameter> surface = parametersOf(w, indexOf(w, "u_procedureMapEnable"),
                                                      indexOf(w, "u_reflectionHighlightOnly") + 1);
  const std::vector<Parameter> aoMasking = parametersOf(w, 0, 15);
  ASSERT_EQ(surface.size(), 90u);
  ASSERT_EQ(aoMasking.back().first, "maskingFromAlpha");

  for (const Variant& v : variants()) {
    SCOPED_TRACE(v.className);
    const host::BoundShader shader = makeShader(v.className);
    const host::ParameterTable& t = shader.table();
    EXPECT_EQ(t.capabilityMask(), 15);
    EXPECT_EQ(static_cast<int>(t.parameters().size() + t.varyings().size()), v.declarations);

    std::vector<Parameter> expected = {{"CaldrinAODisable", ParamType::Bool}};
    expected.insert(expected.end(), surface.begin(), surface.end());
    for (const Node& n : v.nodes) {
      const std::vector<Parameter> node = nodeParameters(n);
      expected.insert(expected.end(), node.begin(), node.end());
    }
    expected.insert(expected.end(), aoMasking.begin(), aoMasking.end());
    EXPECT_EQ(parametersOf(t, 0, t.parameters().size()), expected);

    // Varyings: (name, offset, parameters declared before it).
    const size_t aoStart = expected.size() - aoMasking.size();
    const std::vector<std::tuple<std::string, int32_t, int>> varyings = {
        {"bitangent", 0, 0},
        {"tangent", 12, 0},
        {"uv", 24, 0},
        {"uv1", 32, static_cast<int>(aoStart) + 7},
        {"vtxcolor", 40, static_cast<int>(aoStart) + 7}};
    ASSERT_EQ(t.varyings().size(), varyings.size());
    for (size_t i = 0; i < varyings.size(); ++i) {
      EXPECT_EQ(t.varyings()[i].name, std::get<0>(varyings[i]));
      EXPECT_EQ(t.varyings()[i].offset, std::get<1>(varyings[i]));
      EXPECT_EQ(t.varyings()[i].position, std::get<2>(varyings[i]));
    }
    for (const char* removed : {"u_globalClippingMap", "u_globalClippingMapEnable", "u_isDecal",
                                "u_decalTransform", "u_commonTintEnable", "u_commonTintColor"}) {
      EXPECT_EQ(t.find(removed), nullptr) << removed;
    }
  }
}

}  // namespace
}  // namespace tarvo::test

// The five basic materials declare their parameters and varyings in their fixed order, with their
// types, defaults and capability masks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using host::ParamType;

struct Declaration {
  const char* name;
  ParamType type;             // ignored for varyings
  std::vector<double> value;  // default; empty for textures (unbound, handle -1)
  int varyingCode = 0;        // nonzero: a varying at offset value[0]
};

struct ClassDeclarations {
  const char* className;
  int32_t mask;
  std::vector<Declaration> declarations;
};

const std::vector<double> kIdentity3 = {1, 0, 0, 0, 1, 0, 0, 0, 1};
const std::vector<double> kIdentity4 = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

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

std::vector<double> storedValue(const host::BoundShader& shader, const host::ParameterRecord& p) {
  const auto* bytes = static_cast<const unsigned char*>(shader.address(p.name));
  switch (p.type) {
    case ParamType::Bool:
      return {double(*reinterpret_cast<const bool*>(bytes))};
    case ParamType::Int: {
      int32_t v;
      std::memcpy(&v, bytes, sizeof v);
      return {double(v)};
    }
    default: {
      std::vector<double> values;
      for (int i = 0; i < host::floatCount(p.type); ++i) {
        float f;
        std::memcpy(&f, bytes + i * sizeof(float), sizeof f);
        values.push_back(f);
      }
      return values;
    }
  }
}

TEST(BasicMaterials, DeclareTheirParametersInOrderWithTypesAndDefaults) {
  for (const ClassDeclarations& expected : expectedClasses()) {
    SCOPED_TRACE(expected.className);
    host::BoundShader shader = makeShader(expected.className);
    const host::ParameterTable& table = shader.table();
    EXPECT_EQ(table.capabilityMask(), expected.mask);
    ASSERT_EQ(table.calls().size(), expected.declarations.size() + 1);  // after begin
    size_t parameter = 0;
    for (size_t i = 0; i < expected.declarations.size(); ++i) {
      const Declaration& d = expected.declarations[i];
      const host::BinderCall& call = table.calls()[i + 1];
      SCOPED_TRACE(d.name);
      EXPECT_EQ(call.name, d.name);
      if (d.varyingCode != 0) {
        EXPECT_EQ(call.slot, 40);
        EXPECT_EQ(call.typeCode, d.varyingCode);
        EXPECT_EQ(call.offset, static_cast<std::ptrdiff_t>(d.value[0]));
        continue;
      }
      ASSERT_LT(parameter, table.parameters().size());
      const host::ParameterRecord& p = table.parameters()[parameter++];
      EXPECT_EQ(p.type, d.type);
      if (!d.value.empty()) {
        EXPECT_EQ(storedValue(shader, p), d.value);
      }
    }
  }
}

}  // namespace
}  // namespace tarvo::test

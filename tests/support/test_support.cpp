#include <gtest/gtest.h>

#include "tests/support/test_support.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace tarvo::test {

const host::PluginLibrary& library() {
  static const std::unique_ptr<host::PluginLibrary> loaded =
      std::make_unique<host::PluginLibrary>(host::PluginLibrary::defaultPath());
  return *loaded;
}

host::BoundShader makeShader(std::string_view className) {
  return host::BoundShader(library().create(className), std::string(className));
}

std::vector<double> storedValue(const host::BoundShader& shader, const host::ParameterRecord& p) {
  const auto* bytes = static_cast<const unsigned char*>(shader.address(p.name));
  switch (p.type) {
    case host::ParamType::Bool:
      return {double(*reinterpret_cast<const bool*>(bytes))};
    case host::ParamType::Int: {
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

std::vector<Declaration> aoMaskingDeclarations(int uv1Offset, int vtxcolorOffset) {
  using host::ParamType;
  return {
      {"ambientOcclusionTexture", ParamType::Texture2D, {}},
      {"ambientOcclusionMode", ParamType::Int, {0}},
      {"ambientOcclusionFactor", ParamType::Float, {1}},
      {"ambientOcclusionColor", ParamType::Color, {0, 0, 0}},
      {"usePrecalcAO", ParamType::Bool, {1}},
      {"showAmbientOnly", ParamType::Bool, {0}},
      {"usingRaytracedAO", ParamType::Bool, {0}},
      varying("uv1", pvx::kVaryingFloat2, uv1Offset),
      varying("vtxcolor", pvx::kVaryingColor4, vtxcolorOffset),
      {"maskingColor", ParamType::Color, {0, 0, 0}},
      {"maskingMode", ParamType::Int, {0}},
      {"maskingTexture", ParamType::Texture2D, {}},
      {"maskingTextureMatrix", ParamType::Mat4, kIdentity4},
      {"maskingInvertTexture", ParamType::Bool, {0}},
      {"maskingAngularRepeat", ParamType::Float, {1}},
      {"maskingUVMatrix", ParamType::Mat3, kIdentity3},
      {"maskingFromAlpha", ParamType::Bool, {0}},
  };
}

std::vector<Declaration> withAoMasking(int uv1Offset, int vtxcolorOffset,
                                       std::vector<Declaration> own) {
  std::vector<Declaration> all = aoMaskingDeclarations(uv1Offset, vtxcolorOffset);
  all.insert(all.end(), own.begin(), own.end());
  return all;
}

void expectDeclarations(const ClassDeclarations& expected) {
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
      EXPECT_EQ(call.slot, pvx::binder_slot::kDeclareVarying);
      EXPECT_EQ(call.typeCode, d.varyingCode);
      EXPECT_EQ(call.offset, static_cast<std::ptrdiff_t>(d.value[0]));
      continue;
    }
    ASSERT_LT(parameter, table.parameters().size());
    const host::ParameterRecord& p = table.parameters()[parameter++];
    EXPECT_EQ(p.type, d.type);
    if (!d.value.empty()) {
      EXPECT_EQ(storedValue(shader, p), d.value);
    } else if (host::floatCount(d.type) == 0 && d.type != host::ParamType::Bool &&
               d.type != host::ParamType::Int) {
      // Every texture handle is the object pointer and the host's word: unbound, handle -1.
      pvx::Texture2D unbound;
      std::memcpy(&unbound, shader.address(d.name), sizeof unbound);
      EXPECT_EQ(unbound.object, nullptr);
      EXPECT_EQ(unbound.hostHandle, -1);
    }
  }
}

namespace {
template <size_t N>
::testing::AssertionResult nearFloats(const float (&a)[N], const float (&e)[N], float tolerance) {
  for (size_t i = 0; i < N; ++i) {
    const bool same = a[i] == e[i] || (std::isnan(a[i]) && std::isnan(e[i]));  // infinities too
    if (!same && !(std::fabs(a[i] - e[i]) <= tolerance)) {
      auto failure = ::testing::AssertionFailure()
                     << "component " << i << " is " << a[i] << ", expected " << e[i] << " (all:";
      for (size_t j = 0; j < N; ++j)
        failure << " " << a[j] << "/" << e[j];
      return failure << ")";
    }
  }
  return ::testing::AssertionSuccess();
}
}  // namespace

::testing::AssertionResult nearFloat3(const pvx::float3& actual, const pvx::float3& expected,
                                      float tolerance) {
  const float a[3] = {actual.x, actual.y, actual.z};
  const float e[3] = {expected.x, expected.y, expected.z};
  return nearFloats(a, e, tolerance);
}

::testing::AssertionResult nearFloat4(const pvx::float4& actual, const pvx::float4& expected,
                                      float tolerance) {
  const float a[4] = {actual.x, actual.y, actual.z, actual.w};
  const float e[4] = {expected.x, expected.y, expected.z, expected.w};
  return nearFloats(a, e, tolerance);
}

}  // namespace tarvo::test

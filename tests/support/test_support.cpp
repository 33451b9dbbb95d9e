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

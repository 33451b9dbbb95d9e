#include <gtest/gtest.h>

#include "tests/support/test_support.h"

#include <cmath>
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

pvx::ShadingState cameraHit() {
  pvx::ShadingState s{};
  s.rayOrigin = pvx::float3(0.0f, 0.0f, 5.0f);
  s.I = pvx::float3(0.0f, 0.0f, -1.0f);
  s.P = pvx::float3(0.0f);
  s.N = pvx::float3(0.0f, 0.0f, 1.0f);
  s.Ng = s.N;
  s.Po = s.P;
  s.No = s.N;
  s.rasterInfo = {0.5f, 0.5f, 64, 48};
  s.outsideIor = 1.0f;
  s.mediumIor = 1.0f;
  s.worldToObject = pvx::identity4;
  s.objectToWorld = pvx::identity4;
  s.rayKind = pvx::kRayCamera;
  s.frontFacing = 1;
  s.Ci = pvx::float4(0.0f, 0.0f, 0.0f, 1.0f);
  for (uint8_t& allowed : s.allowScatter)
    allowed = 1;
  return s;
}

void fillPattern(pvx::ShadingState* state, unsigned seed) {
  auto* bytes = reinterpret_cast<unsigned char*>(state);
  unsigned x = seed * 2654435761u + 1u;
  for (size_t i = 0; i < sizeof(pvx::ShadingState); ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bytes[i] = static_cast<unsigned char>(x);
  }
}

namespace {
template <size_t N>
::testing::AssertionResult nearFloats(const float (&a)[N], const float (&e)[N], float tolerance) {
  for (size_t i = 0; i < N; ++i) {
    const bool bothNan = std::isnan(a[i]) && std::isnan(e[i]);
    if (!bothNan && !(std::fabs(a[i] - e[i]) <= tolerance)) {
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

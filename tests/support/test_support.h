// Shared pieces of the test suite: the library loaded once, calls through raw vtable slots,
// and shading states to start from.
#ifndef TARVO_TESTS_SUPPORT_H
#define TARVO_TESTS_SUPPORT_H

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "host/parameter_table.h"
#include "host/plugin_library.h"
#include "host/recording_host.h"
#include "tarvo/tarvo.h"
#include "tests/support/shading_states.h"

namespace tarvo::test {

// The names the material tests share.
using host::BoundShader;
using host::HostCall;
using host::makeLight;
using host::RecordingHost;
using host::RecordingTexture1D;
using host::RecordingTexture2D;
using host::RecordingTextureCube;
using pvx::float2;
using pvx::float3;
using pvx::float4;
namespace slot = pvx::host_slot;

// The library under test, loaded from beside the test executable.
const host::PluginLibrary& library();

// A new instance of a class with its declarations recorded.
host::BoundShader makeShader(std::string_view className);

// Calls virtual slot `slot` of `object` by index, the way a host that knows only the slot
// numbers does (MSVC's thiscall on 32-bit Windows, the platform's member convention elsewhere).
template <class Result, class... Args>
Result callSlot(const void* object, int slot, Args... args) {
  using Function = Result(TARVO_THISCALL*)(const void*, Args...);
  const void* const* vtable;
  std::memcpy(&vtable, object, sizeof vtable);
  Function function;
  std::memcpy(&function, &vtable[slot], sizeof function);
  return function(object, args...);
}

// Address stored in slot `slot` of an object's virtual table.
inline const void* slotAddress(const void* object, int slot) {
  const void* const* vtable;
  std::memcpy(&vtable, object, sizeof vtable);
  return vtable[slot];
}

template <class T>
void writeVarying(pvx::ShadingState* state, int offset, const T& value) {
  std::memcpy(state->varying + offset, &value, sizeof(T));
}

// A reflectivity curve from `f0` facing to `f90` at grazing with exponent `power`, set on the
// parameters <prefix>00Reflectivity, <prefix>90Reflectivity and <prefix>CurvePower.
inline void setCurve(host::BoundShader& s, const std::string& prefix, float f0, float f90,
                     float power) {
  s.set(prefix + "00Reflectivity", f0);
  s.set(prefix + "90Reflectivity", f90);
  s.set(prefix + "CurvePower", power);
}

// A parameter's stored value as numbers: a bool or int as one, a float type as its floats in
// storage order (matrices column by column), nothing for a texture.
std::vector<double> storedValue(const host::BoundShader& shader, const host::ParameterRecord& p);

// Float comparison helpers for expected values worked out by hand.
::testing::AssertionResult nearFloat3(const pvx::float3& actual, const pvx::float3& expected,
                                      float tolerance = 1e-6f);
::testing::AssertionResult nearFloat4(const pvx::float4& actual, const pvx::float4& expected,
                                      float tolerance = 1e-6f);

}  // namespace tarvo::test

#endif  // TARVO_TESTS_SUPPORT_H

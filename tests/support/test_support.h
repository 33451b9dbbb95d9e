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

// One expected declaration of a class, in order: a parameter with its type and default (empty:
// not checked; a texture is checked to be unbound, handle -1), or a varying (see varying()).
struct Declaration {
  std::string name;
  host::ParamType type;
  std::vector<double> value;
  int varyingCode = 0;  // nonzero: a varying of this type code at offset value[0]
};

inline Declaration varying(const char* name, int typeCode, int offset) {
  return {name, host::ParamType::Float, {double(offset)}, typeCode};
}

struct ClassDeclarations {
  const char* className;
  int32_t mask;
  std::vector<Declaration> declarations;
};

inline const std::vector<double> kIdentity3 = {1, 0, 0, 0, 1, 0, 0, 0, 1};
inline const std::vector<double> kIdentity4 = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// The ambient-occlusion and masking group as the materials declare it, written out once here
// for the declaration tables (`uv1` and `vtxcolor` at the class's varying offsets), and a class's
// own declarations after it.
std::vector<Declaration> aoMaskingDeclarations(int uv1Offset = 0, int vtxcolorOffset = 8);
std::vector<Declaration> withAoMasking(int uv1Offset, int vtxcolorOffset,
                                       std::vector<Declaration> own);
inline std::vector<Declaration> withAoMasking(std::vector<Declaration> own) {
  return withAoMasking(0, 8, std::move(own));
}

// Checks a new instance's capability mask and its binder calls against the expected sequence:
// names, types, stored defaults, varying codes and offsets.
void expectDeclarations(const ClassDeclarations& expected);

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

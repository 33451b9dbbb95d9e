// The contract every entry point keeps whatever the scene, the state and the host hold:
//   - it writes only the output fields of the state (mediumIor only from scatter, scatterDir only
//     from scatter: it is evaluate's input); an entry the class does not implement, and
//     reservedEntry, write nothing at all;
//   - it never writes the shader object (parameters and virtual table pointer);
//   - it returns: at most kServiceCallCeiling + kServiceCallsPerLight x (lights listed) host
//     service and texture calls (enforced as the calls happen, see ServiceCallCeiling) and within
//     the wall-clock budget given to the checker.
// Reads and writes outside the state and the object are left to AddressSanitizer: the checker
// shades heap copies of exactly sizeof(ShadingState) bytes.
#ifndef TARVO_TESTS_SHADING_CONTRACT_H
#define TARVO_TESTS_SHADING_CONTRACT_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/parameter_table.h"
#include "host/recording_host.h"
#include "tarvo/tarvo.h"

namespace tarvo::test {

enum class Entry { Shade, Shadow, Evaluate, Scatter, Reserved };

inline constexpr Entry kEntries[] = {Entry::Shade, Entry::Shadow, Entry::Evaluate, Entry::Scatter,
                                     Entry::Reserved};

const char* entryName(Entry entry);

// Whether an object of this kind has the slot (lights and environments have shade only).
bool hasEntry(int32_t kind, Entry entry);

// Whether the class overrides the slot, from the capability mask it declares. reservedEntry
// is never overridden.
bool implementsEntry(int32_t kind, int32_t capabilityMask, Entry entry);

// Calls one entry point through the interface of the object's kind.
void callEntry(pvx::IShaderBase* shader, Entry entry, pvx::IHostContext* host,
               pvx::ShadingState* state);

// Service and texture calls one entry-point call may make: a fixed allowance, plus a few per
// light record the host lists (materials walk the whole list).
constexpr size_t kServiceCallCeiling = 4096;
constexpr size_t kServiceCallsPerLight = 4;

// Bytes of the object that hold its virtual table pointer and every declared parameter.
size_t parameterExtent(const host::ParameterTable& table);

struct ShadingCase {
  const char* className;
  pvx::IShaderBase* shader;
  const host::ParameterTable* table;  // the shader's recorded declarations
  host::RecordingHost* host;
  size_t lightCount;  // records the host's script lists
};

struct EntryOutcome {
  Entry entry;
  pvx::ShadingState state;  // the state after the call
};

// Calls every entry point the object has, each on its own heap copy of `state` (the host
// rewound before each), checks the contract, and appends what broke it to `violations`.
// Returns the state each entry left.
std::vector<EntryOutcome> checkShadingContract(const ShadingCase& shading,
                                               const pvx::ShadingState& state,
                                               std::chrono::milliseconds timeBudget,
                                               std::vector<std::string>* violations);

}  // namespace tarvo::test

#endif  // TARVO_TESTS_SHADING_CONTRACT_H

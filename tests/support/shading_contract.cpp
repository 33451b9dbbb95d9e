#include "tests/support/shading_contract.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "tests/support/shading_states.h"

namespace tarvo::test {

const char* entryName(Entry entry) {
  static const char* const names[] = {"shade", "shadow", "evaluate", "scatter", "reservedEntry"};
  return names[static_cast<int>(entry)];  // in Entry order
}

bool hasEntry(int32_t kind, Entry entry) {
  return kind == pvx::kKindMaterial || entry == Entry::Shade;
}

bool implementsEntry(int32_t kind, int32_t capabilityMask, Entry entry) {
  if (!hasEntry(kind, entry)) return false;
  switch (entry) {
    case Entry::Shade:
      return true;
    case Entry::Shadow:
      return (capabilityMask & pvx::kCapShadow) != 0;
    case Entry::Evaluate:
      return (capabilityMask & pvx::kCapEvaluate) != 0;
    case Entry::Scatter:
      return (capabilityMask & pvx::kCapScatter) != 0;
    case Entry::Reserved:
      return false;
  }
  return false;
}

void callEntry(pvx::IShaderBase* shader, Entry entry, pvx::IHostContext* host,
               pvx::ShadingState* state) {
  switch (shader->getKind()) {
    case pvx::kKindLight:
      static_cast<pvx::LightShader*>(shader)->shade(host, state);
      return;
    case pvx::kKindEnvironment:
      static_cast<pvx::EnvironmentShader*>(shader)->shade(host, state);
      return;
    default:
      break;
  }
  const auto* material = static_cast<pvx::MaterialShader*>(shader);
  switch (entry) {
    case Entry::Shade:
      material->shade(host, state);
      break;
    case Entry::Shadow:
      material->shadow(host, state);
      break;
    case Entry::Evaluate:
      material->evaluate(host, state);
      break;
    case Entry::Scatter:
      material->scatter(host, state);
      break;
    case Entry::Reserved:
      material->reservedEntry(host, state);
      break;
  }
}

size_t parameterExtent(const host::ParameterTable& table) {
  size_t extent = sizeof(void*);
  for (const host::ParameterRecord& p : table.parameters()) {
    extent = std::max(extent, static_cast<size_t>(p.offset) + host::storageSize(p.type));
  }
  return extent;
}

namespace {

// Whether `entry` may change `field`: only entries the class implements write, and of the
// output fields scatterDir and mediumIor belong to scatter alone.
bool mayWrite(const StateField& field, Entry entry, bool implemented) {
  if (!implemented) return false;
  switch (field.direction) {
    case FieldDirection::Out:
      return entry == Entry::Scatter || std::strcmp(field.name, "scatterDir") != 0;
    case FieldDirection::InOut:
      return entry == Entry::Scatter;
    case FieldDirection::In:
    case FieldDirection::Reserved:
      return false;
  }
  return false;
}

}  // namespace

std::vector<EntryOutcome> checkShadingContract(const ShadingCase& shading,
                                               const pvx::ShadingState& state,
                                               std::chrono::milliseconds timeBudget,
                                               std::vector<std::string>* violations) {
  const int32_t kind = shading.shader->getKind();
  const int32_t mask = shading.table->capabilityMask();
  const auto* object = reinterpret_cast<const unsigned char*>(shading.shader);
  const std::vector<unsigned char> parametersBefore(object,
                                                    object + parameterExtent(*shading.table));
  const size_t ceiling = kServiceCallCeiling + kServiceCallsPerLight * shading.lightCount;

  std::vector<EntryOutcome> outcomes;
  for (Entry entry : kEntries) {
    if (!hasEntry(kind, entry)) continue;
    const bool implemented = implementsEntry(kind, mask, entry);
    const std::string where = std::string(shading.className) + " " + entryName(entry);

    // A heap copy of exactly the record's size, so AddressSanitizer sees any access past it.
    auto shaded = std::make_unique<pvx::ShadingState>(state);
    shading.host->rewind();
    host::ServiceCallCeiling::arm(ceiling, where.c_str());
    const auto start = std::chrono::steady_clock::now();
    callEntry(shading.shader, entry, shading.host, shaded.get());
    const auto elapsed = std::chrono::steady_clock::now() - start;
    host::ServiceCallCeiling::disarm();

    if (elapsed > timeBudget) {
      violations->push_back(
          where + " took " +
          std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()) +
          " ms, over the budget of " + std::to_string(timeBudget.count()) + " ms.");
    }
    const auto* before = reinterpret_cast<const unsigned char*>(&state);
    const auto* after = reinterpret_cast<const unsigned char*>(shaded.get());
    for (size_t i = 0; i < kStateFieldCount; ++i) {
      const StateField& field = kStateFields[i];
      if (mayWrite(field, entry, implemented)) continue;
      if (std::memcmp(before + field.offset, after + field.offset, field.size) != 0) {
        violations->push_back(where + " wrote `" + field.name + "` (state bytes " +
                              std::to_string(field.offset) + " to " +
                              std::to_string(field.offset + field.size - 1) + "), which it " +
                              (implemented ? "may only read." : "does not implement."));
      }
    }
    const size_t changed = static_cast<size_t>(
        std::mismatch(parametersBefore.begin(), parametersBefore.end(), object).first -
        parametersBefore.begin());
    if (changed != parametersBefore.size()) {
      violations->push_back(where + " wrote its own object at byte " + std::to_string(changed) +
                            " (parameters are read-only while shading).");
      // Put the parameters back so that the next entry is checked on its own.
      std::memcpy(static_cast<void*>(shading.shader), parametersBefore.data(),
                  parametersBefore.size());
    }
    outcomes.push_back({entry, *shaded});
  }
  return outcomes;
}

}  // namespace tarvo::test

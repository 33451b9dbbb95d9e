// No entry point of any catalogue class allocates: every entry point its capability mask names,
// on the varied states, with defaults and with every switch, texture and mode turned on. A class
// that lands later is covered by this test without changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/recording_host.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

namespace slot = pvx::shader_slot;

// Every bool set, every texture bound, and (when `mode` is not 0) every int set to `mode`.
void switchEverythingOn(host::BoundShader& shader, host::ConstantTextures& textures, int32_t mode) {
  for (const host::ParameterRecord& p : shader.table().parameters()) {
    switch (p.type) {
      case host::ParamType::Bool:
        shader.set(p.name, true);
        break;
      case host::ParamType::Int:
        if (mode != 0) shader.set(p.name, mode);
        break;
      case host::ParamType::Texture1D:
        shader.set(p.name, static_cast<pvx::ITexture1D*>(&textures.texture1D));
        break;
      case host::ParamType::Texture2D:
        shader.set(p.name, static_cast<pvx::ITexture2D*>(&textures.texture2D));
        break;
      case host::ParamType::TextureCube:
        shader.set(p.name, static_cast<pvx::ITextureCube*>(&textures.textureCube));
        break;
      default:
        break;
    }
  }
}

std::vector<int> implementedEntryPoints(const pvx::CatalogueEntry& entry) {
  if (entry.kind != pvx::kKindMaterial) return {slot::kShade};
  std::vector<int> slots;
  const int32_t bits[] = {pvx::kCapShade, pvx::kCapShadow, pvx::kCapEvaluate, pvx::kCapScatter};
  const int slotOf[] = {slot::kShade, slot::kShadow, slot::kEvaluate, slot::kScatter};
  for (int i = 0; i < 4; ++i) {
    if (entry.capabilityMask & bits[i]) slots.push_back(slotOf[i]);
  }
  return slots;
}

TEST(NoAllocation, NoEntryPointOfAnyClassAllocates) {
  if (!kAllocationsVisible) GTEST_SKIP() << "the DLL allocates through its own runtime";
  struct Configuration {
    const char* name;
    bool switchedOn;
    int32_t mode;
  };
  const Configuration configurations[] = {
      {"defaults", false, 0},
      {"switched on", true, 0},
      {"switched on, ints 1", true, 1},
      {"switched on, ints 2", true, 2},
      {"switched on, ints 3", true, 3},
      {"switched on, ints 4", true, 4},
      {"switched on, ints -1", true, -1},
  };
  host::ConstantTextures textures;
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    for (const Configuration& configuration : configurations) {
      SCOPED_TRACE(std::string(entry.className) + ", " + configuration.name);
      host::BoundShader shader = makeShader(entry.className);
      if (configuration.switchedOn) switchEverythingOn(shader, textures, configuration.mode);
      host::RecordingHost host(host::HostPolicy::Constant, host::HostAnswers::varied());
      for (int entrySlot : implementedEntryPoints(entry)) {
        for (pvx::ShadingState state : host::variedShadingStates()) {
          size_t allocations = 0;
          {
            AllocationScope scope;
            callSlot<void>(shader.get(), entrySlot, static_cast<pvx::IHostContext*>(&host), &state);
            allocations = scope.count();
          }
          EXPECT_EQ(allocations, 0u) << "slot " << entrySlot << ", ray kind " << state.rayKind;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tarvo::test

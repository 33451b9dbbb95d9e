// The catalogue as a host sees it: the 54 exports, and every class driven through raw virtual
// slots by index.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "tests/support/allocation_counter.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

namespace slot = pvx::shader_slot;

TEST(Catalogue, EveryClassExportsFactoryAndApiVersion2724) {
  EXPECT_EQ(pvx::kCatalogueSize, 27);
  std::set<std::string> names;
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    names.insert(entry.className);
    const std::string name = entry.className;
    void* version = library().symbol(name + "_getAPIVersion");
    void* create = library().symbol(name + "_create");
    ASSERT_NE(version, nullptr) << name;
    ASSERT_NE(create, nullptr) << name;
    EXPECT_EQ(reinterpret_cast<pvx::GetApiVersionFunction>(version)(), 2724u) << name;
  }
  EXPECT_EQ(names.size(), 27u) << "class names must be distinct";
  EXPECT_THROW(library().factory("quarra_Mtl_Nothing"), host::PluginError);
}

TEST(Catalogue, RawSlotsAnswerRevisionKindMaskAndDestroy) {
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    SCOPED_TRACE(entry.className);
    pvx::IShaderBase* object = library().factory(entry.className).create();
    ASSERT_NE(object, nullptr);

    EXPECT_EQ(callSlot<int32_t>(object, slot::kGetRevision), 1);
    EXPECT_EQ(callSlot<int32_t>(object, slot::kGetKind), entry.kind);

    host::ParameterTable table;
    table.reset(object);
    callSlot<void>(object, slot::kDeclareParameters, static_cast<pvx::IParameterBinder*>(&table));
    ASSERT_FALSE(table.calls().empty());
    EXPECT_EQ(table.calls().front().slot, pvx::binder_slot::kBegin);
    EXPECT_EQ(table.capabilityMask(), entry.capabilityMask);
    EXPECT_EQ(table.beginCount(), 1);
    EXPECT_EQ(table.foreignShaderCalls(), 0) << "every binder call passes the shader itself";

    EXPECT_EQ(callSlot<void*>(object, slot::kDestroy, 1u), static_cast<void*>(object));
  }
}

TEST(Catalogue, DestroyWithoutTheFreeBitOnlyRunsTheDestructor) {
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    pvx::IShaderBase* object = library().factory(entry.className).create();
    ASSERT_NE(object, nullptr);
    void* returned = callSlot<void*>(object, slot::kDestroy, 0u);
    EXPECT_EQ(returned, static_cast<void*>(object)) << entry.className;
    ::operator delete(returned);  // the storage is still ours to free
  }
}

TEST(Catalogue, FactoryReturnsNullWhenAllocationFails) {
  if (!kAllocationsVisible) GTEST_SKIP() << "the DLL allocates through its own runtime";
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    const host::ShaderFactory factory = library().factory(entry.className);
    pvx::IShaderBase* object = nullptr;
    {
      AllocationScope failing(true);
      object = factory.create();
    }
    EXPECT_EQ(object, nullptr) << entry.className;
    pvx::destroyShader(object);
  }
}

TEST(Catalogue, CapabilityMaskMatchesTheEntriesAClassOverrides) {
  // quarra_Mtl_Solid implements shade only, so its slots 6 to 9 are the do-nothing defaults.
  pvx::ShaderPtr reference = library().create("quarra_Mtl_Solid");
  const int optionalSlots[] = {slot::kShadow, slot::kEvaluate, slot::kScatter};
  const int32_t bits[] = {pvx::kCapShadow, pvx::kCapEvaluate, pvx::kCapScatter};
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    if (entry.kind != pvx::kKindMaterial) continue;
    SCOPED_TRACE(entry.className);
    host::BoundShader shader = makeShader(entry.className);
    const int32_t mask = shader.table().capabilityMask();
    EXPECT_TRUE(mask & pvx::kCapShade) << "every material implements shade";
    for (int i = 0; i < 3; ++i) {
      const bool overridden = slotAddress(shader.get(), optionalSlots[i]) !=
                              slotAddress(reference.get(), optionalSlots[i]);
      EXPECT_EQ(overridden, (mask & bits[i]) != 0) << "slot " << optionalSlots[i];
    }
    EXPECT_EQ(slotAddress(shader.get(), slot::kReservedEntry),
              slotAddress(reference.get(), slot::kReservedEntry))
        << "no class overrides reservedEntry";
  }
}

TEST(Catalogue, DefaultEntriesLeaveEveryByteOfTheStateUnchanged) {
  const int optionalSlots[] = {slot::kShadow, slot::kEvaluate, slot::kScatter};
  const int32_t bits[] = {pvx::kCapShadow, pvx::kCapEvaluate, pvx::kCapScatter};
  unsigned seed = 1;
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    if (entry.kind != pvx::kKindMaterial) continue;
    SCOPED_TRACE(entry.className);
    pvx::ShaderPtr shader = library().create(entry.className);
    host::RecordingHost host;
    std::vector<int> defaults = {slot::kReservedEntry};
    for (int i = 0; i < 3; ++i) {
      if (!(entry.capabilityMask & bits[i])) defaults.push_back(optionalSlots[i]);
    }
    for (int s : defaults) {
      pvx::ShadingState state;
      fillPattern(&state, seed++);
      const pvx::ShadingState before = state;
      callSlot<void>(shader.get(), s, static_cast<pvx::IHostContext*>(&host), &state);
      EXPECT_EQ(std::memcmp(&state, &before, sizeof state), 0) << "slot " << s;
    }
    EXPECT_TRUE(host.calls().empty());
  }
}

TEST(Catalogue, DeclarationIsRepeatableAndStaysInsideTheObject) {
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    SCOPED_TRACE(entry.className);
    pvx::ShaderPtr shader = library().create(entry.className);
    host::ParameterTable first, second;
    first.record(shader.get());
    second.record(shader.get());
    EXPECT_EQ(first.calls(), second.calls());
    EXPECT_EQ(first.beginCount(), 1);
    // Members are distinct, do not overlap and lie after the interface pointer.
    std::vector<std::pair<std::ptrdiff_t, size_t>> spans;
    std::set<std::string> names;
    for (const host::ParameterRecord& p : first.parameters()) {
      EXPECT_TRUE(names.insert(p.name).second) << "duplicate parameter " << p.name;
      EXPECT_GE(p.offset, static_cast<std::ptrdiff_t>(sizeof(void*))) << p.name;
      spans.emplace_back(p.offset, host::storageSize(p.type));
    }
    std::sort(spans.begin(), spans.end());
    for (size_t i = 1; i < spans.size(); ++i) {
      EXPECT_LE(spans[i - 1].first + static_cast<std::ptrdiff_t>(spans[i - 1].second),
                spans[i].first);
    }
    for (const host::VaryingRecord& v : first.varyings()) {
      const int size = v.typeCode == pvx::kVaryingFloat2   ? 8
                       : v.typeCode == pvx::kVaryingFloat3 ? 12
                                                           : 16;
      EXPECT_GE(v.offset, 0) << v.name;
      EXPECT_LE(v.offset + size, pvx::kVaryingBlockSize) << v.name;
    }
  }
}

TEST(Catalogue, CopyParametersCopiesEveryDeclaredMemberAsBytes) {
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    SCOPED_TRACE(entry.className);
    host::BoundShader source = makeShader(entry.className);
    host::BoundShader target = makeShader(entry.className);
    // Give every member of the source a distinct byte pattern (bools stay 0 or 1).
    unsigned char fill = 1;
    for (const host::ParameterRecord& p : source.table().parameters()) {
      auto* member = reinterpret_cast<unsigned char*>(source.get()) + p.offset;
      if (p.type == host::ParamType::Bool) {
        *member = fill & 1u;
      } else {
        for (size_t i = 0; i < host::storageSize(p.type); ++i)
          member[i] = fill++;
      }
      ++fill;
    }
    callSlot<void>(target.get(), slot::kCopyParameters,
                   static_cast<const pvx::IShaderBase*>(source.get()));
    for (const host::ParameterRecord& p : source.table().parameters()) {
      EXPECT_EQ(std::memcmp(reinterpret_cast<unsigned char*>(source.get()) + p.offset,
                            reinterpret_cast<unsigned char*>(target.get()) + p.offset,
                            host::storageSize(p.type)),
                0)
          << p.name;
    }
  }
}

TEST(Catalogue, ConstructorsLeaveTexturesUnboundWithHandleMinusOne) {
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    host::BoundShader shader = makeShader(entry.className);
    for (const host::ParameterRecord& p : shader.table().parameters()) {
      if (p.type != host::ParamType::Texture1D && p.type != host::ParamType::Texture2D &&
          p.type != host::ParamType::TextureCube) {
        continue;
      }
      pvx::Texture2D handle;
      std::memcpy(&handle, shader.address(p.name), sizeof handle);
      EXPECT_EQ(handle.object, nullptr) << entry.className << "." << p.name;
      EXPECT_EQ(handle.hostHandle, -1) << entry.className << "." << p.name;
    }
  }
}

}  // namespace
}  // namespace tarvo::test

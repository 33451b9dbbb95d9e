// libFuzzer target: every input becomes one shading of one catalogue class by a hostile host.
//
// Input layout (all of it optional; missing bytes keep the sane value, see hostile_inputs.h):
//   byte 0          the class, as an index into the catalogue (modulo its size)
//   then            the shading state, the host's answers and texels, and last a value for
//                   every parameter the instance declares, in declaration order
// Each implemented entry point, and the default ones, is called on its own copy of the state and
// checked against the contract of shading_contract.h; copyParameters must copy every declared
// byte. A broken contract prints what broke and aborts, so libFuzzer keeps the input.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/parameter_table.h"
#include "host/recording_host.h"
#include "tarvo/tarvo.h"
#include "tests/support/hostile_inputs.h"
#include "tests/support/shading_contract.h"

// The library is compiled into this executable; its exports are reached as a host would.
#define TARVO_DECLARE_EXPORT(Class, Kind, Mask) extern "C" pvx::IShaderBase* Class##_create();
TARVO_CATALOGUE(TARVO_DECLARE_EXPORT)
#undef TARVO_DECLARE_EXPORT

namespace {

#define TARVO_FACTORY_ENTRY(Class, Kind, Mask) &Class##_create,
constexpr pvx::CreateFunction kFactories[] = {TARVO_CATALOGUE(TARVO_FACTORY_ENTRY)};
#undef TARVO_FACTORY_ENTRY
static_assert(sizeof(kFactories) / sizeof(kFactories[0]) == pvx::kCatalogueSize);

// Far above any real entry-point call (microseconds), far below libFuzzer's -timeout.
constexpr std::chrono::milliseconds kEntryTimeBudget(2000);

[[noreturn]] void report(const char* className, const std::vector<std::string>& violations) {
  std::fprintf(stderr, "\nShading contract broken by %s:\n", className);
  for (const std::string& v : violations)
    std::fprintf(stderr, "  %s\n", v.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvo;
  static host::TextureSet textures;

  test::ByteReader in(data, size);
  const int index = in.byte() % pvx::kCatalogueSize;
  const char* className = pvx::kCatalogue[index].className;

  pvx::ShaderPtr shader(kFactories[index]());
  host::ParameterTable table;
  table.record(shader.get());

  const pvx::ShadingState state = test::hostileState(in, table);
  host::HostAnswers answers;
  test::hostileAnswers(in, &answers, &textures);
  test::writeHostileParameters(in, shader.get(), table, &textures);
  host::RecordingHost host(host::HostPolicy::Cycling, answers);

  std::vector<std::string> violations;
  test::checkShadingContract({className, shader.get(), &table, &host, answers.lights.size()}, state,
                             kEntryTimeBudget, &violations);

  pvx::ShaderPtr copy(kFactories[index]());
  copy->copyParameters(shader.get());
  const auto* original = reinterpret_cast<const unsigned char*>(shader.get());
  const auto* copied = reinterpret_cast<const unsigned char*>(copy.get());
  for (const host::ParameterRecord& p : table.parameters()) {
    if (std::memcmp(original + p.offset, copied + p.offset, host::storageSize(p.type)) != 0) {
      violations.push_back("copyParameters did not copy `" + p.name + "`.");
    }
  }

  if (!violations.empty()) report(className, violations);
  return 0;
}

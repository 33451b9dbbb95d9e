#include "bench/instruction_counts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#if defined(__has_include)
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define TARVO_HAVE_CALLGRIND 1
#endif
#endif
#ifndef TARVO_HAVE_CALLGRIND
#define TARVO_HAVE_CALLGRIND 0
#endif

#if defined(__unix__)
#include <unistd.h>
#endif

#include "bench/bench_support.h"
#include "shadinglib/legacy_lobes.h"
#include "shadinglib/microfacet.h"
#include "shadinglib/ray_directions.h"
#include "shadinglib/shading_frame.h"
#include "shadinglib/ward_lobe.h"

namespace tarvo::bench {

namespace {

namespace fs = std::filesystem;
using pvx::float3;
using pvx::ShadingState;

constexpr const char* kCountMode = "--count-instructions";
constexpr const char* kCheckMode = "--check-instructions";
constexpr const char* kRecordMode = "--record-instructions";
constexpr const char* kMeasureMode = "--measure-instructions";  // the run under valgrind
constexpr const char* kDumpMode = "--dump-outputs";  // what a rearrangement must not change

// An entry point may take this much more than its recorded figure, in percent and in
// instructions per call (whichever allows more: a few instructions on a 20-instruction entry
// point are the C library's or the compiler's, not a regression).
constexpr double kTolerancePercent = 3.0;
constexpr double kToleranceInstructions = 2.0;

// ---- the states ------------------------------------------------------------------------------

constexpr size_t kStateCount = 256;
using States = std::array<ShadingState, kStateCount>;

// The benchmarks' eight varied hits, each with 32 `scatterDir` directions spread evenly over the
// sphere (a Fibonacci spiral), so `evaluate` sees directions above and below the surface.
const States& variedStates() {
  static const States states = [] {
    const auto base = host::variedShadingStates();
    States all{};
    for (size_t k = 0; k < kStateCount; ++k) {
      ShadingState s = base[k % base.size()];
      const float z = 1.0f - (2.0f * float(k) + 1.0f) / float(kStateCount);
      const float r = std::sqrt(1.0f - z * z);
      const float phi = 2.3999632f * float(k);  // the golden angle
      s.scatterDir = float3(r * std::cos(phi), r * std::sin(phi), z);
      all[k] = s;
    }
    return all;
  }();
  return states;
}

// ---- what is measured ------------------------------------------------------------------------

// One pass over fresh copies of the states. Empty for a kernel that is not built.
using Pass = std::function<void(States&)>;

struct Measurement {
  std::string className;  // "kernel" for the bare kernels
  std::string setup;
  std::string entry;
  std::string label() const { return className + "/" + setup + "/" + entry; }
};

// The instructions of the Ward lobe alone, called through a pointer as an entry point is.
float3 wardLobeKernel(const float3& i, const float3& o, const pvx::WardRoughness& a,
                      const float3& dc, const float3& gc) {
  return pvx::wardLobe(i, o, a, dc, gc);
}

// Where quarra_Mtl_Ward keeps its `tangent` varying.
constexpr int32_t kWardTangentOffset = 36;

// The Ward lobe with the default Ward material's inputs (roughness 0.01 both ways, black
// diffuse, white glossy) for the directions its `evaluate` sees: I and `scatterDir` in the
// tangent frame of each state.
Pass wardLobePass() {
  struct Directions {
    float3 i, o;
  };
  auto directions = std::make_shared<std::vector<Directions>>();
  for (const ShadingState& s : variedStates()) {
    const pvx::TangentFrame f = pvx::tangentFrame(s, kWardTangentOffset);
    directions->push_back({pvx::frameToLocal(f, s.I), pvx::frameToLocal(f, s.scatterDir)});
  }
  return [directions](States& states) {
    float3 (*volatile lobe)(const float3&, const float3&, const pvx::WardRoughness&, const float3&,
                            const float3&) = &wardLobeKernel;
    const pvx::WardRoughness a{0.01f, 0.01f};
    const float3 black(0.0f), white(1.0f);
    for (size_t k = 0; k < kStateCount; ++k) {
      states[k].scatterWeight = lobe((*directions)[k].i, (*directions)[k].o, a, black, white);
    }
  };
}

// The GGX reflection-plus-transmission term alone, with the default dielectric's inputs
// (roughness 0.0004, reflectance 0.1, index 1.52) for the directions its `evaluate` sees: I and
// `scatterDir` in its frame (turned to face the incoming ray), Schlick's F at I.
float microfacetKernel(const float3& i, const float3& o, float F, float eta, float alpha2) {
  return pvx::microfacetScattering(i, o, F, eta, alpha2);
}

constexpr int32_t kDielectricTangentOffset = 36;

Pass ggxPass() {
  struct Inputs {
    float3 i, o;
    float F, eta;
  };
  auto inputs = std::make_shared<std::vector<Inputs>>();
  for (const ShadingState& s : variedStates()) {
    pvx::TangentFrame f = pvx::tangentFrame(s, kDielectricTangentOffset);
    pvx::turnToFaceRay(f, s.I);
    const float3 i = pvx::frameToLocal(f, s.I);
    inputs->push_back({i, pvx::frameToLocal(f, s.scatterDir), pvx::schlickReflectance(0.1f, -i.z),
                       pvx::dielectricIndexRatio(s, 1.52f).eta});
  }
  return [inputs](States& states) {
    float (*volatile term)(const float3&, const float3&, float, float, float) = &microfacetKernel;
    const float alpha2 = pvx::ggxAlphaSquared(0.0004f);
    for (size_t k = 0; k < kStateCount; ++k) {
      const Inputs& in = (*inputs)[k];
      states[k].scatterCos = term(in.i, in.o, in.F, in.eta, alpha2);
    }
  };
}

using LobeSampleKernel = pvx::LobeSample (*)(const float3&, const pvx::WardRoughness&,
                                             const float3&, const float3&, float,
                                             const pvx::float2&);

// The Ward material's draw alone (sampleWardMixture with the default inputs), for the states
// where its `scatter` draws: I arriving from above the unbent normal. The random numbers are a
// fixed low-discrepancy sequence instead of the host's. The colours are passed in, as they are
// to the lobe's kernel and as the material has them: built in as constants, the compiler would
// fold the diffuse branch and the colour arithmetic away, which no material's draw can do.
pvx::LobeSample wardDrawKernel(const float3& i, const pvx::WardRoughness& a, const float3& dc,
                               const float3& gc, float r, const pvx::float2& uv) {
  return pvx::sampleWardMixture(i, a, dc, gc, r, uv);
}

Pass wardDrawPass() {
  struct Draw {
    float3 i;
    bool draws;
    float r;
    pvx::float2 uv;
  };
  auto draws = std::make_shared<std::vector<Draw>>();
  const auto fraction = [](float x) { return x - std::floor(x); };
  for (const ShadingState& s : variedStates()) {
    const pvx::TangentFrame f = pvx::tangentFrame(s, kWardTangentOffset);
    const float k = float(draws->size());
    draws->push_back({pvx::frameToLocal(f, s.I), pvx::dot(s.I, s.N) < 0.0f,
                      fraction(k * 0.7548777f),
                      pvx::float2(fraction(k * 0.6180340f), fraction(k * 0.4142136f))});
  }
  return [draws](States& states) {
    LobeSampleKernel volatile draw = &wardDrawKernel;
    const pvx::WardRoughness a{0.01f, 0.01f};
    const float3 black(0.0f), white(1.0f);
    for (size_t k = 0; k < kStateCount; ++k) {
      const Draw& d = (*draws)[k];
      if (!d.draws) continue;
      const pvx::LobeSample sample = draw(d.i, a, black, white, d.r, d.uv);
      states[k].scatterDir = sample.o;
      states[k].scatterInvPdf = sample.density;
    }
  };
}

// The GGX draw of the frosted dielectric (roughness 0.3, index 1.52): a microfacet normal, the
// reflection or refraction at it (chosen by a third fixed number against F) and the draw's
// weight, for I in each state's frame.
float3 ggxDrawKernel(const float3& i, float F, float eta, float alpha2, const pvx::float2& u,
                     float r) {
  const float3 m = pvx::sampleGgxNormal(alpha2, u.x, u.y);
  if (-pvx::dot(i, m) < 0.0f) return float3(0.0f);
  float3 o = r < F ? float3(0.0f) : pvx::refractAtMicrofacet(i, m, eta);
  if (pvx::isBlack(o)) o = pvx::reflectAtMicrofacet(i, m);
  return o * pvx::microfacetSampleWeight(i, o, m, alpha2);
}

Pass ggxDrawPass() {
  struct Draw {
    float3 i;
    float F, eta, r;
    pvx::float2 u;
  };
  auto draws = std::make_shared<std::vector<Draw>>();
  const auto fraction = [](float x) { return x - std::floor(x); };
  for (const ShadingState& s : variedStates()) {
    pvx::TangentFrame f = pvx::tangentFrame(s, kDielectricTangentOffset);
    pvx::turnToFaceRay(f, s.I);
    const float3 i = pvx::frameToLocal(f, s.I);
    const float k = float(draws->size());
    draws->push_back({i, pvx::schlickReflectance(0.1f, -i.z),
                      pvx::dielectricIndexRatio(s, 1.52f).eta, fraction(k * 0.7548777f),
                      pvx::float2(fraction(k * 0.6180340f), fraction(k * 0.4142136f))});
  }
  return [draws](States& states) {
    float3 (*volatile draw)(const float3&, float, float, float, const pvx::float2&, float) =
        &ggxDrawKernel;
    const float alpha2 = pvx::ggxAlphaSquared(0.3f);
    for (size_t k = 0; k < kStateCount; ++k) {
      const Draw& d = (*draws)[k];
      states[k].scatterDir = draw(d.i, d.F, d.eta, alpha2, d.u, d.r);
    }
  };
}

// The legacy material's first glossy lobe with its normalisation, with the default inputs
// (roughness 0.66, reflectance 0.33), for the directions its `evaluate` weighs: `scatterDir`
// above the shading normal.
float legacyLobeKernel(const float3& I, const float3& n, const float3& L) {
  const pvx::GlossyGeometry g = pvx::glossyGeometry(I, n, L);
  return pvx::glossyLobe(g, 0.33f, 0.66f, false) * pvx::glossyNormalisation(g, 0.66f);
}

Pass legacyLobePass() {
  return [](States& states) {
    float (*volatile lobe)(const float3&, const float3&, const float3&) = &legacyLobeKernel;
    for (ShadingState& s : states) {
      if (pvx::dot(s.scatterDir, s.N) > 0.0f) s.scatterCos = lobe(s.I, s.N, s.scatterDir);
    }
  };
}

// The legacy material's diffuse lobe beside its glossy one, (1 - F) D (1 - t) / pi, with the
// default inputs (reflectivity 0, diffuse colour (0, 0, 1), transparency 0.8), for the same
// directions.
float3 legacyDiffuseKernel(const float3& F, const float3& diffuse, const float3& transparency) {
  return (float3(1.0f) - F) * diffuse * (float3(1.0f) - transparency) * pvx::kInvPi;
}

Pass legacyDiffusePass() {
  return [](States& states) {
    float3 (*volatile lobe)(const float3&, const float3&, const float3&) = &legacyDiffuseKernel;
    const float3 F(0.0f), diffuse(0.0f, 0.0f, 1.0f), transparency(0.8f);
    for (ShadingState& s : states) {
      if (pvx::dot(s.scatterDir, s.N) > 0.0f) s.scatterWeight = lobe(F, diffuse, transparency);
    }
  };
}

// The legacy material's diffuse draw: a cosine-weighted direction about the shading normal.
float3 legacyDrawKernel(const float3& n, const pvx::float2& u) {
  return pvx::cosineWeightedDirection(n, u);
}

Pass legacyDrawPass() {
  return [](States& states) {
    float3 (*volatile draw)(const float3&, const pvx::float2&) = &legacyDrawKernel;
    float k = 0.0f;
    for (ShadingState& s : states) {
      const pvx::float2 u(k * 0.6180340f - std::floor(k * 0.6180340f),
                          k * 0.4142136f - std::floor(k * 0.4142136f));
      s.scatterDir = draw(s.N, u);
      k += 1.0f;
    }
  };
}

struct Kernel {
  const char* name;
  const char* entry;  // the entry point it is the kernel of
  Pass (*pass)();
};
const Kernel kKernels[] = {
    {"Ward lobe", "evaluate", &wardLobePass},
    {"Ward draw", "scatter", &wardDrawPass},
    {"GGX reflection + transmission", "evaluate", &ggxPass},
    {"GGX draw", "scatter", &ggxDrawPass},
    {"legacy glossy lobe", "evaluate", &legacyLobePass},
    {"legacy diffuse lobe", "evaluate", &legacyDiffusePass},
    {"legacy diffuse draw", "scatter", &legacyDrawPass},
};

std::string kernelLabel(const std::string& name) {
  for (const Kernel& k : kKernels) {
    if (name == k.name) return std::string("kernel/") + k.name + "/" + k.entry;
  }
  return "";
}

// How far a scattering class's `evaluate` and `scatter` may be from the kernels they are built
// on, with default parameters and with the benchmark's richer setup.
constexpr double kKernelGoal = 2.0;
struct KernelComparison {
  const char* className;
  const char* setups[2];
  const char* evaluateKernel;
  const char* scatterKernel;
  const char* evaluateSecondKernel = nullptr;  // summed with the first: evaluate weighs two lobes
};
const KernelComparison kComparisons[] = {
    {"quarra_Mtl_Ward", {"default", "diffuse_and_glossy"}, "Ward lobe", "Ward draw"},
    {"quarra_Mtl_Metal", {"default", "diffuse_and_glossy"}, "Ward lobe", "Ward draw"},
    {"quarra_Mtl_MetallicPaint", {"default", "every_layer"}, "Ward lobe", "Ward draw"},
    {"quarra_Mtl_Dielectric", {"default", "frosted"}, "GGX reflection + transmission", "GGX draw"},
    {"quarra_Mtl_Glazing",
     {"default", "rough_double"},
     "GGX reflection + transmission",
     "GGX draw"},
    {"VesmarLegacy",
     {"default", "textured_layers"},
     "legacy glossy lobe",
     "legacy diffuse draw",
     "legacy diffuse lobe"},
};

// Why the rows above their goal stay there: what the rest of each entry point is. Kept with the
// comparison so that the table and its reasons are recorded together.
constexpr const char* kAboveGoal = R"(### Where an entry point stays above 2×

Each of these does work its kernel does not, which no rearrangement removes without changing a
result by more than rounding. The entry points keep no state from one call to the next, so work
that does not depend on the direction (a hit's channels, its frame, its reflectivity) is done
again in every call.

- **Ward family, metal and metallic paint `scatter`, richer setups** (2.3× Ward and metal
  `diffuse_and_glossy`; the metal's default 2.05×): half the states draw (I arriving from above
  the normal), and beside the draw a Ward draw builds the frame of the `tangent` varying and
  takes I into it (the varying carried into world space, T and B normalised, the anisotropy
  rotation's input read: about 170 instructions), evaluates the surface's inputs (specular and
  diffuse colours, the reflectivity curve, the roughness: about 85; the metal's curve calls
  `powf`), writes the draw out of the frame into the state (about 50) and asks the host for its
  numbers. The frame is the one the drawn azimuth is measured in: drawing in any other frame
  around N gives other directions, not the same ones rounded differently, and T and B are
  already built with one normalisation each and no second look at T; taking the host's numbers
  or the draw's transcendental part before the frame is built changes nothing measurable. A ray
  from below the unbent normal takes the host's numbers and reports no ray without building
  anything. The kernel takes the colours as arguments, as the lobe's kernel does and as the
  material has them (with black and white built in as constants the compiler folds the diffuse
  branch away and the same draw counts 173).
- **Anisotropic `evaluate`** (Ward and metal `diffuse_and_glossy`, 2.7× and 2.8×): an
  anisotropic lobe reads I and `scatterDir` along T and B, so the frame is built for every
  direction that meets the lobe, and the reflectivity curve's `powf` (power 5) is evaluated for
  each; only the isotropic lobe around an unbent normal is evaluated without a frame.
- **Metallic paint `every_layer`** (3.9× `evaluate`, 3.7× `scatter`): the orange-peel finish
  tilts the topcoat by a ripple of the host's noise at P in every call (its reflectance sets the
  base's share), and `scatter` chooses between the topcoat's mirror bounce and the base's lobe,
  each in its own frame (without the peel the two frames are one, and I is taken into it once).
- **Dielectric `evaluate`** (2.5×): the interface's inputs around the 164-instruction term:
  Schlick's F at I, the index ratio with its guard against an unusable index, the mapped
  roughness and its alpha², the normal turned to face the ray. The frosted `scatter` (2.04×)
  draws in the tangent's frame for the reason above and absorbs along the path inside.
- **Legacy material `textured_layers`** (`evaluate` 8.6×, `scatter` 7.7×; with the defaults
  both are within 2×): every channel of that setup is a box-projected texture and the bump
  channel a cylindrical one. `evaluate` reads the cut-out for every direction (a cut-out hit is
  ignored whatever the direction) and, above the surface, the transparency, diffuse, specular
  (the reflection's tint) and bump channels and the Fresnel curve (`powf`); `scatter` reads all
  but the specular channel on every draw, because they weigh its choice among pass-through,
  diffuse and mirror events. A projected lookup is about 150 instructions (the point and the
  normal through the channel's matrix, the box face, the host's texture call) and the normal map
  about 280 beside its own (the cylinder's `atan2`, the tangent frame carried into world space,
  three normalisations), so the lookups alone are several times the kernels.
)";

Pass entryPointPass(pvx::IShaderBase* shader, int slot, pvx::IHostContext* host) {
  switch (shader->getKind()) {
    case pvx::kKindMaterial: {
      auto* material = static_cast<pvx::MaterialShader*>(shader);
      using Entry = void (pvx::MaterialShader::*)(pvx::IHostContext*, ShadingState*) const;
      Entry entry = &pvx::MaterialShader::shade;
      if (slot == pvx::shader_slot::kShadow) entry = &pvx::MaterialShader::shadow;
      if (slot == pvx::shader_slot::kEvaluate) entry = &pvx::MaterialShader::evaluate;
      if (slot == pvx::shader_slot::kScatter) entry = &pvx::MaterialShader::scatter;
      return [material, entry, host](States& states) {
        for (ShadingState& s : states)
          (material->*entry)(host, &s);
      };
    }
    case pvx::kKindLight: {
      auto* light = static_cast<pvx::LightShader*>(shader);
      return [light, host](States& states) {
        for (ShadingState& s : states)
          light->shade(host, &s);
      };
    }
    default: {
      auto* environment = static_cast<pvx::EnvironmentShader*>(shader);
      return [environment, host](States& states) {
        for (ShadingState& s : states)
          environment->shade(host, &s);
      };
    }
  }
}

// Everything there is to measure, in table order: the kernels, then every catalogue class with
// the setups its benchmarks register (its defaults when it registers none). `visit` gets each
// measurement with its pass (empty when not built); classes that declare no parameters are
// named to `notBuilt` instead.
void forEachMeasurement(const std::function<void(const Measurement&, const Pass&)>& visit,
                        std::vector<std::string>* notBuilt) {
  for (const Kernel& kernel : kKernels) {
    visit(Measurement{"kernel", kernel.name, kernel.entry}, kernel.pass());
  }
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    std::vector<RegisteredSetup> setups;
    for (const RegisteredSetup& s : registeredSetups()) {
      if (s.className == entry.className) setups.push_back(s);
    }
    if (setups.empty()) setups.push_back({entry.className, "default", {}});
    for (const RegisteredSetup& setup : setups) {
      host::BoundShader shader = makeShader(entry.className);
      if (shader.table().parameters().empty()) {
        if (notBuilt) notBuilt->push_back(entry.className);
        break;
      }
      if (setup.setup) setup.setup(shader);
      host::RecordingHost host(host::HostPolicy::Constant, host::HostAnswers::varied());
      for (const EntryPoint& point : kMaterialEntryPoints) {
        if (!implements(entry, point)) continue;
        visit(Measurement{entry.className, setup.setupName, point.name},
              entryPointPass(shader.get(), point.slot, &host));
      }
    }
  }
}

// ---- the run under valgrind --------------------------------------------------------------------

// One collection window per measurement, after a pass that resolves every lazy binding, each
// dumped under the measurement's label.
int measureUnderCallgrind() {
#if TARVO_HAVE_CALLGRIND
  if (!RUNNING_ON_VALGRIND) {
    std::fprintf(stderr, "tarvo-bench: %s runs under valgrind's callgrind only\n", kMeasureMode);
    return 2;
  }
  forEachMeasurement(
      [](const Measurement& m, const Pass& pass) {
        if (!pass) return;
        const std::string label = m.label();  // alive until valgrind has read it
        States states = variedStates();
        pass(states);
        states = variedStates();
        CALLGRIND_ZERO_STATS;
        CALLGRIND_TOGGLE_COLLECT;
        pass(states);
        CALLGRIND_TOGGLE_COLLECT;
        CALLGRIND_DUMP_STATS_AT(label.c_str());
      },
      nullptr);
  return 0;
#else
  std::fprintf(stderr, "tarvo-bench: built without valgrind's headers (valgrind/callgrind.h)\n");
  return 2;
#endif
}

// ---- the outputs -----------------------------------------------------------------------------

// Every output field of every state after every measured pass, one line a state, each float in
// as many digits as tell it apart: two builds that shade alike write the same file.
int dumpOutputs(const char* path) {
  std::FILE* out = std::fopen(path, "w");
  if (out == nullptr) {
    std::fprintf(stderr, "tarvo-bench: cannot write %s\n", path);
    return 2;
  }
  const auto floats = [out](const float* v, int n) {
    for (int i = 0; i < n; ++i)
      std::fprintf(out, " %.9g", static_cast<double>(v[i]));
  };
  forEachMeasurement(
      [&](const Measurement& m, const Pass& pass) {
        if (!pass) return;
        States states = variedStates();
        pass(states);
        for (size_t k = 0; k < kStateCount; ++k) {
          const ShadingState& s = states[k];
          std::fprintf(out, "%s %zu", m.label().c_str(), k);
          floats(&s.Ci.x, 4);
          floats(&s.shadowT.x, 3);
          floats(&s.scatterDir.x, 3);
          floats(&s.scatterWeight.x, 3);
          floats(&s.scatterCos, 2);
          floats(&s.mediumIor, 1);
          floats(&s.lightColor.x, 3);
          floats(&s.lightT.x, 3);
          std::fprintf(out, " %d %d\n", s.scatterKind, s.ignoreHit);
        }
      },
      nullptr);
  return std::fclose(out) == 0 ? 0 : 2;
}

// ---- reading the dumps -------------------------------------------------------------------------

std::string selfPath(const char* argv0) {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string(argv0) : self.string();
}

std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s)
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Starts valgrind on this program in the measuring mode and reads the instructions of every
// dump, by label. Empty when valgrind could not run.
std::map<std::string, double> countUnderValgrind(const char* argv0) {
  const char* valgrind = std::getenv("VALGRIND");
  std::string folderName = "tarvo-instructions-";
#if defined(__unix__)
  folderName += std::to_string(getpid());
#endif
  const fs::path folder = fs::temp_directory_path() / folderName;
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string command = quoted(valgrind ? valgrind : "valgrind") +
                              " -q --tool=callgrind --collect-atstart=no --callgrind-out-file=" +
                              quoted((folder / "callgrind.out").string()) + " " +
                              quoted(selfPath(argv0)) + " " + kMeasureMode;
  const int status = std::system(command.c_str());
  std::map<std::string, double> counts;
  if (status != 0) {
    std::fprintf(stderr, "tarvo-bench: `%s` failed (status %d); is valgrind installed?\n",
                 command.c_str(), status);
    fs::remove_all(folder);
    return counts;
  }
  const std::string trigger = "desc: Trigger: Client Request: ";
  for (const fs::directory_entry& dump : fs::directory_iterator(folder)) {
    std::ifstream in(dump.path());
    std::string line, label;
    double total = -1.0;
    while (std::getline(in, line)) {
      if (line.compare(0, trigger.size(), trigger) == 0) label = line.substr(trigger.size());
      if (line.compare(0, 7, "totals:") == 0) total = std::atof(line.c_str() + 7);
    }
    if (!label.empty() && total >= 0.0) counts[label] = total / double(kStateCount);
  }
  fs::remove_all(folder);
  return counts;
}

// ---- the record --------------------------------------------------------------------------------

std::string trim(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t`");
  if (first == std::string::npos) return "";
  const size_t last = s.find_last_not_of(" \t`");
  return s.substr(first, last - first + 1);
}

std::vector<std::string> cells(const std::string& row) {
  std::vector<std::string> out;
  std::stringstream in(row);
  std::string cell;
  std::getline(in, cell, '|');  // before the first bar
  while (std::getline(in, cell, '|'))
    out.push_back(trim(cell));
  return out;
}

// The figures of a record's main table: rows "| class | setup | entry point | instructions |".
std::map<std::string, double> readRecord(const std::string& path, bool* found) {
  std::map<std::string, double> recorded;
  std::ifstream in(path);
  *found = static_cast<bool>(in);
  std::string line;
  bool inTable = false;
  while (std::getline(in, line)) {
    if (line.rfind("| class | setup | entry point |", 0) == 0) {
      inTable = true;
      continue;
    }
    if (inTable && line.rfind("|", 0) != 0) break;
    if (!inTable) continue;
    const std::vector<std::string> c = cells(line);
    if (c.size() < 4) continue;
    char* end = nullptr;
    const double figure = std::strtod(c[3].c_str(), &end);
    if (end == c[3].c_str()) continue;  // the rule under the header, "not built"
    recorded[c[0] + "/" + c[1] + "/" + c[2]] = figure;
  }
  return recorded;
}

std::string figure(double instructions) {
  return std::to_string(static_cast<long long>(std::llround(instructions)));
}

std::string ratio(double a, double b) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f×", a / b);
  return text;
}

std::string recordText(const std::vector<Measurement>& measured,
                       const std::map<std::string, double>& counts,
                       const std::vector<std::string>& notBuilt) {
  std::ostringstream md;
  md << "# Instructions per entry-point call\n\n"
     << "Generated by `scripts/update-instruction-counts.sh` (`tarvo-bench "
        "--record-instructions`);\ndo not edit by hand. `ctest -R instruction_counts` "
        "(`tarvo-bench --check-instructions`) fails\nwhen an entry point takes more than "
     << kTolerancePercent << " % (and more than " << kToleranceInstructions
     << " instructions) past its figure here;\nentry points without a figure are reported and "
        "pass.\n\n"
     << "Counted by valgrind's callgrind (instructions executed, so the machine's load does not "
        "move them),\naveraged over "
     << kStateCount
     << " varied shading states: the benchmarks' eight hits (`host/recording_host.h`), each\n"
        "with 32 `scatterDir` directions over the sphere. Setups are the benchmarks' "
        "(`bench/*_bench.cpp`),\n`default` for classes that register none. A `RecordingHost` with "
        "constant answers serves the host services; its\ninstructions are counted too. The figures "
        "move with "
        "the compiler, its flags and the C library's\nmaths (`exp`, `pow`, `sin`): recorded "
        "with the dev preset (RelWithDebInfo), "
#if defined(__clang__)
     << "clang " << __clang_major__ << "." << __clang_minor__
#elif defined(__GNUC__)
     << "g++ " << __GNUC__ << "." << __GNUC_MINOR__ << "." << __GNUC_PATCHLEVEL__
#endif
     << ".\n\n"
     << "| class | setup | entry point | instructions per call |\n"
     << "|---|---|---|---:|\n";
  for (const Measurement& m : measured) {
    const auto count = counts.find(m.label());
    md << "| " << m.className << " | " << m.setup << " | " << m.entry << " | "
       << (count == counts.end() ? std::string("not built") : figure(count->second)) << " |\n";
  }
  md << "\n## Against the bare kernels\n\n"
     << "The same states, the kernel called alone with the default material's inputs (the "
        "draws with fixed\nrandom numbers, the Ward draw only where the material's `scatter` "
        "draws, the GGX draw with the\nfrosted dielectric's roughness 0.3, the legacy material's "
        "`evaluate` against its glossy and\ndiffuse lobes together, each counted alone with its "
        "own direction test).\n\n"
     << "| entry point | instructions | kernel | kernel instructions | ratio | goal |\n"
     << "|---|---:|---|---:|---:|---:|\n";
  for (const KernelComparison& c : kComparisons) {
    for (const char* setup : c.setups) {
      for (const char* entryName : {"evaluate", "scatter"}) {
        const bool evaluates = std::strcmp(entryName, "evaluate") == 0;
        std::string kernelName = evaluates ? c.evaluateKernel : c.scatterKernel;
        const std::string label = std::string(c.className) + "/" + setup + "/" + entryName;
        const auto entry = counts.find(label);
        auto kernel = counts.find(kernelLabel(kernelName));
        double kernelCount = kernel == counts.end() ? 0.0 : kernel->second;
        if (evaluates && c.evaluateSecondKernel != nullptr) {
          const auto second = counts.find(kernelLabel(c.evaluateSecondKernel));
          if (second == counts.end()) kernel = counts.end();
          kernelCount += second == counts.end() ? 0.0 : second->second;
          kernelName += std::string(" + ") + c.evaluateSecondKernel;
        }
        const bool both = entry != counts.end() && kernel != counts.end();
        md << "| " << label << " | "
           << (entry == counts.end() ? std::string("not built") : figure(entry->second)) << " | "
           << kernelName << " | "
           << (kernel == counts.end() ? std::string("not built") : figure(kernelCount)) << " | "
           << (both ? ratio(entry->second, kernelCount) : std::string("-")) << " | at most "
           << ratio(kKernelGoal, 1.0) << " |\n";
      }
    }
  }
  md << "\n" << kAboveGoal;
  if (!notBuilt.empty()) {
    md << "\nNot built yet (no parameters declared, not measured):";
    for (size_t i = 0; i < notBuilt.size(); ++i)
      md << (i ? ", " : " ") << "`" << notBuilt[i] << "`";
    md << ".\n";
  }
  return md.str();
}

// ---- the modes ---------------------------------------------------------------------------------

struct Arguments {
  const char* mode = nullptr;
  const char* file = nullptr;
};

Arguments parse(int argc, char** argv) {
  Arguments a;
  for (int i = 1; i < argc; ++i) {
    for (const char* mode : {kCountMode, kCheckMode, kRecordMode, kMeasureMode, kDumpMode}) {
      if (std::strcmp(argv[i], mode) == 0) {
        a.mode = mode;
        if (i + 1 < argc) a.file = argv[i + 1];
      }
    }
  }
  return a;
}

}  // namespace

bool wantsInstructionCounts(int argc, char** argv) {
  return parse(argc, argv).mode != nullptr;
}

int runInstructionCounts(int argc, char** argv) {
  const Arguments args = parse(argc, argv);
  if (std::strcmp(args.mode, kMeasureMode) == 0) return measureUnderCallgrind();
  const bool check = std::strcmp(args.mode, kCheckMode) == 0;
  const bool record = std::strcmp(args.mode, kRecordMode) == 0;
  const bool dump = std::strcmp(args.mode, kDumpMode) == 0;
  if ((check || record || dump) && args.file == nullptr) {
    std::fprintf(stderr, "tarvo-bench: %s needs the record's file name\n", args.mode);
    return 2;
  }
  if (dump) return dumpOutputs(args.file);

  std::vector<Measurement> measured;
  std::vector<std::string> notBuilt;
  forEachMeasurement([&](const Measurement& m, const Pass&) { measured.push_back(m); }, &notBuilt);
  const std::map<std::string, double> counts = countUnderValgrind(argv[0]);
  if (counts.empty()) return 2;

  bool found = false;
  const std::map<std::string, double> recorded =
      check ? readRecord(args.file, &found) : std::map<std::string, double>{};
  if (check && !found) {
    std::fprintf(stderr, "tarvo-bench: cannot read the record %s\n", args.file);
    return 2;
  }

  int over = 0, unrecorded = 0;
  std::printf("%-56s %12s %12s %8s\n", "entry point", "instructions", "recorded", "change");
  for (const Measurement& m : measured) {
    const std::string label = m.label();
    const auto count = counts.find(label);
    if (count == counts.end()) {
      std::printf("%-56s %12s\n", label.c_str(), "not built");
      continue;
    }
    const double now = count->second;
    const auto before = recorded.find(label);
    if (!check) {
      std::printf("%-56s %12.1f\n", label.c_str(), now);
    } else if (before == recorded.end()) {
      ++unrecorded;
      std::printf("%-56s %12.1f %12s %8s  no recorded figure\n", label.c_str(), now, "-", "-");
    } else {
      const double allowed = std::max(before->second * (1.0 + kTolerancePercent / 100.0),
                                      before->second + kToleranceInstructions);
      const bool grew = now > allowed;
      over += grew ? 1 : 0;
      const double change = 100.0 * (now - before->second) / std::max(before->second, 1.0);
      std::printf("%-56s %12.1f %12.0f %+7.1f%%%s\n", label.c_str(), now, before->second, change,
                  grew ? "  OVER its recorded figure" : "");
    }
  }
  for (const std::string& name : notBuilt)
    std::printf("%-56s %12s\n", name.c_str(), "not built");

  if (record) {
    std::ofstream out(args.file);
    out << recordText(measured, counts, notBuilt);
    if (!out) {
      std::fprintf(stderr, "tarvo-bench: cannot write %s\n", args.file);
      return 2;
    }
    std::printf("recorded %zu figures in %s\n", counts.size(), args.file);
  }
  if (check) {
    std::printf(
        "%zu entry points and kernels counted, %d over their recorded figure (tolerance %.0f %%), "
        "%d without one (scripts/update-instruction-counts.sh records them)\n",
        counts.size(), over, kTolerancePercent, unrecorded);
  }
  return over == 0 ? 0 : 1;
}

}  // namespace tarvo::bench

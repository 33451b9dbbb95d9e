// Within the ranges a scene uses, every colour, weight, cosine and inverse density an entry point
// writes is finite. The default ranges of parameters, states and host answers are those of
// scene_sampler.h; the table below states, class by class, the parameters whose scene range
// differs from them (an index of refraction is not in [0, 1], a mode takes the codes of its
// table). A class with no entry uses the defaults for every parameter.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "tests/support/scene_sampler.h"
#include "tests/support/shading_contract.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

struct ClassRanges {
  std::string_view className;
  std::vector<ParameterRange> ranges;
};

// The ambient-occlusion and masking group most materials share: its mode tables and a
// repeat count around the cylinder.
const std::vector<ParameterRange> kAoMaskingRanges = {
    {"ambientOcclusionMode", 0, 2}, {"maskingMode", -1, 4}, {"maskingAngularRepeat", 1, 8}};

std::vector<ParameterRange> withAoMasking(std::vector<ParameterRange> own) {
  own.insert(own.end(), kAoMaskingRanges.begin(), kAoMaskingRanges.end());
  return own;
}

// The Ward family's mode tables (procedural bump 0 to 7, image fade 0 to 4), an index of
// refraction, a rotation in radians, the anisotropy ratio, tiling and the curve exponent.
std::vector<ParameterRange> withWardSurface(std::vector<ParameterRange> own) {
  const ParameterRange ward[] = {{"u_procedureMapEnable", 0, 7},
                                 {"u_procedureMapTiling", 0, 10},
                                 {"u_imageFadeEnable", 0, 4},
                                 {"u_anisotropyValue", 0, 4},
                                 {"u_anisoRotationValue", 0, 6.2831853f},
                                 {"u_brdfCurvePower", 0, 10},
                                 {"u_ior", 1, 3}};
  own.insert(own.end(), std::begin(ward), std::end(ward));
  return withAoMasking(own);
}

// A network variant: the Ward surface group and, for every node parameter it declares, the
// scene range of that node parameter (by its name's last part): noise types 0 to 3, sizes and
// brick dimensions that place a few features in a unit, up to 8 octaves, tile counts, edits and
// holes a wall has.
std::vector<ParameterRange> withWardNetwork(const char* className) {
  static const struct {
    const char* suffix;
    float low, high;
  } nodeRanges[] = {
      {"_type", 0, 3},           {"_size", 0.1f, 10},       {"_levels", 0, 8},
      {"_phase", -10, 10},       {"_verticalCount", 1, 20}, {"_horizontalCount", 1, 20},
      {"_randomSeed", 0, 1000},  {"_changeRow", 0, 2},      {"_perRow", -1, 4},
      {"_changeColumn", 0, 2},   {"_perColumn", -1, 4},     {"_holes", 0, 10},
      {"_brickHeight", 0.5f, 2}, {"_brickWidth", 0.5f, 2},  {"_amount", 0, 2}};
  static std::set<std::string> names;  // the views below point into it
  std::vector<ParameterRange> own;
  const host::BoundShader shader = makeShader(className);
  for (const host::ParameterRecord& p : shader.table().parameters()) {
    if (p.name.rfind("_ward_", 0) != 0) continue;
    for (const auto& r : nodeRanges) {
      const std::string suffix = r.suffix;
      if (p.name.size() > suffix.size() &&
          p.name.compare(p.name.size() - suffix.size(), suffix.size(), suffix) == 0) {
        own.push_back({*names.insert(p.name).first, r.low, r.high});
      }
    }
  }
  return withWardSurface(own);
}

const std::vector<ClassRanges>& sceneRanges() {
  // Light ranges reach 10000 units; attenuation factors are a distance and an exponent.
  const std::vector<ParameterRange> lightRanges = {{"range", 0, 10000},
                                                   {"attenuationFactors", 0, 4}};
  static const std::vector<ClassRanges> table = {
      {"BackgroundGeometry",
       {{"diffuseMode", -1, 5},
        {"specularMode", -1, 5},
        {"bumpMode", -1, 5},
        {"diffuseAngularRepeat", 1, 8},
        {"shadowIntensity", 0, 1},
        {"globalIBLContrastValue", 0, 2},
        {"globalIBLSatValue", 0, 2},
        {"diffuseTextureSatValue", 0, 2},
        {"globalIBLGainValue", 0, 4},
        {"diffuseTextureGainValue", 0, 4}}},
      {"VesmarLegacy", withAoMasking({{"diffuseMode", -1, 4},
                                      {"specularMode", -1, 4},
                                      {"transparencyMode", -1, 4},
                                      {"bumpMode", -1, 4},
                                      {"diffuseAngularRepeat", 1, 8},
                                      {"specularAngularRepeat", 1, 8},
                                      {"transparencyAngularRepeat", 1, 8},
                                      {"bumpAngularRepeat", 1, 8},
                                      {"bumpDepth", 0, 2},
                                      {"reflectType", 0, 2},
                                      {"fresnel", 0, 5},
                                      {"clearCoat_fresnel", 0, 5},
                                      {"refractiveIndex", 1, 3},
                                      {"simulatedThickness", 0, 2},
                                      {"IBLDiffMode", -1, 2},
                                      {"IBLSpecMode", -1, 2},
                                      {"absorbanceRGB", -1, 2},
                                      {"globalIBLContrastValue", 0, 2},
                                      {"globalIBLSatValue", 0, 2},
                                      {"reflectIBLChannelSatValue", 0, 2}})},
      {"XRite", withAoMasking({{"fresnel", 0, 5},
                               {"maxFlakes", 0, 16},
                               {"flakeFactor", 0, 8},
                               {"flakeSize", 0.0005f, 0.01f},
                               {"specIntensity", 0, 4},
                               {"diffIntensity", 0, 4}})},
      {"qvPointLight", lightRanges},
      {"qvSpotLight", lightRanges},
      {"quarra_Env_Backplate",
       {{"backgroundMode", 0, 4},
        {"globalIBLGainValue", 0, 4},
        {"backplateGainValue", 0, 4},
        {"backplateCloseUp", 0.1f, 10},
        {"backplateHorizon", -1, 1},
        {"camerawindowsize", 0.1f, 4},
        {"uv_scale", 0, 4},
        {"uv_offset", -1, 1},
        {"render_size", -1, 4096},
        {"viewport_size", -1, 4096}}},
      {"quarra_Env_Default",
       {{"reflectIBLGainMode", 0, 2},
        {"reflectIBLContrast", 0, 2},
        {"reflectIBLGain", 0, 4},
        {"reflectIBLSaturation", 0, 2}}},
      {"quarra_Mtl_AmbientOnly", withAoMasking({})},
      {"quarra_Mtl_Dielectric", withAoMasking({{"u_ior", 1, 3},
                                               {"u_procedureMapEnable", 0, 1},
                                               {"u_procedureMapTiling", 0, 10},
                                               {"u_normal0UVScale", 0, 4},
                                               {"u_absorptionCoef", 0, 4}})},
      {"quarra_Mtl_Glazing", withAoMasking({{"u_level", 1, 8}})},
      {"quarra_Mtl_Metal", withAoMasking({{"u_cutoutsSwitcher", -1, 9},
                                          {"u_bumpSwitcher", 0, 2},
                                          {"u_reflectSwitcher", -1, 5},
                                          {"u_anisoSwitcher", -1, 5},
                                          {"u_anisoRotSwitcher", -1, 5},
                                          {"u_flecksSize", 0.01f, 1},
                                          {"u_flecksDensity", 0, 8},
                                          {"u_cutoutsSize", 0, 2},
                                          {"u_cutoutsSpace", 0, 2},
                                          {"u_anisotropyValue", 0, 4},
                                          {"u_anisoRotationValue", 0, 6.2831853f},
                                          {"u_brdfCurvePower", 0, 10},
                                          {"u_uvScale", 0, 4},
                                          {"u_otherScale", 0, 4},
                                          {"u_uvDefScale", 0, 4},
                                          {"u_noiseanodized_tiling", 0, 10}})},
      {"quarra_Mtl_MetallicPaint", withAoMasking({{"u_pearl", 0, 2},
                                                  {"u_finish", 0, 2},
                                                  {"u_pearlIor", 0, 2},
                                                  {"u_baseBiasFactor", 0, 4},
                                                  {"u_baseCurvePower", 0, 10},
                                                  {"u_flecksSize", 0.005f, 1}})},
      {"quarra_Mtl_Mirror", withAoMasking({})},
      {"quarra_Mtl_NormalsOnly", {}},
      {"quarra_Mtl_ShadowPlane", {}},
      {"quarra_Mtl_Solid", {{"patchState", 0, 2}}},
      {"quarra_Mtl_Unlit", {}},
      {"quarra_Mtl_Ward", withWardSurface({})},
      {"quarra_Mtl_Ward_120b7820", withWardNetwork("quarra_Mtl_Ward_120b7820")},
      {"quarra_Mtl_Ward_33632204", withWardNetwork("quarra_Mtl_Ward_33632204")},
      {"quarra_Mtl_Ward_5592d496", withWardNetwork("quarra_Mtl_Ward_5592d496")},
      {"quarra_Mtl_Ward_5ba0bfff", withWardNetwork("quarra_Mtl_Ward_5ba0bfff")},
      {"quarra_Mtl_Ward_82261344", withWardNetwork("quarra_Mtl_Ward_82261344")},
      {"quarra_Mtl_Ward_aa598cb4", withWardNetwork("quarra_Mtl_Ward_aa598cb4")},
      {"quarra_Mtl_Ward_b9aac246", withWardNetwork("quarra_Mtl_Ward_b9aac246")},
      {"quarra_Mtl_Ward_ccb3a2e6", withWardNetwork("quarra_Mtl_Ward_ccb3a2e6")},
      {"quarra_Mtl_Ward_f05db29e", withWardNetwork("quarra_Mtl_Ward_f05db29e")},
  };
  return table;
}

constexpr int kScenesPerClass = 300;

// The output fields an entry point may write, as (name, first float, float count).
struct OutputFloats {
  const char* name;
  const float* values;
  int count;
};

std::vector<OutputFloats> writtenFloats(const pvx::ShadingState& s) {
  std::vector<OutputFloats> fields = {
      {"Ci", &s.Ci.x, 4},
      {"shadowT", &s.shadowT.x, 3},
      {"scatterWeight", &s.scatterWeight.x, 3},
      {"scatterCos", &s.scatterCos, 1},
      {"scatterInvPdf", &s.scatterInvPdf, 1},
      {"lightColor", &s.lightColor.x, 3},
      {"lightT", &s.lightT.x, 3},
  };
  // A direction matters only when the host is to trace it.
  if (s.scatterKind != pvx::kRayNone) fields.push_back({"scatterDir", &s.scatterDir.x, 3});
  return fields;
}

TEST(FiniteResults, RangeTableCoversTheCatalogueAndNamesDeclaredParameters) {
  std::set<std::string_view> classes;
  for (const ClassRanges& row : sceneRanges()) {
    EXPECT_TRUE(classes.insert(row.className).second) << row.className << " has two rows";
    ASSERT_NE(pvx::findCatalogueEntry(row.className), nullptr) << row.className;
    const host::BoundShader shader = makeShader(row.className);
    for (const ParameterRange& range : row.ranges) {
      EXPECT_NE(shader.table().find(range.name), nullptr)
          << row.className << " declares no parameter `" << range.name << "`";
      EXPECT_LE(range.low, range.high) << row.className << " " << range.name;
    }
  }
  EXPECT_EQ(classes.size(), size_t(pvx::kCatalogueSize));
}

TEST(FiniteResults, SceneRangeInputsGiveFiniteColoursWeightsAndDensities) {
  for (const ClassRanges& row : sceneRanges()) {
    SCOPED_TRACE(std::string(row.className));
    host::BoundShader shader = makeShader(row.className);
    std::set<std::string> reported;  // one failure per entry point and field is enough
    for (int scene = 0; scene < kScenesPerClass; ++scene) {
      Rng rng(1000003u * uint64_t(scene + 1) + uint64_t(pvx::findCatalogueIndex(row.className)));
      host::TextureSet textures;
      host::HostAnswers answers;
      sampleAnswers(rng, &answers, &textures);
      sampleParameters(rng, shader.get(), shader.table(), row.ranges, &textures);
      const pvx::ShadingState state = sampleState(rng, shader.table());
      host::RecordingHost host(host::HostPolicy::Cycling, answers);
      for (Entry entry : kEntries) {
        if (!hasEntry(shader.kind(), entry)) continue;
        pvx::ShadingState shaded = state;
        host.rewind();
        callEntry(shader.get(), entry, &host, &shaded);
        for (const OutputFloats& field : writtenFloats(shaded)) {
          for (int i = 0; i < field.count; ++i) {
            if (std::isfinite(field.values[i])) continue;
            const std::string key = std::string(entryName(entry)) + " " + field.name;
            if (reported.insert(key).second) {
              ADD_FAILURE() << key << "[" << i << "] is " << field.values[i] << " in scene "
                            << scene;
            }
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace tarvo::test

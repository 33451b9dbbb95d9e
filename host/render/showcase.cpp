#include "host/render/showcase.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>

#include "host/render/scene_file.h"

namespace tarvo::render {

namespace {

using nlohmann::json;

bool declares(const host::BoundShader& shader, const char* name) {
  return shader.table().find(name) != nullptr;
}

// A colour for the i-th sphere: neighbours far apart on the hue circle from red through blue to
// violet, never the magenta the host pre-fills with (a sphere in it would read as a class
// that writes nothing).
std::vector<float> hue(size_t i) {
  constexpr float kGolden = 0.618034f, kLastHue = 4.3f;  // of 6: violet, short of magenta
  const float h = std::fmod(static_cast<float>(i) * kGolden, 1.0f) * kLastHue;
  const float x = 1.0f - std::fabs(std::fmod(h, 2.0f) - 1.0f);
  float r = 0, g = 0, b = 0;
  switch (static_cast<int>(h) % 6) {
    case 0:
      r = 1, g = x;
      break;
    case 1:
      r = x, g = 1;
      break;
    case 2:
      g = 1, b = x;
      break;
    case 3:
      g = x, b = 1;
      break;
    case 4:
      r = x, b = 1;
      break;
    default:
      r = 1, b = x;
      break;
  }
  // Pastel, so that no channel is black.
  return {0.15f + 0.65f * r, 0.15f + 0.65f * g, 0.15f + 0.65f * b};
}

// A sphere of the showcase: "Class" or "Class (preset)" for a class shown in several guises.
std::string classOf(const std::string& entry) {
  return entry.substr(0, entry.find(" ("));
}
std::string presetOf(const std::string& entry) {
  const size_t open = entry.find(" (");
  return open == std::string::npos ? "" : entry.substr(open + 2, entry.size() - open - 3);
}

constexpr const char* kMaterialPrefix = "quarra_Mtl_";

// The Ward material's guises, each with a reflectivity curve from 0.04 head-on to 1 at grazing.
const char* const kWardPresets[] = {"plastic", "brushed metal", "glass"};

void setWardPreset(const std::string& preset, const std::vector<float>& colour,
                   const std::function<void(const char*, json)>& set) {
  set("u_brdfCurvePower", 5.0);
  set("u_brdf00Reflectivity", 0.04);
  set("u_brdf90Reflectivity", 1.0);
  if (preset == "brushed metal") {
    // Copper coloured reflection, stretched along the tangent.
    set("u_isMetal", true);
    set("u_diffuseColor", {0.95, 0.64, 0.54});
    set("u_brdf00Reflectivity", 0.6);
    set("u_roughValue", 0.05);
    set("u_anisotropyValue", 6.0);
    set("u_reflectGlossyValue", 0.3);
  } else if (preset == "glass") {
    set("u_diffuseColor", {0.9, 0.95, 1.0});
    set("u_transparency", true);
    set("u_transparencyValue", 1.0);
    set("u_ior", 1.5);
    set("u_roughValue", 0.02);
  } else {
    set("u_diffuseColor", colour);
    set("u_roughValue", 0.08);
  }
}

// The legacy material's guises: each projection of its texture channels showing the host's
// checkerboard on one sphere, a two-lobe clear coat, a thin glass slab, and reflections from the
// override image.
const char* const kLegacyPresets[] = {"uv",         "planar",     "box",     "cylinder",
                                      "clear coat", "slab glass", "override"};

void setLegacyPreset(const std::string& preset, const std::vector<float>& colour, const json& sky,
                     const std::function<void(const char*, json)>& set) {
  set("transparencyColor", {0.0, 0.0, 0.0});
  set("useUniformReflectivity", false);
  set("fresnel", {0.03, 0.5, 5.0, 0.5});
  set("specularREG", {0.3, 0.35, 1.0});
  set("reflectType", 1);
  // Scaled by 1.1 about the sphere's centre into the image's unit square.
  const double s = 1.1;
  const json box = {s, 0, 0, 0, 0, s, 0, 0, 0, 0, s, 0, 0.5, 0.5, 0.5, 1};
  const std::map<std::string, int> modes = {{"uv", 1}, {"planar", 2}, {"box", 3}, {"cylinder", 4}};
  if (const auto mode = modes.find(preset); mode != modes.end()) {
    set("diffuseMode", mode->second);
    set("diffuseTexture", {{"generated", "checker"}});
    set("diffuseUVMatrix", {4, 0, 0, 0, 2, 0, 0, 0, 1});
    // The planar projection looks along y, towards the camera: (x, z) of the object.
    set("diffuseTextureMatrix",
        preset == "planar" ? json{s, 0, 0, 0, 0, 0, s, 0, 0, s, 0, 0, 0.5, 0.5, 0.5, 1} : box);
    set("diffuseAngularRepeat", 4.0);
    set("triplanarXY", true);
  } else if (preset == "clear coat") {
    set("diffuseColor", {colour[0] * 0.4, colour[1] * 0.4, colour[2] * 0.4});
    set("fresnel", {0.05, 0.3, 5.0, 0.35});
    set("reflectType", 0);
    set("specularREG", {0.6, 0.45, 1.0});
    set("specular2Color", {1.0, 1.0, 1.0});
    set("specular2REG", {0.9, 0.12, 1.0});
    set("clearCoat_fresnel", {0.2, 0.8, 5.0, 1.0});
    set("surfaceRoughness", 0.1);
  } else if (preset == "slab glass") {
    set("diffuseColor", {0.02, 0.02, 0.02});
    set("transparencyColor", {0.8, 0.9, 0.85});
    set("simulatedThickness", 0.05);
    // Green glass: red and blue are absorbed on the way through the sphere.
    set("absorbanceRGB", {0.8, 0.1, 0.5});
    set("fresnel", {0.04, 0.96, 5.0, 1.0});
    set("specular2Color", {0.0, 0.0, 0.0});
  } else if (preset == "override") {
    set("diffuseColor", {0.05, 0.05, 0.05});
    set("useUniformReflectivity", true);
    set("reflectivityColor", {0.85, 0.85, 0.85});
    set("useReflectOverride", true);
    set("reflectOverride", sky);
    set("globalIBLContrastValue", 1.2);
    set("globalIBLContrastPivot", {0.5, 0.5, 0.5});
    set("globalIBLSatValue", 0.7);
    set("specular2Color", {0.0, 0.0, 0.0});
  }
}

// The metal's guises: brushed along the tangent, weathered copper, flecked, and a perforated
// sheet whose holes show what lies behind it.
const char* const kMetalPresets[] = {"brushed", "patina", "flecked", "perforated"};

void setMetalPreset(const std::string& preset, const std::function<void(const char*, json)>& set) {
  set("u_brdfCurvePower", 5.0);
  set("u_brdf00Reflectivity", 0.7);
  set("u_diffuseColor", {0.15, 0.15, 0.16});
  set("u_specularColor", {0.95, 0.93, 0.9});
  set("u_roughValue", 0.1);
  if (preset == "brushed") {
    set("u_roughValue", 0.08);
    set("u_anisotropyValue", 5.0);
    set("u_glossyValueU", 0.05);
    set("u_glossyValueV", 0.4);
  } else if (preset == "patina") {
    set("u_diffuseColor", {0.3, 0.12, 0.06});
    set("u_specularColor", {0.95, 0.64, 0.54});
    set("u_brdf00Reflectivity", 0.6);
    set("u_roughValue", 0.05);
    set("u_patinaEnable", true);
    set("n_patinaPercent", 0.35);
    set("u_patinaColor", {0.1, 0.8, 0.55});
    set("u_uvScale", 20.0);
    set("u_patinaGlossy", 0.4);
    set("u_patinaBrdf00Reflectivity", 0.04);
  } else if (preset == "flecked") {
    set("u_diffuseColor", {0.05, 0.08, 0.2});
    set("u_brdf00Reflectivity", 0.04);
    set("u_roughValue", 0.2);
    set("u_flecksEnable", true);
    set("u_flecksSize", 0.03);
    set("u_flecksDiffuseColor", {1.0, 1.0, 1.0});
    set("u_flecksSpecularColor", {1.0, 0.9, 0.6});
  } else if (preset == "perforated") {
    set("u_cutoutsSwitcher", 1);
    set("u_otherScale", 12.0);
    set("u_cutoutsSize", 0.6);
    set("u_cutoutsSpace", 0.4);
  }
}

// The metallic paint's guises, each under its clear coat: a solid red whose coat reflects the
// sky, a blue metallic whose flecks sparkle and whose colour flops darker towards the rim, and
// a white pearl that turns violet towards the terminator, with a green hue shift face-on and a
// faint orange peel.
const char* const kPaintPresets[] = {"solid", "metallic", "pearl"};

void setPaintPreset(const std::string& preset, const std::function<void(const char*, json)>& set) {
  set("u_topcoatEnable", true);
  set("u_baseCurvePower", 5.0);
  set("u_base00Reflectivity", 0.05);
  set("u_baseRoughValue", 0.3);
  if (preset == "solid") {
    set("u_baseColor", {0.75, 0.05, 0.04, 1.0});
    set("u_baseHighlightSpread", 0.5);
  } else if (preset == "metallic") {
    set("u_baseColor", {0.1, 0.25, 0.75, 1.0});
    set("u_base00Reflectivity", 0.25);
    set("u_baseCurvePower", 3.0);
    set("u_baseRoughValue", 0.06);
    set("u_baseHighlightSpread", 0.8);
    set("u_baseBiasFactor", 2.0);
    set("u_flecksEnable", true);
    set("u_flecksSize", 0.01);
    set("u_flecksColor", {1.0, 0.95, 0.85, 1.0});
  } else if (preset == "pearl") {
    set("u_baseColor", {0.85, 0.85, 0.8, 1.0});
    set("u_pearl", 1);
    set("u_pearlColor", {0.6, 0.25, 0.95, 1.0});
    set("u_pearlIor", 1.5);
    set("u_pearlAmount", 1.0);
    set("u_baseHighlightSpread", 0.9);
    set("u_baseBiasFactor", 3.0);
    set("u_shiftedColor", {0.2, 0.6, 0.35});
    set("u_hueWeight", 0.25);
    set("u_finish", 1);
    set("u_finishPeelamount", 0.05);
  }
}

// The Ward network variants with every network they have switched on, so that the nodes show
// what they do: brick walls from Tile with bitmap brick and mortar colours, noise blends of two
// colours or two bitmaps, ridges from a bitmap height field (let through where a noise says so
// when the bump is a noise), stripes cut out by a bitmap. Pictures are small texel images.
json scaleXform(float s, float t) {
  return {s, 0, 0, 0, 0, t, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

json texelImage(const std::vector<std::vector<float>>& rgb, int width) {
  json texels = json::array();
  for (const std::vector<float>& c : rgb)
    texels.push_back({c[0], c[1], c[2], 1.0});
  return {{"texels", texels}, {"width", width}, {"wrap", "periodic"}};
}

bool endsWith(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

void setWardNetworkPreset(const host::BoundShader& shader, const std::vector<float>& colour,
                          const std::function<void(const char*, json)>& set) {
  const json bricks = texelImage({{0.55f, 0.2f, 0.12f},
                                  {0.45f, 0.16f, 0.1f},
                                  {0.6f, 0.27f, 0.16f},
                                  {0.5f, 0.22f, 0.15f},
                                  {0.42f, 0.18f, 0.12f},
                                  {0.58f, 0.25f, 0.14f},
                                  {0.5f, 0.19f, 0.11f},
                                  {0.62f, 0.3f, 0.2f},
                                  {0.48f, 0.2f, 0.13f}},
                                 3);
  const json mortar = texelImage({{0.6f, 0.58f, 0.54f}, {0.5f, 0.49f, 0.46f}}, 2);
  const json ridges = texelImage({{0, 0, 0}, {0.4f, 0.4f, 0.4f}, {1, 1, 1}, {0.4f, 0.4f, 0.4f}}, 4);
  const json stripes = texelImage({{1, 1, 1}, {1, 1, 1}, {0, 0, 0}}, 3);
  const std::vector<float> dark = {colour[0] * 0.35f, colour[1] * 0.35f, colour[2] * 0.35f};
  const std::vector<float> light = {0.5f + 0.5f * colour[0], 0.5f + 0.5f * colour[1],
                                    0.5f + 0.5f * colour[2]};
  const json swatch1 = texelImage({colour, light}, 2);
  const json swatch2 = texelImage({dark, {0.9f, 0.88f, 0.82f}}, 2);
  bool diffuse = false, bump = false, cutout = false;
  for (const host::ParameterRecord& p : shader.table().parameters()) {
    const std::string& n = p.name;
    if (n.rfind("_ward_", 0) != 0) continue;
    const bool normal = n.rfind("_ward_normal0_map", 0) == 0;
    const bool cut = n.rfind("_ward_cutout_map", 0) == 0;
    diffuse = diffuse || n.rfind("_ward_diffuse_color", 0) == 0;
    bump = bump || normal;
    cutout = cutout || cut;
    const char* name = n.c_str();
    if (endsWith(n, "_texture")) {
      if (n.find("brickColor") != std::string::npos) {
        set(name, bricks);
      } else if (n.find("mortarColor") != std::string::npos) {
        set(name, mortar);
      } else if (normal) {
        // A noise between ridges and nothing: ridges where the noise says.
        if (n.find("color2_UnifiedBitmap") == std::string::npos) set(name, ridges);
      } else if (cut) {
        set(name, stripes);
      } else {
        set(name, n.find("color1_UnifiedBitmap") != std::string::npos ? swatch1 : swatch2);
      }
    } else if (endsWith(n, "_xform")) {
      if (endsWith(n, "_Tile_xform")) {
        set(name, scaleXform(3, 2));
      } else if (normal && endsWith(n, "_UnifiedBitmap_xform")) {
        set(name, scaleXform(24, 1));
      } else if (cut) {
        set(name, scaleXform(8, 1));
      }
    } else if (endsWith(n, "_Noise_type")) {
      set(name, 1);
    } else if (endsWith(n, "_Noise_size")) {
      set(name, 0.12);
    } else if (endsWith(n, "_Noise_levels")) {
      set(name, 4.0);
    } else if (endsWith(n, "_Noise_thresholdLow")) {
      set(name, 0.42);
    } else if (endsWith(n, "_Noise_thresholdHigh")) {
      set(name, 0.58);
    } else if (endsWith(n, "_Noise_color1")) {
      set(name, {colour[0], colour[1], colour[2], 1.0});
    } else if (endsWith(n, "_Noise_color2")) {
      set(name, {dark[0], dark[1], dark[2], 1.0});
    } else if (endsWith(n, "_colorVariance")) {
      set(name, 0.25);
    } else if (endsWith(n, "_fadeVariance")) {
      set(name, 0.1);
    } else if (endsWith(n, "_edgeRoughness")) {
      set(name, 0.3);
    } else if (endsWith(n, "_randomShift")) {
      set(name, 0.1);
    }
  }
  set("u_diffuseMapEnable", diffuse);
  set("u_normal0MapEnable", bump);
  set("u_normal0Amount", 0.8);
  set("u_cutoutMapEnable", cutout);
}

// The dielectric's guises: clear glass, frosted (rough) glass, and coloured glass whose
// absorption shows thick (centre) and thin (rim) parts of the sphere.
const char* const kDielectricPresets[] = {"clear glass", "frosted glass", "coloured glass"};

void setDielectricPreset(const std::string& preset,
                         const std::function<void(const char*, json)>& set) {
  set("u_reflectance", 0.05);
  if (preset == "frosted glass") {
    set("u_roughValue", 0.25);
    set("u_glossyValue", 0.35);
  } else if (preset == "coloured glass") {
    set("u_falloffEnable", true);
    set("u_absorptionCoef", {0.05, 0.9, 1.6});
  }
}

// Glass shows what stands behind it: an upright light panel with two dark bars, behind the
// object at (x, z), where its refracted and straight-through rays land.
void addBackdrop(json& objects, float x, float z) {
  objects.push_back({{"name", "backdrop panel"},
                     {"type", "plane"},
                     {"size", {1.3, 1.0}},
                     {"material", "backdrop"},
                     {"transform", {{"rotate", {90.0, 0.0, 0.0}}, {"translate", {x, 0.9f, z}}}}});
  for (float dx : {-0.22f, 0.22f}) {
    objects.push_back({{"name", "backdrop bar"},
                       {"type", "box"},
                       {"size", {0.1, 0.04, 0.92}},
                       {"material", "bars"},
                       {"transform", {{"translate", {x + dx, 0.85f, z}}}}});
  }
}

// The measured car paint's guises: the measured grey paint (its defaults), a blue paint with coarse
// flakes, and solid (flakeless) red. Its flakes are the host's generated flake normals.
const char* const kCarPaintPresets[] = {"grey", "blue flakes", "solid red"};

void setCarPaintPreset(const std::string& preset, const json& sky,
                       const std::function<void(const char*, json)>& set) {
  // Lit by cube images of the stage's sky.
  for (const char* cube : {"diffuseCube", "specularCube", "reflectCube"})
    set(cube, sky);
  set("flakeNormalTexture", {{"generated", "flakes"}});
  // A coarser flake grid than the default: at the wall's distance the default's 28 x 28 cells
  // per hit cost most of the showcase's time and look the same (each cell is two environment
  // lookups; 1.0 looks as 1.5 did and halves them again).
  set("flakeFactor", 1.0);
  if (preset == "blue flakes") {
    set("xriteDiffuse", {0.002, 0.004, 0.02});
    set("flakeColor", {0.08, 0.12, 0.3});
    set("flakeColor2", {0.05, 0.08, 0.2});
    set("coarseness", 0.8);
  } else if (preset == "solid red") {
    set("xriteIsSolid", true);
    set("xriteDiffuse", {0.1, 0.005, 0.004});
    set("coarseness", 0.0);
  }
}

// The guises a class is shown in, one sphere each; none: one sphere as the class stands.
std::vector<const char*> presetsOf(const std::string& className) {
  if (className == "quarra_Mtl_Ward") return {std::begin(kWardPresets), std::end(kWardPresets)};
  if (className == "quarra_Mtl_Metal") return {std::begin(kMetalPresets), std::end(kMetalPresets)};
  if (className == "quarra_Mtl_Dielectric")
    return {std::begin(kDielectricPresets), std::end(kDielectricPresets)};
  if (className == "VesmarLegacy") return {std::begin(kLegacyPresets), std::end(kLegacyPresets)};
  if (className == "quarra_Mtl_MetallicPaint")
    return {std::begin(kPaintPresets), std::end(kPaintPresets)};
  if (className == "XRite") return {std::begin(kCarPaintPresets), std::end(kCarPaintPresets)};
  return {};
}

// What each Ward network variant shows with its networks switched on (setWardNetworkPreset).
const std::map<std::string, const char*> kNetworkLabels = {
    {"quarra_Mtl_Ward_120b7820", "noise colour"},   {"quarra_Mtl_Ward_33632204", "nested noises"},
    {"quarra_Mtl_Ward_5592d496", "noise + bump"},   {"quarra_Mtl_Ward_5ba0bfff", "flat noise bump"},
    {"quarra_Mtl_Ward_82261344", "noise, cut-out"}, {"quarra_Mtl_Ward_aa598cb4", "noisy bump"},
    {"quarra_Mtl_Ward_b9aac246", "brick noise"},    {"quarra_Mtl_Ward_ccb3a2e6", "bitmap noise"},
    {"quarra_Mtl_Ward_f05db29e", "bricks + bump"},
};

// At most two lines, so that a label stays in the gap above the next row: the class without
// the material family's prefix (the caption says so), then its preset or what its networks
// show.
std::string labelOf(const std::string& entry) {
  const std::string className = classOf(entry);
  std::string text = className;
  if (text.rfind(kMaterialPrefix, 0) == 0) text.erase(0, std::strlen(kMaterialPrefix));
  if (text == "BackgroundGeometry") text.insert(10, "\n");
  const std::string preset = presetOf(entry);
  if (!preset.empty()) text += "\n" + preset;
  if (const auto network = kNetworkLabels.find(className); network != kNetworkLabels.end())
    text += std::string("\n") + network->second;
  return text;
}

// Parameters that make a class look like itself on the stage, set only where declared.
json materialParameters(const host::BoundShader& shader, const std::string& preset, size_t index,
                        const json& sky) {
  json p = json::object();
  const std::vector<float> colour = hue(index);
  const std::string& c = shader.className();
  const std::function<void(const char*, json)> set = [&](const char* name, json value) {
    if (declares(shader, name)) p[name] = std::move(value);
  };
  set("u_diffuseColor", colour);
  set("diffuseColor", colour);
  if (c == "quarra_Mtl_Ward") {
    setWardPreset(preset, colour, set);
  } else if (c.rfind("quarra_Mtl_Ward", 0) == 0) {
    set("u_reflectivity", 0.35);
    set("u_brdfCurvePower", 5.0);
    set("u_brdf00Reflectivity", 0.04);
    set("u_roughValue", 0.12);
    setWardNetworkPreset(shader, colour, set);
  }
  if (c == "quarra_Mtl_Dielectric") setDielectricPreset(preset, set);
  if (c == "quarra_Mtl_Glazing") set("u_refractColor", {0.85, 0.95, 0.9});
  if (c == "quarra_Mtl_AmbientOnly") {
    set("showAmbientOnly", true);
    set("usingRaytracedAO", true);
    set("usePrecalcAO", false);
  }
  if (c == "quarra_Mtl_Solid") set("patchState", 0);
  if (c == "VesmarLegacy") setLegacyPreset(preset, colour, sky, set);
  if (c == "quarra_Mtl_Mirror") set("u_tintColor", {0.95, 0.95, 0.95});
  if (c == "quarra_Mtl_Metal") setMetalPreset(preset, set);
  if (c == "quarra_Mtl_MetallicPaint") setPaintPreset(preset, set);
  if (c == "XRite") setCarPaintPreset(preset, sky, set);
  // Background geometry shows its colour to the camera and the sky to reflections.
  if (c == "BackgroundGeometry") set("reflectLatlong", sky);
  return p;
}

}  // namespace

std::string showcaseSceneText(const host::PluginLibrary& library,
                              const std::vector<std::string>& materials,
                              const ShowcaseOptions& options) {
  json scene;
  scene["title"] = "showcase";
  const size_t n = materials.size();
  // The spheres hang in a wall of rows above the ground, all at one depth, so that every label
  // reads alike; the widest class names need about 1.5 units.
  const int columns =
      std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n) * 1.8))));
  const int rows =
      static_cast<int>((n + static_cast<size_t>(columns) - 1) / static_cast<size_t>(columns));
  const float spacingX = 1.65f, spacingZ = 1.6f, radius = 0.45f, lift = 0.35f;
  const float width = spacingX * static_cast<float>(columns - 1) + 2.0f * radius;
  const float height = spacingZ * static_cast<float>(std::max(1, rows)) + lift;
  const float aspect = static_cast<float>(options.width) / static_cast<float>(options.height);
  const float fov = 30.0f;
  const float tanHalf = std::tan(fov * 0.5f * kPi / 180.0f);
  const float distance =
      std::max((width * 0.5f + 0.6f) / (tanHalf * aspect), (height * 0.5f + 0.7f) / tanHalf);
  const float3 target(0.0f, 0.0f, height * 0.5f);
  const float3 eye = target + float3(0.0f, -distance, distance * 0.18f);
  const float extent = std::max(width, height) * 0.5f + 1.0f;
  scene["camera"] = {{"position", {eye.x, eye.y, eye.z}},
                     {"lookAt", {target.x, target.y, target.z}},
                     {"up", {0.0, 0.0, 1.0}},
                     {"fov", fov}};
  scene["settings"] = {{"width", options.width},
                       {"height", options.height},
                       {"samples", options.samples},
                       {"mode", "shade"},
                       {"maxDepth", 4},
                       {"diffuseDepth", 1},
                       {"aoSamples", 2},
                       {"ambient", {0.0, 0.0, 0.0}}};
  json shaders = json::object();

  // The ground: the Ward material in a neutral grey with a faint sheen.
  const std::string groundClass = "quarra_Mtl_Ward";
  const json groundParameters = {{"u_diffuseColor", {0.5, 0.5, 0.5}}, {"u_reflectivity", 0.05}};
  shaders["ground"] = {{"class", groundClass}, {"parameters", groundParameters}};
  json backdropParameters = groundParameters, barParameters = groundParameters;
  backdropParameters["u_diffuseColor"] = {0.85, 0.83, 0.78};
  barParameters["u_diffuseColor"] = {0.08, 0.1, 0.25};
  shaders["backdrop"] = {{"class", groundClass}, {"parameters", backdropParameters}};
  shaders["bars"] = {{"class", groundClass}, {"parameters", barParameters}};

  json objects = json::array();
  objects.push_back({{"name", "ground"},
                     {"type", "plane"},
                     {"size", {60.0, 60.0}},
                     {"uvScale", {0.5, 0.5}},
                     {"material", "ground"}});
  // The environment image: the one given, or the sky the host makes.
  const json sky = options.environmentImage.empty()
                       ? json{{"generated", "sky"}}
                       : json{{"file", options.environmentImage}, {"wrap", "periodic"}};
  // Labels fit their column: about thirteen characters of the longest line at the wall's depth.
  const float columnPixels = static_cast<float>(options.width) / static_cast<float>(columns + 1);
  const int labelSize = static_cast<int>(
      std::clamp(columnPixels / 9.5f, 9.0f, static_cast<float>(options.height) / 40.0f));
  json labels = json::array();
  for (size_t i = 0; i < n; ++i) {
    const std::string& entry = materials[i];
    const std::string className = classOf(entry);
    host::BoundShader probe(library.create(className), className);
    const std::string name = "m" + std::to_string(i) + "_" + className;
    shaders[name] = {{"class", className},
                     {"parameters", materialParameters(probe, presetOf(entry), i, sky)}};
    const int column = static_cast<int>(i) % columns, row = static_cast<int>(i) / columns;
    const float x = -(width * 0.5f - radius) + spacingX * static_cast<float>(column);
    const float z = lift + radius + spacingZ * static_cast<float>(rows - 1 - row);
    if (className == "quarra_Mtl_Dielectric" || className == "quarra_Mtl_Glazing") {
      addBackdrop(objects, x, z);
    }
    if (className == "quarra_Mtl_Glazing") {
      // Window glass is a pane, with something standing behind it.
      objects.push_back(
          {{"name", entry},
           {"type", "plane"},
           {"size", {2.0f * radius, 2.0f * radius}},
           {"material", name},
           {"transform", {{"rotate", {90.0, 0.0, 0.0}}, {"translate", {x, 0.0f, z}}}}});
      json behind = groundParameters;
      behind["u_diffuseColor"] = hue(i + 1);
      shaders["behind pane"] = {{"class", groundClass}, {"parameters", behind}};
      objects.push_back({{"name", "behind pane"},
                         {"type", "sphere"},
                         {"radius", 0.22},
                         {"material", "behind pane"},
                         {"transform", {{"translate", {x + 0.12f, 0.4f, z - 0.1f}}}}});
    } else {
      objects.push_back({{"name", entry},
                         {"type", "sphere"},
                         {"radius", radius},
                         {"material", name},
                         {"transform", {{"translate", {x, 0.0f, z}}}},
                         // A shadow catcher shows the shadows of others; it casts none itself.
                         {"castsShadows", className != "quarra_Mtl_ShadowPlane"}});
    }
    labels.push_back(
        {{"text", labelOf(entry)}, {"at", {x, -radius, z - radius - 0.16f}}, {"size", labelSize}});
  }

  const float lightHeight = extent * 1.6f;
  shaders["key"] = {{"class", "qvPointLight"}, {"parameters", json::object()}};
  shaders["spot"] = {{"class", "qvSpotLight"}, {"parameters", json::object()}};
  shaders["environment"] = {{"class", "quarra_Env_Default"}, {"parameters", json::object()}};
  shaders["key"]["parameters"] = {{"color", {0.75, 0.72, 0.68}},
                                  {"attenuationFactors", {extent * 12.0f, 2.0, 0.0}}};
  shaders["spot"]["parameters"] = {{"color", {0.9, 0.75, 0.55}},
                                   {"attenuationFactors", {extent * 12.0f, 2.0, 1.0}},
                                   {"cosPenumbra", 0.9},
                                   {"cosUmbra", 0.97}};
  shaders["environment"]["parameters"] = {{"reflectionLatlong", sky},
                                          {"backgroundColor", {0.32, 0.42, 0.55}}};
  scene["shaders"] = shaders;
  scene["objects"] = objects;
  scene["lights"] = json::array({{{"name", "key"},
                                  {"shader", "key"},
                                  {"position", {-extent * 0.8f, -extent * 1.2f, lightHeight}},
                                  {"lookAt", {0.0f, 0.0f, height * 0.4f}}},
                                 {{"name", "spot"},
                                  {"shader", "spot"},
                                  {"position", {extent * 0.7f, -extent * 0.9f, lightHeight}},
                                  {"lookAt", {width * 0.2f, 0.0f, height * 0.3f}}}});
  scene["environment"] = "environment";
  scene["labels"] = labels;
  return scene.dump(2);
}

std::unique_ptr<Scene> makeShowcase(std::shared_ptr<const host::PluginLibrary> library,
                                    const ShowcaseOptions& options) {
  std::vector<std::string> spheres;
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    if (entry.kind != pvx::kKindMaterial) continue;
    const std::vector<const char*> presets = presetsOf(entry.className);
    for (const char* preset : presets)
      spheres.push_back(std::string(entry.className) + " (" + preset + ")");
    if (presets.empty()) spheres.emplace_back(entry.className);
  }
  const std::string text = showcaseSceneText(*library, spheres, options);
  std::unique_ptr<Scene> scene = loadSceneText(text, "showcase", "", library, options.limits);
  scene->labels.push_back({std::string("materials: ") + kMaterialPrefix +
                               "... unless named otherwise   lights: qvPointLight, qvSpotLight   "
                               "environment: quarra_Env_Default",
                           {0.5f, 0.04f, 0.0f},
                           0.0f,
                           true});
  return scene;
}

}  // namespace tarvo::render

// quarra_Mtl_Metal: sheet metal. A diffuse part under an anisotropic Ward glossy lobe, balanced by
// a reflectivity curve from head-on to grazing, with glossy reflections traced through the host,
// metallic flecks, a weathering patina, holes punched through the sheet (procedural patterns or
// a texture), pattern and procedural bumps, and switchers that take the reflection colour and the
// anisotropy rotation from brush, break, bump-colour or anodised-noise maps.
//
// Parameter groups: ambient occlusion and masking; the clipping planes (at most
// kMaxClippingPlanes are tested); flecks; pattern bump; diffuse and specular colours (their map
// members are declared and copied, not read); roughness, traced glossiness, anisotropy and its
// rotation; the reflectivity curve; cut-outs; uv scales; switchers and their maps; anodised
// noise tiling; patina; highlight-only; common tint.
//
// Choices of this library:
// - Members the host always binds get defaults of their own: identity matrices, the Ward
//   material's roughness 0.01, anisotropy 1, curve power 0 and reflectivities 0.1 / 1, white
//   switcher colours and amounts 1, switchers and the cut-out pattern 0, a cut-out grid of
//   0.5-unit holes 0.5 apart centred at 0.5, uv scales, bump and pattern amounts 1, traced
//   glossiness 0, a verdigris patina (0.33, 0.55, 0.46) of roughness 0.3.
// - The procedural bump (`u_bumpSwitcher` 1) is a network of two `Noise` nodes, one for the
//   slope along T and one along B: fractal, 4 levels, size 0.5, thresholds 0 and 1, colours
//   -1 and 1, phases 0 and 2, read at the point (uv x `u_uvScale`, 0).
// - Cut-out pattern 4 unions six soft discs: the centres of the point's cell column and of the
//   neighbouring column on its side, each in the rows below, at and above it. Pattern 6 lays
//   the centres on a hexagonal lattice and makes a hole where the distance to the nearest centre,
//   over the sum of the distances to the two nearest, is below the hole radius; both edges are
//   0.001 wide.
// - The anisotropy switcher's selection is computed and has no effect: the second roughness
//   always comes from `u_anisotropyValue` or its map.
// - The fleck normal offset is computed and not applied to the frame.
// - The anodised noise reads the object-space hit position `Po`, like every `Noise` texture.
// - Local directions are unit vectors even when a procedural bump leaves N longer than 1, so the
//   cosine reported for `u_cosineUsesBump` is the z of the unit local direction.
// - The mixture's density takes the diffuse part at the frame's cosine, the one the
//   cosine-weighted draw follows, whichever cosine `scatterCos` reports.
// - Guards: cells narrower than kMinCellWidth punch no holes, and a cut-out factor that is not
//   a number (a NaN uv or texel) leaves the sheet solid.
#include <cstdint>
#include <initializer_list>

#include "frame/shader_class.h"
#include "shadinglib/fleck_noise.h"
#include "shadinglib/light_samples.h"
#include "shadinglib/lobe_scatter.h"
#include "shadinglib/mapped_inputs.h"
#include "shadinglib/material_prologue.h"
#include "shadinglib/metal_lobe.h"
#include "shadinglib/noise.h"
#include "shadinglib/ray_directions.h"
#include "shadinglib/shading_frame.h"
#include "shadinglib/texture_nodes.h"
#include "shadinglib/ward_lobe.h"

namespace pvx {

#define TARVO_METAL_PARAMETERS(PARAM, VARYING)                                                     \
  TARVO_AO_MASKING_PARAMETERS(PARAM, VARYING)                                                      \
  PARAM(Bool, CaldrinAODisable, false, TARVO_NOTE_CALDRIN_AO_DISABLE)                              \
  TARVO_GLOBAL_CLIPPING_PARAMETERS(PARAM, VARYING)                                                 \
  PARAM(Bool, u_flecksEnable, false, "sprinkle flecks over the surface")                           \
  PARAM(Color, u_flecksDiffuseColor, ::pvx::float3(1.0f),                                          \
        "diffuse colour added where a fleck lies", "[0, 1]")                                       \
  PARAM(Color, u_flecksSpecularColor, ::pvx::float3(1.0f), "reflection colour where a fleck lies", \
        "[0, 1]")                                                                                  \
  PARAM(Float, u_flecksSize, 0.5f, "fleck cell size (the position is divided by it)", "(0, inf)",  \
        "scene units")                                                                             \
  PARAM(Float, u_flecksDensity, 5.5f, "exponent applied to the fleck noise", "[0, inf)")           \
  PARAM(Bool, u_patternEnable, false, "bump the surface with the height map u_patternMap")         \
  PARAM(Texture2D, u_patternMap, {}, "height map of the pattern bump (r + g + b)")                 \
  PARAM(Mat3, u_patternTransform, ::pvx::identity3, "UV transform of u_patternMap")                \
  PARAM(Float, u_patternAmount, 1.0f, "strength of the pattern bump and of the procedural bump")   \
  PARAM(Bool, u_diffuseMapEnable, false,                                                           \
        "kept and copied for the host; the metal does not read it")                                \
  PARAM(Texture2D, u_diffuseMap, {}, "kept and copied for the host; the metal does not read it")   \
  PARAM(Color, u_diffuseColor, ::pvx::float3(0.0f), "diffuse colour under the metal", "[0, 1]")    \
  PARAM(Mat3, u_diffuseTransform, ::pvx::identity3,                                                \
        "kept and copied for the host; the metal does not read it")                                \
  PARAM(Float, u_diffuseWeight, 0.5f,                                                              \
        "added to the diffuse scale when a reflect switcher is active", "[0, 1]")                  \
  PARAM(Bool, u_specularMapEnable, false,                                                          \
        "kept and copied for the host; the metal does not read it")                                \
  PARAM(Texture2D, u_specularMap, {}, "kept and copied for the host; the metal does not read it")  \
  PARAM(Color, u_specularColor, ::pvx::float3(1.0f), "reflection colour of the metal", "[0, 1]")   \
  PARAM(Mat3, u_specularTransform, ::pvx::identity3,                                               \
        "kept and copied for the host; the metal does not read it")                                \
  PARAM(Bool, u_roughMapEnable, false, "take the roughness from u_roughMap")                       \
  PARAM(Texture2D, u_roughMap, {}, "roughness map (red channel)")                                  \
  PARAM(Float, u_roughValue, 0.01f, "roughness along the tangent while the map is off", "(0, 1]")  \
  PARAM(Mat3, u_roughTransform, ::pvx::identity3, "UV transform of u_roughMap")                    \
  PARAM(Float, u_glossyValueU, 0.0f,                                                               \
        "first glossiness handed to the host reflection trace (0 sharp)")                          \
  PARAM(Float, u_glossyValueV, 0.0f,                                                               \
        "second glossiness handed to the host reflection trace (0 sharp)")                         \
  PARAM(Bool, u_anisotropyMapEnable, false, "take the anisotropy from u_anisotropyMap")            \
  PARAM(Texture2D, u_anisotropyMap, {}, "anisotropy map (red channel)")                            \
  PARAM(Float, u_anisotropyValue, 1.0f,                                                            \
        "ratio of the bitangent roughness to the tangent roughness", "(0, inf)")                   \
  PARAM(Mat3, u_anisotropyTransform, ::pvx::identity3, "UV transform of u_anisotropyMap")          \
  PARAM(Bool, u_anisoRotationMapEnable, false,                                                     \
        "take the rotation of the anisotropy from u_anisoRotationMap")                             \
  PARAM(Texture2D, u_anisoRotationMap, {}, "rotation map (red channel, radians)")                  \
  PARAM(Float, u_anisoRotationValue, 0.0f, "rotation of the anisotropy about the normal", nullptr, \
        "radians")                                                                                 \
  PARAM(Mat3, u_anisoRotationTransform, ::pvx::identity3, "UV transform of u_anisoRotationMap")    \
  PARAM(Float, u_brdfCurvePower, 0.0f,                                                             \
        "exponent of the reflectivity curve from facing to grazing incidence", "[0, inf)")         \
  PARAM(Float, u_brdf00Reflectivity, 0.1f, "reflectivity at normal incidence", "[0, 1]")           \
  PARAM(Float, u_brdf90Reflectivity, 1.0f, "reflectivity at grazing incidence", "[0, 1]")          \
  PARAM(Int, u_cutoutsSwitcher, 0, "cut-out pattern",                                              \
        "0 none | 1 round holes, staggered | 2 round holes, square grid | 3 square holes, brick "  \
        "grid | 4 soft round holes | 5 none | 6 hexagonal | 7 u_cutoutMap")                        \
  PARAM(Texture2D, u_cutoutMap, {}, "cut-out map of pattern 7: (r + g + b) / 3, 1 solid, 0 hole")  \
  PARAM(Mat3, u_cutoutTransform, ::pvx::identity3, "UV transform of u_cutoutMap")                  \
  PARAM(Float, u_cutoutsCenter, 0.5f, "offset of the cut-out cell grid")                           \
  PARAM(Float, u_cutoutsSize, 0.5f, "hole size, in grid units", "[0, inf)")                        \
  PARAM(Float, u_cutoutsSpace, 0.5f, "gap between holes, in grid units", "[0, inf)")               \
  PARAM(Float, u_uvScale, 1.0f, "uv scale of the patina noise and of the procedural bump")         \
  PARAM(Float, u_otherScale, 1.0f, "uv scale of the cut-out patterns")                             \
  PARAM(Float, u_uvDefScale, 1.0f, "extra uv scale of the cut-out patterns for shadow rays")       \
  PARAM(Float, u_cutoutAmount, 1.0f, "kept and copied for the host; the metal does not read it")   \
  PARAM(Bool, u_cosineUsesBump, false,                                                             \
        "evaluate and scatter report the cosine to the bumped normal (off: to the unbumped one)")  \
  PARAM(Int, u_bumpSwitcher, 0, "procedural bump", "0 none | 1 procedural")                        \
  PARAM(Float, u_metalPatternScale, 1.0f,                                                          \
        "kept and copied for the host; the metal does not read it")                                \
  PARAM(Int, u_reflectSwitcher, 0,                                                                 \
        "source of the reflection colour (replaces u_specularColor when above 0)",                 \
        "0 off | 1 base colour x bump-colour map | 2 base colour x brush map | 3 the break map | " \
        "4 anodised noise")                                                                        \
  PARAM(Int, u_anisoSwitcher, 0,                                                                   \
        "source of the anisotropy switcher value; computed and without effect (the anisotropy is " \
        "u_anisotropyValue or its map)",                                                           \
        "0 off | 1 base colour x bump-colour map | 2 base colour x brush map | 3 the break map | " \
        "4 anodised noise")                                                                        \
  PARAM(Int, u_anisoRotSwitcher, 0, "source of the anisotropy rotation angle",                     \
        "0 off | 1 base colour x bump-colour map | 2 base colour x brush map | 3 the break map | " \
        "4 anodised noise")                                                                        \
  PARAM(Color, u_anisoColor, ::pvx::float3(1.0f),                                                  \
        "base colour of the anisotropy switcher; without effect")                                  \
  PARAM(Color, u_reflectColor, ::pvx::float3(1.0f), "base colour of the reflect switcher",         \
        "[0, 1]")                                                                                  \
  PARAM(Float, u_reflMapAmount, 1.0f, "multiplier of the reflect switcher result")                 \
  PARAM(Float, u_anisoMapAmount, 1.0f,                                                             \
        "multiplier of the anisotropy switcher result; without effect")                            \
  PARAM(Float, u_anisorotMapAmount, 1.0f,                                                          \
        "multiplier of the rotation switcher result (radians per unit)")                           \
  PARAM(Bool, u_brushMapEnable, false, "sample u_brushMap for the switchers")                      \
  PARAM(Texture2D, u_brushMap, {}, "brush map of the switchers (value 2)")                         \
  PARAM(Mat3, u_brushTransform, ::pvx::identity3, "UV transform of u_brushMap")                    \
  PARAM(Bool, u_breakMapEnable, false, "sample u_breakMap for the switchers")                      \
  PARAM(Texture2D, u_breakMap, {}, "break map of the switchers (value 3)")                         \
  PARAM(Mat3, u_breakTransform, ::pvx::identity3, "UV transform of u_breakMap")                    \
  PARAM(Bool, u_bumpMapColorEnable, false,                                                         \
        "sample u_bumpMapColor for the switchers; also forces the reflect switcher to 1")          \
  PARAM(Texture2D, u_bumpMapColor, {}, "bump-colour map of the switchers (value 1)")               \
  PARAM(Mat3, u_bumpMapColorTransform, ::pvx::identity3, "UV transform of u_bumpMapColor")         \
  PARAM(Color, u_noiseanodized_tiling, ::pvx::float3(1.0f),                                        \
        "tiling of the anodised noise per axis (switcher value 4)")                                \
  PARAM(Float, u_bumpMapAmount, 1.0f, "kept and copied for the host; the metal does not read it")  \
  PARAM(Bool, u_patinaEnable, false, "grow a patina over the metal")                               \
  PARAM(Texture2D, u_patinaMap, {}, "kept and copied for the host; the metal does not read it")    \
  PARAM(Color, u_patinaColor, ::pvx::float3(0.33f, 0.55f, 0.46f), "diffuse colour of full patina", \
        "[0, 1]")                                                                                  \
  PARAM(Float, u_patinaGlossy, 0.3f, "roughness of full patina", "(0, 1]")                         \
  PARAM(Float, u_patinaBrdf00Reflectivity, 1.0f, "normal-incidence reflectivity of full patina",   \
        "[0, 1]")                                                                                  \
  PARAM(Bool, u_reflectionHighlightOnly, false,                                                    \
        "no traced reflection: highlights from lights only")                                       \
  PARAM(Float, n_patinaPercent, 0.0f, "patina coverage", "[0, 1]")                                 \
  PARAM(Bool, u_commonTintEnable, false, TARVO_NOTE_COMMON_TINT_ENABLE)                            \
  PARAM(ColorAlpha, u_commonTintColor, ::pvx::float4(1.0f), TARVO_NOTE_COMMON_TINT_COLOR)          \
  VARYING(Float3, bitangent, 24, TARVO_NOTE_BITANGENT)                                             \
  VARYING(Float3, tangent, 36, TARVO_NOTE_TANGENT)                                                 \
  VARYING(Float2, uv, 48, TARVO_NOTE_UV)
TARVO_PARAMETER_BLOCK(MetalParameters, TARVO_METAL_PARAMETERS);

namespace metal {

constexpr int32_t kTangent = varyingOffset<MetalParameters>("tangent");
constexpr int32_t kUV = varyingOffset<MetalParameters>("uv");

// ---- cut-outs ---------------------------------------------------------------------------------

// `u_cutoutsSwitcher`: 0 or below no holes; 5 and 8 or above solid too.
enum CutoutPattern : int32_t {
  kStaggeredRoundHoles = 1,
  kSquareGridRoundHoles = 2,
  kBrickSquareHoles = 3,
  kSoftRoundHoles = 4,
  kHexagonalHoles = 6,
  kTextureHoles = 7,
};

// Cells narrower than this (a hole size and gap that cancel) are no pattern at all.
constexpr float kMinCellWidth = 0.000001f;
// Width of the soft edge of patterns 4 and 6, in cell units.
constexpr float kSoftEdge = 0.001f;
// Row height of the hexagonal lattice: sqrt(3) / 2.
constexpr float kHexRowHeight = 0.8660254f;

inline float fract(float x) {
  return x - floor(x);
}

// Pattern 1: round holes, every odd column of the grid shifted up by half a cell.
inline float staggeredRoundHoles(const float2& x, float r) {
  float nearest = 1000.0f;
  for (int i = -1; i <= 1; ++i) {
    for (int j = -1; j <= 1; ++j) {
      const float cx = floor(x.x) + 0.5f + float(i);
      float cy = floor(x.y) + 0.5f + float(j);
      if (cx - 2.0f * floor(cx * 0.5f) >= 1.0f) cy += 0.5f;
      const float dx = x.x - cx, dy = x.y - cy;
      nearest = min(nearest, dx * dx + dy * dy);
    }
  }
  return r >= sqrt(nearest) ? 0.0f : 1.0f;
}

// Pattern 2: round holes at the cell centres.
inline float squareGridRoundHoles(const float2& x, float r) {
  const float dx = fract(x.x) - 0.5f, dy = fract(x.y) - 0.5f;
  return r >= sqrt(dx * dx + dy * dy) ? 0.0f : 1.0f;
}

// Pattern 3: square holes leaving a margin of half the gap, every other row shifted by half.
inline float brickSquareHoles(float2 x, float halfGap) {
  if (fract(x.y * 0.5f) >= 0.5f) x.x -= 0.5f;
  const float fx = fract(x.x), fy = fract(x.y);
  const bool inside = halfGap <= fx && fx <= 1.0f - halfGap && halfGap <= fy && fy < 1.0f - halfGap;
  return inside ? 0.0f : 1.0f;
}

// How much of a soft disc of radius r covers a point at distance d from its centre.
inline float softDisc(float d, float r) {
  return 1.0f - smoothstep(r - kSoftEdge, r, d);
}

// Pattern 4: six soft discs around the point, merged by the union a + b - a b.
inline float softRoundHoles(const float2& x, float r) {
  const float cellX = floor(x.x), cellY = floor(x.y);
  const float side = x.x - cellX < 0.5f ? -1.0f : 1.0f;
  float hole = 0.0f;
  for (float column : {0.0f, side}) {
    for (int row = -1; row <= 1; ++row) {
      const float dx = x.x - (cellX + column + 0.5f), dy = x.y - (cellY + float(row) + 0.5f);
      const float e = softDisc(sqrt(dx * dx + dy * dy), r);
      hole = hole + e - hole * e;
    }
  }
  return 1.0f - hole;
}

// Pattern 6: the two nearest centres of a hexagonal lattice (odd rows shifted by half a cell);
// d1 / (d1 + d2) runs from 0 at a centre to 0.5 on the cell border.
inline float hexagonalHoles(const float2& x, float r) {
  float d1 = 1000.0f, d2 = 1000.0f;
  const float row = floor(x.y / kHexRowHeight);
  for (int j = -1; j <= 1; ++j) {
    const float rr = row + float(j);
    const float shift = rr - 2.0f * floor(rr * 0.5f) >= 1.0f ? 0.5f : 0.0f;
    const float column = floor(x.x - shift);
    for (int i = -1; i <= 1; ++i) {
      const float dx = x.x - (column + float(i) + 0.5f + shift);
      const float dy = x.y - (rr + 0.5f) * kHexRowHeight;
      const float d = sqrt(dx * dx + dy * dy);
      if (d < d1) {
        d2 = d1;
        d1 = d;
      } else if (d < d2) {
        d2 = d;
      }
    }
  }
  const float ratio = d1 / (d1 + d2);
  const float edge = softDisc(ratio, r);
  return 1.0f - edge;
}

// The cut-out factor c at the `uv` varying, 1 solid metal, 0 a hole; `scale` scales the uv of
// the procedural patterns. The patterns share a grid of cells Z + G wide with holes of radius
// Z / 2, offset by C - 0.5.
inline float patternFactor(const MetalParameters& p, const float2& uv, float scale) {
  const int32_t pattern = p.u_cutoutsSwitcher;
  if (pattern == kTextureHoles) {
    const float3 texel = rgb(sample2D(p.u_cutoutMap, transformUV(p.u_cutoutTransform, uv)));
    return (texel.x + texel.y + texel.z) / 3.0f;
  }
  if (pattern < kStaggeredRoundHoles || pattern > kHexagonalHoles) return 1.0f;
  const float width = p.u_cutoutsSize + p.u_cutoutsSpace;
  if (!(width >= kMinCellWidth)) return 1.0f;

  const float k = 1.0f / width;
  const float offset = p.u_cutoutsCenter - 0.5f;
  const float2 x(uv.x * k * scale - offset, uv.y * k * scale - offset);
  const float r = k * p.u_cutoutsSize * 0.5f;
  switch (pattern) {
    case kStaggeredRoundHoles:
      return staggeredRoundHoles(x, r);
    case kSquareGridRoundHoles:
      return squareGridRoundHoles(x, r);
    case kBrickSquareHoles:
      return brickSquareHoles(x, 0.5f * k * p.u_cutoutsSpace);
    case kSoftRoundHoles:
      return softRoundHoles(x, r);
    case kHexagonalHoles:
      return hexagonalHoles(x, r);
    default:
      return 1.0f;
  }
}

// A factor that is not a number (a NaN uv or texel) leaves the metal solid.
inline float cutoutFactor(const MetalParameters& p, const float2& uv, float scale) {
  const float c = patternFactor(p, uv, scale);
  return c == c ? c : 1.0f;
}

// ---- switchers --------------------------------------------------------------------------------

// Switch values of a selection; any other value selects the base colour.
enum SwitchSource : int32_t {
  kFromBumpColor = 1,
  kFromBrush = 2,
  kFromBreak = 3,
  kFromAnodisedNoise = 4,
};

// The anodised noise: a `Noise` texture of turbulence over the object-space position, placed by
// the tiling times 100.
constexpr float kAnodisedSpaceScale = 100.0f;
constexpr float kAnodisedSize = 100.0f;
constexpr float kAnodisedPhase = 1.5f;
constexpr float kAnodisedLevels = 5.0f;
constexpr float kAnodisedLowThreshold = 0.4f;
constexpr float kAnodisedHighThreshold = 0.45f;
constexpr float kAnodisedLight = 0.501961f;
constexpr float kAnodisedDark = 0.098f;

// A placement that scales each axis and neither rotates nor moves.
inline mat4 axisScale(const float3& s) {
  mat4 m = identity4;
  m.m[0] = s.x;
  m.m[5] = s.y;
  m.m[10] = s.z;
  return m;
}

inline float3 anodisedNoise(IHostContext* host, const float3& Po, const float3& tiling) {
  const mat4 placement = axisScale(tiling * kAnodisedSpaceScale);
  const NoiseNode node{placement,
                       kNoiseTurbulence,
                       kAnodisedSize,
                       kAnodisedLowThreshold,
                       kAnodisedHighThreshold,
                       kAnodisedLevels,
                       kAnodisedPhase};
  const float4 light(kAnodisedLight, kAnodisedLight, kAnodisedLight, 1.0f);
  const float4 dark(kAnodisedDark, kAnodisedDark, kAnodisedDark, 1.0f);
  return rgb(evaluateNoise(node, NodeInputs{host, Po, float2(0.0f)}, light, dark));
}

// The four maps a selection picks from.
struct SwitcherMaps {
  float3 bumpColor, brush, breakColor, anodised;
};

inline float3 select(int32_t source, const float3& base, float amount, const SwitcherMaps& m) {
  switch (source) {
    case kFromBumpColor:
      return base * m.bumpColor * amount;
    case kFromBrush:
      return base * m.brush * amount;
    case kFromBreak:
      return m.breakColor * amount;
    case kFromAnodisedNoise:
      return m.anodised * amount;
    default:
      return base * amount;
  }
}

// The bump-colour map forces the reflection colour to come from it.
inline int32_t reflectSwitch(const MetalParameters& p) {
  return p.u_bumpMapColorEnable ? int32_t{kFromBumpColor} : p.u_reflectSwitcher;
}

// The specular colour and the rotation angle the switchers give (the specular colour and 0
// when no switcher is active).
struct SwitcherResult {
  float3 specular;
  float angle;
};

inline SwitcherResult evaluateSwitchers(const MetalParameters& p, IHostContext* host,
                                        const ShadingState& s, const float2& uv) {
  const int32_t reflect = reflectSwitch(p);
  if (!(reflect > 0)) return {p.u_specularColor, 0.0f};
  auto map = [&](bool enabled, const Texture2D& texture, const mat3& transform,
                 const float3& otherwise) {
    return mappedColor(TextureMap{enabled, texture, transform, 1.0f}, otherwise, uv);
  };
  SwitcherMaps m;
  m.bumpColor =
      map(p.u_bumpMapColorEnable, p.u_bumpMapColor, p.u_bumpMapColorTransform, float3(1.0f));
  m.brush = map(p.u_brushMapEnable, p.u_brushMap, p.u_brushTransform, float3(0.0f));
  m.breakColor = map(p.u_breakMapEnable, p.u_breakMap, p.u_breakTransform, float3(0.0f));
  const bool anodised = reflect == kFromAnodisedNoise || p.u_anisoSwitcher == kFromAnodisedNoise ||
                        p.u_anisoRotSwitcher == kFromAnodisedNoise;
  m.anodised = anodised ? anodisedNoise(host, s.Po, p.u_noiseanodized_tiling) : float3(0.0f);

  // The anisotropy selection is made and has no effect (see the class comment).
  const float anisotropy = select(p.u_anisoSwitcher, p.u_anisoColor, p.u_anisoMapAmount, m).x;
  static_cast<void>(anisotropy);
  return {select(reflect, p.u_reflectColor, p.u_reflMapAmount, m),
          select(p.u_anisoRotSwitcher, float3(0.0f), p.u_anisorotMapAmount, m).x};
}

// ---- patina -----------------------------------------------------------------------------------

// Octave frequencies and weights of the patina's wavy noise.
constexpr float kPatinaFrequencies[4] = {0.1f, 0.3f, 0.9f, 2.7f};
constexpr float kPatinaWeights[4] = {1.0f, 0.7f, 0.49f, 0.343f};
// The coverage fades out over this share of the coverage below the threshold.
constexpr float kPatinaRamp = 0.2f;
// Below this weight the patina blends in quadratically; from it on the patina value holds.
constexpr float kPatinaFullBlend = 0.3f;

// The patina weight p at the `uv` varying: the coverage `n_patinaPercent` where the noise
// reaches the threshold 1 - coverage, a ramp down to 0 below it.
inline float patinaWeight(const MetalParameters& p, IHostContext* host, const float2& uv) {
  if (!p.u_patinaEnable) return 0.0f;
  const float2 q = uv * p.u_uvScale;
  float phase = 0.0f;
  for (int i = 0; i < 4; ++i) {
    const float2 x = q * kPatinaFrequencies[i];
    phase += kPatinaWeights[i] * host->noise2(&x);
  }
  const float n = 0.5f + 0.5f * sin(phase);
  const float coverage = p.n_patinaPercent;
  const float threshold = 1.0f - coverage;
  if (n >= threshold) return coverage;
  const float d = threshold - n;
  const float ramp = kPatinaRamp * coverage;
  if (d > ramp) return 0.0f;
  return (1.0f - d / ramp) * coverage;
}

// A base value x weathered towards the patina value y by the weight p.
inline float patinaBlend(float x, float y, float p) {
  if (p <= 0.0f) return x;
  if (p >= kPatinaFullBlend) return y;
  const float q = p / kPatinaFullBlend;
  return x * (1.0f - q * q) + y * q * q;
}

// ---- frame ------------------------------------------------------------------------------------

// The pattern bump's finite-difference step in uv.
constexpr float kPatternStep = 0.001f;
// Height differences below this leave the normal as it is.
constexpr float kMinPatternSlope = 0.00001f;

inline float patternHeight(const MetalParameters& p, const float2& st) {
  const float3 texel = rgb(sample2D(p.u_patternMap, st));
  return texel.x + texel.y + texel.z;
}

// The height texture's forward differences along u and v tilt N towards T and B.
TARVO_OUT_OF_LINE inline void applyPatternBump(TangentFrame& f, const MetalParameters& p,
                                               const float2& uv) {
  const float2 st = transformUV(p.u_patternTransform, uv);
  const float h0 = patternHeight(p, st);
  const float du = h0 - patternHeight(p, st + float2(kPatternStep, 0.0f));
  const float dv = h0 - patternHeight(p, st + float2(0.0f, kPatternStep));
  if (abs(du) < kMinPatternSlope && abs(dv) < kMinPatternSlope) return;
  offsetNormal(f, (du * f.T + dv * f.B) * (p.u_patternAmount * kNormalMapGain));
}

// The procedural bump network (see the class comment): one `Noise` node per channel, read at
// the scaled uv as its point.
constexpr float kBumpNoiseSize = 0.5f;
constexpr float kBumpNoiseLevels = 4.0f;
constexpr float kBumpPhaseT = 0.0f;
constexpr float kBumpPhaseB = 2.0f;
constexpr float kBumpHalf = 0.5f;

inline float bumpChannel(const NodeInputs& in, float phase) {
  const NoiseNode node{identity4, kNoiseFractal,    kBumpNoiseSize, 0.0f,
                       1.0f,      kBumpNoiseLevels, phase};
  return evaluateNoise(node, in, float4(-1.0f), float4(1.0f)).x;
}

// The network's vector, halved and scaled, is added to N in the frame; N keeps its new length.
TARVO_OUT_OF_LINE inline void applyProceduralBump(TangentFrame& f, const MetalParameters& p,
                                                  IHostContext* host, const float2& uv) {
  const float2 st = uv * p.u_uvScale;
  const NodeInputs in{host, float3(st.x, st.y, 0.0f), st};
  const float3 slope(bumpChannel(in, kBumpPhaseT), bumpChannel(in, kBumpPhaseB), 0.0f);
  f.N = f.N + localToFrame(f, slope * (kBumpHalf * p.u_patternAmount));
  reorthonormalize(f);
}

// A switcher angle below this gives way to the anisotropy rotation input.
constexpr float kMinSwitcherAngle = 0.0001f;

inline float rotationAngle(const MetalParameters& p, const float2& uv, float switcherAngle) {
  if (switcherAngle >= kMinSwitcherAngle) return switcherAngle;
  const TextureMap map{p.u_anisoRotationMapEnable, p.u_anisoRotationMap, p.u_anisoRotationTransform,
                       1.0f};
  return mappedScalar(map, p.u_anisoRotationValue, uv);
}

// Whether the pattern or the procedural bump bends the frame's normal away from the state's.
inline bool bendsNormal(const MetalParameters& p) {
  return p.u_patternEnable || p.u_bumpSwitcher == 1;
}

// The tangent frame of the `tangent` varying around `N`, bent by the pattern and procedural
// bumps and rotated for the anisotropy.
TARVO_ALWAYS_INLINE TangentFrame metalFrame(const MetalParameters& p, IHostContext* host,
                                            const ShadingState& s, const float2& uv,
                                            float switcherAngle) {
  TangentFrame f = tangentFrame(s, kTangent);
  if (p.u_patternEnable) applyPatternBump(f, p, uv);
  if (p.u_bumpSwitcher == 1) applyProceduralBump(f, p, host, uv);
  rotateFrame(f, rotationAngle(p, uv, switcherAngle));
  return f;
}

// ---- surface ----------------------------------------------------------------------------------

// Roughness along T and B: the roughness input weathered towards the patina's, times the
// anisotropy along B.
inline WardRoughness metalRoughness(const MetalParameters& p, const float2& uv, float patina) {
  const TextureMap roughMap{p.u_roughMapEnable, p.u_roughMap, p.u_roughTransform, 1.0f};
  const TextureMap anisotropyMap{p.u_anisotropyMapEnable, p.u_anisotropyMap,
                                 p.u_anisotropyTransform, 1.0f};
  const float r = patinaBlend(mappedScalar(roughMap, p.u_roughValue, uv), p.u_patinaGlossy, patina);
  return {r, r * mappedScalar(anisotropyMap, p.u_anisotropyValue, uv)};
}

struct ReflectivitySplit {
  float3 diffuse;
  float3 specular;
  float reflectivity;
};

// The diffuse and specular colours at the viewing cosine mu: the reflectivity F goes to the
// specular colour, 1 - F to the diffuse one. A reflect switcher other than the brush tints the
// specular colour by the diffuse one and brightens the diffuse one by `u_diffuseWeight`.
TARVO_ALWAYS_INLINE ReflectivitySplit reflectivitySplit(const MetalParameters& p, float mu,
                                                        float3 S, float patina) {
  const int32_t reflect = reflectSwitch(p);
  float3 D = reflect == kFromBrush ? S : p.u_diffuseColor;
  if (mu < 0.0f) return {float3(0.0f), float3(0.0f), 0.0f};
  float F0 = p.u_brdf00Reflectivity;
  if (p.u_patinaEnable) {
    D = clamp01(p.u_diffuseColor + patina * (p.u_patinaColor - p.u_diffuseColor));
    F0 = patinaBlend(F0, p.u_patinaBrdf00Reflectivity, patina);
  }
  if (reflect > 0 && reflect != kFromBrush) {
    const float f = 1.0f - luminance(S) + p.u_diffuseWeight;
    if (!p.u_patinaEnable) S = S * D;
    D = clamp01(D * f);
  }
  const float F = metalReflectivity(mu, F0, p.u_brdf90Reflectivity, p.u_brdfCurvePower);
  return {D * (1.0f - F), S * F, F};
}

// Scale of the fleck normal offset (computed for the metal, not applied).
constexpr float kFleckOffsetScale = 0.005f;

}  // namespace metal

class quarra_Mtl_Metal final
    : public ShaderClass<quarra_Mtl_Metal, MaterialShader, MetalParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_Metal";

  void shade(IHostContext* host, ShadingState* state) const override {
    const ShadingState& s = *state;
    shadeWithinPrologue(*this, host, s, state, [&](const float3& mask, ComposedTerms& terms) {
      shadeSheet(host, s, mask, terms);
    });
  }

  // Light passes through the holes only.
  void shadow(IHostContext*, ShadingState* state) const override {
    const float2 uv = readVarying<float2>(*state, metal::kUV);
    const float c =
        u_cutoutsSwitcher < 1 ? 1.0f : metal::cutoutFactor(*this, uv, u_uvDefScale * u_otherScale);
    state->shadowT = float3(1.0f - c);
  }

  // Unbumped, the frame's normal is the state's own: the cosines with it decide whether the lobe
  // is met before any frame is built.
  void evaluate(IHostContext* host, ShadingState* state) const override {
    if (ignoreIfClipped(*this, state)) return;
    const ShadingState& s = *state;
    if (!metal::bendsNormal(*this) && (!(dot(s.scatterDir, s.N) > 0.0f) || dot(s.I, s.N) >= 0.0f)) {
      state->scatterCos = 0.0f;
      state->scatterWeight = float3(0.0f);
      return;
    }
    evaluateLobe(host, state);
  }

  // Only the glossy lobe when the host asks for no diffuse or glossy bounce, else the
  // diffuse/glossy mixture.
  void scatter(IHostContext* host, ShadingState* state) const override {
    if (ignoreIfClipped(*this, state)) return;
    const ShadingState& s = *state;
    if (!reflectionAllowed(s) || (!metal::bendsNormal(*this) && dot(s.I, s.N) >= 0.0f)) {
      state->scatterKind = kRayNone;
      return;
    }
    drawLobe(host, state);
  }

 private:
  // The lobe towards `scatterDir`: around the state's normal without a frame when nothing bends
  // it and the roughness is the same both ways, else in the metal's frame.
  TARVO_OUT_OF_LINE void evaluateLobe(IHostContext* host, ShadingState* state) const {
    const ShadingState& s = *state;
    const float2 uv = readVarying<float2>(s, metal::kUV);
    const bool bent = metal::bendsNormal(*this);
    float patina = 0.0f;
    WardRoughness roughness{0.0f, 0.0f};
    if (!bent) {
      patina = metal::patinaWeight(*this, host, uv);
      roughness = metal::metalRoughness(*this, uv, patina);
      if (roughness.ax == roughness.ay) {
        const float iz = dot(s.I, s.N);
        const float oz = dot(s.scatterDir, s.N);
        const metal::ReflectivitySplit split =
            metal::reflectivitySplit(*this, -iz, u_specularColor, patina);
        state->scatterCos = oz;
        state->scatterWeight = isotropicWardLobe(s.I, s.scatterDir, s.N, iz, oz, roughness,
                                                 split.diffuse, split.specular);
        return;
      }
    }
    const TangentFrame frame = metal::metalFrame(*this, host, s, uv, 0.0f);
    const float3 i = unitLocalDirection(frame, s.I);
    const float3 o = unitLocalDirection(frame, s.scatterDir);
    state->scatterCos = 0.0f;
    state->scatterWeight = float3(0.0f);
    if (o.z <= 0.0f || i.z >= 0.0f) return;
    if (bent) {
      patina = metal::patinaWeight(*this, host, uv);
      roughness = metal::metalRoughness(*this, uv, patina);
    }
    const metal::ReflectivitySplit split =
        metal::reflectivitySplit(*this, -dot(s.I, frame.N), u_specularColor, patina);
    const float cosine = reportedCosine(u_cosineUsesBump, s, o, s.scatterDir);
    state->scatterCos = cosine;
    if (cosine > 0.0f) {
      state->scatterWeight = wardLobe(i, o, roughness, split.diffuse, split.specular);
    }
  }

  // A draw for I arriving from above the frame's normal.
  TARVO_OUT_OF_LINE void drawLobe(IHostContext* host, ShadingState* state) const {
    const ShadingState& s = *state;
    const float2 uv = readVarying<float2>(s, metal::kUV);
    const TangentFrame frame = metal::metalFrame(*this, host, s, uv, 0.0f);
    const float3 i = unitLocalDirection(frame, s.I);
    if (!(i.z < 0.0f)) {
      state->scatterKind = kRayNone;
      return;
    }
    const float patina = metal::patinaWeight(*this, host, uv);
    const WardRoughness roughness = metal::metalRoughness(*this, uv, patina);
    const metal::ReflectivitySplit split =
        metal::reflectivitySplit(*this, -dot(s.I, frame.N), u_specularColor, patina);
    if (!mixtureAllowed(s)) {
      float2 u;
      host->random2(&u);
      const LobeSample sample = sampleWard(i, roughness, split.diffuse, split.specular, u.x, u.y);
      writeGlossyDraw(state, frame, sample, split.diffuse, u_cosineUsesBump);
      return;
    }
    const float r = host->random1();
    float2 u;
    host->random2(&u);
    const LobeSample sample = sampleWardMixture(i, roughness, split.diffuse, split.specular, r, u);
    writeMixtureDraw(state, frame, sample, u_cosineUsesBump);
  }

  // Everything between the mask and the composition.
  void shadeSheet(IHostContext* host, const ShadingState& s, const float3& mask,
                  ComposedTerms& terms) const {
    using namespace metal;
    const float2 uv = readVarying<float2>(s, kUV);

    // 1. Holes: the sheet lets the scene behind show through them.
    const bool cutouts = u_cutoutsSwitcher >= 1;
    const float c = cutouts ? cutoutFactor(*this, uv, u_otherScale) : 1.0f;
    float3 behind(0.0f);
    if (c != 1.0f) {
      float4 seen;
      host->traceContinue(&seen, &s.P, &s.I, 1.0f - c);
      behind = rgb(seen);
    }
    if (c == 0.0f) {
      terms[Term::kTransmission] = float4(behind, 1.0f);
      return;
    }

    // 2. Frame, patina, roughness and the reflectivity split.
    const SwitcherResult switched = evaluateSwitchers(*this, host, s, uv);
    const TangentFrame frame = metalFrame(*this, host, s, uv, switched.angle);
    const float3& N = frame.N;
    const float patina = patinaWeight(*this, host, uv);
    const WardRoughness roughness = metalRoughness(*this, uv, patina);
    const float3 i = unitLocalDirection(frame, s.I);
    ReflectivitySplit split = reflectivitySplit(*this, -dot(s.I, N), switched.specular, patina);
    float3& D = split.diffuse;
    const float3& S = split.specular;

    // 3. Flecks.
    Fleck fleck{1.0f, float3(0.0f), false};
    if (u_flecksEnable) {
      fleck = fleckAt(host, s.P * (1.0f / u_flecksSize), u_flecksDensity, kFleckOffsetScale);
    }
    const bool specular = hasSpecular(S);

    // 4. Direct light, faded towards the horizon.
    float3 diffuse(0.0f), highlight(0.0f);
    const LightSample* lights = host->lightSamples(0, &s.P, &N);
    forEachRampedLight(lights, N, [&](const LightSample& light, float w) {
      if (w < 0.0f) return;
      if (light.tag != kLightTagDiffuseOnly && i.z < 0.0f && specular) {
        const float3 o = unitLocalDirection(frame, light.L);
        if (o.z > 0.0f) highlight += w * wardLobe(i, o, roughness, float3(0.0f), S) * light.color;
      }
      // A fleck brightens the diffuse colour once per light, for the lights after it too.
      if (fleck.present && !isBlack(u_flecksDiffuseColor)) {
        D += u_flecksDiffuseColor * fleck.weight * (1.0f - split.reflectivity);
      }
      if (!specular && u_bumpMapColorEnable) D = u_reflectColor;
      diffuse += w * D * light.color;
    });
    terms[Term::kDirectDiffuse] = float4(diffuse, 1.0f);
    terms[Term::kDirectGlossy] = float4(highlight, 1.0f);

    // 5. The glossy reflection, traced along the horizon-clamped mirror direction.
    if (specular && !u_reflectionHighlightOnly) {
      const float3 R = horizonClampedReflection(s.I, N, s.Ng);
      const float3 K = fleck.present && !isBlack(u_flecksSpecularColor)
                           ? split.reflectivity * u_flecksSpecularColor
                           : S;
      float3 seen;
      host->traceAnisotropic(&seen, &s.P, &R, &frame.T, &frame.B, u_glossyValueU, u_glossyValueV,
                             maxComponent(K));
      terms[Term::kReflection] = float4(seen * K, 1.0f);
    }

    // 6. Ambient and indirect diffuse light.
    terms[Term::kIndirectDiffuse] =
        float4(diffuseLightingWithOcclusion(*this, host, D, s.P, N), 1.0f);

    // 7. Through the holes' soft edges the sheet and what lies behind it share the pixel.
    if (cutouts) coverTerms(terms, c, behind);
    occludeIndirectDiffuse(*this, host, s, mask, terms);
  }
};

TARVO_SHADER_FACTORY(quarra_Mtl_Metal)

}  // namespace pvx

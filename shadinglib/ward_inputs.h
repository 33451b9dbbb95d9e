// The inputs of the Ward family (quarra_Mtl_Ward and its network variants): the shared
// parameter group, the shading frames, the roughness pair and the surface inputs (diffuse,
// glossy and transmission colours) that the lobe, the traces and the transmission use.
//
// Everything is a template over the class's parameter block P (members by name, varying
// offsets from its description) and, where a network variant computes an input differently,
// over an input source S with three static functions:
//   float4 diffuseMapColor(p, host, state, uv)   amount x texel and its alpha, diffuse map on
//   void applyFirstNormalMap(p, host, state, uv, strength, frame)
//   float cutoutOpacity(p, host, state, uv)
// WardMappedInputs reads the texture maps; a network variant evaluates its network instead.
//
//   TARVO_WARD_SURFACE_PARAMETERS    `u_procedureMapEnable` .. `u_reflectionHighlightOnly`
//   buildWardFrames, lightingNormal  main frame and rotated copy (normal maps, bump, rotation)
//   buildWardFramesForArrival        the frames, or the normal alone for a ray from below
//   wardCosines, wardPair            I and an outgoing direction in the main frame: their
//                                    cosines with the normal first, T and B only if needed
//   wardRoughness                    roughness along T and B
//   evaluateWardInputs               the surface inputs for one side and cosine
#ifndef TARVO_SHADINGLIB_WARD_INPUTS_H
#define TARVO_SHADINGLIB_WARD_INPUTS_H

#include <cstdint>
#include <string_view>

#include "frame/shader_class.h"
#include "shadinglib/mapped_inputs.h"
#include "shadinglib/shading_frame.h"
#include "shadinglib/varyings.h"
#include "shadinglib/ward_lobe.h"
#include "shadinglib/ward_patterns.h"

// Parameters every Ward-family class declares in this order, from the procedural bump to the
// reflection switch. Matrices have no constructor value of their own; identity is the sound one.
#define TARVO_WARD_SURFACE_PARAMETERS(PARAM, VARYING)                                              \
  PARAM(Int, u_procedureMapEnable, 0,                                                              \
        "built-in procedural bump (used without the second normal map)",                           \
        "0 none | 1 pattern 1 | 2 pattern 2 | 3 pattern 3 | 4 none | 5 pattern 5 | 6 pattern 6 | " \
        "7 pattern 7")                                                                             \
  PARAM(Color, u_procedureMapTiling, ::pvx::float3(1.0f),                                          \
        "scale of the procedural bump per world axis")                                             \
  PARAM(Float, u_procedureMapAmount, 0.0f,                                                         \
        "strength of the procedural bump (0 leaves the normal as it is)")                          \
  PARAM(Texture1D, u_smokeMap, {}, "lookup table of procedural bump patterns 1 to 3")              \
  PARAM(Bool, u_normal0MapEnable, false, "bend the normal with the first normal map")              \
  PARAM(Texture2D, u_normal0Map, {},                                                               \
        "first normal map: red and green bend along the tangent and bitangent")                    \
  PARAM(Bool, u_normal0AmountMapEnable, false,                                                     \
        "take the strength of the first normal map from u_normal0AmountMap")                       \
  PARAM(Texture2D, u_normal0AmountMap, {},                                                         \
        "strength of the first normal map per texel (red channel)")                                \
  PARAM(Mat3, u_normal0AmountTransform, ::pvx::identity3, "UV transform of u_normal0AmountMap")    \
  PARAM(Float, u_normal0Amount, 0.0f,                                                              \
        "strength of the first normal map (0 leaves the normal as it is)")                         \
  PARAM(Mat3, u_normal0Transform, ::pvx::identity3, "UV transform of the first normal map")        \
  PARAM(Bool, u_normal1MapEnable, false, "bend the normal with the second normal map")             \
  PARAM(Texture2D, u_normal1Map, {},                                                               \
        "second normal map: red and green bend along the tangent and bitangent")                   \
  PARAM(Float, u_normal1Amount, 0.0f, "strength of the second normal map")                         \
  PARAM(Mat3, u_normal1Transform, ::pvx::identity3, "UV transform of the second normal map")       \
  PARAM(Bool, u_normal1AsShadingNormal, false,                                                     \
        "light with the normal that carries the second normal map (off: the one without it)")      \
  TARVO_MAPPED_INPUT(PARAM, diffuse, Color, Color, ::pvx::float3(0.0f), "diffuse colour",          \
                     "[0, 1]")                                                                     \
  PARAM(Int, u_imageFadeEnable, 0, "fade of the diffuse colour towards an image or colour",        \
        "0 none | 1 by the diffuse map alpha | 2 overlay of u_imageFadeMap | 3 overlay of "        \
        "u_imageFadeColor | 4 overlay of a built-in pattern")                                      \
  PARAM(Float, u_imageFade, 1.0f, "strength of the image fade", "[0, 1]")                          \
  PARAM(Texture2D, u_imageFadeMap, {}, "image of fade mode 2")                                     \
  PARAM(Mat3, u_imageFadeTransform, ::pvx::identity3, "UV transform of u_imageFadeMap")            \
  PARAM(Float, u_imageFadeAmount, 1.0f, "scale of the u_imageFadeMap texel")                       \
  PARAM(Color, u_imageFadeColor, ::pvx::float3(0.0f), "colour of fade mode 3", "[0, 1]")           \
  TARVO_MAPPED_INPUT(PARAM, specular, Color, Color, ::pvx::float3(1.0f),                           \
                     "glossy (specular) colour", "[0, 1]")                                         \
  TARVO_MAPPED_INPUT(                                                                              \
      PARAM, rough, Float, Value, 0.01f,                                                           \
      "Ward roughness along the tangent (the map goes through the roughness curve)", "(0, 1]")     \
  PARAM(Float, u_reflectGlossyValue, 0.0f,                                                         \
        "glossiness handed to the host reflection trace (0 sharp)")                                \
  PARAM(Bool, u_refractGlossyMapEnable, false,                                                     \
        "take the refraction glossiness from u_refractGlossyMap (through the glossiness curve)")   \
  PARAM(Texture2D, u_refractGlossyMap, {}, "refraction glossiness map (red channel)")              \
  PARAM(Mat3, u_refractGlossyTransform, ::pvx::identity3, "UV transform of u_refractGlossyMap")    \
  PARAM(Float, u_refractGlossyAmount, 1.0f, "scale of the refraction glossiness texel")            \
  PARAM(Float, u_refractGlossyValue, 0.0f,                                                         \
        "glossiness handed to the host refraction trace while the map is off")                     \
  TARVO_MAPPED_INPUT(PARAM, anisotropy, Float, Value, 1.0f,                                        \
                     "ratio of the bitangent roughness to the tangent roughness", "(0, inf)")      \
  TARVO_MAPPED_INPUT(PARAM, anisoRotation, Float, Value, 0.0f,                                     \
                     "rotation of the anisotropy about the normal", nullptr, "radians")            \
  PARAM(Float, u_brdfCurvePower, 0.0f,                                                             \
        "exponent of the reflectivity curve from u_brdf00Reflectivity (facing) to "                \
        "u_brdf90Reflectivity (grazing); 0 gives the grazing value everywhere",                    \
        "[0, inf)")                                                                                \
  PARAM(Bool, u_brdf00ReflectMapEnable, false,                                                     \
        "take the facing reflectivity from u_brdf00ReflectMap")                                    \
  PARAM(Texture2D, u_brdf00ReflectMap, {}, "facing reflectivity map (red channel)")                \
  PARAM(Mat3, u_brdf00ReflectTransform, ::pvx::identity3, "UV transform of u_brdf00ReflectMap")    \
  PARAM(Float, u_brdf00ReflectAmount, 1.0f, "scale of the facing reflectivity texel")              \
  PARAM(Float, u_brdf00Reflectivity, 0.1f, "reflectivity at normal incidence", "[0, 1]")           \
  PARAM(Bool, u_brdf90ReflectMapEnable, false,                                                     \
        "take the grazing reflectivity from u_brdf90ReflectMap")                                   \
  PARAM(Texture2D, u_brdf90ReflectMap, {}, "grazing reflectivity map (red channel)")               \
  PARAM(Mat3, u_brdf90ReflectTransform, ::pvx::identity3, "UV transform of u_brdf90ReflectMap")    \
  PARAM(Float, u_brdf90Reflectivity, 1.0f, "reflectivity at grazing incidence", "[0, 1]")          \
  PARAM(Float, u_brdf90ReflectAmount, 1.0f, "scale of the grazing reflectivity texel")             \
  PARAM(Float, u_reflectivity, 1.0f, "overall scale of the glossy weight", "[0, 1]")               \
  PARAM(Bool, u_isMetal, false,                                                                    \
        "metal colouring: the glossy lobe takes the diffuse colour and the diffuse layer fades "   \
        "by the glossy luminance")                                                                 \
  PARAM(Bool, u_transparency, false, "switch on transparency (refraction) and translucency")       \
  PARAM(                                                                                           \
      Bool, u_transparencyMapEnable, false,                                                        \
      "take the transparency from u_transparencyMap, mixed with the value by u_transparencyFade")  \
  PARAM(Texture2D, u_transparencyMap, {}, "transparency map (red channel)")                        \
  PARAM(Float, u_transparencyValue, 0.0f,                                                          \
        "transparency: share of light refracted through the surface", "[0, 1]")                    \
  PARAM(Mat3, u_transparencyTransform, ::pvx::identity3, "UV transform of u_transparencyMap")      \
  PARAM(Float, u_transparencyFade, 0.0f,                                                           \
        "mix of the transparency map (1) and u_transparencyValue (0)", "[0, 1]")                   \
  PARAM(Float, u_ior, 1.33f, "index of refraction of the transparent body", "[1, 3]")              \
  PARAM(Float, u_transparencyAmount, 1.0f, "scale of the transparency texel")                      \
  TARVO_MAPPED_INPUT(PARAM, translucency, Float, Value, 0.0f,                                      \
                     "translucency: share of light from behind shining through", "[0, 1]")         \
  PARAM(Bool, u_cutoutMapEnable, false, "cut holes with u_cutoutMap")                              \
  PARAM(Texture2D, u_cutoutMap, {}, "cut-out map: red 1 keeps the surface, 0 makes a hole")        \
  PARAM(Mat3, u_cutoutTransform, ::pvx::identity3, "UV transform of u_cutoutMap")                  \
  PARAM(Float, u_cutoutAmount, 1.0f, "scale of the cut-out texel")                                 \
  PARAM(Bool, u_additionalMapEnable, false, "multiply the additional colour by u_additionalMap")   \
  PARAM(Texture2D, u_additionalMap, {}, "additional colour map, clamped to [0, 1] per channel")    \
  PARAM(Color, u_additionalColor, ::pvx::float3(0.0f),                                             \
        "colour added on top of the lit surface (self-illumination)")                              \
  PARAM(Mat3, u_additionalMapTransform, ::pvx::identity3, "UV transform of u_additionalMap")       \
  PARAM(Float, u_additionalAmount, 1.0f, "scale of the additional colour texel")                   \
  PARAM(Bool, u_cosineUsesBump, false,                                                             \
        "evaluate and scatter report the cosine to the bumped normal (off: to the unbumped one)")  \
  PARAM(Bool, u_reflectionHighlightOnly, false, "no traced reflection: highlights from lights only")

namespace pvx {

// The overlay blend per channel: darkens below a base of 0.5, lightens above.
inline float3 overlay(const float3& base, const float3& blend) {
  float3 o;
  o.x = base.x < 0.5f ? 2.0f * base.x * blend.x : 1.0f - 2.0f * (1.0f - base.x) * (1.0f - blend.x);
  o.y = base.y < 0.5f ? 2.0f * base.y * blend.y : 1.0f - 2.0f * (1.0f - base.y) * (1.0f - blend.y);
  o.z = base.z < 0.5f ? 2.0f * base.z * blend.z : 1.0f - 2.0f * (1.0f - base.z) * (1.0f - blend.z);
  return o;
}

// Modes of `u_imageFadeEnable`.
enum ImageFadeMode : int32_t {
  kImageFadeOff = 0,
  kImageFadeDiffuseAlpha = 1,
  kImageFadeMap = 2,
  kImageFadeColor = 3,
  kImageFadePattern = 4,
};

// ---- input source: the texture maps ----------------------------------------------------------

// Where `quarra_Mtl_Ward` takes the three inputs a network variant computes differently.
struct WardMappedInputs {
  // amount x the diffuse texel, with the texel's alpha for image fade mode 1.
  template <class P>
  static float4 diffuseMapColor(const P& p, IHostContext*, const ShadingState&, const float2& uv) {
    const float4 texel = sampleMap(TARVO_TEXTURE_MAP(p, diffuse), uv);
    return float4(rgb(texel) * p.u_diffuseAmount, texel.w);
  }

  template <class P>
  static void applyFirstNormalMap(const P& p, IHostContext*, const ShadingState&, const float2& uv,
                                  float strength, TangentFrame& frame) {
    const TextureMap map{true, p.u_normal0Map, p.u_normal0Transform, 1.0f};
    applyNormalTexel(frame, sampleMap(map, uv), strength);
  }

  template <class P>
  static float cutoutOpacity(const P& p, IHostContext*, const ShadingState&, const float2& uv) {
    return mappedScalarTexel(TARVO_TEXTURE_MAP(p, cutout), uv);
  }
};

// ---- frames ----------------------------------------------------------------------------------

// The main frame carries both normal maps, or the first, the bump and the anisotropy rotation.
// The rotated copy (the first normal map and the rotation) is read only through its
// normal, and the rotation turns T and B about that normal, so only the normal is kept.
struct WardFrames {
  TangentFrame main;
  float3 rotatedNormal;
};

// Modes 1 to 3 and 5 to 7 with a strength other than 0 bump the main frame.
template <class P>
bool proceduralBumpActive(const P& p) {
  const int32_t mode = p.u_procedureMapEnable;
  return p.u_procedureMapAmount != 0.0f && ((mode >= 1 && mode <= 3) || (mode >= 5 && mode <= 7));
}

template <class P>
void applyProceduralBump(const P& p, IHostContext* host, const ShadingState& state,
                         TangentFrame& frame) {
  constexpr int32_t kTangent = requiredVaryingOffset<P>("tangent");
  constexpr int32_t kBitangent = requiredVaryingOffset<P>("bitangent");
  const int32_t mode = p.u_procedureMapEnable;
  const float3 slope = mode <= 3
                           ? tableBumpSlope(host, mode, p.u_procedureMapTiling, p.u_smokeMap, state,
                                            kTangent, kBitangent)
                           : solidBumpSlope(host, mode, p.u_procedureMapTiling, state.P, frame);
  offsetNormal(frame, localToFrame(frame, slope * p.u_procedureMapAmount));
}

// Without normal maps and bump the main frame's normal is the state's `N` (the rotation turns
// only T and B), so a direction's side of the surface is known before any frame is built.
template <class P>
bool mainNormalIsShadingNormal(const P& p) {
  return !p.u_normal0MapEnable && !p.u_normal1MapEnable && !proceduralBumpActive(p);
}

template <class P>
TARVO_ALWAYS_INLINE float wardRotationAngle(const P& p, const float2& uv) {
  return mappedScalar(TARVO_TEXTURE_MAP(p, anisoRotation), p.u_anisoRotationValue, uv);
}

// The main frame of a surface without normal maps and bump: the tangent frame turned by the
// anisotropy rotation about the state's `N`.
template <class P>
TARVO_ALWAYS_INLINE TangentFrame wardUnbentFrame(const P& p, const ShadingState& state,
                                                 const float2& uv) {
  constexpr int32_t kTangent = requiredVaryingOffset<P>("tangent");
  TangentFrame frame = tangentFrame(state, kTangent);
  rotateFrame(frame, wardRotationAngle(p, uv));
  return frame;
}

// The tangent frame with the first normal map: what both frames start from.
template <class S, class P>
TangentFrame wardBaseFrame(const P& p, IHostContext* host, const ShadingState& state,
                           const float2& uv) {
  constexpr int32_t kTangent = requiredVaryingOffset<P>("tangent");
  TangentFrame frame = tangentFrame(state, kTangent);
  if (p.u_normal0MapEnable) {
    float strength = p.u_normal0Amount;
    if (p.u_normal0AmountMapEnable) {
      const TextureMap amountMap{true, p.u_normal0AmountMap, p.u_normal0AmountTransform, 1.0f};
      strength *= sampleMap(amountMap, uv).x;
    }
    S::applyFirstNormalMap(p, host, state, uv, strength, frame);
  }
  return frame;
}

// Turns the base frame into the main frame: the second normal map, or the bump and the rotation.
template <class P>
void finishWardMainFrame(const P& p, IHostContext* host, const ShadingState& state,
                         const float2& uv, float angle, TangentFrame& frame) {
  if (p.u_normal1MapEnable) {
    const TextureMap map{true, p.u_normal1Map, p.u_normal1Transform, 1.0f};
    applyNormalTexel(frame, sampleMap(map, uv), p.u_normal1Amount);
  } else {
    if (proceduralBumpActive(p)) applyProceduralBump(p, host, state, frame);
    rotateFrame(frame, angle);
  }
}

// The frames of a surface bent by normal maps or the bump.
template <class S, class P>
TARVO_OUT_OF_LINE WardFrames buildBentWardFrames(const P& p, IHostContext* host,
                                                 const ShadingState& state, const float2& uv) {
  const TangentFrame base = wardBaseFrame<S>(p, host, state, uv);
  WardFrames frames{base, base.N};
  finishWardMainFrame(p, host, state, uv, wardRotationAngle(p, uv), frames.main);
  return frames;
}

template <class S, class P>
TARVO_ALWAYS_INLINE WardFrames buildWardFrames(const P& p, IHostContext* host,
                                               const ShadingState& state, const float2& uv) {
  if (mainNormalIsShadingNormal(p)) return WardFrames{wardUnbentFrame(p, state, uv), state.N};
  return buildBentWardFrames<S>(p, host, state, uv);
}

// The cosines of I and an outgoing direction o with the main frame's normal, taken before any
// frame is built when that normal is the state's `N` (`known`; see mainNormalIsShadingNormal).
// The pair can meet the lobe only when I arrives from above and o leaves above.
struct WardCosines {
  float i;
  float o;
  bool known;
  bool facing() const { return o > 0.0f && i < 0.0f; }
};

template <class P>
TARVO_ALWAYS_INLINE WardCosines wardCosines(const P& p, const ShadingState& state,
                                            const float3& o) {
  if (!mainNormalIsShadingNormal(p)) return WardCosines{0.0f, 0.0f, false};
  return WardCosines{dot(state.I, state.N), dot(o, state.N), true};
}

// I and an outgoing direction o in the main frame, and whether they can meet the lobe.
struct WardPair {
  float3 i;
  float3 o;
  bool facing;
};

// The pair as far as the cosines tell: the z of both directions, nothing along T and B.
inline WardPair cosinesOnly(const WardCosines& c) {
  return WardPair{float3(0.0f, 0.0f, c.i), float3(0.0f, 0.0f, c.o), c.facing()};
}

template <class S, class P>
WardPair wardPairInBentFrame(const P& p, IHostContext* host, const ShadingState& state,
                             const float2& uv, const float3& o) {
  const TangentFrame frame = buildBentWardFrames<S>(p, host, state, uv).main;
  const float3 i = frameToLocal(frame, state.I);
  const float3 local = frameToLocal(frame, o);
  return WardPair{i, local, local.z > 0.0f && i.z < 0.0f};
}

// With known cosines they are the z of both directions and only T and B are built.
template <class S, class P>
TARVO_ALWAYS_INLINE WardPair wardPair(const P& p, IHostContext* host, const ShadingState& state,
                                      const float2& uv, const float3& o, const WardCosines& c) {
  if (!c.known) return wardPairInBentFrame<S>(p, host, state, uv, o);
  const TangentFrame frame = wardUnbentFrame(p, state, uv);
  return WardPair{float3(dot(state.I, frame.T), dot(state.I, frame.B), c.i),
                  float3(dot(o, frame.T), dot(o, frame.B), c.o), c.facing()};
}

// The frames `scatter` works in. A ray arriving from below the unbent normal (see
// mainNormalIsShadingNormal) is never expressed along T and B: its inputs are not evaluated, so
// the lobe has no width and no draw leaves the surface, and a transmission needs only the
// normal. There the frames are the normal alone and nothing is built.
template <class S, class P>
TARVO_ALWAYS_INLINE WardFrames buildWardFramesForArrival(const P& p, IHostContext* host,
                                                         const ShadingState& state,
                                                         const float2& uv) {
  if (mainNormalIsShadingNormal(p) && !(dot(state.I, state.N) < 0.0f)) {
    const TangentFrame normalOnly{float3(0.0f), float3(0.0f), state.N};
    return WardFrames{normalOnly, state.N};
  }
  return buildWardFrames<S>(p, host, state, uv);
}

// The normal `shade` lights, refracts and gathers indirect light with (and `scatter` refracts
// about): the main frame's with `u_normal1AsShadingNormal`, else the rotated copy's.
template <class P>
const float3& lightingNormal(const P& p, const WardFrames& frames) {
  return p.u_normal1AsShadingNormal ? frames.main.N : frames.rotatedNormal;
}

// ---- inputs ----------------------------------------------------------------------------------

// Roughness along T from the roughness group (the curve applies to its map), along B that
// times the anisotropy.
template <class P>
TARVO_ALWAYS_INLINE WardRoughness wardRoughness(const P& p, const float2& uv) {
  const float ax = mappedRoughness(TARVO_TEXTURE_MAP(p, rough), p.u_roughValue, uv);
  const float anisotropy = mappedScalar(TARVO_TEXTURE_MAP(p, anisotropy), p.u_anisotropyValue, uv);
  return WardRoughness{ax, ax * anisotropy};
}

// The overlay fade of modes 2 to 4 (a map, a colour or the built-in pattern) applied to d.
template <class P>
float3 overlayFadedColor(const P& p, IHostContext* host, const float2& uv, const float3& d) {
  const int32_t mode = p.u_imageFadeEnable;
  float3 fade(0.0f);
  if (mode == kImageFadeMap) {
    const TextureMap map{true, p.u_imageFadeMap, p.u_imageFadeTransform, 1.0f};
    fade = rgb(sampleMap(map, uv)) * p.u_imageFadeAmount;
  } else if (mode == kImageFadeColor) {
    fade = p.u_imageFadeColor;
  } else if (mode == kImageFadePattern) {
    fade = imageFadePattern(host, uv);
  }
  const float3 m = d + (overlay(d, fade) - d) * p.u_imageFade;
  return m + (m * fade - m) * p.u_imageFade;
}

// The diffuse colour of the diffuse group, faded by `u_imageFadeEnable`.
template <class S, class P>
TARVO_ALWAYS_INLINE float3 wardDiffuseColor(const P& p, IHostContext* host,
                                            const ShadingState& state, const float2& uv) {
  float4 mapped(0.0f);
  float3 d = p.u_diffuseColor;
  if (p.u_diffuseMapEnable) {
    mapped = S::diffuseMapColor(p, host, state, uv);
    d = rgb(mapped);
  }
  const int32_t mode = p.u_imageFadeEnable;
  if (mode == kImageFadeDiffuseAlpha) {
    if (!p.u_diffuseMapEnable) return d;
    const float f = p.u_imageFade * mapped.w;
    return f * rgb(mapped) + (1.0f - f) * p.u_diffuseColor;
  }
  if (mode < kImageFadeMap) return d;
  return overlayFadedColor(p, host, uv, d);
}

// What the lobe, the traces and the transmission of one evaluation need.
struct WardInputs {
  float3 diffuse{0.0f};
  float3 glossy{0.0f};                // specular colour x glossy weight
  float3 transmission{1.0f};          // colour seen through the surface
  float3 transmissionWeighted{0.0f};  // its share after reflection and translucency
  float reflectivity = 0.0f;          // the reflectivity curve F at the cosine
  float transparency = 0.0f;
  float translucency = 0.0f;
};

// Which side an evaluation stands for: `front` for light arriving from the viewer's side,
// `lit` for a shadow ray's transmission. With both clear it gives the translucency colour.
struct WardSide {
  bool front;
  bool lit;
};

// The surface inputs at a cosine between the normal and the reversed incoming ray.
template <class S, class P>
TARVO_ALWAYS_INLINE WardInputs evaluateWardInputs(const P& p, IHostContext* host,
                                                  const ShadingState& state, const float2& uv,
                                                  float cosine, WardSide side) {
  WardInputs in;
  float3 g = mappedColor(TARVO_TEXTURE_MAP(p, specular), p.u_specularColor, uv,
                         ColorRule::ClampedAfterScaling);
  float3 d = wardDiffuseColor<S>(p, host, state, uv);

  float w = 0.0f;
  if (side.front || side.lit) {
    const float r0 = mappedScalar(TARVO_TEXTURE_MAP(p, brdf00Reflect), p.u_brdf00Reflectivity, uv);
    const float r90 = mappedScalar(TARVO_TEXTURE_MAP(p, brdf90Reflect), p.u_brdf90Reflectivity, uv);
    in.reflectivity = reflectivityCurve(cosine, r0, r90, p.u_brdfCurvePower);
    w = in.reflectivity * p.u_reflectivity;
  }
  if (p.u_isMetal) {
    // A metal tints its reflection with its own colour and keeps the rest diffuse.
    const float k = 1.0f - w * luminance(g);
    g = d * g;
    d = d * k;
  }
  in.glossy = g * w;
  d = d * (1.0f - w);

  if (!p.u_transparency) {
    in.diffuse = side.front ? d : float3(0.0f);
    return in;
  }
  const float a = mappedScalarFaded(TARVO_TEXTURE_MAP(p, transparency), p.u_transparencyValue,
                                    p.u_transparencyFade, uv);
  const float t = mappedScalar(TARVO_TEXTURE_MAP(p, translucency), p.u_translucencyValue, uv);
  in.transparency = a;
  in.translucency = t;
  in.transmission = a + p.u_diffuseColor * (1.0f - a);
  if (side.front) {
    in.diffuse = d * (1.0f - a);
    in.transmissionWeighted = in.transmission * a * (1.0f - w);
  } else {
    in.diffuse = d * a * t;
    in.transmissionWeighted = in.transmission * (1.0f - t) * a * (1.0f - w);
  }
  return in;
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_WARD_INPUTS_H

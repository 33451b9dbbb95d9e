// The logic most materials run around their own reflectance model: the masking (cut-out) value,
// the ambient-occlusion term, diffuse lighting with occlusion, the global clipping test, and the
// composition of the colour terms with the optional common tint and the masked pass-through.
//
// Parameter groups, expanded inside a class's list (see frame/shader_class.h):
//   TARVO_AO_MASKING_PARAMETERS(PARAM, VARYING)
//       `ambientOcclusionTexture` .. `maskingFromAlpha`, with the varyings `uv1` (0) and
//       `vtxcolor` (8) between `usingRaytracedAO` and `maskingColor`;
//   TARVO_AO_MASKING_PARAMETERS_AT(PARAM, VARYING, uv1Offset, vtxcolorOffset)
//       the same group for a class whose varying block puts `uv1` and `vtxcolor` elsewhere;
//   TARVO_GLOBAL_CLIPPING_PARAMETERS(PARAM, VARYING)
//       `u_globalClippingMap`, `u_globalClippingMapEnable`.
// `CaldrinAODisable` (Bool, default false) is a plain PARAM in each class's own list, because
// its place in the declaration order differs from class to class.
//
// Functions (templates over the class's parameter block, which has these members by name; pass
// either the shader object or its `parameters()`):
//   float3 maskingValue(params, state)                 mask from the class's `uv` varying
//   float3 maskingValue(params, state, uvOffset)       mask, `uv` read at an explicit offset
//   bool   discardsHit(mask)                           mask exactly (1, 1, 1)
//   float  maskedWeight(mask)                          1 - maxComponent(mask), the AO weight
//   float3 ambientOcclusionTerm(params, host, state, opacity, weight)
//   float3 diffuseLightingWithOcclusion(params, host, albedo, point, normal)
//   bool   clippedByGlobalPlanes(params, state)        false whenever the test is disabled
//   bool   ignoreIfClipped(params, state)              the same, setting `ignoreHit` when clipped
//   float4 composeTerms(terms, tintEnable, tintColor)  sum in order, tint, alpha 1
//   void   coverTerms(terms, coverage, behind)         a partly open surface over what is behind
//   void   occludeIndirectDiffuse(params, host, state, mask, terms)
//   void   writeMaskedColor(host, state, composed, mask)
//   void   shadeWithinPrologue(params, host, in, out, body)   the frame of a material's shade
// Every function reads only its parameters and the state's inputs; only writeMaskedColor
// (`Ci`) and ignoreIfClipped (`ignoreHit`) write to the state. Host services are called with the
// addresses of the state's own fields where the call passes a state field.
#ifndef TARVO_SHADINGLIB_MATERIAL_PROLOGUE_H
#define TARVO_SHADINGLIB_MATERIAL_PROLOGUE_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "frame/shader_class.h"
#include "shadinglib/texture_channel.h"
#include "shadinglib/texture_sampling.h"
#include "shadinglib/varyings.h"
#include "shadinglib/vector_math.h"

// ---- parameter groups -----------------------------------------------------------------------

// Notes of the parameters and varyings that many classes declare in their own lists.
#define TARVO_NOTE_CALDRIN_AO_DISABLE \
  "skip the host occlusion query on ambient and indirect diffuse light"
#define TARVO_NOTE_COMMON_TINT_ENABLE "multiply the composed colour by u_commonTintColor"
#define TARVO_NOTE_COMMON_TINT_COLOR "tint of the composed colour (alpha is then set to 1)"
#define TARVO_NOTE_UV "texture coordinates the maps are read at"
#define TARVO_NOTE_TANGENT "object-space tangent (direction of growing u) of the shading frame"
#define TARVO_NOTE_BITANGENT "object-space bitangent (direction of growing v)"

// The precomputed occlusion every class with ambient occlusion declares.
#define TARVO_AO_PARAMETERS(PARAM)                                                              \
  PARAM(Texture2D, ambientOcclusionTexture, {},                                                 \
        "precomputed occlusion, read in the red channel at uv1 (1 open, 0 occluded)")           \
  PARAM(Int, ambientOcclusionMode, 0, "source of the precomputed occlusion",                    \
        "0 the host occlusion query | 1 ambientOcclusionTexture | 2 vertex colour red channel") \
  PARAM(Float, ambientOcclusionFactor, 1.0f, "strength of the occlusion: 0 none, 1 full",       \
        "[0, 1]")                                                                               \
  PARAM(Color, ambientOcclusionColor, ::pvx::float3(0.0f), "colour of fully occluded areas",    \
        "[0, 1]")                                                                               \
  PARAM(Bool, usePrecalcAO, true,                                                               \
        "use the precomputed occlusion of modes 1 and 2 instead of the host query")

#define TARVO_AO_MASKING_PARAMETERS_AT(PARAM, VARYING, uv1Offset, vtxcolorOffset)                 \
  TARVO_AO_PARAMETERS(PARAM)                                                                      \
  PARAM(                                                                                          \
      Bool, showAmbientOnly, false,                                                               \
      "ambient-only material: show the occlusion term alone; the other materials keep it unread") \
  PARAM(                                                                                          \
      Bool, usingRaytracedAO, false,                                                              \
      "ambient-only material: occlusion from the host query; the other materials keep it unread") \
  VARYING(Float2, uv1, uv1Offset,                                                                 \
          "second texture coordinates, where the occlusion texture is read")                      \
  VARYING(Color4, vtxcolor, vtxcolorOffset,                                                       \
          "vertex colour; its red channel is the vertex occlusion of mode 2")                     \
  PARAM(Color, maskingColor, ::pvx::float3(0.0f),                                                 \
        "constant mask of mode 0 per channel: 1 see-through, 0 opaque", "[0, 1]")                 \
  PARAM(Int, maskingMode, 0, "how the see-through mask is found",                                 \
        "-1 off | 0 constant maskingColor | 1 UV | 2 planar | 3 box | 4 cylindrical")             \
  PARAM(Texture2D, maskingTexture, {}, "mask image of modes 1 to 4; white is see-through")        \
  PARAM(Mat4, maskingTextureMatrix, ::pvx::identity4,                                             \
        "object-space projection of the mask in modes 2 to 4 (planar: outside -1 < z < 1 all is " \
        "see-through)")                                                                           \
  PARAM(Bool, maskingInvertTexture, false, "use one minus the mask in modes 1 to 4")              \
  PARAM(Float, maskingAngularRepeat, 1.0f, "repeats of the mask around the cylinder in mode 4")   \
  PARAM(Mat3, maskingUVMatrix, ::pvx::identity3, "2-D transform of uv for the mask in mode 1")    \
  PARAM(Bool, maskingFromAlpha, false, "take the mask from the image's alpha instead of its colour")

#define TARVO_AO_MASKING_PARAMETERS(PARAM, VARYING) \
  TARVO_AO_MASKING_PARAMETERS_AT(PARAM, VARYING, 0, 8)

#define TARVO_GLOBAL_CLIPPING_PARAMETERS(PARAM, VARYING)                                          \
  PARAM(Texture1D, u_globalClippingMap, {},                                                       \
        "clipping planes: texel 0 red holds the count n, then one plane (a, b, c, d) per texel; " \
        "at most 1024 are tested")                                                                \
  PARAM(Bool, u_globalClippingMapEnable, false,                                                   \
        "run the clipping test: only points with a x + b y + c z > -d for every plane are kept")

namespace pvx {

namespace prologue_detail {

// The parameter block behind a shader object (ShaderClass exposes it as `Parameters`), or the
// type itself when a bare block is passed.
template <class T, class = void>
struct BlockOf {
  using type = T;
};
template <class T>
struct BlockOf<T, std::void_t<typename T::Parameters>> {
  using type = typename T::Parameters;
};
template <class T>
using BlockOfT = typename BlockOf<T>::type;

}  // namespace prologue_detail

// Masking modes of `maskingMode`; values outside -1 to 4 act as the constant mode.
enum MaskingMode : int32_t {
  kMaskingOff = -1,
  kMaskingConstant = 0,
  kMaskingUV = 1,
  kMaskingPlanar = 2,
  kMaskingBox = 3,
  kMaskingCylindrical = 4,
};

// Sources of precomputed occlusion in `ambientOcclusionMode`.
enum AmbientOcclusionMode : int32_t {
  kOcclusionFromTexture = 1,
  kOcclusionFromVertexColor = 2,
};

// The plane count of a clipping map is host data and may be anything (1e9, infinity); planes
// past this many are not tested, which bounds the loop.
constexpr int kMaxClippingPlanes = 1024;

// ---- masking ---------------------------------------------------------------------------------

// The see-through amount of the surface at this hit, per channel: 0 opaque, 1 fully see-through.
// `uvOffset` is where the class keeps its `uv` varying (only mode 1 reads it).
template <class Params>
float3 maskingValue(const Params& params, const ShadingState& state, int32_t uvOffset) {
  const int32_t mode = params.maskingMode;
  if (mode == kMaskingOff) return float3(0.0f);
  if (mode < kMaskingUV || mode > kMaskingCylindrical) return params.maskingColor;

  const float3 p = transformPoint(params.maskingTextureMatrix, state.Po);
  float2 st;
  switch (mode) {
    case kMaskingUV:
      st = transformUV(params.maskingUVMatrix, readVarying<float2>(state, uvOffset));
      break;
    case kMaskingPlanar:
      st = float2(p.x, p.y);
      break;
    case kMaskingBox: {
      // The box face of the dominant axis, ties going to x over y and y over z.
      int axes[3];
      st = boxCoordinates(p, transformDirection(params.maskingTextureMatrix, state.No),
                          BoxAxisRule::A, axes);
      break;
    }
    default:
      st = cylinderCoordinates(p, params.maskingAngularRepeat);
      break;
  }
  const float4 texel = sample2D(params.maskingTexture, st);
  float3 mask = params.maskingFromAlpha ? float3(texel.w) : rgb(texel);
  if (params.maskingInvertTexture) mask = float3(1.0f) - mask;
  if (mask == float3(1.0f)) return mask;
  // Outside the planar projection's slab everything is see-through.
  if (mode == kMaskingPlanar && (p.z < -1.0f || p.z > 1.0f)) return float3(1.0f);
  return mask;
}

// The same, reading the `uv` varying the class declares.
template <class Params>
float3 maskingValue(const Params& params, const ShadingState& state) {
  constexpr int32_t uvOffset = requiredVaryingOffset<prologue_detail::BlockOfT<Params>>("uv");
  return maskingValue(params, state, uvOffset);
}

// A fully see-through mask discards the hit.
inline bool discardsHit(const float3& mask) {
  return mask == float3(1.0f);
}

// Weight of what the surface still contributes under a mask.
inline float maskedWeight(const float3& mask) {
  return 1.0f - maxComponent(mask);
}

// ---- ambient occlusion -----------------------------------------------------------------------

// Occlusion multiplier, 1 = unoccluded: precomputed (texture at `uv1`, or the red of
// `vtxcolor`) when `usePrecalcAO` is set and the mode names a source, otherwise the host's
// occlusion query along the forward-facing normal. `opacity` is the material's opacity colour
// (its largest channel removes that much of the effect); `weight` scales the host query.
template <class Params>
float3 ambientOcclusionTerm(const Params& params, IHostContext* host, const ShadingState& state,
                            const float3& opacity, float weight) {
  using Block = prologue_detail::BlockOfT<Params>;
  constexpr int32_t uv1Offset = requiredVaryingOffset<Block>("uv1");
  constexpr int32_t vtxcolorOffset = requiredVaryingOffset<Block>("vtxcolor");

  const float k = 1.0f - maxComponent(opacity);
  const float f = params.ambientOcclusionFactor;
  const int32_t mode = params.ambientOcclusionMode;
  const float3& occludedColor = params.ambientOcclusionColor;

  if (params.usePrecalcAO && (mode == kOcclusionFromTexture || mode == kOcclusionFromVertexColor)) {
    const float r =
        mode == kOcclusionFromTexture
            ? sample2D(params.ambientOcclusionTexture, readVarying<float2>(state, uv1Offset)).x
            : readVarying<float4>(state, vtxcolorOffset).x;
    const float o = (1.0f - r) * f * k;
    return occludedColor * o + float3(1.0f - o);
  }

  const float queryWeight = k * weight * f;
  const float3 facingNormal = faceForward(state.N, state.I, state.Ng);
  float3 q;
  host->occlusion(&q, &state.P, &facingNormal, queryWeight);
  const float3 c = mix(float3(1.0f), q, f);
  const float3 o = (float3(1.0f) - c) * k;
  return occludedColor * o + (float3(1.0f) - o);
}

// ---- diffuse lighting ------------------------------------------------------------------------

// Ambient plus indirect diffuse light at `point`, times the host's occlusion unless
// `CaldrinAODisable` is set, times the albedo. A black albedo asks the host nothing.
template <class Params>
float3 diffuseLightingWithOcclusion(const Params& params, IHostContext* host, const float3& albedo,
                                    const float3& point, const float3& normal) {
  if (isBlack(albedo)) return float3(0.0f);
  const float strength = maxComponent(albedo);
  float3 ambient, indirect;
  host->ambientLight(&ambient, &point, &normal);
  host->indirectDiffuse(&indirect, &point, &normal, strength);
  float3 light = ambient + indirect;
  if (!params.CaldrinAODisable && !isBlack(light)) {
    float3 accessibility;
    host->occlusion(&accessibility, &point, &normal, strength);
    light *= accessibility;
  }
  return albedo * light;
}

// ---- clipping --------------------------------------------------------------------------------

// True when `P` lies on or behind one of the planes of a clipping map: texel 0 holds the plane
// count n in red, plane i (a, b, c, d) is sampled at (i + 0.5) / (n + 1). Only points strictly
// on the positive side of every plane survive. Out of line: a rare branch of every entry point.
TARVO_OUT_OF_LINE inline bool clippedByPlanes(const Texture1D& map, const float3& P) {
  const float n = sample1D(map, 0.0f).x;
  if (!(n >= 1.0f)) return false;
  int tested = 0;
  for (float i = 1.0f; i <= n && tested < kMaxClippingPlanes; i += 1.0f, ++tested) {
    const float4 plane = sample1D(map, (i + 0.5f) / (n + 1.0f));
    if (plane.x * P.x + plane.y * P.y + plane.z * P.z <= -plane.w) return true;
  }
  return false;
}

// True when `u_globalClippingMapEnable` is set and the map's planes clip `P`; always false for a
// block without the clipping pair.
template <class Params>
TARVO_ALWAYS_INLINE bool clippedByGlobalPlanes(const Params& params, const ShadingState& state) {
  if constexpr (declaresParameter<prologue_detail::BlockOfT<Params>>("u_globalClippingMapEnable")) {
    return params.u_globalClippingMapEnable && clippedByPlanes(params.u_globalClippingMap, state.P);
  } else {
    return false;
  }
}

// A clipped hit is not part of the surface: sets `ignoreHit` and says so, and the entry point
// returns.
template <class Params>
TARVO_ALWAYS_INLINE bool ignoreIfClipped(const Params& params, ShadingState* state) {
  if (!clippedByGlobalPlanes(params, *state)) return false;
  state->ignoreHit = 1;
  return true;
}

// ---- composition -----------------------------------------------------------------------------

// The six colour terms of a material's composition, in the order they are summed: the lights on
// the diffuse colour; the lights' highlights (a clear interface's whole direct term); ambient and
// indirect diffuse light; the traced reflection; what shows through the surface (refraction,
// holes, straight-through transmission); an additional colour.
struct Term {
  enum Index : int {
    kDirectDiffuse,
    kDirectGlossy,
    kIndirectDiffuse,
    kReflection,
    kTransmission,
    kExtra,
    kCount
  };
};
using ComposedTerms = float4[Term::kCount];

// The material's terms summed in their fixed order, times the common tint when enabled; alpha 1.
template <size_t N>
float4 composeTerms(const float4 (&terms)[N], bool tintEnable, const float4& tintColor) {
  static_assert(N > 0);
  float4 sum = terms[0];
  for (size_t i = 1; i < N; ++i)
    sum += terms[i];
  if (tintEnable) sum *= tintColor;
  sum.w = 1.0f;
  return sum;
}

// Through a partly open surface (`coverage` 1 solid, 0 open) the surface's terms and what lies
// `behind` it share the pixel.
inline void coverTerms(ComposedTerms& terms, float coverage, const float3& behind) {
  for (float4& t : terms)
    t = float4(rgb(t) * coverage, t.w);
  float4& through = terms[Term::kTransmission];
  through = float4(rgb(through) + behind * (1.0f - coverage), 1.0f);
}

// The indirect diffuse term darkened by the ambient-occlusion term (weight from the mask).
// Occlusion only darkens indirect light: without any there is nothing to ask the host.
template <class Params>
void occludeIndirectDiffuse(const Params& params, IHostContext* host, const ShadingState& state,
                            const float3& mask, ComposedTerms& terms) {
  float4& indirect = terms[Term::kIndirectDiffuse];
  if (isBlack(rgb(indirect))) return;
  const float3 ao = ambientOcclusionTerm(params, host, state, float3(0.0f), maskedWeight(mask));
  indirect = float4(rgb(indirect) * ao, 1.0f);
}

// Writes the composed colour into `Ci`; under a partial mask the colour behind the surface
// (continued straight through) shows in proportion, with its alpha.
inline void writeMaskedColor(IHostContext* host, ShadingState* state, const float4& composed,
                             const float3& mask) {
  if (isBlack(mask)) {
    state->Ci = composed;
    return;
  }
  float4 behind;
  host->traceContinue(&behind, &state->P, &state->I, 1.0f);
  state->Ci = float4(mix(rgb(composed), rgb(behind), mask), behind.w);
}

// ---- the frame of a material's shade -----------------------------------------------------------

// The six terms composed in order, with the common tint when the class declares one.
template <class Params>
TARVO_ALWAYS_INLINE float4 composeWithCommonTint(const Params& p, const ComposedTerms& terms) {
  if constexpr (declaresParameter<prologue_detail::BlockOfT<Params>>("u_commonTintEnable")) {
    return composeTerms(terms, p.u_commonTintEnable, p.u_commonTintColor);
  } else {
    return composeTerms(terms, false, float4(1.0f));
  }
}

// A material's shade around its own body: the masking value of the hit `in` (a surface seen
// fully through lets the ray go on as if it were absent), the six terms of the composition, each
// (0, 0, 0, 1) until `body(mask, terms)` fills it, and their composition written to `out`'s `Ci`
// with the masked pass-through. `in` is `*out` or a class's reoriented copy of it.
template <class Params, class Body>
TARVO_ALWAYS_INLINE void shadeWithinPrologue(const Params& p, IHostContext* host,
                                             const ShadingState& in, ShadingState* out,
                                             Body&& body) {
  const float3 mask = maskingValue(p, in);
  if (discardsHit(mask)) {
    out->ignoreHit = 1;
    return;
  }
  ComposedTerms terms;
  for (float4& t : terms)
    t = float4(0.0f, 0.0f, 0.0f, 1.0f);
  body(mask, terms);
  writeMaskedColor(host, out, composeWithCommonTint(p, terms), mask);
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_MATERIAL_PROLOGUE_H

// VesmarLegacy: the layered surface of the older scene format. A diffuse layer (textured,
// tinted) under two glossy lobes lit by the host's light list (a base lobe and a clear coat),
// Fresnel-weighted reflection (traced, or looked up in a latitude-longitude override image and
// graded), refraction through a solid or a thin slab with coloured absorption, cut-outs,
// transparency, normal mapping, ambient occlusion and two diagnostic outputs.
//
// Parameter groups: shadow tint; normal sign and the diagnostics; the texture channels
// (diffuse, specular, transparency, bump, masking: colour, mode, image, projection matrix,
// cylinder repeat, UV matrix, shadinglib/texture_channel.h); the two lobes (`specularREG`,
// `specular2REG`: reflectance at normal incidence in x, roughness in y) and their light gains;
// reflectivity (uniform colour or Fresnel curves) and the reflection tint; reflection override and
// the IBL grading; refraction; ambient occlusion; switches. 37 of them (IBL controls the shading
// does not read, `globalIllumIntensity`, `usingHDRbuffer`) are declared and copied for the host
// only.
//
// Choices of this library:
// - Host light: the host's ambient and indirect diffuse light plus the direct diffuse sums of
//   both light categories (scaled by `diffuseLightGainValue` in `IBLDiffMode` 0 and 1); the
//   first-lobe light of both categories (scaled by `specularLightGainValue` in `IBLSpecMode` 0
//   and 1); the clear-coat light of both (scaled by `specular2LightGainValue` unless
//   `IBLSpecMode` is 2, and by `specular2Color`). Other modes add those sums unscaled.
// - Composition: refracted (or straight-through) light enters once, by the transparency's share;
//   a refraction blocked by total internal reflection lets nothing through. A partial cut-out
//   (and the transparency folded into it) shows the scene behind straight through, in every
//   channel by its largest one, with the alpha found there.
// - Ambient occlusion takes the transparency as the surface's opacity colour (a see-through
//   surface is not darkened) and the cut-out's masked weight as the query's weight.
// - Normal mapping reads the bump channel in modes 1 to 4 only; mode 0 (the channel has no
//   colour of its own) and modes outside the table leave the normal unbumped.
// - `evaluate`: the base lobe times the reflection tint times h cv / (4 pi m^2 x l), the factor
//   that makes the lobe's directional albedo at most its Fresnel term (shadinglib/
//   legacy_lobes.h), plus the diffuse share; the sum times the present share (1 - t) (1 -
//   max(cut-out)). Directions below the unperturbed normal add nothing and report a cosine of 0.
// - `scatter`: three events with albedos pass-through c + (1 - c) t (c the largest cut-out
//   channel), diffuse (1 - F) D (1 - t) P and mirror F P (P the present share of evaluate);
//   each is chosen with the probability of its largest channel (all three scaled down together
//   when they sum above 1) and weighted by its albedo over that probability, both density fields
//   1. The estimate is unbiased for the three albedos, which sum to at most 1 per channel for
//   colours at most 1; the cosine-weighted bounce's density and the Lambert 1/pi cancel. An
//   event the host does not allow ends the path in its share. A fully cut-out hit is ignored.
// - Negative absorbance other than -1 absorbs nothing; a slab ray at a grazing cosine of 0
//   starts at P.
#include "frame/shader_class.h"
#include "shadinglib/ibl_grading.h"
#include "shadinglib/latlong.h"
#include "shadinglib/legacy_lobes.h"
#include "shadinglib/light_samples.h"
#include "shadinglib/material_prologue.h"
#include "shadinglib/ray_directions.h"
#include "shadinglib/texture_channel.h"
#include "shadinglib/varyings.h"

namespace pvx {

#define TARVO_VESMAR_LEGACY_PARAMETERS(PARAM, VARYING)                                             \
  PARAM(Color, shadowColor, ::pvx::float3(0.0f), "colour that replaces light in full shadow",      \
        "[0, 1]")                                                                                  \
  PARAM(Float, shadowIntensity, 1.0f, "strength of the shadow colour", "[0, 1]")                   \
  PARAM(Float, receiveShadow, 1.0f,                                                                \
        "0: lights give their unshadowed colour; otherwise shadows are received")                  \
  PARAM(Bool, reverseNormal, false, "negate the shading and object-space normals")                 \
  PARAM(Bool, faceForward, false,                                                                  \
        "keep normals as they are on back faces (off: negate them); also picks the normals-only "  \
        "colouring")                                                                               \
  PARAM(Bool, faceLight, false, "picks the normals-only colouring when faceForward is off")        \
  PARAM(Bool, showNormalsOnly, false, "diagnostic: show the facing ratio only")                    \
  PARAM(Bool, showAmbientOnly, false, "diagnostic: show the ambient-occlusion factor only")        \
  PARAM(Color, diffuseColor, ::pvx::float3(0.0f, 0.0f, 1.0f), TARVO_CHANNEL_COLOR_NOTE("diffuse")) \
  PARAM(Int, diffuseMode, 0, TARVO_CHANNEL_MODE_NOTE("diffuse"))                                   \
  PARAM(Texture2D, diffuseTexture, {}, TARVO_CHANNEL_TEXTURE_NOTE("diffuse"))                      \
  PARAM(Mat4, diffuseTextureMatrix, ::pvx::identity4,                                              \
        TARVO_CHANNEL_TEXTURE_MATRIX_NOTE("diffuse"))                                              \
  PARAM(Color, diffuseTextureTintColor, ::pvx::float3(1.0f), "multiplies the diffuse texel",       \
        "[0, inf)")                                                                                \
  PARAM(Float, diffuseAngularRepeat, 1.0f, TARVO_CHANNEL_ANGULAR_REPEAT_NOTE("diffuse"))           \
  PARAM(Mat3, diffuseUVMatrix, ::pvx::identity3, TARVO_CHANNEL_UV_MATRIX_NOTE("diffuse"))          \
  TARVO_KEPT_IBL_GRADING(PARAM, diffuse)                                                           \
  PARAM(Float, diffuseLightGainValue, 1.0f,                                                        \
        "multiplies the direct diffuse light in IBLDiffMode 0 and 1")                              \
  PARAM(Color, specularColor, ::pvx::float3(0.5f), TARVO_CHANNEL_COLOR_NOTE("specular"))           \
  PARAM(Color, specularREG, ::pvx::float3(0.66f, 0.33f, 1.0f),                                     \
        "first lobe: (roughness, reflectance at normal incidence, unused)")                        \
  PARAM(Color, specular2REG, ::pvx::float3(0.66f, 0.33f, 1.0f),                                    \
        "second (clear-coat) lobe: (roughness, reflectance at normal incidence, unused)")          \
  PARAM(Int, specularMode, 0, TARVO_CHANNEL_MODE_NOTE("specular"))                                 \
  PARAM(Texture2D, specularTexture, {}, TARVO_CHANNEL_TEXTURE_NOTE("specular"))                    \
  PARAM(Mat4, specularTextureMatrix, ::pvx::identity4,                                             \
        TARVO_CHANNEL_TEXTURE_MATRIX_NOTE("specular"))                                             \
  PARAM(Float, specularAngularRepeat, 1.0f, TARVO_CHANNEL_ANGULAR_REPEAT_NOTE("specular"))         \
  PARAM(Color, specular2Color, ::pvx::float3(0.5f),                                                \
        "colour of the second lobe; black switches it off", "[0, 1]")                              \
  PARAM(Mat3, specularUVMatrix, ::pvx::identity3, TARVO_CHANNEL_UV_MATRIX_NOTE("specular"))        \
  TARVO_KEPT_IBL_GRADING(PARAM, specular)                                                          \
  PARAM(Float, specularLightGainValue, 1.0f,                                                       \
        "multiplies the first-lobe light in IBLSpecMode 0 and 1")                                  \
  PARAM(Float, specular2LightGainValue, 1.0f,                                                      \
        "multiplies the second-lobe light when IBLSpecMode is not 2")                              \
  PARAM(Color, transparencyColor, ::pvx::float3(0.8f), TARVO_CHANNEL_COLOR_NOTE("transparency"))   \
  PARAM(Int, transparencyMode, 0, TARVO_CHANNEL_MODE_NOTE("transparency"))                         \
  PARAM(Texture2D, transparencyTexture, {}, TARVO_CHANNEL_TEXTURE_NOTE("transparency"))            \
  PARAM(Mat4, transparencyTextureMatrix, ::pvx::identity4,                                         \
        TARVO_CHANNEL_TEXTURE_MATRIX_NOTE("transparency"))                                         \
  PARAM(Float, transparencyAngularRepeat, 1.0f, TARVO_CHANNEL_ANGULAR_REPEAT_NOTE("transparency")) \
  PARAM(Bool, transparencyInvert, false, "use one minus the transparency")                         \
  PARAM(Bool, transparencyFromDiffuse, false,                                                      \
        "take the transparency from the diffuse image's alpha")                                    \
  PARAM(Mat3, transparencyUVMatrix, ::pvx::identity3,                                              \
        TARVO_CHANNEL_UV_MATRIX_NOTE("transparency"))                                              \
  PARAM(Bool, transparencyBlocksHighlights, false,                                                 \
        "transparency also dims the highlights (folded into the cut-out amount)")                  \
  PARAM(Int, bumpMode, -1,                                                                         \
        "bump channel: where the normal map is read; also picks the tangent frame",                \
        "-1 off | 0 off | 1 UV | 2 planar | 3 box | 4 cylindrical")                                \
  PARAM(Texture2D, bumpTexture, {}, "normal map: (2r - 1, 2g - 1, 2b - 1) in tangent space")       \
  PARAM(Mat4, bumpTextureMatrix, ::pvx::identity4,                                                 \
        "bump channel: object-space projection of modes 2 to 4")                                   \
  PARAM(Mat4, bumpTextureMatrixInverse, ::pvx::identity4,                                          \
        "its rows give the tangent frame of bump modes 2 to 4")                                    \
  PARAM(Float, bumpAngularRepeat, 1.0f, "bump channel: repeats around the cylinder of mode 4")     \
  PARAM(Float, bumpDepth, 1.0f, "strength of the normal map; 0 switches bumping off")              \
  PARAM(Mat3, bumpUVMatrix, ::pvx::identity3, "bump channel: 2-D transform of uv in mode 1")       \
  PARAM(Color, maskingColor, ::pvx::float3(0.0f), TARVO_CHANNEL_COLOR_NOTE("masking"))             \
  PARAM(Int, maskingMode, 0, TARVO_CHANNEL_MODE_NOTE("masking"))                                   \
  PARAM(Texture2D, maskingTexture, {}, TARVO_CHANNEL_TEXTURE_NOTE("masking"))                      \
  PARAM(Mat4, maskingTextureMatrix, ::pvx::identity4,                                              \
        TARVO_CHANNEL_TEXTURE_MATRIX_NOTE("masking"))                                              \
  PARAM(Bool, maskingInvertTexture, false, "use one minus the mask in modes 1 to 4")               \
  PARAM(Float, maskingAngularRepeat, 1.0f, TARVO_CHANNEL_ANGULAR_REPEAT_NOTE("masking"))           \
  PARAM(Mat3, maskingUVMatrix, ::pvx::identity3, TARVO_CHANNEL_UV_MATRIX_NOTE("masking"))          \
  PARAM(Bool, maskingFromAlpha, false, "take the mask from the image's alpha")                     \
  PARAM(Color, reflectivityColor, ::pvx::float3(0.0f),                                             \
        "reflectivity when useUniformReflectivity is on", "[0, 1]")                                \
  PARAM(Bool, useUniformReflectivity, true,                                                        \
        "reflectivity is reflectivityColor (off: the Fresnel curve fresnel)")                      \
  PARAM(ColorAlpha, fresnel, ::pvx::float4(0.0f),                                                  \
        "first-lobe Fresnel curve: (bias, scale, exponent, maximum)")                              \
  PARAM(ColorAlpha, clearCoat_fresnel, ::pvx::float4(0.0f),                                        \
        "second-lobe Fresnel curve: (bias, scale, exponent, maximum)")                             \
  PARAM(Int, reflectType, 0, "tint of the reflection",                                             \
        "0 diffuse colour | 1 white | 2 specular channel")                                         \
  PARAM(Float, reflectAbsorb, 0.0f, "absorbed share of the reflection for reflectType 0 and 1",    \
        "[0, 1]")                                                                                  \
  PARAM(Bool, reflectLight, false,                                                                 \
        "refraction and diffuse image light are dimmed by one minus the reflectivity")             \
  PARAM(Color, reflectIBLGainColor, ::pvx::float3(1.0f), TARVO_KEPT_NOTE)                          \
  PARAM(Int, reflectIBLGainSource, 0, TARVO_KEPT_NOTE)                                             \
  PARAM(Float, reflectIBLGainValue, 1.0f, TARVO_KEPT_NOTE)                                         \
  PARAM(Texture2D, reflectOverride, {},                                                            \
        "latitude-longitude image reflected instead of traced rays")                               \
  PARAM(Bool, useReflectOverride, false, "reflections come from reflectOverride")                  \
  PARAM(Float, surfaceRoughness, 0.0f,                                                             \
        "roughness handed to the traced reflection and refraction rays", "[0, inf)")               \
  PARAM(Float, refractiveIndex, 1.0f, "index of refraction (1: no bending)", "(0, inf)")           \
  PARAM(Float, simulatedThickness, 0.0f,                                                           \
        "0: solid refraction; above 0: a thin slab of this thickness", "[0, inf)", "scene units")  \
  PARAM(Int, IBLDiffMode, -1, "how host (image-based) diffuse light combines with direct light",   \
        "-1 added as it is | 0 direct light scaled by diffuseLightGainValue | 1 the same | 2 "     \
        "added as it is")                                                                          \
  PARAM(Int, IBLSpecMode, -1, "how host specular light combines with direct light",                \
        "-1 added as it is | 0 first lobe scaled by specularLightGainValue | 1 the same | 2 "      \
        "second lobe unscaled")                                                                    \
  PARAM(Float, diffuseIBLGainValue, 1.0f, TARVO_KEPT_NOTE)                                         \
  PARAM(Float, specularIBLGainValue, 1.0f, TARVO_KEPT_NOTE)                                        \
  PARAM(TextureCube, diffuseIBLCube, {}, TARVO_KEPT_NOTE)                                          \
  PARAM(TextureCube, specularIBLCube, {}, TARVO_KEPT_NOTE)                                         \
  PARAM(Color, globalIBLContrastPivot, ::pvx::float3(1.0f), "pivot of the reflection contrast")    \
  PARAM(Float, globalIBLContrastValue, 1.0f,                                                       \
        "reflection contrast; also scales the weight of traced reflection rays")                   \
  PARAM(Color, globalIBLGainColor, ::pvx::float3(1.0f), TARVO_KEPT_NOTE)                           \
  PARAM(Float, globalIBLSatValue, 1.0f, "reflection saturation: 1 unchanged, 0 grey", "[0, inf)")  \
  PARAM(Int, globalIBLGainSource, 0, TARVO_KEPT_NOTE)                                              \
  PARAM(Float, globalIBLGainValue, 1.0f, TARVO_KEPT_NOTE)                                          \
  PARAM(Mat3, globalIBLMatrix, ::pvx::identity3,                                                   \
        "rotation of the reflection direction before the reflectOverride lookup")                  \
  TARVO_KEPT_IBL_CHANNEL(PARAM, diffuse)                                                           \
  PARAM(Float, diffuseIBLChannelSatValue, 1.0f, TARVO_KEPT_NOTE)                                   \
  TARVO_KEPT_IBL_CHANNEL(PARAM, specular)                                                          \
  PARAM(Float, specularIBLChannelSatValue, 1.0f, TARVO_KEPT_NOTE)                                  \
  TARVO_KEPT_IBL_CHANNEL(PARAM, reflect)                                                           \
  PARAM(Float, reflectIBLChannelSatValue, 1.0f, "reflection saturation factor", "[0, inf)")        \
  TARVO_AO_PARAMETERS(PARAM)                                                                       \
  PARAM(Color, absorbanceRGB, ::pvx::float3(-1.0f),                                                \
        "absorption per unit length of refracted light; -1 absorbs the channel fully", nullptr,    \
        "1/scene unit")                                                                            \
  PARAM(Bool, useAlpha, true, "alpha grows with reflectivity and refraction")                      \
  PARAM(Float, globalIllumIntensity, 1.0f, TARVO_KEPT_NOTE)                                        \
  PARAM(Bool, unlitSurface, false, "no light loop: the surface is not lit by lights")              \
  PARAM(Bool, selfIlluminance, false, "take the diffuse light as white")                           \
  PARAM(Bool, usingHDRbuffer, false, TARVO_KEPT_NOTE)                                              \
  PARAM(Bool, triplanarXY, false, "box projection samples the x face as (z, y) instead of (y, z)") \
  PARAM(Bool, draw_mere_shadow, false, "shade ignores every hit (shadows only)")                   \
  VARYING(Float2, uv, 0, TARVO_NOTE_UV)                                                            \
  VARYING(Float2, uv1, 8, "second texture coordinates, where the occlusion texture is read")       \
  VARYING(Float3, tangent, 16, TARVO_NOTE_TANGENT)                                                 \
  VARYING(Float3, bitangent, 28, TARVO_NOTE_BITANGENT)                                             \
  VARYING(Color4, vtxcolor, 40, "vertex colour; its red channel is the vertex occlusion of mode 2")
TARVO_PARAMETER_BLOCK(VesmarLegacyParameters, TARVO_VESMAR_LEGACY_PARAMETERS);

class VesmarLegacy final
    : public ShaderClass<VesmarLegacy, MaterialShader, VesmarLegacyParameters> {
 public:
  static constexpr const char* kClassName = "VesmarLegacy";

  void shade(IHostContext* host, ShadingState* state) const override {
    const float3 shadowTint = shadowColor * shadowIntensity + float3(1.0f - shadowIntensity);
    if (draw_mere_shadow) {
      state->ignoreHit = 1;
      return;
    }
    const float sign = normalSign();
    float3 n = state->N * sign, no = state->No * sign;
    if (!faceForward && state->frontFacing == 0) {
      n = -n;
      no = -no;
    }
    if (showNormalsOnly) {
      writeNormalsOnly(state, n, sign);
      return;
    }

    const ChannelHit hit = channelHit(*state, no);
    float3 cutout = cutoutAmount(*state, hit);
    if (discardsHit(cutout)) {
      state->ignoreHit = 1;
      return;
    }
    float3 transparency = transparencyAmount(hit);
    foldTransparency(cutout, transparency);
    const float3 diffuse = diffuseColour(hit);
    const float3 tint = reflectionTint(hit, diffuse);
    n = bumpedNormal(*state, hit, n, sign);
    const Reflectivity F = reflectivity(state->I, n);

    DirectLight direct;
    if (!unlitSurface) direct = gatherDirectLight(host, *state, n, shadowTint, F.secondLobe);
    if (selfIlluminance) direct.diffuse[1] = float3(1.0f);

    const float3 occlusion =
        ambientOcclusionTerm(*this, host, *state, transparency, maskedWeight(cutout));
    if (showAmbientOnly) {
      state->Ci = float4(float3(minComponent(occlusion)), 1.0f);
      return;
    }
    const CombinedLight light = combineHostLight(host, *state, n, diffuse, F.F, direct);

    float alpha = 1.0f;
    const float3 mirror = normalize(reflect(state->I, n));
    float3 reflection(0.0f), coat(0.0f);
    if (!isBlack(F.F)) {
      reflection = reflectedColour(host, *state, mirror, F.F) * tint;
      if (useAlpha) alpha = mix(alpha, 1.0f, maxComponent(F.F));
    }
    if (F.F2 > 0.0f && (isBlack(F.F) || surfaceRoughness != 0.0f)) {
      host->traceSpecular(&coat, &state->P, &mirror, 1.0f);
      coat *= specular2Color;
    }

    const Refraction refraction = refract(host, *state, n, transparency, F.F, alpha);

    const float3 base = F.F * (reflection + light.specular) +
                        (float3(1.0f) - F.F) * (diffuse * occlusion * light.diffuse);
    float3 colour = (F.F2 * (coat + light.coat) + (1.0f - F.F2) * base) * refraction.absorption;

    float4 behind(0.0f, 0.0f, 0.0f, 1.0f);
    bool continued = false;
    auto straightThrough = [&]() {
      if (!continued) host->traceContinue(&behind, &state->P, &state->I, 1.0f);
      continued = true;
      return behind;
    };
    if (!isBlack(transparency)) {
      float3 through(0.0f);
      if (refraction.traced) {
        through = refraction.colour;
      } else if (!refraction.blocked) {
        through = rgb(straightThrough());
      }
      colour = colour * (float3(1.0f) - transparency) + transparency * through;
      alpha = mix(alpha, 1.0f, maxComponent(transparency));
    }
    if (!isBlack(cutout)) {
      const float share = maxComponent(cutout);
      const float4 b = straightThrough();
      colour = colour * (1.0f - share) + cutout * rgb(b);
      alpha = mix(alpha, b.w, share);
    }
    state->Ci = float4(colour, clamp(alpha, 0.0f, 1.0f));
  }

  void shadow(IHostContext*, ShadingState* state) const override {
    const float sign = normalSign();
    const ChannelHit hit = channelHit(*state, state->No * sign);
    float3 cutout = cutoutAmount(*state, hit);
    if (discardsHit(cutout)) {
      state->shadowT = float3(1.0f);
      return;
    }
    float3 transparency = transparencyAmount(hit);
    if (isBlack(transparency) && isBlack(cutout)) {
      state->shadowT = float3(0.0f);
      return;
    }
    foldTransparency(cutout, transparency);
    if (discardsHit(cutout)) {
      state->shadowT = float3(1.0f);
      return;
    }
    const Reflectivity F = reflectivity(state->I, bumpedNormal(*state, hit, state->N * sign, sign));
    if (!(F.F.x >= 0.999f && F.F.y >= 0.999f && F.F.z >= 0.999f)) {
      if (simulatedThickness > 0.0f) {
        transparency *= absorptionFactor(absorbanceRGB, simulatedThickness);
      } else if (state->frontFacing == 0) {
        transparency *= absorptionFactor(absorbanceRGB, distance(state->rayOrigin, state->P));
      }
    }
    const float3 passed = (float3(1.0f) - F.F) * transparency * (1.0f - F.F2);
    state->shadowT = float3(1.0f) - (float3(1.0f) - cutout) * (float3(1.0f) - passed);
  }

  void evaluate(IHostContext*, ShadingState* state) const override {
    const float sign = normalSign();
    const ChannelHit hit = channelHit(*state, state->No * sign);
    float3 cutout;
    if (!presentOrIgnored(state, hit, cutout)) return;
    const float cosine = dot(state->scatterDir, state->N);
    if (!(cosine > 0.0f)) {
      state->scatterCos = 0.0f;
      return;
    }
    respond(state, hit, sign, cosine, cutout);
  }

  void scatter(IHostContext* host, ShadingState* state) const override {
    const float u = host->random1();
    const float sign = normalSign();
    const ChannelHit hit = channelHit(*state, state->No * sign);
    float3 cutout;
    if (!presentOrIgnored(state, hit, cutout)) return;
    const float3 transparency = readTransparency(hit);
    const float3 diffuse = diffuseColour(hit);
    const float3 n = bumpedNormal(*state, hit, state->N * sign, sign);
    const float3 F = firstReflectivity(state->I, n);

    const float3 present = presentShare(cutout, transparency);
    const float cut = maxComponent(cutout);
    const ScatterEvents events =
        scatterEvents(cut + (1.0f - cut) * transparency,
                      (float3(1.0f) - F) * diffuse * (float3(1.0f) - transparency) * present,
                      F * present, state->allowScatter);

    if (u < events.probability[0]) {
      state->scatterDir = state->I;
      state->scatterWeight = events.albedo[0] / events.probability[0];
      state->scatterKind = kRayTransmission;
    } else if (u < events.probability[0] + events.probability[1]) {
      float2 r;
      host->random2(&r);
      state->scatterDir = cosineWeightedDirection(n, r);
      state->scatterWeight = events.albedo[1] / events.probability[1];
      state->scatterKind = kRayCamera;
    } else if (u < events.probability[0] + events.probability[1] + events.probability[2]) {
      state->scatterDir = reflect(state->I, state->N);
      state->scatterWeight = events.albedo[2] / events.probability[2];
      state->scatterKind = kRayGlossy;
    } else {
      // No event, or one the host does not accept: the path ends and nothing else is written.
      state->scatterKind = kRayNone;
      return;
    }
    state->scatterCos = 1.0f;
    state->scatterInvPdf = 1.0f;
  }

 private:
  static constexpr int32_t kUVOffset = varyingOffset<VesmarLegacyParameters>("uv");
  static constexpr int32_t kTangentOffset = varyingOffset<VesmarLegacyParameters>("tangent");
  static constexpr int32_t kBitangentOffset = varyingOffset<VesmarLegacyParameters>("bitangent");
  // Flags of the light-list query.
  static constexpr int32_t kLightListFlags = -1024;
  // Light records of this category carry the image-based lights' share.
  static constexpr int32_t kLightCategoryFirst = 1;
  // `reflectType` values with a tint of their own; others take the specular channel.
  static constexpr int32_t kReflectDiffuse = 0;
  static constexpr int32_t kReflectWhite = 1;
  // `IBLSpecMode` that takes the clear-coat light unscaled.
  static constexpr int32_t kSpecModeUnscaledCoat = 2;

  float normalSign() const { return reverseNormal ? -1.0f : 1.0f; }

  // ---- channels ------------------------------------------------------------------------------

  ChannelHit channelHit(const ShadingState& state, const float3& no) const {
    return ChannelHit{state.Po, no, readVarying<float2>(state, kUVOffset)};
  }

  // How much of the surface is there for a path-tracing entry point: the cut-out, into
  // `cutout`, with the transparency folded into it; false, with `ignoreHit` set, where the
  // cut-out removes the surface. The transparency is read here only where it folds into the
  // cut-out and so decides whether the hit is ignored; otherwise readTransparency reads it once a
  // direction needs it.
  TARVO_ALWAYS_INLINE bool presentOrIgnored(ShadingState* state, const ChannelHit& hit,
                                            float3& cutout) const {
    cutout = cutoutAmount(*state, hit);
    if (transparencyBlocksHighlights) {
      float3 transparency = transparencyAmount(hit);
      foldTransparency(cutout, transparency);
    }
    if (!discardsHit(cutout)) return true;
    state->ignoreHit = 1;
    return false;
  }

  // The transparency of a present hit: none left where it was folded into the cut-out.
  TARVO_ALWAYS_INLINE float3 readTransparency(const ChannelHit& hit) const {
    return transparencyBlocksHighlights ? float3(0.0f) : transparencyAmount(hit);
  }

  ChannelOptions channelOptions(bool alphaAsColour, const float3& tint = float3(1.0f)) const {
    ChannelOptions o;
    o.boxRule = triplanarXY ? BoxAxisRule::A : BoxAxisRule::B;
    o.alphaAsColour = alphaAsColour;
    o.tint = tint;
    return o;
  }

  // The see-through amount of the cut-out: (1, 1, 1) where the surface is absent, including
  // everywhere outside the planar masking projection's slab |q.z| <= 1.
  TARVO_ALWAYS_INLINE float3 cutoutAmount(const ShadingState& state, const ChannelHit& hit) const {
    float3 m = evaluateChannel<LegacyChannelCopy>(TARVO_CHANNEL(*this, masking), hit,
                                                  channelOptions(maskingFromAlpha));
    if (maskingInvertTexture && maskingMode > 0) m = float3(1.0f) - m;
    if (maskingMode == kChannelPlanar && m != float3(1.0f)) {
      const float z = transformPoint(maskingTextureMatrix, state.Po).z;
      if (z < -1.0f || z > 1.0f) m = float3(1.0f);
    }
    return m;
  }

  // The transparency channel, or the diffuse image's alpha (opaque where alpha is 1).
  TARVO_ALWAYS_INLINE float3 transparencyAmount(const ChannelHit& hit) const {
    if (!transparencyFromDiffuse) {
      const float3 t = evaluateChannel<LegacyChannelCopy>(TARVO_CHANNEL(*this, transparency), hit,
                                                          channelOptions(false));
      return transparencyInvert ? float3(1.0f) - t : t;
    }
    const ChannelParameters fromDiffuse{transparencyColor,    diffuseMode,
                                        diffuseTexture,       diffuseTextureMatrix,
                                        diffuseAngularRepeat, diffuseUVMatrix};
    const float3 t = evaluateChannel<LegacyChannelCopy>(
        fromDiffuse, hit, channelOptions(true, diffuseTextureTintColor));
    return transparencyInvert ? t : float3(1.0f) - t;
  }

  // With `transparencyBlocksHighlights` the transparency becomes part of the cut-out.
  void foldTransparency(float3& cutout, float3& transparency) const {
    if (!transparencyBlocksHighlights) return;
    cutout = float3(1.0f) - (float3(1.0f) - cutout) * (float3(1.0f) - transparency);
    transparency = float3(0.0f);
  }

  // What of the surface itself is there: (1 - t) per channel, times 1 - the largest cut-out.
  static float3 presentShare(const float3& cutout, const float3& transparency) {
    return (float3(1.0f) - transparency) * (1.0f - maxComponent(cutout));
  }

  float3 diffuseColour(const ChannelHit& hit) const {
    return evaluateChannel<LegacyChannelCopy>(TARVO_CHANNEL(*this, diffuse), hit,
                                              channelOptions(false, diffuseTextureTintColor));
  }

  float3 reflectionTint(const ChannelHit& hit, const float3& diffuse) const {
    if (reflectType == kReflectDiffuse) return diffuse * (1.0f - reflectAbsorb);
    if (reflectType == kReflectWhite) return float3(1.0f - reflectAbsorb);
    return evaluateChannel<LegacyChannelCopy>(TARVO_CHANNEL(*this, specular), hit,
                                              channelOptions(false));
  }

  // ---- normal and reflectivity ---------------------------------------------------------------

  // The normal bent by the bump channel's texel in the tangent frame of its mode: the mesh's
  // tangent varyings (1), the rows of `bumpTextureMatrixInverse` (2), the two of them the box
  // face picks (3), or the cylinder's tangent through them (4).
  TARVO_ALWAYS_INLINE float3 bumpedNormal(const ShadingState& state, const ChannelHit& hit,
                                          const float3& n, float sign) const {
    if (bumpMode < kChannelUV || bumpMode > kChannelCylindrical || bumpDepth == 0.0f) return n;
    return normalMapped(state, hit, n, sign);
  }

  // Out of line: most surfaces read no normal map, and their entry points keep the registers.
  TARVO_OUT_OF_LINE float3 normalMapped(const ShadingState& state, const ChannelHit& hit,
                                        const float3& n, float sign) const {
    static constexpr float3 kFlat(0.5f, 0.5f, 1.0f);
    const ChannelParameters bump{
        kFlat, bumpMode, bumpTexture, bumpTextureMatrix, bumpAngularRepeat, bumpUVMatrix};
    ChannelFrame frame;
    const float3 texel =
        evaluateChannel<LegacyChannelCopy>(bump, hit, channelOptions(false), &frame);
    const float* g = bumpTextureMatrixInverse.m;
    const float3 G[3] = {float3(g[0], g[1], g[2]), float3(g[4], g[5], g[6]),
                         float3(g[8], g[9], g[10])};
    float3 tangent, bitangent;
    switch (bumpMode) {
      case kChannelUV:
        tangent = readVarying<float3>(state, kTangentOffset) * -sign;
        bitangent = readVarying<float3>(state, kBitangentOffset);
        break;
      case kChannelPlanar:
        tangent = -G[0];
        bitangent = G[1];
        break;
      case kChannelBox:
        tangent = -G[frame.axes[0]];
        bitangent = G[frame.axes[1]];
        break;
      default:
        tangent = frame.tangent.x * G[0] + frame.tangent.y * G[1] + frame.tangent.z * G[2];
        bitangent = G[2];
        break;
    }
    return normalMappedNormal(n, transformDirection(state.objectToWorld, tangent),
                              transformDirection(state.objectToWorld, bitangent), texel, bumpDepth);
  }

  struct Reflectivity {
    float3 F;
    float F2;
    bool secondLobe;
  };

  // The first lobe's reflectivity: the uniform colour, or its Fresnel curve at the curve's
  // argument `c` (negatedViewCosine).
  float3 firstReflectivity(float c) const {
    return useUniformReflectivity ? reflectivityColor
                                  : float3(clamp(fresnelCurve(c, fresnel), 0.0f, 1.0f));
  }

  // The same from I and n, the cosine taken only for the curve: the path-tracing entry points
  // weigh no clear coat.
  float3 firstReflectivity(const float3& I, const float3& n) const {
    return useUniformReflectivity ? reflectivityColor : firstReflectivity(negatedViewCosine(I, n));
  }

  Reflectivity reflectivity(const float3& I, const float3& n) const {
    const float c = negatedViewCosine(I, n);
    Reflectivity r;
    r.F = firstReflectivity(c);
    r.secondLobe = !isBlack(specular2Color);
    r.F2 = r.secondLobe ? fresnelCurve(c, clearCoat_fresnel) : 0.0f;
    return r;
  }

  // ---- light ---------------------------------------------------------------------------------

  // Direct light by category: [0] the first category, [1] every other; specular[c][lobe].
  struct DirectLight {
    float3 diffuse[2] = {float3(0.0f), float3(0.0f)};
    float3 specular[2][2] = {{float3(0.0f), float3(0.0f)}, {float3(0.0f), float3(0.0f)}};
  };

  DirectLight gatherDirectLight(IHostContext* host, const ShadingState& state, const float3& n,
                                const float3& shadowTint, bool secondLobe) const {
    DirectLight sums;
    forEachLightSample(
        host->lightSamples(kLightListFlags, &state.P, &n), [&](const LightSample& s) {
          const float3& C0 = s.unshadowedColor;
          if (isBlack(C0)) return;
          const GlossyGeometry g = glossyGeometry(state.I, n, s.L);
          const float3 C = receiveShadow == 0.0f ? C0 : s.color;
          const float lobe1 = glossyLobe(g, specularREG.x, specularREG.y, false);
          const float lobe2 =
              secondLobe ? glossyLobe(g, specular2REG.x, specular2REG.y, true) : 0.0f;
          if (s.tag == kLightCategoryFirst) {
            const float3 lit =
                receiveShadow == 0.0f
                    ? C
                    : s.transmission * C0 + (float3(1.0f) - s.transmission) * (shadowTint * C0);
            sums.diffuse[0] += g.l * lit;
            sums.specular[0][0] += lobe1 * C;
            sums.specular[0][1] += lobe2 * C;
          } else {
            sums.diffuse[1] += g.l * C;
            if (s.tag == kLightTagDiffuseOnly) return;
            sums.specular[1][0] += lobe1 * C;
            sums.specular[1][1] += lobe2 * C;
          }
        });
    return sums;
  }

  struct CombinedLight {
    float3 diffuse, specular, coat;
  };

  CombinedLight combineHostLight(IHostContext* host, const ShadingState& state, const float3& n,
                                 const float3& diffuse, const float3& F,
                                 const DirectLight& direct) const {
    const float3 diffuseWeight = reflectLight ? diffuse * (float3(1.0f) - F) : diffuse;
    float3 ambient, indirect;
    host->ambientLight(&ambient, &state.P, &n);
    host->indirectDiffuse(&indirect, &state.P, &n, maxComponent(diffuseWeight));
    const bool diffuseGain = IBLDiffMode == 0 || IBLDiffMode == 1;
    const bool specularGain = IBLSpecMode == 0 || IBLSpecMode == 1;
    CombinedLight light;
    light.diffuse =
        ambient + indirect +
        (direct.diffuse[0] + direct.diffuse[1]) * (diffuseGain ? diffuseLightGainValue : 1.0f);
    light.specular = (direct.specular[0][0] + direct.specular[1][0]) *
                     (specularGain ? specularLightGainValue : 1.0f);
    light.coat = (direct.specular[0][1] + direct.specular[1][1]) * specular2Color *
                 (IBLSpecMode != kSpecModeUnscaledCoat ? specular2LightGainValue : 1.0f);
    return light;
  }

  // The reflection along `mirror`: traced (weighted by the contrast and the reflectivities), or
  // from the override image after the image rotation; then graded.
  float3 reflectedColour(IHostContext* host, const ShadingState& state, const float3& mirror,
                         const float3& F) const {
    float3 c;
    if (useReflectOverride) {
      c = rgb(sampleLatLong(reflectOverride, normalize(mirror * globalIBLMatrix)));
    } else {
      const float weight = maxComponent(F * (globalIBLContrastValue * specularREG.x));
      host->traceReflection(&c, &state.P, &mirror, surfaceRoughness, weight);
    }
    return contrastThenSaturation(c, globalIBLContrastPivot, globalIBLContrastValue,
                                  reflectIBLChannelSatValue * globalIBLSatValue);
  }

  struct Refraction {
    bool traced = false;
    bool blocked = false;
    float3 colour{0.0f};
    float3 absorption{1.0f};  // applied to the whole surface colour as well
  };

  // Light through the surface: straight on (index 1), bent by Snell's law, or straight on from
  // the far side of a slab of `simulatedThickness`; absorbed on the way out of a solid.
  Refraction refract(IHostContext* host, const ShadingState& state, const float3& n,
                     const float3& transparency, const float3& F, float& alpha) const {
    Refraction r;
    if (isBlack(transparency)) return r;
    const float3& I = state.I;
    const float cosine = dot(I, n);
    float3 origin = state.P, direction = I;
    if (simulatedThickness > 0.0f) {
      if (cosine != 0.0f) origin = state.P + (simulatedThickness / abs(cosine)) * I;
    } else if (refractiveIndex != 1.0f) {
      const float eta = state.frontFacing != 0 ? 1.0f / refractiveIndex : refractiveIndex;
      const float3 facing = cosine < 0.0f ? n : -n;
      const Snell snellAt = snell(abs(cosine), eta);
      if (!(snellAt.k > 0.000001f)) {
        r.blocked = true;
        return r;
      }
      direction = snellDirection(I, facing, eta, snellAt);
    }
    const float3 weight = reflectLight ? transparency * (float3(1.0f) - F) : transparency;
    float4 traced;
    host->traceRefraction(&traced, &origin, &direction, surfaceRoughness, maxComponent(weight));
    r.traced = true;
    r.colour = rgb(traced);
    if (reflectLight) r.colour *= float3(1.0f) - F;
    if (state.frontFacing == 0) {
      r.absorption = absorptionFactor(absorbanceRGB, distance(state.rayOrigin, state.P));
      r.colour *= r.absorption;
    }
    if (useAlpha) {
      const float f = maxComponent(r.absorption);
      alpha = f * traced.w + (1.0f - f);
    }
    return r;
  }

  // ---- diagnostics ---------------------------------------------------------------------------

  // The facing ratio d = I.n as a colour; only the colour of `Ci` is written.
  void writeNormalsOnly(ShadingState* state, const float3& n, float sign) const {
    const float d = dot(state->I, n);
    float3 c;
    if (faceForward) {
      c = float3(clamp(0.7f * abs(d), 0.0f, 1.0f), clamp(0.35f * abs(d), 0.0f, 1.0f), 0.05f);
    } else if (faceLight) {
      c = float3(0.05f, clamp(0.8f * abs(d), 0.0f, 1.0f), 0.05f);
    } else if (dot(state->I, state->Ng * sign) <= 0.0f) {
      c = float3(0.05f, 0.05f, clamp(-0.8f * d, 0.0f, 1.0f));
    } else {
      c = float3(clamp(d, 0.0f, 1.0f), clamp(d, 0.0f, 1.0f), 0.0f);
    }
    state->Ci.x = c.x;
    state->Ci.y = c.y;
    state->Ci.z = c.z;
  }

  // ---- path tracing --------------------------------------------------------------------------

  // `evaluate` for a direction above the surface, out of line so that the exits before it save
  // no registers.
  TARVO_OUT_OF_LINE void respond(ShadingState* state, const ChannelHit& hit, float sign,
                                 float cosine, float3 cutout) const {
    const float3 transparency = readTransparency(hit);
    const float3 L = state->scatterDir;
    const float3 diffuse = diffuseColour(hit);
    const float3 n = bumpedNormal(*state, hit, state->N * sign, sign);
    const float3 F = firstReflectivity(state->I, n);
    const GlossyGeometry g = glossyGeometry(state->I, n, L);
    const float glossy =
        glossyLobe(g, specularREG.x, specularREG.y, false) * glossyNormalisation(g, specularREG.y);
    const float3 response = glossy * reflectionTint(hit, diffuse) +
                            (float3(1.0f) - F) * diffuse * (float3(1.0f) - transparency) * kInvPi;
    // Added: the host may gather several lobes' responses in the field.
    state->scatterWeight += response * presentShare(cutout, transparency);
    state->scatterCos = cosine;
  }

  // The albedos of pass-through, diffuse and mirror events and the probabilities they are
  // chosen with: each event's largest channel where the host allows it (the pass-through and
  // the mirror ride on the specular-reflection byte, the bounce on the diffuse one), all three
  // scaled down together when they sum above 1.
  struct ScatterEvents {
    float3 albedo[3];
    float probability[3];
  };

  static ScatterEvents scatterEvents(const float3& pass, const float3& diffuse,
                                     const float3& mirror, const uint8_t (&allow)[6]) {
    ScatterEvents e{{pass, diffuse, mirror}, {0.0f, 0.0f, 0.0f}};
    const bool allowed[3] = {allow[kAllowSpecularReflection] != 0,
                             allow[kAllowDiffuseReflection] != 0,
                             allow[kAllowSpecularReflection] != 0};
    float sum = 0.0f;
    for (int i = 0; i < 3; ++i) {
      const float p = maxComponent(e.albedo[i]);
      e.probability[i] = allowed[i] && p > 0.0f ? min(p, 1.0f) : 0.0f;
      sum += e.probability[i];
    }
    if (sum > 1.0f) {
      for (float& p : e.probability)
        p /= sum;
    }
    return e;
  }
};

TARVO_SHADER_FACTORY(VesmarLegacy)

}  // namespace pvx

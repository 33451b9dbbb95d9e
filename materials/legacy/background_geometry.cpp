// BackgroundGeometry: the dome or ground plane that carries a scene's background picture. Camera
// rays see the diffuse image (cut out where its alpha is low, blended with what lies behind where
// it is partial), darkened on up-facing parts by the shadows of the scene's lights and by
// occlusion, so that objects stand on the picture; reflected rays see an environment image in its
// place, so that reflections do not show the backplate's projection. It works with the default
// environment's `useBackgroundGeometry` switch; seen from behind it is absent.
//
// Parameter groups: the diffuse channel (shadinglib/texture_channel.h, the background copy with
// the spherical mode and the texel's alpha); the specular and bump channels; received shadows
// (`shadowColor`, `shadowIntensity`, `receiveShadow`, `draw_mere_shadow`); the reflection
// override (`useOverriddenReflection`, `reflectLatlong`); the diffuse texture's and the global
// grading (shadinglib/ibl_grading.h). The `...IBL...` channel controls other than the global ones
// are declared and copied for the host only.
//
// Choices of this library:
// - The bump and specular channels are declared and copied but not evaluated: their only
//   effect would multiply by zero, so the lit colour stands as the received shadow leaves it.
// - The reflection override is decided before the colour behind a partial cut-out is traced;
//   that trace would be discarded on reflected rays.
#include "frame/shader_class.h"
#include "shadinglib/ibl_grading.h"
#include "shadinglib/latlong.h"
#include "shadinglib/ray_kinds.h"
#include "shadinglib/received_shadow.h"
#include "shadinglib/texture_channel.h"
#include "shadinglib/varyings.h"

namespace pvx {

#define TARVO_BACKGROUND_GEOMETRY_PARAMETERS(PARAM, VARYING)                                       \
  PARAM(Color, diffuseColor, ::pvx::float3(1.0f), TARVO_CHANNEL_COLOR_NOTE("diffuse"), "[0, 1]")   \
  PARAM(Texture2D, diffuseTexture, {},                                                             \
        "diffuse channel: the background picture of modes 1 to 5 (its alpha cuts out below 0.05 "  \
        "and blends with what lies behind below 1)")                                               \
  PARAM(Int, diffuseMode, 0, "diffuse channel: where its value comes from",                        \
        TARVO_CHANNEL_MODES_WITH_SPHERE_NOTE)                                                      \
  PARAM(Mat4, diffuseTextureMatrix, ::pvx::identity4,                                              \
        "diffuse channel: object-space projection of modes 2 to 5")                                \
  PARAM(Float, diffuseAngularRepeat, 1.0f, TARVO_CHANNEL_ANGULAR_REPEAT_NOTE("diffuse"))           \
  PARAM(Mat3, diffuseUVMatrix, ::pvx::identity3, TARVO_CHANNEL_UV_MATRIX_NOTE("diffuse"))          \
  TARVO_KEPT_IBL_GRADING(PARAM, diffuse)                                                           \
  PARAM(Color, specularColor, ::pvx::float3(0.0f), TARVO_KEPT_NOTE)                                \
  PARAM(Texture2D, specularTexture, {}, TARVO_KEPT_NOTE)                                           \
  PARAM(Int, specularMode, 0, TARVO_KEPT_NOTE)                                                     \
  PARAM(Mat4, specularTextureMatrix, ::pvx::identity4, TARVO_KEPT_NOTE)                            \
  PARAM(Float, specularAngularRepeat, 1.0f, TARVO_KEPT_NOTE)                                       \
  PARAM(Mat3, specularUVMatrix, ::pvx::identity3, TARVO_KEPT_NOTE)                                 \
  TARVO_KEPT_IBL_GRADING(PARAM, specular)                                                          \
  PARAM(Int, bumpMode, -1, TARVO_KEPT_NOTE)                                                        \
  PARAM(Texture2D, bumpTexture, {}, TARVO_KEPT_NOTE)                                               \
  PARAM(Mat4, bumpTextureMatrix, ::pvx::identity4, TARVO_KEPT_NOTE)                                \
  PARAM(Mat4, bumpTextureMatrixInverse, ::pvx::identity4, TARVO_KEPT_NOTE)                         \
  PARAM(Float, bumpAngularRepeat, 1.0f, TARVO_KEPT_NOTE)                                           \
  PARAM(Float, bumpScale, 1.0f, TARVO_KEPT_NOTE)                                                   \
  PARAM(Mat3, bumpUVMatrix, ::pvx::identity3, TARVO_KEPT_NOTE)                                     \
  PARAM(Color, shadowColor, ::pvx::float3(0.0f),                                                   \
        "colour of received shadows and of full occlusion", "[0, 1]")                              \
  PARAM(Float, shadowIntensity, 1.0f, "strength of the received shadows", "[0, 1]")                \
  PARAM(Float, receiveShadow, 1.0f,                                                                \
        "0: no received shadows or occlusion; otherwise up-facing parts (normal z above 0.9) "     \
        "receive them")                                                                            \
  PARAM(Bool, draw_mere_shadow, false,                                                             \
        "shadow catcher: alpha 1 only where the received shadow is strong (every channel below "   \
        "0.7), else 0")                                                                            \
  PARAM(Bool, useOverriddenReflection, true,                                                       \
        "reflected and transmitted rays see reflectLatlong instead of the picture")                \
  PARAM(Texture2D, reflectLatlong, {},                                                             \
        "latitude-longitude environment image those rays see (black when unbound)")                \
  PARAM(Color, diffuseTextureGainColor, ::pvx::float3(1.0f),                                       \
        "gain colour of the picture (source 1): the picture turns to its luminance times it",      \
        "[0, inf)")                                                                                \
  PARAM(Int, diffuseTextureGainSource, 0, "what grades the picture's gain",                        \
        "0 diffuseTextureGainValue | 1 diffuseTextureGainColor")                                   \
  PARAM(Float, diffuseTextureGainValue, 1.0f, "gain factor of the picture (source 0)", "[0, inf)") \
  PARAM(Float, diffuseTextureSatValue, 1.0f,                                                       \
        "saturation of the picture, times globalIBLSatValue: 1 unchanged, 0 grey", "[0, inf)")     \
  PARAM(Color, globalIBLContrastPivot, ::pvx::float3(1.0f), "pivot of the picture's contrast")     \
  PARAM(Float, globalIBLContrastValue, 1.0f,                                                       \
        "contrast of the picture about the pivot: 1 unchanged, 0 the pivot", "[0, inf)")           \
  PARAM(Color, globalIBLGainColor, ::pvx::float3(1.0f),                                            \
        "global gain colour (source 1): the picture turns to its luminance times it", "[0, inf)")  \
  PARAM(Float, globalIBLSatValue, 1.0f,                                                            \
        "global saturation, times diffuseTextureSatValue: 1 unchanged, 0 grey", "[0, inf)")        \
  PARAM(Int, globalIBLGainSource, 0, "what grades the global gain",                                \
        "0 globalIBLGainValue | 1 globalIBLGainColor")                                             \
  PARAM(Float, globalIBLGainValue, 1.0f,                                                           \
        "global gain factor (source 0); always multiplies the reflectLatlong image", "[0, inf)")   \
  PARAM(Mat3, globalIBLMatrix, ::pvx::identity3,                                                   \
        "rotation of the ray direction before the reflectLatlong lookup")                          \
  PARAM(Color, reflectIBLChannelGainColor, ::pvx::float3(1.0f), TARVO_KEPT_NOTE)                   \
  PARAM(Int, reflectIBLChannelGainSource, 0, TARVO_KEPT_NOTE)                                      \
  PARAM(Float, reflectIBLChannelGainValue, 1.0f, TARVO_KEPT_NOTE)                                  \
  PARAM(Float, reflectIBLChannelSatValue, 1.0f, TARVO_KEPT_NOTE)                                   \
  PARAM(Float, diffuseIBLGainValue, 1.0f, TARVO_KEPT_NOTE)                                         \
  PARAM(Float, specularIBLGainValue, 1.0f, TARVO_KEPT_NOTE)                                        \
  VARYING(Float2, uv, 0, "texture coordinates of the diffuse channel's mode 1")                    \
  VARYING(Float3, tangent, 8, "kept for the host; the shading does not read it")                   \
  VARYING(Float3, bitangent, 20, "kept for the host; the shading does not read it")
TARVO_PARAMETER_BLOCK(BackgroundGeometryParameters, TARVO_BACKGROUND_GEOMETRY_PARAMETERS);

class BackgroundGeometry final
    : public ShaderClass<BackgroundGeometry, MaterialShader, BackgroundGeometryParameters> {
 public:
  static constexpr const char* kClassName = "BackgroundGeometry";

  void shade(IHostContext* host, ShadingState* state) const override {
    if (state->frontFacing == 0) {
      state->ignoreHit = 1;
      return;
    }
    const float4 texel = diffuseTexel(*state);
    if (!(texel.w >= kCutoutAlpha)) {
      state->ignoreHit = 1;
      return;
    }
    if (useOverriddenReflection && isEnvironmentView(*state)) {
      // The environment image in the backdrop's place, rotated like the default environment's.
      const float3 seen = rgb(sampleLatLong(reflectLatlong, state->I * globalIBLMatrix));
      state->Ci = float4(seen * globalIBLGainValue, 1.0f);
      return;
    }
    const float a = min(texel.w, 1.0f);
    float4 behind(1.0f);
    if (a < 1.0f) host->traceContinue(&behind, &state->P, &state->I, 1.0f);

    const float3 shadow = receivedShadowAt(host, *state);
    const float3 lit = graded(shadow * rgb(texel));
    state->Ci = float4(rgb(behind) * (1.0f - a) + lit * a, alpha(shadow));
  }

  // Up-facing background geometry (a floor) blocks specular shadow rays; walls and domes
  // let every shadow ray through.
  void shadow(IHostContext*, ShadingState* state) const override {
    const bool blocks = state->rayKind == kRaySpecular && state->N.z >= kUpFacing;
    state->shadowT = float3(blocks ? 0.0f : 1.0f);
  }

  void scatter(IHostContext*, ShadingState* state) const override { scatterStraightOn(state); }

 private:
  static constexpr int32_t kUVOffset = varyingOffset<BackgroundGeometryParameters>("uv");
  // Texels less opaque than this cut the geometry out.
  static constexpr float kCutoutAlpha = 0.05f;
  // Normals whose z exceeds this (floors) receive shadows; shadow rays stop at z from it on.
  static constexpr float kUpFacing = 0.9f;
  // With `draw_mere_shadow`, points whose received shadow leaves every channel below this
  // stay visible.
  static constexpr float kMereShadowLevel = 0.7f;

  // The diffuse channel's texel with its alpha; the box rule picks its face by the world normal.
  float4 diffuseTexel(const ShadingState& state) const {
    const ChannelHit hit{state.Po, state.N, readVarying<float2>(state, kUVOffset)};
    return evaluateChannel<BackgroundChannelCopy>(TARVO_CHANNEL(*this, diffuse), hit,
                                                  ChannelOptions{});
  }

  // The lights' strength-weighted mean transmission towards the shadow tint, times the
  // occlusion towards the shadow colour; white where nothing is received.
  float3 receivedShadowAt(IHostContext* host, const ShadingState& state) const {
    if (receiveShadow == 0.0f || !(state.N.z > kUpFacing)) return float3(1.0f);
    const LightTransmission lights = gatherLightTransmission(host, &state.P, &state.N);
    float3 accessibility;
    host->occlusion(&accessibility, &state.P, &state.N, 1.0f);
    return receivedShadow(meanTransmission(lights), fullShadowTint(shadowColor, shadowIntensity),
                          accessibility, shadowColor);
  }

  // Contrast about the global pivot, gain by the global and the diffuse texture's sources,
  // saturation by the product of both factors.
  float3 graded(const float3& c) const {
    const float3 contrasted = contrastAboutPivot(c, globalIBLContrastValue, globalIBLContrastPivot);
    const GainSource sources[] = {
        {globalIBLGainSource, globalIBLGainColor, globalIBLGainValue},
        {diffuseTextureGainSource, diffuseTextureGainColor, diffuseTextureGainValue}};
    const float3 gained = gainBySources(contrasted, sources, kIBLLuminanceWeights);
    return saturationAboutLuminance(gained, globalIBLSatValue * diffuseTextureSatValue,
                                    weightedLuminance(gained, kIBLLuminanceWeights));
  }

  // Opaque; with `draw_mere_shadow` only where the shadow is strong.
  float alpha(const float3& shadow) const {
    if (!draw_mere_shadow) return 1.0f;
    return maxComponent(shadow) < kMereShadowLevel ? 1.0f : 0.0f;
  }
};

TARVO_SHADER_FACTORY(BackgroundGeometry)

}  // namespace pvx

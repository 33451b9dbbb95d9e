// XRite: a measured metallic car paint. A base coat lit by a prefiltered irradiance cube, a
// sparkle layer of mirror-like flakes whose normals come from a flake-normal image addressed by
// the world position (each flake sees the surroundings in two cubes along its own reflection),
// and a clear coat whose traced reflection is weighted by a measured Fresnel curve. The host's
// light list plays no part: the lighting is the three cubes and the traced reflection.
//
// Parameter groups: ambient occlusion and masking (shadinglib/material_prologue.h, the masking
// through the car paint's copy of the texture channel); normal sign; the measured paint
// (`xriteDiffuse`, the two flake colours, the `fresnel` curve as bias, scale, exponent and
// maximum, `coarseness`, the intensities); the flakes (`contributionFactor`, `maxFlakes`,
// `flakeFactor`, `flakeSize`, `flakeNormalTexture`); the three cubes.
//
// Choices of this library:
// - Combination: the base coat and the flake sums are each sRGB-encoded (the measured colours
//   are linear), then mixed as base (1 - coarseness) + flakes coarseness; the traced clear coat
//   (already the host's radiance, not encoded) is blended over that by its Fresnel weight; the
//   occlusion multiplies the result, which is clamped to [0, 1] before the continuation behind
//   a partial mask is blended in by the mask.
// - The Fresnel curve's view cosine is the local view's z (the view through `worldToObject` in
//   the tangent frame around the normal).
// - The host's alpha is left as it is; the occlusion takes the surface as opaque and the mask's
//   remaining weight as its query weight.
// - The flake grid is limited to 32 x 32 cells (shadinglib/flake_footprint.h): at most 1024
//   flake-image and 2048 cube lookups per call, whatever `maxFlakes` and `flakeFactor` hold.
#include "frame/shader_class.h"
#include "shadinglib/flake_footprint.h"
#include "shadinglib/legacy_lobes.h"
#include "shadinglib/light_samples.h"
#include "shadinglib/material_prologue.h"
#include "shadinglib/texture_channel.h"
#include "shadinglib/varyings.h"

namespace pvx {

#define TARVO_X_RITE_PARAMETERS(PARAM, VARYING)                                                    \
  TARVO_AO_MASKING_PARAMETERS(PARAM, VARYING)                                                      \
  PARAM(Bool, reverseNormal, false, "negate the normal")                                           \
  PARAM(Bool, faceForward, false, "negate the normal when the viewer is behind the geometric one") \
  PARAM(Color, xriteDiffuse, ::pvx::float3(0.0049f, 0.0049f, 0.0045f),                             \
        "measured base-coat colour, lit by diffuseCube", "[0, 1]")                                 \
  PARAM(Color, flakeColor, ::pvx::float3(0.104f, 0.106f, 0.108f),                                  \
        "measured colour of the flake sparkle (reflectCube)", "[0, 1]")                            \
  PARAM(Color, flakeColor2, ::pvx::float3(0.0953f, 0.0958f, 0.0976f),                              \
        "measured colour of the flake glow (specularCube)", "[0, 1]")                              \
  PARAM(ColorAlpha, fresnel, ::pvx::float4(0.04f, 0.9f, 2.5f, 1.0f),                               \
        "clear-coat Fresnel curve min((1 - cos)^z y + x, w): bias, scale, exponent, maximum")      \
  PARAM(Bool, xriteIsSolid, false, "solid paint: no flakes")                                       \
  PARAM(Float, coarseness, 0.656f,                                                                 \
        "share of the flake layer in the paint (the rest is base coat)", "[0, 1]")                 \
  PARAM(Float, specIntensity, 1.0f, "multiplies the reflectCube lookups of the sparkle",           \
        "[0, inf)")                                                                                \
  PARAM(Float, diffIntensity, 1.0f, "multiplies the base coat and the flake glow", "[0, inf)")     \
  PARAM(Float, contributionFactor, 0.75f,                                                          \
        "a flake sparkles only when its normal's tangent-space z is above this", "[0, 1]")         \
  PARAM(Float, maxFlakes, 7.0f,                                                                    \
        "largest flake footprint, reached far away and at grazing views (with flakeFactor, at "    \
        "most 32 x 32 cells are read)",                                                            \
        "[0, inf)")                                                                                \
  PARAM(Float, flakeFactor, 4.0f,                                                                  \
        "flake density: scales the position-to-image mapping and the sample grid", "[0, inf)")     \
  PARAM(Float, flakeSize, 0.001953125f, "flake cell size (1/512 by default)", "(0, inf)",          \
        "flake-image coordinates")                                                                 \
  PARAM(Texture2D, flakeNormalTexture, {},                                                         \
        "tangent-space flake normals: x, y as 0.5 + 0.5 n in red and green, z in blue")            \
  PARAM(TextureCube, diffuseCube, {}, "irradiance cube that lights the base coat")                 \
  PARAM(TextureCube, specularCube, {}, "cube whose brightness makes the flake glow")               \
  PARAM(TextureCube, reflectCube, {}, "radiance cube seen in the flake sparkles")                  \
  VARYING(Float2, uv, 24, "texture coordinates of the masking channel")
TARVO_PARAMETER_BLOCK(XRiteParameters, TARVO_X_RITE_PARAMETERS);

class XRite final : public ShaderClass<XRite, MaterialShader, XRiteParameters> {
 public:
  static constexpr const char* kClassName = "XRite";

  void shade(IHostContext* host, ShadingState* state) const override {
    const float3 m = mask(*state);
    if (discardsHit(m)) {
      state->ignoreHit = 1;
      return;
    }
    const float3 n = state->N * normalSign(*state);
    // The light list is asked for and walked, but the paint is lit by its cubes alone.
    forEachLightSample(host->lightSamples(kLightListFlags, &state->P, &n),
                       [](const LightSample&) {});

    const Frame frame = tangentFrame(*state, n);
    const float3 V = -state->I;
    const float3 R = 2.0f * dot(V, n) * n - V;
    const Flakes flakes = xriteIsSolid ? Flakes{} : flakeSums(*state, frame, n, dot(V, n));

    float3 coat;
    host->traceSpecular(&coat, &state->P, &R, 1.0f);
    const float coatWeight = fresnelCurve(-clamp(frame.localView.z, 0.0f, 1.0f), fresnel);
    const float3 base = rgb(sampleCube(diffuseCube, cubeVector(n))) * xriteDiffuse * diffIntensity;

    const float3 paint = srgbEncoded(base) * (1.0f - coarseness) +
                         srgbEncoded(flakes.sparkle + flakes.glow) * coarseness;
    const float3 occlusion =
        ambientOcclusionTerm(*this, host, *state, float3(0.0f), maskedWeight(m));
    float3 colour =
        clamp((paint * (1.0f - coatWeight) + coat * coatWeight) * occlusion, 0.0f, 1.0f);
    if (!isBlack(m)) {
      float4 behind;
      host->traceContinue(&behind, &state->P, &state->I, 1.0f);
      colour = mix(colour, rgb(behind), m);
    }
    state->Ci.x = colour.x;
    state->Ci.y = colour.y;
    state->Ci.z = colour.z;
  }

  // A masked-out part lets shadow rays through; the rest casts a full shadow.
  void shadow(IHostContext*, ShadingState* state) const override { state->shadowT = mask(*state); }

 private:
  static constexpr int32_t kUVOffset = varyingOffset<XRiteParameters>("uv");
  static constexpr int32_t kLightListFlags = -2;

  float3 mask(const ShadingState& state) const {
    ChannelOptions options;
    options.boxRule = BoxAxisRule::A;
    options.alphaAsColour = maskingFromAlpha;
    const ChannelHit hit{state.Po, state.No, readVarying<float2>(state, kUVOffset)};
    const float3 m =
        evaluateChannel<CarPaintChannelCopy>(TARVO_CHANNEL(*this, masking), hit, options);
    return maskingInvertTexture && maskingMode > kChannelConstant ? float3(1.0f) - m : m;
  }

  float normalSign(const ShadingState& state) const {
    if (faceForward && dot(state.I, state.Ng) > 0.0f) return -1.0f;
    return reverseNormal ? -1.0f : 1.0f;
  }

  // Cubes are addressed in their y-up frame: (d.x, d.z, -d.y) for a world direction d.
  static float3 cubeVector(const float3& d) { return float3(d.x, d.z, -d.y); }

  struct Frame {
    float3 t, b;       // the world tangent and bitangent the flake normals are given in
    float3 localView;  // the view in the tangent frame, normalised
  };

  // A tangent around n (away from the z axis, or in the y-z plane near it), the bitangent
  // t x n; the view through `worldToObject` in (t, b, n); t and b through `objectToWorld`.
  static Frame tangentFrame(const ShadingState& state, const float3& n) {
    const float3 t = abs(n.z) >= 0.999f ? normalize(float3(0.0f, -n.z, n.y))
                                        : normalize(float3(-n.y, n.x, 0.0f));
    const float3 b = cross(t, n);
    const float3 view = transformDirection(state.worldToObject, -state.I);
    Frame frame;
    frame.localView = normalize(float3(dot(view, t), dot(view, b), dot(view, n)));
    frame.t = normalize(transformDirection(state.objectToWorld, t));
    frame.b = normalize(transformDirection(state.objectToWorld, b));
    return frame;
  }

  struct Flakes {
    float3 sparkle{0.0f};
    float3 glow{0.0f};
  };

  // The flakes of the footprint, each reflecting the eye vector about its own normal: the
  // sparkle of those standing up beyond `contributionFactor` from `reflectCube`, the glow of
  // every flake from `specularCube`; both averaged over the cells' weights.
  Flakes flakeSums(const ShadingState& state, const Frame& frame, const float3& n,
                   float viewCosine) const {
    const float3& P = state.P;
    const float lod =
        flakeFootprint(viewCosine, distance(P, state.rayOrigin), flakeSize, maxFlakes);
    const FlakeGrid grid = flakeGrid(flakeFactor * lod);
    const float y8 = floor(P.y * 128.0f) * 0.0078125f;
    const float z16 = ((P.z - floor(P.z)) * 0.0625f + y8) * 16.0f;
    const float3 E = state.rayOrigin - P;
    Flakes sums;
    float totalWeight = 0.0f;
    for (int i = 0; i < grid.side; ++i) {
      for (int j = 0; j < grid.side; ++j) {
        const float w = flakeCellWeight(grid, i, j);
        totalWeight += w;
        const float2 st(flakeFactor * P.x + flakeSize * float(i),
                        flakeFactor * z16 + flakeSize * float(j));
        const float4 texel = sample2D(flakeNormalTexture, st);
        const float3 fn(2.0f * texel.x - 1.0f, 2.0f * texel.y - 1.0f, texel.z);
        const float3 F = fn.x * frame.t + fn.y * frame.b + fn.z * n;
        const float3 d = cubeVector(2.0f * dot(E, F) * F - E);
        if (fn.z > contributionFactor) {
          const float4 q = sampleCube(reflectCube, d) * specIntensity;
          sums.sparkle +=
              w * (isBrightLookup(q) ? rgb(q) : float3(dimLookupWeight(q))) * flakeColor;
        }
        const float4 s = sampleCube(specularCube, d);
        sums.glow +=
            w * (isBrightLookup(s) ? 1.0f : dimLookupWeight(s)) * diffIntensity * flakeColor2;
      }
    }
    sums.sparkle /= totalWeight + 0.01f;
    sums.glow /= totalWeight + 0.01f;
    return sums;
  }
};

TARVO_SHADER_FACTORY(XRite)

}  // namespace pvx

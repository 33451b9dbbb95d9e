// quarra_Mtl_Glazing: thin window glass. Light passes straight through without bending; a
// constant reflectance, from the surface reflectance and the number of layers, splits it between
// a traced mirror reflection and the straight-through transmission, and a slightly rough
// microfacet interface adds the lights' highlights and the light they send through the pane.
// Parameter groups: ambient occlusion and masking (only the mask is used); the clipping planes
// (tested by every entry but `shadow`); reflectance, tints, roughness and layer count; the
// transmittance map; common tint.
//
// The lights' transmission term is the dielectric's at an index ratio of 1 (shadinglib/
// microfacet.h): its half vector, the sum of the two directions turned to the incident side,
// makes the lobe peak at the straight-through direction turned half a revolution about the
// normal, not at the straight-through direction `scatter` continues along.
//
// Choices of this library:
// - `scatter` ends the path when the ray grazes the pane (its cosine with the normal at or below
//   1e-6), where the weight's division by that cosine would blow up.
// - A layer count of 0, below 0 or not a number counts as one layer; the reflectance is limited
//   to [0, 1] and negative transmittance texels to 0.
// - A shading normal facing away from the arriving ray is turned towards it.
#include "frame/shader_class.h"
#include "shadinglib/mapped_inputs.h"
#include "shadinglib/material_prologue.h"
#include "shadinglib/ray_directions.h"
#include "shadinglib/rough_interface.h"
#include "shadinglib/scatter_choice.h"
#include "shadinglib/shading_frame.h"

namespace pvx {

#define TARVO_GLAZING_PARAMETERS(PARAM, VARYING)                                                 \
  TARVO_AO_MASKING_PARAMETERS(PARAM, VARYING)                                                    \
  PARAM(Bool, CaldrinAODisable, false,                                                           \
        "kept and copied for the host; the glazing does not read it")                            \
  VARYING(Float3, bitangent, 24, TARVO_NOTE_BITANGENT)                                           \
  VARYING(Float3, tangent, 36, TARVO_NOTE_TANGENT)                                               \
  VARYING(Float2, uv, 48, TARVO_NOTE_UV)                                                         \
  TARVO_GLOBAL_CLIPPING_PARAMETERS(PARAM, VARYING)                                               \
  PARAM(Float, u_reflectance, 0.1f, "reflectance of one pane surface", "[0, 1]")                 \
  PARAM(Color, u_reflectColor, ::pvx::float3(1.0f), "reflection tint", "[0, 1]")                 \
  PARAM(Color, u_refractColor, ::pvx::float3(1.0f),                                              \
        "transmission tint (when the transmittance map is off)", "[0, 1]")                       \
  PARAM(Float, u_rough, 0.0001f, "microfacet roughness of the highlights from lights", "(0, 1]") \
  PARAM(Float, u_level, 1.0f, "number of layers the light crosses", "[1, inf)")                  \
  PARAM(Bool, u_transmittanceMapEnable, false,                                                   \
        "take the transmission colour from u_transmittanceMap")                                  \
  PARAM(Texture2D, u_transmittanceMap, {}, "transmission colour map")                            \
  PARAM(Mat3, u_transmittanceTransform, ::pvx::identity3, "UV transform of u_transmittanceMap")  \
  PARAM(Float, u_transmittanceAmount, 1.0f, "scale of the transmittance texel")                  \
  PARAM(Bool, u_commonTintEnable, false, TARVO_NOTE_COMMON_TINT_ENABLE)                          \
  PARAM(ColorAlpha, u_commonTintColor, ::pvx::float4(1.0f), TARVO_NOTE_COMMON_TINT_COLOR)
TARVO_PARAMETER_BLOCK(GlazingParameters, TARVO_GLAZING_PARAMETERS);

class quarra_Mtl_Glazing final
    : public ShaderClass<quarra_Mtl_Glazing, MaterialShader, GlazingParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_Glazing";

  void shade(IHostContext* host, ShadingState* state) const override {
    const ShadingState& s = *state;
    if (ignoreIfClipped(*this, state)) return;
    shadeWithinPrologue(*this, host, s, state, [&](const float3&, ComposedTerms& terms) {
      const RoughInterface in = interfaceAt(s);
      terms[Term::kDirectGlossy] = float4(interfaceDirectLight(host, s, in), 1.0f);
      const float3 K = u_reflectColor * in.F;
      if (!isBlack(K)) {
        const float3 dir = horizonClampedReflection(s.I, in.frame.N, facingRay(s.Ng, s.I));
        float3 seen;
        host->traceSpecular(&seen, &s.P, &dir, maxComponent(K));
        terms[Term::kReflection] = float4(seen * K, 1.0f);
      }
      const float3 Kt = transmissionColor(s) * (1.0f - in.F);
      if (!isBlack(Kt)) {
        float4 behind;
        host->traceContinue(&behind, &s.P, &s.I, maxComponent(Kt));
        terms[Term::kTransmission] = float4(rgb(behind) * Kt, 1.0f);
      }
    });
  }

  // The tint alone, never the transmittance map.
  void shadow(IHostContext*, ShadingState* state) const override {
    state->shadowT = u_refractColor * (1.0f - reflectance());
  }

  void evaluate(IHostContext*, ShadingState* state) const override {
    if (ignoreIfClipped(*this, state)) return;
    writeInterfaceValue(interfaceAt(*state, true), state);
  }

  void scatter(IHostContext* host, ShadingState* state) const override {
    if (ignoreIfClipped(*this, state)) return;
    const ShadingState& s = *state;
    const ScatterPermissions allowed = scatterPermissions(s);
    if (!allowed.reflection && !allowed.transmission) {
      state->scatterKind = kRayNone;
      return;
    }
    const ScatterChoice choice = chooseReflectionOrTransmission(allowed, reflectance(), host);
    const float3 N = facingRay(s.N, s.I);
    const float c = -dot(s.I, N);
    if (!(c > kMinScatterCosine)) {
      state->scatterKind = kRayNone;
      return;
    }
    state->scatterInvPdf = 1.0f;
    state->scatterCos = c;
    if (choice.reflect) {
      state->scatterDir = s.I + 2.0f * c * N;
      state->scatterWeight = u_reflectColor * (choice.weight / c);
      state->scatterKind = kRayGlossy;
    } else {
      state->scatterDir = s.I;
      state->scatterWeight = u_refractColor * (choice.weight / c);
      state->scatterKind = kRayTransmission;
    }
  }

 private:
  static constexpr int32_t kTangent = varyingOffset<GlazingParameters>("tangent");
  static constexpr int32_t kUV = varyingOffset<GlazingParameters>("uv");

  static constexpr float kMinScatterCosine = 1e-6f;

  float layers() const { return u_level > 0.0f ? u_level : 1.0f; }

  // R = r^2 / L: the surface reflectance squared, shared out over the layers.
  float reflectance() const { return clamp(u_reflectance * u_reflectance / layers(), 0.0f, 1.0f); }

  // The tint, or the transmittance map's colour of the whole stack taken to one layer's share.
  float3 transmissionColor(const ShadingState& s) const {
    if (!u_transmittanceMapEnable) return u_refractColor;
    const float3 t = mappedColor(TARVO_TEXTURE_MAP(*this, transmittance), u_refractColor,
                                 readVarying<float2>(s, kUV));
    return pow(max(t, float3(0.0f)), 1.0f / layers());
  }

  // The pane's interface: the tangent frame turned to face the ray, the reflectance R whatever
  // the angle, no bending and the roughness `u_rough`, so the value is R Rm + (1 - R) Tm.
  // `aroundNormalOnly`: the caller needs no azimuth, any frame around the normal will do.
  TARVO_ALWAYS_INLINE RoughInterface interfaceAt(const ShadingState& s,
                                                 bool aroundNormalOnly = false) const {
    RoughInterface in;
    in.frame = aroundNormalOnly ? frameAroundNormal(s.N) : tangentFrame(s, kTangent);
    turnToFaceRay(in.frame, s.I);
    in.i = frameToLocal(in.frame, s.I);
    in.F = reflectance();
    in.eta = 1.0f;
    in.alpha2 = ggxAlphaSquared(u_rough);
    return in;
  }
};

TARVO_SHADER_FACTORY(quarra_Mtl_Glazing)

}  // namespace pvx

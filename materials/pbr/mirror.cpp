// quarra_Mtl_Mirror: a perfect mirror. A tinted reflection traced through the host along the
// horizon-clamped mirror direction, weighted by a fixed reflectance curve (0.92 head-on, rising
// to 1 at grazing along (1 - c)^5); no direct light, no diffuse, no transmission and no shadow
// entry (shadow rays pass untinted). Parameter groups: ambient occlusion and masking; the
// clipping planes; the tint; common tint.
// This library's own choice: at grazing incidence (a cosine between the reversed incoming ray
// and N below kMinBounceCosine, or a ray from behind) `scatter` ends the path, since the weight
// tint / cosine has no finite value there.
#include "frame/shader_class.h"
#include "shadinglib/material_prologue.h"
#include "shadinglib/ray_directions.h"

namespace pvx {

#define TARVO_MIRROR_PARAMETERS(PARAM, VARYING)                                           \
  TARVO_AO_MASKING_PARAMETERS(PARAM, VARYING)                                             \
  PARAM(Bool, CaldrinAODisable, false,                                                    \
        "kept and copied for the host; the mirror does not read it")                      \
  TARVO_GLOBAL_CLIPPING_PARAMETERS(PARAM, VARYING)                                        \
  PARAM(Color, u_tintColor, ::pvx::float3(0.0f),                                          \
        "mirror colour; the default black reflects nothing", "[0, 1]")                    \
  PARAM(Bool, u_commonTintEnable, false, TARVO_NOTE_COMMON_TINT_ENABLE)                   \
  PARAM(ColorAlpha, u_commonTintColor, ::pvx::float4(1.0f), TARVO_NOTE_COMMON_TINT_COLOR) \
  VARYING(Float2, uv, 24, TARVO_NOTE_UV)
TARVO_PARAMETER_BLOCK(MirrorParameters, TARVO_MIRROR_PARAMETERS);

namespace mirror {

// The mirror's reflectance: a Schlick curve from 0.92 at normal incidence to 1 at grazing.
constexpr float kNormalReflectance = 0.92f;

// Below this cosine the bounce's weight tint / cosine would overflow; the path ends instead.
constexpr float kMinBounceCosine = 0.000001f;

}  // namespace mirror

class quarra_Mtl_Mirror final
    : public ShaderClass<quarra_Mtl_Mirror, MaterialShader, MirrorParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_Mirror";

  void shade(IHostContext* host, ShadingState* state) const override {
    const ShadingState& s = *state;
    shadeWithinPrologue(*this, host, s, state, [&](const float3&, ComposedTerms& terms) {
      const float3 K = u_tintColor * schlickReflectance(mirror::kNormalReflectance, -dot(s.N, s.I));
      const float3 R = horizonClampedReflection(s.I, s.N, s.Ng);
      float3 seen;
      host->traceSpecular(&seen, &s.P, &R, maxComponent(K));
      terms[Term::kReflection] = float4(seen * K, 1.0f);
    });
  }

  // A perfect mirror has no value for a direction the host chose; only clipping applies.
  void evaluate(IHostContext*, ShadingState* state) const override {
    ignoreIfClipped(*this, state);
  }

  // The mirror bounce: weight tint / c, so weight x scatterCos x scatterInvPdf = tint.
  void scatter(IHostContext*, ShadingState* state) const override {
    if (ignoreIfClipped(*this, state)) return;
    const float c = -dot(state->I, state->N);
    if (state->allowScatter[kAllowSpecularReflection] == 0 || !(c >= mirror::kMinBounceCosine)) {
      state->scatterKind = kRayNone;
      return;
    }
    state->scatterCos = c;
    state->scatterDir = state->I + 2.0f * c * state->N;
    state->scatterWeight = u_tintColor / c;
    state->scatterKind = kRayGlossy;
    state->scatterInvPdf = 1.0f;
  }
};

TARVO_SHADER_FACTORY(quarra_Mtl_Mirror)

}  // namespace pvx

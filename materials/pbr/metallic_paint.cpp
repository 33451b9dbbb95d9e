// quarra_Mtl_MetallicPaint: layered car paint. A coloured metallic base with its own reflectivity
// curve and Ward highlight, optional metallic flecks that sparkle in a second, wider lobe, a hue
// shift and a pearlescent sheen, under an optional clear topcoat of fixed Schlick reflectance
// (0.3 head-on) whose reflection is traced through the host and which may carry an orange-peel
// bump. The topcoat takes `u_baseHighlightSpread` of its reflectance away from the base.
//
// Parameter groups: ambient occlusion and masking; the clipping planes; topcoat switch; pearl;
// finish (orange peel); highlight spread; flecks; base colour (a mapped input); hue shift; base
// ramp bias, roughness and reflectivity curve; topcoat glossiness; fleck size; common tint;
// normal orientation (`reverseNormal` in every entry, `faceForward` in `shade` only).
//
// Choices of this library:
// - `u_flecksSize` starts at 0.02 (flecks a fiftieth of a unit across); the other members the
//   host always binds start at identity transforms.
// - The fleck highlight is a Ward lobe of unit specular colour and no diffuse part, in the base
//   frame tilted by the fleck noise's normal offset, so each fleck catches the light at its own
//   angle; it is tinted by `u_flecksColor` and scaled by the fleck weight (not by the topcoat's
//   share). A fleck weight or offset that is not finite (a fleck size of 0 or not a number) is
//   no fleck.
// - The hue shift's cosine is between the reversed incoming ray and the topcoat normal (peel
//   included); the pearl's cosine is between the reversed incoming ray and the light direction,
//   limited to [0, 1].
// - Lights whose ramped weight is below 0 or not a number are skipped, as in the metal.
// - The orange peel renormalises the topcoat normal; a peel amount of 0 asks the host nothing.
// - The base layer's draws report the cosine in the base frame, as `evaluate` does; its
//   mixture density is the metal's (half diffuse, half Ward unless one part is black), times
//   the 1 - pc share the topcoat bounce leaves it.
#include <cmath>
#include <cstdint>

#include "frame/shader_class.h"
#include "shadinglib/fleck_noise.h"
#include "shadinglib/light_samples.h"
#include "shadinglib/lobe_scatter.h"
#include "shadinglib/mapped_inputs.h"
#include "shadinglib/material_prologue.h"
#include "shadinglib/metal_lobe.h"
#include "shadinglib/ray_directions.h"
#include "shadinglib/ripple_normal.h"
#include "shadinglib/shading_frame.h"
#include "shadinglib/ward_lobe.h"

namespace pvx {

#define TARVO_METALLIC_PAINT_PARAMETERS(PARAM, VARYING)                                            \
  TARVO_AO_MASKING_PARAMETERS(PARAM, VARYING)                                                      \
  PARAM(Bool, CaldrinAODisable, false, TARVO_NOTE_CALDRIN_AO_DISABLE)                              \
  VARYING(Float3, bitangent, 24, TARVO_NOTE_BITANGENT)                                             \
  VARYING(Float3, tangent, 36, TARVO_NOTE_TANGENT)                                                 \
  VARYING(Float2, uv, 48, TARVO_NOTE_UV)                                                           \
  TARVO_GLOBAL_CLIPPING_PARAMETERS(PARAM, VARYING)                                                 \
  PARAM(Bool, u_topcoatEnable, false, "lay the clear topcoat over the base (it dims the base)")    \
  PARAM(Int, u_pearl, 0, "pearlescent sheen (any value above 0 switches it on)", "0 off | 1 on")   \
  PARAM(ColorAlpha, u_pearlColor, ::pvx::float4(0.8f, 0.12f, 0.0f, 0.0f),                          \
        "colour of the pearl sheen (alpha not read)", "[0, 1]")                                    \
  PARAM(Float, u_pearlIor, 0.2f, "pearl falloff: half the exponent of the view-to-light cosine",   \
        "[0, inf)")                                                                                \
  PARAM(Float, u_pearlAmount, 0.5f, "strength of the pearl sheen", "[0, 1]")                       \
  PARAM(Int, u_finish, 0, "topcoat finish (other values: smooth)", "0 smooth | 1 orange peel")     \
  PARAM(Float, u_finishPeelamount, 0.5f, "strength of the orange-peel bump on the topcoat",        \
        "[0, inf)")                                                                                \
  PARAM(Float, u_baseHighlightSpread, 0.6f,                                                        \
        "share of the topcoat reflectance taken from the base; above 0.6 it also lights the "      \
        "base colour through the biased ramp",                                                     \
        "[0, 1]")                                                                                  \
  PARAM(Bool, u_flecksEnable, false, "sprinkle metallic flecks that sparkle in a wider lobe")      \
  PARAM(ColorAlpha, u_flecksColor, ::pvx::float4(1.0f), "colour of the fleck highlight", "[0, 1]") \
  PARAM(Bool, u_baseMapEnable, false, "take the base colour from u_baseMap")                       \
  PARAM(Texture2D, u_baseMap, {}, "base colour map")                                               \
  PARAM(ColorAlpha, u_baseColor, ::pvx::float4(1.0f),                                              \
        "base colour while the map is off (alpha not read)", "[0, 1]")                             \
  PARAM(Mat3, u_baseTransform, ::pvx::identity3, "UV transform of u_baseMap")                      \
  PARAM(Color, u_shiftedColor, ::pvx::float3(0.0f), "colour the hue shift adds, facing the view",  \
        "[0, 1]")                                                                                  \
  PARAM(Float, u_hueWeight, 0.0f, "strength of the hue shift (0 off)", "[0, inf)")                 \
  PARAM(Float, u_baseBiasFactor, 0.0f, "exponent factor of the biased diffuse light ramp",         \
        "[0, inf)")                                                                                \
  PARAM(Float, u_baseRoughValue, 0.01f, "Ward roughness of the base highlight", "(0, 1]")          \
  PARAM(Float, u_topcoatRoughValue, 0.01f,                                                         \
        "glossiness handed to the traced topcoat reflection (0 sharp)", "[0, inf)")                \
  PARAM(Float, u_baseCurvePower, 0.0f,                                                             \
        "exponent of the base reflectivity curve from facing to grazing (0: the grazing value "    \
        "everywhere)",                                                                             \
        "[0, inf)")                                                                                \
  PARAM(Float, u_base00Reflectivity, 0.1f, "base reflectivity at normal incidence", "[0, 1]")      \
  PARAM(Float, u_base90Reflectivity, 1.0f, "base reflectivity at grazing incidence", "[0, 1]")     \
  PARAM(Float, u_flecksSize, 0.02f, "fleck cell size (the position is divided by it)", "(0, inf)", \
        "scene units")                                                                             \
  PARAM(Bool, u_commonTintEnable, false, TARVO_NOTE_COMMON_TINT_ENABLE)                            \
  PARAM(ColorAlpha, u_commonTintColor, ::pvx::float4(1.0f), TARVO_NOTE_COMMON_TINT_COLOR)          \
  PARAM(Bool, reverseNormal, false, "negate the normals before shading, in every entry")           \
  PARAM(Bool, faceForward, false,                                                                  \
        "shade only: turn each normal that faces away from the viewer towards it")
TARVO_PARAMETER_BLOCK(MetallicPaintParameters, TARVO_METALLIC_PAINT_PARAMETERS);

namespace paint {

constexpr int32_t kTangent = varyingOffset<MetallicPaintParameters>("tangent");
constexpr int32_t kUV = varyingOffset<MetallicPaintParameters>("uv");

// A clear coat reflects like a dielectric of index about 3.4 head-on: Schlick from 0.3.
constexpr float kTopcoatReflectance = 0.3f;
// The orange peel's ripple is read at the hit position times this.
constexpr float kPeelScale = 0.9f;
// `u_finish` value of the orange-peel topcoat.
constexpr int32_t kOrangePeelFinish = 1;
// The fleck noise: weight |noise|^2.5, normal offset 0.05 times the gradient.
constexpr float kFleckDensity = 2.5f;
constexpr float kFleckOffsetScale = 0.05f;
// Flecks reflect in a lobe this many times wider than the base's, at most 1.
constexpr float kFleckRoughnessScale = 4.0f;
// Spreads above this light the base colour through the biased ramp.
constexpr float kPlainRampSpread = 0.6f;

// The base frame around the (oriented) shading normal and the topcoat frame, its copy bent by
// the orange peel.
struct PaintFrames {
  TangentFrame base;
  TangentFrame topcoat;
};

inline bool peeled(const MetallicPaintParameters& p) {
  return p.u_finish == kOrangePeelFinish && p.u_finishPeelamount != 0.0f;
}

inline PaintFrames paintFrames(const MetallicPaintParameters& p, IHostContext* host,
                               const ShadingState& s) {
  PaintFrames f;
  f.base = tangentFrame(s, kTangent);
  f.topcoat = f.base;
  if (peeled(p)) {
    const float3 peel = rippleNormalOffset(host, s.P * kPeelScale) * p.u_finishPeelamount;
    offsetNormal(f.topcoat, localToFrame(f.topcoat, peel));
  }
  return f;
}

// I in the base frame, from I in the topcoat frame: the same vector while no orange peel bends
// the topcoat away from the base.
inline float3 baseIncident(const MetallicPaintParameters& p, const PaintFrames& f,
                           const float3& topcoatIncident, const float3& I) {
  return peeled(p) ? unitLocalDirection(f.base, I) : topcoatIncident;
}

// Ft at the cosine between the reversed incoming ray and the topcoat normal.
inline float topcoatReflectance(float mu) {
  return schlickReflectance(kTopcoatReflectance, mu);
}

// The base's diffuse and specular colours, after the topcoat (when on) has taken its share.
struct BaseSplit {
  float3 diffuse;
  float3 specular;
};

inline BaseSplit baseSplit(const MetallicPaintParameters& p, const float2& uv, float muTopcoat,
                           float muBase) {
  const float t =
      p.u_topcoatEnable ? 1.0f - topcoatReflectance(muTopcoat) * p.u_baseHighlightSpread : 1.0f;
  const float Fb =
      metalReflectivity(muBase, p.u_base00Reflectivity, p.u_base90Reflectivity, p.u_baseCurvePower);
  const TextureMap map{p.u_baseMapEnable, p.u_baseMap, p.u_baseTransform, 1.0f};
  const float3 D = mappedColor(map, rgb(p.u_baseColor), uv);
  return {D * ((1.0f - Fb) * t), float3(Fb * t)};
}

inline WardRoughness baseRoughness(const MetallicPaintParameters& p) {
  return {p.u_baseRoughValue, p.u_baseRoughValue};
}

inline bool allFinite(const float3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A fleck's own frame and lobe: the base frame tilted by the fleck's normal offset.
struct FleckHighlight {
  bool on;
  TangentFrame frame;
  float3 i;       // the incoming ray in that frame
  float3 colour;  // `u_flecksColor` times the fleck weight
  WardRoughness roughness;
};

inline FleckHighlight fleckHighlight(const MetallicPaintParameters& p, IHostContext* host,
                                     const ShadingState& s, const TangentFrame& base) {
  FleckHighlight h{false, base, float3(0.0f), float3(0.0f), {0.0f, 0.0f}};
  if (!p.u_flecksEnable) return h;
  const Fleck fleck =
      fleckAt(host, s.P * (1.0f / p.u_flecksSize), kFleckDensity, kFleckOffsetScale);
  if (!(fleck.weight > 0.0f && std::isfinite(fleck.weight) && allFinite(fleck.normalOffset)))
    return h;
  offsetNormal(h.frame, fleck.normalOffset);
  h.on = true;
  h.i = unitLocalDirection(h.frame, s.I);
  h.colour = rgb(p.u_flecksColor) * fleck.weight;
  const float a = min(kFleckRoughnessScale * p.u_baseRoughValue, 1.0f);
  h.roughness = {a, a};
  return h;
}

}  // namespace paint

class quarra_Mtl_MetallicPaint final
    : public ShaderClass<quarra_Mtl_MetallicPaint, MaterialShader, MetallicPaintParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_MetallicPaint";

  // Each entry works on the host's state, or on a copy with the normals oriented when a switch
  // asks for it; outputs go to the host's state either way.
  void shade(IHostContext* host, ShadingState* state) const override {
    if (reverseNormal || faceForward) {
      shadeOriented(host, orientedCopy(*state, faceForward), state);
    } else {
      shadeOriented(host, *state, state);
    }
  }

  void evaluate(IHostContext* host, ShadingState* state) const override {
    if (reverseNormal) {
      evaluateOriented(host, orientedCopy(*state, false), state);
    } else {
      evaluateOriented(host, *state, state);
    }
  }

  void scatter(IHostContext* host, ShadingState* state) const override {
    if (reverseNormal) {
      scatterOriented(host, orientedCopy(*state, false), state);
    } else {
      scatterOriented(host, *state, state);
    }
  }

 private:
  // The state with `N`, `Ng` and `No` reversed by `reverseNormal`, then, when `facing`, each of
  // them that points along the incoming ray turned towards it.
  ShadingState orientedCopy(const ShadingState& s, bool facing) const {
    ShadingState o = s;
    if (reverseNormal) {
      o.N = -o.N;
      o.Ng = -o.Ng;
      o.No = -o.No;
    }
    if (facing) {
      for (float3* n : {&o.Ng, &o.N, &o.No})
        *n = facingRay(*n, o.I);
    }
    return o;
  }

  void shadeOriented(IHostContext* host, const ShadingState& s, ShadingState* out) const {
    shadeWithinPrologue(*this, host, s, out, [&](const float3& mask, ComposedTerms& terms) {
      shadePaint(host, s, mask, terms);
    });
  }

  // The base layer's value only: the topcoat's mirror bounce has no extent to evaluate. The
  // base frame's normal is the state's own and its lobe is isotropic, so the cosines with N
  // decide whether it is met and the lobe needs no frame.
  void evaluateOriented(IHostContext* host, const ShadingState& s, ShadingState* out) const {
    if (ignoreIfClipped(*this, out)) return;
    const float iz = dot(s.I, s.N);
    const float oz = dot(s.scatterDir, s.N);
    out->scatterCos = 0.0f;
    out->scatterWeight = float3(0.0f);
    if (!(oz > 0.0f && iz < 0.0f)) return;
    evaluateBase(host, s, out, iz, oz);
  }

  TARVO_OUT_OF_LINE void evaluateBase(IHostContext* host, const ShadingState& s, ShadingState* out,
                                      float iz, float oz) const {
    using namespace paint;
    // Only an orange peel tilts the topcoat away from the base.
    const float muTopcoat =
        peeled(*this) ? -unitLocalDirection(paintFrames(*this, host, s).topcoat, s.I).z : -iz;
    const BaseSplit split = baseSplit(*this, readVarying<float2>(s, kUV), muTopcoat, -iz);
    out->scatterCos = oz;
    out->scatterWeight = isotropicWardLobe(s.I, s.scatterDir, s.N, iz, oz, baseRoughness(*this),
                                           split.diffuse, split.specular);
  }

  // Nothing without a reflection bounce the host accepts; otherwise the topcoat's mirror bounce
  // with probability pc = Ft (always, pc = 1, when only the specular one is accepted), else the
  // base's diffuse/glossy mixture as the metal draws it, its density scaled by the 1 - pc share.
  void scatterOriented(IHostContext* host, const ShadingState& s, ShadingState* out) const {
    using namespace paint;
    if (ignoreIfClipped(*this, out)) return;
    if (!reflectionAllowed(s)) {
      out->scatterKind = kRayNone;
      return;
    }
    const PaintFrames f = paintFrames(*this, host, s);
    const float3 it = unitLocalDirection(f.topcoat, s.I);
    if (!(it.z < 0.0f)) {
      out->scatterKind = kRayNone;
      return;
    }
    const float Ft = topcoatReflectance(-it.z);
    const bool mixture = mixtureAllowed(s);
    const float pc = mixture ? Ft : 1.0f;
    if (host->random1() <= pc) {
      out->scatterDir = localToFrame(f.topcoat, float3(it.x, it.y, -it.z));
      out->scatterCos = 1.0f;
      out->scatterWeight = float3(Ft);
      out->scatterKind = kRayGlossy;
      out->scatterInvPdf = 1.0f / pc;
      return;
    }
    // Without a diffuse or glossy bounce pc is 1: only a random number outside [0, 1) gets here,
    // and the base has no share left to be drawn with.
    const float3 i = baseIncident(*this, f, it, s.I);
    if (!mixture || !(i.z < 0.0f)) {
      out->scatterKind = kRayNone;
      return;
    }
    const BaseSplit split = baseSplit(*this, readVarying<float2>(s, kUV), -it.z, -i.z);
    const float r = host->random1();
    float2 u;
    host->random2(&u);
    const LobeSample sample =
        sampleWardMixture(i, baseRoughness(*this), split.diffuse, split.specular, r, u);
    writeMixtureDraw(out, f.base, sample, true, 1.0f - pc);
  }

  // Everything between the mask and the composition.
  void shadePaint(IHostContext* host, const ShadingState& s, const float3& mask,
                  ComposedTerms& terms) const {
    using namespace paint;

    // 1. Frames, the incoming ray in each, the base split and the flecks.
    const PaintFrames f = paintFrames(*this, host, s);
    const float3& N = f.base.N;
    const float3 V = -s.I;
    const float3 it = unitLocalDirection(f.topcoat, s.I);
    const float3 i = baseIncident(*this, f, it, s.I);
    const BaseSplit split = baseSplit(*this, readVarying<float2>(s, kUV), -it.z, -i.z);
    const float3& D = split.diffuse;
    const float3& S = split.specular;
    const bool specular = hasSpecular(S);
    const WardRoughness roughness = baseRoughness(*this);
    const FleckHighlight fleck = fleckHighlight(*this, host, s, f.base);

    // 2. Direct light: the base colour (with its hue shift and pearl sheen) and the highlight.
    const bool biased = u_baseHighlightSpread > kPlainRampSpread;
    const float bias = u_baseBiasFactor * u_baseHighlightSpread;
    const float facing = abs(dot(V, f.topcoat.N));
    const float3 pearl = rgb(u_pearlColor) * u_pearlAmount;
    float3 diffuse(0.0f), highlight(0.0f);
    forEachRampedLight(host->lightSamples(0, &s.P, &N), N, [&](const LightSample& light, float w) {
      if (!(w >= 0.0f)) return;
      const float wd = pow(w, bias);
      float3 dc = biased ? D * wd : D;
      if (u_hueWeight > 0.0f) dc += u_shiftedColor * (u_hueWeight * facing * wd);
      if (light.tag != kLightTagDiffuseOnly && i.z < 0.0f && specular) {
        float3 h = wardLobe(i, unitLocalDirection(f.base, light.L), roughness, float3(0.0f), S);
        if (fleck.on) {
          const float3 o = unitLocalDirection(fleck.frame, light.L);
          const float3 sparkle = wardLobe(fleck.i, o, fleck.roughness, float3(0.0f), float3(1.0f));
          h = max(h, sparkle * fleck.colour);
        }
        highlight += h * w * light.color;
      }
      if (u_pearl > 0) {
        const float c = clamp(dot(V, light.L), 0.0f, 1.0f);
        const float sheen = (1.0f - pow(c, 2.0f * u_pearlIor)) * (1.0f - wd * wd * wd);
        dc = clamp01(dc + pearl * (sheen * light.weight * light.weight));
      }
      diffuse += dc * w * light.color;
    });
    terms[Term::kDirectDiffuse] = float4(diffuse, 1.0f);
    terms[Term::kDirectGlossy] = float4(highlight, 1.0f);

    // 3. The clear coat's reflection, traced along the horizon-clamped mirror direction.
    if (specular) {
      const float3 R = horizonClampedReflection(s.I, f.topcoat.N, s.Ng);
      float3 seen;
      host->traceReflection(&seen, &s.P, &R, u_topcoatRoughValue, maxComponent(S));
      terms[Term::kReflection] = float4(seen * S, 1.0f);
    }

    // 4. Ambient and indirect diffuse light; occlusion only darkens what there is.
    terms[Term::kIndirectDiffuse] =
        float4(diffuseLightingWithOcclusion(*this, host, D, s.P, N), 1.0f);
    occludeIndirectDiffuse(*this, host, s, mask, terms);
  }
};

TARVO_SHADER_FACTORY(quarra_Mtl_MetallicPaint)

}  // namespace pvx

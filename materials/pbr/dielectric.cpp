// quarra_Mtl_Dielectric: glass and other clear dielectrics. A smooth or rough (GGX microfacet)
// interface between two media with Schlick reflectance, refraction by the index ratio of the side
// the ray arrives on, total internal reflection on the way out and base-10 absorption inside the
// body. Reflection and refraction are traced through the host; lights add the microfacet
// reflection and transmission terms. Parameter groups: ambient occlusion and masking (only the
// mask is used); the clipping planes (tested by every entry but `shadow`); the transmittance
// map; the procedural normal pattern; two normal maps; roughness; index, reflectance, absorption
// and the two tints; common tint.
//
// The lights' transmission term (shadinglib/microfacet.h) weighs the transmitted index by the
// ratio in the half vector, normalize(-(i + eta o)), as its denominator (i.h + eta o.h)^2 does.
// It is not the density `scatter`'s refraction through a drawn normal gives: the two agree only
// in the reflected part, and the lights' transmitted highlight is not where the traced refraction
// goes. The total-internal-reflection test (k at most 1e-6) is made on both sides, although the
// surface's definition also says that entering rays never reflect totally: an entering ray past
// it sends its refraction budget into the bent reflection as a leaving one does.
//
// Choices of this library:
// - The procedural normal pattern (`u_procedureMapEnable` 1, without the first normal map): two
//   fractal sums of the host's noise (2.6 octaves from frequency 2.0) at the object-space
//   position scaled by `u_procedureMapTiling`, the second shifted by (-0.6, -0.6, 0), each times
//   0.5, are the tangent and bitangent parts of a local offset, times `u_procedureMapAmount`. An
//   amount of 0 asks the host nothing and leaves the normal as it is.
// - A shading normal facing away from the arriving ray is turned towards it, so the interface
//   means the same whichever way the mesh winds.
// - The transmission term counts only for directions on the far side of the interface, as in
//   the refraction model it comes from; on the incident side only the reflection term does.
// - An index ratio of 0, below 0, infinite or not a number counts as 1 (light passes unbent); a
//   roughness of 0 or not a number is a smooth interface; absorption never amplifies, and a
//   distance of 0 absorbs nothing whatever the coefficient.
#include "frame/shader_class.h"
#include "shadinglib/absorption.h"
#include "shadinglib/mapped_inputs.h"
#include "shadinglib/material_prologue.h"
#include "shadinglib/microfacet.h"
#include "shadinglib/ray_directions.h"
#include "shadinglib/ripple_normal.h"
#include "shadinglib/rough_interface.h"
#include "shadinglib/scatter_choice.h"
#include "shadinglib/shading_frame.h"

namespace pvx {

#define TARVO_DIELECTRIC_PARAMETERS(PARAM, VARYING)                                             \
  TARVO_AO_MASKING_PARAMETERS(PARAM, VARYING)                                                   \
  PARAM(Bool, CaldrinAODisable, false,                                                          \
        "kept and copied for the host; the dielectric does not read it")                        \
  VARYING(Float3, bitangent, 24, TARVO_NOTE_BITANGENT)                                          \
  VARYING(Float3, tangent, 36, TARVO_NOTE_TANGENT)                                              \
  VARYING(Float2, uv, 48, TARVO_NOTE_UV)                                                        \
  TARVO_GLOBAL_CLIPPING_PARAMETERS(PARAM, VARYING)                                              \
  PARAM(Bool, u_transmittanceMapEnable, false,                                                  \
        "absorb by a transmittance map instead of u_absorptionCoef")                            \
  PARAM(Texture2D, u_transmittanceMap, {}, "transmittance colour map")                          \
  PARAM(Mat3, u_transmittanceTransform, ::pvx::identity3, "UV transform of u_transmittanceMap") \
  PARAM(Float, u_transmittanceAmount, 1.0f, "scale of the transmittance texel")                 \
  PARAM(Int, u_procedureMapEnable, 0,                                                           \
        "procedural normal pattern (only without the first normal map)", "0 none | 1 pattern")  \
  PARAM(Color, u_procedureMapTiling, ::pvx::float3(1.0f),                                       \
        "tiling of the procedural pattern per axis")                                            \
  PARAM(Float, u_procedureMapAmount, 0.0f,                                                      \
        "strength of the procedural pattern (0 leaves the normal as it is)")                    \
  PARAM(Bool, u_normal0MapEnable, false, "bend the normal with the first normal map")           \
  PARAM(Texture2D, u_normal0Map, {},                                                            \
        "first normal map: red and green bend along the tangent and bitangent")                 \
  PARAM(Mat3, u_normal0Transform, ::pvx::identity3, "UV transform of the first normal map")     \
  PARAM(Float, u_normal0Amount, 0.0f, "strength of the first normal map")                       \
  PARAM(Float, u_normal0UVScale, 1.0f, "extra uv scale of the first normal map")                \
  PARAM(Bool, u_normal1MapEnable, false, "bend the normal with the second normal map")          \
  PARAM(Texture2D, u_normal1Map, {}, "second normal map")                                       \
  PARAM(Mat3, u_normal1Transform, ::pvx::identity3, "UV transform of the second normal map")    \
  PARAM(Float, u_normal1Amount, 0.0f, "strength of the second normal map")                      \
  PARAM(Bool, u_roughMapEnable, false, "take the roughness from u_roughMap")                    \
  PARAM(Texture2D, u_roughMap, {}, "roughness map (red channel)")                               \
  PARAM(Float, u_roughValue, 0.0004f, "GGX roughness alpha while the map is off", "(0, 1]")     \
  PARAM(Mat3, u_roughTransform, ::pvx::identity3, "UV transform of u_roughMap")                 \
  PARAM(Float, u_glossyValue, 0.0f,                                                             \
        "glossiness handed to the host reflection and refraction traces (0 sharp)")             \
  PARAM(Float, u_roughAmount, 1.0f, "scale of the roughness texel")                             \
  PARAM(Float, u_ior, 1.52f, "index of refraction of the body", "[1, 3]")                       \
  PARAM(Float, u_reflectance, 0.1f, "reflectance at normal incidence", "[0, 1]")                \
  PARAM(Color, u_absorptionCoef, ::pvx::float3(0.0f),                                           \
        "absorption per unit distance inside the body, base 10", "[0, inf)", "1/scene unit")    \
  PARAM(Bool, u_falloffEnable, false, "absorb light along traced refraction rays")              \
  PARAM(Color, u_refractColor, ::pvx::float3(1.0f), "refraction tint", "[0, 1]")                \
  PARAM(Color, u_reflectColor, ::pvx::float3(1.0f), "reflection tint", "[0, 1]")                \
  PARAM(Bool, u_commonTintEnable, false, TARVO_NOTE_COMMON_TINT_ENABLE)                         \
  PARAM(ColorAlpha, u_commonTintColor, ::pvx::float4(1.0f), TARVO_NOTE_COMMON_TINT_COLOR)
TARVO_PARAMETER_BLOCK(DielectricParameters, TARVO_DIELECTRIC_PARAMETERS);

class quarra_Mtl_Dielectric final
    : public ShaderClass<quarra_Mtl_Dielectric, MaterialShader, DielectricParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_Dielectric";

  void shade(IHostContext* host, ShadingState* state) const override {
    const ShadingState& s = *state;
    if (ignoreIfClipped(*this, state)) return;
    shadeWithinPrologue(*this, host, s, state, [&](const float3&, ComposedTerms& terms) {
      const Interface in = interfaceAt(host, s);
      terms[Term::kDirectGlossy] = float4(interfaceDirectLight(host, s, in), 1.0f);
      // Seen from inside, the surface reflects nothing of its own: everything goes to refraction.
      const float F = s.frontFacing != 0 ? in.F : 0.0f;
      const float3 K = u_reflectColor * F;
      if (s.frontFacing != 0 && !isBlack(K)) {
        const float3 R = horizonClampedReflection(s.I, in.frame.N, in.Ng);
        float3 seen;
        host->traceReflection(&seen, &s.P, &R, u_glossyValue, maxComponent(K));
        terms[Term::kReflection] = float4(seen * K, 1.0f);
      }
      const float3 Kt = u_refractColor * (1.0f - F);
      if (!isBlack(Kt))
        terms[Term::kTransmission] = float4(tracedRefraction(host, s, in, Kt), 1.0f);
    });
  }

  void shadow(IHostContext*, ShadingState* state) const override {
    const ShadingState& s = *state;
    float3 T = u_refractColor * (1.0f - schlickReflectance(u_reflectance, abs(dot(s.N, s.I))));
    // Shadows inside the body darken with the plain coefficient, whatever the falloff switch.
    if (s.frontFacing == 0) T *= base10Transmittance(u_absorptionCoef, distance(s.P, s.rayOrigin));
    state->shadowT = T;
  }

  void evaluate(IHostContext* host, ShadingState* state) const override {
    if (ignoreIfClipped(*this, state)) return;
    writeInterfaceValue(interfaceAt(host, *state, true), state);
  }

  void scatter(IHostContext* host, ShadingState* state) const override {
    if (ignoreIfClipped(*this, state)) return;
    const ShadingState& s = *state;
    const ScatterPermissions allowed = scatterPermissions(s);
    if (!allowed.reflection && !allowed.transmission) {
      state->scatterKind = kRayNone;
      return;
    }
    const Interface in = interfaceAt(host, s);
    // A ray leaving the body sees the smooth interface: no rough normal is drawn inside.
    const bool smooth = s.frontFacing == 0 || !(in.roughness >= kMinSampledRoughness);
    float3 m(0.0f, 0.0f, 1.0f);
    if (!smooth) {
      float2 u;
      host->random2(&u);
      m = sampleGgxNormal(in.alpha2, u.x, u.y);
    }
    if (-dot(in.i, m) < 0.0f) {
      state->scatterKind = kRayNone;
      return;
    }
    ScatterChoice choice = chooseReflectionOrTransmission(allowed, in.F, host);
    float3 o(0.0f);
    if (!choice.reflect) {
      o = refractAtMicrofacet(in.i, m, in.eta);
      if (isBlack(o)) {
        // Total internal reflection keeps the whole weight when a reflection may follow.
        if (!allowed.reflection) {
          state->scatterKind = kRayNone;
          return;
        }
        choice = ScatterChoice{true, 1.0f};
      }
    }
    if (choice.reflect) o = reflectAtMicrofacet(in.i, m);

    float weight = choice.weight;
    if (!smooth) weight *= microfacetSampleWeight(in.i, o, m, in.alpha2);
    float3 w(weight);
    if (s.frontFacing == 0) w *= absorption(s, distance(s.P, s.rayOrigin));
    state->scatterDir = localToFrame(in.frame, o);
    state->scatterWeight = w;
    state->scatterCos = 1.0f;
    state->scatterInvPdf = 1.0f;
    state->scatterKind = smooth ? kRayTransmission : kRaySpecular;
    state->mediumIor = in.transmittedIor;
  }

 private:
  static constexpr int32_t kTangent = varyingOffset<DielectricParameters>("tangent");
  static constexpr int32_t kUV = varyingOffset<DielectricParameters>("uv");

  // Rougher than this, `scatter` draws a microfacet normal; smoother is a mirror-flat interface.
  static constexpr float kMinSampledRoughness = 0.01f;

  // The interface at one hit, with the geometric normal on the incident side, the index of the
  // medium a refracted ray travels in and the roughness.
  struct Interface : RoughInterface {
    float3 Ng;
    float transmittedIor;
    float roughness;
  };

  // `aroundNormalOnly`: the caller needs no azimuth (the value of the isotropic interface), so an
  // unbent interface takes any frame around the state's normal instead of the tangent's.
  TARVO_ALWAYS_INLINE Interface interfaceAt(IHostContext* host, const ShadingState& s,
                                            bool aroundNormalOnly = false) const {
    const float2 uv = readVarying<float2>(s, kUV);
    Interface in;
    in.frame = aroundNormalOnly && !bendsNormal() ? frameAroundNormal(s.N) : bentFrame(host, s, uv);
    turnToFaceRay(in.frame, s.I);
    in.Ng = facingRay(s.Ng, s.I);
    in.i = frameToLocal(in.frame, s.I);
    in.F = schlickReflectance(u_reflectance, -in.i.z);
    const IndexRatio ratio = dielectricIndexRatio(s, u_ior);
    in.eta = ratio.eta;
    in.transmittedIor = ratio.transmittedIor;
    in.roughness = mappedScalar(TARVO_TEXTURE_MAP(*this, rough), u_roughValue, uv);
    in.alpha2 = ggxAlphaSquared(in.roughness);
    return in;
  }

  // The tangent frame around the shading normal, bent by the first normal map or else the
  // procedural pattern, then by the second normal map.
  bool bendsNormal() const {
    return u_normal0MapEnable || (u_procedureMapEnable == 1 && u_procedureMapAmount != 0.0f) ||
           u_normal1MapEnable;
  }

  // The procedural pattern's ripple, added to N in the frame.
  TARVO_OUT_OF_LINE void applyRipple(IHostContext* host, const ShadingState& s,
                                     TangentFrame& f) const {
    const float3 ripple = rippleNormalOffset(host, s.Po * u_procedureMapTiling);
    offsetNormal(f, localToFrame(f, ripple * u_procedureMapAmount));
  }

  TangentFrame bentFrame(IHostContext* host, const ShadingState& s, const float2& uv) const {
    TangentFrame f = tangentFrame(s, kTangent);
    if (u_normal0MapEnable) {
      const TextureMap map = TARVO_TEXTURE_MAP(*this, normal0);
      applyNormalTexel(f, sampleMap(map, uv, u_normal0UVScale), u_normal0Amount);
    } else if (u_procedureMapEnable == 1 && u_procedureMapAmount != 0.0f) {
      applyRipple(host, s, f);
    }
    if (u_normal1MapEnable) {
      applyNormalTexel(f, sampleMap(TARVO_TEXTURE_MAP(*this, normal1), uv), u_normal1Amount);
    }
    return f;
  }

  // The refraction seen through the surface; beyond the critical angle, on either side, the
  // whole refraction budget goes into the bent reflection instead. Absorbed on the way out.
  float3 tracedRefraction(IHostContext* host, const ShadingState& s, const Interface& in,
                          const float3& Kt) const {
    const Refraction r = refractionOrTotalReflection(s.I, in.frame.N, in.eta);
    float3 T = r.direction;
    if (r.totalInternalReflection) T = horizonClampedReflection(s.I, in.frame.N, in.Ng);
    if (isBlack(T)) return float3(0.0f);
    float4 seen;
    host->traceRefraction(&seen, &s.P, &T, u_glossyValue, maxComponent(Kt));
    float3 c = rgb(seen) * Kt;
    if (s.frontFacing == 0) c *= absorption(s, distance(s.P, s.rayOrigin));
    return c;
  }

  // Absorption over the distance travelled inside, when the falloff is on: the coefficient, or
  // the one that gives the transmittance map's colour over a distance of `u_absorptionCoef`.
  float3 absorption(const ShadingState& s, float travelled) const {
    if (!u_falloffEnable) return float3(1.0f);
    float3 a = u_absorptionCoef;
    if (u_transmittanceMapEnable) {
      const float2 uv = readVarying<float2>(s, kUV);
      const float3 t = mappedColor(TARVO_TEXTURE_MAP(*this, transmittance), float3(1.0f), uv);
      a = transmittanceCoefficient(t, u_absorptionCoef);
    }
    return base10Transmittance(a, travelled);
  }
};

TARVO_SHADER_FACTORY(quarra_Mtl_Dielectric)

}  // namespace pvx

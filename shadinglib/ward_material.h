// The Ward family's entry points: `shade`, `shadow`, `evaluate` and `scatter` of a diffuse
// layer under an anisotropic Ward glossy lobe, with transparency, translucency, an additional
// colour, cut-outs, decals, two normal maps and a built-in bump. quarra_Mtl_Ward and its
// network variants call WardMaterial<P, S> with their parameter block P and input source S
// (shadinglib/ward_inputs.h). The clipping, decal and common-tint members are optional in P:
// a block without them (the network variants) skips those steps.
//
// `evaluate` of a lobe as rough along T as along B, on a surface without normal maps and bump,
// builds no tangent frame (isotropicWardLobe): its weights differ from the frame's by rounding
// only, and lie closer to a double-precision evaluation (over 400 000 directions near the peak
// at roughness 0.01, mean relative error 1.6e-5 with the frame and 2.2e-6 without it).
// `scatter` draws such a lobe's azimuth as the uniform angle itself (wardAzimuth), which moves
// drawn directions by rounding only (at most 3e-4 per component).
#ifndef TARVO_SHADINGLIB_WARD_MATERIAL_H
#define TARVO_SHADINGLIB_WARD_MATERIAL_H

#include <cstdint>

#include "shadinglib/light_samples.h"
#include "shadinglib/lobe_scatter.h"
#include "shadinglib/material_prologue.h"
#include "shadinglib/ray_directions.h"
#include "shadinglib/ward_inputs.h"
#include "shadinglib/ward_lobe.h"

namespace pvx {

template <class P, class S = WardMappedInputs>
struct WardMaterial {
  static constexpr int32_t kUV = requiredVaryingOffset<P>("uv");

  static float2 uv(const ShadingState& state) { return readVarying<float2>(state, kUV); }

  // A decal shows only where its transform maps the UV into the unit square.
  TARVO_ALWAYS_INLINE static bool outsideDecal(const P& p, const float2& uv) {
    if constexpr (declaresParameter<P>("u_isDecal")) {
      if (!p.u_isDecal) return false;
      const float3 x = transformPoint(p.u_decalTransform, float3(uv.x, uv.y, 0.0f));
      return x.x < 0.0f || x.x > 1.0f || x.y < 0.0f || x.y > 1.0f;
    } else {
      return false;
    }
  }

  static float4 traceStraightThrough(IHostContext* host, const ShadingState& state, float weight) {
    float4 behind;
    host->traceContinue(&behind, &state.P, &state.I, weight);
    return behind;
  }

  static void shade(const P& p, IHostContext* host, ShadingState* state) {
    const ShadingState& s = *state;
    shadeWithinPrologue(p, host, s, state, [&](const float3& mask, ComposedTerms& terms) {
      shadeSurface(p, host, s, mask, terms);
    });
  }

  // Everything between the mask and the composition.
  static void shadeSurface(const P& p, IHostContext* host, const ShadingState& s,
                           const float3& mask, ComposedTerms& terms) {
    const float2 texcoord = uv(s);
    if (outsideDecal(p, texcoord)) {
      terms[Term::kTransmission] = float4(rgb(traceStraightThrough(host, s, 1.0f)), 1.0f);
      return;
    }
    float cutout = 1.0f;
    float3 behind(0.0f);
    if (p.u_cutoutMapEnable) {
      cutout = S::cutoutOpacity(p, host, s, texcoord);
      if (cutout != 1.0f) behind = rgb(traceStraightThrough(host, s, 1.0f - cutout));
      if (cutout == 0.0f) {
        terms[Term::kTransmission] = float4(behind, 1.0f);
        return;
      }
    }

    WardFrames frames = buildWardFrames<S>(p, host, s, texcoord);
    bendTowardViewer(frames.main, -s.I, s.N);
    const float3 N = lightingNormal(p, frames);
    const float3 i = frameToLocal(frames.main, s.I);
    const WardRoughness roughness = wardRoughness(p, texcoord);
    const WardInputs in = evaluateWardInputs<S>(p, host, s, texcoord, -i.z, WardSide{true, false});

    const LightSample* lights = host->lightSamples(0, &s.P, &N);
    addDirectLight(lights, frames.main, N, i, roughness, in, terms);
    float3 translucent(0.0f);
    if (s.frontFacing == 0) {
      translucent =
          evaluateWardInputs<S>(p, host, s, texcoord, -i.z, WardSide{false, false}).diffuse;
      addTranslucentLight(lights, translucent, terms);
    }
    if (s.frontFacing != 0 && hasSpecular(in.glossy) && !p.u_reflectionHighlightOnly) {
      terms[Term::kReflection] = float4(traceGlossyReflection(p, host, s, N, in.glossy), 1.0f);
    }
    if (p.u_transparency && !isBlack(in.transmissionWeighted)) {
      terms[Term::kTransmission] = float4(traceRefraction(p, host, s, N, texcoord, in), 1.0f);
    }
    const float3 indirect = diffuseLightingWithOcclusion(p, host, in.diffuse, s.P, N) +
                            diffuseLightingWithOcclusion(p, host, translucent, s.P, N);
    terms[Term::kIndirectDiffuse] = float4(indirect, 1.0f);
    terms[Term::kExtra] = float4(additionalColor(p, texcoord), 1.0f);

    if (p.u_cutoutMapEnable) coverTerms(terms, cutout, behind);
    occludeIndirectDiffuse(p, host, s, mask, terms);
  }

  // Each light, faded by the horizon ramp, lights the diffuse colour and, unless it is a
  // diffuse-only light, the glossy lobe (directions in the main frame).
  static void addDirectLight(const LightSample* lights, const TangentFrame& frame, const float3& N,
                             const float3& i, const WardRoughness& roughness, const WardInputs& in,
                             ComposedTerms& terms) {
    const bool glossy = hasSpecular(in.glossy);
    float3 diffuse(0.0f), highlight(0.0f);
    forEachRampedLight(lights, N, [&](const LightSample& light, float w) {
      if (isBlack(light.color)) return;
      const float3 energy = light.color * w;
      diffuse += in.diffuse * energy;
      if (light.tag == kLightTagDiffuseOnly || !glossy) return;
      const float3 o = frameToLocal(frame, light.L);
      if (i.z < 0.0f && o.z > 0.0f) {
        highlight += wardLobe(i, o, roughness, float3(0.0f), in.glossy) * energy;
      }
    });
    terms[Term::kDirectDiffuse] = float4(rgb(terms[Term::kDirectDiffuse]) + diffuse, 1.0f);
    terms[Term::kDirectGlossy] = float4(rgb(terms[Term::kDirectGlossy]) + highlight, 1.0f);
  }

  // Light from behind shines through a translucent surface without the horizon ramp.
  static void addTranslucentLight(const LightSample* lights, const float3& translucent,
                                  ComposedTerms& terms) {
    if (isBlack(translucent)) return;
    float3 sum(0.0f);
    forEachLightSample(lights, [&](const LightSample& light) {
      if (!isBlack(light.color)) sum += light.color * light.weight * translucent;
    });
    terms[Term::kDirectDiffuse] = float4(rgb(terms[Term::kDirectDiffuse]) + sum, 1.0f);
  }

  static float3 traceGlossyReflection(const P& p, IHostContext* host, const ShadingState& s,
                                      const float3& N, const float3& glossy) {
    const float3 R = horizonClampedReflection(s.I, N, s.Ng);
    float3 seen;
    host->traceReflection(&seen, &s.P, &R, p.u_reflectGlossyValue, maxComponent(glossy));
    return seen * glossy;
  }

  static float3 traceRefraction(const P& p, IHostContext* host, const ShadingState& s,
                                const float3& N, const float2& texcoord, const WardInputs& in) {
    const float3 T = refractedDirection(s.I, N, indexRatio(s, p.u_ior).eta);
    if (isBlack(T)) return float3(0.0f);
    const float roughness = mappedRefractGlossiness(TARVO_TEXTURE_MAP(p, refractGlossy),
                                                    p.u_refractGlossyValue, texcoord);
    float4 seen;
    host->traceRefraction(&seen, &s.P, &T, roughness, maxComponent(in.transmissionWeighted));
    return rgb(seen) * in.transmissionWeighted;
  }

  static float3 additionalColor(const P& p, const float2& texcoord) {
    const TextureMap map{p.u_additionalMapEnable, p.u_additionalMap, p.u_additionalMapTransform,
                         p.u_additionalAmount};
    return mappedColor(map, p.u_additionalColor, texcoord, ColorRule::ConstantTimesClamped);
  }

  static void shadow(const P& p, IHostContext* host, ShadingState* state) {
    const ShadingState& s = *state;
    const float2 texcoord = uv(s);
    if (outsideDecal(p, texcoord)) {
      state->shadowT = float3(1.0f);
      return;
    }
    const float3 N = dot(s.I, s.Ng) > 0.0f ? -s.N : s.N;
    float3 T(0.0f);
    if (p.u_cutoutMapEnable) {
      const float c = S::cutoutOpacity(p, host, s, texcoord);
      if (c != 1.0f) T = float3(1.0f - c);
    }
    if (p.u_transparency) {
      const WardSide side{s.frontFacing != 0, true};
      T = evaluateWardInputs<S>(p, host, s, texcoord, -dot(N, s.I), side).transmissionWeighted;
    }
    state->shadowT = T;
  }

  // Clipped hits and hits outside a decal are not part of the surface for path tracing.
  TARVO_ALWAYS_INLINE static bool rejects(const P& p, ShadingState* state) {
    if (ignoreIfClipped(p, state)) return true;
    if (outsideDecal(p, uv(*state))) {
      state->ignoreHit = 1;
      return true;
    }
    return false;
  }

  // The entry points a host calls once per light and once per bounce are inlined into the
  // class's own up to their early exits; the branches default parameters never take are calls.
  TARVO_ALWAYS_INLINE static void evaluate(const P& p, IHostContext* host, ShadingState* state) {
    if (rejects(p, state)) return;
    const WardCosines cosines = wardCosines(p, *state, state->scatterDir);
    if (cosines.known && !cosines.facing()) {
      state->scatterCos = 0.0f;
      state->scatterWeight = float3(0.0f);
      return;
    }
    evaluateLobe(p, host, state, cosines);
  }

  // An isotropic lobe around the state's N is evaluated without a tangent frame
  // (isotropicWardLobe); any other needs I and `scatterDir` in the main frame.
  TARVO_OUT_OF_LINE static void evaluateLobe(const P& p, IHostContext* host, ShadingState* state,
                                             const WardCosines& cosines) {
    const ShadingState& s = *state;
    const float2 texcoord = uv(s);
    const WardRoughness roughness = wardRoughness(p, texcoord);
    const bool aroundN = cosines.known && roughness.ax == roughness.ay;
    const WardPair pair =
        aroundN ? cosinesOnly(cosines) : wardPair<S>(p, host, s, texcoord, s.scatterDir, cosines);
    const float cosine = reportedCosine(p.u_cosineUsesBump, s, pair.o, s.scatterDir);
    if (!pair.facing || !(cosine > 0.0f)) {
      state->scatterCos = 0.0f;
      state->scatterWeight = float3(0.0f);
      return;
    }
    const WardInputs in =
        evaluateWardInputs<S>(p, host, s, texcoord, -pair.i.z, WardSide{true, false});
    state->scatterCos = cosine;
    state->scatterWeight = aroundN ? isotropicWardLobe(s.I, s.scatterDir, s.N, pair.i.z, pair.o.z,
                                                       roughness, in.diffuse, in.glossy)
                                   : wardLobe(pair.i, pair.o, roughness, in.diffuse, in.glossy);
  }

  TARVO_ALWAYS_INLINE static void scatter(const P& p, IHostContext* host, ShadingState* state) {
    if (rejects(p, state)) return;
    const bool reflects = reflectionAllowed(*state);
    if (!reflects && !(p.u_transparency && state->allowScatter[kAllowSpecularTransmission])) {
      state->scatterKind = kRayNone;
      return;
    }
    // Without a transmission to choose, a ray arriving from below the unbent normal draws
    // nothing, which needs neither frame nor inputs.
    const bool transmits = p.u_transparency && state->allowScatter[kAllowSpecularTransmission];
    if (!transmits && mainNormalIsShadingNormal(p) && !(dot(state->I, state->N) < 0.0f)) {
      drawNothing(host, state);
      return;
    }
    scatterSurface(p, host, state, reflects);
  }

  // A transmission, or a draw from the lobe: the mixture of its diffuse and glossy parts, or the
  // glossy lobe alone when neither of those parts is asked for.
  TARVO_OUT_OF_LINE static void scatterSurface(const P& p, IHostContext* host, ShadingState* state,
                                               bool reflects) {
    const ShadingState& s = *state;
    const uint8_t* allow = s.allowScatter;
    const float2 texcoord = uv(s);
    const WardFrames frames = buildWardFramesForArrival<S>(p, host, s, texcoord);
    const float3 i = frameToLocal(frames.main, s.I);
    WardRoughness roughness{0.0f, 0.0f};
    WardInputs in;
    if (i.z < 0.0f) {
      roughness = wardRoughness(p, texcoord);
      in = evaluateWardInputs<S>(p, host, s, texcoord, -i.z, WardSide{true, false});
    }

    if (p.u_transparency && allow[kAllowSpecularTransmission]) {
      float weight = 1.0f - in.reflectivity;
      bool transmits = true;
      if (allow[kAllowSpecularReflection]) {
        weight = 1.0f;
        transmits = in.reflectivity < host->random1();
      }
      if (transmits) {
        transmit(p, state, lightingNormal(p, frames), weight, in.transparency, in.translucency);
        return;
      }
    }
    if (!reflects) {
      state->scatterKind = kRayNone;
      return;
    }
    const bool mixture = mixtureAllowed(s);
    const float r = mixture ? host->random1() : 0.0f;
    float2 u;
    host->random2(&u);
    // Arriving from below, the inputs are not evaluated: the lobe has no width and no diffuse
    // colour, so no draw leaves the surface.
    if (!(i.z < 0.0f)) {
      state->scatterKind = kRayNone;
      return;
    }
    const LobeSample sample = sampleWardDraw(i, roughness, in.diffuse, in.glossy, mixture, r, u);
    if (mixture) {
      writeMixtureDraw(state, frames.main, sample, p.u_cosineUsesBump);
    } else {
      writeGlossyDraw(state, frames.main, sample, in.diffuse, p.u_cosineUsesBump);
    }
  }

  // Straight refraction into (or out of) the object; total internal reflection turns it into
  // the mirror bounce. The weight keeps the share that is neither reflected nor translucent.
  TARVO_OUT_OF_LINE static void transmit(const P& p, ShadingState* state, const float3& N,
                                         float weight, float transparency, float translucency) {
    const IndexRatio ratio = indexRatio(*state, p.u_ior);
    const float3 T = refractedDirection(state->I, N, ratio.eta);
    if (!isBlack(T)) {
      state->scatterDir = T;
      state->scatterCos = -dot(T, N);
      state->scatterKind = kRayTransmission;
      state->mediumIor = ratio.transmittedIor;
    } else {
      state->scatterDir = reflect(state->I, N);
      state->scatterCos = dot(state->scatterDir, N);
      state->scatterKind = kRayGlossy;
    }
    state->scatterWeight = float3(weight * transparency * (1.0f - translucency));
    state->scatterInvPdf = 1.0f;
  }
};

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_WARD_MATERIAL_H

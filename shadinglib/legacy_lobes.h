// The legacy material's reflectance pieces: its Fresnel curve, its glossy lobe (a Torrance-
// Sparrow shape with a squared Trowbridge-Reitz-like distribution and a cubic Schlick term), the
// normalisation that turns the lobe into a density-normalised reflectance, the normal-mapped
// normal of its tangent frames, the cosine-weighted bounce and the absorption of refracted light.
#ifndef TARVO_SHADINGLIB_LEGACY_LOBES_H
#define TARVO_SHADINGLIB_LEGACY_LOBES_H

#include "shadinglib/vector_math.h"

namespace pvx {

// min(pow(1 + c, exponent) scale + bias, maximum) with (bias, scale, exponent, maximum) = curve,
// c = -|I.n| limited to at least -1. Not limited below; a NaN (0 to a negative power times 0)
// becomes 0.
inline float fresnelCurve(float viewCosine, const float4& curve) {
  const float f = min(pow(1.0f + viewCosine, curve.z) * curve.y + curve.x, curve.w);
  return f == f ? f : 0.0f;
}

// -|I.n| limited to at least -1: the curve's argument.
inline float negatedViewCosine(const float3& I, const float3& n) {
  return max(-abs(dot(I, n)), -1.0f);
}

// The quantities of one glossy lobe for the incoming direction I and the light direction L at
// a surface with normal n: h the cosine of the (negated) half vector with the normal, x its
// cosine with I (at least 0.0001), cv the view cosine kept 0.0001 away from zero, l the light
// cosine clamped to [0, 1].
struct GlossyGeometry {
  float h, x, cv, l;
};

inline GlossyGeometry glossyGeometry(const float3& I, const float3& n, const float3& L) {
  const float3 Hn = normalize(I - L);
  GlossyGeometry g;
  g.x = max(dot(Hn, I), 0.0001f);
  g.h = dot(Hn, -n);
  const float cv = dot(-n, I);
  g.cv = abs(cv) < 0.0001f ? (cv < 0.0f ? -0.0001f : 0.0001f) : cv;
  g.l = clamp(dot(L, n), 0.0f, 1.0f);
  return g;
}

// The lobe clamp(G D^2 Fs, 0, 1) with roughness m and reflectance f0 at normal incidence.
// `halfSlope` evaluates the distribution at h / 2 (the clear-coat lobe). A NaN (a roughness of 0
// at the peak) clamps to 0.
inline float glossyLobe(const GlossyGeometry& g, float f0, float m, bool halfSlope) {
  const float hd = halfSlope ? g.h * 0.5f : g.h;
  const float m2 = m * m;
  const float D = m2 / (hd * hd * (m2 - 1.0f) + 1.0f);
  const float G = g.l <= g.cv ? min(1.0f / g.cv, 2.0f * g.h * g.l / (g.x * g.cv))
                              : min(1.0f / g.cv, 2.0f * g.h / g.x);
  const float p = (1.0f - g.x) * (1.0f - g.x) * (1.0f - g.x);
  const float Fs = f0 * (1.0f - p) + p;
  return clamp(G * D * D * Fs, 0.0f, 1.0f);
}

// The factor that turns the lobe into a reflectance per unit solid angle: h cv / (4 pi m^2 x l).
// D^2 is pi m^2 times the normalised Trowbridge-Reitz density and G cv is at most 1, so with it
// the lobe's directional albedo is at most Fs (the half-vector density integrates to 1 over the
// Jacobian 4 x of the mirror map). Zero for a mirror (m = 0) or a light at the horizon.
inline float glossyNormalisation(const GlossyGeometry& g, float m) {
  const float m2 = m * m;
  if (!(m2 > 1e-8f) || !(g.l > 0.0f)) return 0.0f;
  return g.h * g.cv / (4.0f * kPi * m2 * g.x * g.l);
}

// A normal-map texel (r, g, b) in the frame (tangent, bitangent, n), both brought into world
// space by the caller: the tangent made orthogonal to n, the bitangent to n and the tangent
// (each projection scaled by 0.999999 so nothing cancels exactly), both normalised, and the
// normal (depth (2r - 1), depth (2g - 1), max(2b - 1, 0.001)) in that frame, normalised.
inline float3 normalMappedNormal(const float3& n, float3 tangent, float3 bitangent,
                                 const float3& texel, float depth) {
  constexpr float kKeep = 0.999999f;
  tangent = normalize(tangent - kKeep * dot(tangent, n) * n);
  bitangent = normalize(bitangent - kKeep * dot(bitangent, n) * n -
                        kKeep * dot(bitangent, tangent) * tangent);
  const float3 local(depth * (2.0f * texel.x - 1.0f), depth * (2.0f * texel.y - 1.0f),
                     max(2.0f * texel.z - 1.0f, 0.001f));
  return normalize(tangent * local.x + bitangent * local.y + n * local.z);
}

// A cosine-weighted direction around a unit n from two uniform numbers: (cos(2 pi u1) sqrt(u2),
// sin(2 pi u1) sqrt(u2), sqrt(1 - u2)) in the frame whose axes are closed-form in n (the fixed
// axes (1, 0, 0), (0, +-1, 0) within 1e-5 of a pole, where the closed form divides by 1 + n.z).
inline float3 cosineWeightedDirection(const float3& n, const float2& u) {
  float3 a1, a2;
  if (n.z > 0.99999f || n.z < -0.99999f) {
    a1 = float3(1.0f, 0.0f, 0.0f);
    a2 = float3(0.0f, n.z > 0.0f ? 1.0f : -1.0f, 0.0f);
  } else {
    const float k = 1.0f / (1.0f + n.z);
    a1 = float3(n.y * n.y * k + n.z, -n.x * n.y * k, -n.x);
    a2 = float3(-n.x * n.y * k, n.x * n.x * k + n.z, -n.y);
  }
  const float r = sqrt(u.y);
  const float phi = kTwoPi * u.x;
  return a1 * (cos(phi) * r) + a2 * (sin(phi) * r) + n * sqrt(1.0f - u.y);
}

// What survives `distance` of a medium with these absorption coefficients: exp(-a d) per
// channel; a coefficient of exactly -1 absorbs the channel entirely. Other negative coefficients
// (which would amplify) absorb nothing.
inline float3 absorptionFactor(const float3& absorbance, float distance) {
  auto one = [distance](float a) {
    if (a == -1.0f) return 0.0f;
    const float x = max(a, 0.0f) * distance;
    return x > 0.0f ? exp(-x) : 1.0f;
  };
  return float3(one(absorbance.x), one(absorbance.y), one(absorbance.z));
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_LEGACY_LOBES_H

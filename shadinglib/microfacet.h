// The rough interface of the glass-like materials: the GGX (Trowbridge-Reitz) distribution of
// microfacet normals with its Smith masking term, the reflection and transmission terms built on
// them (after Walter et al. 2007, "Microfacet models for refraction through rough surfaces") and
// the sampling of a microfacet normal.
//
// Everything here works on local directions, z along the surface normal, and needs no frame:
// i is the incident ray's direction of travel (towards the surface, i.z < 0 from the normal's
// side), o the outgoing direction (o.z > 0 reflected to that side, o.z < 0 transmitted), eta
// the ratio of the incident index to the transmitted one. Roughness enters as alpha squared.
#ifndef TARVO_SHADINGLIB_MICROFACET_H
#define TARVO_SHADINGLIB_MICROFACET_H

#include "shadinglib/ray_directions.h"
#include "shadinglib/vector_math.h"

namespace pvx {

// Below this alpha squared the distribution's peak no longer fits a float: roughness is never
// taken smaller than 1e-6, so even a mirror-like interface evaluates to finite values.
constexpr float kMinAlphaSquared = 1e-12f;

// Directions closer to the surface plane than this cosine carry no microfacet value: the terms
// divide by it.
constexpr float kMinMicrofacetCosine = 1e-6f;

// Largest roughness the terms see; far beyond any useful surface, small enough that alpha
// squared times a tangent squared stays a float.
constexpr float kMaxMicrofacetRoughness = 1000.0f;

// Alpha squared of a roughness as the terms take it: a roughness that is not a number or not
// positive is a mirror (the smallest alpha), one beyond kMaxMicrofacetRoughness is cut there.
inline float ggxAlphaSquared(float roughness) {
  const float a = roughness > 0.0f ? min(roughness, kMaxMicrofacetRoughness) : 0.0f;
  return max(a * a, kMinAlphaSquared);
}

// D(m) = a2 / (pi cos^4 (a2 + tan^2)^2), written as a2 / (pi (a2 cos^2 + sin^2)^2), which is the
// same and never divides by cos^4; 0 for normals below the surface.
inline float ggxDistribution(const float3& m, float alpha2) {
  const float c = m.z;
  if (!(c > 0.0f)) return 0.0f;
  const float c2 = min(c * c, 1.0f);
  const float d = alpha2 * c2 + (1.0f - c2);
  const float denominator = kPi * d * d;
  return denominator > 0.0f ? alpha2 / denominator : 0.0f;
}

// Smith's masking of one direction v by microfacets of normal m: 2 / (1 + sqrt(1 + a2 tan^2))
// with theta the angle between v and the surface normal; 0 when v sees the microfacet from its
// back (v.m and v.z of opposite signs, or either 0).
inline float smithMasking(const float3& v, const float3& m, float alpha2) {
  if (!(dot(v, m) * v.z > 0.0f)) return 0.0f;
  const float c2 = v.z * v.z;
  const float tan2 = max(1.0f - c2, 0.0f) / c2;
  return 2.0f / (1.0f + sqrt(1.0f + alpha2 * tan2));
}

// A half vector turned to the normal's side, where the distribution lives.
inline float3 upperHalfVector(const float3& h) {
  return h.z < 0.0f ? -h : h;
}

// True when either direction grazes the surface too closely to be divided by.
inline bool grazesSurface(const float3& i, const float3& o) {
  return !(abs(i.z) >= kMinMicrofacetCosine && abs(o.z) >= kMinMicrofacetCosine);
}

// Reflection term G1(i, h) G1(o, h) D(h) / (4 |i.z o.z|) with h = normalize(o - i); 0 when o
// does not leave on the incident side.
inline float microfacetReflection(const float3& i, const float3& o, float alpha2) {
  if (!(i.z * o.z < 0.0f) || grazesSurface(i, o)) return 0.0f;
  const float3 h = upperHalfVector(normalize(o - i));
  const float g = smithMasking(i, h, alpha2) * smithMasking(o, h, alpha2);
  const float d = ggxDistribution(h, alpha2);
  if (!(g > 0.0f) || !(d > 0.0f)) return 0.0f;
  return g * d / (4.0f * abs(i.z * o.z));
}

// Transmission term of a pair that crosses the interface (i.z and o.z of one sign):
//   G1(i, h) G1(o, h) D(h) |i.h| |o.h| eta^2 / ((i.h + eta o.h)^2 |i.z o.z|),
// with the half vector h = normalize(-(i + eta o)) for an incident ray from the normal's side,
// negated for one from below. The incident index enters h with weight 1 and the transmitted one
// with eta, the grouping the denominator has (it is |i + eta o|^2), so the term stays finite
// wherever h exists, at eta = 1 included. This is not the density of the refracted directions
// `refractAtMicrofacet` draws: h is built from i as it travels, not reversed, so the lobe peaks
// where o's tangential part is -(i.x, i.y) / eta, not along the refracted ray. 0 on the incident
// side, at grazing directions and where G or D is not positive.
inline float microfacetTransmission(const float3& i, const float3& o, float eta, float alpha2) {
  if (!(i.z * o.z > 0.0f) || grazesSurface(i, o)) return 0.0f;
  const float3 sum = i + eta * o;
  const float3 h = normalize(i.z < 0.0f ? -sum : sum);
  const float ih = dot(i, h), oh = dot(o, h);
  const float g = smithMasking(i, h, alpha2) * smithMasking(o, h, alpha2);
  const float d = ggxDistribution(h, alpha2);
  const float across = ih + eta * oh;
  const float denominator = across * across * abs(i.z * o.z);
  if (!(g > 0.0f) || !(d > 0.0f) || !(denominator > 0.0f)) return 0.0f;
  const float value = g * d * abs(ih * oh) * eta * eta / denominator;
  return value < 3.0e38f ? value : 0.0f;
}

// What a rough dielectric interface scatters towards o: F Rm + (1 - F) Tm, with F the
// reflectance of the incident angle.
inline float microfacetScattering(const float3& i, const float3& o, float F, float eta,
                                  float alpha2) {
  return F * microfacetReflection(i, o, alpha2) +
         (1.0f - F) * microfacetTransmission(i, o, eta, alpha2);
}

// A microfacet normal drawn with density D(m) m.z from two uniform numbers in [0, 1):
// tan^2 theta = a2 u1 / (1 - u1), phi = 2 pi u2.
inline float3 sampleGgxNormal(float alpha2, float u1, float u2) {
  const float rest = 1.0f - u1;
  const float tan2 = rest > 0.0f ? alpha2 * u1 / rest : 3.0e38f;
  const float cosTheta = 1.0f / sqrt(1.0f + tan2);
  const float sinTheta = sqrt(max(1.0f - cosTheta * cosTheta, 0.0f));
  const float phi = kTwoPi * u2;
  return float3(sinTheta * cos(phi), sinTheta * sin(phi), cosTheta);
}

// Weight of a direction reached through a sampled microfacet normal m: G1(i, m) G1(o, m) |i.m| /
// (|i.z| m.z), limited to [0, 4] so that a grazing incident ray cannot make a firefly.
inline float microfacetSampleWeight(const float3& i, const float3& o, const float3& m,
                                    float alpha2) {
  const float denominator = abs(i.z) * abs(m.z);
  if (!(denominator > 0.0f)) return 0.0f;
  const float g = smithMasking(i, m, alpha2) * smithMasking(o, m, alpha2);
  return clamp(g * abs(dot(i, m)) / denominator, 0.0f, 4.0f);
}

// Snell's refraction of i at a microfacet of normal m, with c = -i.m > 0, normalised. A negative
// k is total internal reflection and gives zero.
inline float3 refractAtMicrofacet(const float3& i, const float3& m, float eta) {
  const Snell s = snell(-dot(i, m), eta);
  if (s.k < 0.0f) return float3(0.0f);
  return normalize(snellDirection(i, m, eta, s));
}

// Reflection of i at a microfacet of normal m: i + 2 c m with c = -i.m.
inline float3 reflectAtMicrofacet(const float3& i, const float3& m) {
  return i - 2.0f * dot(i, m) * m;
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_MICROFACET_H

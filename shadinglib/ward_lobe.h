// The anisotropic Ward lobe under a Lambertian diffuse layer: its value, its half-vector
// sampling and the density of that sampling, the cosine-weighted diffuse sampling, and the
// mixture of the two that the path-tracing entry points draw from. Directions are local to a
// tangent frame (x along T, y along B, z along N); i is the incoming ray (pointing at the
// surface), o the outgoing direction. ax and ay are the roughness along T and B.
// An isotropic lobe (ax == ay) takes shortcuts that change results by rounding only: its
// azimuth is drawn as the uniform angle itself (wardAzimuth), and isotropicWardLobe evaluates it
// without a tangent frame.
#ifndef TARVO_SHADINGLIB_WARD_LOBE_H
#define TARVO_SHADINGLIB_WARD_LOBE_H

#include <cmath>

#include "shadinglib/vector_math.h"

namespace pvx {

struct WardRoughness {
  float ax;
  float ay;
};

// The lobe's own rounding of 4 pi.
constexpr float kWardFourPi = 12.56637f;
// Cosines this close to the surface make the lobe's 1/sqrt(cos cos) meaningless.
constexpr float kWardMinCosine = 0.0001f;
// Below this the glossy exponential adds nothing a colour could show.
constexpr float kWardMinExponential = 0.000001f;
// The cosine-weighted disk is shrunk by this much so no direction lies in the surface.
constexpr float kDiskRadiusMargin = 0.000001f;

// Specular colours at or below this in every channel add no highlight and trace no reflection.
constexpr float kMinSpecular = 0.00001f;

inline bool hasSpecular(const float3& specular) {
  return maxComponent(specular) > kMinSpecular;
}

// The glossy share of reflection at a cosine between the normal and the reversed incoming ray:
// r0 head-on, rising to r90 at grazing along (1 - c)^power, limited to [0, 1]. A power of 0
// gives r90 at every angle (x^0 is 1 for every x, NaN included, so the power function is not
// called for it).
TARVO_ALWAYS_INLINE float reflectivityCurve(float cosine, float r0, float r90, float power) {
  const float c = max(cosine, 0.0f);
  const float rise = power == 0.0f ? 1.0f : pow(1.0f - clamp(c, 0.0f, 1.0f), power);
  return clamp(r0 + (r90 - r0) * rise, 0.0f, 1.0f);
}

// Where the lobe is defined, from the cosines of i and o with the normal and h.z = o.z - i.z:
// neither direction nor h at the horizon, o above the surface and i arriving from above it.
inline bool wardCosinesDefined(float iz, float oz, float hz) {
  if (abs(hz) < kWardMinCosine || abs(iz) < kWardMinCosine) return false;
  if (oz <= 0.0f) return false;
  return iz * oz < 0.0f;
}

// Where the lobe is defined: a half vector h = o - i that is not flat and the cosines above.
TARVO_ALWAYS_INLINE bool wardDefined(const float3& i, const float3& o, const float3& h) {
  if (dot(h, h) == 0.0f) return false;
  return wardCosinesDefined(i.z, o.z, h.z);
}

// A lobe needs a positive width along both axes; zero (or NaN) roughness reflects no glossy
// light rather than dividing by zero.
inline bool wardHasWidth(const WardRoughness& a) {
  return a.ax * a.ay > 0.0f;
}

// (h.x / ax)^2 + (h.y / ay)^2: how far h leans from the normal, in units of the roughness.
inline float wardSpread(const float3& h, const WardRoughness& a) {
  const float x = h.x / a.ax;
  const float y = h.y / a.ay;
  return x * x + y * y;
}

// exp(-spread / h.z^2): the same for h = o - i and for its unit vector.
inline float wardExponential(const float3& h, const WardRoughness& a) {
  return exp(-wardSpread(h, a) / (h.z * h.z));
}

// The lobe where it is defined, from the cosines iz and oz of i and o, hz = oz - iz, and h's
// spread (wardSpread), which only a lobe with width reads.
TARVO_ALWAYS_INLINE float3 definedWardLobe(float iz, float oz, float hz, const WardRoughness& a,
                                           const float3& dc, const float3& gc, float spread) {
  const float3 diffuse = dc * kInvPi;
  if (!wardHasWidth(a)) return diffuse;
  const float e = exp(-spread / (hz * hz));
  if (e <= kWardMinExponential) return diffuse;
  return diffuse + gc * e / (kWardFourPi * a.ax * a.ay * sqrt(-iz * oz));
}

// BRDF value of diffuse colour dc under glossy colour gc; zero where the lobe is undefined.
TARVO_ALWAYS_INLINE float3 wardLobe(const float3& i, const float3& o, const WardRoughness& a,
                                    const float3& dc, const float3& gc) {
  const float3 h = o - i;
  if (!wardDefined(i, o, h)) return float3(0.0f);
  return definedWardLobe(i.z, o.z, h.z, a, dc, gc, wardHasWidth(a) ? wardSpread(h, a) : 0.0f);
}

// wardLobe of a roughness the same along T and B (a.ax == a.ay) from world-space I and o and
// their cosines iz and oz with the unit normal N, without a tangent frame: the spread needs only
// h's part across N, h - h.z N, in any frame around N. That difference is taken as it stands,
// not as |h|^2 - h.z^2, which cancels near the lobe's peak. Equal to wardLobe up to rounding.
TARVO_ALWAYS_INLINE float3 isotropicWardLobe(const float3& I, const float3& o, const float3& N,
                                             float iz, float oz, const WardRoughness& a,
                                             const float3& dc, const float3& gc) {
  const float hz = oz - iz;
  // A defined lobe's h is never flat: |hz| is at least kWardMinCosine.
  if (!wardCosinesDefined(iz, oz, hz)) return float3(0.0f);
  if (!wardHasWidth(a)) return definedWardLobe(iz, oz, hz, a, dc, gc, 0.0f);
  const float3 across = (o - I) - hz * N;
  return definedWardLobe(iz, oz, hz, a, dc, gc, dot(across, across) / (a.ax * a.ax));
}

// A direction drawn from a lobe: its value there and the density it was drawn with; a density
// of -1 (or any density not above 0) means the draw gave no direction.
struct LobeSample {
  float3 o;
  float3 value;
  float density;
};

// The azimuth of Ward's half vector for a uniform u1: its cosine and sine, and the ellipse of the
// two roughnesses along it, cos^2 / ax^2 + sin^2 / ay^2. On a circle (ax == ay) the azimuth is
// the uniform angle itself and the ellipse 1 / ax^2. The ellipse's formulas give the same up to
// their rounding, which sqrt(1 - cos^2) amplifies where the azimuth's sine is small: over 10^6
// draws at each roughness 0.01, 0.2 and 0.7 the drawn directions differ by at most 3e-4 per
// component, their densities by at most 5e-4 relative.
struct WardAzimuth {
  float cosPhi;
  float sinPhi;
  float ellipse;
};

TARVO_ALWAYS_INLINE WardAzimuth wardAzimuth(const WardRoughness& a, float u1) {
  const float q = kTwoPi * u1;
  const float sinQ = sin(q);
  const float cosQ = cos(q);
  if (a.ax == a.ay) return WardAzimuth{cosQ, sinQ, 1.0f / (a.ax * a.ax)};
  const float tanPhi = (sinQ * a.ay) / (cosQ * a.ax);
  const float cos2Phi = min(1.0f / (tanPhi * tanPhi + 1.0f), 1.0f);
  const float sin2Phi = 1.0f - cos2Phi;
  return WardAzimuth{std::copysign(sqrt(cos2Phi), cosQ), std::copysign(sqrt(sin2Phi), sinQ),
                     cos2Phi / (a.ax * a.ax) + sin2Phi / (a.ay * a.ay)};
}

// Ward's half-vector sampling for uniform u1, u2: the azimuth of h follows the ellipse of the two
// roughnesses, tan^2 of its polar angle -ln(1 - u2) over that ellipse; o mirrors i about h.
TARVO_ALWAYS_INLINE LobeSample sampleWard(const float3& i, const WardRoughness& a, const float3& dc,
                                          const float3& gc, float u1, float u2) {
  LobeSample s{float3(0.0f), float3(0.0f), -1.0f};
  if (!wardHasWidth(a)) return s;

  const WardAzimuth azimuth = wardAzimuth(a, u1);
  const float cosPhi = azimuth.cosPhi;
  const float sinPhi = azimuth.sinPhi;
  const float tan2Theta = -log(1.0f - u2) / azimuth.ellipse;
  const float cos2Theta = min(1.0f / (tan2Theta + 1.0f), 1.0f);
  const float cosTheta = sqrt(cos2Theta);
  const float sinTheta = sqrt(1.0f - cos2Theta);

  const float3 h(sinTheta * cosPhi, sinTheta * sinPhi, cosTheta);
  s.o = i - 2.0f * dot(i, h) * h;
  if (s.o.z <= 0.0f || !wardDefined(i, s.o, s.o - i)) return s;

  const float e = 1.0f - u2;  // the lobe's exponential at this h, by construction
  s.value = dc * kInvPi + gc * e / (kWardFourPi * a.ax * a.ay * sqrt(-i.z * s.o.z));
  s.density = e / (kWardFourPi * a.ax * a.ay * -dot(i, h) * cos2Theta * cosTheta);
  return s;
}

// The density (per solid angle of o) with which sampleWard lands on o: the half-vector density
// e / (pi ax ay cos^3) over the reflection's Jacobian 4 (o.h). Zero where the lobe is undefined.
inline float wardDensity(const float3& i, const float3& o, const WardRoughness& a) {
  const float3 h = o - i;
  if (!wardDefined(i, o, h) || !wardHasWidth(a)) return 0.0f;
  const float3 m = normalize(h);
  const float im = -dot(i, m);
  if (!(im > 0.0f)) return 0.0f;
  return wardExponential(m, a) / (kWardFourPi * a.ax * a.ay * im * m.z * m.z * m.z);
}

// Shirley and Chiu's concentric map of the unit square onto the unit disk, lifted to the
// hemisphere: directions with density z / pi. The radius is shrunk by kDiskRadiusMargin.
inline float3 cosineHemisphere(float u, float v) {
  const float a = 2.0f * u - 1.0f;
  const float b = 2.0f * v - 1.0f;
  if (a == 0.0f && b == 0.0f) return float3(0.0f, 0.0f, 1.0f);
  float r, phi;
  if (abs(a) > abs(b)) {
    r = a;
    phi = kPiOverFour * (b / a);
  } else {
    r = b;
    phi = 0.5f * kPi - kPiOverFour * (a / b);
  }
  // The sign of r carries the half of the disk; shrink its magnitude only.
  const float radius = abs(r) - kDiskRadiusMargin;
  const float side = r < 0.0f ? -1.0f : 1.0f;
  const float x = side * radius * cos(phi);
  const float y = side * radius * sin(phi);
  return float3(x, y, sqrt(max(1.0f - radius * radius, 0.0f)));
}

// Probability of drawing the diffuse part in the mixture: half, unless one part is black.
inline float wardDiffuseProbability(const float3& dc, const float3& gc) {
  if (isBlack(dc)) return 0.0f;
  return isBlack(gc) ? 1.0f : 0.5f;
}

// The mixture of diffuse and glossy sampling: r (uniform) picks the part, (u, v) draws within
// it. The value is the whole lobe; the density is the mixture's, p z / pi + (1 - p) glossy, so
// a direction either part could have drawn is weighted correctly. Without `mixture` the draw is
// sampleWard's alone (r unused), so a caller offering both has one glossy draw in its code.
TARVO_ALWAYS_INLINE LobeSample sampleWardDraw(const float3& i, const WardRoughness& a,
                                              const float3& dc, const float3& gc, bool mixture,
                                              float r, const float2& uv) {
  const float p = mixture ? wardDiffuseProbability(dc, gc) : 0.0f;
  LobeSample s;
  float glossyDensity;
  if (mixture && r <= p) {
    s.o = cosineHemisphere(uv.x, uv.y);
    s.value = wardLobe(i, s.o, a, dc, gc);
    glossyDensity = wardDensity(i, s.o, a);
  } else {
    s = sampleWard(i, a, dc, gc, uv.x, uv.y);
    glossyDensity = s.density;
  }
  if (mixture) s.density = p * s.o.z * kInvPi + (1.0f - p) * glossyDensity;
  return s;
}

TARVO_ALWAYS_INLINE LobeSample sampleWardMixture(const float3& i, const WardRoughness& a,
                                                 const float3& dc, const float3& gc, float r,
                                                 const float2& uv) {
  return sampleWardDraw(i, a, dc, gc, true, r, uv);
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_WARD_LOBE_H

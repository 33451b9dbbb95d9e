// Where light goes at a surface and how much of it is reflected: the mirror reflection lifted
// above the geometric horizon, Snell's refraction with the index ratio of the side the ray
// arrives on, and Schlick's reflectance curve.
#ifndef TARVO_SHADINGLIB_RAY_DIRECTIONS_H
#define TARVO_SHADINGLIB_RAY_DIRECTIONS_H

#include "shadinglib/vector_math.h"
#include "tarvo/shading_state.h"

namespace pvx {

// Smallest cosine between a traced reflection and the geometric normal. A shading normal that
// leans away from Ng (interpolated or bumped) would otherwise reflect into the surface itself.
constexpr float kReflectionHorizon = 0.05f;

// R = I - 2 (I.N) N when it leaves at least kReflectionHorizon above the geometric surface;
// otherwise the unit vector s I + t N in the plane of I and N with R.Ng exactly
// kReflectionHorizon, t the larger root of the quadratic |s I + t N| = 1 gives. Where that has no
// solution the normal itself is used. I and N are unit vectors.
inline float3 horizonClampedReflection(const float3& I, const float3& N, const float3& Ng) {
  const float3 R = I - 2.0f * dot(I, N) * N;
  if (dot(R, Ng) >= kReflectionHorizon) return normalize(R);

  const float a = dot(Ng, I);
  const float b = dot(Ng, N);
  const float d = dot(N, I);
  // With s = (h - t b) / a (h the horizon cosine), |s I + t N|^2 = 1 reads k2 t^2 + k1 t + k0 = 0.
  const float k2 = b * b + a * a - 2.0f * a * d * b;
  const float k1 = 2.0f * (a * d - b) * kReflectionHorizon;
  const float k0 = kReflectionHorizon * kReflectionHorizon - a * a;
  float t;
  if (k2 == 0.0f) {
    if (k1 == 0.0f) return normalize(N);
    t = -k0 / k1;
  } else {
    const float discriminant = k1 * k1 - 4.0f * k2 * k0;
    if (discriminant < 0.0f) return normalize(N);
    const float root = sqrt(discriminant);
    t = max((-k1 + root) / (2.0f * k2), (-k1 - root) / (2.0f * k2));
  }
  // An incoming ray in the geometric plane (a = 0) leaves s undetermined.
  if (a == 0.0f) return normalize(N);
  const float s = (kReflectionHorizon - t * b) / a;
  return normalize(s * I + t * N);
}

// The ratio of the indices on the two sides of a refraction at a surface of index `ior`, and
// the index of the medium the refracted ray travels in. A ray entering the object (frontFacing
// set) comes from `outsideIor`; a leaving one passes into `mediumIor`.
struct IndexRatio {
  float eta;
  float transmittedIor;
};

inline IndexRatio indexRatio(const ShadingState& state, float ior) {
  if (state.frontFacing != 0) return IndexRatio{state.outsideIor / ior, ior};
  return IndexRatio{ior / state.mediumIor, state.mediumIor};
}

// The same for a dielectric interface, where an unusable ratio (0, negative, infinite or not a
// number, from a bad `u_ior` or medium index) counts as 1: the interface then neither bends nor
// reflects totally, and the transmitted ray stays in the medium it came from.
inline IndexRatio dielectricIndexRatio(const ShadingState& state, float ior) {
  const IndexRatio ratio = indexRatio(state, ior);
  if (ratio.eta > 0.0f && ratio.eta < 3.0e38f) return ratio;
  return IndexRatio{1.0f, state.frontFacing != 0 ? state.outsideIor : state.mediumIor};
}

// Snell's law at a surface whose normal N faces the arriving ray I, for the cosine c = |I.N| and
// the index ratio eta: the refracted ray's squared cosine k = (c^2 - 1) eta^2 + 1 (no refraction
// where it is not positive; each material says how close to 0 it still refracts), and the
// refracted direction eta I + (eta c - sqrt(k)) N, unit when I and N are.
struct Snell {
  float c;
  float k;
};

inline Snell snell(float c, float eta) {
  return Snell{c, (c * c - 1.0f) * eta * eta + 1.0f};
}

inline float3 snellDirection(const float3& I, const float3& N, float eta, const Snell& s) {
  return eta * I + (eta * s.c - sqrt(s.k)) * N;
}

// The refracted direction, zero where k is below 1e-6 (total internal reflection, or so close to
// it that the direction is meaningless).
inline float3 refractedDirection(const float3& I, const float3& N, float eta) {
  const Snell s = snell(abs(dot(I, N)), eta);
  if (s.k < 0.000001f) return float3(0.0f);
  return snellDirection(I, N, eta, s);
}

// The refracted direction of a dielectric interface, or the news that there is none: k at or
// below 1e-6, or a direction that vanished, is total internal reflection.
struct Refraction {
  float3 direction;
  bool totalInternalReflection;
};

inline Refraction refractionOrTotalReflection(const float3& I, const float3& N, float eta) {
  const Snell s = snell(abs(dot(I, N)), eta);
  if (!(s.k > 0.000001f)) return Refraction{float3(0.0f), true};
  const float3 T = snellDirection(I, N, eta, s);
  return Refraction{T, isBlack(T)};
}

// Schlick's curve F = R0 + (1 - R0)(1 - mu)^5 with the cosine mu limited to [0, 1], the result
// limited to [0, 1].
inline float schlickReflectance(float r0, float mu) {
  const float m = 1.0f - clamp(mu, 0.0f, 1.0f);
  const float m2 = m * m;
  return clamp(r0 + (1.0f - r0) * (m2 * m2 * m), 0.0f, 1.0f);
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_RAY_DIRECTIONS_H

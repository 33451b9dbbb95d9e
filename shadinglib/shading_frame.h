// Tangent frames of the physically based materials: tangent T, bitangent B and normal N, built
// from the `tangent` varying and the shading normal, bent by normal maps and bumps, rotated for
// anisotropy, and used to move directions between world space and the frame's local space
// (x along T, y along B, z along N).
#ifndef TARVO_SHADINGLIB_SHADING_FRAME_H
#define TARVO_SHADINGLIB_SHADING_FRAME_H

#include <cmath>
#include <cstdint>

#include "shadinglib/varyings.h"
#include "shadinglib/vector_math.h"

namespace pvx {

struct TangentFrame {
  float3 T;
  float3 B;
  float3 N;
};

// Normal maps scale their red/green offset by this much per unit of strength.
constexpr float kNormalMapGain = 3.33f;

// T made perpendicular to N, then B = N x T; each normalised only when its length is above 0.
// N is left as it is.
TARVO_ALWAYS_INLINE void reorthonormalize(TangentFrame& f) {
  f.T = normalize(f.T - dot(f.T, f.N) * f.N);
  f.B = normalize(cross(f.N, f.T));
}

// x T + y B + z N.
inline float3 localToFrame(const TangentFrame& f, const float3& v) {
  return v.x * f.T + v.y * f.B + v.z * f.N;
}

// The inverse of localToFrame for an orthonormal frame: the components along T, B and N.
inline float3 frameToLocal(const TangentFrame& f, const float3& v) {
  return float3(dot(v, f.T), dot(v, f.B), dot(v, f.N));
}

// Turns T towards B by `angle` radians about N; an angle of exactly 0 leaves the frame as it is
// (not even rounding), and nothing is renormalised.
TARVO_ALWAYS_INLINE void rotateFrame(TangentFrame& f, float angle) {
  if (angle == 0.0f) return;
  const float c = cos(angle);
  const float s = sin(angle);
  const float3 T = f.T;
  f.T = c * T + s * f.B;
  f.B = -s * T + c * f.B;
}

// Adds a world-space offset to N, renormalises N (unless it vanished) and the frame.
inline void offsetNormal(TangentFrame& f, const float3& offset) {
  f.N = normalize(f.N + offset);
  reorthonormalize(f);
}

// A normal-map texel bends N by its red and green channels taken as signed offsets along T and
// B, exactly as the host returns them; blue and alpha are not used.
inline void applyNormalTexel(TangentFrame& f, const float4& texel, float strength) {
  const float3 d = texel.x * f.T + texel.y * f.B;
  offsetNormal(f, d * (strength * kNormalMapGain));
}

// A frame whose normal points along the arriving ray I is turned to face it (N and B reversed, so
// it keeps its handedness): a clear body's interface then means the same whichever way the mesh
// winds.
inline void turnToFaceRay(TangentFrame& f, const float3& I) {
  if (dot(I, f.N) > 0.0f) {
    f.N = -f.N;
    f.B = -f.B;
  }
}

// A mesh without usable tangents (zero, or parallel to N) still needs a frame for the
// anisotropic lobe; this is a tangent perpendicular to a unit n (Duff et al.'s orthonormal
// basis).
inline float3 anyTangent(const float3& n) {
  const float sign = std::copysign(1.0f, n.z);
  const float a = -1.0f / (sign + n.z);
  const float b = n.x * n.y * a;
  return float3(1.0f + sign * n.x * n.x * a, sign * b, -sign * n.x);
}

// Some frame around a unit N (Duff et al.'s basis), for values that do not depend on the azimuth
// (an isotropic lobe): cheaper than the tangent's frame, equal to it in what they read up to
// rounding.
inline TangentFrame frameAroundNormal(const float3& N) {
  TangentFrame f;
  f.N = N;
  f.T = anyTangent(N);
  f.B = cross(N, f.T);
  return f;
}

// The tangent that stands in for one without a usable direction (zero, parallel to N or not
// finite): anyTangent's, made perpendicular to N and normalised. Rare, so kept out of the
// callers' code.
TARVO_OUT_OF_LINE inline float3 tangentInPlaceOfDegenerate(const float3& N) {
  const float3 t = anyTangent(N);
  return normalize(t - dot(t, N) * N);
}

// The frame of the object's `tangent` varying carried into world space by the 3x3 part of
// `objectToWorld`, around the shading normal: reorthonormalize's arithmetic, with T's length
// telling whether the tangent is usable (a finite length above 0 leaves a unit T) instead of a
// second look at the normalised T.
TARVO_ALWAYS_INLINE TangentFrame tangentFrame(const ShadingState& state, int32_t tangentOffset) {
  const float3& N = state.N;
  const float3 t =
      transformDirection(state.objectToWorld, readVarying<float3>(state, tangentOffset));
  const float3 across = t - dot(t, N) * N;
  const float l = length(across);
  float3 T = across * (1.0f / l);
  if (!(l > 0.0f && l <= kMaxFloat)) T = tangentInPlaceOfDegenerate(N);
  return TangentFrame{T, normalize(cross(N, T)), N};
}

// Largest angle between the bent normal and the viewer: just under pi/2 (89 degrees), so the
// bent normal never lies in the surface.
constexpr float kMaxBentNormalAngle = 1.553343f;

// Bends a bumped normal back toward the viewer when the bump turned it further away than the
// unbumped normal `shadingN` is; `V` is the reversed incoming ray. Keeps reflections of strong
// bumps from pointing into the surface.
inline void bendTowardViewer(TangentFrame& f, const float3& V, const float3& shadingN) {
  const float a = dot(V, shadingN);
  const float b = dot(V, f.N);
  if (b >= a) return;
  // Rounding can carry a cosine of unit vectors just past 1; acos would give NaN there.
  const float angleA = acos(clamp(a, -1.0f, 1.0f));
  const float angleB = acos(clamp(b, -1.0f, 1.0f));
  const float theta = clamp(angleA + (angleB - angleA) * a, 0.0f, kMaxBentNormalAngle);
  float s, c;
  if (angleB < 0.08f) {
    // sin(angleB) is too small to divide by.
    s = a;
    c = 1.0f - a;
  } else {
    s = sin(theta) / sin(angleB);
    c = cos(theta) - s * b;
  }
  f.N = normalize(s * f.N + c * V);
  reorthonormalize(f);
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_SHADING_FRAME_H

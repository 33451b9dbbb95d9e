// Texture channels of the legacy materials: one input (diffuse, specular, transparency, bump,
// masking) that is off, a constant colour, or a texture looked up through one of five
// projections of the hit point: the UV varying, planar, box, cylindrical, or a sphere around
// (0.5, 0.5, 0.5) in latitude-longitude.
//
// One algorithm, specialised per material at compile time by a copy policy that states where the
// materials' copies differ:
//   Colour           the result: float3 (legacy material, car paint) or float4 (background
//                    geometry, which keeps the texel's alpha);
//   kLastMode        the highest mode the copy knows (4, or 5 with the sphere);
//   kTinted          whether the caller's tint multiplies the texel (the legacy diffuse tint);
//   off(), constant(c), texel(t, tint, alphaAsColour)   the result of each case.
// Modes the copy does not know act as off. The box projection's axis rule is the caller's input:
// rule A always for background geometry and the car paint, the `triplanarXY` switch for the
// legacy material.
//
// A channel's parameters are the group `<ch>Color`, `<ch>Mode`, `<ch>Texture`,
// `<ch>TextureMatrix`, `<ch>AngularRepeat`, `<ch>UVMatrix`; TARVO_CHANNEL(params, ch) gathers
// them from a parameter block by name.
#ifndef TARVO_SHADINGLIB_TEXTURE_CHANNEL_H
#define TARVO_SHADINGLIB_TEXTURE_CHANNEL_H

#include <cstdint>

#include "shadinglib/latlong.h"
#include "shadinglib/texture_sampling.h"
#include "shadinglib/vector_math.h"

// Notes of a channel's parameters, written once for every channel of every legacy class: the
// mode values, then the meaning of each member with the channel named in front (`what` is a
// string literal such as "diffuse").
#define TARVO_CHANNEL_MODES_NOTE \
  "-1 off | 0 constant colour | 1 UV | 2 planar | 3 box | 4 cylindrical"
#define TARVO_CHANNEL_MODES_WITH_SPHERE_NOTE TARVO_CHANNEL_MODES_NOTE " | 5 spherical"
#define TARVO_CHANNEL_COLOR_NOTE(what) what " channel: constant colour of mode 0"
#define TARVO_CHANNEL_MODE_NOTE(what) \
  what " channel: where its value comes from", TARVO_CHANNEL_MODES_NOTE
#define TARVO_CHANNEL_TEXTURE_NOTE(what) what " channel: image of modes 1 to 4"
#define TARVO_CHANNEL_TEXTURE_MATRIX_NOTE(what) \
  what " channel: object-space projection of modes 2 to 4"
#define TARVO_CHANNEL_ANGULAR_REPEAT_NOTE(what) \
  what " channel: repeats around the cylinder of mode 4"
#define TARVO_CHANNEL_UV_MATRIX_NOTE(what) what " channel: 2-D transform of uv in mode 1"

// A parameter the legacy classes declare for the host's sake and never read, and the four of
// them that grade a channel's image-based light, and the five of its channel grading (`channel`
// is a name such as diffuse).
#define TARVO_KEPT_NOTE "kept and copied for the host; the shading does not read it"
#define TARVO_KEPT_IBL_GRADING(PARAM, channel)                                  \
  PARAM(Color, channel##IBLGainColor, ::pvx::float3(1.0f), TARVO_KEPT_NOTE)     \
  PARAM(Color, channel##IBLContrastPivot, ::pvx::float3(1.0f), TARVO_KEPT_NOTE) \
  PARAM(Float, channel##IBLContrastValue, 1.0f, TARVO_KEPT_NOTE)                \
  PARAM(Int, channel##IBLGainSource, 0, TARVO_KEPT_NOTE)
#define TARVO_KEPT_IBL_CHANNEL(PARAM, channel)                                         \
  PARAM(Color, channel##IBLChannelContrastPivot, ::pvx::float3(1.0f), TARVO_KEPT_NOTE) \
  PARAM(Float, channel##IBLChannelContrastValue, 1.0f, TARVO_KEPT_NOTE)                \
  PARAM(Color, channel##IBLChannelGainColor, ::pvx::float3(1.0f), TARVO_KEPT_NOTE)     \
  PARAM(Int, channel##IBLChannelGainSource, 0, TARVO_KEPT_NOTE)                        \
  PARAM(Float, channel##IBLChannelGainValue, 1.0f, TARVO_KEPT_NOTE)

namespace pvx {

enum ChannelMode : int32_t {
  kChannelOff = -1,
  kChannelConstant = 0,
  kChannelUV = 1,
  kChannelPlanar = 2,
  kChannelBox = 3,
  kChannelCylindrical = 4,
  kChannelSpherical = 5,
};

// Which two components of the projected point a box face uses. They differ only on the x face:
// A samples (z, y), B samples (y, z).
enum class BoxAxisRule { A, B };

// A channel's parameter group, by reference into the parameter block.
struct ChannelParameters {
  const float3& color;
  int32_t mode;
  const Texture2D& texture;
  const mat4& textureMatrix;
  float angularRepeat;
  const mat3& uvMatrix;
};

#define TARVO_CHANNEL(params, ch)                                                            \
  ::pvx::ChannelParameters {                                                                 \
    (params).ch##Color, (params).ch##Mode, (params).ch##Texture, (params).ch##TextureMatrix, \
        (params).ch##AngularRepeat, (params).ch##UVMatrix                                    \
  }

// What the hit gives a channel: the object-space point, the normal that picks the box face (the
// caller's sign-adjusted object-space normal, or a world normal), the `uv` varying.
struct ChannelHit {
  float3 Po;
  float3 boxNormal;
  float2 uv;
};

// Side outputs for the bump channel's tangent frame. `axes` are the box projection's component
// indices (u's, v's, and the third: 0 when x dominates, else 2 if |n.y| < |n.z|, else 1), set in
// mode 3; `tangent` and `bitangent` are set in mode 4 only.
struct ChannelFrame {
  int axes[3] = {0, 1, 2};
  float3 tangent{0.0f};
  float3 bitangent{0.0f};
};

// ---- projections ---------------------------------------------------------------------------

// The box face whose axis dominates n picks the coordinates: x when |n.x| >= |n.y| and
// |n.x| > |n.z|, y when |n.x| < |n.y| and |n.y| >= |n.z|, z otherwise.
inline float2 boxCoordinates(const float3& q, const float3& n, BoxAxisRule rule, int (&axes)[3]) {
  const float a = abs(n.x), b = abs(n.y), c = abs(n.z);
  const float qs[3] = {q.x, q.y, q.z};
  if (a >= b && a > c) {
    axes[0] = rule == BoxAxisRule::A ? 2 : 1;
    axes[1] = rule == BoxAxisRule::A ? 1 : 2;
    axes[2] = 0;
  } else {
    axes[0] = 0;
    axes[1] = (a < b && b >= c) ? 2 : 1;
    axes[2] = b < c ? 2 : 1;
  }
  return float2(qs[axes[0]], qs[axes[1]]);
}

// Around the axis through (0.5, 0.5) along z; `angularRepeat` copies of the image go round it.
inline float2 cylinderCoordinates(const float3& q, float angularRepeat) {
  return float2((atan2(q.x - 0.5f, q.y - 0.5f) * kInvTwoPi + 0.5f) * angularRepeat, q.z);
}

// The cylinder's tangent (-q.y, q.x, 0), normalised unless it vanishes on the axis.
inline float3 cylinderTangent(const float3& q) {
  return normalize(float3(-q.y, q.x, 0.0f));
}

// The direction from the sphere's centre (0.5, 0.5, 0.5), normalised unless the point is the
// centre itself, in latitude-longitude.
inline float2 sphereCoordinates(const float3& q) {
  return latLongCoordinates(normalize(q - float3(0.5f)));
}

// ---- the copies ----------------------------------------------------------------------------

// Legacy material: colour only, the tint on the texel, (a, a, a) untinted from alpha.
struct LegacyChannelCopy {
  using Colour = float3;
  static constexpr int32_t kLastMode = kChannelCylindrical;
  static constexpr bool kTinted = true;
  static Colour off() { return float3(0.0f); }
  static Colour constant(const float3& c) { return c; }
  static Colour texel(const float4& t, const float3& tint, bool alphaAsColour) {
    return alphaAsColour ? float3(t.w) : rgb(t) * tint;
  }
};

// Car paint masking: the legacy copy without a tint.
struct CarPaintChannelCopy {
  using Colour = float3;
  static constexpr int32_t kLastMode = kChannelCylindrical;
  static constexpr bool kTinted = false;
  static Colour off() { return float3(0.0f); }
  static Colour constant(const float3& c) { return c; }
  static Colour texel(const float4& t, const float3&, bool alphaAsColour) {
    return alphaAsColour ? float3(t.w) : rgb(t);
  }
};

// Background geometry: the whole texel with its alpha, the sphere mode, (a, a, a, a) from alpha.
struct BackgroundChannelCopy {
  using Colour = float4;
  static constexpr int32_t kLastMode = kChannelSpherical;
  static constexpr bool kTinted = false;
  static Colour off() { return float4(0.0f, 0.0f, 0.0f, 1.0f); }
  static Colour constant(const float3& c) { return float4(c, 1.0f); }
  static Colour texel(const float4& t, const float3&, bool alphaAsColour) {
    return alphaAsColour ? float4(t.w) : t;
  }
};

// The options a caller sets per evaluation.
struct ChannelOptions {
  BoxAxisRule boxRule = BoxAxisRule::A;
  bool alphaAsColour = false;
  float3 tint{1.0f};  // read by tinted copies only
};

// The texel of a projected mode (1 to Copy::kLastMode). Apart from the mode test below so that
// the compiler can inline the test into a caller of several channels and keep this body one
// shared call: a channel left at its constant colour, the common case, then costs a comparison.
// The parameters and options come by value so that the caller builds them at the call, behind
// the test, rather than in memory before it.
template <class Copy>
inline typename Copy::Colour projectedChannel(ChannelParameters ch, const ChannelHit& hit,
                                              ChannelOptions options, ChannelFrame* frame) {
  const int32_t mode = ch.mode;
  float2 st;
  if (mode == kChannelUV) {
    st = transformUV(ch.uvMatrix, hit.uv);
  } else {
    const float3 q = transformPoint(ch.textureMatrix, hit.Po);
    switch (mode) {
      case kChannelPlanar:
        st = float2(q.x, q.y);
        break;
      case kChannelBox: {
        ChannelFrame local;
        ChannelFrame& f = frame != nullptr ? *frame : local;
        st = boxCoordinates(q, transformDirection(ch.textureMatrix, hit.boxNormal), options.boxRule,
                            f.axes);
        break;
      }
      case kChannelCylindrical:
        st = cylinderCoordinates(q, ch.angularRepeat);
        if (frame != nullptr) {
          frame->tangent = cylinderTangent(q);
          frame->bitangent = float3(0.0f, 0.0f, 1.0f);
        }
        break;
      default:
        st = sphereCoordinates(q);
        break;
    }
  }
  const float3 tint = Copy::kTinted ? options.tint : float3(1.0f);
  return Copy::texel(sample2D(ch.texture, st), tint, options.alphaAsColour);
}

// The channel's colour at a hit. `frame`, when given, receives the bump channel's side outputs.
template <class Copy>
inline typename Copy::Colour evaluateChannel(const ChannelParameters& ch, const ChannelHit& hit,
                                             const ChannelOptions& options,
                                             ChannelFrame* frame = nullptr) {
  const int32_t mode = ch.mode;
  if (mode == kChannelConstant) return Copy::constant(ch.color);
  if (mode < kChannelUV || mode > Copy::kLastMode) return Copy::off();
  return projectedChannel<Copy>(ch, hit, options, frame);
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_TEXTURE_CHANNEL_H

// The shading state: the one record through which the host and a shader exchange everything
// about a single hit or light query. The host fills the input fields and passes the record's
// address to `shade`, `shadow`, `evaluate` and `scatter`; shaders write only the output fields
// (and `mediumIor` from refracting `scatter` entries). Byte offsets are part of interface
// revision 2724 and checked below. The record holds no pointers, so it is identical on 32- and
// 64-bit targets; bytes not named here are never touched by a shader.
#ifndef TARVO_SHADING_STATE_H
#define TARVO_SHADING_STATE_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "tarvo/types.h"

namespace pvx {

// Ray kinds as seen in `rayKind` and requested in `scatterKind`. 1 is the camera ray; the
// secondary kinds are requested by scatter entries and reported back by the host:
//   2  mixed diffuse and glossy reflection (Metal, Ward family, MetallicPaint)
//   4  glossy or specular reflection, and straight continuation through a surface
//   16 specular reflection off a dielectric; shadow plane and background geometry block it
//   32 transmission (refraction); environments may answer it with black
// 0 in `scatterKind` means no further ray.
enum RayKind : int32_t {
  kRayNone = 0,
  kRayCamera = 1,
  kRayReflection = 2,
  kRayGlossy = 4,
  kRaySpecular = 16,
  kRayTransmission = 32,
};

// What the library expects in `rasterInfo` (read only by the backplate environment, and only
// for camera rays and rays continued through a surface): the continuous raster position of the
// camera sample as two floats, x to the right and y downward from the top-left corner of the
// image (pixel centres at +0.5), and the render resolution in pixels as two int32, the units of
// x and y. The backplate rescales the position to its `viewport_size` by size / resolution (a
// resolution that is not positive leaves the position as it is) and then maps it to screen
// coordinates with its `uv_scale` and `uv_offset`; its screen-aligned image measures v upward
// from the bottom row, so the row nearest y = 0 is the top of the picture.
struct RasterInfo {
  float x;        // pixel position, to the right
  float y;        // pixel position, downward
  int32_t width;  // render resolution
  int32_t height;
};

// Indices into `allowScatter`: nonzero means the host still accepts that bounce from this hit.
enum AllowScatterIndex : int {
  kAllowDiffuseReflection = 0,
  kAllowGlossyReflection = 1,
  kAllowSpecularReflection = 2,
  kAllowDiffuseTransmission = 3,
  kAllowGlossyTransmission = 4,
  kAllowSpecularTransmission = 5,
};

// Type codes of varying declarations and their sizes in the varying block.
enum VaryingType : int32_t {
  kVaryingFloat2 = 1,  // uv, uv1: 8 bytes
  kVaryingFloat3 = 2,  // tangent, bitangent: 12 bytes
  kVaryingColor4 = 3,  // vtxcolor: RGBA, 16 bytes
};

constexpr int kVaryingBlockSize = 56;  // the largest class layout ends at byte 547

struct ShadingState {
  float3 rayOrigin;  // in: origin of the ray that produced this hit
  float3 I;          // in: direction of that ray, from rayOrigin towards P
  float3 P;          // in: hit position, world space
  float3 N;          // in: shading normal, world space
  float3 Ng;         // in: geometric normal, world space
  float3 Po;         // in: hit position in object space
  float3 No;         // in: normal in object space
  uint8_t reserved84[12];
  RasterInfo rasterInfo;  // in: see RasterInfo
  float outsideIor;       // in: index of the medium a ray comes from when it enters
  float mediumIor;        // in/out: index of the medium a leaving ray passes into
  mat4 worldToObject;     // in: only the 3x3 part is used, on directions
  mat4 objectToWorld;     // in: only the 3x3 part is used, on the tangent varyings
  uint8_t reserved248[72];
  int32_t rayKind;  // in: RayKind of the ray being shaded
  uint8_t reserved324[12];
  uint8_t frontFacing;  // in: nonzero when the ray enters the object
  uint8_t reserved337[3];
  float4 Ci;                // out: colour and alpha (materials, environments)
  float3 shadowT;           // out: colour a shadow ray lets through
  float3 scatterDir;        // in/out: evaluate's input, scatter's output
  float3 scatterWeight;     // out
  float scatterCos;         // out
  float scatterInvPdf;      // out
  int32_t scatterKind;      // out: RayKind of the next ray, 0 for none
  uint8_t allowScatter[6];  // in: AllowScatterIndex
  uint8_t reserved410[6];
  float3 lightP;        // in: light sample position (light queries)
  float3 lightL;        // in: unit direction from the light towards P
  float3 lightAxis;     // in: unit aiming direction of the light
  float lightDist;      // in: distance between P and lightP
  float3 lightColor;    // out: unshadowed light arriving at P
  float3 lightT;        // out: transmission towards the light
  uint8_t viewThrough;  // in: a kind-4 ray with this set is treated like a camera ray
  uint8_t ignoreHit;    // out: 1 discards the hit
  uint8_t reserved482[10];
  uint8_t varying[kVaryingBlockSize];  // in: per-class layout declared with declareVarying
};

static_assert(std::is_standard_layout_v<ShadingState>);
static_assert(std::is_trivially_copyable_v<ShadingState>);
static_assert(sizeof(RasterInfo) == 16);
static_assert(offsetof(ShadingState, rayOrigin) == 0);
static_assert(offsetof(ShadingState, I) == 12);
static_assert(offsetof(ShadingState, P) == 24);
static_assert(offsetof(ShadingState, N) == 36);
static_assert(offsetof(ShadingState, Ng) == 48);
static_assert(offsetof(ShadingState, Po) == 60);
static_assert(offsetof(ShadingState, No) == 72);
static_assert(offsetof(ShadingState, rasterInfo) == 96);
static_assert(offsetof(ShadingState, outsideIor) == 112);
static_assert(offsetof(ShadingState, mediumIor) == 116);
static_assert(offsetof(ShadingState, worldToObject) == 120);
static_assert(offsetof(ShadingState, objectToWorld) == 184);
static_assert(offsetof(ShadingState, rayKind) == 320);
static_assert(offsetof(ShadingState, frontFacing) == 336);
static_assert(offsetof(ShadingState, Ci) == 340);
static_assert(offsetof(ShadingState, shadowT) == 356);
static_assert(offsetof(ShadingState, scatterDir) == 368);
static_assert(offsetof(ShadingState, scatterWeight) == 380);
static_assert(offsetof(ShadingState, scatterCos) == 392);
static_assert(offsetof(ShadingState, scatterInvPdf) == 396);
static_assert(offsetof(ShadingState, scatterKind) == 400);
static_assert(offsetof(ShadingState, allowScatter) == 404);
static_assert(offsetof(ShadingState, lightP) == 416);
static_assert(offsetof(ShadingState, lightL) == 428);
static_assert(offsetof(ShadingState, lightAxis) == 440);
static_assert(offsetof(ShadingState, lightDist) == 452);
static_assert(offsetof(ShadingState, lightColor) == 456);
static_assert(offsetof(ShadingState, lightT) == 468);
static_assert(offsetof(ShadingState, viewThrough) == 480);
static_assert(offsetof(ShadingState, ignoreHit) == 481);
static_assert(offsetof(ShadingState, varying) == 492);
static_assert(sizeof(ShadingState) == 548);

}  // namespace pvx

#endif  // TARVO_SHADING_STATE_H

// What a shader may ask of its host during shading: the host context (first argument of every
// entry point), texture objects reached through texture handles, and the light-sample records.
// Colour results come back in a caller-supplied buffer whose address is also returned.
#ifndef TARVO_HOST_SERVICES_H
#define TARVO_HOST_SERVICES_H

#include <cstddef>
#include <cstdint>

#include "tarvo/abi.h"
#include "tarvo/types.h"

namespace pvx {

// A light sample as the host lists it for a hit. Materials read the direction, weight, colour,
// tag and chain; the shadow plane reads the unshadowed colour and its transmission. The fields
// marked "host's own" are free for the host. Packed to 4 bytes so that the chain pointer sits at
// byte 76 on 64-bit targets too (the record is 80 bytes on 32-bit targets, 84 on 64-bit ones).
#pragma pack(push, 4)
struct LightSample {
  float3 L;                 //  0: unit direction from P towards the light
  float weight;             // 12: scalar weight of the sample
  float3 color;             // 16: light colour arriving at P, shadowing included
  float3 position;          // 28: host's own (sample position)
  float distance;           // 40: host's own (distance to the sample)
  float3 unshadowedColor;   // 44: light colour before shadowing
  float3 transmission;      // 56: shadow transmission towards the light
  int32_t lightIndex;       // 68: host's own
  int32_t tag;              // 72: 1000001 marks a light that adds diffuse light only
  const LightSample* next;  // 76: next record, null at the end of the list
};
#pragma pack(pop)

constexpr int32_t kLightTagDiffuseOnly = 1000001;

static_assert(offsetof(LightSample, L) == 0);
static_assert(offsetof(LightSample, weight) == 12);
static_assert(offsetof(LightSample, color) == 16);
static_assert(offsetof(LightSample, unshadowedColor) == 44);
static_assert(offsetof(LightSample, transmission) == 56);
static_assert(offsetof(LightSample, tag) == 72);
static_assert(offsetof(LightSample, next) == 76);
static_assert(sizeof(LightSample) == 76 + sizeof(void*));

// Texture objects belong to the host. Slot 1 samples: the caller pre-fills the result with
// (0, 0, 0, 1), so a texture that writes nothing reads as opaque black. The coordinate is a float
// by value for 1-D data textures and the address of a float2 or float3 for 2-D and cube
// textures; on x86-64 a float and a pointer travel in different registers, so the three kinds
// are separate interfaces that share slot 1.
class ITexture1D {
 public:
  virtual void unusedSlot0() {}
  virtual void sample(float4* result, float s) = 0;

 protected:
  ~ITexture1D() = default;
};

class ITexture2D {
 public:
  virtual void unusedSlot0() {}
  virtual void sample(float4* result, const float2* st) = 0;

 protected:
  ~ITexture2D() = default;
};

class ITextureCube {
 public:
  virtual void unusedSlot0() {}
  virtual void sample(float4* result, const float3* direction) = 0;

 protected:
  ~ITextureCube() = default;
};

// A texture parameter: the host's texture object (null when unbound) and a 32-bit host handle
// that the shader carries along without reading. Shaders never own, retain or release the object.
template <class TextureInterface>
struct TextureHandle {
  TextureInterface* object = nullptr;
  int32_t hostHandle = -1;
};

using Texture1D = TextureHandle<ITexture1D>;
using Texture2D = TextureHandle<ITexture2D>;
using TextureCube = TextureHandle<ITextureCube>;

static_assert(offsetof(Texture2D, hostHandle) == sizeof(void*));
#if !defined(__LP64__) && !defined(_WIN64)
static_assert(sizeof(Texture1D) == 8 && sizeof(Texture2D) == 8 && sizeof(TextureCube) == 8,
              "a texture handle is 8 bytes on 32-bit targets");
#endif

#define TARVO_UNUSED_SLOT(n) \
  virtual void unusedSlot##n() {}

// Host context: everything a shader may ask the renderer during shading. The slot of each service
// is its position in this declaration; the placeholders keep the numbering.
class IHostContext {
 public:
  TARVO_UNUSED_SLOT(0)
  TARVO_UNUSED_SLOT(1)
  // 2: list of light samples for a hit (flags 0, -2 or -1024 are passed); null when none.
  virtual const LightSample* lightSamples(int32_t flags, const float3* P, const float3* N) = 0;
  // 3: ambient light at P.
  virtual float3* ambientLight(float3* result, const float3* P, const float3* N) = 0;
  // 4: colour transmitted between P and a light sample position.
  virtual float3* shadowTransmission(float3* result, const float3* P, const float3* lightP) = 0;
  // 5: colour seen along a ray of the given kind.
  virtual float3* traceRay(float3* result, int32_t rayKind, const float3* origin,
                           const float3* direction, float weight) = 0;
  // 6: colour seen along a specular direction.
  virtual float3* traceSpecular(float3* result, const float3* origin, const float3* direction,
                                float weight) = 0;
  // 7: colour and alpha behind the surface, the ray continued straight through.
  virtual float4* traceContinue(float4* result, const float3* P, const float3* I, float weight) = 0;
  // 8: anisotropic glossy reflection around R, spread along U and V by two glossiness values.
  virtual float3* traceAnisotropic(float3* result, const float3* P, const float3* R,
                                   const float3* U, const float3* V, float glossinessU,
                                   float glossinessV, float weight) = 0;
  // 9: glossy reflection along a direction.
  virtual float3* traceReflection(float3* result, const float3* P, const float3* direction,
                                  float glossiness, float weight) = 0;
  TARVO_UNUSED_SLOT(10)
  // 11: refraction along a direction; the result buffer holds four floats.
  virtual float4* traceRefraction(float4* result, const float3* P, const float3* direction,
                                  float roughness, float weight) = 0;
  // 12: accessibility, 1 = open.
  virtual float3* occlusion(float3* result, const float3* P, const float3* N, float weight) = 0;
  // 13: indirect diffuse light.
  virtual float3* indirectDiffuse(float3* result, const float3* P, const float3* N,
                                  float weight) = 0;
  // 14: uniform random number in [0, 1).
  virtual float random1() = 0;
  // 15: two uniform random numbers in [0, 1), both written.
  virtual float2* random2(float2* result) = 0;
  // 16-18: smooth noise in [0, 1] of a point and phase, a point, and 2-D coordinates.
  virtual float noise4(const float4* pointAndPhase) = 0;
  virtual float noise3(const float3* point) = 0;
  virtual float noise2(const float2* point) = 0;
  // 19: random value in [0, 1] for a cell identifier.
  virtual float cellRandom(float identifier) = 0;
  TARVO_UNUSED_SLOT(20)
  TARVO_UNUSED_SLOT(21)
  TARVO_UNUSED_SLOT(22)
  TARVO_UNUSED_SLOT(23)
  TARVO_UNUSED_SLOT(24)
  TARVO_UNUSED_SLOT(25)
  TARVO_UNUSED_SLOT(26)
  TARVO_UNUSED_SLOT(27)
  TARVO_UNUSED_SLOT(28)
  TARVO_UNUSED_SLOT(29)
  TARVO_UNUSED_SLOT(30)
  TARVO_UNUSED_SLOT(31)
  TARVO_UNUSED_SLOT(32)
  TARVO_UNUSED_SLOT(33)
  TARVO_UNUSED_SLOT(34)
  TARVO_UNUSED_SLOT(35)
  TARVO_UNUSED_SLOT(36)
  TARVO_UNUSED_SLOT(37)
  TARVO_UNUSED_SLOT(38)
  TARVO_UNUSED_SLOT(39)
  TARVO_UNUSED_SLOT(40)
  TARVO_UNUSED_SLOT(41)
  TARVO_UNUSED_SLOT(42)
  TARVO_UNUSED_SLOT(43)
  TARVO_UNUSED_SLOT(44)
  TARVO_UNUSED_SLOT(45)
  TARVO_UNUSED_SLOT(46)
  TARVO_UNUSED_SLOT(47)
  TARVO_UNUSED_SLOT(48)
  // 49: lattice value at an integer lattice point.
  virtual float lookup49(const float3* latticePoint) = 0;
  TARVO_UNUSED_SLOT(50)
  TARVO_UNUSED_SLOT(51)
  TARVO_UNUSED_SLOT(52)
  TARVO_UNUSED_SLOT(53)
  TARVO_UNUSED_SLOT(54)
  TARVO_UNUSED_SLOT(55)
  TARVO_UNUSED_SLOT(56)
  // 57: random vector for a lattice cell.
  virtual float3* cellVector(float3* result, const float3* cell) = 0;

 protected:
  ~IHostContext() = default;
};

namespace host_slot {
enum : int {
  kLightSamples = 2,
  kAmbientLight = 3,
  kShadowTransmission = 4,
  kTraceRay = 5,
  kTraceSpecular = 6,
  kTraceContinue = 7,
  kTraceAnisotropic = 8,
  kTraceReflection = 9,
  kTraceRefraction = 11,
  kOcclusion = 12,
  kIndirectDiffuse = 13,
  kRandom1 = 14,
  kRandom2 = 15,
  kNoise4 = 16,
  kNoise3 = 17,
  kNoise2 = 18,
  kCellRandom = 19,
  kLookup49 = 49,
  kCellVector = 57,
  kCount = 58,
};
}  // namespace host_slot

}  // namespace pvx

#endif  // TARVO_HOST_SERVICES_H

// The parameter binder: the host object to which a shader declares, once, the name, type and
// storage address of each parameter. `begin` comes first with the capability mask; the typed
// declarations follow in the class's fixed order, interleaved with the varying declarations.
// The host keeps each address (or its offset from the shader) and writes values there.
#ifndef TARVO_PARAMETER_BINDER_H
#define TARVO_PARAMETER_BINDER_H

#include <cstdint>

#include "tarvo/host_services.h"
#include "tarvo/types.h"

namespace pvx {

class IShaderBase;

// Capability mask bits, the value passed to `begin`.
enum Capability : int32_t {
  kCapShade = 1,
  kCapShadow = 2,
  kCapEvaluate = 4,
  kCapScatter = 8,
  kCapLight = 32,
  kCapEnvironment = 64,
};

// Slot = declaration order. Member widths: bool 1 byte, int 4, float 4, float2 8, colour 12,
// colour-alpha 16, mat3 36, mat4 64, texture handles 8 on 32-bit targets (16 on 64-bit ones).
class IParameterBinder {
 public:
  TARVO_UNUSED_SLOT(0)
  virtual void begin(IShaderBase* shader, int32_t capabilityMask) = 0;                 // 1
  virtual void declareBool(IShaderBase* shader, const char* name, bool* address) = 0;  // 2
  TARVO_UNUSED_SLOT(3)
  TARVO_UNUSED_SLOT(4)
  TARVO_UNUSED_SLOT(5)
  virtual void declareInt(IShaderBase* shader, const char* name, int32_t* address) = 0;  // 6
  TARVO_UNUSED_SLOT(7)
  TARVO_UNUSED_SLOT(8)
  TARVO_UNUSED_SLOT(9)
  virtual void declareFloat(IShaderBase* shader, const char* name, float* address) = 0;    // 10
  virtual void declareFloat2(IShaderBase* shader, const char* name, float2* address) = 0;  // 11
  virtual void declareColor(IShaderBase* shader, const char* name, float3* address) = 0;   // 12
  virtual void declareColorAlpha(IShaderBase* shader, const char* name,
                                 float4* address) = 0;  // 13
  TARVO_UNUSED_SLOT(14)
  virtual void declareMat3(IShaderBase* shader, const char* name, mat3* address) = 0;  // 15
  virtual void declareMat4(IShaderBase* shader, const char* name, mat4* address) = 0;  // 16
  virtual void declareTexture1D(IShaderBase* shader, const char* name,
                                Texture1D* address) = 0;  // 17
  virtual void declareTexture2D(IShaderBase* shader, const char* name,
                                Texture2D* address) = 0;  // 18
  TARVO_UNUSED_SLOT(19)
  virtual void declareTextureCube(IShaderBase* shader, const char* name,
                                  TextureCube* address) = 0;  // 20
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
  // 40: a varying the host interpolates into the state's varying block at `offset`; typeCode is
  // a VaryingType (shading_state.h).
  virtual void declareVarying(IShaderBase* shader, int32_t typeCode, const char* name,
                              int32_t offset) = 0;

 protected:
  ~IParameterBinder() = default;
};

namespace binder_slot {
enum : int {
  kBegin = 1,
  kDeclareBool = 2,
  kDeclareInt = 6,
  kDeclareFloat = 10,
  kDeclareFloat2 = 11,
  kDeclareColor = 12,
  kDeclareColorAlpha = 13,
  kDeclareMat3 = 15,
  kDeclareMat4 = 16,
  kDeclareTexture1D = 17,
  kDeclareTexture2D = 18,
  kDeclareTextureCube = 20,
  kDeclareVarying = 40,
  kCount = 41,
};
}  // namespace binder_slot

}  // namespace pvx

#endif  // TARVO_PARAMETER_BINDER_H

// Shader interfaces. The host drives every shader object through these slots only:
//
//   slot 0  destroy(flags)        deleting-destroy: runs the destructor, frees the storage with
//                                 the global operator delete when bit 0 of flags is set, and
//                                 returns the object's address (see abi.h for why this is not a
//                                 C++ virtual destructor)
//   slot 1  declareParameters     the binder protocol (parameter_binder.h)
//   slot 2  copyParameters        copies every parameter from another object of the same class
//   slot 3  getRevision           1
//   slot 4  getKind               0 material, 1 light, 2 environment
//   slot 5  shade
//   materials only:
//   slot 6  shadow, 7 evaluate, 8 scatter, 9 reservedEntry (no-ops unless overridden)
//
// Entry points are const: they read the parameters and write only the shading state passed in,
// so one object may be shaded from many threads at once.
#ifndef TARVO_SHADER_H
#define TARVO_SHADER_H

#include <cstdint>
#include <memory>

#include "tarvo/host_services.h"
#include "tarvo/parameter_binder.h"
#include "tarvo/shading_state.h"

namespace pvx {

enum ShaderKind : int32_t {
  kKindMaterial = 0,
  kKindLight = 1,
  kKindEnvironment = 2,
};

class IShaderBase {
 public:
  virtual void* destroy(unsigned flags) = 0;                     // 0
  virtual void declareParameters(IParameterBinder* binder) = 0;  // 1
  virtual void copyParameters(const IShaderBase* other) = 0;     // 2
  virtual int32_t getRevision() const = 0;                       // 3
  virtual int32_t getKind() const = 0;                           // 4

 protected:
  ~IShaderBase() = default;
};

class MaterialShader : public IShaderBase {
 public:
  int32_t getRevision() const override { return 1; }
  int32_t getKind() const override { return kKindMaterial; }
  virtual void shade(IHostContext* host, ShadingState* state) const = 0;  // 5
  virtual void shadow(IHostContext*, ShadingState*) const {}              // 6
  virtual void evaluate(IHostContext*, ShadingState*) const {}            // 7
  virtual void scatter(IHostContext*, ShadingState*) const {}             // 8
  virtual void reservedEntry(IHostContext*, ShadingState*) const {}       // 9

 protected:
  ~MaterialShader() = default;
};

class LightShader : public IShaderBase {
 public:
  int32_t getRevision() const override { return 1; }
  int32_t getKind() const override { return kKindLight; }
  virtual void shade(IHostContext* host, ShadingState* state) const = 0;  // 5

 protected:
  ~LightShader() = default;
};

class EnvironmentShader : public IShaderBase {
 public:
  int32_t getRevision() const override { return 1; }
  int32_t getKind() const override { return kKindEnvironment; }
  virtual void shade(IHostContext* host, ShadingState* state) const = 0;  // 5

 protected:
  ~EnvironmentShader() = default;
};

namespace shader_slot {
enum : int {
  kDestroy = 0,
  kDeclareParameters = 1,
  kCopyParameters = 2,
  kGetRevision = 3,
  kGetKind = 4,
  kShade = 5,
  kShadow = 6,
  kEvaluate = 7,
  kScatter = 8,
  kReservedEntry = 9,
};
}  // namespace shader_slot

// Destroys a shader the host owns; hosts never call slot 0 by hand.
inline void destroyShader(IShaderBase* shader) {
  if (shader) shader->destroy(1u);
}

struct ShaderDeleter {
  void operator()(IShaderBase* shader) const { destroyShader(shader); }
};

using ShaderPtr = std::unique_ptr<IShaderBase, ShaderDeleter>;

}  // namespace pvx

#endif  // TARVO_SHADER_H

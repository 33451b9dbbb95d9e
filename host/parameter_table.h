// The host's parameter binder: records each instance's declarations (name, type, offset from
// the shader object, and the varyings with their place in the sequence), and sets parameter
// values by name with type checking.
#ifndef TARVO_HOST_PARAMETER_TABLE_H
#define TARVO_HOST_PARAMETER_TABLE_H

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/tarvo.h"

namespace tarvo::host {

enum class ParamType {
  Bool,
  Int,
  Float,
  Float2,
  Color,
  ColorAlpha,
  Mat3,
  Mat4,
  Texture1D,
  Texture2D,
  TextureCube,
};

// "bool", "int", "float", "float2", "color", "color4", "mat3", "mat4", "texture1d", ...
const char* typeName(ParamType type);
// Bytes the member occupies in the shader object.
size_t storageSize(ParamType type);
// Number of floats a value of the type holds (0 for bool, int and textures).
int floatCount(ParamType type);
// Binder slot of the declaration.
int binderSlot(ParamType type);

struct ParameterRecord {
  std::string name;
  ParamType type;
  std::ptrdiff_t offset;  // from the shader object's address
};

struct VaryingRecord {
  std::string name;
  int32_t typeCode;
  int32_t offset;  // in the state's varying block
  int position;    // number of parameters declared before it
};

// One binder call as made, for comparing two declaration sequences.
struct BinderCall {
  int slot;
  std::string name;
  std::ptrdiff_t offset;  // member offset, varying offset, or the mask for `begin`
  int32_t typeCode;
  bool operator==(const BinderCall& other) const {
    return slot == other.slot && name == other.name && offset == other.offset &&
           typeCode == other.typeCode;
  }
};

class ParameterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ParameterTable final : public pvx::IParameterBinder {
 public:
  // Clears the table and runs the shader's declareParameters into it.
  void record(pvx::IShaderBase* shader);
  // Clears the table and expects declarations from `shader` (for a caller that makes the
  // declareParameters call itself).
  void reset(pvx::IShaderBase* shader);

  int32_t capabilityMask() const { return capabilityMask_; }
  int beginCount() const { return beginCount_; }
  const std::vector<ParameterRecord>& parameters() const { return parameters_; }
  const std::vector<VaryingRecord>& varyings() const { return varyings_; }
  const std::vector<BinderCall>& calls() const { return calls_; }
  // Calls whose shader argument was not the shader being recorded.
  int foreignShaderCalls() const { return foreignShaderCalls_; }

  const ParameterRecord* find(std::string_view name) const;
  const VaryingRecord* findVarying(std::string_view name) const;
  std::vector<std::string> names() const;

  // IParameterBinder
  void begin(pvx::IShaderBase* shader, int32_t capabilityMask) override;
  void declareBool(pvx::IShaderBase* shader, const char* name, bool* address) override;
  void declareInt(pvx::IShaderBase* shader, const char* name, int32_t* address) override;
  void declareFloat(pvx::IShaderBase* shader, const char* name, float* address) override;
  void declareFloat2(pvx::IShaderBase* shader, const char* name, pvx::float2* address) override;
  void declareColor(pvx::IShaderBase* shader, const char* name, pvx::float3* address) override;
  void declareColorAlpha(pvx::IShaderBase* shader, const char* name, pvx::float4* address) override;
  void declareMat3(pvx::IShaderBase* shader, const char* name, pvx::mat3* address) override;
  void declareMat4(pvx::IShaderBase* shader, const char* name, pvx::mat4* address) override;
  void declareTexture1D(pvx::IShaderBase* shader, const char* name,
                        pvx::Texture1D* address) override;
  void declareTexture2D(pvx::IShaderBase* shader, const char* name,
                        pvx::Texture2D* address) override;
  void declareTextureCube(pvx::IShaderBase* shader, const char* name,
                          pvx::TextureCube* address) override;
  void declareVarying(pvx::IShaderBase* shader, int32_t typeCode, const char* name,
                      int32_t offset) override;

 private:
  void add(pvx::IShaderBase* shader, const char* name, const void* address, ParamType type);

  pvx::IShaderBase* recording_ = nullptr;
  int32_t capabilityMask_ = 0;
  int beginCount_ = 0;
  int foreignShaderCalls_ = 0;
  std::vector<ParameterRecord> parameters_;
  std::vector<VaryingRecord> varyings_;
  std::vector<BinderCall> calls_;
};

// A shader instance the host owns, with its recorded declarations. Values are set by name; the
// type must match the declaration (a float parameter takes a float, a colour a float3, ...).
class BoundShader {
 public:
  BoundShader(pvx::ShaderPtr shader, std::string className);

  const std::string& className() const { return className_; }
  pvx::IShaderBase* get() const { return shader_.get(); }
  const ParameterTable& table() const { return table_; }
  int32_t kind() const { return shader_->getKind(); }

  // The interface of the instance's kind; throws ParameterError when the kind differs.
  pvx::MaterialShader* material() const;
  pvx::LightShader* light() const;
  pvx::EnvironmentShader* environment() const;

  void set(std::string_view name, bool value);
  void set(std::string_view name, int32_t value);
  void set(std::string_view name, float value);
  void set(std::string_view name, const pvx::float2& value);
  void set(std::string_view name, const pvx::float3& value);
  void set(std::string_view name, const pvx::float4& value);
  void set(std::string_view name, const pvx::mat3& value);
  void set(std::string_view name, const pvx::mat4& value);
  void set(std::string_view name, pvx::ITexture1D* texture);
  void set(std::string_view name, pvx::ITexture2D* texture);
  void set(std::string_view name, pvx::ITextureCube* texture);
  // Sets any non-texture parameter from a list of numbers (bools and ints take one); the count
  // must match the type.
  void setNumbers(std::string_view name, const std::vector<double>& values);

  // Address of the member that holds a parameter, checked against the expected type.
  void* address(std::string_view name, ParamType expected) const;
  const void* address(std::string_view name) const;

  template <class T>
  T get(std::string_view name, ParamType expected) const {
    return *static_cast<const T*>(address(name, expected));
  }

 private:
  const ParameterRecord& lookup(std::string_view name) const;

  pvx::ShaderPtr shader_;
  std::string className_;
  ParameterTable table_;
};

}  // namespace tarvo::host

#endif  // TARVO_HOST_PARAMETER_TABLE_H

#include "host/parameter_table.h"

#include <cstring>
#include <iterator>

#include "host/nearest_names.h"

namespace tarvo::host {

namespace {

namespace slot = pvx::binder_slot;

struct TypeFacts {
  const char* name;
  size_t storage;
  int floats;  // 0 for a type that is not floats
  int binderSlot;
};

// In ParamType order.
constexpr TypeFacts kTypeFacts[] = {
    {"bool", sizeof(bool), 0, slot::kDeclareBool},
    {"int", sizeof(int32_t), 0, slot::kDeclareInt},
    {"float", sizeof(float), 1, slot::kDeclareFloat},
    {"float2", sizeof(pvx::float2), 2, slot::kDeclareFloat2},
    {"color", sizeof(pvx::float3), 3, slot::kDeclareColor},
    {"color4", sizeof(pvx::float4), 4, slot::kDeclareColorAlpha},
    {"mat3", sizeof(pvx::mat3), 9, slot::kDeclareMat3},
    {"mat4", sizeof(pvx::mat4), 16, slot::kDeclareMat4},
    {"texture1d", sizeof(pvx::Texture1D), 0, slot::kDeclareTexture1D},
    {"texture2d", sizeof(pvx::Texture2D), 0, slot::kDeclareTexture2D},
    {"texturecube", sizeof(pvx::TextureCube), 0, slot::kDeclareTextureCube},
};
static_assert(std::size(kTypeFacts) == static_cast<size_t>(ParamType::TextureCube) + 1);

const TypeFacts& facts(ParamType type) {
  return kTypeFacts[static_cast<size_t>(type)];
}

}  // namespace

const char* typeName(ParamType type) {
  return facts(type).name;
}

size_t storageSize(ParamType type) {
  return facts(type).storage;
}

int floatCount(ParamType type) {
  return facts(type).floats;
}

int binderSlot(ParamType type) {
  return facts(type).binderSlot;
}

// ---------------------------------------------------------------------------------------------

void ParameterTable::record(pvx::IShaderBase* shader) {
  reset(shader);
  shader->declareParameters(this);
}

void ParameterTable::reset(pvx::IShaderBase* shader) {
  recording_ = shader;
  capabilityMask_ = 0;
  beginCount_ = 0;
  foreignShaderCalls_ = 0;
  parameters_.clear();
  varyings_.clear();
  calls_.clear();
}

const ParameterRecord* ParameterTable::find(std::string_view name) const {
  for (const ParameterRecord& p : parameters_) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

const VaryingRecord* ParameterTable::findVarying(std::string_view name) const {
  for (const VaryingRecord& v : varyings_) {
    if (v.name == name) return &v;
  }
  return nullptr;
}

std::vector<std::string> ParameterTable::names() const {
  std::vector<std::string> result;
  for (const ParameterRecord& p : parameters_)
    result.push_back(p.name);
  return result;
}

void ParameterTable::begin(pvx::IShaderBase* shader, int32_t capabilityMask) {
  if (shader != recording_) ++foreignShaderCalls_;
  capabilityMask_ = capabilityMask;
  ++beginCount_;
  calls_.push_back({pvx::binder_slot::kBegin, "", capabilityMask, 0});
}

void ParameterTable::add(pvx::IShaderBase* shader, const char* name, const void* address,
                         ParamType type) {
  if (shader != recording_) ++foreignShaderCalls_;
  const std::ptrdiff_t offset =
      static_cast<const unsigned char*>(address) - reinterpret_cast<const unsigned char*>(shader);
  parameters_.push_back({name ? name : "", type, offset});
  calls_.push_back({binderSlot(type), name ? name : "", offset, 0});
}

#define TARVO_DECLARE(Method, Type, Code)                                    \
  void ParameterTable::Method(pvx::IShaderBase* s, const char* n, Type* a) { \
    add(s, n, a, ParamType::Code);                                           \
  }
TARVO_DECLARE(declareBool, bool, Bool)
TARVO_DECLARE(declareInt, int32_t, Int)
TARVO_DECLARE(declareFloat, float, Float)
TARVO_DECLARE(declareFloat2, pvx::float2, Float2)
TARVO_DECLARE(declareColor, pvx::float3, Color)
TARVO_DECLARE(declareColorAlpha, pvx::float4, ColorAlpha)
TARVO_DECLARE(declareMat3, pvx::mat3, Mat3)
TARVO_DECLARE(declareMat4, pvx::mat4, Mat4)
TARVO_DECLARE(declareTexture1D, pvx::Texture1D, Texture1D)
TARVO_DECLARE(declareTexture2D, pvx::Texture2D, Texture2D)
TARVO_DECLARE(declareTextureCube, pvx::TextureCube, TextureCube)
#undef TARVO_DECLARE

void ParameterTable::declareVarying(pvx::IShaderBase* shader, int32_t typeCode, const char* name,
                                    int32_t offset) {
  if (shader != recording_) ++foreignShaderCalls_;
  varyings_.push_back({name ? name : "", typeCode, offset, static_cast<int>(parameters_.size())});
  calls_.push_back({pvx::binder_slot::kDeclareVarying, name ? name : "", offset, typeCode});
}

// ---------------------------------------------------------------------------------------------

BoundShader::BoundShader(pvx::ShaderPtr shader, std::string className)
    : shader_(std::move(shader)), className_(std::move(className)) {
  table_.record(shader_.get());
}

pvx::MaterialShader* BoundShader::material() const {
  if (kind() != pvx::kKindMaterial) {
    throw ParameterError("shader class '" + className_ + "' is not a material");
  }
  return static_cast<pvx::MaterialShader*>(shader_.get());
}

pvx::LightShader* BoundShader::light() const {
  if (kind() != pvx::kKindLight) {
    throw ParameterError("shader class '" + className_ + "' is not a light");
  }
  return static_cast<pvx::LightShader*>(shader_.get());
}

pvx::EnvironmentShader* BoundShader::environment() const {
  if (kind() != pvx::kKindEnvironment) {
    throw ParameterError("shader class '" + className_ + "' is not an environment");
  }
  return static_cast<pvx::EnvironmentShader*>(shader_.get());
}

const ParameterRecord& BoundShader::lookup(std::string_view name) const {
  if (const ParameterRecord* record = table_.find(name)) return *record;
  std::string message =
      "shader class '" + className_ + "' has no parameter '" + std::string(name) + "'";
  const std::vector<std::string> nearest = nearestNames(name, table_.names());
  if (!nearest.empty()) message += "; did you mean " + quoteList(nearest) + "?";
  throw ParameterError(message);
}

void* BoundShader::address(std::string_view name, ParamType expected) const {
  const ParameterRecord& record = lookup(name);
  if (record.type != expected) {
    throw ParameterError("parameter '" + record.name + "' of '" + className_ + "' is a " +
                         typeName(record.type) + ", not a " + typeName(expected));
  }
  return reinterpret_cast<unsigned char*>(shader_.get()) + record.offset;
}

const void* BoundShader::address(std::string_view name) const {
  const ParameterRecord& record = lookup(name);
  return reinterpret_cast<const unsigned char*>(shader_.get()) + record.offset;
}

namespace {
template <class T>
void store(void* address, const T& value) {
  std::memcpy(address, &value, sizeof(T));
}
}  // namespace

void BoundShader::set(std::string_view n, bool v) {
  store(address(n, ParamType::Bool), v);
}
void BoundShader::set(std::string_view n, int32_t v) {
  store(address(n, ParamType::Int), v);
}
void BoundShader::set(std::string_view n, float v) {
  store(address(n, ParamType::Float), v);
}
void BoundShader::set(std::string_view n, const pvx::float2& v) {
  store(address(n, ParamType::Float2), v);
}
void BoundShader::set(std::string_view n, const pvx::float3& v) {
  store(address(n, ParamType::Color), v);
}
void BoundShader::set(std::string_view n, const pvx::float4& v) {
  store(address(n, ParamType::ColorAlpha), v);
}
void BoundShader::set(std::string_view n, const pvx::mat3& v) {
  store(address(n, ParamType::Mat3), v);
}
void BoundShader::set(std::string_view n, const pvx::mat4& v) {
  store(address(n, ParamType::Mat4), v);
}
void BoundShader::set(std::string_view n, pvx::ITexture1D* t) {
  static_cast<pvx::Texture1D*>(address(n, ParamType::Texture1D))->object = t;
}
void BoundShader::set(std::string_view n, pvx::ITexture2D* t) {
  static_cast<pvx::Texture2D*>(address(n, ParamType::Texture2D))->object = t;
}
void BoundShader::set(std::string_view n, pvx::ITextureCube* t) {
  static_cast<pvx::TextureCube*>(address(n, ParamType::TextureCube))->object = t;
}

void BoundShader::setNumbers(std::string_view name, const std::vector<double>& values) {
  const ParameterRecord& record = lookup(name);
  const auto countError = [&](const std::string& expected) {
    return ParameterError("parameter '" + record.name + "' of '" + className_ + "' is a " +
                          typeName(record.type) + " and takes " + expected + "; " +
                          std::to_string(values.size()) + " value(s) were given");
  };
  void* target = reinterpret_cast<unsigned char*>(shader_.get()) + record.offset;
  switch (record.type) {
    case ParamType::Bool:
      if (values.size() != 1) throw countError("one value");
      store(target, values[0] != 0.0);
      return;
    case ParamType::Int:
      if (values.size() != 1) throw countError("one integer");
      store(target, static_cast<int32_t>(values[0]));
      return;
    case ParamType::Texture1D:
    case ParamType::Texture2D:
    case ParamType::TextureCube:
      throw ParameterError("parameter '" + record.name + "' of '" + className_ + "' is a " +
                           typeName(record.type) + " and takes a texture, not numbers");
    default: {
      const int n = floatCount(record.type);
      if (static_cast<int>(values.size()) != n) {
        throw countError(std::to_string(n) + (n == 1 ? " number" : " numbers"));
      }
      float floats[16];
      for (int i = 0; i < n; ++i)
        floats[i] = static_cast<float>(values[static_cast<size_t>(i)]);
      std::memcpy(target, floats, sizeof(float) * static_cast<size_t>(n));
      return;
    }
  }
}

}  // namespace tarvo::host

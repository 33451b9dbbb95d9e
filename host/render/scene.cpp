#include "host/render/scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tarvo::render {

float3 Camera::direction(float x, float y, int width, int height) const {
  const float3 forward = normalize(target - position);
  const float3 right = normalize(cross(forward, up));
  const float3 trueUp = cross(right, forward);
  const float tanHalf = std::tan(fovY * (kPi / 360.0f));
  const float aspect = static_cast<float>(width) / static_cast<float>(height);
  const float sx = (2.0f * x / static_cast<float>(width) - 1.0f) * tanHalf * aspect;
  const float sy = (1.0f - 2.0f * y / static_cast<float>(height)) * tanHalf;
  return normalize(forward + right * sx + trueUp * sy);
}

bool Camera::project(float3 point, int width, int height, float* x, float* y) const {
  const float3 forward = normalize(target - position);
  const float3 right = normalize(cross(forward, up));
  const float3 trueUp = cross(right, forward);
  const float3 d = point - position;
  const float depth = dot(d, forward);
  if (depth <= 0.0f) return false;
  const float tanHalf = std::tan(fovY * (kPi / 360.0f));
  const float aspect = static_cast<float>(width) / static_cast<float>(height);
  const float sx = dot(d, right) / depth / (tanHalf * aspect);
  const float sy = dot(d, trueUp) / depth / tanHalf;
  *x = (sx + 1.0f) * 0.5f * static_cast<float>(width);
  *y = (1.0f - sy) * 0.5f * static_cast<float>(height);
  return true;
}

int64_t Label::longestLine() const {
  int64_t longest = 0, line = 0;
  for (const char c : text) {
    if (c == '\n') {
      line = 0;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      longest = std::max(longest, ++line);
    }
  }
  return longest;
}

Scene::Scene(std::shared_ptr<const host::PluginLibrary> library) : library_(std::move(library)) {}

// Shaders go before the library that holds their code.
Scene::~Scene() {
  geometry_.reset();
  shaders_.clear();
}

ShaderInstance& Scene::addShader(const std::string& name, const std::string& className) {
  return adopt(name, std::make_unique<host::BoundShader>(library_->create(className), className));
}

ShaderInstance& Scene::addShader(const std::string& name, pvx::ShaderPtr shader,
                                 const std::string& className) {
  return adopt(name, std::make_unique<host::BoundShader>(std::move(shader), className));
}

ShaderInstance& Scene::adopt(const std::string& name, std::unique_ptr<host::BoundShader> bound) {
  auto instance = std::make_unique<ShaderInstance>();
  instance->name = name;
  instance->kind = bound->kind();
  instance->mask = bound->table().capabilityMask();
  for (const host::ParameterRecord& p : bound->table().parameters()) {
    if (p.type != host::ParamType::Mat3 && p.type != host::ParamType::Mat4) continue;
    void* address = bound->address(p.name, p.type);
    const size_t count = p.type == host::ParamType::Mat3 ? 9 : 16;
    float values[16];
    std::memcpy(values, address, count * sizeof(float));
    bool zero = true;
    for (size_t i = 0; i < count; ++i)
      zero = zero && values[i] == 0.0f;
    if (!zero) continue;
    if (p.type == host::ParamType::Mat3) {
      bound->set(p.name, pvx::identity3);
    } else {
      bound->set(p.name, pvx::identity4);
    }
  }
  for (const host::VaryingRecord& v : bound->table().varyings()) {
    const bool fits = v.offset >= 0 && v.offset + (v.typeCode == pvx::kVaryingColor4   ? 16
                                                   : v.typeCode == pvx::kVaryingFloat3 ? 12
                                                                                       : 8) <=
                                           pvx::kVaryingBlockSize;
    if (!fits) continue;
    if (v.name == "uv" && v.typeCode == pvx::kVaryingFloat2) instance->uvOffset = v.offset;
    if (v.name == "uv1" && v.typeCode == pvx::kVaryingFloat2) instance->uv1Offset = v.offset;
    if (v.name == "tangent" && v.typeCode == pvx::kVaryingFloat3)
      instance->tangentOffset = v.offset;
    if (v.name == "bitangent" && v.typeCode == pvx::kVaryingFloat3)
      instance->bitangentOffset = v.offset;
    if (v.name == "vtxcolor" && v.typeCode == pvx::kVaryingColor4) instance->colorOffset = v.offset;
  }
  if (instance->kind == pvx::kKindMaterial && instance->has(pvx::kCapShadow)) {
    anyShadowEntry_ = true;
  }
  instance->bound = std::move(bound);
  byName_.emplace(name, static_cast<int>(shaders_.size()));
  shaders_.push_back(std::move(instance));
  return *shaders_.back();
}

int Scene::findShader(const std::string& name) const {
  const auto found = byName_.find(name);
  return found == byName_.end() ? -1 : found->second;
}

void Scene::setObjects(std::vector<Object> objects) {
  geometry_ = std::make_unique<Geometry>(std::move(objects));
}

}  // namespace tarvo::render

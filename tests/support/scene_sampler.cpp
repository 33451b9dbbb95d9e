#include "tests/support/scene_sampler.h"

#include <cmath>
#include <cstring>

#include "tests/support/parameter_writer.h"
#include "tests/support/shading_states.h"

namespace tarvo::test {

namespace {

constexpr float kTwoPi = 6.2831853f;

pvx::float3 scaled(const pvx::float3& v, float s) {
  return pvx::float3(v.x * s, v.y * s, v.z * s);
}
pvx::float3 sum(const pvx::float3& a, const pvx::float3& b) {
  return pvx::float3(a.x + b.x, a.y + b.y, a.z + b.z);
}
float dot(const pvx::float3& a, const pvx::float3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
pvx::float3 normalized(const pvx::float3& v) {
  return scaled(v, 1.0f / std::sqrt(dot(v, v)));
}

// A rotation (from a unit quaternion) as the 3x3 part of a column-major mat4, scaled per axis.
pvx::mat4 rotationScale(Rng& rng, float sx, float sy, float sz) {
  pvx::float4 q(rng.range(-1, 1), rng.range(-1, 1), rng.range(-1, 1), rng.range(-1, 1));
  float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  if (length < 1e-3f) {
    q = pvx::float4(0, 0, 0, 1);
    length = 1;
  }
  const float x = q.x / length, y = q.y / length, z = q.z / length, w = q.w / length;
  pvx::mat4 m = pvx::identity4;
  const float r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y)},
                         {2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x)},
                         {2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y)}};
  const float s[3] = {sx, sy, sz};
  for (int column = 0; column < 3; ++column)
    for (int row = 0; row < 3; ++row)
      m.m[column * 4 + row] = r[column][row] * s[column];
  return m;
}

const ParameterRange* findRange(const std::vector<ParameterRange>& ranges, std::string_view name) {
  for (const ParameterRange& r : ranges) {
    if (r.name == name) return &r;
  }
  return nullptr;
}

class SceneChooser {
 public:
  SceneChooser(Rng& rng, const std::vector<ParameterRange>& ranges, host::TextureSet* textures)
      : rng_(rng), ranges_(ranges), textures_(textures) {}

  bool boolean(const host::ParameterRecord&, bool) { return rng_.chance(2); }

  int32_t integer(const host::ParameterRecord& p, int32_t) {
    const ParameterRange* r = findRange(ranges_, p.name);
    return r ? rng_.integer(static_cast<int32_t>(r->low), static_cast<int32_t>(r->high))
             : rng_.integer(0, 1);
  }

  void floats(const host::ParameterRecord& p, float* values, int count) {
    if (p.type == host::ParamType::Mat3) {
      const float angle = rng_.range(0.0f, kTwoPi);
      const float sx = rng_.range(0.5f, 2.0f), sy = rng_.range(0.5f, 2.0f);
      const float c = std::cos(angle), s = std::sin(angle);
      const float m[9] = {
          c * sx, s * sx, 0, -s * sy, c * sy, 0, rng_.range(-1, 1), rng_.range(-1, 1), 1};
      std::memcpy(values, m, sizeof m);
      return;
    }
    if (p.type == host::ParamType::Mat4) {
      pvx::mat4 m = rotationScale(rng_, rng_.range(0.5f, 2.0f), rng_.range(0.5f, 2.0f),
                                  rng_.range(0.5f, 2.0f));
      for (int i = 12; i < 15; ++i)
        m.m[i] = rng_.range(-10.0f, 10.0f);
      std::memcpy(values, m.m, sizeof m.m);
      return;
    }
    const ParameterRange* r = findRange(ranges_, p.name);
    for (int i = 0; i < count; ++i)
      values[i] = r ? rng_.range(r->low, r->high) : rng_.range(0.0f, 1.0f);
  }

  template <class Handle>
  void texture(const host::ParameterRecord&, Handle* handle) {
    handle->object = rng_.chance(2) ? nullptr : textures_->object(int(rng_.next() % 2), handle);
  }

 private:
  Rng& rng_;
  const std::vector<ParameterRange>& ranges_;
  host::TextureSet* textures_;
};

}  // namespace

uint64_t Rng::next() {
  uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

float Rng::unit() {
  return static_cast<float>(next() >> 40) * (1.0f / 16777216.0f);
}

float Rng::range(float low, float high) {
  const uint64_t pick = next() % 8;
  if (pick == 0) return low;
  if (pick == 1) return high;
  return low + (high - low) * unit();
}

int32_t Rng::integer(int32_t low, int32_t high) {
  const uint64_t span = static_cast<uint64_t>(int64_t(high) - int64_t(low)) + 1;
  return static_cast<int32_t>(int64_t(low) + int64_t(next() % span));
}

pvx::float3 Rng::direction() {
  // Uniform on the sphere: z uniform in [-1, 1], azimuth uniform.
  const float z = 2.0f * unit() - 1.0f;
  const float phi = kTwoPi * unit();
  const float r = std::sqrt(std::fmax(0.0f, 1.0f - z * z));
  return pvx::float3(r * std::cos(phi), r * std::sin(phi), z);
}

void sampleParameters(Rng& rng, pvx::IShaderBase* shader, const host::ParameterTable& table,
                      const std::vector<ParameterRange>& ranges, host::TextureSet* textures) {
  SceneChooser chooser(rng, ranges, textures);
  writeParameters(shader, table, chooser);
}

pvx::ShadingState sampleState(Rng& rng, const host::ParameterTable& table) {
  pvx::ShadingState s = cameraHit();
  s.P = pvx::float3(rng.range(-10, 10), rng.range(-10, 10), rng.range(-10, 10));
  s.Ng = rng.direction();
  // A shading normal within 60 degrees of the geometric one (interpolated or bumped).
  do {
    s.N = normalized(sum(s.Ng, scaled(rng.direction(), rng.range(0.0f, 0.8f))));
  } while (dot(s.N, s.Ng) < 0.5f);
  s.I = rng.direction();
  if (std::fabs(dot(s.I, s.Ng)) < 1e-4f) s.I = scaled(s.Ng, -1.0f);
  s.frontFacing = dot(s.I, s.Ng) < 0.0f ? 1 : 0;
  s.rayOrigin = sum(s.P, scaled(s.I, -rng.range(0.01f, 90.0f)));

  const pvx::mat4 rotation = rotationScale(rng, 1, 1, 1);
  s.objectToWorld = rotation;
  for (int column = 0; column < 3; ++column)
    for (int row = 0; row < 3; ++row)
      s.worldToObject.m[column * 4 + row] = rotation.m[row * 4 + column];
  // Object space: the inverse rotation of the world-space point and normal.
  auto toObject = [&](const pvx::float3& v) {
    const float* m = s.worldToObject.m;
    return pvx::float3(m[0] * v.x + m[4] * v.y + m[8] * v.z, m[1] * v.x + m[5] * v.y + m[9] * v.z,
                       m[2] * v.x + m[6] * v.y + m[10] * v.z);
  };
  s.Po = toObject(s.P);
  s.No = toObject(s.N);

  s.rasterInfo.width = rng.integer(1, 4096);
  s.rasterInfo.height = rng.integer(1, 4096);
  s.rasterInfo.x = rng.range(0.0f, static_cast<float>(s.rasterInfo.width));
  s.rasterInfo.y = rng.range(0.0f, static_cast<float>(s.rasterInfo.height));
  s.outsideIor = rng.range(1.0f, 2.5f);
  s.mediumIor = rng.range(1.0f, 2.5f);
  static const int32_t kKinds[] = {pvx::kRayCamera, pvx::kRayReflection, pvx::kRayGlossy,
                                   pvx::kRaySpecular, pvx::kRayTransmission};
  s.rayKind = kKinds[rng.next() % 5];
  for (uint8_t& allowed : s.allowScatter)
    allowed = rng.chance(4) ? 0 : 1;
  s.viewThrough = rng.chance(2) ? 1 : 0;

  s.lightP = pvx::float3(rng.range(-50, 50), rng.range(-50, 50), rng.range(-50, 50));
  const pvx::float3 toP = sum(s.P, scaled(s.lightP, -1.0f));
  const float distance = std::sqrt(dot(toP, toP));
  if (distance < 0.01f) {
    s.lightL = pvx::float3(0, 0, -1);
    s.lightDist = 0.01f;
  } else {
    s.lightL = scaled(toP, 1.0f / distance);
    s.lightDist = distance;
  }
  s.lightAxis = rng.direction();
  s.scatterDir = rng.direction();

  for (const host::VaryingRecord& v : table.varyings()) {
    float values[4];
    size_t count = 2;
    if (v.typeCode == pvx::kVaryingFloat3) {
      const pvx::float3 d = rng.direction();
      values[0] = d.x;
      values[1] = d.y;
      values[2] = d.z;
      count = 3;
    } else {
      count = v.typeCode == pvx::kVaryingColor4 ? 4 : 2;
      for (size_t i = 0; i < count; ++i)
        values[i] = rng.range(0.0f, 1.0f);
    }
    if (v.offset >= 0 && size_t(v.offset) + count * sizeof(float) <= sizeof s.varying) {
      std::memcpy(s.varying + v.offset, values, count * sizeof(float));
    }
  }
  return s;
}

void sampleAnswers(Rng& rng, host::HostAnswers* answers, host::TextureSet* textures) {
  answers->colourCycle.resize(1 + rng.next() % 8);
  for (pvx::float4& c : answers->colourCycle)
    c = pvx::float4(rng.range(0, 1), rng.range(0, 1), rng.range(0, 1), rng.range(0, 1));
  answers->scalarCycle.resize(1 + rng.next() % 8);
  for (float& value : answers->scalarCycle)
    value = rng.range(0, 1);
  answers->randomSequence.resize(1 + rng.next() % 8);
  for (float& value : answers->randomSequence)
    value = rng.unit();
  answers->lights.resize(rng.next() % 9);
  for (pvx::LightSample& light : answers->lights) {
    light = pvx::LightSample{};
    light.L = rng.direction();
    light.weight = rng.range(0, 1);
    light.color = pvx::float3(rng.range(0, 10), rng.range(0, 10), rng.range(0, 10));
    light.unshadowedColor = sum(light.color, pvx::float3(rng.range(0, 1)));
    light.transmission = pvx::float3(rng.range(0, 1), rng.range(0, 1), rng.range(0, 1));
    light.position = pvx::float3(rng.range(-50, 50), rng.range(-50, 50), rng.range(-50, 50));
    light.distance = rng.range(0.01f, 100.0f);
    light.tag = rng.chance(4) ? pvx::kLightTagDiffuseOnly : 0;
  }
  for (int i = 0; i < 2; ++i) {
    std::vector<pvx::float4> texels(1 + rng.next() % 4);
    for (pvx::float4& t : texels)
      t = pvx::float4(rng.range(0, 1), rng.range(0, 1), rng.range(0, 1), rng.range(0, 1));
    textures->answer(i, texels);
  }
}

}  // namespace tarvo::test

#include "tests/support/hostile_inputs.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "tests/support/parameter_writer.h"
#include "tests/support/shading_states.h"

namespace tarvo::test {

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

const float kInterestingFloats[] = {
    0.0f,        -0.0f,         1.0f,           -1.0f,         0.5f,       2.0f,   -2.0f,
    3.0f,        10.0f,         100.0f,         1e9f,          -1e9f,      1e-7f,  -1e-7f,
    kNaN,        -kNaN,         kInf,           -kInf,         1e-45f,     1e-40f, -1e-40f,
    FLT_MIN,     FLT_MAX,       -FLT_MAX,       0.99999994f,   1.0000001f, 255.0f, 65536.0f,
    16777216.0f, 2147483648.0f, -2147483904.0f, 4294967296.0f,
};
constexpr int kInterestingFloatCount = int(sizeof(kInterestingFloats) / sizeof(float));

const int32_t kInterestingInts[] = {
    INT_MIN, INT_MAX, INT_MIN + 1, -1000000, 1000000, 1000000000, -1000000000, 65535,
    65536,   255,     256,         1023,     1024,    4096,       100000,      -100000,
};
constexpr int kInterestingIntCount = int(sizeof(kInterestingInts) / sizeof(int32_t));

float floatFromBits(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// Keeps the value, or replaces it: an interesting value, the value nudged by up to +-2, raw bits.
float decodeFloat(ByteReader& in, float sane, uint8_t selector) {
  if (selector < kKeepBelow) return sane;
  int s = selector - kKeepBelow;
  if (s < kInterestingFloatCount) return kInterestingFloats[s];
  s -= kInterestingFloatCount;
  if (s < 64) return sane + static_cast<float>(static_cast<int8_t>(in.byte())) / 64.0f;
  return floatFromBits(in.word());
}

// Random numbers a host may answer: [0, 1) with its ends, 0.5 for an exhausted input.
float decodeRandom(uint8_t s) {
  if (s == 0) return 0.5f;
  if (s == 1) return 0.0f;
  if (s == 255) return 0.99999994f;
  return static_cast<float>(s) / 256.0f;
}

class HostileChooser {
 public:
  HostileChooser(ByteReader& in, host::TextureSet* textures) : in_(in), textures_(textures) {}

  bool boolean(const host::ParameterRecord&, bool current) {
    const uint8_t s = in_.byte();
    return s < kKeepBelow ? current : (s & 1u) != 0;
  }
  int32_t integer(const host::ParameterRecord&, int32_t current) {
    return hostileInt(in_, current);
  }
  void floats(const host::ParameterRecord&, float* values, int count) {
    hostileFloats(in_, values, count);
  }
  template <class Handle>
  void texture(const host::ParameterRecord&, Handle* handle) {
    const uint8_t s = in_.byte();
    if (s < kKeepBelow) return;
    const int choice = s % 3;
    handle->object = choice == 0 ? nullptr : textures_->object(choice - 1, handle);
    if (s & 4u) handle->hostHandle = static_cast<int32_t>(in_.word());
  }

 private:
  ByteReader& in_;
  host::TextureSet* textures_;
};

void hostileVector(ByteReader& in, pvx::float3* v) {
  hostileFloats(in, &v->x, 3);
}

pvx::LightSample hostileLight(ByteReader& in) {
  pvx::LightSample light{};
  light.L = pvx::float3(0.0f, 0.0f, 1.0f);
  light.weight = 1.0f;
  light.color = pvx::float3(1.0f);
  light.position = pvx::float3(0.0f, 0.0f, 5.0f);
  light.distance = 5.0f;
  light.unshadowedColor = pvx::float3(1.0f);
  light.transmission = pvx::float3(1.0f);
  hostileVector(in, &light.L);
  light.weight = hostileFloat(in, light.weight);
  hostileVector(in, &light.color);
  hostileVector(in, &light.unshadowedColor);
  hostileVector(in, &light.transmission);
  const uint8_t tag = in.byte();
  if (tag >= kKeepBelow) {
    light.tag = (tag & 1u) ? pvx::kLightTagDiffuseOnly : hostileInt(in, 0);
  }
  return light;
}

}  // namespace

uint32_t ByteReader::word() {
  uint32_t w = 0;
  for (int i = 0; i < 4; ++i)
    w |= uint32_t(byte()) << (8 * i);
  return w;
}

float hostileFloat(ByteReader& in, float sane) {
  return decodeFloat(in, sane, in.byte());
}

int32_t hostileInt(ByteReader& in, int32_t sane) {
  const uint8_t selector = in.byte();
  if (selector < kKeepBelow) return sane;
  int s = selector - kKeepBelow;
  if (s < 40) return s - 8;  // mode values in and just outside any small table
  s -= 40;
  if (s < kInterestingIntCount) return kInterestingInts[s];
  return static_cast<int32_t>(in.word());
}

void hostileFloats(ByteReader& in, float* values, int count) {
  const uint8_t selector = in.byte();
  if (selector < kKeepBelow) return;
  switch ((selector - kKeepBelow) % 6) {
    case 0:  // the zero vector, a singular matrix
      for (int i = 0; i < count; ++i)
        values[i] = 0.0f;
      break;
    case 1: {  // one bad component
      const int i = in.byte() % count;
      values[i] = kInterestingFloats[in.byte() % kInterestingFloatCount];
      break;
    }
    case 2: {  // scaled: huge, tiny, negated, NaN, ...
      const float scale = kInterestingFloats[in.byte() % kInterestingFloatCount];
      for (int i = 0; i < count; ++i)
        values[i] *= scale;
      break;
    }
    default:  // component by component
      for (int i = 0; i < count; ++i)
        values[i] = hostileFloat(in, values[i]);
      break;
  }
}

void writeHostileParameters(ByteReader& in, pvx::IShaderBase* shader,
                            const host::ParameterTable& table, host::TextureSet* textures) {
  HostileChooser chooser(in, textures);
  writeParameters(shader, table, chooser);
}

pvx::ShadingState hostileState(ByteReader& in, const host::ParameterTable& table) {
  pvx::ShadingState s = cameraHit();
  s.lightP = pvx::float3(0.0f, 0.0f, 5.0f);
  s.lightL = pvx::float3(0.0f, 0.0f, -1.0f);
  s.lightAxis = pvx::float3(0.0f, 0.0f, -1.0f);
  s.lightDist = 5.0f;
  s.scatterDir = pvx::float3(0.0f, 0.0f, 1.0f);  // evaluate's direction: back towards the camera

  for (pvx::float3* v : {&s.rayOrigin, &s.I, &s.P, &s.N, &s.Ng, &s.Po, &s.No})
    hostileVector(in, v);
  hostileFloats(in, &s.rasterInfo.x, 2);
  s.rasterInfo.width = hostileInt(in, s.rasterInfo.width);
  s.rasterInfo.height = hostileInt(in, s.rasterInfo.height);
  s.outsideIor = hostileFloat(in, s.outsideIor);
  s.mediumIor = hostileFloat(in, s.mediumIor);
  hostileFloats(in, s.worldToObject.m, 16);
  hostileFloats(in, s.objectToWorld.m, 16);

  static const int32_t kRayKinds[] = {pvx::kRayNone,
                                      pvx::kRayCamera,
                                      pvx::kRayReflection,
                                      pvx::kRayGlossy,
                                      pvx::kRaySpecular,
                                      pvx::kRayTransmission,
                                      3,
                                      8,
                                      64,
                                      -1};
  const uint8_t kindSelector = in.byte();
  if (kindSelector >= kKeepBelow) {
    // Mostly the kinds and their near misses; one selector in eight decodes any integer.
    s.rayKind =
        (kindSelector & 7u) == 7u ? hostileInt(in, s.rayKind) : kRayKinds[kindSelector % 10];
  }
  for (uint8_t* flag : {&s.frontFacing, &s.viewThrough}) {
    const uint8_t selector = in.byte();
    if (selector >= kKeepBelow) *flag = in.byte();
  }
  if (in.byte() >= kKeepBelow) {
    for (uint8_t& allowed : s.allowScatter)
      allowed = in.byte();
  }

  hostileVector(in, &s.lightP);
  hostileVector(in, &s.lightL);
  hostileVector(in, &s.lightAxis);
  s.lightDist = hostileFloat(in, s.lightDist);

  for (const host::VaryingRecord& v : table.varyings()) {
    float values[4] = {0.5f, 0.5f, 0.0f, 0.0f};
    int count = 2;
    if (v.typeCode == pvx::kVaryingFloat3) {
      count = 3;
      if (v.name == "bitangent") {
        values[0] = 0.0f;
        values[1] = 1.0f;
      } else {
        values[0] = 1.0f;
        values[1] = 0.0f;
      }
      values[2] = 0.0f;
    } else if (v.typeCode == pvx::kVaryingColor4) {
      count = 4;
      values[0] = values[1] = values[2] = values[3] = 1.0f;
    }
    hostileFloats(in, values, count);
    const size_t bytes = sizeof(float) * size_t(count);
    if (v.offset >= 0 && size_t(v.offset) + bytes <= sizeof s.varying) {
      std::memcpy(s.varying + v.offset, values, bytes);
    }
  }

  // Whatever the host left in the output fields before the call.
  hostileFloats(in, &s.Ci.x, 4);
  for (pvx::float3* v : {&s.shadowT, &s.scatterDir, &s.scatterWeight, &s.lightColor, &s.lightT})
    hostileVector(in, v);
  s.scatterCos = hostileFloat(in, s.scatterCos);
  s.scatterInvPdf = hostileFloat(in, s.scatterInvPdf);
  s.scatterKind = hostileInt(in, s.scatterKind);
  if (in.byte() >= kKeepBelow) s.ignoreHit = in.byte();
  return s;
}

void hostileAnswers(ByteReader& in, host::HostAnswers* answers, host::TextureSet* textures) {
  const pvx::float4 saneColour(0.25f, 0.5f, 0.75f, 1.0f);
  answers->colourCycle.assign(1 + in.byte() % 8, saneColour);
  for (pvx::float4& c : answers->colourCycle)
    hostileFloats(in, &c.x, 4);
  answers->scalarCycle.assign(1 + in.byte() % 8, 0.5f);
  for (float& value : answers->scalarCycle)
    value = hostileFloat(in, value);
  answers->randomSequence.assign(1 + in.byte() % 8, 0.5f);
  for (float& value : answers->randomSequence)
    value = decodeRandom(in.byte());

  static const size_t kLightCounts[] = {0, 1, 2, 3, 5, 16, 100, 1000};
  const uint8_t countSelector = in.byte();
  const size_t lightCount = countSelector < kKeepBelow ? 2 : kLightCounts[countSelector % 8];
  pvx::LightSample templates[4];
  const int templateCount = 1 + in.byte() % 4;
  for (int i = 0; i < templateCount; ++i)
    templates[i] = hostileLight(in);
  // Exactly as many records as listed, so reading past the last one is an overflow.
  answers->lights.clear();
  answers->lights.shrink_to_fit();
  answers->lights.reserve(lightCount);
  for (size_t i = 0; i < lightCount; ++i)
    answers->lights.push_back(templates[i % size_t(templateCount)]);

  for (int i = 0; i < 2; ++i) {
    std::vector<pvx::float4> texels(1 + in.byte() % 4, pvx::float4(0.5f, 0.5f, 0.5f, 1.0f));
    for (pvx::float4& texel : texels)
      hostileFloats(in, &texel.x, 4);
    textures->answer(i, texels, in.byte() < 240);
  }
}

}  // namespace tarvo::test

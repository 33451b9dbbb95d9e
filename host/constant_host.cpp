#include "host/constant_host.h"

#include <cmath>
#include <cstring>

namespace tarvo::host {

namespace {

using pvx::float2;
using pvx::float3;
using pvx::float4;

float3 unit(float x, float y, float z) {
  const float l = std::sqrt(x * x + y * y + z * z);
  return float3(x / l, y / l, z / l);
}

float3 times(const float3& a, const float3& b) {
  return float3(a.x * b.x, a.y * b.y, a.z * b.z);
}
float3 along(const float3& origin, const float3& direction, float distance) {
  return float3(origin.x + direction.x * distance, origin.y + direction.y * distance,
                origin.z + direction.z * distance);
}

// A short fixed cycle of uniform numbers that covers low, middle and high values.
constexpr float kRandomCycle[] = {0.5f, 0.13f, 0.87f, 0.31f, 0.69f, 0.05f, 0.95f, 0.42f};
constexpr unsigned kRandomCycleLength = sizeof(kRandomCycle) / sizeof(kRandomCycle[0]);

}  // namespace

ConstantHost::ConstantHost() {
  const float3 directions[kLightCount] = {unit(0.3f, 0.2f, 1.0f), unit(-0.6f, 0.1f, 0.8f),
                                          unit(0.1f, -0.9f, 0.4f), unit(0.0f, 0.0f, -1.0f)};
  const float3 colors[kLightCount] = {float3(1.0f, 0.95f, 0.9f), float3(0.4f, 0.5f, 0.6f),
                                      float3(2.0f, 1.5f, 1.0f), float3(0.3f)};
  const float3 transmissions[kLightCount] = {float3(1.0f), float3(0.5f, 0.4f, 0.3f), float3(1.0f),
                                             float3(0.0f)};
  for (int i = 0; i < kLightCount; ++i) {
    pvx::LightSample& record = lights[size_t(i)];
    record.L = directions[i];
    record.weight = 1.0f;
    record.color = times(colors[i], transmissions[i]);
    record.position = along(float3(0.0f), directions[i], 10.0f);
    record.distance = 10.0f;
    record.unshadowedColor = colors[i];
    record.transmission = transmissions[i];
    record.lightIndex = i;
    record.tag = (i == 1) ? pvx::kLightTagDiffuseOnly : 0;
    record.next = (i + 1 < kLightCount) ? &lights[size_t(i) + 1] : nullptr;
  }
}

const pvx::LightSample* ConstantHost::lightSamples(int32_t, const float3*, const float3*) {
  return answerLights ? lights.data() : nullptr;
}

float3* ConstantHost::ambientLight(float3* result, const float3*, const float3*) {
  *result = ambient;
  return result;
}

float3* ConstantHost::shadowTransmission(float3* result, const float3*, const float3*) {
  *result = transmission;
  return result;
}

float3* ConstantHost::traceRay(float3* result, int32_t, const float3*, const float3*, float) {
  *result = traced;
  return result;
}

float3* ConstantHost::traceSpecular(float3* result, const float3*, const float3*, float) {
  *result = traced;
  return result;
}

float4* ConstantHost::traceContinue(float4* result, const float3*, const float3*, float) {
  *result = behind;
  return result;
}

float3* ConstantHost::traceAnisotropic(float3* result, const float3*, const float3*, const float3*,
                                       const float3*, float, float, float) {
  *result = traced;
  return result;
}

float3* ConstantHost::traceReflection(float3* result, const float3*, const float3*, float, float) {
  *result = traced;
  return result;
}

float4* ConstantHost::traceRefraction(float4* result, const float3*, const float3*, float, float) {
  *result = refracted;
  return result;
}

float3* ConstantHost::occlusion(float3* result, const float3*, const float3*, float) {
  *result = accessibility;
  return result;
}

float3* ConstantHost::indirectDiffuse(float3* result, const float3*, const float3*, float) {
  *result = indirect;
  return result;
}

float ConstantHost::random1() {
  const float value = kRandomCycle[randomIndex_ % kRandomCycleLength];
  ++randomIndex_;
  return value;
}

float2* ConstantHost::random2(float2* result) {
  result->x = random1();
  result->y = random1();
  return result;
}

float ConstantHost::noise4(const float4*) {
  return noise;
}
float ConstantHost::noise3(const float3*) {
  return noise;
}
float ConstantHost::noise2(const float2*) {
  return noise;
}
float ConstantHost::cellRandom(float) {
  return noise;
}
float ConstantHost::lookup49(const float3*) {
  return noise;
}

float3* ConstantHost::cellVector(float3* result, const float3*) {
  *result = cellVectorAnswer;
  return result;
}

std::array<pvx::ShadingState, kVariedStateCount> variedShadingStates() {
  struct Hit {
    float3 I;
    float3 N;
    int32_t rayKind;
    uint8_t frontFacing;
    uint8_t viewThrough;
    uint8_t allow;  // bit i: allowScatter[i]
  };
  const Hit hits[kVariedStateCount] = {
      {float3(0.0f, 0.0f, -1.0f), float3(0.0f, 0.0f, 1.0f), pvx::kRayCamera, 1, 0, 0x3f},
      {unit(0.5f, 0.2f, -0.8f), unit(0.1f, 0.0f, 1.0f), pvx::kRayCamera, 1, 0, 0x3f},
      {float3(1.0f, 0.0f, 0.0f), float3(0.0f, 0.0f, 1.0f), pvx::kRayCamera, 1, 0, 0x3f},
      {unit(-0.3f, 0.4f, 0.85f), float3(0.0f, 0.0f, 1.0f), pvx::kRayReflection, 0, 0, 0x03},
      {unit(0.2f, -0.7f, -0.6f), unit(0.0f, -0.3f, 1.0f), pvx::kRayGlossy, 1, 1, 0x24},
      {unit(-0.8f, 0.1f, -0.5f), unit(0.2f, 0.2f, 1.0f), pvx::kRaySpecular, 1, 0, 0x00},
      {unit(0.1f, 0.1f, 0.95f), float3(0.0f, 0.0f, 1.0f), pvx::kRayTransmission, 0, 0, 0x38},
      {unit(0.6f, 0.6f, -0.5f), unit(-0.4f, 0.3f, 0.8f), pvx::kRayGlossy, 1, 0, 0x07},
  };
  std::array<pvx::ShadingState, kVariedStateCount> states{};
  for (size_t i = 0; i < kVariedStateCount; ++i) {
    const Hit& hit = hits[i];
    pvx::ShadingState& s = states[i];
    s.P = float3(0.1f * float(i), -0.2f * float(i), 0.05f * float(i));
    s.rayOrigin = along(s.P, hit.I, -4.0f);
    s.I = hit.I;
    s.N = hit.N;
    s.Ng = float3(0.0f, 0.0f, 1.0f);
    s.Po = float3(0.25f + 0.05f * float(i), 0.6f - 0.04f * float(i), 0.3f);
    s.No = hit.N;
    s.rasterInfo = {12.5f + float(i) * 7.0f, 20.5f + float(i) * 3.0f, 64, 48};
    s.outsideIor = 1.0f;
    s.mediumIor = hit.frontFacing ? 1.0f : 1.5f;
    s.worldToObject = pvx::identity4;
    s.objectToWorld = pvx::identity4;
    s.rayKind = hit.rayKind;
    s.frontFacing = hit.frontFacing;
    s.viewThrough = hit.viewThrough;
    s.Ci = float4(0.0f, 0.0f, 0.0f, 1.0f);
    s.scatterDir = unit(0.3f, -0.2f, 0.9f);
    for (int k = 0; k < 6; ++k)
      s.allowScatter[k] = (hit.allow >> k) & 1u;
    s.lightP = along(s.P, unit(0.2f, 0.3f, 1.0f), 5.0f);
    s.lightL = unit(-0.2f, -0.3f, -1.0f);
    s.lightAxis = unit(-0.1f, -0.2f, -1.0f);
    s.lightDist = 5.0f;
    // Every float of the varying block in (0, 1): any class's uv, uv1, tangent, bitangent and
    // vertex colour read as plausible, non-degenerate values.
    for (size_t k = 0; k < pvx::kVaryingBlockSize / sizeof(float); ++k) {
      const float value = 0.05f + 0.07f * float((k + i) % 13);
      std::memcpy(s.varying + k * sizeof(float), &value, sizeof value);
    }
  }
  return states;
}

}  // namespace tarvo::host

#include "host/cycling_host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace tarvo::host {

namespace {

struct CeilingState {
  size_t used = 0;
  size_t ceiling = 0;  // 0: not armed
  const char* label = "";
};

thread_local CeilingState tCeiling;

uint32_t bitsOf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Mixes coordinate bits into a texel index (a multiplicative hash, finished like a Murmur
// finaliser so neighbouring coordinates pick unrelated texels).
size_t texelIndex(const TexelScript& script, std::initializer_list<float> coordinate) {
  uint32_t h = 0x9e3779b9u;
  for (float c : coordinate) {
    h = (h ^ bitsOf(c)) * 0x85ebca6bu;
    h ^= h >> 13;
  }
  return h % script.texels.size();
}

void answerTexel(const TexelScript* script, pvx::float4* result,
                 std::initializer_list<float> coordinate) {
  ServiceCallCeiling::count();
  if (!script->writes || script->texels.empty()) return;
  *result = script->texels[texelIndex(*script, coordinate)];
}

}  // namespace

void AnswerScript::chainLights() {
  for (size_t i = 0; i < lights.size(); ++i) {
    lights[i].next = (i + 1 < lights.size()) ? &lights[i + 1] : nullptr;
  }
}

// ---- ServiceCallCeiling

void ServiceCallCeiling::arm(size_t ceiling, const char* label) {
  tCeiling.used = 0;
  tCeiling.ceiling = ceiling;
  tCeiling.label = label;
}

void ServiceCallCeiling::disarm() {
  tCeiling.ceiling = 0;
}

size_t ServiceCallCeiling::used() {
  return tCeiling.used;
}

void ServiceCallCeiling::count() {
  ++tCeiling.used;
  if (tCeiling.ceiling != 0 && tCeiling.used > tCeiling.ceiling) {
    std::fprintf(stderr,
                 "%s: more than %zu host service and texture calls in one entry-point call; a "
                 "loop in the shader is not bounded.\n",
                 tCeiling.label, tCeiling.ceiling);
    std::abort();
  }
}

// ---- CyclingHost

pvx::float3* CyclingHost::colour3(pvx::float3* result) {
  ServiceCallCeiling::count();
  const std::vector<pvx::float4>& list = script_->colours;
  if (list.empty()) {
    *result = pvx::float3(0.0f);
  } else {
    const pvx::float4& c = list[colour_++ % list.size()];
    *result = pvx::float3(c.x, c.y, c.z);
  }
  return result;
}

pvx::float4* CyclingHost::colour4(pvx::float4* result) {
  ServiceCallCeiling::count();
  const std::vector<pvx::float4>& list = script_->colours;
  *result = list.empty() ? pvx::float4(0.0f) : list[colour_++ % list.size()];
  return result;
}

float CyclingHost::scalar() {
  ServiceCallCeiling::count();
  const std::vector<float>& list = script_->scalars;
  return list.empty() ? 0.0f : list[scalar_++ % list.size()];
}

float CyclingHost::random() {
  const std::vector<float>& list = script_->randoms;
  return list.empty() ? 0.5f : list[random_++ % list.size()];
}

const pvx::LightSample* CyclingHost::lightSamples(int32_t, const pvx::float3*, const pvx::float3*) {
  ServiceCallCeiling::count();
  return script_->lights.empty() ? nullptr : script_->lights.data();
}

pvx::float3* CyclingHost::ambientLight(pvx::float3* result, const pvx::float3*,
                                       const pvx::float3*) {
  return colour3(result);
}

pvx::float3* CyclingHost::shadowTransmission(pvx::float3* result, const pvx::float3*,
                                             const pvx::float3*) {
  return colour3(result);
}

pvx::float3* CyclingHost::traceRay(pvx::float3* result, int32_t, const pvx::float3*,
                                   const pvx::float3*, float) {
  return colour3(result);
}

pvx::float3* CyclingHost::traceSpecular(pvx::float3* result, const pvx::float3*, const pvx::float3*,
                                        float) {
  return colour3(result);
}

pvx::float4* CyclingHost::traceContinue(pvx::float4* result, const pvx::float3*, const pvx::float3*,
                                        float) {
  return colour4(result);
}

pvx::float3* CyclingHost::traceAnisotropic(pvx::float3* result, const pvx::float3*,
                                           const pvx::float3*, const pvx::float3*,
                                           const pvx::float3*, float, float, float) {
  return colour3(result);
}

pvx::float3* CyclingHost::traceReflection(pvx::float3* result, const pvx::float3*,
                                          const pvx::float3*, float, float) {
  return colour3(result);
}

pvx::float4* CyclingHost::traceRefraction(pvx::float4* result, const pvx::float3*,
                                          const pvx::float3*, float, float) {
  return colour4(result);
}

pvx::float3* CyclingHost::occlusion(pvx::float3* result, const pvx::float3*, const pvx::float3*,
                                    float) {
  return colour3(result);
}

pvx::float3* CyclingHost::indirectDiffuse(pvx::float3* result, const pvx::float3*,
                                          const pvx::float3*, float) {
  return colour3(result);
}

float CyclingHost::random1() {
  ServiceCallCeiling::count();
  return random();
}

pvx::float2* CyclingHost::random2(pvx::float2* result) {
  ServiceCallCeiling::count();
  result->x = random();
  result->y = random();
  return result;
}

float CyclingHost::noise4(const pvx::float4*) {
  return scalar();
}

float CyclingHost::noise3(const pvx::float3*) {
  return scalar();
}

float CyclingHost::noise2(const pvx::float2*) {
  return scalar();
}

float CyclingHost::cellRandom(float) {
  return scalar();
}

float CyclingHost::lookup49(const pvx::float3*) {
  return scalar();
}

pvx::float3* CyclingHost::cellVector(pvx::float3* result, const pvx::float3*) {
  return colour3(result);
}

// ---- textures

void CyclingTexture1D::sample(pvx::float4* result, float s) {
  answerTexel(script_, result, {s});
}

void CyclingTexture2D::sample(pvx::float4* result, const pvx::float2* st) {
  answerTexel(script_, result, {st->x, st->y});
}

void CyclingTextureCube::sample(pvx::float4* result, const pvx::float3* direction) {
  answerTexel(script_, result, {direction->x, direction->y, direction->z});
}

}  // namespace tarvo::host

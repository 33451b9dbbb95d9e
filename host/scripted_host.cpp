#include "host/scripted_host.h"

#include <algorithm>
#include <cmath>

namespace tarvo::host {

namespace slot = pvx::host_slot;

namespace {
pvx::float4 widen(const pvx::float3& v) {
  return pvx::float4(v, 0.0f);
}
pvx::float4 widen(const pvx::float2& v) {
  return pvx::float4(v.x, v.y, 0.0f, 0.0f);
}
const pvx::float3 kZero3(0.0f);
}  // namespace

ScriptedHost::ScriptedHost() {
  log_.reserve(kLogCapacity);
}

HostCall& ScriptedHost::log(int slotIndex) {
  scratch_ = HostCall{};
  scratch_.slot = slotIndex;
  return scratch_;
}

void ScriptedHost::finish(const HostCall& call, void* result) {
  if (logging) {
    if (log_.size() < kLogCapacity) {
      log_.push_back(call);
    } else {
      ++dropped_;
    }
  }
  if (onCall) onCall(call, result);
}

int ScriptedHost::count(int slotIndex) const {
  return static_cast<int>(std::count_if(log_.begin(), log_.end(),
                                        [&](const HostCall& c) { return c.slot == slotIndex; }));
}

const HostCall* ScriptedHost::first(int slotIndex) const {
  for (const HostCall& c : log_) {
    if (c.slot == slotIndex) return &c;
  }
  return nullptr;
}

const HostCall* ScriptedHost::last(int slotIndex) const {
  for (auto it = log_.rbegin(); it != log_.rend(); ++it) {
    if (it->slot == slotIndex) return &*it;
  }
  return nullptr;
}

void ScriptedHost::clearLog() {
  log_.clear();
  dropped_ = 0;
}

void ScriptedHost::chainLights() {
  for (size_t i = 0; i < lights.size(); ++i) {
    lights[i].next = (i + 1 < lights.size()) ? &lights[i + 1] : nullptr;
  }
  chainedCount_ = lights.size();
  chainedData_ = lights.data();
}

float ScriptedHost::nextRandom() {
  if (randomSequence.empty()) return 0.5f;
  const float value = randomSequence[randomIndex_ % randomSequence.size()];
  ++randomIndex_;
  return value;
}

const pvx::LightSample* ScriptedHost::lightSamples(int32_t flags, const pvx::float3* P,
                                                   const pvx::float3* N) {
  HostCall& c = log(slot::kLightSamples);
  c.integer = flags;
  c.vectors = {widen(P ? *P : kZero3), widen(N ? *N : kZero3)};
  c.vectorCount = 2;
  if (chainedCount_ != lights.size() || chainedData_ != lights.data()) chainLights();
  finish(c, nullptr);
  return lights.empty() ? nullptr : lights.data();
}

pvx::float3* ScriptedHost::ambientLight(pvx::float3* result, const pvx::float3* P,
                                        const pvx::float3* N) {
  HostCall& c = log(slot::kAmbientLight);
  c.vectors = {widen(*P), widen(*N)};
  c.vectorCount = 2;
  *result = ambientAnswer;
  finish(c, result);
  return result;
}

pvx::float3* ScriptedHost::shadowTransmission(pvx::float3* result, const pvx::float3* P,
                                              const pvx::float3* lightP) {
  HostCall& c = log(slot::kShadowTransmission);
  c.vectors = {widen(*P), widen(*lightP)};
  c.vectorCount = 2;
  *result = shadowTransmissionAnswer;
  finish(c, result);
  return result;
}

pvx::float3* ScriptedHost::traceRay(pvx::float3* result, int32_t rayKind, const pvx::float3* origin,
                                    const pvx::float3* direction, float weight) {
  HostCall& c = log(slot::kTraceRay);
  c.integer = rayKind;
  c.vectors = {widen(*origin), widen(*direction)};
  c.vectorCount = 2;
  c.scalars = {weight};
  c.scalarCount = 1;
  *result = traceRayAnswer;
  finish(c, result);
  return result;
}

pvx::float3* ScriptedHost::traceSpecular(pvx::float3* result, const pvx::float3* origin,
                                         const pvx::float3* direction, float weight) {
  HostCall& c = log(slot::kTraceSpecular);
  c.vectors = {widen(*origin), widen(*direction)};
  c.vectorCount = 2;
  c.scalars = {weight};
  c.scalarCount = 1;
  *result = traceSpecularAnswer;
  finish(c, result);
  return result;
}

pvx::float4* ScriptedHost::traceContinue(pvx::float4* result, const pvx::float3* P,
                                         const pvx::float3* I, float weight) {
  HostCall& c = log(slot::kTraceContinue);
  c.vectors = {widen(*P), widen(*I)};
  c.vectorCount = 2;
  c.scalars = {weight};
  c.scalarCount = 1;
  *result = traceContinueAnswer;
  finish(c, result);
  return result;
}

pvx::float3* ScriptedHost::traceAnisotropic(pvx::float3* result, const pvx::float3* P,
                                            const pvx::float3* R, const pvx::float3* U,
                                            const pvx::float3* V, float glossinessU,
                                            float glossinessV, float weight) {
  HostCall& c = log(slot::kTraceAnisotropic);
  c.vectors = {widen(*P), widen(*R), widen(*U), widen(*V)};
  c.vectorCount = 4;
  c.scalars = {glossinessU, glossinessV, weight};
  c.scalarCount = 3;
  *result = traceAnisotropicAnswer;
  finish(c, result);
  return result;
}

pvx::float3* ScriptedHost::traceReflection(pvx::float3* result, const pvx::float3* P,
                                           const pvx::float3* direction, float glossiness,
                                           float weight) {
  HostCall& c = log(slot::kTraceReflection);
  c.vectors = {widen(*P), widen(*direction)};
  c.vectorCount = 2;
  c.scalars = {glossiness, weight};
  c.scalarCount = 2;
  *result = traceReflectionAnswer;
  finish(c, result);
  return result;
}

pvx::float4* ScriptedHost::traceRefraction(pvx::float4* result, const pvx::float3* P,
                                           const pvx::float3* direction, float roughness,
                                           float weight) {
  HostCall& c = log(slot::kTraceRefraction);
  c.vectors = {widen(*P), widen(*direction)};
  c.vectorCount = 2;
  c.scalars = {roughness, weight};
  c.scalarCount = 2;
  *result = traceRefractionAnswer;
  finish(c, result);
  return result;
}

pvx::float3* ScriptedHost::occlusion(pvx::float3* result, const pvx::float3* P,
                                     const pvx::float3* N, float weight) {
  HostCall& c = log(slot::kOcclusion);
  c.vectors = {widen(*P), widen(*N)};
  c.vectorCount = 2;
  c.scalars = {weight};
  c.scalarCount = 1;
  *result = occlusionAnswer;
  finish(c, result);
  return result;
}

pvx::float3* ScriptedHost::indirectDiffuse(pvx::float3* result, const pvx::float3* P,
                                           const pvx::float3* N, float weight) {
  HostCall& c = log(slot::kIndirectDiffuse);
  c.vectors = {widen(*P), widen(*N)};
  c.vectorCount = 2;
  c.scalars = {weight};
  c.scalarCount = 1;
  *result = indirectDiffuseAnswer;
  finish(c, result);
  return result;
}

float ScriptedHost::random1() {
  HostCall& c = log(slot::kRandom1);
  const float value = nextRandom();
  c.scalars = {value};
  c.scalarCount = 1;
  finish(c, nullptr);
  return value;
}

pvx::float2* ScriptedHost::random2(pvx::float2* result) {
  HostCall& c = log(slot::kRandom2);
  result->x = nextRandom();
  result->y = nextRandom();
  c.scalars = {result->x, result->y};
  c.scalarCount = 2;
  finish(c, result);
  return result;
}

float ScriptedHost::noise4(const pvx::float4* pointAndPhase) {
  HostCall& c = log(slot::kNoise4);
  c.vectors = {*pointAndPhase};
  c.vectorCount = 1;
  finish(c, nullptr);
  return noiseAnswer;
}

float ScriptedHost::noise3(const pvx::float3* point) {
  HostCall& c = log(slot::kNoise3);
  c.vectors = {widen(*point)};
  c.vectorCount = 1;
  finish(c, nullptr);
  return noiseAnswer;
}

float ScriptedHost::noise2(const pvx::float2* point) {
  HostCall& c = log(slot::kNoise2);
  c.vectors = {widen(*point)};
  c.vectorCount = 1;
  finish(c, nullptr);
  return noiseAnswer;
}

float ScriptedHost::cellRandom(float identifier) {
  HostCall& c = log(slot::kCellRandom);
  c.scalars = {identifier};
  c.scalarCount = 1;
  finish(c, nullptr);
  return cellRandomAnswer;
}

float ScriptedHost::lookup49(const pvx::float3* latticePoint) {
  HostCall& c = log(slot::kLookup49);
  c.vectors = {widen(*latticePoint)};
  c.vectorCount = 1;
  finish(c, nullptr);
  return lookup49Answer;
}

pvx::float3* ScriptedHost::cellVector(pvx::float3* result, const pvx::float3* cell) {
  HostCall& c = log(slot::kCellVector);
  c.vectors = {widen(*cell)};
  c.vectorCount = 1;
  *result = cellVectorAnswer;
  finish(c, result);
  return result;
}

pvx::LightSample makeLight(const pvx::float3& towardsLight, const pvx::float3& color, float weight,
                           int32_t tag) {
  pvx::LightSample record{};
  record.L = towardsLight;
  record.weight = weight;
  record.color = color;
  record.unshadowedColor = color;
  record.transmission = pvx::float3(1.0f);
  record.tag = tag;
  record.next = nullptr;
  return record;
}

void ScriptedTexture1D::sample(pvx::float4* result, float s) {
  if (texels.empty()) {
    answer(result, s);
    return;
  }
  // Table lookup; the log and the function hook still see the coordinate.
  const float scaled = std::floor(s * static_cast<float>(texels.size()));
  const long index = std::isfinite(scaled)
                         ? std::clamp(static_cast<long>(std::clamp(scaled, -1.0f, 1.0e9f)), 0L,
                                      static_cast<long>(texels.size()) - 1)
                         : 0L;
  answer(result, s, &texels[static_cast<size_t>(index)]);
}

std::vector<pvx::float4> clippingPlaneTexels(const std::vector<pvx::float4>& planes) {
  std::vector<pvx::float4> texels;
  texels.emplace_back(static_cast<float>(planes.size()), 0.0f, 0.0f, 1.0f);
  texels.insert(texels.end(), planes.begin(), planes.end());
  return texels;
}

}  // namespace tarvo::host

#include "host/recording_host.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

// The watched paths stay out of line: inlined, they would lengthen the Constant path that the
// instruction counts measure.
#if defined(__GNUC__)
#define TARVO_NOINLINE __attribute__((noinline))
#else
#define TARVO_NOINLINE
#endif

namespace tarvo::host {

namespace slot = pvx::host_slot;
using pvx::float2;
using pvx::float3;
using pvx::float4;

namespace {

// ---- building a logged call from a service's arguments, in order

void add(HostCall& c, const float4* v) {
  c.vectors[size_t(c.vectorCount++)] = v ? *v : float4(0.0f);
}
void add(HostCall& c, const float3* v) {
  c.vectors[size_t(c.vectorCount++)] = v ? float4(*v, 0.0f) : float4(0.0f);
}
void add(HostCall& c, const float2* v) {
  c.vectors[size_t(c.vectorCount++)] = v ? float4(v->x, v->y, 0.0f, 0.0f) : float4(0.0f);
}
void add(HostCall& c, float s) {
  c.scalars[size_t(c.scalarCount++)] = s;
}
void add(HostCall& c, int32_t i) {
  c.integer = i;
}

template <class... Args>
HostCall makeCall(int slotIndex, Args... args) {
  HostCall c;
  c.slot = slotIndex;
  (add(c, args), ...);
  return c;
}

// The entry at `index` of a list that is not empty, the index moving on and wrapping around.
template <class T>
const T& next(const std::vector<T>& list, size_t& index) {
  if (index >= list.size()) index = 0;
  return list[index++];
}

float3 narrow(const float4& c, const float3*) {
  return float3(c.x, c.y, c.z);
}
float4 narrow(const float4& c, const float4*) {
  return c;
}

// The Constant policy's random numbers: low, middle and high values; a power-of-two count keeps
// the cycle to a mask.
constexpr float kConstantRandoms[8] = {0.5f, 0.13f, 0.87f, 0.31f, 0.69f, 0.05f, 0.95f, 0.42f};

// ---- the ceiling

struct CeilingState {
  size_t used = 0;
  size_t ceiling = 0;  // 0: not armed
  const char* label = "";
};

thread_local CeilingState tCeiling;

// ---- texel tables

uint32_t bitsOf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// A multiplicative hash of the coordinate's bits, finished like a Murmur finaliser so that
// neighbouring coordinates pick unrelated texels.
size_t hashedTexel(std::initializer_list<float> coordinate, size_t count) {
  uint32_t h = 0x9e3779b9u;
  for (float c : coordinate) {
    h = (h ^ bitsOf(c)) * 0x85ebca6bu;
    h ^= h >> 13;
  }
  return h % count;
}

size_t texelIndex(float s, size_t count) {
  const float scaled = std::floor(s * static_cast<float>(count));
  if (!std::isfinite(scaled)) return 0;
  return static_cast<size_t>(std::clamp(static_cast<long>(std::clamp(scaled, -1.0f, 1.0e9f)), 0L,
                                        static_cast<long>(count) - 1));
}
size_t texelIndex(const float2& st, size_t count) {
  return hashedTexel({st.x, st.y}, count);
}
size_t texelIndex(const float3& d, size_t count) {
  return hashedTexel({d.x, d.y, d.z}, count);
}

const float& coordinateOf(const float& s) {
  return s;
}
template <class T>
const T& coordinateOf(const T* c) {
  return *c;
}

float3 unit(float x, float y, float z) {
  const float l = std::sqrt(x * x + y * y + z * z);
  return float3(x / l, y / l, z / l);
}

float3 along(const float3& origin, const float3& direction, float distance) {
  return float3(origin.x + direction.x * distance, origin.y + direction.y * distance,
                origin.z + direction.z * distance);
}

}  // namespace

// ---- HostAnswers

HostAnswers HostAnswers::varied() {
  HostAnswers a;
  const float3 directions[] = {unit(0.3f, 0.2f, 1.0f), unit(-0.6f, 0.1f, 0.8f),
                               unit(0.1f, -0.9f, 0.4f), unit(0.0f, 0.0f, -1.0f)};
  const float3 colors[] = {float3(1.0f, 0.95f, 0.9f), float3(0.4f, 0.5f, 0.6f),
                           float3(2.0f, 1.5f, 1.0f), float3(0.3f)};
  const float3 transmissions[] = {float3(1.0f), float3(0.5f, 0.4f, 0.3f), float3(1.0f),
                                  float3(0.0f)};
  for (int i = 0; i < 4; ++i) {
    pvx::LightSample record{};
    record.L = directions[i];
    record.weight = 1.0f;
    record.color = float3(colors[i].x * transmissions[i].x, colors[i].y * transmissions[i].y,
                          colors[i].z * transmissions[i].z);
    record.position = along(float3(0.0f), directions[i], 10.0f);
    record.distance = 10.0f;
    record.unshadowedColor = colors[i];
    record.transmission = transmissions[i];
    record.lightIndex = i;
    record.tag = (i == 1) ? pvx::kLightTagDiffuseOnly : 0;
    a.lights.push_back(record);
  }
  a.ambientAnswer = float3(0.05f, 0.06f, 0.07f);
  a.shadowTransmissionAnswer = float3(0.9f);
  a.traceRayAnswer = a.traceSpecularAnswer = a.traceAnisotropicAnswer = a.traceReflectionAnswer =
      float3(0.3f, 0.35f, 0.4f);
  a.traceContinueAnswer = float4(0.2f, 0.3f, 0.4f, 1.0f);
  a.traceRefractionAnswer = float4(0.25f, 0.3f, 0.35f, 1.0f);
  a.occlusionAnswer = float3(0.8f, 0.75f, 0.7f);
  a.indirectDiffuseAnswer = float3(0.1f, 0.12f, 0.14f);
  a.noiseAnswer = a.cellRandomAnswer = a.lookup49Answer = 0.45f;
  a.cellVectorAnswer = float3(0.3f, -0.2f, 0.9f);
  return a;
}

// ---- RecordingHost

RecordingHost::RecordingHost(HostPolicy policy, HostAnswers answers, uint64_t seed)
    : HostAnswers(std::move(answers)), logging(policy == HostPolicy::Scripted), policy_(policy) {
  if (logging) log_.reserve(kLogCapacity);
  if (policy == HostPolicy::Seeded) {
    std::seed_seq words{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32)};
    generator_.seed(words);
  }
  chainLights();
}

int RecordingHost::count(int slotIndex) const {
  return static_cast<int>(std::count_if(log_.begin(), log_.end(),
                                        [&](const HostCall& c) { return c.slot == slotIndex; }));
}

const HostCall* RecordingHost::first(int slotIndex) const {
  for (const HostCall& c : log_) {
    if (c.slot == slotIndex) return &c;
  }
  return nullptr;
}

const HostCall* RecordingHost::last(int slotIndex) const {
  for (auto it = log_.rbegin(); it != log_.rend(); ++it) {
    if (it->slot == slotIndex) return &*it;
  }
  return nullptr;
}

void RecordingHost::clearLog() {
  log_.clear();
  dropped_ = 0;
}

void RecordingHost::rewind() {
  colourIndex_ = scalarIndex_ = randomIndex_ = 0;
}

void RecordingHost::chainLights() {
  for (size_t i = 0; i < lights.size(); ++i) {
    lights[i].next = (i + 1 < lights.size()) ? &lights[i + 1] : nullptr;
  }
  chainedCount_ = lights.size();
  chainedData_ = lights.data();
}

void RecordingHost::record(const HostCall& call) {
  ServiceCallCeiling::count();
  if (!logging) return;
  if (log_.size() < kLogCapacity) {
    log_.push_back(call);
  } else {
    ++dropped_;
  }
}

template <class Colour, class... Args>
TARVO_NOINLINE Colour* RecordingHost::watchedColour(Colour* result, const Colour& answer,
                                                    int slotIndex, Args... args) {
  record(makeCall(slotIndex, args...));
  *result = colourCycle.empty() ? answer : narrow(next(colourCycle, colourIndex_), result);
  return result;
}

template <class... Args>
TARVO_NOINLINE float RecordingHost::watchedScalar(float answer, int slotIndex, Args... args) {
  const HostCall call = makeCall(slotIndex, args...);
  record(call);
  if (scalarFunction) return scalarFunction(call);
  return scalarCycle.empty() ? answer : next(scalarCycle, scalarIndex_);
}

float RecordingHost::cycledRandom() {
  if (randomSequence.empty()) return 0.5f;
  if (randomIndex_ >= randomSequence.size()) randomIndex_ = 0;
  return randomSequence[randomIndex_++];
}

float RecordingHost::nextRandom() {
  // 24 random bits: uniform in [0, 1), never 1 after rounding to float.
  if (policy_ == HostPolicy::Seeded) return static_cast<float>(generator_() >> 8) * 0x1p-24f;
  return cycledRandom();
}

TARVO_NOINLINE const pvx::LightSample* RecordingHost::watchedLights(int32_t flags, const float3* P,
                                                                    const float3* N) {
  record(makeCall(slot::kLightSamples, flags, P, N));
  // Tests edit `lights` between calls.
  if (chainedCount_ != lights.size() || chainedData_ != lights.data()) chainLights();
  return lights.empty() ? nullptr : lights.data();
}

TARVO_NOINLINE float RecordingHost::watchedRandom1() {
  const float value = nextRandom();
  record(makeCall(slot::kRandom1, value));
  return value;
}

TARVO_NOINLINE float2* RecordingHost::watchedRandom2(float2* result) {
  result->x = nextRandom();
  result->y = nextRandom();
  record(makeCall(slot::kRandom2, result->x, result->y));
  return result;
}

const pvx::LightSample* RecordingHost::lightSamples(int32_t flags, const float3* P,
                                                    const float3* N) {
  if (policy_ != HostPolicy::Constant) return watchedLights(flags, P, N);
  return lights.empty() ? nullptr : lights.data();
}

float3* RecordingHost::ambientLight(float3* result, const float3* P, const float3* N) {
  return colour(result, ambientAnswer, slot::kAmbientLight, P, N);
}

float3* RecordingHost::shadowTransmission(float3* result, const float3* P, const float3* lightP) {
  return colour(result, shadowTransmissionAnswer, slot::kShadowTransmission, P, lightP);
}

float3* RecordingHost::traceRay(float3* result, int32_t rayKind, const float3* origin,
                                const float3* direction, float weight) {
  return colour(result, traceRayAnswer, slot::kTraceRay, rayKind, origin, direction, weight);
}

float3* RecordingHost::traceSpecular(float3* result, const float3* origin, const float3* direction,
                                     float weight) {
  return colour(result, traceSpecularAnswer, slot::kTraceSpecular, origin, direction, weight);
}

float4* RecordingHost::traceContinue(float4* result, const float3* P, const float3* I,
                                     float weight) {
  return colour(result, traceContinueAnswer, slot::kTraceContinue, P, I, weight);
}

float3* RecordingHost::traceAnisotropic(float3* result, const float3* P, const float3* R,
                                        const float3* U, const float3* V, float glossinessU,
                                        float glossinessV, float weight) {
  return colour(result, traceAnisotropicAnswer, slot::kTraceAnisotropic, P, R, U, V, glossinessU,
                glossinessV, weight);
}

float3* RecordingHost::traceReflection(float3* result, const float3* P, const float3* direction,
                                       float glossiness, float weight) {
  return colour(result, traceReflectionAnswer, slot::kTraceReflection, P, direction, glossiness,
                weight);
}

float4* RecordingHost::traceRefraction(float4* result, const float3* P, const float3* direction,
                                       float roughness, float weight) {
  return colour(result, traceRefractionAnswer, slot::kTraceRefraction, P, direction, roughness,
                weight);
}

float3* RecordingHost::occlusion(float3* result, const float3* P, const float3* N, float weight) {
  return colour(result, occlusionAnswer, slot::kOcclusion, P, N, weight);
}

float3* RecordingHost::indirectDiffuse(float3* result, const float3* P, const float3* N,
                                       float weight) {
  return colour(result, indirectDiffuseAnswer, slot::kIndirectDiffuse, P, N, weight);
}

float RecordingHost::random1() {
  if (policy_ != HostPolicy::Constant) return watchedRandom1();
  return kConstantRandoms[randomIndex_++ & 7];
}

float2* RecordingHost::random2(float2* result) {
  if (policy_ != HostPolicy::Constant) return watchedRandom2(result);
  result->x = kConstantRandoms[randomIndex_++ & 7];
  result->y = kConstantRandoms[randomIndex_++ & 7];
  return result;
}

float RecordingHost::noise4(const float4* pointAndPhase) {
  return scalar(noiseAnswer, slot::kNoise4, pointAndPhase);
}

float RecordingHost::noise3(const float3* point) {
  return scalar(noiseAnswer, slot::kNoise3, point);
}

float RecordingHost::noise2(const float2* point) {
  return scalar(noiseAnswer, slot::kNoise2, point);
}

float RecordingHost::cellRandom(float identifier) {
  return scalar(cellRandomAnswer, slot::kCellRandom, identifier);
}

float RecordingHost::lookup49(const float3* latticePoint) {
  return scalar(lookup49Answer, slot::kLookup49, latticePoint);
}

float3* RecordingHost::cellVector(float3* result, const float3* cell) {
  return colour(result, cellVectorAnswer, slot::kCellVector, cell);
}

pvx::LightSample makeLight(const float3& towardsLight, const float3& color, float weight,
                           int32_t tag) {
  pvx::LightSample record{};
  record.L = towardsLight;
  record.weight = weight;
  record.color = color;
  record.unshadowedColor = color;
  record.transmission = float3(1.0f);
  record.tag = tag;
  record.next = nullptr;
  return record;
}

pvx::ShadingState planeHit(const float3& I, int32_t rayKind) {
  pvx::ShadingState s{};
  s.rayOrigin = float3(-5.0f * I.x, -5.0f * I.y, -5.0f * I.z);
  s.I = I;
  s.N = s.Ng = s.No = float3(0.0f, 0.0f, 1.0f);
  s.rasterInfo = {0.5f, 0.5f, 1, 1};
  s.outsideIor = s.mediumIor = 1.0f;
  s.worldToObject = s.objectToWorld = pvx::identity4;
  s.rayKind = rayKind;
  s.frontFacing = I.z <= 0.0f ? 1 : 0;
  s.Ci = pvx::float4(0.0f, 0.0f, 0.0f, 1.0f);
  for (uint8_t& allowed : s.allowScatter)
    allowed = 1;
  return s;
}

// ---- textures

template <class Interface, class Coordinate>
void RecordingTexture<Interface, Coordinate>::answerRecorded(RecordingTexture* t, float4* result,
                                                             Argument argument) {
  const Coordinate& c = coordinateOf(argument);
  ServiceCallCeiling::count();
  if (t->logging) {
    ++t->samples_;
    if (t->coordinates_.size() < kLogCapacity) t->coordinates_.push_back(c);
  }
  if (!t->writes) return;
  if (t->function) {
    *result = t->function(c);
  } else if (!t->texels.empty()) {
    *result = t->texels[texelIndex(c, t->texels.size())];
  } else {
    *result = t->value;
  }
}

template class RecordingTexture<pvx::ITexture1D, float>;
template class RecordingTexture<pvx::ITexture2D, float2>;
template class RecordingTexture<pvx::ITextureCube, float3>;

std::vector<float4> clippingPlaneTexels(const std::vector<float4>& planes) {
  std::vector<float4> texels;
  texels.emplace_back(static_cast<float>(planes.size()), 0.0f, 0.0f, 1.0f);
  texels.insert(texels.end(), planes.begin(), planes.end());
  return texels;
}

TextureSet::TextureSet() {
  for (int i = 0; i < 2; ++i) {
    oneD[i].logging = twoD[i].logging = cube[i].logging = false;
  }
}

void TextureSet::answer(int i, const std::vector<float4>& texels, bool writes) {
  oneD[i].texels = twoD[i].texels = cube[i].texels = texels;
  oneD[i].writes = twoD[i].writes = cube[i].writes = writes;
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

// ---- the varied states

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

#include "host/render/render_host.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/render/noise.h"

namespace tarvo::render {

namespace {

constexpr int kMaxPassThrough = 64;     // surfaces one ray may pass through (ignoreHit)
constexpr int kMaxShadowSurfaces = 16;  // surfaces a shadow ray asks before giving up
constexpr float kDegreesToRadians = kPi / 180.0f;
constexpr float kGlossyConeDegrees = 45.0f;
constexpr float kSkyShare = 0.25f;  // of path mode's gathering rays, drawn from the environment

uint64_t mix64(uint64_t x) {
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

bool sameDirection(float3 a, float3 b) {
  return dot(a, b) > 0.99999f;
}

template <class T>
void writeVarying(pvx::ShadingState* s, int offset, const T& value) {
  if (offset >= 0) std::memcpy(s->varying + offset, &value, sizeof(T));
}

// What a scatter call answered, kept while the same state goes on to evaluate the lights.
struct ScatterAnswer {
  float3 scatterDir, scatterWeight;
  float scatterCos, scatterInvPdf, mediumIor;
  int32_t scatterKind;
  bool ignoreHit;
};

bool finite(float3 c) {
  return std::isfinite(c.x) && std::isfinite(c.y) && std::isfinite(c.z);
}

}  // namespace

RenderHost::RenderHost(const Scene& scene)
    : scene_(scene),
      settings_(scene.settings),
      epsilon_(1e-4f * std::max(1.0f, scene.geometry().sceneRadius())),
      aoDistance_(scene.settings.aoDistance > 0.0f ? scene.settings.aoDistance
                                                   : scene.geometry().sceneRadius()) {
  const size_t levels = static_cast<size_t>(std::max(1, settings_.maxDepth)) + 4;
  frames_.reserve(levels);
  lightLists_.resize(levels + 1);
  for (auto& ring : lightLists_) {
    for (auto& list : ring)
      list.resize(scene.lights.size());
  }
  lightListCursor_.assign(levels + 1, 0);
  const Camera& camera = scene.camera;
  cameraForward_ = normalize(camera.target - camera.position);
  const float3 right = normalize(cross(cameraForward_, camera.up));
  const float tanHalf = std::tan(camera.fovY * (kPi / 360.0f));
  const float aspect = static_cast<float>(settings_.width) / static_cast<float>(settings_.height);
  cameraRight_ = right * (tanHalf * aspect);
  cameraUp_ = cross(right, cameraForward_) * tanHalf;
}

void RenderHost::seed(uint64_t pixel, uint64_t sampleIndex) {
  random_.reseed(mix64(settings_.seed * 0x9e3779b97f4a7c15ULL + sampleIndex), pixel);
}

// ---------------------------------------------------------------------------------------------
// Camera samples

pvx::float4 RenderHost::renderSample(int px, int py, int sampleIndex) {
  const int width = settings_.width, height = settings_.height;
  const uint64_t pixel =
      static_cast<uint64_t>(py) * static_cast<uint64_t>(width) + static_cast<uint64_t>(px);
  seed(pixel, static_cast<uint64_t>(sampleIndex));
  // One sample per pixel goes through its centre, aliased but steady. More spread over the
  // pixel evenly, as the points of a rank-1 lattice (the R2 sequence) shifted by an offset of
  // the pixel's own: independent jitter leaves clumps and gaps, which on a high-contrast
  // texture are noise as strong as a firefly's.
  float jx = 0.5f, jy = 0.5f;
  if (settings_.samples > 1) {
    // In 32-bit fixed point, where wrapping around is the fractional part: the steps are
    // 1/g and 1/g^2 of the plastic number g.
    const uint64_t offset = mix64(mix64(settings_.seed ^ 0x5851f42d4c957f2dULL) + pixel);
    const uint32_t i = static_cast<uint32_t>(sampleIndex);
    const uint32_t x = static_cast<uint32_t>(offset) + i * 3242174889u;
    const uint32_t y = static_cast<uint32_t>(offset >> 32) + i * 2447445414u;
    // 24 bits, so that the float never rounds up to 1.
    jx = static_cast<float>(x >> 8) * (1.0f / 16777216.0f);
    jy = static_cast<float>(y >> 8) * (1.0f / 16777216.0f);
  }
  const float x = static_cast<float>(px) + jx, y = static_cast<float>(py) + jy;
  raster_ = {x, y, width, height};
  Ray ray;
  ray.origin = scene_.camera.position;
  // The same direction as Camera::direction, from the frame kept at construction.
  const float sx = 2.0f * x / static_cast<float>(width) - 1.0f;
  const float sy = 1.0f - 2.0f * y / static_cast<float>(height);
  ray.direction = normalize(cameraForward_ + cameraRight_ * sx + cameraUp_ * sy);
  ray.tnear = 0.0f;
  ++counters_.samples;
  frames_.clear();
  return traceShade(ray, pvx::kRayCamera, false, 1.0f, 0);
}

// ---------------------------------------------------------------------------------------------
// Filling states

void RenderHost::fillHit(pvx::ShadingState* s, const Ray& ray, const Hit& hit,
                         const SurfacePoint& p, const ShaderInstance* material, int32_t kind,
                         bool viewThrough, float outsideIor, float mediumIor) const {
  std::memset(s, 0, sizeof(*s));
  const Object& object = scene_.geometry().objects()[hit.object];
  s->rayOrigin = ray.origin;
  s->I = ray.direction;
  s->P = p.P;
  s->N = p.N;
  s->Ng = p.Ng;
  s->Po = p.Po;
  s->No = p.No;
  s->rasterInfo = raster_;
  s->outsideIor = outsideIor;
  s->mediumIor = mediumIor;
  s->worldToObject = object.transform.inverse;
  s->objectToWorld = object.transform.forward;
  s->rayKind = kind;
  s->frontFacing = dot(ray.direction, p.Ng) < 0.0f ? 1 : 0;
  if (!s->frontFacing) {
    // Normals face the ray that arrives, as the materials' refraction, sampling and horizon
    // rules expect; which side was hit is what frontFacing says.
    s->N = -p.N;
    s->Ng = -p.Ng;
  }
  std::memset(s->allowScatter, 1, sizeof(s->allowScatter));
  s->viewThrough = viewThrough ? 1 : 0;
  if (material != nullptr) {
    writeVarying(s, material->uvOffset, p.uv);
    writeVarying(s, material->uv1Offset, p.uv1);
    writeVarying(s, material->tangentOffset, p.tangent);
    writeVarying(s, material->bitangentOffset, p.bitangent);
    writeVarying(s, material->colorOffset, p.color);
  }
}

Ray RenderHost::offsetRay(float3 P, float3 direction, float3 Ng) const {
  Ray ray;
  // Step off the surface on the side the new ray leaves to.
  const float side = dot(direction, Ng) >= 0.0f ? 1.0f : -1.0f;
  ray.origin = P + Ng * (side * epsilon_);
  ray.direction = direction;
  ray.tnear = 0.0f;
  return ray;
}

Ray RenderHost::spawn(float3 P, float3 direction) const {
  Ray ray;
  ray.origin = P;
  ray.direction = direction;
  ray.tnear = epsilon_;
  return ray;
}

pvx::float4 RenderHost::environment(const Ray& ray, int32_t kind, bool viewThrough) {
  if (scene_.environment < 0) return {0.0f, 0.0f, 0.0f, 0.0f};
  const ShaderInstance& env = scene_.shader(scene_.environment);
  pvx::ShadingState s;
  std::memset(&s, 0, sizeof s);
  s.rayOrigin = ray.origin;
  s.I = ray.direction;
  s.P = ray.origin;
  s.N = -ray.direction;
  s.Ng = s.N;
  s.rasterInfo = raster_;
  s.outsideIor = s.mediumIor = 1.0f;
  s.worldToObject = pvx::identity4;
  s.objectToWorld = pvx::identity4;
  s.rayKind = kind;
  s.viewThrough = viewThrough ? 1 : 0;
  s.Ci = {0.0f, 0.0f, 0.0f, 0.0f};
  ++counters_.shaderCalls;
  env.environment()->shade(this, &s);
  return s.Ci;
}

namespace {

// An object without a material: a neutral grey by the view cosine.
pvx::float4 unboundColor(const Ray& ray, const SurfacePoint& p) {
  const float c = 0.6f * std::fabs(dot(ray.direction, p.N));
  return {c, c, c, 1.0f};
}

// A straight continuation with nothing taken away: the bounce of a surface that shows what lies
// behind it (the shadow catcher, the background geometry). What such a surface looks like is
// its shade, which traces on by itself.
bool passesThrough(const ScatterAnswer& a, float3 incoming) {
  return a.scatterKind == pvx::kRayGlossy && sameDirection(a.scatterDir, incoming) &&
         a.scatterWeight.x == 1.0f && a.scatterWeight.y == 1.0f && a.scatterWeight.z == 1.0f;
}

// A bounce drawn from no density: a mirror, a smooth refraction, a straight continuation. Light
// from a point reaches the next surface along such a bounce only in one direction, which a light
// direction never is; evaluate's value for a light there is the peak of a lobe scatter does not
// draw, so such a bounce takes no light from the lights.
bool deterministic(const ScatterAnswer& a) {
  return a.scatterInvPdf == 1.0f &&
         (a.scatterKind == pvx::kRayGlossy || a.scatterKind == pvx::kRayTransmission);
}

// A bounce that may be diffuse: the mixed diffuse and glossy draw, the legacy diffuse bounce.
bool diffuseBounce(const ScatterAnswer& a) {
  return a.scatterKind == pvx::kRayReflection || a.scatterKind == pvx::kRayCamera;
}

}  // namespace

float3 RenderHost::gather(float3 P, const NormalBasis& basis, float importance, int diffuseDepth) {
  const float u1 = random_.uniform(), u2 = random_.uniform();
  float3 d = cosineDirection(basis, u1, u2);
  if (settings_.mode == RenderMode::Shade) {
    const Ray ray = offsetRay(P, d, basis.n);
    return rgb(limited(traceShade(ray, pvx::kRayReflection, false, importance, diffuseDepth)));
  }
  // A quarter of the directions are drawn where the environment is bright instead: each is
  // weighed by the cosine density over the mixture's (the balance heuristic), at most 4/3, so
  // a small bright sun is found by the draws aimed at it and no draw makes a firefly.
  float weight = 1.0f;
  if (const EnvironmentLight* sky = environmentLight()) {
    if (random_.uniform() < kSkyShare) {
      float density = 0.0f;
      d = sky->sample(random_.uniform(), random_.uniform(), &density);
    }
    const float cosineDensity = std::max(0.0f, dot(d, basis.n)) / kPi;
    if (!(cosineDensity > 0.0f)) return float3(0.0f);
    weight = cosineDensity / ((1.0f - kSkyShare) * cosineDensity + kSkyShare * sky->density(d));
  }
  const Ray ray = offsetRay(P, d, basis.n);
  return rgb(limited(tracePath(ray, importance * weight, diffuseDepth) * weight));
}

const EnvironmentLight* RenderHost::environmentLight() {
  if (!environmentLightBuilt_) {
    environmentLightBuilt_ = true;
    if (scene_.environment >= 0) {
      environmentLight_ = std::make_unique<EnvironmentLight>([this](float3 d) {
        Ray ray;
        ray.direction = d;
        const float3 c = rgb(environment(ray, pvx::kRayReflection, false));
        return 0.2126f * c.x + 0.7152f * c.y + 0.0722f * c.z;
      });
    }
  }
  return environmentLight_ && environmentLight_->lit() ? environmentLight_.get() : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Shading a hit: the material's shade entry, which traces further rays through the services.

pvx::float4 RenderHost::traceShade(const Ray& start, int32_t kind, bool viewThrough,
                                   float importance, int diffuseDepth) {
  Ray ray = start;
  for (int pass = 0; pass < kMaxPassThrough; ++pass) {
    ++counters_.rays;
    Hit hit;
    if (!scene_.geometry().intersect(ray, &hit)) return environment(ray, kind, viewThrough);
    const Object& object = scene_.geometry().objects()[hit.object];
    const SurfacePoint p = scene_.geometry().surface(ray, hit);
    if (object.material < 0) return unboundColor(ray, p);
    const ShaderInstance& material = scene_.shader(object.material);
    pvx::ShadingState s;
    fillHit(&s, ray, hit, p, &material, kind, viewThrough, 1.0f, 1.0f);
    s.Ci = settings_.prefill;
    frames_.push_back({kind, viewThrough, ray.direction, importance, diffuseDepth});
    ++counters_.shaderCalls;
    material.material()->shade(this, &s);
    frames_.pop_back();
    if (!s.ignoreHit) return s.Ci;
    ray = offsetRay(p.P, ray.direction, p.Ng);
  }
  return {0.0f, 0.0f, 0.0f, 0.0f};
}

pvx::float4 RenderHost::request(const pvx::float3* origin, float3 direction, int32_t kind,
                                bool viewThrough, float weight) {
  const Frame& current = frame();
  const float importance = current.importance * weight;
  if (static_cast<int>(frames_.size()) >= settings_.maxDepth ||
      !(importance >= settings_.importanceCutoff) || !(length(direction) > 0.0f)) {
    return {0.0f, 0.0f, 0.0f, 1.0f};
  }
  const Ray ray = spawn(*origin, normalize(direction));
  return limited(traceShade(ray, kind, viewThrough, importance, current.diffuseDepth));
}

pvx::float4 RenderHost::limited(pvx::float4 c) const {
  const float most = std::max({c.x, c.y, c.z});
  if (!(settings_.clamp > 0.0f) || !(most > settings_.clamp)) return c;
  const float scale = settings_.clamp / most;
  return {c.x * scale, c.y * scale, c.z * scale, c.w};
}

// ---------------------------------------------------------------------------------------------
// Paths: light gathered along a ray as it travels, scatter picking each next ray and evaluate
// weighing the lights at every bounce.

pvx::float4 RenderHost::tracePath(Ray ray, float importance, int diffuseDepth) {
  float3 throughput(1.0f), radiance(0.0f);
  int32_t kind = pvx::kRayReflection;
  // Media the path is inside: entering a refracting surface pushes the index its scatter
  // names, leaving pops it.
  float iorStack[16] = {1.0f};
  int iorDepth = 1;
  int bounces = 0;
  for (int event = 0; event < settings_.maxDepth + kMaxPassThrough; ++event) {
    ++counters_.rays;
    Hit hit;
    if (!scene_.geometry().intersect(ray, &hit)) {
      // Whatever kind scatter gave the last ray (16 and 32 through glass, 1 from the legacy
      // diffuse bounce), light that comes from outside the scene comes from the environment
      // image, as reflections see it: not the black the environments give shadow-kind rays,
      // nor the backdrop of camera rays.
      radiance += throughput * rgb(environment(ray, pvx::kRayReflection, false));
      break;
    }
    const Object& object = scene_.geometry().objects()[hit.object];
    const SurfacePoint p = scene_.geometry().surface(ray, hit);
    if (object.material < 0) {
      radiance += throughput * rgb(unboundColor(ray, p));
      break;
    }
    const ShaderInstance& material = scene_.shader(object.material);
    const bool entering = dot(ray.direction, p.Ng) < 0.0f;
    const float outside = iorStack[iorDepth - 1];
    const float beyond = iorDepth >= 2 ? iorStack[iorDepth - 2] : 1.0f;
    pvx::ShadingState s;
    fillHit(&s, ray, hit, p, &material, kind, false, outside, entering ? outside : beyond);
    frames_.push_back(
        {kind, false, ray.direction, importance * maxComponent(throughput), diffuseDepth});

    // Entry points write only the state's outputs (scatter also mediumIor), so one state
    // serves scatter and then shade or every light's evaluate: scatter's answer is kept aside
    // and the index it may have changed is put back.
    ScatterAnswer scattered{};
    bool shaded = !material.has(pvx::kCapScatter);
    if (!shaded) {
      const float hitMediumIor = s.mediumIor;
      s.scatterKind = pvx::kRayNone;
      ++counters_.shaderCalls;
      material.material()->scatter(this, &s);
      scattered = {s.scatterDir, s.scatterWeight, s.scatterCos,    s.scatterInvPdf,
                   s.mediumIor,  s.scatterKind,   s.ignoreHit != 0};
      s.mediumIor = hitMediumIor;
      shaded = !scattered.ignoreHit && passesThrough(scattered, ray.direction);
    }
    if (shaded) {
      // A surface that is not a bounce gives the light its shade makes.
      s.Ci = settings_.prefill;
      s.ignoreHit = 0;
      ++counters_.shaderCalls;
      material.material()->shade(this, &s);
      scattered.ignoreHit = s.ignoreHit != 0;
    }
    if (scattered.ignoreHit) {
      frames_.pop_back();
      ray = offsetRay(p.P, ray.direction, p.Ng);
      continue;
    }
    if (shaded) {
      frames_.pop_back();
      radiance += throughput * rgb(s.Ci);
      break;
    }

    // Light from every light, weighed by the material for its direction.
    if (material.has(pvx::kCapEvaluate) && !deterministic(scattered)) {
      pvx::ShadingState& e = s;
      for (const Light& light : scene_.lights) {
        // The material is asked first, for the light's direction: where it takes nothing from
        // there (a light behind the surface), the light and its shadow ray are not asked.
        const float3 toLight = light.position - p.P;
        const float distance = length(toLight);
        if (!(distance > 0.0f)) continue;
        e.scatterDir = toLight * (1.0f / distance);
        e.scatterWeight = float3(0.0f);
        e.scatterCos = 0.0f;
        e.ignoreHit = 0;
        ++counters_.shaderCalls;
        material.material()->evaluate(this, &e);
        if (e.ignoreHit || !(e.scatterCos > 0.0f) || isBlack(e.scatterWeight)) continue;
        float3 color, lightT, L;
        if (!queryLight(light, p.P, p.N, &color, &lightT, &L)) continue;
        const float3 arriving = color * lightT;
        if (isBlack(arriving)) continue;
        // A light's colour is what the materials' shade entries read it as: the brightness
        // it gives a white diffuse surface facing it, that is irradiance over pi. Every path
        // hit is one indirect light is gathered from, so it takes a light's light as a white
        // diffuse surface at most would (evaluate's value up to 1 / pi): above that is a
        // highlight, which seen from the diffuse surface gathering is a caustic, found by one
        // gathering ray in thousands (as the lights of shade mode's gathered hits are tagged).
        const float3 value(std::min(e.scatterWeight.x, 1.0f / kPi),
                           std::min(e.scatterWeight.y, 1.0f / kPi),
                           std::min(e.scatterWeight.z, 1.0f / kPi));
        const float3 add = throughput * value * arriving * (e.scatterCos * kPi);
        if (finite(add)) radiance += add;
      }
    }
    frames_.pop_back();

    // Indirect light takes as many diffuse bounces in a path as in the shade model: the
    // light of the last one is what its lights give.
    if (scattered.scatterKind == pvx::kRayNone ||
        (diffuseBounce(scattered) && ++diffuseDepth > settings_.diffuseDepth)) {
      break;
    }
    const float3 weight =
        scattered.scatterWeight * (std::fabs(scattered.scatterCos) * scattered.scatterInvPdf);
    throughput *= weight;
    if (!finite(throughput) || isBlack(throughput) || !(length(scattered.scatterDir) > 0.0f)) {
      break;
    }
    const float3 next = normalize(scattered.scatterDir);
    if (++bounces > settings_.maxDepth) break;
    if (bounces >= 3) {
      const float survive = std::min(0.95f, maxComponent(throughput));
      if (random_.uniform() >= survive) break;
      throughput = throughput * (1.0f / survive);
    }
    const bool transmitted = (dot(next, p.Ng) < 0.0f) == entering;
    if (transmitted) {
      if (entering && iorDepth < 16) {
        iorStack[iorDepth++] = scattered.mediumIor;
      } else if (!entering && iorDepth > 1) {
        --iorDepth;
      }
    }
    kind = scattered.scatterKind;
    ray = offsetRay(p.P, next, p.Ng);
  }
  return {radiance.x, radiance.y, radiance.z, 1.0f};
}

// ---------------------------------------------------------------------------------------------
// Lights and shadows

bool RenderHost::queryLight(const Light& light, float3 P, float3 N, float3* color, float3* lightT,
                            float3* towardsLight) {
  if (light.shader < 0) return false;
  const float3 d = P - light.position;
  const float distance = length(d);
  if (!(distance > 0.0f)) return false;
  pvx::ShadingState q;
  std::memset(&q, 0, sizeof q);
  q.rayOrigin = frame().I;
  q.I = frame().I;
  q.P = P;
  q.N = N;
  q.Ng = N;
  q.rasterInfo = raster_;
  q.outsideIor = q.mediumIor = 1.0f;
  q.worldToObject = pvx::identity4;
  q.objectToWorld = pvx::identity4;
  q.rayKind = frame().rayKind;
  q.lightP = light.position;
  q.lightL = d * (1.0f / distance);
  q.lightAxis = normalize(light.axis);
  q.lightDist = distance;
  q.lightColor = float3(0.0f);
  q.lightT = float3(1.0f);
  ++counters_.shaderCalls;
  scene_.shader(light.shader).light()->shade(this, &q);
  if (q.ignoreHit || isBlack(q.lightColor) || !finite(q.lightColor)) return false;
  *color = q.lightColor;
  *lightT = q.lightT;
  *towardsLight = -q.lightL;
  return true;
}

const pvx::LightSample* RenderHost::lightSamples(int32_t, const pvx::float3* P,
                                                 const pvx::float3* N) {
  if (scene_.lights.empty()) return nullptr;
  const size_t level = std::min(frames_.size(), lightLists_.size() - 1);
  int& cursor = lightListCursor_[level];
  std::vector<pvx::LightSample>& list =
      lightLists_[level][static_cast<size_t>(cursor++ % kListsPerLevel)];
  pvx::LightSample* previous = nullptr;
  pvx::LightSample* first = nullptr;
  for (size_t i = 0; i < scene_.lights.size(); ++i) {
    const Light& light = scene_.lights[i];
    float3 color, lightT, L;
    if (!queryLight(light, *P, *N, &color, &lightT, &L)) continue;
    pvx::LightSample& record = list[i];
    record.L = L;
    record.weight = 1.0f;
    record.color = color * lightT;
    record.position = light.position;
    record.distance = length(light.position - *P);
    record.unshadowedColor = color;
    record.transmission = lightT;
    record.lightIndex = static_cast<int32_t>(i);
    // A hit that indirect light is gathered from shows no highlights: a point light's highlight
    // seen from a diffuse surface is a caustic, which gathering rays find by chance, one bright
    // sample among thousands. The lights' diffuse light stays.
    const bool gathered = frame().diffuseDepth > 0;
    record.tag = light.diffuseOnly || gathered ? pvx::kLightTagDiffuseOnly : 0;
    record.next = nullptr;
    if (previous) previous->next = &record;
    if (!first) first = &record;
    previous = &record;
  }
  return first;
}

float3 RenderHost::transmission(float3 from, float3 to) {
  const float3 d = to - from;
  const float distance = length(d);
  if (!(distance > 2.0f * epsilon_)) return float3(1.0f);
  Ray ray;
  ray.origin = from;
  ray.direction = d * (1.0f / distance);
  ray.tnear = epsilon_;
  ray.tfar = distance - epsilon_;
  if (!scene_.anyShadowEntry()) {
    ++counters_.rays;
    return scene_.geometry().occluded(ray) ? float3(0.0f) : float3(1.0f);
  }
  float3 result(1.0f);
  for (int surface = 0; surface < kMaxShadowSurfaces; ++surface) {
    ++counters_.rays;
    Hit hit;
    if (!scene_.geometry().intersectCasters(ray, &hit)) return result;
    const Object& object = scene_.geometry().objects()[hit.object];
    if (object.material < 0) return float3(0.0f);
    const ShaderInstance& material = scene_.shader(object.material);
    if (!material.has(pvx::kCapShadow)) return float3(0.0f);
    const SurfacePoint p = scene_.geometry().surface(ray, hit);
    pvx::ShadingState s;
    fillHit(&s, ray, hit, p, &material, frame().rayKind, false, 1.0f, 1.0f);
    s.shadowT = float3(0.0f);
    ++counters_.shaderCalls;
    material.material()->shadow(this, &s);
    if (!s.ignoreHit) {
      result *= s.shadowT;
      if (isBlack(result) || !finite(result)) return float3(0.0f);
    }
    const float travelled = hit.t + epsilon_;
    ray.origin = ray.origin + ray.direction * travelled;
    ray.tfar -= travelled;
    ray.tnear = 0.0f;
    if (!(ray.tfar > 0.0f)) return result;
  }
  return result;
}

pvx::float3* RenderHost::shadowTransmission(pvx::float3* result, const pvx::float3* P,
                                            const pvx::float3* lightP) {
  *result = transmission(*P, *lightP);
  return result;
}

pvx::float3* RenderHost::ambientLight(pvx::float3* result, const pvx::float3*, const pvx::float3*) {
  *result = settings_.ambient;
  return result;
}

// ---------------------------------------------------------------------------------------------
// Traces

pvx::float3* RenderHost::traceRay(pvx::float3* result, int32_t rayKind, const pvx::float3* origin,
                                  const pvx::float3* direction, float weight) {
  const Frame& current = frame();
  const bool viewThrough = rayKind == pvx::kRayGlossy &&
                           (current.rayKind == pvx::kRayCamera || current.viewThrough) &&
                           sameDirection(normalize(*direction), current.I);
  *result = rgb(request(origin, *direction, rayKind, viewThrough, weight));
  return result;
}

pvx::float3* RenderHost::traceSpecular(pvx::float3* result, const pvx::float3* origin,
                                       const pvx::float3* direction, float weight) {
  *result = rgb(request(origin, *direction, pvx::kRayGlossy, false, weight));
  return result;
}

pvx::float4* RenderHost::traceContinue(pvx::float4* result, const pvx::float3* P,
                                       const pvx::float3* I, float weight) {
  *result = request(P, *I, continuationKind(), continuationViewThrough(), weight);
  return result;
}

int32_t RenderHost::continuationKind() const {
  const Frame& current = frame();
  return current.rayKind == pvx::kRayCamera ? pvx::kRayGlossy : current.rayKind;
}

bool RenderHost::continuationViewThrough() const {
  const Frame& current = frame();
  return current.rayKind == pvx::kRayCamera || current.viewThrough;
}

pvx::float3* RenderHost::traceAnisotropic(pvx::float3* result, const pvx::float3* P,
                                          const pvx::float3* R, const pvx::float3* U,
                                          const pvx::float3* V, float glossinessU,
                                          float glossinessV, float weight) {
  const float su =
      std::tan(std::clamp(glossinessU, 0.0f, 1.0f) * kGlossyConeDegrees * kDegreesToRadians);
  const float sv =
      std::tan(std::clamp(glossinessV, 0.0f, 1.0f) * kGlossyConeDegrees * kDegreesToRadians);
  float3 direction = normalize(*R);
  if (su > 0.0f || sv > 0.0f) {
    // A point in the unit disk, stretched along U and V.
    const float r = std::sqrt(random_.uniform()), phi = 2.0f * kPi * random_.uniform();
    direction = normalize(direction + normalize(*U) * (su * r * std::cos(phi)) +
                          normalize(*V) * (sv * r * std::sin(phi)));
  }
  *result = rgb(request(P, direction, pvx::kRayGlossy, false, weight));
  return result;
}

float3 RenderHost::glossyDirection(const pvx::float3& direction, float glossiness) {
  const float3 d = normalize(direction);
  const float g = std::clamp(glossiness, 0.0f, 1.0f);
  if (!(g > 0.0f)) return d;
  const float cosMax = std::cos(g * kGlossyConeDegrees * kDegreesToRadians);
  return coneDirection(d, cosMax, random_.uniform(), random_.uniform());
}

pvx::float3* RenderHost::traceReflection(pvx::float3* result, const pvx::float3* P,
                                         const pvx::float3* direction, float glossiness,
                                         float weight) {
  const float3 d = glossyDirection(*direction, glossiness);
  *result = rgb(request(P, d, pvx::kRayReflection, false, weight));
  return result;
}

pvx::float4* RenderHost::traceRefraction(pvx::float4* result, const pvx::float3* P,
                                         const pvx::float3* direction, float roughness,
                                         float weight) {
  const float3 d = glossyDirection(*direction, roughness);
  // What lies behind the surface, bent: the same kind and view-through as a straight
  // continuation, so glass shows the backdrop the camera sees rather than the black that
  // environments answer transmission rays with.
  *result = request(P, d, continuationKind(), continuationViewThrough(), weight);
  return result;
}

pvx::float3* RenderHost::occlusion(pvx::float3* result, const pvx::float3* P, const pvx::float3* N,
                                   float) {
  const float3 n = normalize(*N);
  if (!(length(n) > 0.0f) || settings_.aoSamples <= 0) {
    *result = float3(1.0f);
    return result;
  }
  int open = 0;
  const NormalBasis basis(n);
  for (int i = 0; i < settings_.aoSamples; ++i) {
    const float u1 = random_.uniform(), u2 = random_.uniform();
    Ray ray = offsetRay(*P, cosineDirection(basis, u1, u2), n);
    ray.tfar = aoDistance_;
    ++counters_.rays;
    if (!scene_.geometry().occluded(ray)) ++open;
  }
  *result = float3(static_cast<float>(open) / static_cast<float>(settings_.aoSamples));
  return result;
}

pvx::float3* RenderHost::indirectDiffuse(pvx::float3* result, const pvx::float3* P,
                                         const pvx::float3* N, float weight) {
  *result = float3(0.0f);
  const float3 n = normalize(*N);
  const Frame& current = frame();
  const float importance = current.importance * weight;
  if (!(length(n) > 0.0f) || current.diffuseDepth >= settings_.diffuseDepth ||
      static_cast<int>(frames_.size()) >= settings_.maxDepth ||
      !(importance >= settings_.importanceCutoff) || settings_.indirectSamples <= 0) {
    return result;
  }
  const int diffuseDepth = current.diffuseDepth + 1;
  float3 sum(0.0f);
  const NormalBasis basis(n);
  for (int i = 0; i < settings_.indirectSamples; ++i) {
    // Cosine-weighted directions: the plain mean of what they see is the irradiance over pi.
    const float3 c = gather(*P, basis, importance, diffuseDepth);
    if (finite(c)) sum += c;
  }
  *result = sum * (1.0f / static_cast<float>(settings_.indirectSamples));
  return result;
}

// ---------------------------------------------------------------------------------------------
// Random numbers and noise

float RenderHost::random1() {
  return random_.uniform();
}

pvx::float2* RenderHost::random2(pvx::float2* result) {
  result->x = random_.uniform();
  result->y = random_.uniform();
  return result;
}

float RenderHost::noise4(const pvx::float4* p) {
  return render::noise4(p->x, p->y, p->z, p->w);
}
float RenderHost::noise3(const pvx::float3* p) {
  return render::noise3(p->x, p->y, p->z);
}
float RenderHost::noise2(const pvx::float2* p) {
  return render::noise2(p->x, p->y);
}
float RenderHost::cellRandom(float identifier) {
  return render::cellRandom(identifier);
}
float RenderHost::lookup49(const pvx::float3* p) {
  return latticeValue(*p);
}

pvx::float3* RenderHost::cellVector(pvx::float3* result, const pvx::float3* cell) {
  *result = render::cellVector(*cell);
  return result;
}

}  // namespace tarvo::render

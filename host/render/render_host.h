// The host context of the renderer: what shaders call back into while they shade, and the one
// way of following a ray, in which the render mode decides how indirect light is gathered.
//
// What a surface looks like is its shade: the camera, and every ray a shader traces to see
// something (reflections, refractions, continuations), get the shade of the surface they hit,
// in both modes. Indirect diffuse light is gathered by shading what an indirectDiffuse ray hits
// (`shade` mode) or by a path (`path` mode), whose first direction is drawn from the cosine or,
// a quarter of the time, from the environment's brightness, weighed by the balance heuristic:
// scatter picks each bounce and evaluate weighs every light at it, except at a bounce drawn
// from no density (a mirror, smooth glass: no light direction meets it); a path surface that is not
// a bounce (no scatter entry, or a straight pass-through such as the shadow catcher's) gives its
// shade and ends the path. Both modes take diffuseDepth diffuse bounces; paths follow mirrors and
// glass on beyond them. Hits that indirect light is gathered from are given their lights tagged
// diffuse-only (a path hit takes evaluate's value up to a white diffuse surface's, 1 / pi): a
// light's highlight seen from a diffuse surface is a caustic, which gathering rays find by chance,
// one bright sample in thousands.
//
// One RenderHost per render thread. Services read the hit being shaded from a small stack of
// frames (ray kind, view-through flag, incoming direction, importance, diffuse bounces), so a
// trace from inside a shader shades its own hit with the same host and returns.
//
// Ray kinds and view-through of each trace (what the environments and background geometry see):
//
//   service / ray                        kind                       viewThrough
//   camera ray                           1                          0
//   traceContinue (straight through)     4 when the hit's ray was   set when the hit's ray was
//                                        a camera ray, else that    a camera ray or had it set
//                                        ray's kind
//   traceRay                             as asked                   set for a kind-4 ray going
//                                                                   on along a camera (or view-
//                                                                   through) ray's direction,
//                                                                   as the shadow plane asks
//   traceReflection                      2                          0
//   traceSpecular, traceAnisotropic      4                          0
//   traceRefraction                      as traceContinue           as traceContinue
//   indirectDiffuse rays                 2                          0
//   path bounces                         the scatterKind returned   0
//   a path leaving the scene             2                          0
//   shadow rays (material `shadow`)      the kind of the ray whose  0
//                                        hit asked for the light
//
// So camera rays continued or refracted through a surface still see the backplate and the flat
// background, and reflections see the environment image. A path that leaves the scene sees the
// image too, whatever kind its last scatter gave: 16 and 32 (through glass) would get the black
// the environments answer shadow-kind rays with, 1 (the legacy diffuse bounce) the backdrop.
//
// Shading states carry N and Ng turned towards the arriving ray (a ray leaving an object sees
// them point inwards), with frontFacing telling which side was hit; Po and No stay as the
// object has them.
//
// Lights: a light shader's colour is taken as the materials' shade entries take it, the
// brightness it gives a white diffuse surface facing it (irradiance over pi); a path weighs it
// by evaluate's value and cosine times pi, so both modes light a diffuse surface alike.
//
// Glossy traces spread over a cone: traceReflection and traceRefraction pick one direction
// uniformly in the cone of half-angle clamp(glossiness, 0, 1) x 45 degrees about the direction
// asked for; traceAnisotropic spreads R along U and V by tan(glossiness x 45 degrees) each. A
// trace whose importance (the product of the weights along the way) is below the cut-off, or
// that would exceed the depth limit, answers black. Occlusion and indirect diffuse send
// cosine-weighted rays about N; occlusion answers the open fraction within the AO reach.
#ifndef TARVO_HOST_RENDER_RENDER_HOST_H
#define TARVO_HOST_RENDER_RENDER_HOST_H

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "host/render/environment_light.h"
#include "host/render/scene.h"

namespace tarvo::render {

struct RenderCounters {
  uint64_t rays = 0;         // every ray cast: camera, traced, shadow and occlusion rays
  uint64_t samples = 0;      // camera samples
  uint64_t shaderCalls = 0;  // calls of shader entry points
  void add(const RenderCounters& o) {
    rays += o.rays;
    samples += o.samples;
    shaderCalls += o.shaderCalls;
  }
};

class RenderHost final : public pvx::IHostContext {
 public:
  explicit RenderHost(const Scene& scene);

  // Bytes of one host's light lists: one ring of lists per trace level, each as long as the
  // scene's light list.
  static int64_t lightListBytes(int maxDepth, size_t lights) {
    const int64_t levels = static_cast<int64_t>(std::max(1, maxDepth)) + 5;
    return levels * kListsPerLevel * static_cast<int64_t>(lights) *
           static_cast<int64_t>(sizeof(pvx::LightSample));
  }

  // Colour and alpha of one camera sample of pixel (px, py); the sample's random numbers
  // depend only on the seed, the pixel and the sample index.
  pvx::float4 renderSample(int px, int py, int sampleIndex);

  const RenderCounters& counters() const { return counters_; }
  void resetCounters() { counters_ = RenderCounters(); }
  // Seeds the random numbers as renderSample does (for tests driving the services directly).
  void seed(uint64_t pixel, uint64_t sampleIndex);

  // ---- IHostContext
  const pvx::LightSample* lightSamples(int32_t flags, const pvx::float3* P,
                                       const pvx::float3* N) override;
  pvx::float3* ambientLight(pvx::float3* result, const pvx::float3* P,
                            const pvx::float3* N) override;
  pvx::float3* shadowTransmission(pvx::float3* result, const pvx::float3* P,
                                  const pvx::float3* lightP) override;
  pvx::float3* traceRay(pvx::float3* result, int32_t rayKind, const pvx::float3* origin,
                        const pvx::float3* direction, float weight) override;
  pvx::float3* traceSpecular(pvx::float3* result, const pvx::float3* origin,
                             const pvx::float3* direction, float weight) override;
  pvx::float4* traceContinue(pvx::float4* result, const pvx::float3* P, const pvx::float3* I,
                             float weight) override;
  pvx::float3* traceAnisotropic(pvx::float3* result, const pvx::float3* P, const pvx::float3* R,
                                const pvx::float3* U, const pvx::float3* V, float glossinessU,
                                float glossinessV, float weight) override;
  pvx::float3* traceReflection(pvx::float3* result, const pvx::float3* P,
                               const pvx::float3* direction, float glossiness,
                               float weight) override;
  pvx::float4* traceRefraction(pvx::float4* result, const pvx::float3* P,
                               const pvx::float3* direction, float roughness,
                               float weight) override;
  pvx::float3* occlusion(pvx::float3* result, const pvx::float3* P, const pvx::float3* N,
                         float weight) override;
  pvx::float3* indirectDiffuse(pvx::float3* result, const pvx::float3* P, const pvx::float3* N,
                               float weight) override;
  float random1() override;
  pvx::float2* random2(pvx::float2* result) override;
  float noise4(const pvx::float4* pointAndPhase) override;
  float noise3(const pvx::float3* point) override;
  float noise2(const pvx::float2* point) override;
  float cellRandom(float identifier) override;
  float lookup49(const pvx::float3* latticePoint) override;
  pvx::float3* cellVector(pvx::float3* result, const pvx::float3* cell) override;

  // The light sample records are kept per nesting level, in a ring of this many lists.
  static constexpr int kListsPerLevel = 4;

 private:
  struct Frame {
    int32_t rayKind = pvx::kRayCamera;
    bool viewThrough = false;
    float3 I{0.0f, 0.0f, -1.0f};
    float importance = 1.0f;
    int diffuseDepth = 0;
  };

  // Shading state of a hit, ready for a material entry point.
  void fillHit(pvx::ShadingState* s, const Ray& ray, const Hit& hit, const SurfacePoint& p,
               const ShaderInstance* material, int32_t kind, bool viewThrough, float outsideIor,
               float mediumIor) const;
  pvx::float4 environment(const Ray& ray, int32_t kind, bool viewThrough);
  // What a ray sees: the shade of the first surface it meets that does not set ignoreHit.
  pvx::float4 traceShade(const Ray& ray, int32_t kind, bool viewThrough, float importance,
                         int diffuseDepth);
  // One sample of the indirect diffuse light at P (irradiance over pi), as the mode gathers
  // it: what a cosine-weighted ray sees, or a path (diffuseDepth counts the diffuse bounces so
  // far, this one included) along a direction drawn from cosines and the environment.
  float3 gather(float3 P, const NormalBasis& basis, float importance, int diffuseDepth);
  pvx::float4 tracePath(Ray ray, float importance, int diffuseDepth);
  // The environment tabulated as a light, on first use; null when there is none or it is
  // black.
  const EnvironmentLight* environmentLight();
  // A traced colour as a shader receives it: limited by the settings' clamp.
  pvx::float4 limited(pvx::float4 c) const;
  // Unshadowed colour and transmission of a light for a point; false when it gives nothing.
  bool queryLight(const Light& light, float3 P, float3 N, float3* color, float3* transmission,
                  float3* towardsLight);
  float3 transmission(float3 from, float3 to);
  Ray offsetRay(float3 P, float3 direction, float3 Ng) const;
  Ray spawn(float3 P, float3 direction) const;
  // A traced colour for a shader's request, importance and depth checks included.
  pvx::float4 request(const pvx::float3* origin, float3 direction, int32_t kind, bool viewThrough,
                      float weight);
  const Frame& frame() const { return frames_.empty() ? rootFrame_ : frames_.back(); }
  // A direction jittered inside a cone whose width grows with glossiness in [0, 1].
  float3 glossyDirection(const pvx::float3& direction, float glossiness);
  // Kind and view-through of a ray that goes on behind the hit being shaded.
  int32_t continuationKind() const;
  bool continuationViewThrough() const;

  const Scene& scene_;
  const RenderSettings& settings_;
  Random random_;
  pvx::RasterInfo raster_{};
  float epsilon_;
  float aoDistance_;
  Frame rootFrame_;
  // The camera's frame, worked out once: forward, and right and up scaled to the image plane.
  float3 cameraForward_, cameraRight_, cameraUp_;
  std::vector<Frame> frames_;
  std::unique_ptr<EnvironmentLight> environmentLight_;
  bool environmentLightBuilt_ = false;
  std::vector<std::array<std::vector<pvx::LightSample>, kListsPerLevel>> lightLists_;
  std::vector<int> lightListCursor_;
  RenderCounters counters_;
};

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_RENDER_HOST_H

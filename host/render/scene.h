// A scene as the renderer holds it: the loaded shader library, shader instances bound by name,
// geometry, lights, the environment, the camera and the render settings.
#ifndef TARVO_HOST_RENDER_SCENE_H
#define TARVO_HOST_RENDER_SCENE_H

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/parameter_table.h"
#include "host/plugin_library.h"
#include "host/render/geometry.h"
#include "host/render/math.h"
#include "host/render/textures.h"
#include "tarvo/tarvo.h"

namespace tarvo::render {

// One shader instance: the bound shader, its kind and capability mask, and where its
// declared varyings go in the state's varying block (-1 when not declared).
struct ShaderInstance {
  std::string name;
  std::unique_ptr<host::BoundShader> bound;
  int32_t kind = 0;
  int32_t mask = 0;
  int uvOffset = -1;
  int uv1Offset = -1;
  int tangentOffset = -1;
  int bitangentOffset = -1;
  int colorOffset = -1;

  const std::string& className() const { return bound->className(); }
  // The interface of the instance's kind, by the kind read when the scene adopted it (the render
  // loop asks on every hit; the bound shader's own check asks the library). The wrong kind
  // throws as BoundShader does.
  const pvx::MaterialShader* material() const {
    return kind == pvx::kKindMaterial ? static_cast<const pvx::MaterialShader*>(bound->get())
                                      : bound->material();
  }
  const pvx::LightShader* light() const {
    return kind == pvx::kKindLight ? static_cast<const pvx::LightShader*>(bound->get())
                                   : bound->light();
  }
  const pvx::EnvironmentShader* environment() const {
    return kind == pvx::kKindEnvironment ? static_cast<const pvx::EnvironmentShader*>(bound->get())
                                         : bound->environment();
  }
  bool has(int32_t capability) const { return (mask & capability) != 0; }
};

// A light: where it sits, where it aims, and the light shader answering its queries. A
// diffuse-only light carries the tag materials read as "no highlight".
struct Light {
  std::string name;
  float3 position{0.0f, 0.0f, 5.0f};
  float3 axis{0.0f, 0.0f, -1.0f};
  int shader = -1;
  bool diffuseOnly = false;
};

// A pinhole camera; the world is z-up like the environments' latitude-longitude mapping.
struct Camera {
  float3 position{0.0f, -10.0f, 2.0f};
  float3 target{0.0f, 0.0f, 0.0f};
  float3 up{0.0f, 0.0f, 1.0f};
  float fovY = 40.0f;  // degrees, vertical
  // Width over height the camera was made for (a glTF camera's), which an image given by one
  // side keeps; 0: any.
  double aspectRatio = 0.0;

  // Direction through the continuous raster position (x right, y down, pixels).
  float3 direction(float x, float y, int width, int height) const;
  // Raster position of a world point; false when it lies behind the camera.
  bool project(float3 point, int width, int height, float* x, float* y) const;
};

enum class RenderMode { Shade, Path };

struct RenderSettings {
  int width = 640;
  int height = 360;
  int samples = 16;
  RenderMode mode = RenderMode::Shade;
  uint64_t seed = 1;
  int threads = 0;                   // 0: every core
  int maxDepth = 6;                  // nested traces (shade) or bounces (path)
  int diffuseDepth = 1;              // diffuse bounces of indirect light
  int aoSamples = 1;                 // rays per occlusion query
  float aoDistance = 0.0f;           // reach of occlusion rays; 0: the scene's radius
  int indirectSamples = 1;           // rays per indirect-diffuse query
  float importanceCutoff = 0.01f;    // traces whose importance falls below give black
  float3 ambient{0.0f, 0.0f, 0.0f};  // answer of the ambient-light service
  // What Ci holds before a material's shade runs: a material whose shade writes nothing shows
  // this colour.
  float4 prefill{0.8f, 0.2f, 0.8f, 1.0f};
  // An opaque film writes alpha 1 everywhere; a transparent one keeps the shaders' alpha (the
  // shadow catcher's, the backdrop's 0).
  bool transparentFilm = false;
  // Largest channel of a colour a traced ray brings back to a shader; 0: no limit.
  float clamp = 0.0f;
  float exposure = 0.0f;  // stops, applied before writing
  // The band of rows rendered, [firstRow, endRow) (endRow 0: to the bottom), for a frame split
  // over machines; the film then holds these rows alone.
  int firstRow = 0;
  int endRow = 0;
};

// Text drawn over the finished image at the raster position of a world point.
// With `screen` set the anchor's x and y are fractions of the image width and height instead.
struct Label {
  std::string text;
  float3 anchor{0.0f, 0.0f, 0.0f};
  float size = 0.0f;  // pixels; 0 picks one from the image height
  bool screen = false;
  // The largest size a picked one may take: its longest line times the size squared stays
  // within the label-area ceiling (0: no ceiling).
  float largest = 0.0f;

  // Characters (not bytes) of the longest line: drawing the text costs about these times the
  // size squared, in time and memory.
  int64_t longestLine() const;
};

class Scene {
 public:
  explicit Scene(std::shared_ptr<const host::PluginLibrary> library);
  ~Scene();
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  const host::PluginLibrary& library() const { return *library_; }

  // Creates an instance of a catalogue class by name (throws host::PluginError with the
  // nearest names for an unknown class). Matrices left all zero by the class are set to
  // identity, the host's binding of an unset transform.
  ShaderInstance& addShader(const std::string& name, const std::string& className);
  // Adopts an instance made elsewhere (a host-side shader in tests).
  ShaderInstance& addShader(const std::string& name, pvx::ShaderPtr shader,
                            const std::string& className);
  int findShader(const std::string& name) const;
  const ShaderInstance& shader(int index) const { return *shaders_[static_cast<size_t>(index)]; }
  ShaderInstance& shader(int index) { return *shaders_[static_cast<size_t>(index)]; }
  const std::vector<std::unique_ptr<ShaderInstance>>& shaders() const { return shaders_; }

  TextureLibrary& textures() { return textures_; }
  const TextureLibrary& textures() const { return textures_; }

  // Geometry is set once, after every object is known.
  void setObjects(std::vector<Object> objects);
  const Geometry& geometry() const { return *geometry_; }
  bool hasGeometry() const { return geometry_ != nullptr; }

  Camera camera;
  RenderSettings settings;
  std::vector<Light> lights;
  int environment = -1;
  std::vector<Label> labels;
  std::string title;  // shown in progress output
  // What the scene file holds that will not show as its author meant, each message starting
  // with the file, line and column (see scene_warnings.h).
  std::vector<std::string> warnings;
  // The files the scene was read from besides its textures, each with what it is ("scene
  // file", "mesh", "glTF model", ...): an output must never replace one.
  std::vector<std::pair<std::string, std::string>> sources;

  // True when some material of the scene has a shadow entry (shadow rays must then ask it).
  bool anyShadowEntry() const { return anyShadowEntry_; }

 private:
  ShaderInstance& adopt(const std::string& name, std::unique_ptr<host::BoundShader> bound);

  std::shared_ptr<const host::PluginLibrary> library_;
  TextureLibrary textures_;
  std::vector<std::unique_ptr<ShaderInstance>> shaders_;
  std::unordered_map<std::string, int> byName_;  // the first instance of each name
  std::unique_ptr<Geometry> geometry_;
  bool anyShadowEntry_ = false;
};

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_SCENE_H

// glTF 2.0 models (.gltf with its buffers and images, or .glb) read through tinygltf: the
// triangle meshes of the default scene with their node transforms, normals, tangents and first
// texture coordinates; metallic-roughness materials mapped to this library's classes with their
// base colour, roughness and normal textures; KHR_lights_punctual point and spot lights; the
// first perspective camera. glTF is y-up and this renderer z-up: a model is turned +90 degrees
// about x before its placement. scenes/README.md has the material and light mapping table.
//
// Every file the model names is checked against the renderer's limits, every accessor against
// its buffer view and buffer, every index against its vertex count; a model that breaks a rule
// is refused whole with a GltfError naming the file and what is wrong, never half read.
#ifndef TARVO_HOST_RENDER_GLTF_SCENE_H
#define TARVO_HOST_RENDER_GLTF_SCENE_H

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/render/limits.h"
#include "host/render/scene.h"

namespace tarvo::render {

class GltfError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How a model is put into a scene, and what the scene file says about its materials.
struct GltfPlacement {
  Transform transform;  // applied after the y-up to z-up turn
  bool castsShadows = true;
  // Names the model's shaders, objects and lights get are "<prefix>/<glTF name>".
  std::string prefix;
  // For a glTF material's name: the index of a scene material used instead of it, or -1.
  std::function<int(const std::string&)> replacement;
  // For a glTF material's name: the class to map it to instead of the usual one ("" keeps it).
  std::function<std::string(const std::string&)> classOverride;
  // Called once a mapped material's instance has its mapped parameters: the scene file's own
  // settings go on top.
  std::function<void(const std::string&, ShaderInstance&)> adjust;
};

// What a model brought besides its shaders and lights (added to the scene directly).
struct GltfContents {
  std::vector<Object> objects;
  std::vector<std::string> materialNames;  // every glTF material, by name
  bool hasCamera = false;
  Camera camera;                    // the first perspective camera, placed
  double aspectRatio = 0.0;         // the camera's, 0 when it gives none
  float3 lower{0.0f}, upper{0.0f};  // world bounds of the placed meshes
  int64_t triangles = 0;
};

// Reads the model at `path` and adds its materials and lights to `scene`; the objects are
// returned for the caller to add with its own. Warnings (things read a simpler way) go to the
// scene's warnings. `trianglesSoFar` counts towards the triangle ceiling.
GltfContents addGltfModel(Scene& scene, const std::string& path, const GltfPlacement& placement,
                          const Limits& limits, int64_t trianglesSoFar = 0);

// A scene of the model alone, as `tarvo-render model.gltf` renders it: its first camera (or one
// framing every mesh, with the default settings), its lights (or, without any, a point light at
// the camera) and the generated sky as the environment when its class is built.
std::unique_ptr<Scene> loadGltfScene(const std::string& path,
                                     std::shared_ptr<const host::PluginLibrary> library,
                                     const Limits& limits = Limits());

// True for the names loadGltfScene reads (.gltf and .glb, any letter case).
bool isGltfFile(const std::string& path);

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_GLTF_SCENE_H

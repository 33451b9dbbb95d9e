// Scene files: JSON describing the camera, the render settings, shader instances with their
// parameters by declared name, objects, lights, the environment, clipping planes and labels.
// The format is described in scenes/README.md. Errors are SceneError exceptions whose message
// starts with "file:line:column:" and names the shader, object or light and the parameter.
#ifndef TARVO_HOST_RENDER_SCENE_FILE_H
#define TARVO_HOST_RENDER_SCENE_FILE_H

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "host/render/limits.h"
#include "host/render/scene.h"

namespace tarvo::render {

class SceneError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a scene file; relative file names inside it are taken from the file's folder. Only a
// regular file within the limits is read; every value beyond a ceiling is refused with its
// location (depths beyond theirs are clamped, with a warning). A name ending in .gltf or .glb is
// a glTF model rendered on its own (loadGltfScene).
std::unique_ptr<Scene> loadScene(const std::string& path,
                                 std::shared_ptr<const host::PluginLibrary> library,
                                 const Limits& limits = Limits());

// Reads a scene from text. `displayName` names it in messages; `folder` resolves relative
// file names.
std::unique_ptr<Scene> loadSceneText(const std::string& text, const std::string& displayName,
                                     const std::string& folder,
                                     std::shared_ptr<const host::PluginLibrary> library,
                                     const Limits& limits = Limits());

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_SCENE_FILE_H

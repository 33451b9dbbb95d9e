// The embedded showcase: every material class of the library on a sphere of its own, labelled
// with its class name, over a ground, lit by a point and a spot light, under the default
// environment with a sky image the host generates.
#ifndef TARVO_HOST_RENDER_SHOWCASE_H
#define TARVO_HOST_RENDER_SHOWCASE_H

#include <memory>
#include <string>
#include <vector>

#include "host/render/limits.h"
#include "host/render/scene.h"

namespace tarvo::render {

struct ShowcaseOptions {
  int width = 1280;
  int height = 720;
  int samples = 16;
  // Also show classes whose entry points write nothing yet (they show the host's pre-fill).
  bool includeUnimplemented = false;
  // A latitude-longitude image for the environment; empty: the host generates a sky.
  std::string environmentImage;
  // The ceilings the showcase scene is read under.
  Limits limits;
};

// True when the shader's shade entry answers a probe hit (writes its colour or its light, or
// sets ignoreHit): classes still being built declare their mask but write nothing.
bool answersProbe(const host::BoundShader& shader);

// The showcase scene as scene-file JSON text, one sphere per entry: a material class, or
// "Class (preset)" for a class shown in one of its guises (the Ward material's plastic, brushed
// metal and glass).
std::string showcaseSceneText(const host::PluginLibrary& library,
                              const std::vector<std::string>& materials,
                              const ShowcaseOptions& options);

// Builds the showcase; `shown` and `left` receive the classes on display and those left out.
std::unique_ptr<Scene> makeShowcase(std::shared_ptr<const host::PluginLibrary> library,
                                    const ShowcaseOptions& options,
                                    std::vector<std::string>* shown = nullptr,
                                    std::vector<std::string>* left = nullptr);

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_SHOWCASE_H

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
  // A latitude-longitude image for the environment; empty: the host generates a sky.
  std::string environmentImage;
  // The ceilings the showcase scene is read under.
  Limits limits;
};

// The showcase scene as scene-file JSON text, one sphere per entry: a material class, or
// "Class (preset)" for a class shown in one of its guises (the Ward material's plastic, brushed
// metal and glass).
std::string showcaseSceneText(const host::PluginLibrary& library,
                              const std::vector<std::string>& materials,
                              const ShowcaseOptions& options);

// Builds the showcase of every material class of the catalogue.
std::unique_ptr<Scene> makeShowcase(std::shared_ptr<const host::PluginLibrary> library,
                                    const ShowcaseOptions& options);

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_SHOWCASE_H

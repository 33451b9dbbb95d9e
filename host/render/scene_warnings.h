// Warnings about a scene that loads but would not show what its author meant: each names the
// shader, light, object or camera, the parameter and its value, and what to set instead, at the
// place in the scene file that holds it (or would hold it). The class defaults stay as the
// classes declare them; the warnings say where one of them is the reason for a black or
// mirror-like picture.
#ifndef TARVO_HOST_RENDER_SCENE_WARNINGS_H
#define TARVO_HOST_RENDER_SCENE_WARNINGS_H

#include <map>
#include <string>
#include <vector>

#include "host/render/scene.h"

namespace tarvo::render {

// Where the scene file wrote each thing, as "file:line:column: " prefixes; anything without
// an entry is placed at `file` ("file: ").
struct SceneSources {
  std::string file;
  std::map<std::string, std::string> shaders;  // shader name -> its entry in "shaders"
  // shader name -> parameter -> its value, for the values the scene gave
  std::map<std::string, std::map<std::string, std::string>> parameters;
  std::vector<std::string> objects;  // one per object of the geometry, in order
  std::string camera;
};

// Appends to scene.warnings, for:
//   - a light whose shader delivers black at every distance (its colour or falloff);
//   - a material whose reflectivity curve is 1 at every angle although it has a diffuse colour
//     (the Ward family and the metal: the diffuse part is weighted by 1 - reflectivity);
//   - a value the scene gave outside the range or the mode values its parameter note documents;
//   - an object without a material;
//   - a camera that sees no object (or a scene with neither objects nor an environment).
// Needs the scene's geometry.
void warnAboutScene(Scene& scene, const SceneSources& sources);

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_SCENE_WARNINGS_H

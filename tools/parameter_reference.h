// The parameter reference the tools generate from the catalogue, the classes' declarations and
// their notes: a parameter's note as one line, the Markdown reference (docs/parameters.md) and
// the JSON Schema of scene files (scenes/scene.schema.json).
#ifndef TARVO_TOOLS_PARAMETER_REFERENCE_H
#define TARVO_TOOLS_PARAMETER_REFERENCE_H

#include <nlohmann/json.hpp>
#include <string>

#include "host/parameter_table.h"
#include "host/plugin_library.h"

namespace tarvo::tools {

// A parameter's default as JSON, read from a freshly created instance (null for an unbound
// texture).
nlohmann::ordered_json defaultJson(const host::BoundShader& shader,
                                   const host::ParameterRecord& parameter);

// One section per class: kind, capability mask, entry points and the parameter table.
std::string markdownReference(const host::PluginLibrary& library);

// The scene file format, with every class's parameters typed, ranged and described.
nlohmann::ordered_json sceneSchema(const host::PluginLibrary& library);

}  // namespace tarvo::tools

#endif  // TARVO_TOOLS_PARAMETER_REFERENCE_H

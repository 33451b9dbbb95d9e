#include "tools/parameter_reference.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "host/class_listing.h"
#include "notes/parameter_notes.h"

namespace tarvo::tools {

namespace {

using host::ParamType;
using json = nlohmann::ordered_json;

// The "(kind, position)" order of a class's declarations: parameters with the varyings between
// them where they were declared.
struct Declaration {
  const host::ParameterRecord* parameter = nullptr;
  const host::VaryingRecord* varying = nullptr;
  std::string name() const { return parameter ? parameter->name : varying->name; }
};

std::vector<Declaration> declarations(const host::ParameterTable& table) {
  std::vector<Declaration> out;
  size_t nextVarying = 0;
  const auto varyingsBefore = [&](size_t position) {
    while (nextVarying < table.varyings().size() &&
           static_cast<size_t>(table.varyings()[nextVarying].position) <= position) {
      out.push_back({nullptr, &table.varyings()[nextVarying++]});
    }
  };
  for (size_t i = 0; i < table.parameters().size(); ++i) {
    varyingsBefore(i);
    out.push_back({&table.parameters()[i], nullptr});
  }
  varyingsBefore(table.parameters().size());
  return out;
}

std::string text(const char* s) {
  return s ? s : "";
}

// A Markdown table cell: bars escaped, so mode lists stay in their cell.
std::string cell(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '|') out += '\\';
    out += c;
  }
  return out;
}

std::string counted(size_t n, const char* noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

std::string backquoted(const std::string& s) {
  return "`" + s + "`";
}

std::string defaultText(const host::BoundShader& shader, const host::ParameterRecord& p) {
  return host::valueText(shader, p);
}

// The schema of one number under a note's interval.
json rangedNumber(const pvx::NoteRange& range, bool integer) {
  json n = {{"type", integer ? "integer" : "number"}};
  if (range.form == pvx::NoteRange::Form::Interval) {
    if (std::isfinite(range.low)) n[range.lowOpen ? "exclusiveMinimum" : "minimum"] = range.low;
    if (std::isfinite(range.high)) n[range.highOpen ? "exclusiveMaximum" : "maximum"] = range.high;
  }
  return n;
}

json numberArray(json item, int count) {
  return {{"type", "array"}, {"items", std::move(item)}, {"minItems", count}, {"maxItems", count}};
}

json parameterSchema(const host::BoundShader& shader, const host::ParameterRecord& p,
                     const pvx::NoteText* note) {
  const pvx::NoteRange range = pvx::parseNoteRange(note ? note->range : nullptr);
  json s;
  switch (p.type) {
    case ParamType::Bool:
      s = {{"type", "boolean"}};
      break;
    case ParamType::Int:
      if (range.form == pvx::NoteRange::Form::Values) {
        json values = json::array();
        for (const auto& [v, meaning] : range.values)
          values.push_back(v);
        s = {{"enum", values}};
      } else {
        s = rangedNumber(range, true);
      }
      break;
    case ParamType::Float:
      s = rangedNumber(range, false);
      break;
    case ParamType::Float2:
    case ParamType::Color:
    case ParamType::ColorAlpha:
      s = numberArray(rangedNumber(range, false), host::floatCount(p.type));
      break;
    case ParamType::Mat3:
    case ParamType::Mat4:
      s = numberArray({{"type", "number"}}, host::floatCount(p.type));
      break;
    case ParamType::Texture1D:
      s = {{"$ref", "#/$defs/texture1d"}};
      break;
    case ParamType::Texture2D:
      s = {{"$ref", "#/$defs/texture2d"}};
      break;
    case ParamType::TextureCube:
      s = {{"$ref", "#/$defs/texturecube"}};
      break;
  }
  std::string description = note ? text(note->meaning) : std::string();
  if (note && note->range && range.form != pvx::NoteRange::Form::Interval)
    description += " (" + text(note->range) + ")";
  if (note && note->unit) description += " [" + text(note->unit) + "]";
  if (!description.empty()) s["description"] = description;
  if (p.type != ParamType::Texture1D && p.type != ParamType::Texture2D &&
      p.type != ParamType::TextureCube) {
    s["default"] = defaultJson(shader, p);
  }
  return s;
}

json vec(int count) {
  return numberArray({{"type", "number"}}, count);
}

json objectOf(json properties) {
  return {
      {"type", "object"}, {"additionalProperties", false}, {"properties", std::move(properties)}};
}

json commonDefinitions() {
  json defs;
  defs["vec2"] = vec(2);
  defs["vec3"] = vec(3);
  defs["vec4"] = vec(4);
  const json texels = {{"type", "array"}, {"minItems", 1}, {"items", {{"$ref", "#/$defs/vec4"}}}};
  const json colorspace = {{"enum", {"srgb", "linear", "auto"}}};
  const json wrap = {{"enum", {"periodic", "clamp", "black"}}};
  const json string = {{"type", "string"}};
  const json null = {{"type", "null"}};
  const json generated = {{"enum", {"sky", "checker", "flakes"}}};
  json image = objectOf({{"file", string},
                         {"colorspace", colorspace},
                         {"wrap", wrap},
                         {"generated", generated},
                         {"texels", texels},
                         {"width", {{"type", "integer"}, {"minimum", 1}}}});
  // An object form needs one of its sources.
  image["anyOf"] = json::array(
      {{{"required", {"file"}}}, {{"required", {"generated"}}}, {{"required", {"texels"}}}});
  defs["texture2d"] = {{"description",
                        "a file name, {\"file\": ...} with colorspace and wrap, {\"generated\": "
                        "\"sky\" | \"checker\" | \"flakes\"}, {\"texels\": [[r, g, b, a], "
                        "...], \"width\": n} or null (unbound)"},
                       {"anyOf", json::array({string, null, image})}};
  const json vectors = {{"type", "array"}, {"items", {{"$ref", "#/$defs/vec4"}}}};
  json data = objectOf({{"planes", vectors}, {"texels", vectors}, {"file", string}});
  defs["texture1d"] = {{"description",
                        "\"clippingPlanes\" (the scene's list), {\"planes\": [[a, b, c, d], "
                        "...]}, {\"texels\": [[r, g, b, a], ...]}, {\"file\": ...} or null "
                        "(unbound)"},
                       {"anyOf", json::array({{{"const", "clippingPlanes"}}, null, data})}};
  json faces = {{"type", "array"}, {"items", string}, {"minItems", 6}, {"maxItems", 6}};
  // Six face files, or any 2-D image form read as a latitude-longitude picture.
  json cube = objectOf({{"file", string},
                        {"colorspace", colorspace},
                        {"wrap", wrap},
                        {"generated", generated},
                        {"faces", faces},
                        {"texels", texels},
                        {"width", {{"type", "integer"}, {"minimum", 1}}}});
  cube["anyOf"] = json::array({{{"required", {"file"}}},
                               {{"required", {"generated"}}},
                               {{"required", {"texels"}}},
                               {{"required", {"faces"}}}});
  defs["texturecube"] = {{"description",
                          "a latitude-longitude picture in any 2-D form (a file name, "
                          "{\"file\": ...}, {\"generated\": ...}, {\"texels\": ...}), "
                          "{\"faces\": [+x, -x, +y, -y, +z, -z]} or null (unbound)"},
                         {"anyOf", json::array({string, null, cube})}};
  defs["transform"] = objectOf({{"matrix", vec(16)},
                                {"scale", {{"anyOf", {{{"type", "number"}}, vec(3)}}}},
                                {"rotate", {{"$ref", "#/$defs/vec3"}}},
                                {"translate", {{"$ref", "#/$defs/vec3"}}}});
  const json count = {{"type", "integer"}, {"minimum", 0}};
  json settings = objectOf(
      {{"width", {{"type", "integer"}, {"minimum", 1}}},
       {"height", {{"type", "integer"}, {"minimum", 1}}},
       {"samples", {{"type", "integer"}, {"minimum", 1}}},
       {"mode", {{"enum", {"shade", "path"}}}},
       {"seed", {{"type", "integer"}, {"minimum", 0}}},
       {"threads", count},
       {"maxDepth", {{"type", "integer"}, {"minimum", 1}}},
       {"diffuseDepth", count},
       {"aoSamples", count},
       {"indirectSamples", count},
       {"aoDistance", {{"type", "number"}, {"minimum", 0}}},
       {"importanceCutoff", {{"type", "number"}, {"minimum", 0}, {"maximum", 1}}},
       {"ambient", {{"$ref", "#/$defs/vec3"}}},
       {"prefill", {{"$ref", "#/$defs/vec4"}}},
       {"film",
        {{"enum", {"opaque", "transparent"}},
         {"description", "opaque (default): alpha 1 everywhere; transparent: the shaders' alpha"}}},
       {"clamp",
        {{"anyOf", {{{"const", "off"}}, {{"type", "number"}, {"exclusiveMinimum", 0}}}},
         {"description", "brightest channel a traced ray brings back to a shader"}}},
       {"exposure", {{"type", "number"}, {"minimum", -64}, {"maximum", 64}}}});
  defs["settings"] = settings;
  defs["camera"] = objectOf({{"position", {{"$ref", "#/$defs/vec3"}}},
                             {"lookAt", {{"$ref", "#/$defs/vec3"}}},
                             {"up", {{"$ref", "#/$defs/vec3"}}},
                             {"fov", {{"type", "number"}, {"description", "vertical [degrees]"}}}});
  json object =
      objectOf({{"name", {{"type", "string"}}},
                {"type", {{"enum", {"sphere", "plane", "box", "mesh", "gltf"}}}},
                {"radius", {{"type", "number"}, {"exclusiveMinimum", 0}}},
                {"size", {{"anyOf", {vec(2), vec(3)}}}},
                {"file",
                 {{"type", "string"},
                  {"description",
                   "an OBJ mesh (type mesh) or a glTF model, .gltf or .glb (type "
                   "gltf)"}}},
                {"material",
                 {{"type", "string"},
                  {"description", "a scene material; on a gltf object it replaces every one"}}},
                {"materials",
                 {{"type", "object"},
                  {"description", "gltf objects: glTF material name -> replacement"},
                  {"additionalProperties", {{"$ref", "#/$defs/gltfMaterial"}}}}},
                {"transform", {{"$ref", "#/$defs/transform"}}},
                {"castsShadows", {{"type", "boolean"}}},
                {"uvScale", {{"$ref", "#/$defs/vec2"}}}});
  object["required"] = {"type"};
  const auto ofType = [](const char* type) {
    return json{{"properties", {{"type", {{"const", type}}}}}, {"required", {"type"}}};
  };
  // A mesh and a model need their file; only a model maps its materials.
  object["allOf"] = json::array(
      {{{"if", ofType("mesh")}, {"then", {{"required", {"file"}}}}},
       {{"if", ofType("gltf")}, {"then", {{"required", {"file"}}}}},
       {{"if", {{"not", ofType("gltf")}}}, {"then", {{"properties", {{"materials", false}}}}}}});
  defs["object"] = object;
  json light = objectOf({{"name", {{"type", "string"}}},
                         {"shader", {{"type", "string"}, {"description", "a light shader"}}},
                         {"position", {{"$ref", "#/$defs/vec3"}}},
                         {"axis", {{"$ref", "#/$defs/vec3"}}},
                         {"lookAt", {{"$ref", "#/$defs/vec3"}}},
                         {"diffuseOnly", {{"type", "boolean"}}}});
  light["required"] = {"shader"};
  light["not"] = {{"required", {"axis", "lookAt"}}};
  defs["light"] = light;
  defs["label"] = objectOf({{"text", {{"type", "string"}}},
                            {"at", {{"$ref", "#/$defs/vec3"}}},
                            {"size", {{"type", "number"}, {"minimum", 0}}}});
  return defs;
}

}  // namespace

json defaultJson(const host::BoundShader& shader, const host::ParameterRecord& p) {
  const void* address = shader.address(p.name);
  switch (p.type) {
    case ParamType::Bool: {
      unsigned char v;
      std::memcpy(&v, address, sizeof v);
      return v != 0;
    }
    case ParamType::Int: {
      int32_t v;
      std::memcpy(&v, address, sizeof v);
      return v;
    }
    case ParamType::Texture1D:
    case ParamType::Texture2D:
    case ParamType::TextureCube: {
      pvx::Texture2D handle;
      std::memcpy(&handle, address, sizeof handle);
      if (handle.object == nullptr) return nullptr;
      return "bound";
    }
    default: {
      std::vector<float> values(static_cast<size_t>(host::floatCount(p.type)));
      std::memcpy(values.data(), address, sizeof(float) * values.size());
      if (p.type == ParamType::Float) return values[0];
      json array = json::array();
      for (float v : values)
        array.push_back(v);
      return array;
    }
  }
}

std::string markdownReference(const host::PluginLibrary& library) {
  std::string out =
      "# Shader parameters\n\n"
      "Generated by `tarvo-inspect --markdown` from the class descriptions; regenerate with\n"
      "`scripts/update-parameter-docs.sh`. Each class lists its declarations in order: the\n"
      "binder type, the default a new instance holds, what the parameter means, its useful\n"
      "range (or what each value of a mode selects) and its unit. Varyings are the per-vertex\n"
      "values the host supplies, at their offset in the varying block.\n\n";
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    // Heading anchors are the heading in lower case.
    std::string anchor = entry.className;
    for (char& c : anchor)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const char* summary = pvx::classSummary(entry.className);
    out += "- [" + std::string(entry.className) + "](#" + anchor + ")" +
           (summary ? std::string(": ") + summary : std::string()) + "\n";
  }
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    host::BoundShader shader(library.create(entry.className), entry.className);
    const host::ParameterTable& table = shader.table();
    out += "\n## " + std::string(entry.className) + "\n\n";
    if (const char* summary = pvx::classSummary(entry.className)) {
      std::string sentence = summary;
      sentence[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(sentence[0])));
      out += sentence + ".\n\n";
    }
    out += std::string("Kind: ") + host::kindName(shader.kind()) + ". Capability mask " +
           std::to_string(table.capabilityMask()) + ": " +
           host::joinNames(host::capabilityNames(table.capabilityMask()), ", ") + ". " +
           counted(table.parameters().size(), "parameter") + ", " +
           counted(table.varyings().size(), "varying") + ".\n";
    out += "\n| # | Name | Type | Default | Meaning | Range | Unit |\n";
    out += "|---|---|---|---|---|---|---|\n";
    size_t number = 0;
    for (const Declaration& d : declarations(table)) {
      const pvx::NoteText* note = pvx::parameterNote(entry.className, d.name());
      const std::string meaning = note ? cell(text(note->meaning)) : "";
      const std::string range = note ? cell(text(note->range)) : "";
      const std::string unit = note ? cell(text(note->unit)) : "";
      if (d.parameter) {
        out += "| " + std::to_string(++number) + " | " + backquoted(d.name()) + " | " +
               host::typeName(d.parameter->type) + " | " + cell(defaultText(shader, *d.parameter)) +
               " | " + meaning + " | " + range + " | " + unit + " |\n";
      } else {
        out += "| | " + backquoted(d.name()) + " | varying " +
               host::varyingTypeName(d.varying->typeCode) + " | offset " +
               std::to_string(d.varying->offset) + " | " + meaning + " | " + range + " | " + unit +
               " |\n";
      }
    }
  }
  return out;
}

json sceneSchema(const host::PluginLibrary& library) {
  json defs = commonDefinitions();
  json classNames = json::array();
  json byClass = json::array();
  // A parameter schema shared by several classes (the shared groups, the Ward family) is
  // written once under "parameter.<name>" and referred to.
  struct Declared {
    std::string className, name;
    json schema;
  };
  std::vector<Declared> declared;
  std::map<std::string, int> uses;  // by the schema's text, name included
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    host::BoundShader shader(library.create(entry.className), entry.className);
    for (const host::ParameterRecord& p : shader.table().parameters()) {
      json schema = parameterSchema(shader, p, pvx::parameterNote(entry.className, p.name));
      ++uses[p.name + schema.dump()];
      declared.push_back({entry.className, p.name, std::move(schema)});
    }
  }
  std::map<std::string, std::string> sharedName;  // schema text -> definition name
  const auto reference = [&](const Declared& d) -> json {
    const std::string key = d.name + d.schema.dump();
    if (uses[key] < 2) return d.schema;
    auto [it, added] = sharedName.emplace(key, "parameter." + d.name);
    if (added) {
      for (int n = 2; defs.contains(it->second); ++n)
        it->second = "parameter." + d.name + "." + std::to_string(n);
      defs[it->second] = d.schema;
    }
    return {{"$ref", "#/$defs/" + it->second}};
  };
  size_t next = 0;
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    classNames.push_back(entry.className);
    json properties = json::object();
    for (; next < declared.size() && declared[next].className == entry.className; ++next)
      properties[declared[next].name] = reference(declared[next]);
    json parameters = {
        {"type", "object"}, {"properties", properties}, {"additionalProperties", false}};
    if (const char* summary = pvx::classSummary(entry.className)) {
      parameters["description"] = std::string(entry.className) + ": " + summary;
    }
    const std::string defName = std::string("parameters.") + entry.className;
    defs[defName] = parameters;
    byClass.push_back(
        {{"if",
          {{"properties", {{"class", {{"const", entry.className}}}}}, {"required", {"class"}}}},
         {"then", {{"properties", {{"parameters", {{"$ref", "#/$defs/" + defName}}}}}}}});
  }
  json shader = objectOf({{"class", {{"enum", classNames}}}, {"parameters", {{"type", "object"}}}});
  shader["required"] = {"class"};
  // Each class's own parameters, once for the scene's shaders and the glTF replacements.
  defs["parametersOfClass"] = {{"allOf", byClass}};
  shader["$ref"] = "#/$defs/parametersOfClass";
  defs["shader"] = shader;
  // A glTF material replaced by a scene material's name, or given another class and
  // parameters set over the mapped ones (of the mapped class when no class is named).
  json changed =
      objectOf({{"class", {{"enum", classNames}}}, {"parameters", {{"type", "object"}}}});
  changed["$ref"] = "#/$defs/parametersOfClass";
  defs["gltfMaterial"] = {
      {"description", "a scene material's name or {\"class\": ..., \"parameters\": {...}}"},
      {"anyOf", json::array({{{"type", "string"}}, changed})}};

  json root = {{"$schema", "https://json-schema.org/draft/2020-12/schema"},
               {"title", "tarvoShaders scene file"},
               {"description",
                "Generated by tarvo-inspect --scene-schema; regenerate with "
                "scripts/update-parameter-docs.sh. The format is described in scenes/README.md."},
               {"type", "object"},
               {"additionalProperties", false}};
  root["properties"] = {
      {"$schema", {{"type", "string"}}},
      {"title", {{"type", "string"}}},
      {"camera", {{"$ref", "#/$defs/camera"}}},
      {"settings", {{"$ref", "#/$defs/settings"}}},
      {"shaders", {{"type", "object"}, {"additionalProperties", {{"$ref", "#/$defs/shader"}}}}},
      {"objects", {{"type", "array"}, {"items", {{"$ref", "#/$defs/object"}}}}},
      {"lights", {{"type", "array"}, {"items", {{"$ref", "#/$defs/light"}}}}},
      {"environment", {{"type", "string"}, {"description", "an environment shader"}}},
      {"clippingPlanes", {{"type", "array"}, {"items", {{"$ref", "#/$defs/vec4"}}}}},
      {"labels", {{"type", "array"}, {"items", {{"$ref", "#/$defs/label"}}}}}};
  root["$defs"] = defs;
  return root;
}

}  // namespace tarvo::tools

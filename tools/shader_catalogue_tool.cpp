// tarvo-inspect: lists the shader catalogue of a tarvoShaders library with a line on what each
// class is for, or one class's parameters in declaration order with their types, default
// values, meanings and ranges, and its varyings.
// Like oslinfo for shaders; --json for machines. --markdown writes the parameter reference
// (docs/parameters.md) and --scene-schema the JSON Schema of scene files
// (scenes/scene.schema.json); the notes come from tarvoShaders_notes, not from the library.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "host/class_listing.h"
#include "host/nearest_names.h"
#include "host/parameter_table.h"
#include "host/plugin_library.h"
#include "notes/parameter_notes.h"
#include "tools/parameter_reference.h"

namespace {

using tarvo::host::BoundShader;
using tarvo::host::capabilityNames;
using tarvo::host::joinNames;
using tarvo::host::kindName;
using tarvo::host::ParamType;
using tarvo::host::PluginLibrary;
using tarvo::host::varyingTypeName;

struct ClassSummary {
  std::string name;
  int32_t kind = 0;
  int32_t mask = 0;
  size_t parameters = 0;
  size_t varyings = 0;
};

std::string summaryOf(const std::string& className) {
  const char* summary = pvx::classSummary(className);
  return summary != nullptr ? summary : "";
}

ClassSummary summarize(const PluginLibrary& library, const pvx::CatalogueEntry& entry) {
  BoundShader shader(library.create(entry.className), entry.className);
  return {entry.className, shader.kind(), shader.table().capabilityMask(),
          shader.table().parameters().size(), shader.table().varyings().size()};
}

int listCatalogue(const PluginLibrary& library, bool json) {
  std::vector<ClassSummary> classes;
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    classes.push_back(summarize(library, entry));
  }
  if (json) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const ClassSummary& c : classes) {
      out.push_back({{"class", c.name},
                     {"description", summaryOf(c.name)},
                     {"kind", kindName(c.kind)},
                     {"capabilityMask", c.mask},
                     {"entries", capabilityNames(c.mask)},
                     {"parameters", c.parameters},
                     {"varyings", c.varyings}});
    }
    std::cout << out.dump(2) << "\n";
    return 0;
  }
  std::printf("%-26s %-12s %4s  %-32s %6s %8s\n", "class", "kind", "mask", "entries", "params",
              "varyings");
  for (const ClassSummary& c : classes) {
    std::printf("%-26s %-12s %4d  %-32s %6zu %8zu\n", c.name.c_str(), kindName(c.kind), c.mask,
                joinNames(capabilityNames(c.mask), ", ").c_str(), c.parameters, c.varyings);
    std::printf("    %s\n", summaryOf(c.name).c_str());
  }
  std::printf("%zu classes in %s\n", classes.size(), library.path().c_str());
  return 0;
}

void addNote(nlohmann::ordered_json& entry, const std::string& className, const std::string& name) {
  const pvx::NoteText* note = pvx::parameterNote(className, name);
  if (note == nullptr) return;
  if (note->meaning) entry["meaning"] = note->meaning;
  if (note->range) entry["range"] = note->range;
  if (note->unit) entry["unit"] = note->unit;
}

int describeClass(const PluginLibrary& library, const std::string& className, bool json) {
  BoundShader shader(library.create(className), className);
  const tarvo::host::ParameterTable& table = shader.table();
  if (json) {
    nlohmann::ordered_json parameters = nlohmann::ordered_json::array();
    for (const auto& p : table.parameters()) {
      nlohmann::ordered_json entry = {{"name", p.name},
                                      {"type", tarvo::host::typeName(p.type)},
                                      {"default", tarvo::tools::defaultJson(shader, p)}};
      addNote(entry, className, p.name);
      parameters.push_back(entry);
    }
    nlohmann::ordered_json varyings = nlohmann::ordered_json::array();
    for (const auto& v : table.varyings()) {
      nlohmann::ordered_json entry = {{"name", v.name},
                                      {"type", varyingTypeName(v.typeCode)},
                                      {"offset", v.offset},
                                      {"afterParameter", v.position}};
      addNote(entry, className, v.name);
      varyings.push_back(entry);
    }
    nlohmann::ordered_json out = {{"class", className},
                                  {"description", summaryOf(className)},
                                  {"kind", kindName(shader.kind())},
                                  {"capabilityMask", table.capabilityMask()},
                                  {"entries", capabilityNames(table.capabilityMask())},
                                  {"parameters", parameters},
                                  {"varyings", varyings}};
    std::cout << out.dump(2) << "\n";
    return 0;
  }
  std::fputs(tarvo::host::classListing(
                 shader, [&](const std::string& name) { return pvx::noteLine(className, name); },
                 pvx::classSummary(className))
                 .c_str(),
             stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "tarvo-inspect: list the shader classes of a tarvoShaders library, or one class's "
      "parameters with their types and defaults"};
  std::string className;
  std::string libraryPath = PluginLibrary::defaultPath();
  bool json = false;
  bool markdown = false;
  bool sceneSchema = false;
  app.add_option("class", className, "Shader class to describe (omit to list the catalogue)");
  app.add_option("--library", libraryPath, "Path of the shader library")->capture_default_str();
  app.add_flag("--json", json, "Print JSON instead of a table");
  app.add_flag("--markdown", markdown,
               "Print the parameter reference of every class as Markdown (docs/parameters.md)");
  app.add_flag("--scene-schema", sceneSchema,
               "Print the JSON Schema of scene files (scenes/scene.schema.json)");
  CLI11_PARSE(app, argc, argv);

  try {
    PluginLibrary library(libraryPath);
    if (markdown) {
      std::cout << tarvo::tools::markdownReference(library);
      return 0;
    }
    if (sceneSchema) {
      std::cout << tarvo::tools::sceneSchema(library).dump(2) << "\n";
      return 0;
    }
    if (className.empty()) return listCatalogue(library, json);
    if (pvx::findCatalogueEntry(className) == nullptr) {
      std::string message = "tarvo-inspect: unknown shader class '" + className + "'";
      const std::vector<std::string> nearest =
          tarvo::host::nearestNames(className, tarvo::host::catalogueClassNames());
      if (!nearest.empty()) message += "; did you mean " + tarvo::host::quoteList(nearest) + "?";
      std::cerr << message << "\n";
      return 2;
    }
    return describeClass(library, className, json);
  } catch (const std::exception& error) {
    std::cerr << "tarvo-inspect: " << error.what() << "\n";
    return 1;
  }
}

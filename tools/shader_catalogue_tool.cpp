// tarvo-inspect: lists the shader catalogue of a tarvoShaders library, or one class's parameters
// in declaration order with their types and default values, and its varyings. Like oslinfo for
// shaders; --json for machines.
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

namespace {

using tarvo::host::BoundShader;
using tarvo::host::capabilityNames;
using tarvo::host::joinNames;
using tarvo::host::kindName;
using tarvo::host::ParamType;
using tarvo::host::PluginLibrary;
using tarvo::host::varyingTypeName;

std::vector<float> floatsOf(const void* address, int count) {
  std::vector<float> values(static_cast<size_t>(count));
  std::memcpy(values.data(), address, sizeof(float) * static_cast<size_t>(count));
  return values;
}

// Default value as JSON, read from a freshly created instance.
nlohmann::ordered_json defaultJson(const BoundShader& shader,
                                   const tarvo::host::ParameterRecord& p) {
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
      const std::vector<float> values = floatsOf(address, tarvo::host::floatCount(p.type));
      if (p.type == ParamType::Float) return values[0];
      nlohmann::ordered_json array = nlohmann::ordered_json::array();
      for (float v : values)
        array.push_back(v);
      return array;
    }
  }
}

struct ClassSummary {
  std::string name;
  int32_t kind = 0;
  int32_t mask = 0;
  size_t parameters = 0;
  size_t varyings = 0;
};

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
  }
  std::printf("%zu classes in %s\n", classes.size(), library.path().c_str());
  return 0;
}

int describeClass(const PluginLibrary& library, const std::string& className, bool json) {
  BoundShader shader(library.create(className), className);
  const tarvo::host::ParameterTable& table = shader.table();
  if (json) {
    nlohmann::ordered_json parameters = nlohmann::ordered_json::array();
    for (const auto& p : table.parameters()) {
      parameters.push_back({{"name", p.name},
                            {"type", tarvo::host::typeName(p.type)},
                            {"default", defaultJson(shader, p)}});
    }
    nlohmann::ordered_json varyings = nlohmann::ordered_json::array();
    for (const auto& v : table.varyings()) {
      varyings.push_back({{"name", v.name},
                          {"type", varyingTypeName(v.typeCode)},
                          {"offset", v.offset},
                          {"afterParameter", v.position}});
    }
    nlohmann::ordered_json out = {{"class", className},
                                  {"kind", kindName(shader.kind())},
                                  {"capabilityMask", table.capabilityMask()},
                                  {"entries", capabilityNames(table.capabilityMask())},
                                  {"parameters", parameters},
                                  {"varyings", varyings}};
    std::cout << out.dump(2) << "\n";
    return 0;
  }
  std::fputs(tarvo::host::classListing(shader).c_str(), stdout);
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
  app.add_option("class", className, "Shader class to describe (omit to list the catalogue)");
  app.add_option("--library", libraryPath, "Path of the shader library")->capture_default_str();
  app.add_flag("--json", json, "Print JSON instead of a table");
  CLI11_PARSE(app, argc, argv);

  try {
    PluginLibrary library(libraryPath);
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

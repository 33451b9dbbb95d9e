// tarvo-inspect: lists the shader catalogue of a tarvoShaders library, or one class's parameters
// in declaration order with their types and default values, and its varyings. Like oslinfo for
// shaders; --json for machines.
#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "host/nearest_names.h"
#include "host/parameter_table.h"
#include "host/plugin_library.h"

namespace {

using tarvo::host::BoundShader;
using tarvo::host::kindName;
using tarvo::host::ParamType;
using tarvo::host::PluginLibrary;

std::vector<std::string> capabilityNames(int32_t mask) {
  static const std::pair<int32_t, const char*> kBits[] = {
      {pvx::kCapShade, "shade"},       {pvx::kCapShadow, "shadow"},
      {pvx::kCapEvaluate, "evaluate"}, {pvx::kCapScatter, "scatter"},
      {pvx::kCapLight, "light"},       {pvx::kCapEnvironment, "environment"}};
  std::vector<std::string> names;
  for (const auto& [bit, name] : kBits) {
    if (mask & bit) names.emplace_back(name);
  }
  return names;
}

std::string join(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i)
    out += (i ? separator : "") + parts[i];
  return out;
}

std::string formatFloat(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  return std::string(buffer, result.ptr);
}

const char* varyingTypeName(int32_t code) {
  switch (code) {
    case pvx::kVaryingFloat2:
      return "float2";
    case pvx::kVaryingFloat3:
      return "float3";
    case pvx::kVaryingColor4:
      return "color4";
  }
  return "unknown";
}

std::vector<float> floatsOf(const void* address, int count) {
  std::vector<float> values(static_cast<size_t>(count));
  std::memcpy(values.data(), address, sizeof(float) * static_cast<size_t>(count));
  return values;
}

bool isIdentity(const std::vector<float>& m, int n) {
  for (int c = 0; c < n; ++c) {
    for (int r = 0; r < n; ++r) {
      if (m[static_cast<size_t>(c * n + r)] != (c == r ? 1.0f : 0.0f)) return false;
    }
  }
  return true;
}

// Default value as text and as JSON, read from a freshly created instance.
std::pair<std::string, nlohmann::ordered_json> defaultValue(const BoundShader& shader,
                                                            const tarvo::host::ParameterRecord& p) {
  const void* address = shader.address(p.name);
  switch (p.type) {
    case ParamType::Bool: {
      const bool v = *static_cast<const bool*>(address);
      return {v ? "true" : "false", v};
    }
    case ParamType::Int: {
      int32_t v;
      std::memcpy(&v, address, sizeof v);
      return {std::to_string(v), v};
    }
    case ParamType::Texture1D:
    case ParamType::Texture2D:
    case ParamType::TextureCube: {
      pvx::Texture2D handle;
      std::memcpy(&handle, address, sizeof handle);
      if (handle.object == nullptr) return {"unbound", nullptr};
      return {"bound", "bound"};
    }
    default: {
      const int n = tarvo::host::floatCount(p.type);
      const std::vector<float> values = floatsOf(address, n);
      nlohmann::ordered_json array = nlohmann::ordered_json::array();
      std::vector<std::string> parts;
      for (float v : values) {
        array.push_back(v);
        parts.push_back(formatFloat(v));
      }
      if (p.type == ParamType::Float) return {parts[0], values[0]};
      if ((p.type == ParamType::Mat3 && isIdentity(values, 3)) ||
          (p.type == ParamType::Mat4 && isIdentity(values, 4))) {
        return {"identity", array};
      }
      return {"(" + join(parts, ", ") + ")", array};
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
                join(capabilityNames(c.mask), ", ").c_str(), c.parameters, c.varyings);
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
                            {"default", defaultValue(shader, p).second}});
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
  std::printf("%s: %s, capability mask %d (%s)\n", className.c_str(), kindName(shader.kind()),
              table.capabilityMask(), join(capabilityNames(table.capabilityMask()), ", ").c_str());
  std::printf("%zu parameters, %zu varyings, in declaration order:\n", table.parameters().size(),
              table.varyings().size());
  size_t nextVarying = 0;
  const auto printVaryingsBefore = [&](size_t position) {
    while (nextVarying < table.varyings().size() &&
           static_cast<size_t>(table.varyings()[nextVarying].position) <= position) {
      const auto& v = table.varyings()[nextVarying++];
      std::printf("       varying %-11s %-32s offset %d\n", varyingTypeName(v.typeCode),
                  v.name.c_str(), v.offset);
    }
  };
  for (size_t i = 0; i < table.parameters().size(); ++i) {
    printVaryingsBefore(i);
    const auto& p = table.parameters()[i];
    std::printf("  %3zu  %-19s %-32s %s\n", i + 1, tarvo::host::typeName(p.type), p.name.c_str(),
                defaultValue(shader, p).first.c_str());
  }
  printVaryingsBefore(table.parameters().size());
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

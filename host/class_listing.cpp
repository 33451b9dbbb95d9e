#include "host/class_listing.h"

#include <charconv>
#include <cstring>
#include <utility>

#include "host/plugin_library.h"

namespace tarvo::host {

namespace {

std::string padded(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string rightAligned(const std::string& text, size_t width) {
  return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

bool isIdentity(const float* m, int n) {
  for (int c = 0; c < n; ++c) {
    for (int r = 0; r < n; ++r) {
      if (m[c * n + r] != (c == r ? 1.0f : 0.0f)) return false;
    }
  }
  return true;
}

}  // namespace

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

std::string joinNames(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i)
    out += (i ? separator : "") + parts[i];
  return out;
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

std::string formatFloat(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  return std::string(buffer, result.ptr);
}

std::string valueText(const BoundShader& shader, const ParameterRecord& parameter) {
  const void* address = shader.address(parameter.name);
  switch (parameter.type) {
    case ParamType::Bool: {
      unsigned char v;
      std::memcpy(&v, address, sizeof v);
      return v != 0 ? "true" : "false";
    }
    case ParamType::Int: {
      int32_t v;
      std::memcpy(&v, address, sizeof v);
      return std::to_string(v);
    }
    case ParamType::Texture1D:
    case ParamType::Texture2D:
    case ParamType::TextureCube: {
      pvx::Texture2D handle;
      std::memcpy(&handle, address, sizeof handle);
      return handle.object ? "bound" : "unbound";
    }
    default: {
      const int n = floatCount(parameter.type);
      float values[16];
      std::memcpy(values, address, sizeof(float) * static_cast<size_t>(n));
      if (parameter.type == ParamType::Float) return formatFloat(values[0]);
      if ((parameter.type == ParamType::Mat3 && isIdentity(values, 3)) ||
          (parameter.type == ParamType::Mat4 && isIdentity(values, 4))) {
        return "identity";
      }
      std::vector<std::string> parts;
      for (int i = 0; i < n; ++i)
        parts.push_back(formatFloat(values[i]));
      return "(" + joinNames(parts, ", ") + ")";
    }
  }
}

std::string classListing(const BoundShader& shader,
                         const std::function<std::string(const std::string&)>& noteOf,
                         const char* summary) {
  const ParameterTable& table = shader.table();
  std::string out = summary != nullptr ? shader.className() + ": " + summary + "\n" : "";
  out += shader.className() + ": " + kindName(shader.kind()) + ", capability mask " +
         std::to_string(table.capabilityMask()) + " (" +
         joinNames(capabilityNames(table.capabilityMask()), ", ") + ")\n";
  out += std::to_string(table.parameters().size()) + " parameters, " +
         std::to_string(table.varyings().size()) + " varyings, in declaration order:\n";
  const auto note = [&](const std::string& name) {
    const std::string line = noteOf ? noteOf(name) : std::string();
    if (!line.empty()) out += "         " + line + "\n";
  };
  size_t nextVarying = 0;
  const auto varyingsBefore = [&](size_t position) {
    while (nextVarying < table.varyings().size() &&
           static_cast<size_t>(table.varyings()[nextVarying].position) <= position) {
      const VaryingRecord& v = table.varyings()[nextVarying++];
      out += "       varying " + padded(varyingTypeName(v.typeCode), 11) + " " +
             padded(v.name, 32) + " offset " + std::to_string(v.offset) + "\n";
      note(v.name);
    }
  };
  for (size_t i = 0; i < table.parameters().size(); ++i) {
    varyingsBefore(i);
    const ParameterRecord& p = table.parameters()[i];
    out += "  " + rightAligned(std::to_string(i + 1), 3) + "  " + padded(typeName(p.type), 19) +
           " " + padded(p.name, 32) + " " + valueText(shader, p) + "\n";
    note(p.name);
  }
  varyingsBefore(table.parameters().size());
  return out;
}

}  // namespace tarvo::host

#include "host/render/scene_file.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <cfloat>
#include <cmath>
#include <iterator>
#include <map>
#include <unordered_map>

#include "host/nearest_names.h"
#include "host/render/gltf_scene.h"
#include "host/render/json_positions.h"
#include "host/render/scene_warnings.h"
#include "host/render/sky.h"

namespace tarvo::render {

namespace {

using nlohmann::json;

std::string describe(const json& value) {
  switch (value.type()) {
    case json::value_t::null:
      return "null";
    case json::value_t::boolean:
      return value.get<bool>() ? "true" : "false";
    case json::value_t::string:
      return "the string \"" + host::clipped(value.get<std::string>()) + "\"";
    case json::value_t::array:
      return "an array of " + std::to_string(value.size()) +
             (value.size() == 1 ? " value" : " values");
    case json::value_t::object:
      return "an object";
    default:
      return "the number " + value.dump();
  }
}

std::string expectedFor(host::ParamType type) {
  switch (type) {
    case host::ParamType::Bool:
      return "a bool (true or false)";
    case host::ParamType::Int:
      return "an int (a whole number)";
    case host::ParamType::Float:
      return "a float (one number)";
    case host::ParamType::Float2:
      return "a float2 (an array of 2 numbers)";
    case host::ParamType::Color:
      return "a color (an array of 3 numbers)";
    case host::ParamType::ColorAlpha:
      return "a color4 (an array of 4 numbers)";
    case host::ParamType::Mat3:
      return "a mat3 (an array of 9 numbers, column by column)";
    case host::ParamType::Mat4:
      return "a mat4 (an array of 16 numbers, column by column)";
    case host::ParamType::Texture1D:
      return "a texture1d (\"clippingPlanes\", {\"planes\": [...]}, {\"texels\": [...]} or "
             "{\"file\": ...})";
    case host::ParamType::Texture2D:
      return "a texture2d (a file name, {\"file\": ...}, {\"texels\": [...], \"width\": n} or "
             "{\"generated\": \"sky\"})";
    case host::ParamType::TextureCube:
      return "a texturecube (a latitude-longitude file name, {\"file\": ...}, "
             "{\"faces\": [6 file names]} or {\"generated\": \"sky\"})";
  }
  return "?";
}

// Builds the document through the JSON library's SAX interface, refusing while it reads: nesting
// deeper than the ceiling (before any memory goes to it), more values than the ceiling, and a
// key given twice in one object (at the second, naming the first).
class CheckedBuilder {
 public:
  CheckedBuilder(json& root, const std::string& text, const char** cursor, const Limits& limits)
      : dom_(root, true),
        text_(text),
        cursor_(cursor),
        ceilings_(text, cursor, limits.jsonValues, limits.nesting, "the scene") {}

  bool null() { return counted() && dom_.null(); }
  bool boolean(bool v) { return counted() && dom_.boolean(v); }
  bool number_integer(json::number_integer_t v) { return counted() && dom_.number_integer(v); }
  bool number_unsigned(json::number_unsigned_t v) { return counted() && dom_.number_unsigned(v); }
  bool number_float(json::number_float_t v, const std::string& s) {
    return counted() && dom_.number_float(v, s);
  }
  bool string(std::string& v) { return counted() && dom_.string(v); }
  bool binary(json::binary_t& v) { return counted() && dom_.binary(v); }
  bool start_object(std::size_t n) {
    ceilings_.open();
    keys_.emplace_back();
    return dom_.start_object(n);
  }
  bool key(std::string& k) {
    const size_t at = keyStart();
    const auto [first, inserted] = keys_.back().emplace(k, at);
    if (!inserted) {
      const TextPosition p = positionOf(text_, first->second);
      throw ParseRefusal{at, "the key \"" + host::clipped(k) +
                                 "\" appears twice in one object (first at line " +
                                 std::to_string(p.line) + ", column " + std::to_string(p.column) +
                                 "); give each setting once"};
    }
    return dom_.key(k);
  }
  bool end_object() {
    keys_.pop_back();
    ceilings_.close();
    return dom_.end_object();
  }
  bool start_array(std::size_t n) {
    ceilings_.open();
    return dom_.start_array(n);
  }
  bool end_array() {
    ceilings_.close();
    return dom_.end_array();
  }
  template <class Exception>
  bool parse_error(std::size_t position, const std::string& token, const Exception& e) {
    if (e.id == 406) {
      // A number beyond the range of a double.
      throw ParseRefusal{position > token.size() ? position - token.size() : 0,
                         "the number " + token + " is too large for any setting"};
    }
    throw e;
  }

 private:
  size_t offset() const { return static_cast<size_t>(*cursor_ - text_.data()); }
  bool counted() {
    ceilings_.value();
    return true;
  }
  // The parser has just read the key's closing quote; find its opening one.
  size_t keyStart() const {
    size_t at = offset();
    if (at > 0) --at;  // the closing quote
    while (at > 0) {
      --at;
      if (text_[at] != '"') continue;
      size_t slashes = 0;
      while (at > slashes && text_[at - 1 - slashes] == '\\')
        ++slashes;
      if (slashes % 2 == 0) break;
    }
    return at;
  }

  nlohmann::detail::json_sax_dom_parser<json> dom_;
  const std::string& text_;
  const char** cursor_;
  JsonCeilings ceilings_;
  std::vector<std::unordered_map<std::string, size_t>> keys_;
};

class Loader {
 public:
  Loader(const std::string& text, std::string name, std::string folder,
         std::shared_ptr<const host::PluginLibrary> library, const Limits& limits)
      : text_(text),
        name_(std::move(name)),
        folder_(std::move(folder)),
        library_(std::move(library)),
        limits_(limits) {}

  std::unique_ptr<Scene> load() {
    try {
      const char* cursor = text_.data();
      CheckedBuilder builder(root_, text_, &cursor, limits_);
      json::sax_parse(TrackedChar(text_.data(), &cursor),
                      TrackedChar(text_.data() + text_.size(), &cursor), &builder);
    } catch (const ParseRefusal& refusal) {
      throw SceneError(prefix(positionOf(text_, refusal.offset)) + refusal.message);
    } catch (const json::parse_error& e) {
      // The parser reports the byte after the token it could not take; point at the token's
      // start instead.
      size_t at = std::min(e.byte > 0 ? e.byte - 1 : 0, text_.size() > 0 ? text_.size() - 1 : 0);
      if (at < text_.size() && text_[at] == '"') {
        while (at > 0 && !(text_[at - 1] == '"' && (at < 2 || text_[at - 2] != '\\')))
          --at;
        if (at > 0) --at;
      } else {
        while (at > 0 && (std::isalnum(static_cast<unsigned char>(text_[at - 1])) ||
                          text_[at - 1] == '.' || text_[at - 1] == '-' || text_[at - 1] == '+')) {
          --at;
        }
      }
      const TextPosition p = positionOf(text_, at);
      std::string what = e.what();
      // nlohmann's message: "[json.exception.parse_error.101] parse error at line 3, column 5:
      // syntax error while parsing ... - <detail>"; keep the part after the position.
      const size_t colon = what.find(": ", what.find("parse error"));
      const std::string detail = colon == std::string::npos ? what : what.substr(colon + 2);
      throw SceneError(prefix(p) + "this is not valid JSON: " + detail);
    }
    positions_ = JsonPositions(text_);
    if (!root_.is_object()) fail("", "a scene file holds one JSON object");
    scene_ = std::make_unique<Scene>(library_);
    scene_->textures().setLimits(limits_);
    // "$schema" names the scene's JSON Schema for editors; the loader has no use for it.
    checkKeys(root_, "", "the scene",
              {"$schema", "title", "camera", "settings", "shaders", "objects", "lights",
               "environment", "clippingPlanes", "labels"});
    if (root_.contains("title")) scene_->title = string(root_["title"], "/title", "the title");
    if (root_.contains("clippingPlanes")) readClippingPlanes();
    if (root_.contains("camera")) readCamera();
    if (root_.contains("settings")) readSettings();
    if (root_.contains("shaders")) readShaders();
    readObjects();
    if (root_.contains("lights")) readLights();
    if (root_.contains("environment")) readEnvironment();
    if (root_.contains("labels")) readLabels();
    sources_.file = prefix({});
    if (root_.contains("camera")) sources_.camera = prefix(positions_.key("/camera"));
    warnAboutScene(*scene_, sources_);
    return std::move(scene_);
  }

 private:
  // ---- messages
  std::string prefix(TextPosition p) const {
    if (p.line == 0) return name_ + ": ";
    return name_ + ":" + std::to_string(p.line) + ":" + std::to_string(p.column) + ": ";
  }
  [[noreturn]] void fail(const std::string& pointer, const std::string& message) const {
    throw SceneError(prefix(positions_.value(pointer)) + message);
  }
  [[noreturn]] void failAtKey(const std::string& pointer, const std::string& message) const {
    throw SceneError(prefix(positions_.key(pointer)) + message);
  }
  static std::string suggestion(const std::string& name, const std::vector<std::string>& options) {
    const std::vector<std::string> nearest = host::nearestNames(name, options);
    return nearest.empty() ? std::string() : "; did you mean " + host::quoteList(nearest) + "?";
  }

  // ---- typed reads
  void checkKeys(const json& object, const std::string& pointer, const std::string& what,
                 const std::vector<std::string>& allowed) const {
    for (const auto& item : object.items()) {
      if (std::find(allowed.begin(), allowed.end(), item.key()) != allowed.end()) continue;
      failAtKey(childPointer(pointer, item.key()), what + " has no setting '" +
                                                       host::clipped(item.key()) + "'" +
                                                       suggestion(item.key(), allowed));
    }
  }
  const json& object(const json& value, const std::string& pointer, const std::string& what) const {
    if (!value.is_object()) fail(pointer, what + " must be an object, not " + describe(value));
    return value;
  }
  float number(const json& value, const std::string& pointer, const std::string& what) const {
    if (!value.is_number()) fail(pointer, what + " must be a number, not " + describe(value));
    const double v = value.get<double>();
    if (!(std::fabs(v) <= static_cast<double>(FLT_MAX))) {
      fail(pointer, what + " is " + value.dump() + ", too large for a float");
    }
    return static_cast<float>(v);
  }
  float number(const json& value, const std::string& pointer, const std::string& what, float least,
               float most) const {
    const float v = number(value, pointer, what);
    if (!(v >= least && v <= most)) {
      fail(pointer, what + " is " + value.dump() + "; it must lie between " + shortText(least) +
                        " and " + shortText(most));
    }
    return v;
  }
  static std::string shortText(float v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
    return buffer;
  }
  // Whole numbers are read as the JSON library holds them (64 bits, signed or not) and checked
  // against the target's range before they are narrowed, so nothing wraps.
  int64_t wholeNumber(const json& value, const std::string& pointer, const std::string& what,
                      int64_t least, int64_t most, const char* limitName = nullptr) const {
    if (!value.is_number_integer()) {
      fail(pointer, what + " must be a whole number, not " + describe(value));
    }
    const bool huge =
        value.is_number_unsigned() && value.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX);
    const int64_t v = huge ? INT64_MAX : value.get<int64_t>();
    if (!huge && v >= least && v <= most) return v;
    if (limitName != nullptr && (huge || v > most)) {
      fail(pointer, what + " is " + value.dump() + ", beyond the ceiling of " +
                        ceilingText(most, limitName));
    }
    fail(pointer, what + " is " + value.dump() + "; it must lie between " + std::to_string(least) +
                      " and " + std::to_string(most));
  }
  // A count of a list, before its entries are read.
  void checkCount(const json& list, const std::string& pointer, const std::string& what,
                  int64_t most, const char* limitName) const {
    if (list.is_array() && static_cast<int64_t>(list.size()) > most) {
      fail(pointer, what + " holds " + std::to_string(list.size()) +
                        " entries, more than the ceiling of " + ceilingText(most, limitName));
    }
  }
  bool boolean(const json& value, const std::string& pointer, const std::string& what) const {
    if (!value.is_boolean()) fail(pointer, what + " must be true or false, not " + describe(value));
    return value.get<bool>();
  }
  std::string string(const json& value, const std::string& pointer, const std::string& what) const {
    if (!value.is_string()) fail(pointer, what + " must be a string, not " + describe(value));
    return value.get<std::string>();
  }
  std::vector<float> numbers(const json& value, const std::string& pointer, const std::string& what,
                             size_t count) const {
    if (!value.is_array() || value.size() != count) {
      fail(pointer, what + " must be an array of " + std::to_string(count) + " numbers, not " +
                        describe(value));
    }
    std::vector<float> result;
    for (size_t i = 0; i < count; ++i)
      result.push_back(number(value[i], childPointer(pointer, i), what + " element"));
    return result;
  }
  float3 vec3(const json& value, const std::string& pointer, const std::string& what) const {
    const std::vector<float> v = numbers(value, pointer, what, 3);
    return {v[0], v[1], v[2]};
  }
  std::string file(const std::string& relative) const {
    if (relative.empty() || relative[0] == '/' || folder_.empty()) return relative;
    return folder_ + "/" + relative;
  }

  // ---- sections
  void readCamera() {
    const std::string p = "/camera";
    const json& c = object(root_["camera"], p, "camera");
    checkKeys(c, p, "camera", {"position", "lookAt", "up", "fov"});
    Camera& camera = scene_->camera;
    if (c.contains("position"))
      camera.position = vec3(c["position"], p + "/position", "camera position");
    if (c.contains("lookAt")) camera.target = vec3(c["lookAt"], p + "/lookAt", "camera lookAt");
    if (c.contains("up")) camera.up = vec3(c["up"], p + "/up", "camera up");
    if (c.contains("fov")) camera.fovY = number(c["fov"], p + "/fov", "camera fov");
    if (!(camera.fovY > 0.0f && camera.fovY < 180.0f)) {
      fail(p + "/fov", "camera fov must lie between 0 and 180 degrees");
    }
    if (!(length(cross(normalize(camera.target - camera.position), camera.up)) > 1e-6f)) {
      fail(p, "the camera looks along its up direction (or at its own position)");
    }
  }

  void readSettings() {
    const std::string p = "/settings";
    const json& s = object(root_["settings"], p, "settings");
    const std::vector<std::string> known = {
        "width",           "height",           "samples",      "mode",      "seed",
        "threads",         "maxDepth",         "diffuseDepth", "aoSamples", "aoDistance",
        "indirectSamples", "importanceCutoff", "ambient",      "prefill",   "film",
        "clamp",           "exposure"};
    if (s.contains("opaque")) {
      failAtKey(p + "/opaque",
                "setting 'opaque' no longer exists: images are opaque unless \"film\" is "
                "\"transparent\"");
    }
    checkKeys(s, p, "settings", known);
    RenderSettings& r = scene_->settings;
    const auto count = [&](const char* key, int* target, int64_t least, int64_t most,
                           const char* limitName) {
      if (!s.contains(key)) return;
      *target = static_cast<int>(wholeNumber(s[key], childPointer(p, key),
                                             std::string("setting '") + key + "'", least,
                                             std::min<int64_t>(most, INT32_MAX), limitName));
    };
    count("width", &r.width, 1, limits_.pixels, "pixels");
    count("height", &r.height, 1, limits_.pixels, "pixels");
    if (static_cast<int64_t>(r.width) * r.height > limits_.pixels) {
      fail(p, "the image of " + std::to_string(r.width) + " x " + std::to_string(r.height) +
                  " pixels is larger than the ceiling of " + ceilingText(limits_.pixels, "pixels"));
    }
    count("samples", &r.samples, 1, limits_.samples, "samples");
    count("threads", &r.threads, 0, limits_.threads, "threads");
    // A depth beyond the ceiling is what a user asking for "unbounded" bounces means: clamp.
    const auto depth = [&](const char* key, int* target, int64_t least) {
      if (!s.contains(key)) return;
      const std::string what = std::string("setting '") + key + "'";
      const int64_t v = wholeNumber(s[key], childPointer(p, key), what, least, INT64_MAX);
      *target = static_cast<int>(std::min({v, limits_.depth, int64_t{INT32_MAX}}));
      if (v > limits_.depth) {
        scene_->warnings.push_back(prefix(positions_.value(childPointer(p, key))) + what + " " +
                                   s[key].dump() + " is clamped to the ceiling of " +
                                   ceilingText(limits_.depth, "depth"));
      }
    };
    depth("maxDepth", &r.maxDepth, 1);
    depth("diffuseDepth", &r.diffuseDepth, 0);
    count("aoSamples", &r.aoSamples, 0, limits_.rays, "rays");
    count("indirectSamples", &r.indirectSamples, 0, limits_.rays, "rays");
    if (s.contains("seed")) {
      const json& v = s["seed"];
      if (!v.is_number_integer() || (!v.is_number_unsigned() && v.get<int64_t>() < 0)) {
        fail(p + "/seed",
             "setting 'seed' must be a whole number from 0 to 2^64 - 1, not " + describe(v));
      }
      r.seed = v.get<uint64_t>();
    }
    if (s.contains("mode")) {
      const std::string mode = string(s["mode"], p + "/mode", "setting 'mode'");
      if (mode == "shade") {
        r.mode = RenderMode::Shade;
      } else if (mode == "path") {
        r.mode = RenderMode::Path;
      } else {
        fail(p + "/mode", "setting 'mode' is 'shade' or 'path', not '" + host::clipped(mode) + "'" +
                              suggestion(mode, {"shade", "path"}));
      }
    }
    if (s.contains("aoDistance"))
      r.aoDistance =
          number(s["aoDistance"], p + "/aoDistance", "setting 'aoDistance'", 0.0f, FLT_MAX);
    if (s.contains("importanceCutoff"))
      r.importanceCutoff = number(s["importanceCutoff"], p + "/importanceCutoff",
                                  "setting 'importanceCutoff'", 0.0f, 1.0f);
    if (s.contains("ambient")) r.ambient = vec3(s["ambient"], p + "/ambient", "setting 'ambient'");
    if (s.contains("prefill")) {
      const std::vector<float> v = numbers(s["prefill"], p + "/prefill", "setting 'prefill'", 4);
      r.prefill = {v[0], v[1], v[2], v[3]};
    }
    if (s.contains("film")) {
      const std::string film = string(s["film"], p + "/film", "setting 'film'");
      if (film != "opaque" && film != "transparent") {
        fail(p + "/film", "setting 'film' is 'opaque' or 'transparent', not '" + film + "'" +
                              suggestion(film, {"opaque", "transparent"}));
      }
      r.transparentFilm = film == "transparent";
    }
    if (s.contains("clamp")) {
      const json& v = s["clamp"];
      if (v.is_string() && v.get<std::string>() == "off") {
        r.clamp = 0.0f;
      } else if (!v.is_number() || !(v.get<double>() > 0.0)) {
        fail(p + "/clamp",
             "setting 'clamp' is \"off\" or a positive number (the brightest channel a traced "
             "ray may bring back), not " +
                 describe(v));
      } else {
        r.clamp = number(v, p + "/clamp", "setting 'clamp'");
      }
    }
    if (s.contains("exposure"))
      r.exposure = number(s["exposure"], p + "/exposure", "setting 'exposure'", -64.0f, 64.0f);
  }

  void readShaders() {
    const std::string p = "/shaders";
    const json& shaders = object(root_["shaders"], p, "shaders");
    if (static_cast<int64_t>(shaders.size()) > limits_.items) {
      fail(p, "shaders holds " + std::to_string(shaders.size()) +
                  " entries, more than the ceiling of " + ceilingText(limits_.items, "items"));
    }
    for (const auto& item : shaders.items()) {
      const std::string sp = childPointer(p, item.key());
      const std::string label = "shader '" + host::clipped(item.key()) + "'";
      const json& entry = object(item.value(), sp, label);
      checkKeys(entry, sp, label, {"class", "parameters"});
      if (!entry.contains("class")) fail(sp, label + " needs a \"class\"");
      const std::string className = string(entry["class"], sp + "/class", label + " class");
      if (pvx::findCatalogueIndex(className) < 0) {
        fail(sp + "/class", label + ": there is no shader class '" + host::clipped(className) +
                                "'" + suggestion(className, host::catalogueClassNames()));
      }
      ShaderInstance* instance = nullptr;
      try {
        instance = &scene_->addShader(item.key(), className);
      } catch (const std::exception& e) {
        fail(sp + "/class", label + ": " + e.what());
      }
      sources_.shaders[item.key()] = prefix(positions_.key(sp));
      if (!entry.contains("parameters")) continue;
      const std::string pp = sp + "/parameters";
      const json& parameters = object(entry["parameters"], pp, label + " parameters");
      for (const auto& parameter : parameters.items()) {
        setParameter(*instance, parameter.key(), parameter.value(),
                     childPointer(pp, parameter.key()));
      }
    }
  }

  void setParameter(ShaderInstance& instance, const std::string& name, const json& value,
                    const std::string& pointer) {
    const std::string owner = "shader '" + instance.name + "' (" + instance.className() + ")";
    const host::ParameterRecord* record = instance.bound->table().find(name);
    if (record == nullptr) {
      failAtKey(pointer, owner + " has no parameter '" + host::clipped(name) + "'" +
                             suggestion(name, instance.bound->table().names()));
    }
    sources_.parameters[instance.name][name] = prefix(positions_.value(pointer));
    const std::string what = owner + ", parameter '" + name + "'";
    const auto wrongType = [&] {
      fail(pointer, what + ": expected " + expectedFor(record->type) + ", got " + describe(value));
    };
    host::BoundShader& bound = *instance.bound;
    switch (record->type) {
      case host::ParamType::Bool:
        if (!value.is_boolean()) wrongType();
        bound.set(name, value.get<bool>());
        return;
      case host::ParamType::Int:
        if (!value.is_number_integer()) wrongType();
        bound.set(name,
                  static_cast<int32_t>(wholeNumber(value, pointer, what, INT32_MIN, INT32_MAX)));
        return;
      case host::ParamType::Float:
        if (!value.is_number()) wrongType();
        bound.set(name, number(value, pointer, what));
        return;
      case host::ParamType::Float2:
      case host::ParamType::Color:
      case host::ParamType::ColorAlpha:
      case host::ParamType::Mat3:
      case host::ParamType::Mat4: {
        const size_t count = static_cast<size_t>(host::floatCount(record->type));
        if (!value.is_array() || value.size() != count) wrongType();
        std::vector<double> numbers;
        for (size_t i = 0; i < count; ++i) {
          if (!value[i].is_number()) {
            fail(childPointer(pointer, i), what + ": element " + std::to_string(i) +
                                               " must be a number, not " + describe(value[i]));
          }
          numbers.push_back(number(value[i], childPointer(pointer, i), what + " element"));
        }
        bound.setNumbers(name, numbers);
        return;
      }
      case host::ParamType::Texture2D:
        bound.set(name, texture2D(value, pointer, what, [&] { wrongType(); }));
        return;
      case host::ParamType::Texture1D:
        bound.set(name, texture1D(value, pointer, what, [&] { wrongType(); }));
        return;
      case host::ParamType::TextureCube:
        bound.set(name, textureCube(value, pointer, what, [&] { wrongType(); }));
        return;
    }
  }

  template <class Fail>
  TextureOptions textureOptions(const json& value, const std::string& pointer,
                                const std::string& what, Fail&& wrongType) {
    TextureOptions options;
    if (!value.is_object()) return options;
    checkKeys(value, pointer, what,
              {"file", "colorspace", "wrap", "generated", "faces", "texels", "width"});
    if (value.contains("colorspace")) {
      const std::string cs =
          value["colorspace"].is_string() ? value["colorspace"].get<std::string>() : "";
      if (cs == "srgb") {
        options.colorSpace = ColorSpace::SRGB;
      } else if (cs == "linear") {
        options.colorSpace = ColorSpace::Linear;
      } else if (cs == "auto") {
        options.colorSpace = ColorSpace::Auto;
      } else {
        fail(pointer + "/colorspace", what +
                                          ": colorspace is \"srgb\", \"linear\" or \"auto\", not " +
                                          describe(value["colorspace"]));
      }
    }
    if (value.contains("wrap")) {
      const std::string w = value["wrap"].is_string() ? value["wrap"].get<std::string>() : "";
      if (w == "periodic") {
        options.wrap = Wrap::Periodic;
      } else if (w == "clamp") {
        options.wrap = Wrap::Clamp;
      } else if (w == "black") {
        options.wrap = Wrap::Black;
      } else {
        fail(pointer + "/wrap", what + ": wrap is \"periodic\", \"clamp\" or \"black\", not " +
                                    describe(value["wrap"]));
      }
    }
    (void)wrongType;
    return options;
  }

  pvx::ITexture2D* generated(const json& value, const std::string& pointer,
                             const std::string& what) {
    const std::string kind = value.is_string() ? value.get<std::string>() : "";
    if (kind == "checker") {
      if (checker_ == nullptr) {
        checker_ = scene_->textures().image2D(generateChecker(), Wrap::Periodic);
      }
      return checker_;
    }
    if (kind == "flakes") {
      if (flakes_ == nullptr) {
        flakes_ =
            scene_->textures().image2D(generateFlakeNormals(), Wrap::Periodic, Wrap::Periodic);
      }
      return flakes_;
    }
    if (kind != "sky") {
      fail(pointer, what + ": the host generates only \"sky\", \"checker\" and \"flakes\", not " +
                        describe(value));
    }
    if (sky_ == nullptr) sky_ = scene_->textures().image2D(generateSky(), Wrap::Periodic);
    return sky_;
  }

  // A small picture written in the scene: `texels` RGBA in linear light, rows of `width` texels
  // from the top row down (one row when no width is given).
  pvx::ITexture2D* inlineImage(const json& value, const std::string& pointer,
                               const std::string& what, Wrap wrap) {
    const json& texels = value["texels"];
    if (!texels.is_array() || texels.empty()) {
      fail(pointer + "/texels", what + ": texels is a non-empty array of [r, g, b, a]");
    }
    checkCount(texels, pointer + "/texels", what + " texels", limits_.items, "items");
    Image image;
    image.width = static_cast<int>(texels.size());
    if (value.contains("width")) {
      // Checked against the count before it divides anything: 1e20 narrowed to 0.
      const float w = number(value["width"], pointer + "/width", what + " width");
      if (!(w >= 1.0f && w <= static_cast<float>(texels.size())) || w != std::floor(w) ||
          texels.size() % static_cast<size_t>(w) != 0) {
        fail(pointer + "/width", what + ": width must be a whole number dividing the " +
                                     std::to_string(texels.size()) + " texels");
      }
      image.width = static_cast<int>(w);
    }
    image.height = static_cast<int>(texels.size()) / image.width;
    for (size_t i = 0; i < texels.size(); ++i) {
      const std::vector<float> v =
          numbers(texels[i], childPointer(pointer + "/texels", i), what + " texel", 4);
      image.pixels.emplace_back(v[0], v[1], v[2], v[3]);
    }
    return scene_->textures().image2D(std::move(image), wrap);
  }

  template <class Fail>
  pvx::ITexture2D* texture2D(const json& value, const std::string& pointer, const std::string& what,
                             Fail&& wrongType) {
    if (value.is_null()) return nullptr;
    std::string path;
    TextureOptions options;
    if (value.is_string()) {
      path = value.get<std::string>();
    } else if (value.is_object()) {
      options = textureOptions(value, pointer, what, wrongType);
      if (value.contains("generated"))
        return generated(value["generated"], pointer + "/generated", what);
      if (value.contains("texels")) return inlineImage(value, pointer, what, options.wrap);
      if (!value.contains("file") || !value["file"].is_string()) wrongType();
      path = value["file"].get<std::string>();
    } else {
      wrongType();
    }
    try {
      return scene_->textures().file2D(file(path), options);
    } catch (const TextureError& e) {
      fail(value.is_object() ? pointer + "/file" : pointer, what + ": " + e.what());
    }
  }

  template <class Fail>
  pvx::ITexture1D* texture1D(const json& value, const std::string& pointer, const std::string& what,
                             Fail&& wrongType) {
    if (value.is_null()) return nullptr;
    if (value.is_string() && value.get<std::string>() == "clippingPlanes") {
      if (clippingPlanes_ == nullptr) {
        clippingPlanes_ = scene_->textures().data1D(clippingPlaneTexels(planes_));
      }
      return clippingPlanes_;
    }
    if (!value.is_object()) wrongType();
    checkKeys(value, pointer, what, {"planes", "texels", "file"});
    if (value.contains("planes")) {
      return scene_->textures().data1D(
          clippingPlaneTexels(readPlanes(value["planes"], pointer + "/planes", what)));
    }
    if (value.contains("texels")) {
      const json& texels = value["texels"];
      if (!texels.is_array()) wrongType();
      checkCount(texels, pointer + "/texels", what + " texels", limits_.items, "items");
      std::vector<pvx::float4> data;
      for (size_t i = 0; i < texels.size(); ++i) {
        const std::vector<float> v =
            numbers(texels[i], childPointer(pointer + "/texels", i), what + " texel", 4);
        data.emplace_back(v[0], v[1], v[2], v[3]);
      }
      return scene_->textures().data1D(std::move(data));
    }
    if (value.contains("file") && value["file"].is_string()) {
      try {
        return scene_->textures().file1D(file(value["file"].get<std::string>()));
      } catch (const TextureError& e) {
        fail(pointer + "/file", what + ": " + e.what());
      }
    }
    wrongType();
    return nullptr;
  }

  template <class Fail>
  pvx::ITextureCube* textureCube(const json& value, const std::string& pointer,
                                 const std::string& what, Fail&& wrongType) {
    if (value.is_null()) return nullptr;
    if (value.is_object() && value.contains("faces")) {
      const json& faces = value["faces"];
      if (!faces.is_array() || faces.size() != 6) {
        fail(pointer + "/faces", what +
                                     ": faces must be an array of 6 file names (+x, -x, +y, "
                                     "-y, +z, -z), not " +
                                     describe(faces));
      }
      const TextureOptions options = textureOptions(value, pointer, what, wrongType);
      std::array<pvx::ITexture2D*, 6> textures{};
      for (size_t i = 0; i < 6; ++i) {
        const std::string fp = childPointer(pointer + "/faces", i);
        const std::string name = string(faces[i], fp, what + " face");
        try {
          textures[i] = scene_->textures().file2D(file(name), options);
        } catch (const TextureError& e) {
          fail(fp, what + ": " + e.what());
        }
      }
      return scene_->textures().cubeFromFaces(textures);
    }
    if (!value.is_string() && !value.is_object()) wrongType();
    return scene_->textures().cubeFromLatLong(texture2D(value, pointer, what, wrongType));
  }

  std::vector<pvx::float4> readPlanes(const json& value, const std::string& pointer,
                                      const std::string& what) const {
    if (!value.is_array()) {
      fail(pointer, what + ": planes must be an array of [a, b, c, d], not " + describe(value));
    }
    checkCount(value, pointer, what + " planes", limits_.items, "items");
    std::vector<pvx::float4> planes;
    for (size_t i = 0; i < value.size(); ++i) {
      const std::vector<float> v = numbers(value[i], childPointer(pointer, i), what + " plane", 4);
      planes.emplace_back(v[0], v[1], v[2], v[3]);
    }
    return planes;
  }

  void readClippingPlanes() {
    planes_ = readPlanes(root_["clippingPlanes"], "/clippingPlanes", "clippingPlanes");
  }

  Transform readTransform(const json& value, const std::string& pointer,
                          const std::string& what) const {
    object(value, pointer, what + " transform");
    checkKeys(value, pointer, what + " transform", {"matrix", "translate", "rotate", "scale"});
    try {
      if (value.contains("matrix")) {
        if (value.size() > 1) {
          fail(pointer, what + " transform gives a matrix and other steps; give one or the other");
        }
        const std::vector<float> m = numbers(value["matrix"], pointer + "/matrix",
                                             what + " transform matrix (column by column)", 16);
        pvx::mat4 matrix;
        std::copy(m.begin(), m.end(), matrix.m);
        return Transform::fromMatrix(matrix);
      }
      Transform t;
      if (value.contains("scale")) {
        const json& s = value["scale"];
        const float3 f = s.is_number() ? float3(number(s, pointer + "/scale", what + " scale"))
                                       : vec3(s, pointer + "/scale", what + " scale");
        t = Transform::scale(f);
      }
      if (value.contains("rotate")) {
        // Degrees about x, then y, then z.
        const float3 r = vec3(value["rotate"], pointer + "/rotate", what + " rotate");
        t = Transform::rotate({1, 0, 0}, r.x) * t;
        t = Transform::rotate({0, 1, 0}, r.y) * t;
        t = Transform::rotate({0, 0, 1}, r.z) * t;
      }
      if (value.contains("translate")) {
        t = Transform::translate(
                vec3(value["translate"], pointer + "/translate", what + " translate")) *
            t;
      }
      return t;
    } catch (const std::domain_error& e) {
      fail(pointer, what + ": " + e.what());
    }
  }

  int materialIndex(const json& value, const std::string& pointer, const std::string& what) {
    const std::string name = string(value, pointer, what + " material");
    const int index = scene_->findShader(name);
    if (index < 0) {
      std::vector<std::string> names;
      for (const auto& s : scene_->shaders())
        if (s->kind == pvx::kKindMaterial) names.push_back(s->name);
      fail(pointer,
           what + ": there is no shader '" + host::clipped(name) + "'" + suggestion(name, names));
    }
    if (scene_->shader(index).kind != pvx::kKindMaterial) {
      fail(pointer, what + ": shader '" + name + "' is a " +
                        host::kindName(scene_->shader(index).kind) + ", not a material");
    }
    return index;
  }

  void readObjects() {
    std::vector<Object> objects;
    if (root_.contains("objects")) {
      const std::string p = "/objects";
      const json& list = root_["objects"];
      if (!list.is_array()) fail(p, "objects must be an array, not " + describe(list));
      checkCount(list, p, "objects", limits_.items, "items");
      for (size_t i = 0; i < list.size(); ++i) {
        const std::string op = childPointer(p, i);
        const json& entry = list[i];
        Object o;
        o.name = entry.is_object() && entry.contains("name") && entry["name"].is_string()
                     ? entry["name"].get<std::string>()
                     : "#" + std::to_string(i);
        const std::string what = "object '" + host::clipped(o.name) + "'";
        object(entry, op, what);
        checkKeys(entry, op, what,
                  {"name", "type", "radius", "size", "file", "material", "transform",
                   "castsShadows", "uvScale", "materials"});
        if (!entry.contains("type"))
          fail(op, what + " needs a \"type\" (sphere, plane, box, mesh or gltf)");
        const std::string type = string(entry["type"], op + "/type", what + " type");
        if (type == "gltf") {
          readGltfObject(entry, op, what, o.name, objects);
          sources_.objects.resize(objects.size(), prefix(positions_.value(op)));
          continue;
        }
        if (entry.contains("materials")) {
          failAtKey(op + "/materials", what + ": only a gltf object has \"materials\"");
        }
        if (type == "sphere") {
          o.kind = ShapeKind::Sphere;
          if (entry.contains("radius"))
            o.radius = number(entry["radius"], op + "/radius", what + " radius");
          if (!(o.radius > 0.0f)) fail(op + "/radius", what + " radius must be positive");
        } else if (type == "plane") {
          o.kind = ShapeKind::Plane;
          o.halfSize = float3(1e5f, 1e5f, 0.0f);
          if (entry.contains("size")) {
            const std::vector<float> s = numbers(entry["size"], op + "/size", what + " size", 2);
            o.halfSize = float3(0.5f * s[0], 0.5f * s[1], 0.0f);
            if (!(o.halfSize.x > 0.0f && o.halfSize.y > 0.0f)) {
              fail(op + "/size", what + " size must be positive along both axes");
            }
          }
        } else if (type == "box") {
          o.kind = ShapeKind::Box;
          if (entry.contains("size"))
            o.halfSize = vec3(entry["size"], op + "/size", what + " size") * 0.5f;
          if (!(o.halfSize.x > 0.0f && o.halfSize.y > 0.0f && o.halfSize.z > 0.0f)) {
            fail(op + "/size", what + " size must be positive along every axis");
          }
        } else if (type == "mesh") {
          o.kind = ShapeKind::Mesh;
          if (!entry.contains("file")) fail(op, what + " needs a \"file\" (an OBJ mesh)");
          const std::string name = string(entry["file"], op + "/file", what + " file");
          // A file named by many objects is read once.
          std::shared_ptr<Mesh>& mesh = meshes_[file(name)];
          try {
            if (!mesh) {
              mesh = std::make_shared<Mesh>(
                  loadObj(file(name), limits_.meshBytes, limits_.triangles - triangles_));
              scene_->sources.emplace_back(file(name), "mesh");
            }
            o.mesh = mesh;
          } catch (const GeometryError& e) {
            fail(op + "/file", what + ": " + e.what());
          }
          // Every object gets its own world-space copy of its mesh.
          triangles_ += static_cast<int64_t>(o.mesh->triangleCount());
          if (triangles_ > limits_.triangles) {
            fail(op + "/file", what + ": the scene's meshes hold " + std::to_string(triangles_) +
                                   " triangles in all by now, more than the ceiling of " +
                                   ceilingText(limits_.triangles, "triangles"));
          }
        } else {
          fail(op + "/type", what + " type is sphere, plane, box, mesh or gltf, not '" +
                                 host::clipped(type) + "'" +
                                 suggestion(type, {"sphere", "plane", "box", "mesh", "gltf"}));
        }
        if (entry.contains("uvScale")) {
          const std::vector<float> s =
              numbers(entry["uvScale"], op + "/uvScale", what + " uvScale", 2);
          o.uvScale = float2(s[0], s[1]);
        }
        if (entry.contains("transform"))
          o.transform = readTransform(entry["transform"], op + "/transform", what);
        if (entry.contains("castsShadows"))
          o.castsShadows =
              boolean(entry["castsShadows"], op + "/castsShadows", what + " castsShadows");
        if (entry.contains("material"))
          o.material = materialIndex(entry["material"], op + "/material", what);
        objects.push_back(std::move(o));
        sources_.objects.push_back(prefix(positions_.value(op)));
      }
    }
    try {
      scene_->setObjects(std::move(objects));
    } catch (const GeometryError& e) {
      fail("/objects", e.what());
    }
  }

  // A glTF model placed as one object: its meshes become objects named "<name>/<node>", its
  // materials and lights shaders named "<name>/<glTF name>". `material` replaces every material
  // of the model; `materials` replaces one by name with a scene shader (a string) or changes its
  // class and parameters ({"class", "parameters"}).
  void readGltfObject(const json& entry, const std::string& op, const std::string& what,
                      const std::string& name, std::vector<Object>& objects) {
    if (!entry.contains("file")) fail(op, what + " needs a \"file\" (a glTF model, .gltf or .glb)");
    const std::string fileName = string(entry["file"], op + "/file", what + " file");
    GltfPlacement placement;
    placement.prefix = name;
    if (entry.contains("transform"))
      placement.transform = readTransform(entry["transform"], op + "/transform", what);
    if (entry.contains("castsShadows"))
      placement.castsShadows =
          boolean(entry["castsShadows"], op + "/castsShadows", what + " castsShadows");
    const int everyMaterial =
        entry.contains("material") ? materialIndex(entry["material"], op + "/material", what) : -1;
    const std::string mp = op + "/materials";
    const json empty = json::object();
    const json& overrides =
        entry.contains("materials") ? object(entry["materials"], mp, what + " materials") : empty;
    for (const auto& item : overrides.items()) {
      const std::string ip = childPointer(mp, item.key());
      const std::string label = what + " material '" + host::clipped(item.key()) + "'";
      if (item.value().is_string()) {
        materialIndex(item.value(), ip, label);
        continue;
      }
      if (!item.value().is_object()) {
        fail(ip, label + " is a scene material's name or {\"class\", \"parameters\"}, not " +
                     describe(item.value()));
      }
      checkKeys(item.value(), ip, label, {"class", "parameters"});
      if (item.value().contains("class")) {
        const std::string className =
            string(item.value()["class"], ip + "/class", label + " class");
        if (pvx::findCatalogueIndex(className) < 0) {
          fail(ip + "/class", label + ": there is no shader class '" + host::clipped(className) +
                                  "'" + suggestion(className, host::catalogueClassNames()));
        }
      }
      if (item.value().contains("parameters"))
        object(item.value()["parameters"], ip + "/parameters", label + " parameters");
    }
    placement.replacement = [&](const std::string& material) {
      if (overrides.contains(material) && overrides[material].is_string()) {
        return materialIndex(overrides[material], childPointer(mp, material), what);
      }
      return everyMaterial;
    };
    placement.classOverride = [&](const std::string& material) {
      if (!overrides.contains(material) || !overrides[material].contains("class"))
        return std::string();
      return overrides[material]["class"].get<std::string>();
    };
    placement.adjust = [&](const std::string& material, ShaderInstance& instance) {
      if (!overrides.contains(material) || !overrides[material].contains("parameters")) return;
      const std::string pp = childPointer(mp, material) + "/parameters";
      for (const auto& parameter : overrides[material]["parameters"].items())
        setParameter(instance, parameter.key(), parameter.value(),
                     childPointer(pp, parameter.key()));
    };
    GltfContents contents;
    try {
      contents = addGltfModel(*scene_, file(fileName), placement, limits_, triangles_);
    } catch (const GltfError& e) {
      fail(op + "/file", what + ": " + e.what());
    }
    for (const auto& item : overrides.items()) {
      const auto& names = contents.materialNames;
      if (std::find(names.begin(), names.end(), item.key()) == names.end()) {
        failAtKey(childPointer(mp, item.key()), what + ": the model has no material '" +
                                                    host::clipped(item.key()) + "'" +
                                                    suggestion(item.key(), names));
      }
    }
    triangles_ = contents.triangles;
    for (Object& o : contents.objects)
      objects.push_back(std::move(o));
  }

  void readLights() {
    const std::string p = "/lights";
    const json& list = root_["lights"];
    if (!list.is_array()) fail(p, "lights must be an array, not " + describe(list));
    checkCount(list, p, "lights", limits_.lights, "lights");
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string lp = childPointer(p, i);
      const json& entry = list[i];
      Light light;
      light.name = entry.is_object() && entry.contains("name") && entry["name"].is_string()
                       ? entry["name"].get<std::string>()
                       : "#" + std::to_string(i);
      const std::string what = "light '" + host::clipped(light.name) + "'";
      object(entry, lp, what);
      checkKeys(entry, lp, what, {"name", "shader", "position", "axis", "lookAt", "diffuseOnly"});
      if (!entry.contains("shader")) fail(lp, what + " needs a \"shader\" (a light shader's name)");
      const std::string shader = string(entry["shader"], lp + "/shader", what + " shader");
      light.shader = scene_->findShader(shader);
      if (light.shader < 0) {
        std::vector<std::string> names;
        for (const auto& s : scene_->shaders())
          if (s->kind == pvx::kKindLight) names.push_back(s->name);
        fail(lp + "/shader", what + ": there is no shader '" + host::clipped(shader) + "'" +
                                 suggestion(shader, names));
      }
      if (scene_->shader(light.shader).kind != pvx::kKindLight) {
        fail(lp + "/shader", what + ": shader '" + shader + "' is a " +
                                 host::kindName(scene_->shader(light.shader).kind) +
                                 ", not a light");
      }
      if (entry.contains("axis") && entry.contains("lookAt")) {
        failAtKey(lp + "/lookAt", what + " gives both \"axis\" and \"lookAt\"; give one of them");
      }
      if (entry.contains("position"))
        light.position = vec3(entry["position"], lp + "/position", what + " position");
      if (entry.contains("axis")) light.axis = vec3(entry["axis"], lp + "/axis", what + " axis");
      if (entry.contains("lookAt")) {
        light.axis = vec3(entry["lookAt"], lp + "/lookAt", what + " lookAt") - light.position;
      }
      if (!(length(light.axis) > 0.0f)) fail(lp, what + " has no direction (its axis is zero)");
      light.axis = normalize(light.axis);
      if (entry.contains("diffuseOnly"))
        light.diffuseOnly =
            boolean(entry["diffuseOnly"], lp + "/diffuseOnly", what + " diffuseOnly");
      scene_->lights.push_back(light);
    }
  }

  void readEnvironment() {
    const std::string p = "/environment";
    const std::string name = string(root_["environment"], p, "environment");
    const int index = scene_->findShader(name);
    if (index < 0) {
      std::vector<std::string> names;
      for (const auto& s : scene_->shaders())
        if (s->kind == pvx::kKindEnvironment) names.push_back(s->name);
      fail(p, "environment: there is no shader '" + host::clipped(name) + "'" +
                  suggestion(name, names));
    }
    if (scene_->shader(index).kind != pvx::kKindEnvironment) {
      fail(p, "environment: shader '" + name + "' is a " +
                  host::kindName(scene_->shader(index).kind) + ", not an environment");
    }
    scene_->environment = index;
  }

  void readLabels() {
    const std::string p = "/labels";
    const json& list = root_["labels"];
    if (!list.is_array()) fail(p, "labels must be an array, not " + describe(list));
    checkCount(list, p, "labels", limits_.items, "items");
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string lp = childPointer(p, i);
      object(list[i], lp, "label");
      checkKeys(list[i], lp, "label", {"text", "at", "size"});
      Label label;
      if (list[i].contains("text")) {
        label.text = string(list[i]["text"], lp + "/text", "label text");
        if (static_cast<int64_t>(label.text.size()) > limits_.labelCharacters) {
          fail(lp + "/text", "label text holds " + std::to_string(label.text.size()) +
                                 " bytes, more than the ceiling of " +
                                 ceilingText(limits_.labelCharacters, "label-characters"));
        }
      }
      if (list[i].contains("at")) label.anchor = vec3(list[i]["at"], lp + "/at", "label position");
      if (list[i].contains("size"))
        label.size = number(list[i]["size"], lp + "/size", "label size (pixels)", 0.0f,
                            static_cast<float>(limits_.labelPixels));
      const int64_t characters = std::max<int64_t>(label.longestLine(), 1);
      const double area = static_cast<double>(characters) * label.size * label.size;
      if (area > static_cast<double>(limits_.labelArea)) {
        fail(lp + "/size", "label of " + std::to_string(characters) + " characters in a line at " +
                               shortText(label.size) + " pixels covers " +
                               std::to_string(static_cast<int64_t>(area)) +
                               " square pixels, more than the ceiling of " +
                               ceilingText(limits_.labelArea, "label-area"));
      }
      label.largest = static_cast<float>(
          std::sqrt(static_cast<double>(limits_.labelArea) / static_cast<double>(characters)));
      scene_->labels.push_back(label);
    }
  }

  const std::string& text_;
  std::string name_;
  std::string folder_;
  std::shared_ptr<const host::PluginLibrary> library_;
  const Limits& limits_;
  json root_;
  JsonPositions positions_;
  std::unique_ptr<Scene> scene_;
  SceneSources sources_;
  std::vector<pvx::float4> planes_;
  std::map<std::string, std::shared_ptr<Mesh>> meshes_;
  int64_t triangles_ = 0;
  pvx::ITexture1D* clippingPlanes_ = nullptr;
  pvx::ITexture2D* sky_ = nullptr;
  pvx::ITexture2D* checker_ = nullptr;
  pvx::ITexture2D* flakes_ = nullptr;
};

}  // namespace

std::unique_ptr<Scene> loadSceneText(const std::string& text, const std::string& displayName,
                                     const std::string& folder,
                                     std::shared_ptr<const host::PluginLibrary> library,
                                     const Limits& limits) {
  if (static_cast<int64_t>(text.size()) > limits.sceneBytes) {
    throw SceneError(displayName + ": the scene holds " + std::to_string(text.size()) +
                     " bytes, more than the ceiling of " +
                     ceilingText(limits.sceneBytes, "scene-bytes"));
  }
  return Loader(text, displayName, folder, std::move(library), limits).load();
}

std::unique_ptr<Scene> loadScene(const std::string& path,
                                 std::shared_ptr<const host::PluginLibrary> library,
                                 const Limits& limits) {
  if (isGltfFile(path)) {
    try {
      return loadGltfScene(path, std::move(library), limits);
    } catch (const GltfError& e) {
      throw SceneError(e.what());
    }
  }
  std::string text;
  try {
    text = readWholeFile(path, "scene file", limits.sceneBytes, "scene-bytes");
  } catch (const std::runtime_error& e) {
    throw SceneError(e.what());
  }
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
  std::unique_ptr<Scene> scene = loadSceneText(text, path, folder, std::move(library), limits);
  scene->sources.emplace_back(path, "scene file");
  return scene;
}

}  // namespace tarvo::render

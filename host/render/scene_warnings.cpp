#include "host/render/scene_warnings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "host/class_listing.h"
#include "notes/parameter_notes.h"

namespace tarvo::render {

namespace {

using host::ParamType;

// A hostile scene could otherwise turn each of its values into a line of text: past this many
// warnings only their number is told.
constexpr size_t kMostWarnings = 64;
// Names listed where the scene's materials are suggested.
constexpr size_t kMostNames = 8;

class Warner {
 public:
  Warner(Scene& scene, const SceneSources& sources) : scene_(scene), sources_(sources) {
    for (const Object& o : scene.geometry().objects()) {
      if (o.material >= 0) usedMaterials_.insert(o.material);
      if (o.kind == ShapeKind::Plane) continue;
      centres_.middle = centres_.middle + o.transform.point(float3(0.0f));
      ++centres_.count;
    }
    if (centres_.count > 0)
      centres_.middle = centres_.middle * (1.0f / static_cast<float>(centres_.count));
    for (const Object& o : scene.geometry().objects()) {
      if (o.kind == ShapeKind::Plane) continue;
      centres_.radius =
          std::max(centres_.radius, length(o.transform.point(float3(0.0f)) - centres_.middle));
    }
  }

  size_t leftOut() const { return leftOut_; }

  void run() {
    for (int i = 0; i < static_cast<int>(scene_.shaders().size()); ++i) {
      const ShaderInstance& s = scene_.shader(i);
      outsideRanges(s);
      if (s.kind == pvx::kKindLight) blackLight(i);
      if (usedMaterials_.count(i) != 0) mirrorCurve(s);
    }
    objectsWithoutMaterial();
    emptyView();
  }

 private:
  // ---- places and values in the messages
  std::string atShader(const std::string& shader) const {
    const auto found = sources_.shaders.find(shader);
    return found != sources_.shaders.end() ? found->second : sources_.file;
  }
  // The parameter's value when the scene gave it, else the shader's entry.
  std::string atParameter(const std::string& shader, const std::string& name) const {
    const auto given = sources_.parameters.find(shader);
    if (given != sources_.parameters.end()) {
      const auto found = given->second.find(name);
      if (found != given->second.end()) return found->second;
    }
    return atShader(shader);
  }
  static std::string owner(const ShaderInstance& s) {
    return "shader '" + s.name + "' (" + s.className() + ")";
  }
  static std::string value(const ShaderInstance& s, const char* name) {
    return host::valueText(*s.bound, *s.bound->table().find(name));
  }
  static std::string number(float v) { return host::formatFloat(v); }
  static std::string triple(float3 v) {
    return "[" + number(v.x) + ", " + number(v.y) + ", " + number(v.z) + "]";
  }
  static bool declares(const ShaderInstance& s, const char* name) {
    return s.bound->table().find(name) != nullptr;
  }
  static float floatOf(const ShaderInstance& s, const char* name, float otherwise) {
    return declares(s, name) ? s.bound->get<float>(name, ParamType::Float) : otherwise;
  }
  static bool flagOf(const ShaderInstance& s, const char* name) {
    return declares(s, name) && s.bound->get<bool>(name, ParamType::Bool);
  }
  void warn(const std::string& at, const std::string& message) {
    if (told_ == kMostWarnings) {
      ++leftOut_;
      return;
    }
    ++told_;
    scene_.warnings.push_back(at + message);
  }

  // ---- a light that lights nothing
  // Both light classes fall off as 1 - (d / a)^b limited to [0, 1] (a NaN stays, and lights
  // nothing), up to their range.
  static bool litAtSomeDistance(float a, float b, float range) {
    const float farthest = std::min(range, 1e7f);
    if (!(farthest > 0.0f)) return false;
    constexpr int kSteps = 240;
    for (int k = 0; k <= kSteps; ++k) {
      const float d = 1e-3f * std::pow(farthest / 1e-3f, static_cast<float>(k) / kSteps);
      if (1.0f - std::pow(d / a, b) > 0.0f) return true;
    }
    return false;
  }

  // A falloff reach to suggest: a round number at least twice as far as the farthest centre
  // of a bounded object (or the camera's target) is from the lights.
  float suggestedReach(const std::vector<const Light*>& lights) const {
    float farthest = 0.0f;
    for (const Light* light : lights) {
      farthest = std::max({farthest, length(scene_.camera.target - light->position),
                           length(centres_.middle - light->position) + centres_.radius});
    }
    float reach = 1.0f;
    for (int k = 0; k < 24 && reach < 2.0f * farthest; ++k)
      reach *= (k % 3 == 1) ? 2.5f : 2.0f;  // 1, 2, 5, 10, 20, 50, ...
    return reach;
  }

  void blackLight(int index) {
    const ShaderInstance& s = scene_.shader(index);
    if (!declares(s, "attenuationFactors") || !declares(s, "color")) return;
    std::vector<const Light*> users;
    std::string names;
    for (const Light& light : scene_.lights) {
      if (light.shader != index) continue;
      names += (users.empty() ? "light '" : ", '") + light.name + "'";
      users.push_back(&light);
    }
    if (users.empty()) return;
    const std::string lead = owner(s) + ", used by " + names + ", lights nothing: ";
    const float3 color = s.bound->get<float3>("color", ParamType::Color);
    if (!(std::max({color.x, color.y, color.z}) > 0.0f)) {
      warn(atParameter(s.name, "color"),
           lead + "color " + value(s, "color") + " is black; set \"color\": [1, 1, 1] (white)");
      return;
    }
    const float range = floatOf(s, "range", 1e30f);
    if (!(range > 0.0f)) {
      warn(atParameter(s.name, "range"), lead + "range " + number(range) +
                                             " leaves every point out of its reach; set "
                                             "\"range\": 10000");
      return;
    }
    const float3 f = s.bound->get<float3>("attenuationFactors", ParamType::Color);
    if (litAtSomeDistance(f.x, f.y, range)) return;
    const float reach = suggestedReach(users);
    warn(atParameter(s.name, "attenuationFactors"),
         lead + "attenuationFactors " + value(s, "attenuationFactors") +
             " gives black at every distance (the falloff is 1 - (d / a)^b" +
             (f.y == 0.0f ? ", and b = 0 makes it 0 everywhere" : "") +
             "); set \"attenuationFactors\": " + triple(float3(reach, 2.0f, f.z)) +
             " for full light near it fading to black " + number(reach) + " units away");
  }

  // ---- a reflectivity curve that leaves no diffuse part
  // The Ward family and the metal weight their diffuse colour by 1 - F, F going from
  // u_brdf00Reflectivity facing to u_brdf90Reflectivity at grazing as (1 - cos)^u_brdfCurvePower;
  // a power of 0 gives the grazing value at every angle. The Ward family also scales F by
  // u_reflectivity.
  void mirrorCurve(const ShaderInstance& s) {
    if (!declares(s, "u_brdfCurvePower") || !declares(s, "u_brdf90Reflectivity") ||
        !declares(s, "u_diffuseColor")) {
      return;
    }
    // Maps decide the reflectivity texel by texel.
    if (flagOf(s, "u_brdf00ReflectMapEnable") || flagOf(s, "u_brdf90ReflectMapEnable")) return;
    const float power = s.bound->get<float>("u_brdfCurvePower", ParamType::Float);
    const float r0 = floatOf(s, "u_brdf00Reflectivity", 0.0f);
    const float r90 = s.bound->get<float>("u_brdf90Reflectivity", ParamType::Float);
    const float scale = floatOf(s, "u_reflectivity", 1.0f);
    const float3 diffuse = s.bound->get<float3>("u_diffuseColor", ParamType::Color);
    const bool diffuseMap = flagOf(s, "u_diffuseMapEnable");
    if (!(std::max({diffuse.x, diffuse.y, diffuse.z}) > 0.0f) && !diffuseMap) return;
    // A negative power is reported as outside its range.
    if (!(power >= 0.0f)) return;
    const float lowest = power == 0.0f ? r90 : std::min(r0, r90);
    if (!(std::min(lowest, 1.0f) * scale >= 1.0f)) return;
    const std::string hidden = diffuseMap ? std::string("its diffuse map")
                                          : "its u_diffuseColor " + value(s, "u_diffuseColor");
    const std::string lead = owner(s) + ": ";
    const std::string tail = ", so the surface is a mirror and " + hidden + " never shows; set ";
    // A plastic's facing reflectivity (a metal's lies between 0.5 and 0.9), unless the scene
    // chose one that the curve can use.
    const auto given = sources_.parameters.find(s.name);
    const bool facingGiven =
        given != sources_.parameters.end() && given->second.count("u_brdf00Reflectivity") != 0;
    const bool lowerFacing = r0 * scale >= 1.0f || !facingGiven;
    if (power == 0.0f) {
      warn(atParameter(s.name, "u_brdfCurvePower"),
           lead + "u_brdfCurvePower 0 makes the reflectivity u_brdf90Reflectivity (" + number(r90) +
               ") at every angle" + tail + "\"u_brdfCurvePower\": 5" +
               (lowerFacing ? " and \"u_brdf00Reflectivity\": 0.04 (a plastic)" : "") +
               " for a reflectivity rising from " + (lowerFacing ? "0.04" : number(r0)) +
               " facing to " + number(r90) + " at grazing");
    } else {
      warn(atParameter(s.name, "u_brdf00Reflectivity"),
           lead + "u_brdf00Reflectivity " + number(r0) + " and u_brdf90Reflectivity " +
               number(r90) + " make the reflectivity 1 at every angle" + tail +
               "\"u_brdf00Reflectivity\": 0.04 (a plastic; 0.5 to 0.9 for a metal)");
    }
  }

  // ---- values outside what their notes document
  void outsideRanges(const ShaderInstance& s) {
    const auto given = sources_.parameters.find(s.name);
    if (given == sources_.parameters.end()) return;
    for (const auto& [name, at] : given->second) {
      const pvx::NoteText* note = pvx::parameterNote(s.className(), name);
      const host::ParameterRecord* record = s.bound->table().find(name);
      if (note == nullptr || note->range == nullptr || record == nullptr) continue;
      const pvx::NoteRange range = pvx::parseNoteRange(note->range);
      const void* address = s.bound->address(name);
      if (record->type == ParamType::Int) {
        int32_t v = 0;
        std::memcpy(&v, address, sizeof v);
        outsideRange(s, name, at, note->range, range, {static_cast<double>(v)});
        continue;
      }
      const int count = host::floatCount(record->type);
      if (count == 0 || count > 4) continue;  // flags, textures and matrices have no range
      float v[4];
      std::memcpy(v, address, sizeof(float) * static_cast<size_t>(count));
      outsideRange(s, name, at, note->range, range, std::vector<double>(v, v + count));
    }
  }

  void outsideRange(const ShaderInstance& s, const std::string& name, const std::string& at,
                    const char* text, const pvx::NoteRange& range, const std::vector<double>& v) {
    const std::string lead = owner(s) + ": " + name + " " + value(s, name.c_str());
    if (range.form == pvx::NoteRange::Form::Values) {
      const auto& values = range.values;
      if (std::any_of(values.begin(), values.end(), [&](const auto& m) { return m.first == v[0]; }))
        return;
      std::string list;
      for (const auto& m : values)
        list += (list.empty() ? "" : ", ") + std::to_string(m.first);
      warn(at, lead + " is none of its values (" + text + "); set one of " + list);
      return;
    }
    if (range.form != pvx::NoteRange::Form::Interval) return;
    // The nearest value inside, where that is a closed end.
    std::vector<double> inside = v;
    bool outside = false, nearest = true;
    for (double& c : inside) {
      const bool below = range.lowOpen ? !(c > range.low) : !(c >= range.low);
      const bool above = range.highOpen ? !(c < range.high) : !(c <= range.high);
      if (!below && !above) continue;
      outside = true;
      c = below ? range.low : range.high;
      if (below ? range.lowOpen : range.highOpen) nearest = false;
    }
    if (!outside) return;
    std::string suggestion;
    for (double c : inside)
      suggestion += (suggestion.empty() ? "" : ", ") + number(static_cast<float>(c));
    if (inside.size() > 1) suggestion = "[" + suggestion + "]";
    warn(at, lead + " lies outside its range " + text +
                 (inside.size() > 1 ? " (per component)" : "") + "; set a value within it" +
                 (nearest ? ", such as " + suggestion : std::string()));
  }

  // ---- objects without a material
  void objectsWithoutMaterial() {
    std::string materials;
    size_t named = 0;
    for (const auto& s : scene_.shaders()) {
      if (s->kind != pvx::kKindMaterial) continue;
      if (named++ == kMostNames) {
        materials += ", ...";
        break;
      }
      materials += (named == 1 ? "'" : ", '") + s->name + "'";
    }
    const std::vector<Object>& objects = scene_.geometry().objects();
    for (size_t i = 0; i < objects.size(); ++i) {
      if (objects[i].material >= 0) continue;
      const std::string at = i < sources_.objects.size() ? sources_.objects[i] : sources_.file;
      warn(at, "object '" + objects[i].name +
                   "' has no \"material\": no shader runs on it, and the renderer draws it in a "
                   "flat grey by the viewing angle (black in path mode); give it a \"material\"" +
                   (materials.empty() ? std::string(" (a material shader of \"shaders\")")
                                      : " (the scene's materials: " + materials + ")"));
    }
  }

  // ---- a camera that sees nothing
  bool anyObjectInView() const {
    const Camera& camera = scene_.camera;
    const int w = scene_.settings.width, h = scene_.settings.height;
    // Object centres first (small objects between the rays below), then a grid of rays.
    for (const Object& o : scene_.geometry().objects()) {
      float x = 0.0f, y = 0.0f;
      if (o.kind != ShapeKind::Plane &&
          camera.project(o.transform.point(float3(0.0f)), w, h, &x, &y) && x >= 0.0f && y >= 0.0f &&
          x <= static_cast<float>(w) && y <= static_cast<float>(h)) {
        return true;
      }
    }
    constexpr int kColumns = 48, kRows = 27;
    for (int j = 0; j < kRows; ++j) {
      for (int i = 0; i < kColumns; ++i) {
        Ray ray;
        ray.origin = camera.position;
        ray.direction = camera.direction((static_cast<float>(i) + 0.5f) * w / kColumns,
                                         (static_cast<float>(j) + 0.5f) * h / kRows, w, h);
        Hit hit;
        if (scene_.geometry().intersect(ray, &hit)) return true;
      }
    }
    return false;
  }

  void emptyView() {
    const size_t objects = scene_.geometry().objects().size();
    const std::string at = sources_.camera.empty() ? sources_.file : sources_.camera;
    if (objects == 0) {
      if (scene_.environment < 0) {
        warn(at,
             "the scene has no objects and no environment: the camera sees nothing and the "
             "image is empty; add \"objects\" (and an \"environment\" for the background)");
      }
      return;
    }
    if (anyObjectInView()) return;
    const Camera& c = scene_.camera;
    warn(at, "the camera at " + triple(c.position) + " looking at " + triple(c.target) +
                 " sees none of the scene's " + std::to_string(objects) +
                 (objects == 1 ? " object" : " objects") + ", only " +
                 (scene_.environment >= 0 ? "the environment" : "empty space") +
                 "; set the camera's \"lookAt\": " + triple(centres_.middle) +
                 (centres_.count > 0 ? " (the objects' centre)" : "") +
                 " or move its \"position\"");
  }

  Scene& scene_;
  const SceneSources& sources_;
  std::set<int> usedMaterials_;
  // Where the centres of the bounded objects (all but planes) lie: their mean and the largest
  // distance from it.
  struct {
    float3 middle{0.0f};
    float radius = 0.0f;
    size_t count = 0;
  } centres_;
  size_t told_ = 0, leftOut_ = 0;
};

}  // namespace

void warnAboutScene(Scene& scene, const SceneSources& sources) {
  const size_t first = scene.warnings.size();
  Warner warner(scene, sources);
  warner.run();
  // In the order of the file, so that they read along with it.
  const size_t name = sources.file.size() >= 2 ? sources.file.size() - 2 : 0;  // "file: "
  const auto place = [&](const std::string& w) {
    int line = 0, column = 0;
    if (w.size() > name) std::sscanf(w.c_str() + name, ":%d:%d:", &line, &column);
    return std::make_pair(line, column);
  };
  std::stable_sort(scene.warnings.begin() + static_cast<std::ptrdiff_t>(first),
                   scene.warnings.end(),
                   [&](const std::string& a, const std::string& b) { return place(a) < place(b); });
  if (warner.leftOut() > 0) {
    scene.warnings.push_back(sources.file + std::to_string(warner.leftOut()) +
                             " more warnings are left out; mend these first");
  }
}

}  // namespace tarvo::render

// The index of the note tables: one per catalogue class, defined by TARVO_SHADER_FACTORY in
// each class file compiled for the notes build.
#include "notes/parameter_notes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "tarvo/catalogue.h"

namespace pvx {

#define TARVO_DECLARE_NOTES(Class, Kind, Mask) const ParameterNote* notes_##Class() noexcept;
TARVO_CATALOGUE(TARVO_DECLARE_NOTES)
#undef TARVO_DECLARE_NOTES

namespace {

struct ClassNotes {
  const char* className;
  const ParameterNote* (*notes)() noexcept;
};

#define TARVO_NOTES_ENTRY(Class, Kind, Mask) ClassNotes{#Class, &notes_##Class},
constexpr ClassNotes kClassNotes[] = {TARVO_CATALOGUE(TARVO_NOTES_ENTRY)};
#undef TARVO_NOTES_ENTRY

}  // namespace

const ParameterNote* parameterNotes(std::string_view className) {
  for (const ClassNotes& c : kClassNotes) {
    if (className == c.className) return c.notes();
  }
  return nullptr;
}

namespace {

struct ClassSummary {
  const char* className;
  const char* summary;
};

// Written from each class's description; the catalogue order.
constexpr ClassSummary kClassSummaries[] = {
    {"BackgroundGeometry",
     "the dome or ground that carries a backplate picture, with the scene's shadows on it"},
    {"VesmarLegacy",
     "the older layered surface: textured diffuse, two glossy lobes, Fresnel reflection, glass"},
    {"XRite",
     "measured metallic car paint: base coat, sparkling flakes and clear coat, lit by cubes"},
    {"qvPointLight", "light from a point, with a range, a distance falloff and shadows"},
    {"qvSpotLight", "the point light within a cone whose edge rises smoothly"},
    {"quarra_Env_Backplate",
     "a background picture behind the geometry, lit and reflected by an environment image"},
    {"quarra_Env_Default",
     "a flat background colour, or a latitude-longitude image for reflections and the sky"},
    {"quarra_Mtl_AmbientOnly", "diagnostic: the ambient-occlusion term as a grey level"},
    {"quarra_Mtl_Dielectric",
     "glass and clear dielectrics: smooth or rough refraction, Fresnel reflection, absorption"},
    {"quarra_Mtl_Glazing", "thin window glass: straight-through light and a traced reflection"},
    {"quarra_Mtl_Metal",
     "sheet metal: anisotropic Ward lobe, reflectivity curve, flecks, patina, punched holes"},
    {"quarra_Mtl_MetallicPaint",
     "layered car paint: metallic base, sparkling flecks, pearl sheen, clear topcoat"},
    {"quarra_Mtl_Mirror", "a perfect tinted mirror"},
    {"quarra_Mtl_NormalsOnly", "diagnostic: colours a surface by the side that faces the viewer"},
    {"quarra_Mtl_ShadowPlane",
     "shadow catcher: shows what lies behind it, darkened where light does not reach"},
    {"quarra_Mtl_Solid", "geometry preview: a fixed tint shaded by the viewing angle"},
    {"quarra_Mtl_Unlit", "a flat colour that only camera rays see"},
    {"quarra_Mtl_Ward",
     "general-purpose surface: diffuse under an anisotropic Ward glossy lobe, with glass, decals "
     "and bumps"},
    {"quarra_Mtl_Ward_120b7820", "Ward whose diffuse colour is a noise of two constant colours"},
    {"quarra_Mtl_Ward_33632204",
     "Ward whose diffuse colour and bump are each a noise of two noises of two bitmaps"},
    {"quarra_Mtl_Ward_5592d496",
     "Ward whose diffuse colour is a noise of two bitmaps, with a bitmap bump"},
    {"quarra_Mtl_Ward_5ba0bfff",
     "Ward whose bump is a noise of two constant colours (flat: a constant network bends nothing)"},
    {"quarra_Mtl_Ward_82261344",
     "Ward whose diffuse colour is a noise of two bitmaps, with a bitmap cut-out"},
    {"quarra_Mtl_Ward_aa598cb4",
     "Ward whose diffuse colour and bump are each a noise of two bitmaps"},
    {"quarra_Mtl_Ward_b9aac246",
     "Ward whose diffuse colour is a noise of two brick walls (bitmap bricks, mortar), with a "
     "bitmap bump"},
    {"quarra_Mtl_Ward_ccb3a2e6", "Ward whose diffuse colour is a noise of two bitmaps"},
    {"quarra_Mtl_Ward_f05db29e",
     "Ward whose diffuse colour is a brick wall (bitmap bricks and mortar), with a bitmap bump"},
};

}  // namespace

const char* classSummary(std::string_view className) {
  for (const ClassSummary& c : kClassSummaries) {
    if (className == c.className) return c.summary;
  }
  return nullptr;
}

const NoteText* parameterNote(std::string_view className, std::string_view name) {
  for (const ParameterNote* n = parameterNotes(className); n != nullptr && n->name != nullptr;
       ++n) {
    if (name == n->name) return &n->text;
  }
  return nullptr;
}

std::string noteLine(std::string_view className, std::string_view name) {
  const NoteText* note = parameterNote(className, name);
  if (note == nullptr || note->meaning == nullptr) return {};
  std::string out = note->meaning;
  if (note->range) out += std::string("; ") + note->range;
  if (note->unit) out += std::string("; ") + note->unit;
  return out;
}

namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ')
    s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ')
    s.remove_suffix(1);
  return s;
}

bool readBound(std::string_view text, double* out) {
  const std::string s(trimmed(text));
  if (s == "inf" || s == "+inf") {
    *out = std::numeric_limits<double>::infinity();
    return true;
  }
  if (s == "-inf") {
    *out = -std::numeric_limits<double>::infinity();
    return true;
  }
  if (s.empty()) return false;
  char* end = nullptr;
  *out = std::strtod(s.c_str(), &end);
  return end == s.c_str() + s.size();
}

}  // namespace

NoteRange parseNoteRange(const char* range) {
  NoteRange r;
  if (range == nullptr) return r;
  const std::string_view text = trimmed(range);
  // "[a, b]" with either end open.
  if (text.size() >= 5 && (text.front() == '[' || text.front() == '(') &&
      (text.back() == ']' || text.back() == ')')) {
    const size_t comma = text.find(',');
    if (comma != std::string_view::npos && readBound(text.substr(1, comma - 1), &r.low) &&
        readBound(text.substr(comma + 1, text.size() - comma - 2), &r.high)) {
      r.form = NoteRange::Form::Interval;
      r.lowOpen = text.front() == '(';
      r.highOpen = text.back() == ')';
    }
    return r;
  }
  // "v1 meaning | v2 meaning ...": every part starts with a whole number.
  std::vector<std::pair<int, std::string>> values;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t bar = std::min(text.find('|', start), text.size());
    const std::string part(trimmed(text.substr(start, bar - start)));
    char* end = nullptr;
    const long v = std::strtol(part.c_str(), &end, 10);
    if (end == part.c_str() || (*end != ' ' && *end != '\0')) return r;
    values.emplace_back(static_cast<int>(v), std::string(trimmed(end)));
    start = bar + 1;
  }
  if (values.size() >= 2) {
    r.form = NoteRange::Form::Values;
    r.values = std::move(values);
  }
  return r;
}

}  // namespace pvx

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

// The parameter notes of every shader class, for tools and tests: what each parameter and
// varying means, its useful range and its unit, as the class descriptions write them. Not part
// of the shader library: link tarvoShaders_notes (see frame/shader_class.h for how it is built).
#ifndef TARVO_NOTES_PARAMETER_NOTES_H
#define TARVO_NOTES_PARAMETER_NOTES_H

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "frame/parameter_note.h"

namespace pvx {

// The class's notes in declaration order (parameters and varyings), ended by an entry with a
// null name; null for a name that is not in the catalogue.
const ParameterNote* parameterNotes(std::string_view className);

// The note of one declared name of the class, or null.
const NoteText* parameterNote(std::string_view className, std::string_view name);

// One line on what the class is for, as the catalogue listing shows it; for the Ward network
// variants, what their networks feed. Null for a name that is not in the catalogue.
const char* classSummary(std::string_view className);

// "meaning; range; unit" with the parts the note has; empty for a name without a note.
std::string noteLine(std::string_view className, std::string_view name);

// A note's range read as the tools use it (see frame/parameter_note.h for the forms).
struct NoteRange {
  enum class Form { None, Interval, Values };
  Form form = Form::None;
  double low = 0.0, high = 0.0;  // infinite where the interval has no bound
  bool lowOpen = false, highOpen = false;
  std::vector<std::pair<int, std::string>> values;  // mode number and what it selects
};
NoteRange parseNoteRange(const char* range);

}  // namespace pvx

#endif  // TARVO_NOTES_PARAMETER_NOTES_H

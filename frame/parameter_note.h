// What a parameter means to the person setting it: one line of meaning, its useful range (or
// what each value of a mode number selects) and its unit. Written beside the parameter in the
// class's description; kept out of the library's binary interface (see frame/shader_class.h).
#ifndef TARVO_FRAME_PARAMETER_NOTE_H
#define TARVO_FRAME_PARAMETER_NOTE_H

namespace pvx {

// The optional trailing part of a PARAM or VARYING line; any part left out is null.
//
// The range is read by the tools in three forms:
//   "[0, 1]", "[0, inf)", "(0, 1]"   a closed or open interval (per component for vectors
//                                    and colours); "inf" and "-inf" for no bound;
//   "-1 off | 0 constant | 1 UV"     the values of a mode number, each with what it selects;
//   anything else                    free text, shown as it stands.
struct NoteText {
  const char* meaning;
  const char* range;
  const char* unit;
  constexpr NoteText(const char* meaning_ = nullptr, const char* range_ = nullptr,
                     const char* unit_ = nullptr)
      : meaning(meaning_), range(range_), unit(unit_) {}
};

struct ParameterNote {
  const char* name;  // null ends a class's list
  NoteText text;
};

}  // namespace pvx

#endif  // TARVO_FRAME_PARAMETER_NOTE_H

// The parameter notes against what the classes declare: every declared parameter and varying
// has a note in declaration order and a meaning, and the ranges the tools turn into schema
// bounds and enumerations parse and hold the class's own defaults.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "frame/shader_class.h"
#include "notes/parameter_notes.h"
#include "tests/support/test_support.h"

// A description mixing lines without a note (as branches still write them), with a meaning only
// and with every part: all of them compile, in every compiler of the build matrix.
namespace pvx {
#define TARVO_NOTES_TEST_PARAMETERS(PARAM, VARYING) \
  PARAM(Float, plain, 0.5f)                         \
  VARYING(Float2, uvPlain, 0)                       \
  PARAM(Int, moded, 1, "a mode", "0 off | 1 on")    \
  VARYING(Float3, noted, 8, "a direction")          \
  PARAM(Color, full, ::pvx::float3(1.0f), "a colour", "[0, 1]", "sr")
TARVO_PARAMETER_BLOCK(NotesTestParameters, TARVO_NOTES_TEST_PARAMETERS);
}  // namespace pvx

namespace tarvo::test {
namespace {

using host::ParamType;
using Form = pvx::NoteRange::Form;

// Parameters and varyings as the binder received them, varyings at their place.
std::vector<std::string> declarationOrder(const host::ParameterTable& table) {
  std::vector<std::string> names;
  size_t nextVarying = 0;
  for (size_t i = 0; i <= table.parameters().size(); ++i) {
    while (nextVarying < table.varyings().size() &&
           static_cast<size_t>(table.varyings()[nextVarying].position) <= i) {
      names.push_back(table.varyings()[nextVarying++].name);
    }
    if (i < table.parameters().size()) names.push_back(table.parameters()[i].name);
  }
  return names;
}

TEST(ParameterNotes, EveryDeclarationHasItsNoteAndAMeaning) {
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    SCOPED_TRACE(entry.className);
    const host::BoundShader shader = makeShader(entry.className);
    const pvx::ParameterNote* notes = pvx::parameterNotes(entry.className);
    ASSERT_NE(notes, nullptr);
    std::vector<std::string> noted;
    for (const pvx::ParameterNote* n = notes; n->name != nullptr; ++n)
      noted.push_back(n->name);
    EXPECT_EQ(noted, declarationOrder(shader.table()));
    for (const pvx::ParameterNote* n = notes; n->name != nullptr; ++n) {
      EXPECT_TRUE(n->text.meaning != nullptr && n->text.meaning[0] != '\0')
          << entry.className << ": '" << n->name
          << "' has no meaning; add one to its PARAM or VARYING line";
      // A mapped-input group written without its noun leaves a gap in the group's wording.
      const std::string meaning = n->text.meaning ? n->text.meaning : "";
      EXPECT_TRUE(meaning.find("  ") == std::string::npos && meaning[0] != ' ')
          << entry.className << ": '" << n->name << "' reads \"" << meaning
          << "\"; give its group macro the noun of the input";
    }
  }
  EXPECT_EQ(pvx::parameterNotes("quarra_Mtl_Wrad"), nullptr);
}

// A bracketed range that does not parse would silently lose its schema bounds, and a default
// outside its own range or mode list would make the schema refuse the class's defaults.
TEST(ParameterNotes, RangesParseAndHoldTheDefaults) {
  int intervals = 0, modeLists = 0;
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    const host::BoundShader shader = makeShader(entry.className);
    for (const host::ParameterRecord& p : shader.table().parameters()) {
      const pvx::NoteText* note = pvx::parameterNote(entry.className, p.name);
      if (note == nullptr || note->range == nullptr) continue;
      SCOPED_TRACE(std::string(entry.className) + " " + p.name + ": " + note->range);
      const pvx::NoteRange range = pvx::parseNoteRange(note->range);
      const std::string text = note->range;
      if (text[0] == '[' || text[0] == '(') {
        EXPECT_EQ(range.form, Form::Interval);
      }
      if (p.type == ParamType::Int && text.find('|') != std::string::npos) {
        EXPECT_EQ(range.form, Form::Values);
      }
      const std::vector<double> values = storedValue(shader, p);
      if (range.form == Form::Values) {
        ++modeLists;
        ASSERT_EQ(p.type, ParamType::Int);
        bool listed = false;
        for (const auto& [value, meaning] : range.values)
          listed = listed || value == static_cast<int>(values[0]);
        EXPECT_TRUE(listed) << "default " << values[0] << " is not among the listed modes";
      } else if (range.form == Form::Interval) {
        ++intervals;
        for (double v : values) {
          EXPECT_TRUE(range.lowOpen ? v > range.low : v >= range.low) << "default " << v;
          EXPECT_TRUE(range.highOpen ? v < range.high : v <= range.high) << "default " << v;
        }
      }
    }
  }
  // The notes do carry bounds and mode lists for the schema to use.
  EXPECT_GT(intervals, 20);
  EXPECT_GT(modeLists, 10);
}

// Every class has one line for the catalogue listing; a Ward network variant's line names
// each input its networks feed and the node kinds in them, as its declarations show them
// (a hand-written line copied from another variant would name the wrong ones).
TEST(ParameterNotes, EveryClassHasASummaryAndTheVariantsNameTheirNetworks) {
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    SCOPED_TRACE(entry.className);
    const char* summary = pvx::classSummary(entry.className);
    ASSERT_NE(summary, nullptr);
    const std::string line = summary;
    EXPECT_TRUE(!line.empty() && line.size() <= 100 && line.find('\n') == std::string::npos);
    if (std::string(entry.className).rfind("quarra_Mtl_Ward_", 0) != 0) continue;
    const host::BoundShader shader = makeShader(entry.className);
    std::string declared;
    for (const host::ParameterRecord& p : shader.table().parameters())
      declared += p.name + " ";
    const std::pair<const char*, const char*> fed[] = {{"_ward_diffuse_color", "diffuse colour"},
                                                       {"_ward_normal0_map", "bump"},
                                                       {"_ward_cutout_map", "cut-out"},
                                                       {"_Tile_", "brick"},
                                                       {"UnifiedBitmap_", "bitmap"}};
    for (const auto& [declaration, words] : fed) {
      EXPECT_EQ(declared.find(declaration) != std::string::npos,
                line.find(words) != std::string::npos)
          << declaration << " against \"" << line << "\"";
    }
  }
  EXPECT_EQ(pvx::classSummary("quarra_Mtl_Wrad"), nullptr);
}

TEST(ParameterNotes, TheTrailingPartsAreOptional) {
  const pvx::ParameterNote* n = pvx::ParameterDescription<pvx::NotesTestParameters>::notes;
  const pvx::ParameterEntry* e = pvx::ParameterDescription<pvx::NotesTestParameters>::entries;
  const char* const names[] = {"plain", "uvPlain", "moded", "noted", "full"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_STREQ(n[i].name, names[i]);
    EXPECT_STREQ(e[i].name, names[i]);  // the declarations are the same with or without notes
  }
  EXPECT_EQ(n[5].name, nullptr);
  EXPECT_EQ(e[5].type, pvx::ParamType::End);
  EXPECT_EQ(n[0].text.meaning, nullptr);
  EXPECT_EQ(n[1].text.meaning, nullptr);
  EXPECT_STREQ(n[2].text.range, "0 off | 1 on");
  EXPECT_EQ(n[2].text.unit, nullptr);
  EXPECT_STREQ(n[3].text.meaning, "a direction");
  EXPECT_STREQ(n[4].text.unit, "sr");
  EXPECT_EQ(pvx::NotesTestParameters().plain, 0.5f);
}

TEST(ParameterNotes, RangeForms) {
  const double inf = INFINITY;
  struct Case {
    const char* text;
    Form form;
    double low, high;
    bool lowOpen, highOpen;
    size_t values;
  } cases[] = {
      {"[0, 1]", Form::Interval, 0, 1, false, false, 0},
      {"(0, inf)", Form::Interval, 0, inf, true, true, 0},
      {"[-inf, 2.5)", Form::Interval, -inf, 2.5, false, true, 0},
      {"-1 off | 0 constant | 4 cylindrical", Form::Values, 0, 0, false, false, 3},
      {"[0, 1", Form::None, 0, 0, false, false, 0},    // unclosed: free text
      {"0 to 1", Form::None, 0, 0, false, false, 0},   // prose
      {"1 only", Form::None, 0, 0, false, false, 0},   // one value is no list
      {"0 a | b", Form::None, 0, 0, false, false, 0},  // a part without its number
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const pvx::NoteRange r = pvx::parseNoteRange(c.text);
    EXPECT_EQ(r.form, c.form);
    EXPECT_EQ(r.values.size(), c.values);
    if (c.form != Form::Interval) continue;
    EXPECT_EQ(r.low, c.low);
    EXPECT_EQ(r.high, c.high);
    EXPECT_EQ(r.lowOpen, c.lowOpen);
    EXPECT_EQ(r.highOpen, c.highOpen);
  }
  const pvx::NoteRange modes = pvx::parseNoteRange("-1 off | 0 constant | 4 cylindrical");
  EXPECT_EQ(modes.values[0].first, -1);
  EXPECT_EQ(modes.values[0].second, "off");
  EXPECT_EQ(modes.values[2].first, 4);
}

}  // namespace
}  // namespace tarvo::test

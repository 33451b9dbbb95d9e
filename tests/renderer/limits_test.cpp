// Ceilings move by name with a whole number, optionally scaled by k, M or G; anything else is
// refused with the list of names, and the ceiling is left as it was.
#include <gtest/gtest.h>

#include "host/render/limits.h"

namespace tarvo::render {
namespace {

TEST(Limits, SetTakesAWholeNumberByName) {
  struct Case {
    const char* assignment;
    int64_t pixels;  // the pixel ceiling afterwards; 0: refused, unchanged
  };
  const Case cases[] = {
      {"pixels=5", 5},
      {"pixels=2k", 2000},
      {"pixels=3M", 3000000},
      {"pixels=1G", 1000000000},
      {"pixels=0", 0},                     // a ceiling of nothing
      {"pixels=-4", 0},                    // a sign
      {"pixels=1e6", 0},                   // a float
      {"pixels=5MB", 0},                   // a unit it does not know
      {"pixels=", 0},                      // no value
      {"pixels", 0},                       // no '='
      {"pixel=5", 0},                      // a name it does not know
      {"pixels=99999999999999999999", 0},  // beyond 64 bits: refused, not wrapped
      {"pixels=2000000G", 0},              // 2e15 is beyond 2^50 once scaled
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.assignment);
    Limits limits;
    const int64_t before = limits.pixels;
    if (c.pixels > 0) {
      limits.set(c.assignment);
      EXPECT_EQ(limits.pixels, c.pixels);
    } else {
      EXPECT_THROW(limits.set(c.assignment), std::invalid_argument);
      EXPECT_EQ(limits.pixels, before);
    }
  }
}

// Every ceiling is reachable by its name.
TEST(Limits, EveryEntryNamesItsOwnMember) {
  for (const Limits::Entry& entry : Limits::entries()) {
    SCOPED_TRACE(entry.name);
    Limits limits;
    limits.set(std::string(entry.name) + "=7");
    EXPECT_EQ(limits.*(entry.value), 7);
  }
}

}  // namespace
}  // namespace tarvo::render

// Ceilings move by name with a whole number, optionally scaled by k, M or G; anything else is
// refused with the list of names, and the ceiling is left as it was.
#include <gtest/gtest.h>

#include "host/render/limits.h"

namespace tarvo::render {
namespace {

TEST(Limits, SetTakesAWholeNumberByName) {
  struct Case {
    const char* assignment;
    int64_t value;  // the ceiling afterwards; 0: refused, unchanged
    int64_t Limits::*member = &Limits::pixels;
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
      // Memory ceilings stop where their bytes overflow 64 bits or the image cache fails.
      {"render-memory=8796093022208", 0, &Limits::renderMemoryMB},  // 2^43 MB
      {"render-memory=1073741824", 1073741824, &Limits::renderMemoryMB},
      {"texture-memory=1", 0, &Limits::textureMemoryMB},
      {"texture-memory=17592186044416", 0, &Limits::textureMemoryMB},  // 2^44 MB
      {"texture-memory=32", 32, &Limits::textureMemoryMB},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.assignment);
    Limits limits;
    const int64_t before = limits.*c.member;
    if (c.value > 0) {
      limits.set(c.assignment);
      EXPECT_EQ(limits.*c.member, c.value);
    } else {
      EXPECT_THROW(limits.set(c.assignment), std::invalid_argument);
      EXPECT_EQ(limits.*c.member, before);
    }
  }
}

// Every ceiling is reachable by its name.
TEST(Limits, EveryEntryNamesItsOwnMember) {
  for (const Limits::Entry& entry : Limits::entries()) {
    SCOPED_TRACE(entry.name);
    Limits limits;
    limits.set(std::string(entry.name) + "=" + std::to_string(entry.least + 7));
    EXPECT_EQ(limits.*(entry.value), entry.least + 7);
  }
}

}  // namespace
}  // namespace tarvo::render

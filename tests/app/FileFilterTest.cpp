#include "app/FileFilter.h"
#include "support/TestNames.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwell {
namespace {

struct FilterCase {
  const char* name;
  const char* pattern;
  bool matches;
};

class Filter : public testing::TestWithParam<FilterCase> {};

TEST_P(Filter, Matches) {
  EXPECT_EQ(matchesFilter(GetParam().name, GetParam().pattern), GetParam().matches)
      << GetParam().name << " ~ " << GetParam().pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, Filter,
    testing::Values(FilterCase{"a.g3", "*.*", true}, FilterCase{"noext", "*.*", true},
                    FilterCase{".hidden", "*.*", true}, FilterCase{"a.g3", "*", true},
                    FilterCase{"a.g3", "*.g3", true}, FilterCase{"A.G3", "*.g3", true},
                    FilterCase{"a.g3x", "*.g3", false}, FilterCase{"sub", "*.g3", false},
                    FilterCase{"sub.g3", "*.g3", true}, FilterCase{"fax1.tif", "fax?.tif", true},
                    FilterCase{"fax12.tif", "fax?.tif", false},
                    FilterCase{"f\xC3\xA4x.g3", "f?x.g3", true},
                    FilterCase{"abc", "abc.*", true}, FilterCase{"abc.d", "abc.*", true},
                    FilterCase{"abcd", "abc.*", false}, FilterCase{"a.b.c", "*.c", true},
                    FilterCase{"", "*", true}, FilterCase{"x", "", false},
                    FilterCase{"report.pdf", "*.g3 *.fax", false}),
    [](const auto& info) { return test::nameFrom(std::string(info.param.name) + "_In_" + info.param.pattern); });

TEST(Filter, HostilePatternEndsQuickly) {
  const std::string name(4000, 'a');
  std::string pattern;
  for (int i = 0; i < 2000; ++i) pattern += "*a";
  pattern += "b";
  EXPECT_FALSE(matchesFilter(name, pattern));
}

}  // namespace
}  // namespace tarnwell

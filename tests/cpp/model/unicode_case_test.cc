#include "model/unicode_case.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(UnicodeLower, FullMappingWithoutLocaleOrTrimming) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"Car", "car"},
      {" MiXeD Case ", " mixed case "},
      {"\xC4\xB0stanbul", "i\xCC\x87stanbul"},                  // İ: one letter becomes two code points
      {"\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3", "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82"},  // final capital sigma
      {"\xD0\x9A\xD0\x98\xD0\x87\xD0\x92", "\xD0\xBA\xD0\xB8\xD1\x97\xD0\xB2"},  // КИЇВ
      {"", ""},
      {"A\xFFZ \xC3\x89", "a\xEF\xBF\xBDz \xC3\xA9"},  // ill-formed bytes become U+FFFD
  };
  for (const Case& c : cases) EXPECT_EQ(unicode_lower(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace vesk

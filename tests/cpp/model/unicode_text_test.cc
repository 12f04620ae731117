#include "model/unicode_text.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(UnicodeText, TrimAndBlankFollowWhiteSpace) {
  struct Case {
    const char* in;
    const char* trimmed;
    bool blank;
  } cases[] = {
      {"", "", true},
      {" \t\r\n\v\f", "", true},
      {"\xC2\x85\xC2\xA0\xE1\x9A\x80\xE2\x80\x8A\xE2\x80\xA8\xE2\x80\xAF\xE2\x81\x9F\xE3\x80\x80", "", true},
      {"\xE3\x80\x80 a b\xE2\x80\x83 ", "a b", false},
      {"\xE2\x80\x8B", "\xE2\x80\x8B", false},  // zero width space is not White_Space
      {" \xFF ", "\xFF", false},                 // never blank when not UTF-8
      {"\xFF", "\xFF", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(trim_unicode_white_space(c.in), c.trimmed) << c.in;
    EXPECT_EQ(is_blank_text(c.in), c.blank) << c.in;
  }
}

TEST(UnicodeText, FirstCharsCutsAtACharacterBoundary) {
  struct Case {
    const char* text;
    size_t n;
    const char* prefix;
  } cases[] = {
      {"", 3, ""},
      {"abc", 0, ""},
      {"abc", 2, "ab"},
      {"abc", 5, "abc"},
      {"h\xC3\xA9llo", 2, "h\xC3\xA9"},            // a two-byte letter counts once
      {"\xF0\x9F\x8C\x8A\xF0\x9F\x8C\x8A", 1, "\xF0\x9F\x8C\x8A"},  // so does a four-byte one
  };
  for (const Case& c : cases) EXPECT_EQ(first_chars(c.text, c.n), c.prefix) << c.text << " " << c.n;
}

}  // namespace
}  // namespace vesk

#include "model/word_normalization.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(WordNormalization, PaddedWords) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"Data-Base", " data base "},
      {"  Data-Base / 42!  ", " data base 42 "},
      {"Straße", " stra e "},  // lower-cased first; the non-ASCII letter ends a word
      {"ÉCOLE", " cole "},
      {"--", " "},
      {"", " "},
      {"My Mom", " my mom "},
  };
  for (const auto& c : cases) EXPECT_EQ(normalize_padded_words(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace vesk

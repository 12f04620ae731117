#include "base/utf8.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(Utf8, ValidationAndLossyDecoding) {
  const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  struct Case {
    std::string in;
    std::optional<size_t> error_at;
    std::string lossy;
  };
  const Case cases[] = {
      {"plain ascii text", std::nullopt, "plain ascii text"},
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", std::nullopt, "caf\xC3\xA9 \xF0\x9F\x98\x80"},
      {"a\xFF" "b", 1, "a" + r + "b"},
      {"\xC0\xAF", 0, r + r},                      // overlong
      {"\xED\xA0\x80", 0, r + r + r},              // surrogate
      {"\xF4\x90\x80\x80", 0, r + r + r + r},      // above U+10FFFF
      {"x\xE2\x82", 1, "x" + r},                   // cut short: one replacement
      {"\xF0\x9F\x98" "A", 0, r + "A"},
      {"12345678\x80", 8, "12345678" + r},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8_error_offset(c.in), c.error_at) << c.in;
    EXPECT_EQ(decode_utf8_lossy(c.in), c.lossy) << c.in;
  }
}

}  // namespace
}  // namespace vesk

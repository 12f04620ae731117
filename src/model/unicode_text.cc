#include "model/unicode_text.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "base/utf8.h"

namespace vesk {

bool is_unicode_white_space(char32_t c) {
  if (c < 0x80) return is_ascii_white_space(static_cast<unsigned char>(c));
  return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE);
}

bool is_unicode_alphanumeric(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  UChar32 u = static_cast<UChar32>(c);
  if (u_hasBinaryProperty(u, UCHAR_ALPHABETIC)) return true;
  int8_t t = u_charType(u);
  return t == U_DECIMAL_DIGIT_NUMBER || t == U_LETTER_NUMBER || t == U_OTHER_NUMBER;
}

bool is_all_ascii(std::string_view s) {
  unsigned char acc = 0;
  for (char ch : s) acc |= static_cast<unsigned char>(ch);
  return acc < 0x80;
}

char32_t next_code_point(std::string_view s, size_t& i) {
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  int32_t pos = static_cast<int32_t>(i);
  const int32_t len = static_cast<int32_t>(s.size());
  UChar32 c;
  U8_NEXT_OR_FFFD(p, pos, len, c);
  i = static_cast<size_t>(pos);
  return static_cast<char32_t>(c);
}

std::string_view first_chars(std::string_view s, size_t n) {
  size_t chars = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    // A byte that is not a continuation byte starts a character.
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && chars++ == n) return s.substr(0, i);
  }
  return s;
}

std::string_view trim_unicode_white_space(std::string_view s) {
  size_t begin = 0;
  while (begin < s.size()) {
    size_t next = begin;
    if (!is_unicode_white_space(next_code_point(s, next))) break;
    begin = next;
  }
  size_t end = s.size();
  while (end > begin) {
    // Step back to the start of the last scalar value.
    size_t start = end - 1;
    while (start > begin && (static_cast<unsigned char>(s[start]) & 0xc0) == 0x80 && end - start < 4) --start;
    size_t probe = start;
    char32_t c = next_code_point(s.substr(0, end), probe);
    if (probe != end || !is_unicode_white_space(c)) break;
    end = start;
  }
  return s.substr(begin, end - begin);
}

bool is_blank_text(std::string_view text) {
  return is_valid_utf8(text) && trim_unicode_white_space(text).empty();
}

}  // namespace vesk

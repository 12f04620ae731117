// Unicode text helpers shared by the indexes, the recall, the write path and
// the loaders.
//
// Texts are UTF-8. The character classes are the Unicode properties the
// tokenisers are defined on: White_Space, and "alphanumeric" meaning
// Alphabetic or a number of general category Nd, Nl or No. Lower-casing
// (to_lower_full) is in unicode_case.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "model/unicode_case.h"

namespace vesk {

bool is_unicode_white_space(char32_t c);
bool is_unicode_alphanumeric(char32_t c);

constexpr bool is_ascii_white_space(unsigned char b) { return b == ' ' || (b >= 0x09 && b <= 0x0d); }
constexpr bool is_ascii_digit(unsigned char b) { return b >= '0' && b <= '9'; }
constexpr char ascii_lower(char b) { return (b >= 'A' && b <= 'Z') ? static_cast<char>(b + 32) : b; }
bool is_all_ascii(std::string_view s);

// Decodes the scalar value starting at byte i and advances i past it. An
// ill-formed sequence reads as U+FFFD and is skipped by its maximal subpart.
char32_t next_code_point(std::string_view s, size_t& i);

// The text without leading and trailing White_Space characters.
std::string_view trim_unicode_white_space(std::string_view s);

// The first n characters (Unicode scalar values) of a UTF-8 text, cut at a
// character boundary; the whole text when it is shorter.
std::string_view first_chars(std::string_view s, size_t n);
// True when the text is UTF-8 and holds nothing but White_Space characters,
// or nothing at all. Text that is not UTF-8 is never blank.
bool is_blank_text(std::string_view text);

}  // namespace vesk

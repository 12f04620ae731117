// A 32-bit float written with exactly two decimals ("0.50", "12.35"): the
// float's own value rounded, not that of a wider type, and not two
// significant digits.
#pragma once

#include <charconv>
#include <string>

namespace vesk {

inline std::string two_decimals(float value) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 2);
  return std::string(buf, r.ptr);
}

}  // namespace vesk

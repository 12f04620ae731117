// The shortest decimal digits that read back to a 32-bit float.
//
// For a finite nonzero float v: the digits d1..dn (no trailing zero) and the
// exponent kk of the decimal 0.d1..dn x 10^kk that reads back to v as a
// 32-bit float (round to nearest, ties to even), with no such decimal of
// fewer digits, and among those of n digits the one closest to v, a tie
// going to the even last digit. These are the digits std::to_chars gives in
// its shortest form; they are worked out here with integer arithmetic only,
// exactly: the interval of reals that round to v, scaled by a power of ten,
// loses one digit at a time while it still holds an integer.
#pragma once

namespace vesk {

struct F32Digits {
  // The n digits ('0'..'9', the first not '0') end at buf + 16, so that 16
  // bytes can be read from digits() whatever n is (at most 10).
  char buf[32];
  int n = 0;
  int kk = 0;
  bool negative = false;
  const char* digits() const { return buf + 16 - n; }
};

F32Digits shortest_f32_digits(float v);

}  // namespace vesk

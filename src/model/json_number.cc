#include "model/json_number.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "model/f32_digits.h"

namespace vesk {

namespace {

// The shortest round-trip digits of a finite nonzero value, without sign, and
// kk such that value = 0.digits x 10^kk.
struct Digits {
  char d[32];
  int n = 0;
  int kk = 0;
  bool negative = false;
};

template <typename F>
Digits shortest_digits(F v) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  // buf holds [-]d[.ddd]e(+|-)xx
  Digits out;
  const char* p = buf;
  const char* end = res.ptr;
  if (*p == '-') {
    out.negative = true;
    ++p;
  }
  while (p < end && *p != 'e') {
    if (*p != '.') out.d[out.n++] = *p;
    ++p;
  }
  ++p;  // 'e'
  bool neg_exp = (*p == '-');
  ++p;
  int e = 0;
  while (p < end) e = e * 10 + (*p++ - '0');
  if (neg_exp) e = -e;
  // Strip trailing zeros of the significand (to_chars gives none, but be safe).
  while (out.n > 1 && out.d[out.n - 1] == '0') --out.n;
  out.kk = e + 1;
  return out;
}

// Writes 0.d1..dn x 10^kk in the layout of json_number.h.
void lay_out(std::string& out, const char* d, int n, int kk, bool negative, int plain_max) {
  char buf[64];
  char* w = buf;
  if (negative) *w++ = '-';
  const int k = kk - n;
  if (k >= 0 && kk <= plain_max) {
    // 1234e7 -> 12340000000.0
    std::memcpy(w, d, n);
    w += n;
    for (int i = 0; i < k; ++i) *w++ = '0';
    *w++ = '.';
    *w++ = '0';
  } else if (kk > 0 && kk <= plain_max) {
    // 1234e-2 -> 12.34
    std::memcpy(w, d, kk);
    w += kk;
    *w++ = '.';
    std::memcpy(w, d + kk, n - kk);
    w += n - kk;
  } else if (kk > -5 && kk <= 0) {
    // 1234e-6 -> 0.001234
    *w++ = '0';
    *w++ = '.';
    for (int i = 0; i < -kk; ++i) *w++ = '0';
    std::memcpy(w, d, n);
    w += n;
  } else {
    // 1e30, 1.234e33, 1e-7
    *w++ = d[0];
    if (n > 1) {
      *w++ = '.';
      std::memcpy(w, d + 1, n - 1);
      w += n - 1;
    }
    *w++ = 'e';
    auto r = std::to_chars(w, buf + sizeof buf, kk - 1);
    w = r.ptr;
  }
  out.append(buf, static_cast<size_t>(w - buf));
}

void append_f64(std::string& out, double v, int plain_max) {
  if (v == 0) {
    out.append(std::signbit(v) ? "-0.0" : "0.0");
    return;
  }
  const Digits g = shortest_digits(v);
  lay_out(out, g.d, g.n, g.kk, g.negative, plain_max);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The powers of ten that a 64-bit float holds exactly.
constexpr double kExactPowersOf10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

const char* scan_json_f32(const char* p, const char* end, float& out) {
  const char* const start = p;
  const bool negative = p < end && *p == '-';
  if (negative) ++p;
  if (p == end || !is_digit(*p)) return nullptr;
  // value = sig x 10^scale while no digit is lost; `digits` counts the
  // digits of sig from its first nonzero one.
  uint64_t sig = 0;
  int digits = 0, scale = 0;
  bool lost = false;
  if (*p == '0') {
    ++p;
    if (p < end && is_digit(*p)) return nullptr;  // a leading zero
  } else {
    for (; p < end && is_digit(*p); ++p) {
      if (digits == 19) {
        lost = true;
        continue;
      }
      sig = sig * 10 + static_cast<uint64_t>(*p - '0');
      ++digits;
    }
  }
  bool is_float = false;
  if (p < end && *p == '.') {
    const char* first = ++p;
    for (; p < end && is_digit(*p); ++p) {
      if (digits == 19) {
        lost = true;
        continue;
      }
      sig = sig * 10 + static_cast<uint64_t>(*p - '0');
      if (sig != 0) ++digits;
      --scale;
    }
    if (p == first) return nullptr;
    is_float = true;
  }
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool negative_exponent = false;
    if (p < end && (*p == '+' || *p == '-')) negative_exponent = *p++ == '-';
    if (p == end || !is_digit(*p)) return nullptr;
    int e = 0, n = 0;
    for (; p < end && is_digit(*p); ++p) {
      if (++n > 4) return nullptr;
      e = e * 10 + (*p - '0');
    }
    scale += negative_exponent ? -e : e;
    is_float = true;
  }
  if (!is_float) {
    // The reader's integers: unsigned, or signed when negative, -0 a float.
    if (lost) return nullptr;
    if (!negative) {
      out = static_cast<float>(sig);
    } else if (sig == 0) {
      out = -0.0f;
    } else if (sig <= (uint64_t{1} << 63)) {
      out = static_cast<float>(static_cast<int64_t>(0 - sig));
    } else {
      out = static_cast<float>(-static_cast<double>(sig));
    }
    return p;
  }
  double d;
  if (!lost && sig == 0) {
    d = negative ? -0.0 : 0.0;
  } else if (!lost && sig <= (uint64_t{1} << 53) && scale >= -22 && scale <= 22) {
    // Both factors are exact, so the one rounding of the product or the
    // quotient gives the nearest 64-bit float, which is what from_chars gives.
    d = scale < 0 ? static_cast<double>(sig) / kExactPowersOf10[-scale]
                  : static_cast<double>(sig) * kExactPowersOf10[scale];
    if (negative) d = -d;
  } else {
    auto r = std::from_chars(start, p, d);
    if (r.ec != std::errc() || r.ptr != p || std::isinf(d)) return nullptr;
  }
  // Narrowing beyond the 32-bit range would give an infinity: the reader
  // refuses such a number.
  const float f = narrow_decimal(d, start, p);
  if (std::isinf(f)) return nullptr;
  out = f;
  return p;
}

float narrow_decimal(double d, const char* start, const char* end) {
  const float f = static_cast<float>(d);
  if (!std::isfinite(f) || static_cast<double>(f) == d) return f;
  // The 32-bit neighbour on d's other side; d halfway between the two is the
  // one case where the narrowing may differ from rounding the text once.
  const float g = std::nextafter(f, static_cast<double>(f) < d ? INFINITY : -INFINITY);
  if ((static_cast<double>(f) + static_cast<double>(g)) / 2 != d) return f;
  float once;
  auto r = std::from_chars(start, end, once);
  return r.ec == std::errc() && r.ptr == end ? once : f;
}

void append_json_f64(std::string& out, double v) { append_f64(out, v, 16); }

// The layout above for 32-bit floats (at most 10 digits, plain up to
// kk = 13), with copies of a fixed 16 bytes that the room allows.
char* write_json_f32(char* w, float v) {
  if (v == 0) {
    if (!std::signbit(v)) return static_cast<char*>(std::memcpy(w, "0.0", 3)) + 3;
    return static_cast<char*>(std::memcpy(w, "-0.0", 4)) + 4;
  }
  // The exact integer method gives to_chars's digits, faster.
  const F32Digits g = shortest_f32_digits(v);
  const char* d = g.digits();
  const int n = g.n, kk = g.kk;
  if (g.negative) *w++ = '-';
  if (kk - n >= 0 && kk <= 13) {
    // 1234e7 -> 12340000000.0
    std::memcpy(w, d, 16);
    std::memset(w + n, '0', 16);
    w += kk;
    std::memcpy(w, ".0", 2);
    return w + 2;
  }
  if (kk > 0 && kk <= 13) {
    // 1234e-2 -> 12.34
    std::memcpy(w, d, 16);
    w += kk;
    *w = '.';
    std::memcpy(w + 1, d + kk, 16);
    return w + 1 + (n - kk);
  }
  if (kk > -5 && kk <= 0) {
    // 1234e-6 -> 0.001234
    std::memcpy(w, "0.0000", 6);
    w += 2 - kk;
    std::memcpy(w, d, 16);
    return w + n;
  }
  // 1e30, 1.234e33, 1e-7
  *w++ = d[0];
  if (n > 1) {
    *w = '.';
    std::memcpy(w + 1, d + 1, 16);
    w += n;
  }
  *w++ = 'e';
  int e = kk - 1;
  if (e < 0) {
    *w++ = '-';
    e = -e;
  }
  if (e >= 10) *w++ = static_cast<char>('0' + e / 10);
  *w++ = static_cast<char>('0' + e % 10);
  return w;
}

void append_json_f32(std::string& out, float v) {
  char buf[kJsonF32Room];
  out.append(buf, static_cast<size_t>(write_json_f32(buf, v) - buf));
}

std::string display_f64(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
  if (v == 0) return std::signbit(v) ? "-0.0" : "0.0";
  Digits g = shortest_digits(v);
  std::string s;
  if (g.negative) s.push_back('-');
  const int n = g.n, kk = g.kk;
  if (kk <= 0) {
    s.append("0.");
    s.append(static_cast<size_t>(-kk), '0');
    s.append(g.d, n);
  } else if (kk >= n) {
    s.append(g.d, n);
    s.append(static_cast<size_t>(kk - n), '0');
    s.append(".0");
  } else {
    s.append(g.d, kk);
    s.push_back('.');
    s.append(g.d + kk, n - kk);
  }
  return s;
}

}  // namespace vesk

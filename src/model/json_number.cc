#include "model/json_number.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

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

template <typename F>
void append_float(std::string& out, F v, int plain_max) {
  if (v == 0) {
    out.append(std::signbit(v) ? "-0.0" : "0.0");
    return;
  }
  Digits g = shortest_digits(v);
  char buf[64];
  char* w = buf;
  if (g.negative) *w++ = '-';
  const int n = g.n, kk = g.kk, k = kk - n;
  if (k >= 0 && kk <= plain_max) {
    // 1234e7 -> 12340000000.0
    std::memcpy(w, g.d, n);
    w += n;
    for (int i = 0; i < k; ++i) *w++ = '0';
    *w++ = '.';
    *w++ = '0';
  } else if (kk > 0 && kk <= plain_max) {
    // 1234e-2 -> 12.34
    std::memcpy(w, g.d, kk);
    w += kk;
    *w++ = '.';
    std::memcpy(w, g.d + kk, n - kk);
    w += n - kk;
  } else if (kk > -5 && kk <= 0) {
    // 1234e-6 -> 0.001234
    *w++ = '0';
    *w++ = '.';
    for (int i = 0; i < -kk; ++i) *w++ = '0';
    std::memcpy(w, g.d, n);
    w += n;
  } else {
    // 1e30, 1.234e33, 1e-7
    *w++ = g.d[0];
    if (n > 1) {
      *w++ = '.';
      std::memcpy(w, g.d + 1, n - 1);
      w += n - 1;
    }
    *w++ = 'e';
    auto r = std::to_chars(w, buf + sizeof buf, kk - 1);
    w = r.ptr;
  }
  out.append(buf, w);
}

}  // namespace

void append_json_f64(std::string& out, double v) { append_float(out, v, 16); }
void append_json_f32(std::string& out, float v) { append_float(out, v, 13); }

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

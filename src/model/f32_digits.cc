#include "model/f32_digits.h"

#include <cstdint>
#include <cstring>

namespace vesk {

namespace {

using u128 = unsigned __int128;

// Every power of five the scaling below needs (its exponent runs from -30
// to 46; 5^47 < 2^110).
constexpr int kMaxPow5 = 47;
struct Pow5 {
  u128 p[kMaxPow5 + 1];
};
constexpr Pow5 make_pow5() {
  Pow5 t{};
  u128 x = 1;
  for (int i = 0; i <= kMaxPow5; ++i, x *= 5) t.p[i] = x;
  return t;
}
constexpr Pow5 kPow5 = make_pow5();

// floor(e x log10(2)), exact for |e| <= 1650.
int floor_log10_pow2(int e) { return (e * 78913) >> 18; }

// floor(x x 2^k x 5^s), and whether nothing was cut off.
struct Scaled {
  uint64_t q;
  bool exact;
};

// (hi x 2^64 + lo) >> sh, for a result below 2^64.
Scaled shift_down(u128 hi, uint64_t lo, int sh) {
  if (sh >= 64) {
    const int t = sh - 64;
    const bool cut = lo != 0 || (t > 0 && (hi & ((u128{1} << t) - 1)) != 0);
    return {static_cast<uint64_t>(hi >> t), !cut};
  }
  return {static_cast<uint64_t>((hi << (64 - sh)) | (lo >> sh)), (lo & ((uint64_t{1} << sh) - 1)) == 0};
}

// The general scaling: any s in [-kMaxPow5, kMaxPow5], k > 0 when s < 0.
Scaled scale(uint64_t x, int s, int k) {
  if (s < 0) {
    const u128 n = static_cast<u128>(x) << k;
    const u128 d = kPow5.p[-s];
    return {static_cast<uint64_t>(n / d), n % d == 0};
  }
  const u128 p = kPow5.p[s];
  if (k >= 0) return {static_cast<uint64_t>((static_cast<u128>(x) * p) << k), true};
  const u128 low_product = static_cast<u128>(x) * static_cast<uint64_t>(p);
  const u128 hi = static_cast<u128>(x) * static_cast<uint64_t>(p >> 64) + (low_product >> 64);
  return shift_down(hi, static_cast<uint64_t>(low_product), -k);
}

// Two digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

}  // namespace

F32Digits shortest_f32_digits(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  F32Digits out;
  out.negative = (bits >> 31) != 0;
  const uint32_t fraction = bits & 0x7FFFFF, biased = (bits >> 23) & 0xFF;
  const uint32_t m = biased == 0 ? fraction : fraction | 0x800000;
  // v = mv x 2^e2; the reals that round to v lie between mm x 2^e2 and
  // mp x 2^e2, both ends included when m is even (a tie reads back to the
  // even mantissa). Below a power of two the gap to the next float down is
  // half as wide.
  const int e2 = (biased == 0 ? 1 : static_cast<int>(biased)) - 152;
  const uint64_t mv = uint64_t{4} * m, mp = mv + 2;
  const uint64_t mm = mv - (fraction == 0 && biased > 1 ? 1 : 2);
  const bool ends_in = (m & 1) == 0;

  // Scale by 10^-e10 with e10 = floor(log10(2^e2)): one unit of mv is then
  // 1 to 10 units and the interval 3 to 40 units wide, so it holds an
  // integer at this scale already; v stays below 2^26 x 10. The three ends
  // are scaled with one bit more (2^(k+1)), which tells how v's fraction
  // compares with one half.
  const int e10 = floor_log10_pow2(e2);
  const int s = -e10, k = e2 + s + 1;
  Scaled lo, mid, hi;
  if (s >= 0 && k < 0 && s <= 27) {
    // The common case, values between about 1e-18 and 1e7: 5^s fits in 64
    // bits and the three products in 128.
    const uint64_t p = static_cast<uint64_t>(kPow5.p[s]);
    const u128 pv = static_cast<u128>(mv) * p;
    const u128 pp = pv + 2 * static_cast<u128>(p), pm = pv - (mv - mm) * static_cast<u128>(p);
    mid = shift_down(pv >> 64, static_cast<uint64_t>(pv), -k);
    hi = shift_down(pp >> 64, static_cast<uint64_t>(pp), -k);
    lo = shift_down(pm >> 64, static_cast<uint64_t>(pm), -k);
  } else {
    lo = scale(mm, s, k);
    mid = scale(mv, s, k);
    hi = scale(mp, s, k);
  }

  // At each step [vl, vh] holds the interval scaled by 10^-(e10 + r) as
  // floors with exactness; candidates are the integers inside it. Digits
  // are dropped while one more drop still leaves a candidate: the last
  // scale with a candidate gives the fewest digits. v's fraction at that
  // scale is told by the last digit dropped and whether all below it is
  // zero; before the first drop, the half bit stands for that digit (5 when
  // the fraction is one half or more).
  uint64_t vl = lo.q >> 1, vr = mid.q >> 1, vh = hi.q >> 1;
  bool lx = lo.exact && (lo.q & 1) == 0, hx = hi.exact && (hi.q & 1) == 0;
  bool zero_below = mid.exact;
  uint32_t last = (mid.q & 1) != 0 ? 5 : 0;
  int r = 0;
  // The first candidate is vl + 1, or vl when vl is the end itself and the
  // ends count; the last is vh, or vh - 1 when vh is the end itself and the
  // ends do not count.
  const uint64_t exact_end_out = ends_in ? 0 : 1;
  for (;;) {
    const uint64_t nl = vl / 10, nh = vh / 10;
    const bool nlx = lx && nl * 10 == vl, nhx = hx && nh * 10 == vh;
    if (nl + (nlx ? exact_end_out : 1) + (nhx ? exact_end_out : 0) > nh) break;
    vl = nl;
    vh = nh;
    lx = nlx;
    hx = nhx;
    zero_below = zero_below && last == 0;
    last = static_cast<uint32_t>(vr % 10);
    vr /= 10;
    ++r;
  }
  // v rounded to this scale (ties to even), kept within the candidates.
  const bool up = last > 5 || (last == 5 && (!zero_below || (vr & 1) != 0));
  uint64_t c = vr + (up ? 1 : 0);
  const uint64_t first = vl + (lx ? exact_end_out : 1);
  const uint64_t last_candidate = vh - (hx ? exact_end_out : 0);
  if (c < first) c = first;
  if (c > last_candidate) c = last_candidate;

  // c < 2^26 x 10 has at most 10 digits: all ten are written (two at a
  // time, without branches), the leading zeros left in front of digits().
  const uint64_t top = c / 100000000, low = c % 100000000;
  const uint64_t mid_hi = low / 10000, mid_lo = low % 10000;
  char* const ten = out.buf + 6;
  std::memcpy(ten, kDigitPairs + 2 * top, 2);
  std::memcpy(ten + 2, kDigitPairs + 2 * (mid_hi / 100), 2);
  std::memcpy(ten + 4, kDigitPairs + 2 * (mid_hi % 100), 2);
  std::memcpy(ten + 6, kDigitPairs + 2 * (mid_lo / 100), 2);
  std::memcpy(ten + 8, kDigitPairs + 2 * (mid_lo % 100), 2);
  int n = 1;
  for (uint64_t bound = 10; bound <= c && n < 10; bound *= 10) ++n;
  out.n = n;
  out.kk = e10 + r + n;
  return out;
}

}  // namespace vesk

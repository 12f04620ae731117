#include "exchange/capsule/ed25519_point.h"

namespace vesk {

namespace {

using U128 = unsigned __int128;

// An element of GF(p), p = 2^255 - 19: four little-endian 64-bit limbs,
// always reduced below p.
struct Fe {
  uint64_t l[4];
};

constexpr Fe kP = {{0xffffffffffffffedull, 0xffffffffffffffffull, 0xffffffffffffffffull, 0x7fffffffffffffffull}};
// d = -121665 / 121666.
constexpr Fe kD = {{0x75eb4dca135978a3ull, 0x00700a4d4141d8abull, 0x8cc740797779e898ull, 0x52036cee2b6ffe73ull}};
constexpr Fe kOne = {{1, 0, 0, 0}};
// (p - 1) / 2, the exponent of Euler's criterion.
constexpr Fe kHalfPMinusOne = {
    {0xfffffffffffffff6ull, 0xffffffffffffffffull, 0xffffffffffffffffull, 0x3fffffffffffffffull}};

bool at_least(const Fe& a, const Fe& b) {
  for (int i = 3; i >= 0; --i) {
    if (a.l[i] != b.l[i]) return a.l[i] > b.l[i];
  }
  return true;
}

bool is_zero(const Fe& a) { return (a.l[0] | a.l[1] | a.l[2] | a.l[3]) == 0; }
bool equal(const Fe& a, const Fe& b) { return a.l[0] == b.l[0] && a.l[1] == b.l[1] && a.l[2] == b.l[2] && a.l[3] == b.l[3]; }

// a - b modulo 2^256; `borrow` tells whether it wrapped.
Fe sub_wrapping(const Fe& a, const Fe& b, bool& borrow) {
  Fe r;
  uint64_t carry = 0;
  for (int i = 0; i < 4; ++i) {
    const U128 d = static_cast<U128>(a.l[i]) - b.l[i] - carry;
    r.l[i] = static_cast<uint64_t>(d);
    carry = static_cast<uint64_t>(d >> 64) & 1;
  }
  borrow = carry != 0;
  return r;
}

Fe reduce(Fe a) {
  bool borrow = false;
  while (at_least(a, kP)) a = sub_wrapping(a, kP, borrow);
  return a;
}

Fe add(const Fe& a, const Fe& b) {
  Fe r;
  U128 c = 0;
  for (int i = 0; i < 4; ++i) {
    c += static_cast<U128>(a.l[i]) + b.l[i];
    r.l[i] = static_cast<uint64_t>(c);
    c >>= 64;
  }
  return reduce(r);  // a + b < 2p < 2^256: no carry out
}

Fe sub(const Fe& a, const Fe& b) {
  bool borrow = false;
  Fe r = sub_wrapping(a, b, borrow);
  if (!borrow) return r;
  U128 c = 0;  // add p back; the sum wraps past 2^256 into [0, p)
  for (int i = 0; i < 4; ++i) {
    c += static_cast<U128>(r.l[i]) + kP.l[i];
    r.l[i] = static_cast<uint64_t>(c);
    c >>= 64;
  }
  return r;
}

Fe mul(const Fe& a, const Fe& b) {
  uint64_t t[8] = {};
  for (int i = 0; i < 4; ++i) {
    U128 carry = 0;
    for (int j = 0; j < 4; ++j) {
      const U128 cur = static_cast<U128>(a.l[i]) * b.l[j] + t[i + j] + carry;
      t[i + j] = static_cast<uint64_t>(cur);
      carry = cur >> 64;
    }
    t[i + 4] = static_cast<uint64_t>(carry);
  }
  // 2^256 = 38 (mod p): fold the high half onto the low one, twice.
  Fe r;
  U128 c = 0;
  for (int i = 0; i < 4; ++i) {
    c += static_cast<U128>(t[i]) + static_cast<U128>(t[i + 4]) * 38;
    r.l[i] = static_cast<uint64_t>(c);
    c >>= 64;
  }
  c *= 38;
  for (int i = 0; i < 4; ++i) {
    c += r.l[i];
    r.l[i] = static_cast<uint64_t>(c);
    c >>= 64;
  }
  if (c != 0) {  // wrapped once more: the rest is tiny, one more fold ends it
    c = 38;
    for (int i = 0; i < 4; ++i) {
      c += r.l[i];
      r.l[i] = static_cast<uint64_t>(c);
      c >>= 64;
    }
  }
  return reduce(r);
}

Fe power(const Fe& base, const Fe& exponent) {
  Fe result = kOne;
  for (int bit = 255; bit >= 0; --bit) {
    result = mul(result, result);
    if ((exponent.l[bit / 64] >> (bit % 64)) & 1) result = mul(result, base);
  }
  return result;
}

}  // namespace

bool ed25519_point_decompresses(std::span<const uint8_t, 32> encoded) {
  Fe y;
  for (int i = 0; i < 4; ++i) {
    uint64_t limb = 0;
    for (int k = 7; k >= 0; --k) limb = (limb << 8) | encoded[static_cast<size_t>(8 * i + k)];
    y.l[i] = limb;
  }
  const bool x_negative = (y.l[3] >> 63) != 0;
  y.l[3] &= 0x7fffffffffffffffull;
  if (at_least(y, kP)) return false;
  const Fe yy = mul(y, y);
  const Fe u = sub(yy, kOne);
  const Fe v = add(mul(kD, yy), kOne);  // never 0: -1/d is not a square
  if (is_zero(u)) return !x_negative;   // x = 0 has no negative form
  // u/v is a square exactly when u*v is (they differ by the square v^2).
  return equal(power(mul(u, v), kHalfPMinusOne), kOne);
}

}  // namespace vesk

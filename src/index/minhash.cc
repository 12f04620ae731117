#include "index/minhash.h"

#include <xxhash.h>

#include <algorithm>
#include <string>

#include "index/chacha12.h"
#include "index/unicode_text.h"

namespace vesk {
namespace {

// The generator seed: any fixed 32 bytes. Nothing persisted depends on it.
constexpr std::array<uint8_t, 32> kCoefficientSeed = {'v', 'e', 's', 'k', '.', 'n', 'g', 'r', 'a', 'm', '.',
                                                      'm', 'i', 'n', 'h', 'a', 's', 'h', '.', 'c', 'o', 'e',
                                                      'f', 'f', 'i', 'c', 'i', 'e', 'n', 't', 's', '!'};

// The normalised text: alphanumeric runs of the lower-cased text joined by
// single spaces.
std::string normalise(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool gap = false;
  if (is_all_ascii(text)) {
    for (char ch : text) {
      char c = ascii_lower(ch);
      if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
        if (gap && !out.empty()) out.push_back(' ');
        gap = false;
        out.push_back(c);
      } else {
        gap = true;
      }
    }
    return out;
  }
  std::string lowered = to_lower_full(text);
  std::string_view s = lowered;
  for (size_t i = 0; i < s.size();) {
    size_t start = i;
    char32_t c = next_code_point(s, i);
    if (is_unicode_alphanumeric(c)) {
      if (gap && !out.empty()) out.push_back(' ');
      gap = false;
      out.append(s.substr(start, i - start));
    } else {
      gap = true;
    }
  }
  return out;
}

struct Coefficients32 {
  alignas(64) uint32_t a[kMinHashPermutations];
  alignas(64) uint32_t b[kMinHashPermutations];
};

const Coefficients32& coefficients32() {
  static const Coefficients32 c = [] {
    Coefficients32 r;
    const MinHashCoefficients& w = minhash_coefficients();
    for (int i = 0; i < kMinHashPermutations; ++i) {
      r.a[i] = static_cast<uint32_t>(w.a[i]);
      r.b[i] = static_cast<uint32_t>(w.b[i]);
    }
    return r;
  }();
  return c;
}

// x * a + b < 2^62 + 2^31; since 2^31 = 1 (mod p), folding the high bits onto
// the low 31 twice leaves a value of at most p + 2, and one conditional
// subtraction finishes the reduction. The loop over the 128 functions has no
// dependency between lanes, so it vectorises.
__attribute__((target_clones("avx2", "default"))) void signature_loop(const uint64_t* xs, size_t n,
                                                                      const uint32_t* a, const uint32_t* b,
                                                                      uint32_t* out) {
  for (int i = 0; i < kMinHashPermutations; ++i) out[i] = 0xffffffffu;
  for (size_t k = 0; k < n; ++k) {
    const uint32_t x = static_cast<uint32_t>(xs[k]);
    for (int i = 0; i < kMinHashPermutations; ++i) {
      uint64_t v = static_cast<uint64_t>(x) * a[i] + b[i];
      v = (v & kMinHashPrime) + (v >> 31);
      v = (v & kMinHashPrime) + (v >> 31);
      v = v >= kMinHashPrime ? v - kMinHashPrime : v;
      uint32_t r = static_cast<uint32_t>(v);
      out[i] = r < out[i] ? r : out[i];
    }
  }
}

}  // namespace

std::vector<uint64_t> shingle_text(std::string_view text) {
  std::string norm = normalise(text);
  std::vector<uint64_t> out;
  const size_t n = norm.size();
  if (n == 0) return out;
  if (n < 3) {
    out.push_back(XXH3_64bits(norm.data(), n) & kShingleMask);
    return out;
  }
  out.reserve(n - 2);
  for (size_t i = 0; i + 3 <= n; ++i) out.push_back(XXH3_64bits(norm.data() + i, 3) & kShingleMask);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

const MinHashCoefficients& minhash_coefficients() {
  static const MinHashCoefficients c = [] {
    MinHashCoefficients r;
    ChaCha12Rng rng(kCoefficientSeed);
    auto draw = [&rng] { return rng.next_u64(); };
    for (auto& v : r.a) v = uniform_in(draw, 1, kMinHashPrime - 2);  // [1, 2^31 - 2]
    for (auto& v : r.b) v = uniform_in(draw, 0, kMinHashPrime - 1);  // [0, 2^31 - 2]
    return r;
  }();
  return c;
}

void compact_signature(const std::vector<uint64_t>& shingles, CompactSignature& out) {
  const Coefficients32& c = coefficients32();
  signature_loop(shingles.data(), shingles.size(), c.a, c.b, out.data());
}

MinHashSignature minhash_signature(const MinHashCoefficients& c, const std::vector<uint64_t>& shingles) {
  MinHashSignature sig;
  if (&c == &minhash_coefficients()) {
    CompactSignature s;
    compact_signature(shingles, s);
    for (int i = 0; i < kMinHashPermutations; ++i) sig[i] = s[i] == 0xffffffffu ? ~uint64_t{0} : s[i];
    return sig;
  }
  sig.fill(~uint64_t{0});
  for (uint64_t x : shingles)
    for (int i = 0; i < kMinHashPermutations; ++i) sig[i] = std::min(sig[i], (x * c.a[i] + c.b[i]) % kMinHashPrime);
  return sig;
}

}  // namespace vesk

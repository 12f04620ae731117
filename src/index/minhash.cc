#include "index/minhash.h"

#include <immintrin.h>
// Shingles are 1 to 3 bytes: the inline form of XXH3 (the same function)
// avoids a library call per shingle.
#define XXH_INLINE_ALL
#include <xxhash.h>

#include <algorithm>
#include <string>

#include "index/chacha12.h"
#include "model/unicode_text.h"

namespace vesk {
namespace {

// The generator seed: any fixed 32 bytes. Nothing persisted depends on it.
constexpr std::array<uint8_t, 32> kCoefficientSeed = {'v', 'e', 's', 'k', '.', 'n', 'g', 'r', 'a', 'm', '.',
                                                      'm', 'i', 'n', 'h', 'a', 's', 'h', '.', 'c', 'o', 'e',
                                                      'f', 'f', 'i', 'c', 'i', 'e', 'n', 't', 's', '!'};

// The normalised text into `out`: alphanumeric runs of the lower-cased text
// joined by single spaces.
void normalise(std::string_view text, std::string& out) {
  out.clear();
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
    return;
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
}

// The process coefficients, aligned for vector loads.
struct Coefficients {
  alignas(64) uint64_t a[kMinHashPermutations];
  alignas(64) uint64_t b[kMinHashPermutations];
};

const Coefficients& aligned_coefficients() {
  static const Coefficients c = [] {
    Coefficients r;
    const MinHashCoefficients& w = minhash_coefficients();
    for (int i = 0; i < kMinHashPermutations; ++i) {
      r.a[i] = w.a[i];
      r.b[i] = w.b[i];
    }
    return r;
  }();
  return c;
}

// x * a + b < 2^62 + 2^31; since 2^31 = 1 (mod p), folding the high bits onto
// the low 31 twice leaves a value of at most p + 2, and one conditional
// subtraction finishes the reduction. No division anywhere.
inline uint64_t mod_prime(uint64_t v) {
  v = (v & kMinHashPrime) + (v >> 31);
  v = (v & kMinHashPrime) + (v >> 31);
  return v >= kMinHashPrime ? v - kMinHashPrime : v;
}

void signature_scalar(const uint64_t* xs, size_t n, const Coefficients& c, uint32_t* out) {
  for (int i = 0; i < kMinHashPermutations; ++i) out[i] = 0xffffffffu;
  for (size_t k = 0; k < n; ++k)
    for (int i = 0; i < kMinHashPermutations; ++i) {
      const uint32_t r = static_cast<uint32_t>(mod_prime(xs[k] * c.a[i] + c.b[i]));
      out[i] = r < out[i] ? r : out[i];
    }
}

// Four functions per instruction: the 32x32->64-bit multiply, the folds and
// the running minimum all stay in 64-bit lanes (values are below 2^63, so the
// signed compares order them correctly).
__attribute__((target("avx2"))) void signature_avx2(const uint64_t* xs, size_t n, const Coefficients& c,
                                                    uint32_t* out) {
  constexpr long long kUnset = 0x7fffffffffffffffLL;
  alignas(32) uint64_t m[kMinHashPermutations];
  const __m256i p = _mm256_set1_epi64x(static_cast<long long>(kMinHashPrime));
  const __m256i p_minus_1 = _mm256_set1_epi64x(static_cast<long long>(kMinHashPrime - 1));
  for (int i = 0; i < kMinHashPermutations; i += 4)
    _mm256_store_si256(reinterpret_cast<__m256i*>(m + i), _mm256_set1_epi64x(kUnset));
  for (size_t k = 0; k < n; ++k) {
    const __m256i x = _mm256_set1_epi64x(static_cast<long long>(xs[k]));
    for (int i = 0; i < kMinHashPermutations; i += 4) {
      const __m256i a = _mm256_load_si256(reinterpret_cast<const __m256i*>(c.a + i));
      const __m256i b = _mm256_load_si256(reinterpret_cast<const __m256i*>(c.b + i));
      __m256i v = _mm256_add_epi64(_mm256_mul_epu32(x, a), b);
      v = _mm256_add_epi64(_mm256_and_si256(v, p), _mm256_srli_epi64(v, 31));
      v = _mm256_add_epi64(_mm256_and_si256(v, p), _mm256_srli_epi64(v, 31));
      v = _mm256_sub_epi64(v, _mm256_and_si256(_mm256_cmpgt_epi64(v, p_minus_1), p));
      const __m256i cur = _mm256_load_si256(reinterpret_cast<const __m256i*>(m + i));
      _mm256_store_si256(reinterpret_cast<__m256i*>(m + i), _mm256_blendv_epi8(cur, v, _mm256_cmpgt_epi64(cur, v)));
    }
  }
  for (int i = 0; i < kMinHashPermutations; ++i)
    out[i] = m[i] == static_cast<uint64_t>(kUnset) ? 0xffffffffu : static_cast<uint32_t>(m[i]);
}

// Eight functions per instruction, with the unsigned 64-bit minimum and
// compare the wider instruction set has.
__attribute__((target("avx512f"))) void signature_avx512(const uint64_t* xs, size_t n, const Coefficients& c,
                                                        uint32_t* out) {
  constexpr uint64_t kUnset = 0x7fffffffffffffffULL;
  __m512i m[kMinHashPermutations / 8];
  const __m512i p = _mm512_set1_epi64(static_cast<long long>(kMinHashPrime));
  const __m512i p_minus_1 = _mm512_set1_epi64(static_cast<long long>(kMinHashPrime - 1));
  for (auto& v : m) v = _mm512_set1_epi64(static_cast<long long>(kUnset));
  for (size_t k = 0; k < n; ++k) {
    const __m512i x = _mm512_set1_epi64(static_cast<long long>(xs[k]));
    for (int j = 0; j < kMinHashPermutations / 8; ++j) {
      const __m512i a = _mm512_load_si512(c.a + 8 * j);
      const __m512i b = _mm512_load_si512(c.b + 8 * j);
      __m512i v = _mm512_add_epi64(_mm512_mul_epu32(x, a), b);
      v = _mm512_add_epi64(_mm512_and_si512(v, p), _mm512_srli_epi64(v, 31));
      v = _mm512_add_epi64(_mm512_and_si512(v, p), _mm512_srli_epi64(v, 31));
      v = _mm512_mask_sub_epi64(v, _mm512_cmpgt_epu64_mask(v, p_minus_1), v, p);
      m[j] = _mm512_min_epu64(m[j], v);
    }
  }
  alignas(64) uint64_t lanes[kMinHashPermutations];
  for (int j = 0; j < kMinHashPermutations / 8; ++j) _mm512_store_si512(lanes + 8 * j, m[j]);
  for (int i = 0; i < kMinHashPermutations; ++i)
    out[i] = lanes[i] == kUnset ? 0xffffffffu : static_cast<uint32_t>(lanes[i]);
}

using SignatureFn = void (*)(const uint64_t*, size_t, const Coefficients&, uint32_t*);
SignatureFn pick_signature_fn() {
  __builtin_cpu_init();  // may run before the runtime's own initialisation
  if (__builtin_cpu_supports("avx512f")) return signature_avx512;
  return __builtin_cpu_supports("avx2") ? signature_avx2 : signature_scalar;
}

}  // namespace

namespace {
// The calling thread's normalised-text buffer; out of line so that the
// thread-local address is looked up once per text.
[[gnu::noinline]] std::string& normalised_buffer() {
  static thread_local std::string norm;
  return norm;
}
}  // namespace

void shingle_hashes(std::string_view text, std::vector<uint64_t>& out) {
  out.clear();
  std::string& norm = normalised_buffer();
  normalise(text, norm);
  const size_t n = norm.size();
  if (n == 0) return;
  if (n < 3) {
    out.push_back(XXH3_64bits(norm.data(), n) & kShingleMask);
    return;
  }
  out.resize(n - 2);
  for (size_t i = 0; i + 3 <= n; ++i) out[i] = XXH3_64bits(norm.data() + i, 3) & kShingleMask;
}

std::vector<uint64_t> shingle_text(std::string_view text) {
  std::vector<uint64_t> out;
  shingle_hashes(text, out);
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
  static const SignatureFn fn = pick_signature_fn();
  fn(shingles.data(), shingles.size(), aligned_coefficients(), out.data());
}

bool compact_signature_by(SignatureCode code, const std::vector<uint64_t>& shingles, CompactSignature& out) {
  __builtin_cpu_init();
  SignatureFn fn = signature_scalar;
  if (code == SignatureCode::Avx2) {
    if (!__builtin_cpu_supports("avx2")) return false;
    fn = signature_avx2;
  } else if (code == SignatureCode::Avx512) {
    if (!__builtin_cpu_supports("avx512f")) return false;
    fn = signature_avx512;
  }
  fn(shingles.data(), shingles.size(), aligned_coefficients(), out.data());
  return true;
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

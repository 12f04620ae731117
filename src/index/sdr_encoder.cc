#include "index/sdr_encoder.h"

// The n-grams are 2 to 16 bytes: the inline form of XXH3 (the same
// function) avoids a library call per n-gram.
#define XXH_INLINE_ALL
#include <xxhash.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "index/sdr_kernels.h"
#include "model/unicode_text.h"

namespace vesk {
namespace {

constexpr uint64_t kFourGramStep = 9999;
constexpr uint64_t kSecondOffset = 1337;
constexpr uint64_t kFourGramDigitMix = 0x1234567812345678ULL;
constexpr int kFourGramDigitRotate = 61;
constexpr uint64_t kThreeGramDigitMix = 0x5f3759df5f3759dfULL;
constexpr int kThreeGramDigitRotate = 7;

// Positions are deduplicated in a 65,536-bit set: setting a bit per emitted
// position and reading the set back in order (sdr_kernels.h) is far cheaper
// than sorting the ~20 positions per character a text emits.
struct PositionSet {
  uint64_t words[kBitSetWords] = {};
  std::vector<uint16_t> read;  // read-out buffer, kept between texts
  void add(uint16_t p) { words[p >> 6] |= uint64_t{1} << (p & 63); }
  // Moves the positions out in ascending order and leaves the set empty.
  Sdr take() {
    if (read.empty()) read.resize(64 * kBitSetWords + kBitPositionsSlack);
    const size_t n = read_bit_positions(words, read.data());
    std::memset(words, 0, sizeof words);
    return Sdr(read.begin(), read.begin() + static_cast<ptrdiff_t>(n));
  }
};

struct CoreRange {
  static constexpr uint64_t kStart = SdrEncoder::kCoreStart, kWidth = SdrEncoder::kCoreEnd - SdrEncoder::kCoreStart;
  static uint16_t at(uint64_t v) { return static_cast<uint16_t>(kStart + v % kWidth); }
};
struct GeneralRange {
  static constexpr uint64_t kStart = SdrEncoder::kGeneralStart,
                            kWidth = SdrEncoder::kGeneralEnd - SdrEncoder::kGeneralStart;
  static uint16_t at(uint64_t v) { return static_cast<uint16_t>(kStart + v % kWidth); }
};

// The range as the 4-gram expansion takes it: the offsets k * 9999 mod W of
// the 20 positions of a 4-gram, k = 0..19.
template <class R>
constexpr FourGramRange four_gram_range() {
  FourGramRange r{static_cast<uint32_t>(R::kStart), static_cast<uint32_t>(R::kWidth), {}};
  for (size_t k = 0; k < kFourGramPositions; ++k) r.offsets[k] = static_cast<uint32_t>(k * kFourGramStep % R::kWidth);
  return r;
}

// The 20 positions of a 4-gram hash h are those of h + k * 9999. Unless the
// additions wrap past 2^64, (h + k * 9999) mod W is (h mod W) plus the k-th
// offset, less W when that passes W: one division per 4-gram, and the 20
// positions are independent of each other (no chain of additions). Returns
// false, having set the positions one by one, for an h whose additions wrap.
template <class R>
bool four_gram_residue(uint64_t h, PositionSet& set, uint32_t& residue) {
  constexpr uint64_t kLastOffset = static_cast<uint64_t>(kFourGramPositions - 1) * kFourGramStep;
  if (h > UINT64_MAX - kLastOffset) [[unlikely]] {
    for (size_t k = 0; k < kFourGramPositions; ++k) set.add(R::at(h + static_cast<uint64_t>(k) * kFourGramStep));
    return false;
  }
  residue = static_cast<uint32_t>(h % R::kWidth);
  return true;
}

bool has_ascii_digit(const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (is_ascii_digit(static_cast<unsigned char>(p[i]))) return true;
  return false;
}

uint64_t hash_bytes(const char* p, size_t n) { return XXH3_64bits(p, n); }

// The 4-gram residues of a text and their expansion, kept between texts.
struct FourGramScratch {
  std::vector<uint32_t> residues;
  std::vector<uint16_t> positions;
};

// Emits the positions of a text whose characters start at the byte offsets
// off[0..n) (off[n] = end). For an ASCII text off[i] == i. The 4-grams' 20
// positions each are expanded all together from their residues, then set.
template <class R, class Offsets>
void emit(const char* s, size_t n, const Offsets& off, PositionSet& set, FourGramScratch& grams) {
  auto span = [&](size_t i, size_t k) { return std::pair<const char*, size_t>(s + off(i), off(i + k) - off(i)); };
  if (n >= 4) {
    std::vector<uint32_t>& residues = grams.residues;
    residues.resize(n - 3);
    size_t m = 0;
    for (size_t i = 0; i + 4 <= n; ++i) {
      auto [p, len] = span(i, 4);
      uint64_t h = hash_bytes(p, len);
      // Digit bytes never occur inside a multi-byte sequence, so a byte scan
      // finds exactly the windows holding an ASCII digit character.
      if (has_ascii_digit(p, len)) h = std::rotl(h ^ kFourGramDigitMix, kFourGramDigitRotate);
      m += four_gram_residue<R>(h, set, residues[m]);
    }
    static constexpr FourGramRange kRange = four_gram_range<R>();
    grams.positions.resize(kFourGramPositions * m);
    expand_four_grams(kRange, residues.data(), m, grams.positions.data());
    set_bit_positions(set.words, grams.positions.data(), grams.positions.size());
  }
  if (n >= 3) {
    for (size_t i = 0; i + 3 <= n; ++i) {
      auto [p, len] = span(i, 3);
      uint64_t h = hash_bytes(p, len);
      if (has_ascii_digit(p, len)) h = std::rotl(h ^ kThreeGramDigitMix, kThreeGramDigitRotate);
      set.add(R::at(h));
      set.add(R::at(h + kSecondOffset));
    }
  } else {
    auto [p, len] = span(0, n);
    uint64_t h = hash_bytes(p, len);
    set.add(R::at(h));
    set.add(R::at(h + kSecondOffset));
  }
  if (n >= 2) {
    for (size_t i = 0; i + 2 <= n; ++i) {
      auto [p, len] = span(i, 2);
      set.add(R::at(hash_bytes(p, len)));
    }
  }
}

// The calling thread's scratch space. Out of line, so that the thread-local
// address is looked up once per text (in a shared library each lookup is a
// call) and the position set reaches the emitting loops as a plain
// reference.
struct EncodeScratch {
  PositionSet set;
  FourGramScratch grams;
  std::string folded;
  std::vector<uint32_t> offsets;
};
[[gnu::noinline]] EncodeScratch& encode_scratch() {
  static thread_local EncodeScratch scratch;
  return scratch;
}

template <class R>
Sdr encode_in(std::string_view trimmed, SdrCase mode) {
  EncodeScratch& scratch = encode_scratch();
  PositionSet& set = scratch.set;
  std::string& folded = scratch.folded;
  std::vector<uint32_t>& offsets = scratch.offsets;
  if (is_all_ascii(trimmed)) {
    const char* s = trimmed.data();
    if (mode == SdrCase::Fold) {
      folded.resize(trimmed.size());
      for (size_t i = 0; i < trimmed.size(); ++i) folded[i] = ascii_lower(trimmed[i]);
      s = folded.data();
    }
    emit<R>(s, trimmed.size(), [](size_t i) { return i; }, set, scratch.grams);
    return set.take();
  }
  std::string lowered;
  std::string_view text = trimmed;
  if (mode == SdrCase::Fold) {
    lowered = to_lower_full(trimmed);
    text = lowered;
  }
  offsets.clear();
  for (size_t i = 0; i < text.size();) {
    offsets.push_back(static_cast<uint32_t>(i));
    next_code_point(text, i);
  }
  size_t n = offsets.size();
  offsets.push_back(static_cast<uint32_t>(text.size()));
  const uint32_t* off = offsets.data();
  emit<R>(text.data(), n, [off](size_t i) { return off[i]; }, set, scratch.grams);
  return set.take();
}

}  // namespace

Sdr encode_sdr(const SdrEncoder&, std::string_view text, SdrRange range, SdrCase mode) {
  std::string_view trimmed = trim_unicode_white_space(text);
  if (trimmed.empty()) return {};
  return range == SdrRange::Core ? encode_in<CoreRange>(trimmed, mode) : encode_in<GeneralRange>(trimmed, mode);
}

size_t sdr_overlap(const Sdr& a, const Sdr& b) {
  size_t i = 0, j = 0, c = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i] < b[j]) {
      ++i;
    } else if (b[j] < a[i]) {
      ++j;
    } else {
      ++c, ++i, ++j;
    }
  }
  return c;
}

}  // namespace vesk

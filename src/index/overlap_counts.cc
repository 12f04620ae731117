#include "index/overlap_counts.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

#include <immintrin.h>

// The eight-word lanes never cross a call boundary (everything that takes
// or returns one is inlined), so their argument-passing ABI does not matter.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vesk {

namespace {

constexpr size_t kWords = PostingList::kBitsetWords;
constexpr int kMaxPlanes = 16;
// Inputs summed per pass over the planes: their words stay in flight
// together, few enough for the hardware prefetchers to follow.
constexpr size_t kGroup = 32;
// How far ahead (in words) the adders prefetch their inputs.
constexpr size_t kAhead = 32;
// Below this many numbers in the array chunks of a block, they are added one
// by one rather than counted in bytes first.
constexpr size_t kFewNumbers = 4096;

// Eight words, the unit the adders work on (one cache line).
typedef uint64_t Lane __attribute__((vector_size(64)));

[[gnu::always_inline]] inline Lane load(const uint64_t* p) {
  Lane v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
[[gnu::always_inline]] inline void store(uint64_t* p, Lane v) { __builtin_memcpy(p, &v, sizeof v); }

// Adds x at bit j of the counter whose bit planes are p[0..np).
[[gnu::always_inline]] inline void ripple(Lane* p, int np, int j, Lane x) {
  for (; j < np; ++j) {
    const Lane carry = p[j] & x;
    p[j] ^= x;
    x = carry;
  }
}

// planes[0..np) += the sum of the n input bitsets, over all 1,024 words.
// Inputs are taken two at a time into a full adder at plane 0; its carry
// waits at plane 1 for a second carry, the two go through a full adder at
// plane 1, and so on up: a binary counter over the pairs, so each input costs
// about two full adders (five operations each) whatever the number of planes.
// What is left waiting at the end is rippled in.
[[gnu::always_inline]] inline void add_bitsets_kernel(uint64_t* const* planes, int np, const uint64_t* const* in,
                                                      size_t n, size_t words) {
  for (size_t w = 0; w < words; w += 8) {
    Lane p[kMaxPlanes], wait[kMaxPlanes];
    for (int j = 0; j < np; ++j) p[j] = load(planes[j] + w);
    unsigned waiting = 0;
    size_t k = 0;
    for (; k + 1 < n; k += 2) {
      // The inputs are read as many streams at once, more than the
      // hardware prefetchers follow: ask for their lines a few ahead.
      __builtin_prefetch(in[k] + w + kAhead);
      __builtin_prefetch(in[k + 1] + w + kAhead);
      const Lane a = load(in[k] + w), b = load(in[k + 1] + w);
      Lane u = p[0] ^ a;
      Lane carry = (p[0] & a) | (u & b);
      p[0] = u ^ b;
      int j = 1;
      while (waiting >> j & 1) {
        u = p[j] ^ wait[j];
        const Lane next = (p[j] & wait[j]) | (u & carry);
        p[j] = u ^ carry;
        carry = next;
        waiting &= ~(1u << j);
        ++j;
      }
      wait[j] = carry;
      waiting |= 1u << j;
    }
    if (k < n) ripple(p, np, 0, load(in[k] + w));
    while (waiting) {
      const int j = std::countr_zero(waiting);
      waiting &= waiting - 1;
      ripple(p, np, j, wait[j]);
    }
    for (int j = 0; j < np; ++j) store(planes[j] + w, p[j]);
  }
}

void add_bitsets_portable(uint64_t* const* planes, int np, const uint64_t* const* in, size_t n, size_t words) {
  add_bitsets_kernel(planes, np, in, n, words);
}
__attribute__((target("avx2"))) void add_bitsets_avx2(uint64_t* const* planes, int np, const uint64_t* const* in,
                                                       size_t n, size_t words) {
  add_bitsets_kernel(planes, np, in, n, words);
}

using AddBitsets = void (*)(uint64_t* const*, int, const uint64_t* const*, size_t, size_t);
AddBitsets add_bitsets_impl() {
  static const AddBitsets f = __builtin_cpu_supports("avx2") ? add_bitsets_avx2 : add_bitsets_portable;
  return f;
}

// planes[0..np) += the byte counters bytes[0 .. 64 * words), and the
// counters are zeroed. Each group of 64 counters is turned into eight bit
// planes (bit b of every counter), then added with a ripple of full adders.
[[gnu::always_inline]] inline void add_byte_planes(uint64_t* const* planes, int np, size_t w, const uint64_t* x) {
  uint64_t carry = 0;
  for (int j = 0; j < np; ++j) {
    const uint64_t a = j < 8 ? x[j] : 0;
    if (j >= 8 && !carry) break;
    const uint64_t p = planes[j][w];
    const uint64_t u = p ^ a;
    planes[j][w] = u ^ carry;
    carry = (p & a) | (u & carry);
  }
}

void fold_bytes_portable(uint64_t* const* planes, int np, uint8_t* bytes, size_t words) {
  for (size_t w = 0; w < words; ++w) {
    uint64_t chunk[8];
    std::memcpy(chunk, bytes + 64 * w, 64);
    uint64_t any = 0;
    for (uint64_t c : chunk) any |= c;
    if (!any) continue;
    uint64_t x[8];
    for (int b = 0; b < 8; ++b) {
      uint64_t bits = 0;
      for (int i = 0; i < 8; ++i) {
        // Bit b of each of eight bytes gathered into one byte: the
        // multiplication moves byte k's bit to bit 56 + k.
        const uint64_t picked = (chunk[i] >> b) & 0x0101010101010101ULL;
        bits |= ((picked * 0x0102040810204080ULL) >> 56) << (8 * i);
      }
      x[b] = bits;
    }
    add_byte_planes(planes, np, w, x);
    std::memset(bytes + 64 * w, 0, 64);
  }
}

__attribute__((target("avx2"))) void fold_bytes_avx2(uint64_t* const* planes, int np, uint8_t* bytes, size_t words) {
  const __m256i zero = _mm256_setzero_si256();
  for (size_t w = 0; w < words; ++w) {
    __m256i lo = _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes + 64 * w));
    __m256i hi = _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes + 64 * w + 32));
    if (_mm256_testz_si256(_mm256_or_si256(lo, hi), _mm256_or_si256(lo, hi))) continue;
    uint64_t x[8];
    // Shifting 16-bit lanes left by 7 - b puts bit b of both bytes of a
    // lane at their top bits, which the byte mask reads.
    for (int b = 7; b >= 0; --b) {
      x[b] = static_cast<uint32_t>(_mm256_movemask_epi8(lo)) |
             uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(hi))} << 32;
      lo = _mm256_slli_epi16(lo, 1);
      hi = _mm256_slli_epi16(hi, 1);
    }
    add_byte_planes(planes, np, w, x);
    _mm256_store_si256(reinterpret_cast<__m256i*>(bytes + 64 * w), zero);
    _mm256_store_si256(reinterpret_cast<__m256i*>(bytes + 64 * w + 32), zero);
  }
}

using FoldBytes = void (*)(uint64_t* const*, int, uint8_t*, size_t);
FoldBytes fold_bytes_impl() {
  static const FoldBytes f = __builtin_cpu_supports("avx2") ? fold_bytes_avx2 : fold_bytes_portable;
  return f;
}

// Population counts over word arrays, with the processor's instruction
// where it has one.
__attribute__((target_clones("popcnt", "default"))) uint64_t count_any(uint64_t* const* planes, int np, size_t words,
                                                                        uint64_t* any_out) {
  uint64_t n = 0;
  for (size_t w = 0; w < words; ++w) {
    uint64_t any = 0;
    for (int j = 0; j < np; ++j) any |= planes[j][w];
    if (any_out) any_out[w] = any;
    n += static_cast<uint64_t>(__builtin_popcountll(any));
  }
  return n;
}
__attribute__((target_clones("popcnt", "default"))) uint64_t count_and(const uint64_t* a, const uint64_t* b,
                                                                        size_t words) {
  uint64_t n = 0;
  for (size_t w = 0; w < words; ++w) n += static_cast<uint64_t>(__builtin_popcountll(a[w] & b[w]));
  return n;
}

uint64_t* alloc_words() {
  void* p = std::aligned_alloc(64, kWords * 8);
  if (!p) throw std::bad_alloc();
  return static_cast<uint64_t*>(p);
}

}  // namespace

OverlapCounts::OverlapCounts(bool vector_instructions) : vector_(vector_instructions) {}

OverlapCounts::~OverlapCounts() {
  for (uint64_t* w : owned_) std::free(w);
  std::free(bytes_);
}

uint64_t* OverlapCounts::take_words() {
  uint64_t* w;
  if (!spare_.empty()) {
    w = spare_.back();
    spare_.pop_back();
  } else {
    w = alloc_words();
    owned_.push_back(w);
  }
  std::memset(w, 0, kWords * 8);
  return w;
}

void OverlapCounts::reset(uint32_t max_doc) {
  for (Block& b : blocks_) {
    for (int j = 0; j < planes_; ++j) spare_.push_back(b.plane[j]);
    spare_.push_back(b.mask);
  }
  blocks_.clear();
  planes_ = 0;
  lists_ = 0;
  max_doc_ = max_doc;
}

OverlapCounts::Block& OverlapCounts::block(uint16_t key) {
  auto it = std::lower_bound(blocks_.begin(), blocks_.end(), key, [](const Block& b, uint16_t k) { return b.key < k; });
  if (it != blocks_.end() && it->key == key) return *it;
  Block b{};
  b.key = key;
  for (int j = 0; j < planes_; ++j) b.plane[j] = take_words();
  b.mask = take_words();
  return *blocks_.insert(it, b);
}

void OverlapCounts::add(std::span<const PostingList* const> lists) {
  if (lists.empty()) return;
  lists_ += lists.size();
  const int planes = std::min(kMaxPlanes, static_cast<int>(std::bit_width(lists_)));
  for (Block& b : blocks_)
    for (int j = planes_; j < planes; ++j) b.plane[j] = take_words();
  planes_ = planes;

  // Every chunk to add, by key.
  struct Input {
    uint16_t key;
    const PostingList::Chunk* chunk;  // or null for `values`
    const uint16_t* values;
    uint32_t n;
  };
  std::vector<Input> inputs;
  const uint16_t last_key = static_cast<uint16_t>(max_doc_ >> 16);
  for (const PostingList* l : lists) {
    for (size_t i = 0, n = l->chunk_count(); i < n; ++i) {
      const PostingList::Chunk& c = l->chunk(i);
      if (c.key > last_key) break;
      if (c.is_bitset()) {
        inputs.push_back(Input{c.key, &c, nullptr, 0});
      } else {
        inputs.push_back(Input{c.key, nullptr, c.values(), c.card});
      }
    }
    if (!l->buffered().empty() && l->buffered_key() <= last_key)
      inputs.push_back(Input{l->buffered_key(), nullptr, l->buffered().data(), static_cast<uint32_t>(l->buffered().size())});
  }
  std::sort(inputs.begin(), inputs.end(), [](const Input& a, const Input& b) { return a.key < b.key; });

  std::vector<const uint64_t*> bitsets;
  std::vector<std::pair<const uint16_t*, uint32_t>> arrays;
  for (size_t i = 0; i < inputs.size();) {
    const uint16_t key = inputs[i].key;
    bitsets.clear();
    arrays.clear();
    for (; i < inputs.size() && inputs[i].key == key; ++i) {
      if (inputs[i].chunk) {
        bitsets.push_back(inputs[i].chunk->words());
      } else {
        arrays.emplace_back(inputs[i].values, inputs[i].n);
      }
    }
    add_block(block(key), bitsets, arrays);
  }
}

void OverlapCounts::add_block(Block& b, std::span<const uint64_t* const> bitsets,
                              std::span<const std::pair<const uint16_t*, uint32_t>> arrays) {
  // In the block of max_doc only the words up to it matter (rounded up to
  // whole lanes of eight).
  const bool last = b.key == static_cast<uint16_t>(max_doc_ >> 16);
  const uint32_t max_low = last ? max_doc_ & 0xffff : 0xffff;
  const size_t words = std::min(kWords, ((max_low >> 6) + 8) & ~size_t{7});
  const AddBitsets add_bitsets = vector_ ? add_bitsets_impl() : add_bitsets_portable;
  for (size_t at = 0; at < bitsets.size(); at += kGroup)
    add_bitsets(b.plane, planes_, bitsets.data() + at, std::min(kGroup, bitsets.size() - at), words);

  size_t numbers = 0;
  for (const auto& [values, n] : arrays) numbers += n;
  if (numbers < kFewNumbers) {
    // A handful of numbers (appends still buffered, say): each is added on
    // its own, carrying up the planes.
    for (const auto& [values, n] : arrays) {
      for (uint32_t i = 0; i < n && values[i] <= max_low; ++i) {
        const size_t w = values[i] >> 6;
        uint64_t x = uint64_t{1} << (values[i] & 63);
        for (int j = 0; j < planes_ && x; ++j) {
          const uint64_t carry = b.plane[j][w] & x;
          b.plane[j][w] ^= x;
          x = carry;
        }
      }
    }
  } else {
    // Array chunks are counted a byte per document (no two numbers of one
    // array share a byte, so the increments do not wait on each other), and
    // the bytes are added to the planes every 255 arrays and at the end.
    if (!bytes_) {
      bytes_ = static_cast<uint8_t*>(std::aligned_alloc(64, kWords * 64));
      if (!bytes_) throw std::bad_alloc();
    }
    std::memset(bytes_, 0, words * 64);
    const FoldBytes fold = vector_ ? fold_bytes_impl() : fold_bytes_portable;
    size_t pending = 0;
    uint8_t* const bytes = bytes_;
    for (const auto& [values, n] : arrays) {
      // Held in locals: a store through the byte pointer could alias the
      // array's pointer and length, which would be read again per number.
      // The numbers ascend: those up to max_low are a prefix.
      const uint16_t* const v = values;
      const uint32_t end = last ? static_cast<uint32_t>(std::upper_bound(v, v + n, max_low) - v) : n;
      for (uint32_t i = 0; i < end; ++i) ++bytes[v[i]];
      if (++pending == 255) {
        fold(b.plane, planes_, bytes_, words);
        pending = 0;
      }
    }
    if (pending) fold(b.plane, planes_, bytes_, words);
  }
  // Documents above max_doc (posted after the search began) do not count.
  if (last) {
    const size_t w = max_low >> 6;
    const uint64_t keep = (max_low & 63) == 63 ? ~uint64_t{0} : (uint64_t{1} << ((max_low & 63) + 1)) - 1;
    for (int j = 0; j < planes_; ++j) {
      b.plane[j][w] &= keep;
      std::memset(b.plane[j] + w + 1, 0, (kWords - w - 1) * 8);
    }
  }
}

uint64_t OverlapCounts::counted() const {
  uint64_t n = 0;
  for (const Block& b : blocks_) n += count_any(b.plane, planes_, kWords, nullptr);
  return n;
}

uint32_t OverlapCounts::count(uint32_t d) const {
  auto it = std::lower_bound(blocks_.begin(), blocks_.end(), static_cast<uint16_t>(d >> 16),
                             [](const Block& b, uint16_t k) { return b.key < k; });
  if (it == blocks_.end() || it->key != static_cast<uint16_t>(d >> 16)) return 0;
  const size_t w = (d & 0xffff) >> 6;
  const unsigned bit = d & 63;
  uint32_t c = 0;
  for (int j = 0; j < planes_; ++j) c |= static_cast<uint32_t>((it->plane[j][w] >> bit) & 1) << j;
  return c;
}

void OverlapCounts::best(size_t take, std::vector<std::pair<uint32_t, uint32_t>>& out) {
  out.clear();
  if (take == 0) return;
  // Radix selection of the threshold t, the count of the take-th best
  // document: from the top plane down, `mask` keeps the documents whose
  // count agrees with t on the planes decided so far.
  for (Block& b : blocks_) (void)count_any(b.plane, planes_, kWords, b.mask);
  uint64_t need = take;
  uint32_t t = 0;
  for (int j = planes_ - 1; j >= 0; --j) {
    uint64_t with = 0;
    for (const Block& b : blocks_) with += count_and(b.mask, b.plane[j], kWords);
    const bool set = with >= need;
    if (set) {
      t |= 1u << j;
    } else {
      need -= with;
    }
    for (Block& b : blocks_)
      for (size_t w = 0; w < kWords; ++w) b.mask[w] &= set ? b.plane[j][w] : ~b.plane[j][w];
  }
  // Now `mask` holds the documents counted exactly t, of which the first
  // `need` by number are taken, and every document counted above t is taken.
  for (const Block& b : blocks_) {
    const uint32_t high = uint32_t{b.key} << 16;
    for (size_t w = 0; w < kWords; ++w) {
      // Above t: the first plane (from the top) where the count has a 1 and
      // t a 0, with all planes above it equal.
      uint64_t above = 0, equal = ~uint64_t{0};
      for (int j = planes_ - 1; j >= 0; --j) {
        const uint64_t p = b.plane[j][w];
        if (t >> j & 1) {
          equal &= p;
        } else {
          above |= equal & p;
          equal &= ~p;
        }
      }
      uint64_t at_t = b.mask[w];
      while (need && at_t) {
        above |= at_t & -at_t;
        at_t &= at_t - 1;
        --need;
      }
      for (; above; above &= above - 1)
        out.emplace_back(high | static_cast<uint32_t>(w * 64 + static_cast<size_t>(std::countr_zero(above))), 0);
    }
  }
  for (auto& [d, c] : out) c = count(d);
  std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.second != b.second ? a.second > b.second : a.first < b.first; });
}

}  // namespace vesk

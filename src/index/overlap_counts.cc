#include "index/overlap_counts.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

#include <immintrin.h>

#include "index/prefetch.h"

namespace vesk {

namespace {

constexpr size_t kWords = 1024;  // 65,536 documents
constexpr int kMaxPlanes = 16;
// Below this many numbers in the chunks and buffers of a block, they are
// added one by one rather than counted in bytes first.
constexpr size_t kFewNumbers = 4096;

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

  // Every chunk and buffer to add, by key.
  std::vector<Input>& inputs = inputs_;
  inputs.clear();
  const uint16_t last_key = static_cast<uint16_t>(max_doc_ >> 16);
  for (const PostingList* l : lists) {
    for (size_t i = 0, n = l->chunk_count(); i < n; ++i) {
      const PostingList::Chunk& c = l->chunk(i);
      if (c.key > last_key) break;
      inputs.push_back(Input{c.key, true, c, nullptr, c.card});
    }
    if (!l->buffered().empty() && l->buffered_key() <= last_key)
      inputs.push_back(
          Input{l->buffered_key(), false, {}, l->buffered().data(), static_cast<uint32_t>(l->buffered().size())});
  }
  std::sort(inputs.begin(), inputs.end(), [](const Input& a, const Input& b) { return a.key < b.key; });
  for (size_t i = 0; i < inputs.size();) {
    size_t j = i + 1;
    while (j < inputs.size() && inputs[j].key == inputs[i].key) ++j;
    add_block(block(inputs[i].key), std::span<const Input>(inputs).subspan(i, j - i));
    i = j;
  }
}

void OverlapCounts::add_block(Block& b, std::span<const Input> inputs) {
  // In the block of max_doc only the numbers up to it count (documents
  // posted after the search began do not), and only the words up to it
  // matter (rounded up to whole lanes of eight).
  const bool last = b.key == static_cast<uint16_t>(max_doc_ >> 16);
  const uint32_t max_low = last ? max_doc_ & 0xffff : 0xffff;
  const size_t words = std::min(kWords, ((max_low >> 6) + 8) & ~size_t{7});
  // The numbers of a run up to max_low: a prefix, as they ascend.
  auto counted = [last, max_low](const uint16_t* v, uint32_t n) {
    return last && n && v[n - 1] > max_low ? static_cast<uint32_t>(std::upper_bound(v, v + n, max_low) - v) : n;
  };
  uint16_t scratch[PostingList::Chunk::kRunValues];
  auto each_run = [&](const Input& in, auto&& f) {
    if (in.is_chunk) {
      in.chunk.for_each_run(scratch, f, vector_);
    } else {
      f(in.values, in.n);
    }
  };
  // A handful of numbers (appends still buffered, the lists left after the
  // last addition of the bytes to the planes) is added one by one, carrying
  // up the planes: cheaper than adding all of the bytes.
  auto add_each = [&](const uint16_t* v, uint32_t n) {
    for (uint32_t i = 0, end = counted(v, n); i < end; ++i) {
      const size_t w = v[i] >> 6;
      uint64_t x = uint64_t{1} << (v[i] & 63);
      for (int j = 0; j < planes_ && x; ++j) {
        const uint64_t carry = b.plane[j][w] & x;
        b.plane[j][w] ^= x;
        x = carry;
      }
    }
  };
  size_t left = 0;  // numbers of the inputs not yet counted
  for (const Input& in : inputs) left += in.n;
  // Otherwise each input is counted a byte per document (no two numbers of
  // one list share a byte, so the increments do not wait on each other), and
  // the bytes are added to the planes every 255 inputs and at the end.
  if (!bytes_) {
    bytes_ = static_cast<uint8_t*>(std::aligned_alloc(64, kWords * 64));
    if (!bytes_) throw std::bad_alloc();
    std::memset(bytes_, 0, kWords * 64);
  }
  const FoldBytes fold = vector_ ? fold_bytes_impl() : fold_bytes_portable;
  size_t pending = 0;
  uint8_t* const bytes = bytes_;
  // The numbers are read into locals before the increments: a store
  // through the byte pointer could alias them, and they would be read again.
  auto count = [&](const uint16_t* v, uint32_t n) {
    const uint16_t* p = v;
    const uint16_t* const end = v + counted(v, n);
    for (; end - p >= 4; p += 4) {
      const uint16_t x0 = p[0], x1 = p[1], x2 = p[2], x3 = p[3];
      ++bytes[x0];
      ++bytes[x1];
      ++bytes[x2];
      ++bytes[x3];
    }
    for (; p < end; ++p) ++bytes[*p];
  };
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (pending == 0 && left < kFewNumbers) {
      for (; i < inputs.size(); ++i) each_run(inputs[i], add_each);
      break;
    }
    // Later chunks are read from memory while this one is decoded: the
    // first line (and a pooled chunk's skip entries, at its end) well ahead,
    // the rest soon.
    if (i + 6 < inputs.size() && inputs[i + 6].is_chunk) {
      const PostingList::Chunk& ahead = inputs[i + 6].chunk;
      prefetch_line(ahead.data);
      if (ahead.pooled) prefetch_line(ahead.data + ahead.cap - 4);
    }
    if (i + 3 < inputs.size() && inputs[i + 3].is_chunk) {
      const PostingList::Chunk& ahead = inputs[i + 3].chunk;
      for (size_t at = 64; at < 2048 && at < ahead.cap; at += 64) prefetch_line(ahead.data + at);
    }
    each_run(inputs[i], count);
    left -= inputs[i].n;
    if (++pending == 255) {
      fold(b.plane, planes_, bytes_, words);
      pending = 0;
    }
  }
  if (pending) fold(b.plane, planes_, bytes_, words);
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

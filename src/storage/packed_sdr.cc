#include "storage/packed_sdr.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "base/coding.h"

namespace vesk {
namespace {

constexpr size_t kBlocks = PackedSdr::kBlockCount;

struct FromValues {
  const uint16_t* p;
  uint16_t operator[](size_t i) const { return p[i]; }
};
struct FromLittleEndian {
  const char* p;
  uint16_t operator[](size_t i) const {
    if constexpr (std::endian::native == std::endian::little) {
      uint16_t v;
      std::memcpy(&v, p + 2 * i, sizeof v);
      return v;
    } else {
      return get_le<uint16_t>(p + 2 * i);
    }
  }
};

size_t round_up8(size_t n) { return (n + 7) & ~size_t{7}; }

}  // namespace

size_t PackedSdr::byte_size() const {
  if (form() == Form::kBlocks) return kHeaderSize + kBlockCount + body_size_;
  return kHeaderSize + (reinterpret_cast<const uint8_t*>(plain_) == bytes() ? 2 * size_t{count_} : 0);
}

const PackedSdr& PackedSdr::plain_view_into(void* at, std::span<const uint16_t> positions) {
  PackedSdr* s = new (at) PackedSdr();
  s->count_ = static_cast<uint32_t>(positions.size());
  s->form_ = static_cast<uint8_t>(Form::kPlain);
  s->plain_ = positions.data();
  return *s;
}

std::vector<uint16_t> PackedSdr::positions() const {
  if (form() == Form::kPlain) {
    const std::span<const uint16_t> p = plain();
    return std::vector<uint16_t>(p.begin(), p.end());
  }
  std::vector<uint16_t> out;
  out.reserve(count_);
  const uint8_t* d = body();
  for (size_t b = 0; b < kBlockCount; ++b) {
    const size_t n = heads()[b];
    const uint16_t base = static_cast<uint16_t>(b << 8);
    if (n == kBitmapHead) {
      for (size_t w = 0; w < 4; ++w) {
        uint64_t word;
        std::memcpy(&word, d + 8 * w, 8);
        for (; word; word &= word - 1) out.push_back(static_cast<uint16_t>(base | (64 * w + std::countr_zero(word))));
      }
    } else {
      for (size_t j = 0; j < n; ++j) out.push_back(static_cast<uint16_t>(base | d[j]));
    }
    d += n;
  }
  return out;
}

SdrPacker::SdrPacker(std::span<const uint16_t> positions) : positions_(positions.data()), count_(positions.size()) {
  plan(FromValues{positions_});
}

SdrPacker::SdrPacker(const char* le, size_t count) : le_(le), count_(count) { plan(FromLittleEndian{le_}); }

// Whether the sequence is strictly ascending (one pass, which vectorises),
// then, for an ascending one, where each block's positions end: the last
// write to ends[b] wins, and no branch or chain of dependent steps runs
// through the values, so the stores go at the processor's full rate.
template <class Source>
void SdrPacker::plan(const Source& src) {
  unsigned disorder = 0;
  for (size_t i = 1; i < count_; ++i) disorder |= src[i - 1] >= src[i];
  blocked_ = disorder == 0 && count_ > 0;
  if (!blocked_) {
    packed_size_ = round_up8(PackedSdr::kHeaderSize + 2 * count_);
    return;
  }
  uint32_t ends[kBlocks] = {};
#pragma GCC unroll 8
  for (size_t i = 0; i < count_; ++i) ends[src[i] >> 8] = static_cast<uint32_t>(i + 1);
  uint32_t start = 0;
  for (size_t b = 0; b < kBlocks; ++b) {
    const uint32_t n = ends[b] ? ends[b] - start : 0;
    if (ends[b]) start = ends[b];
    block_counts_[b] = static_cast<uint16_t>(n);
    any_bitmap_ |= n >= PackedSdr::kBitmapHead;
    body_size_ += std::min<uint32_t>(n, PackedSdr::kBitmapHead);
  }
  packed_size_ = round_up8(PackedSdr::kHeaderSize + kBlocks + body_size_);
}

template <class Source>
void SdrPacker::write(const Source& src, uint8_t* heads, uint8_t* body) const {
  for (size_t b = 0; b < kBlocks; ++b) heads[b] = static_cast<uint8_t>(std::min<uint16_t>(block_counts_[b], 32));
  if (!any_bitmap_) {
    // Every block a list: the bodies are the low bytes of all positions.
    // (A local count: a store through `body` could alias the member.)
    for (size_t i = 0, n = count_; i < n; ++i) body[i] = static_cast<uint8_t>(src[i]);
    return;
  }
  size_t i = 0;
  for (size_t b = 0; b < kBlocks; ++b) {
    const size_t n = block_counts_[b];
    if (n >= PackedSdr::kBitmapHead) {
      uint64_t words[4] = {};
      for (size_t end = i + n; i < end; ++i) {
        const uint8_t x = static_cast<uint8_t>(src[i]);
        words[x >> 6] |= uint64_t{1} << (x & 63);
      }
      std::memcpy(body, words, sizeof words);
      body += sizeof words;
    } else {
      for (size_t j = 0; j < n; ++j) body[j] = static_cast<uint8_t>(src[i + j]);
      i += n;
      body += n;
    }
  }
}

const PackedSdr& SdrPacker::pack_into(void* at) const {
  PackedSdr* s = new (at) PackedSdr();
  s->count_ = static_cast<uint32_t>(count_);
  uint8_t* bytes = static_cast<uint8_t*>(at) + PackedSdr::kHeaderSize;
  const size_t used = blocked_ ? PackedSdr::kHeaderSize + kBlocks + body_size_ : PackedSdr::kHeaderSize + 2 * count_;
  // The padding up to a multiple of 8 is zeroed, so equal sequences pack to equal bytes.
  std::memset(static_cast<uint8_t*>(at) + used, 0, packed_size_ - used);
  if (!blocked_) {
    s->form_ = static_cast<uint8_t>(PackedSdr::Form::kPlain);
    uint16_t* out = reinterpret_cast<uint16_t*>(bytes);
    s->plain_ = out;
    if (le_) {
      for (size_t i = 0, n = count_; i < n; ++i) out[i] = get_le<uint16_t>(le_ + 2 * i);
    } else if (count_) {
      std::memcpy(out, positions_, 2 * count_);
    }
    return *s;
  }
  s->form_ = static_cast<uint8_t>(PackedSdr::Form::kBlocks);
  s->body_size_ = static_cast<uint16_t>(body_size_);
  if (le_) {
    write(FromLittleEndian{le_}, bytes, bytes + kBlocks);
  } else {
    write(FromValues{positions_}, bytes, bytes + kBlocks);
  }
  return *s;
}

PackedSdrBuffer::PackedSdrBuffer(std::span<const uint16_t> positions) {
  SdrPacker packer(positions);
  words_ = std::make_unique<uint64_t[]>(packer.packed_size() / 8);
  packer.pack_into(words_.get());
}

}  // namespace vesk

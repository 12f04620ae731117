#include "index/posting_list.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "index/roaring_portable.h"

namespace vesk {

namespace {

static_assert(std::endian::native == std::endian::little, "chunks are copied to and from little-endian bytes");

constexpr size_t kBitsetBytes = PostingList::kBitsetWords * 8;

uint64_t* new_bitset(PostingMemory& mem) {
  auto* w = static_cast<uint64_t*>(mem.allocate(kBitsetBytes));
  std::memset(w, 0, kBitsetBytes);
  return w;
}

size_t chunk_bytes(const PostingList::Chunk& c) { return c.is_bitset() ? kBitsetBytes : size_t{c.cap} * 2; }

// The bytes of the table of `n` older chunks: its capacity is n rounded up
// to a power of two.
size_t older_bytes(uint32_t n) { return n == 0 ? 0 : std::bit_ceil(n) * sizeof(PostingList::Chunk); }

// The smallest capacity of an array chunk, and the one for `n` values.
constexpr uint32_t kFirstCap = 16;
uint16_t cap_for(uint32_t n) {
  return static_cast<uint16_t>(std::min(std::bit_ceil(std::max(n, kFirstCap)), PostingList::kArrayMax));
}

// The next capacity of an array chunk that must hold `need` values: twice
// the last, never past the array maximum. Appends reach every list in turn,
// so a reallocation is a cache miss and a copy; doubling keeps them few, and
// a chunk that stops growing (a later key starts) is trimmed to its size.
uint16_t grown_cap(uint32_t cap, uint32_t need) { return cap_for(std::max(cap * 2, need)); }

void set_bit(uint64_t* w, uint16_t v) { w[v >> 6] |= uint64_t{1} << (v & 63); }
bool test_bit(const uint64_t* w, uint16_t v) { return w[v >> 6] >> (v & 63) & 1; }

// Turns an array chunk into a bitset chunk.
void to_bitset(PostingList::Chunk& c, PostingMemory& mem) {
  uint64_t* w = new_bitset(mem);
  for (uint32_t i = 0; i < c.card; ++i) set_bit(w, c.values()[i]);
  mem.release(c.data, chunk_bytes(c));
  c.data = w;
  c.cap = 0;
}

void reserve_values(PostingList::Chunk& c, uint32_t need, PostingMemory& mem) {
  if (need <= c.cap) return;
  const uint16_t cap = grown_cap(c.cap, need);
  c.data = mem.reallocate(c.data, size_t{c.cap} * 2, size_t{cap} * 2);
  c.cap = cap;
}

// Appends ascending values above every value of the chunk.
void append_values(PostingList::Chunk& c, const uint16_t* v, uint32_t n, PostingMemory& mem) {
  if (!c.is_bitset() && c.card + n > PostingList::kArrayMax) to_bitset(c, mem);
  if (c.is_bitset()) {
    auto* w = static_cast<uint64_t*>(c.data);
    for (uint32_t i = 0; i < n; ++i) set_bit(w, v[i]);
  } else {
    reserve_values(c, c.card + n, mem);
    // At most a buffer's worth: a plain loop beats a library call.
    uint16_t* to = static_cast<uint16_t*>(c.data) + c.card;
    for (uint32_t i = 0; i < n; ++i) to[i] = v[i];
  }
  c.card += n;
}

void put16(std::string& out, uint16_t v) {
  const char b[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
  out.append(b, 2);
}
void put32(std::string& out, uint32_t v) {
  char b[4];
  std::memcpy(b, &v, 4);
  out.append(b, 4);
}

}  // namespace

size_t PostingList::find_chunk(uint16_t key) const {
  if (last_.data && last_.key <= key) return last_.key == key ? nolder_ : nolder_ + 1;
  size_t lo = 0, hi = nolder_;
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    if (older_[mid].key < key) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

PostingList::Chunk* PostingList::insert_chunk(size_t at, uint16_t key, PostingMemory& mem) {
  auto grow_older = [this, &mem] {
    if (older_bytes(nolder_ + 1) != older_bytes(nolder_))
      older_ = static_cast<Chunk*>(mem.reallocate(older_, older_bytes(nolder_), older_bytes(nolder_ + 1)));
  };
  Chunk fresh{key, static_cast<uint16_t>(kFirstCap), 0, mem.allocate(kFirstCap * 2)};
  if (at == chunk_count()) {
    // A new last chunk; the current one joins the older.
    if (last_.data) {
      if (!last_.is_bitset() && last_.cap > last_.card) {
        const auto cap = static_cast<uint16_t>(last_.card);
        last_.data = mem.reallocate(last_.data, size_t{last_.cap} * 2, size_t{cap} * 2);
        last_.cap = cap;
      }
      grow_older();
      older_[nolder_++] = last_;
    }
    last_ = fresh;
    return &last_;
  }
  grow_older();
  std::memmove(older_ + at + 1, older_ + at, (nolder_ - at) * sizeof(Chunk));
  ++nolder_;
  older_[at] = fresh;
  return &older_[at];
}

void PostingList::erase_chunk(size_t at, PostingMemory& mem) {
  mem.release(chunk(at).data, chunk_bytes(chunk(at)));
  if (at == nolder_) {
    // The last chunk: the largest older one takes its place.
    last_ = Chunk{};
    if (nolder_ == 0) return;
    last_ = older_[nolder_ - 1];
  } else {
    std::memmove(older_ + at, older_ + at + 1, (nolder_ - at - 1) * sizeof(Chunk));
  }
  // Back to the capacity the count implies.
  const size_t before = older_bytes(nolder_), after = older_bytes(nolder_ - 1);
  if (after == 0) {
    mem.release(older_, before);
    older_ = nullptr;
  } else if (after != before) {
    older_ = static_cast<Chunk*>(mem.reallocate(older_, before, after));
  }
  --nolder_;
}

void PostingList::flush(PostingMemory& mem) {
  if (!nbuffered_) return;
  Chunk* c = last_.data && last_.key == buffered_key_ ? &last_ : insert_chunk(chunk_count(), buffered_key_, mem);
  append_values(*c, buffered_, nbuffered_, mem);
  nbuffered_ = 0;
}

bool PostingList::contains(uint32_t d) const {
  const uint16_t key = static_cast<uint16_t>(d >> 16), low = static_cast<uint16_t>(d);
  if (nbuffered_ && key == buffered_key_ && std::binary_search(buffered_, buffered_ + nbuffered_, low)) return true;
  const size_t i = find_chunk(key);
  if (i == chunk_count() || chunk(i).key != key) return false;
  const Chunk& c = chunk(i);
  if (c.is_bitset()) return test_bit(c.words(), low);
  return std::binary_search(c.values(), c.values() + c.card, low);
}

uint32_t PostingList::maximum() const {
  if (nbuffered_) return uint32_t{buffered_key_} << 16 | buffered_[nbuffered_ - 1];
  const Chunk& c = last_;
  uint32_t low = 0;
  if (c.is_bitset()) {
    for (size_t i = kBitsetWords; i-- > 0;)
      if (c.words()[i]) {
        low = static_cast<uint32_t>(i * 64 + 63 - static_cast<size_t>(std::countl_zero(c.words()[i])));
        break;
      }
  } else {
    low = c.values()[c.card - 1];
  }
  return uint32_t{c.key} << 16 | low;
}

void PostingList::add(uint32_t d, PostingMemory& mem) {
  if (contains(d)) return;
  flush(mem);
  const uint16_t key = static_cast<uint16_t>(d >> 16), low = static_cast<uint16_t>(d);
  size_t i = find_chunk(key);
  Chunk& c = i < chunk_count() && chunk(i).key == key ? chunk(i) : *insert_chunk(i, key, mem);
  if (!c.is_bitset() && c.card == kArrayMax) to_bitset(c, mem);
  if (c.is_bitset()) {
    set_bit(static_cast<uint64_t*>(c.data), low);
  } else {
    reserve_values(c, c.card + 1, mem);
    auto* v = static_cast<uint16_t*>(c.data);
    const size_t at = static_cast<size_t>(std::lower_bound(v, v + c.card, low) - v);
    std::memmove(v + at + 1, v + at, (c.card - at) * 2);
    v[at] = low;
  }
  ++c.card;
  ++card_;
}

bool PostingList::remove(uint32_t d, PostingMemory& mem) {
  const uint16_t key = static_cast<uint16_t>(d >> 16), low = static_cast<uint16_t>(d);
  if (nbuffered_ && key == buffered_key_) {
    uint16_t* end = buffered_ + nbuffered_;
    uint16_t* at = std::lower_bound(buffered_, end, low);
    if (at != end && *at == low) {
      std::memmove(at, at + 1, static_cast<size_t>(end - at - 1) * 2);
      --nbuffered_;
      --card_;
      return true;
    }
  }
  const size_t i = find_chunk(key);
  if (i == chunk_count() || chunk(i).key != key) return false;
  Chunk& c = chunk(i);
  if (c.is_bitset()) {
    auto* w = static_cast<uint64_t*>(c.data);
    if (!test_bit(w, low)) return false;
    w[low >> 6] &= ~(uint64_t{1} << (low & 63));
  } else {
    auto* v = static_cast<uint16_t*>(c.data);
    uint16_t* at = std::lower_bound(v, v + c.card, low);
    if (at == v + c.card || *at != low) return false;
    std::memmove(at, at + 1, static_cast<size_t>(v + c.card - at - 1) * 2);
  }
  --card_;
  if (--c.card == 0) erase_chunk(i, mem);
  return true;
}

void PostingList::release(PostingMemory& mem) {
  for (uint32_t i = 0; i < nolder_; ++i) mem.release(older_[i].data, chunk_bytes(older_[i]));
  mem.release(older_, older_bytes(nolder_));
  if (last_.data) mem.release(last_.data, chunk_bytes(last_));
  std::memset(static_cast<void*>(this), 0, sizeof *this);
}

void PostingList::encode_portable(std::string& out) const {
  // The containers to write: each chunk, with the buffered numbers joining
  // the last chunk when they share its key or forming one more container.
  struct Out {
    const Chunk* chunk;  // null: the buffered numbers alone
    bool with_buffered;
    uint16_t key;
    uint32_t card;
  };
  std::vector<Out> parts;
  parts.reserve(chunk_count() + 1);
  for (size_t i = 0; i < chunk_count(); ++i) parts.push_back(Out{&chunk(i), false, chunk(i).key, chunk(i).card});
  if (nbuffered_) {
    if (!parts.empty() && parts.back().key == buffered_key_) {
      parts.back().with_buffered = true;
      parts.back().card += nbuffered_;
    } else {
      parts.push_back(Out{nullptr, true, buffered_key_, nbuffered_});
    }
  }
  const uint32_t n = static_cast<uint32_t>(parts.size());
  put32(out, kRoaringCookieNoRuns);
  put32(out, n);
  for (const Out& p : parts) {
    put16(out, p.key);
    put16(out, static_cast<uint16_t>(p.card - 1));
  }
  uint32_t offset = 8 + 8 * n;
  for (const Out& p : parts) {
    put32(out, offset);
    offset += p.card <= kArrayMax ? 2 * p.card : static_cast<uint32_t>(kBitsetBytes);
  }
  for (const Out& p : parts) {
    const uint16_t* extra = p.with_buffered ? buffered_ : nullptr;
    const uint32_t nextra = p.with_buffered ? nbuffered_ : 0;
    if (p.card <= kArrayMax) {
      const size_t at = out.size();
      out.resize(at + size_t{2} * p.card);
      auto* dst = reinterpret_cast<uint16_t*>(out.data() + at);  // host is little-endian
      size_t k = 0;
      if (p.chunk && p.chunk->is_bitset()) {
        const uint64_t* w = p.chunk->words();
        for (size_t i = 0; i < kBitsetWords; ++i)
          for (uint64_t bits = w[i]; bits; bits &= bits - 1)
            dst[k++] = static_cast<uint16_t>(i * 64 + static_cast<size_t>(std::countr_zero(bits)));
      } else if (p.chunk) {
        std::memcpy(dst, p.chunk->values(), size_t{2} * p.chunk->card);
        k = p.chunk->card;
      }
      if (nextra) std::memcpy(dst + k, extra, size_t{2} * nextra);
    } else {
      const size_t at = out.size();
      out.resize(at + kBitsetBytes);
      std::vector<uint64_t> w(kBitsetWords, 0);
      if (p.chunk && p.chunk->is_bitset()) {
        std::memcpy(w.data(), p.chunk->words(), kBitsetBytes);
      } else if (p.chunk) {
        for (uint32_t i = 0; i < p.chunk->card; ++i) set_bit(w.data(), p.chunk->values()[i]);
      }
      for (uint32_t i = 0; i < nextra; ++i) set_bit(w.data(), extra[i]);
      std::memcpy(out.data() + at, w.data(), kBitsetBytes);
    }
  }
}

Status PostingList::decode_portable(std::string_view bytes, PostingMemory& mem) {
  std::vector<RoaringContainerView> views;
  VESK_RETURN_IF_ERROR(read_roaring_containers(bytes, views));
  PostingList fresh;
  std::memset(static_cast<void*>(&fresh), 0, sizeof fresh);
  try {
    for (const RoaringContainerView& v : views) {
      Chunk& c = *fresh.insert_chunk(fresh.chunk_count(), v.key, mem);
      if (v.card > kArrayMax) {
        mem.release(c.data, chunk_bytes(c));
        c.data = new_bitset(mem);
        c.cap = 0;
      } else if (v.card > c.cap) {
        // Exactly the size read: most chunks of a loaded list never grow.
        c.data = mem.reallocate(c.data, chunk_bytes(c), size_t{v.card} * 2);
        c.cap = static_cast<uint16_t>(v.card);
      }
      switch (v.kind) {
        case RoaringContainerView::Kind::Array:
          std::memcpy(c.data, v.data, size_t{2} * v.card);
          break;
        case RoaringContainerView::Kind::Bitset:
          std::memcpy(c.data, v.data, kBitsetBytes);
          break;
        case RoaringContainerView::Kind::Run: {
          uint16_t r;
          std::memcpy(&r, v.data, 2);
          const char* p = v.data + 2;
          auto* values = c.is_bitset() ? nullptr : static_cast<uint16_t*>(c.data);
          size_t k = 0;
          for (uint16_t i = 0; i < r; ++i) {
            uint16_t start, len;
            std::memcpy(&start, p + 4 * i, 2);
            std::memcpy(&len, p + 4 * i + 2, 2);
            for (uint32_t x = start; x <= uint32_t{start} + len; ++x) {
              if (values) {
                values[k++] = static_cast<uint16_t>(x);
              } else {
                set_bit(static_cast<uint64_t*>(c.data), static_cast<uint16_t>(x));
              }
            }
          }
          break;
        }
      }
      c.card = v.card;
      fresh.card_ += v.card;
    }
  } catch (const std::bad_alloc&) {
    fresh.release(mem);
    throw;
  }
  release(mem);
  *this = fresh;
  return Status::Ok();
}

}  // namespace vesk

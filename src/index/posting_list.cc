#include "index/posting_list.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <new>

#include "index/roaring_portable.h"

namespace vesk {

namespace {

static_assert(std::endian::native == std::endian::little, "chunks are copied to and from little-endian bytes");

using Chunk = PostingList::Chunk;
constexpr uint32_t kBlock = PostingList::kBlock;
constexpr size_t kBitsetWords = 1024;  // a portable bitset container: 65,536 bits
constexpr size_t kBitsetBytes = kBitsetWords * 8;
// Room for a decoded block: its numbers and what the decoder writes past them.
constexpr size_t kScratch = kBlock + 16;
// The first block of a new chunk.
constexpr size_t kFirstCap = 64;

// ---- A chunk's parts -------------------------------------------------------------

void set_skip(Chunk& c, size_t i, uint16_t first, size_t offset) {
  const auto at = static_cast<uint16_t>(offset);
  auto* p = const_cast<uint8_t*>(c.entry(i));
  std::memcpy(p, &first, 2);
  std::memcpy(p + 2, &at, 2);
}

// The parts of a pooled chunk.
uint16_t* tail_of(Chunk& c) { return reinterpret_cast<uint16_t*>(c.data + c.tail_offset()); }
size_t front_bytes(const Chunk& c) { return c.tail_offset() + 2 * size_t{c.tail}; }
size_t skip_bytes(const Chunk& c) { return 4 * size_t{c.nblocks}; }

size_t block_end(const Chunk& c, size_t i) { return i + 1 < c.nblocks ? c.offset(i + 1) : c.stream; }

uint32_t decode_block(const Chunk& c, size_t i, uint16_t* out) {
  const size_t at = c.offset(i);
  const uint16_t first = c.first(i);
  const size_t readable = c.cap - static_cast<size_t>(c.blocks() - c.data) - at;
  return static_cast<uint32_t>(PostingBlock::decode(c.blocks() + at, block_end(c, i) - at, readable, &first, 1, out));
}

// The bytes of an exact chunk: its skip entries, its blocks, and the bytes
// the decoder may read past the last one.
size_t exact_bytes(size_t stream, size_t blocks) { return 4 * blocks + stream + PostingBlock::kReadPast; }

// The last block whose first number is at most `low`; -1 when `low` is
// below every block.
ptrdiff_t find_block(const Chunk& c, uint16_t low) {
  size_t lo = 0, hi = c.nblocks;
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    if (c.first(mid) <= low) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return static_cast<ptrdiff_t>(lo) - 1;
}

void free_data(Chunk& c, PostingMemory& mem) {
  if (c.pooled) {
    mem.release(c.data, c.cap);
  } else {
    PostingMemory::release_exact(c.data);
  }
}

// Moves the chunk to a larger pooled block of at least `need` bytes, laid
// out for changes: half again what it has, so that a growing chunk moves
// seldom. An exact chunk moves whatever its size.
void grow(Chunk& c, size_t need, PostingMemory& mem) {
  const size_t want = std::max({need, size_t{c.cap} + c.cap / 2, kFirstCap});
  const bool pooled = want <= PostingMemory::kMaxPooled;
  const size_t cap = pooled ? PostingMemory::block_size(want) : want;
  auto* p = static_cast<uint8_t*>(pooled ? mem.allocate(cap) : PostingMemory::allocate_exact(cap));
  if (c.data && c.pooled) {
    std::memcpy(p, c.data, front_bytes(c));
    std::memcpy(p + cap - skip_bytes(c), c.data + c.cap - skip_bytes(c), skip_bytes(c));
  } else if (c.data) {
    // Skip entries from the front (block 0 first) to the end (block 0 last).
    std::memcpy(p, c.blocks(), c.stream);
    for (size_t i = 0; i < c.nblocks; ++i) std::memcpy(p + cap - 4 * (i + 1), c.data + 4 * i, 4);
  }
  if (c.data) free_data(c, mem);
  c.data = p;
  c.cap = static_cast<uint32_t>(cap);
  c.pooled = 1;
}

// Makes sure of a pooled chunk with `need` bytes.
void make_room(Chunk& c, size_t need, PostingMemory& mem) {
  if (!c.pooled || need > c.cap) grow(c, need, mem);
}

// Codes the tail, which is full, as a block. A block of 128 numbers takes
// less than their plain bytes, so it is written where the tail was, which
// the encoder reads in full first; the caller has made room for the block's
// skip entry.
void code_tail(Chunk& c) {
  const uint16_t first = tail_of(c)[0];
  const size_t size = PostingBlock::encode(tail_of(c), kBlock, c.data + c.stream);
  set_skip(c, c.nblocks, first, c.stream);
  c.stream = static_cast<uint16_t>(c.stream + size);
  ++c.nblocks;
  c.tail = 0;
}

// Appends ascending numbers above every number of the chunk.
void append_values(Chunk& c, const uint16_t* v, uint32_t n, PostingMemory& mem) {
  // Plain values take two bytes each and a block of 128 less than their
  // 256, so this is enough for the tail, the blocks coded from it and their
  // skip entries.
  const uint32_t held = c.tail + n;
  make_room(c, c.tail_offset() + 2 * size_t{held} + 4 * (size_t{c.nblocks} + held / kBlock), mem);
  c.card += n;
  while (n) {
    const uint32_t take = std::min(n, kBlock - c.tail);
    // At most a buffer's worth: a plain loop beats a library call.
    uint16_t* to = tail_of(c) + c.tail;
    for (uint32_t i = 0; i < take; ++i) to[i] = v[i];
    c.tail = static_cast<uint8_t>(c.tail + take);
    v += take;
    n -= take;
    if (c.tail == kBlock) code_tail(c);
  }
}

// The chunk once appends no longer reach it: its tail coded as a block, in
// an exact block of memory (a new one unless it already was; the caller
// frees the old one).
Chunk sealed(const Chunk& c) {
  if (!c.pooled) return c;
  uint8_t coded[PostingBlock::max_bytes(kBlock)];
  uint16_t v[kBlock];
  size_t size = 0;
  if (c.tail) {
    std::memcpy(v, c.tail_values(), 2 * size_t{c.tail});
    size = PostingBlock::encode(v, c.tail, coded);
  }
  Chunk s = c;
  s.nblocks = static_cast<uint16_t>(c.nblocks + (c.tail ? 1 : 0));
  s.stream = static_cast<uint16_t>(c.stream + size);
  s.tail = 0;
  s.cap = static_cast<uint32_t>(exact_bytes(s.stream, s.nblocks));
  s.pooled = 0;
  s.data = static_cast<uint8_t*>(PostingMemory::allocate_exact(s.cap));
  uint8_t* blocks = s.data + 4 * size_t{s.nblocks};
  std::memcpy(blocks, c.data, c.stream);
  std::memcpy(blocks + c.stream, coded, size);
  std::memset(blocks + s.stream, 0, PostingBlock::kReadPast);
  for (size_t i = 0; i < c.nblocks; ++i) std::memcpy(s.data + 4 * i, c.entry(i), 4);
  if (c.tail) set_skip(s, c.nblocks, v[0], c.stream);
  return s;
}

// Replaces block i by the blocks of v[0..n): none when n is 0, two halves
// when n is above 128 (one add too many). The chunk is pooled from then on.
void rewrite_block(Chunk& c, size_t i, const uint16_t* v, uint32_t n, PostingMemory& mem) {
  uint8_t coded[2 * PostingBlock::max_bytes(kBlock)];
  const size_t parts = n == 0 ? 0 : n <= kBlock ? 1 : 2;
  const uint32_t half = parts == 2 ? n / 2 : n;
  size_t first_size = 0, size = 0;
  if (parts >= 1) size = first_size = PostingBlock::encode(v, half, coded);
  if (parts == 2) size += PostingBlock::encode(v + half, n - half, coded + first_size);
  const size_t begin = c.offset(i), end = block_end(c, i);
  const size_t stream = c.stream + size - (end - begin);
  const size_t blocks = c.nblocks + parts - 1;
  uint16_t tail[kBlock];
  if (c.tail) std::memcpy(tail, tail_of(c), 2 * size_t{c.tail});
  make_room(c, ((stream + 1) & ~size_t{1}) + 2 * size_t{c.tail} + 4 * blocks, mem);
  std::memmove(c.data + begin + size, c.data + end, c.stream - end);
  std::memcpy(c.data + begin, coded, size);
  // The skip entries after block i move one place down or up.
  uint8_t* entries = c.data + c.cap - skip_bytes(c);
  const size_t after = 4 * (c.nblocks - i - 1);
  if (parts == 0) std::memmove(entries + 4, entries, after);
  if (parts == 2) std::memmove(entries - 4, entries, after);
  const ptrdiff_t moved = static_cast<ptrdiff_t>(size) - static_cast<ptrdiff_t>(end - begin);
  c.nblocks = static_cast<uint16_t>(blocks);
  if (parts >= 1) set_skip(c, i, v[0], begin);
  if (parts == 2) set_skip(c, i + 1, v[half], begin + first_size);
  for (size_t j = i + parts; j < blocks; ++j)
    set_skip(c, j, c.first(j), static_cast<size_t>(static_cast<ptrdiff_t>(c.offset(j)) + moved));
  c.stream = static_cast<uint16_t>(stream);
  if (c.tail) std::memcpy(tail_of(c), tail, 2 * size_t{c.tail});
}

// Inserts a number into the tail, which stays above every block.
void insert_in_tail(Chunk& c, uint16_t low, PostingMemory& mem) {
  make_room(c, front_bytes(c) + 2 + 4 * (size_t{c.nblocks} + 1), mem);
  uint16_t* t = tail_of(c);
  uint16_t* at = std::lower_bound(t, t + c.tail, low);
  std::memmove(at + 1, at, static_cast<size_t>(t + c.tail - at) * 2);
  *at = low;
  ++c.tail;
  ++c.card;
  if (c.tail == kBlock) code_tail(c);
}

// An exact chunk holding v[0..n) (ascending, n >= 1) in full blocks and a
// last one.
Chunk make_chunk(uint16_t key, const uint16_t* v, uint32_t n) {
  const size_t blocks = (n + kBlock - 1) / kBlock;
  thread_local std::vector<uint8_t> coded;
  thread_local std::vector<uint16_t> offsets;
  if (coded.size() < PostingBlock::max_bytes(kBlock) * blocks) coded.resize(PostingBlock::max_bytes(kBlock) * blocks);
  if (offsets.size() < blocks) offsets.resize(blocks);
  size_t stream = 0;
  for (size_t b = 0; b < blocks; ++b) {
    offsets[b] = static_cast<uint16_t>(stream);
    const uint32_t from = static_cast<uint32_t>(b * kBlock);
    stream += PostingBlock::encode(v + from, std::min(kBlock, n - from), coded.data() + stream);
  }
  Chunk c{};
  c.cap = static_cast<uint32_t>(exact_bytes(stream, blocks));
  c.data = static_cast<uint8_t*>(PostingMemory::allocate_exact(c.cap));
  c.card = n;
  c.key = key;
  c.nblocks = static_cast<uint16_t>(blocks);
  c.stream = static_cast<uint16_t>(stream);
  for (size_t b = 0; b < blocks; ++b) set_skip(c, b, v[b * kBlock], offsets[b]);
  uint8_t* to = c.data + 4 * blocks;
  std::memcpy(to, coded.data(), stream);
  std::memset(to + stream, 0, PostingBlock::kReadPast);
  return c;
}

// The table of `n` older chunks has room for n rounded up to a power of two.
size_t older_bytes(uint32_t n) { return n == 0 ? 0 : std::bit_ceil(n) * sizeof(Chunk); }

void* table_allocate(size_t bytes, PostingMemory& mem) {
  return bytes <= PostingMemory::kMaxPooled ? mem.allocate(bytes) : PostingMemory::allocate_exact(bytes);
}
void table_release(void* p, size_t bytes, PostingMemory& mem) {
  if (!p) return;
  if (bytes <= PostingMemory::kMaxPooled) {
    mem.release(p, bytes);
  } else {
    PostingMemory::release_exact(p);
  }
}
// The table moved to the capacity of `to` chunks, holding the first
// min(from, to) of the `from` it had.
Chunk* resize_table(Chunk* t, uint32_t from, uint32_t to, PostingMemory& mem) {
  const size_t before = older_bytes(from), after = older_bytes(to);
  if (before == after) return t;
  Chunk* moved = after ? static_cast<Chunk*>(table_allocate(after, mem)) : nullptr;
  if (moved && t) std::memcpy(static_cast<void*>(moved), t, std::min(from, to) * sizeof(Chunk));
  table_release(t, before, mem);
  return moved;
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
  Chunk fresh{};
  fresh.key = key;
  grow(fresh, kFirstCap, mem);
  if (at == chunk_count()) {
    // A new last chunk; the current one joins the older, sealed.
    if (last_.data) {
      Chunk done{};
      try {
        done = sealed(last_);
        older_ = resize_table(older_, nolder_, nolder_ + 1, mem);
      } catch (...) {
        if (done.data && done.data != last_.data) PostingMemory::release_exact(done.data);
        free_data(fresh, mem);
        throw;
      }
      if (done.data != last_.data) free_data(last_, mem);
      older_[nolder_++] = done;
    }
    last_ = fresh;
    return &last_;
  }
  try {
    older_ = resize_table(older_, nolder_, nolder_ + 1, mem);
  } catch (...) {
    free_data(fresh, mem);
    throw;
  }
  std::memmove(static_cast<void*>(older_ + at + 1), older_ + at, (nolder_ - at) * sizeof(Chunk));
  ++nolder_;
  older_[at] = fresh;
  return &older_[at];
}

void PostingList::erase_chunk(size_t at, PostingMemory& mem) {
  free_data(chunk(at), mem);
  if (at == nolder_) {
    // The last chunk: the largest older one takes its place.
    last_ = Chunk{};
    if (nolder_ == 0) return;
    last_ = older_[nolder_ - 1];
  } else {
    std::memmove(static_cast<void*>(older_ + at), older_ + at + 1, (nolder_ - at - 1) * sizeof(Chunk));
  }
  older_ = resize_table(older_, nolder_, nolder_ - 1, mem);
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
  if (c.tail && low >= c.tail_values()[0]) return std::binary_search(c.tail_values(), c.tail_values() + c.tail, low);
  const ptrdiff_t b = find_block(c, low);
  if (b < 0) return false;
  uint16_t v[kScratch];
  const uint32_t n = decode_block(c, static_cast<size_t>(b), v);
  return std::binary_search(v, v + n, low);
}

void PostingList::prefetch_lookup(uint32_t d, int step) const {
  const uint16_t key = static_cast<uint16_t>(d >> 16), low = static_cast<uint16_t>(d);
  if (step == 0) {
    if (nolder_ && !(last_.data && last_.key <= key)) prefetch_line(older_ + nolder_ / 2);
    return;
  }
  const size_t i = find_chunk(key);
  if (i == chunk_count() || chunk(i).key != key) return;
  const Chunk& c = chunk(i);
  if (step == 1) {
    const uint8_t* skip = c.pooled ? c.data + c.cap - 4 * size_t{c.nblocks} : c.data;
    for (size_t at = 0; at < 4 * size_t{c.nblocks} && at < 256; at += 64) prefetch_line(skip + at);
    prefetch_line(skip + 4 * size_t{c.nblocks} - 1);
    return;
  }
  if (c.tail && low >= c.tail_values()[0]) return;
  const ptrdiff_t b = find_block(c, low);
  if (b < 0) return;
  const size_t from = c.offset(static_cast<size_t>(b)), to = block_end(c, static_cast<size_t>(b));
  for (size_t at = from; at < to + 64; at += 64) prefetch_line(c.blocks() + std::min(at, to));
}

uint32_t PostingList::maximum() const {
  if (nbuffered_) return uint32_t{buffered_key_} << 16 | buffered_[nbuffered_ - 1];
  const Chunk& c = last_;
  uint32_t low;
  if (c.tail) {
    low = c.tail_values()[c.tail - 1];
  } else {
    uint16_t v[kScratch];
    low = v[decode_block(c, c.nblocks - 1u, v) - 1];
  }
  return uint32_t{c.key} << 16 | low;
}

void PostingList::add(uint32_t d, PostingMemory& mem) {
  if (contains(d)) return;
  flush(mem);
  const uint16_t key = static_cast<uint16_t>(d >> 16), low = static_cast<uint16_t>(d);
  const size_t i = find_chunk(key);
  if (i == chunk_count() || chunk(i).key != key) {
    append_values(*insert_chunk(i, key, mem), &low, 1, mem);
  } else {
    Chunk& c = chunk(i);
    if (c.nblocks == 0 || (c.tail && low > c.tail_values()[0])) {
      insert_in_tail(c, low, mem);
    } else {
      const size_t b = static_cast<size_t>(std::max<ptrdiff_t>(find_block(c, low), 0));
      uint16_t v[kScratch + 1];
      const uint32_t n = decode_block(c, b, v);
      uint16_t* at = std::lower_bound(v, v + n, low);
      std::memmove(at + 1, at, static_cast<size_t>(v + n - at) * 2);
      *at = low;
      rewrite_block(c, b, v, n + 1, mem);
      ++c.card;
    }
  }
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
  if (c.tail && low >= c.tail_values()[0]) {
    uint16_t* t = tail_of(c);
    uint16_t* at = std::lower_bound(t, t + c.tail, low);
    if (at == t + c.tail || *at != low) return false;
    std::memmove(at, at + 1, static_cast<size_t>(t + c.tail - at - 1) * 2);
    --c.tail;
  } else {
    const ptrdiff_t b = find_block(c, low);
    if (b < 0) return false;
    uint16_t v[kScratch];
    const uint32_t n = decode_block(c, static_cast<size_t>(b), v);
    uint16_t* at = std::lower_bound(v, v + n, low);
    if (at == v + n || *at != low) return false;
    std::memmove(at, at + 1, static_cast<size_t>(v + n - at - 1) * 2);
    rewrite_block(c, static_cast<size_t>(b), v, n - 1, mem);
  }
  --card_;
  if (--c.card == 0) erase_chunk(i, mem);
  return true;
}

void PostingList::release(PostingMemory& mem) {
  for (uint32_t i = 0; i < nolder_; ++i) free_data(older_[i], mem);
  table_release(older_, older_bytes(nolder_), mem);
  if (last_.data) free_data(last_, mem);
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
  std::vector<uint16_t> scratch(Chunk::kRunValues);
  for (const Out& p : parts) {
    if (p.card <= kArrayMax) {
      // The numbers go straight to the output (host is little-endian).
      const size_t at = out.size();
      out.resize(at + size_t{2} * p.card);
      char* dst = out.data() + at;
      auto put = [&dst](const uint16_t* v, uint32_t m) {
        std::memcpy(dst, v, size_t{2} * m);
        dst += size_t{2} * m;
      };
      if (p.chunk) p.chunk->for_each_run(scratch.data(), put);
      if (p.with_buffered) put(buffered_, nbuffered_);
    } else {
      uint64_t w[kBitsetWords] = {};
      auto set = [&w](const uint16_t* v, uint32_t m) {
        for (uint32_t j = 0; j < m; ++j) w[v[j] >> 6] |= uint64_t{1} << (v[j] & 63);
      };
      if (p.chunk) p.chunk->for_each_run(scratch.data(), set);
      if (p.with_buffered) set(buffered_, nbuffered_);
      out.append(reinterpret_cast<const char*>(w), kBitsetBytes);
    }
  }
}

Status PostingList::decode_chunks(std::string_view bytes, std::vector<Chunk>& out) {
  std::vector<RoaringContainerView> views;
  VESK_RETURN_IF_ERROR(read_roaring_containers(bytes, views));
  const size_t start = out.size();
  // Grown, never shrunk nor cleared: every container overwrites what it uses.
  thread_local std::vector<uint16_t> values;
  try {
    for (const RoaringContainerView& v : views) {
      if (values.size() < v.card) values.resize(v.card);
      uint16_t* to = values.data();
      switch (v.kind) {
        case RoaringContainerView::Kind::Array:
          std::memcpy(to, v.data, size_t{2} * v.card);
          break;
        case RoaringContainerView::Kind::Bitset:
          for (size_t i = 0; i < kBitsetWords; ++i) {
            uint64_t w;
            std::memcpy(&w, v.data + 8 * i, 8);
            for (; w; w &= w - 1) *to++ = static_cast<uint16_t>(i * 64 + static_cast<size_t>(std::countr_zero(w)));
          }
          break;
        case RoaringContainerView::Kind::Run: {
          uint16_t r;
          std::memcpy(&r, v.data, 2);
          for (uint16_t i = 0; i < r; ++i) {
            uint16_t start_at, len;
            std::memcpy(&start_at, v.data + 2 + 4 * i, 2);
            std::memcpy(&len, v.data + 4 + 4 * i, 2);
            for (uint32_t x = start_at; x <= uint32_t{start_at} + len; ++x) *to++ = static_cast<uint16_t>(x);
          }
          break;
        }
      }
      out.push_back(make_chunk(v.key, values.data(), v.card));
    }
  } catch (...) {
    release_chunks(std::span<const Chunk>(out).subspan(start));
    out.resize(start);
    throw;
  }
  return Status::Ok();
}

void PostingList::release_chunks(std::span<const Chunk> chunks) {
  for (const Chunk& c : chunks) PostingMemory::release_exact(c.data);
}

void PostingList::adopt(std::span<const Chunk> chunks, PostingMemory& mem) {
  Chunk* table = nullptr;
  const uint32_t older = chunks.empty() ? 0 : static_cast<uint32_t>(chunks.size() - 1);
  if (older) {
    table = static_cast<Chunk*>(table_allocate(older_bytes(older), mem));
    std::memcpy(static_cast<void*>(table), chunks.data(), older * sizeof(Chunk));
  }
  release(mem);
  older_ = table;
  nolder_ = older;
  if (!chunks.empty()) last_ = chunks.back();
  for (const Chunk& c : chunks) card_ += c.card;
}

Status PostingList::decode_portable(std::string_view bytes, PostingMemory& mem) {
  std::vector<Chunk> chunks;
  VESK_RETURN_IF_ERROR(decode_chunks(bytes, chunks));
  try {
    adopt(chunks, mem);
  } catch (...) {
    release_chunks(chunks);
    throw;
  }
  return Status::Ok();
}

}  // namespace vesk

#include "index/roaring_portable.h"

#include <bit>
#include <cstring>
#include <vector>

namespace vesk {
namespace {

constexpr uint32_t kMaxContainers = 65536;
constexpr uint32_t kArrayMax = 4096;
constexpr size_t kBitsetBytes = 8192;
constexpr uint32_t kOffsetThreshold = 4;

class Cursor {
 public:
  explicit Cursor(std::string_view b) : b_(b) {}
  bool take(size_t n, const char** p) {
    if (b_.size() - pos_ < n) return false;
    *p = b_.data() + pos_;
    pos_ += n;
    return true;
  }
  bool u16(uint16_t* v) {
    const char* p;
    if (!take(2, &p)) return false;
    *v = static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | static_cast<uint8_t>(p[1]) << 8);
    return true;
  }
  bool u32(uint32_t* v) {
    const char* p;
    if (!take(4, &p)) return false;
    std::memcpy(v, p, 4);  // little-endian host
    return true;
  }
  size_t pos() const { return pos_; }
  size_t left() const { return b_.size() - pos_; }

 private:
  std::string_view b_;
  size_t pos_ = 0;
};

Status bad(const std::string& what) { return Status::Runtime("invalid roaring bitmap: " + what); }

uint16_t u16_at(const char* p, size_t i) {
  return static_cast<uint16_t>(static_cast<uint8_t>(p[2 * i]) | static_cast<uint8_t>(p[2 * i + 1]) << 8);
}

}  // namespace

Status validate_roaring_portable(std::string_view bytes) {
  static_assert(std::endian::native == std::endian::little);
  Cursor c(bytes);
  uint32_t cookie;
  if (!c.u32(&cookie)) return bad("too short for its cookie");
  uint32_t n;
  bool runs;
  if (cookie == kRoaringCookieNoRuns) {
    runs = false;
    if (!c.u32(&n)) return bad("too short for its container count");
    if (n > kMaxContainers) return bad("more than 65536 containers");
  } else if ((cookie & 0xffff) == kRoaringCookieRuns) {
    runs = true;
    n = (cookie >> 16) + 1;
  } else {
    return bad("unknown cookie");
  }
  const char* run_flags = nullptr;
  if (runs && !c.take((n + 7) / 8, &run_flags)) return bad("truncated run flags");
  const char* header;
  if (!c.take(size_t{4} * n, &header)) return bad("truncated container header");
  const bool has_offsets = !runs || n >= kOffsetThreshold;
  const char* offsets = nullptr;
  if (has_offsets && !c.take(size_t{4} * n, &offsets)) return bad("truncated offsets");
  int32_t prev_key = -1;
  for (uint32_t i = 0; i < n; ++i) {
    const uint16_t key = u16_at(header, 2 * i);
    const uint32_t card = uint32_t{u16_at(header, 2 * i + 1)} + 1;
    if (static_cast<int32_t>(key) <= prev_key) return bad("container keys not ascending");
    prev_key = key;
    if (has_offsets) {
      uint32_t off;
      std::memcpy(&off, offsets + 4 * i, 4);
      if (off != c.pos()) return bad("container offset does not match its position");
    }
    const bool is_run = runs && (static_cast<uint8_t>(run_flags[i / 8]) >> (i % 8) & 1);
    const char* p;
    if (is_run) {
      uint16_t r;
      if (!c.u16(&r)) return bad("truncated run container");
      if (!c.take(size_t{4} * r, &p)) return bad("truncated run container");
      uint32_t total = 0;
      int32_t next_free = 0;  // smallest value a run may start at
      for (uint32_t k = 0; k < r; ++k) {
        const uint32_t start = u16_at(p, 2 * k), len = u16_at(p, 2 * k + 1);
        if (static_cast<int32_t>(start) < next_free) return bad("run container runs overlap or are unsorted");
        if (start + len > 0xffff) return bad("run container run past the container end");
        total += len + 1;
        next_free = static_cast<int32_t>(start + len + 1);
      }
      if (total != card) return bad("run container cardinality mismatch");
    } else if (card <= kArrayMax) {
      if (!c.take(size_t{2} * card, &p)) return bad("truncated array container");
      for (uint32_t k = 1; k < card; ++k)
        if (u16_at(p, k) <= u16_at(p, k - 1)) return bad("array container values not ascending");
    } else {
      if (!c.take(kBitsetBytes, &p)) return bad("truncated bitset container");
      uint32_t count = 0;
      for (size_t k = 0; k < kBitsetBytes / 8; ++k) {
        uint64_t w;
        std::memcpy(&w, p + 8 * k, 8);
        count += static_cast<uint32_t>(std::popcount(w));
      }
      if (count != card) return bad("bitset container cardinality mismatch");
    }
  }
  if (c.left() != 0) return bad("trailing bytes");
  return Status::Ok();
}

Result<roaring_bitmap_t*> decode_roaring_portable(std::string_view bytes) {
  VESK_RETURN_IF_ERROR(validate_roaring_portable(bytes));
  roaring_bitmap_t* bm = roaring_bitmap_portable_deserialize_safe(bytes.data(), bytes.size());
  if (!bm) return bad("could not be decoded");
  roaring_bitmap_remove_run_compression(bm);
  return bm;
}

Status read_roaring_containers(std::string_view bytes, std::vector<RoaringContainerView>& out) {
  out.clear();
  VESK_RETURN_IF_ERROR(validate_roaring_portable(bytes));
  // The layout is known good from here on.
  Cursor c(bytes);
  uint32_t cookie = 0, n = 0;
  (void)c.u32(&cookie);
  const bool runs = cookie != kRoaringCookieNoRuns;
  const char* run_flags = nullptr;
  if (runs) {
    n = (cookie >> 16) + 1;
    (void)c.take((n + 7) / 8, &run_flags);
  } else {
    (void)c.u32(&n);
  }
  const char* header = nullptr;
  (void)c.take(size_t{4} * n, &header);
  const char* skipped;
  if (!runs || n >= kOffsetThreshold) (void)c.take(size_t{4} * n, &skipped);
  out.reserve(n);
  for (uint32_t i = 0; i < n; ++i) {
    RoaringContainerView v;
    v.key = u16_at(header, 2 * i);
    v.card = uint32_t{u16_at(header, 2 * i + 1)} + 1;
    const bool is_run = runs && (static_cast<uint8_t>(run_flags[i / 8]) >> (i % 8) & 1);
    if (is_run) {
      v.kind = RoaringContainerView::Kind::Run;
      (void)c.take(2, &v.data);
      (void)c.take(size_t{4} * u16_at(v.data, 0), &skipped);
    } else if (v.card <= kArrayMax) {
      v.kind = RoaringContainerView::Kind::Array;
      (void)c.take(size_t{2} * v.card, &v.data);
    } else {
      v.kind = RoaringContainerView::Kind::Bitset;
      (void)c.take(kBitsetBytes, &v.data);
    }
    out.push_back(v);
  }
  return Status::Ok();
}

void encode_roaring_portable(const roaring_bitmap_t* bitmap, std::string& out) {
  const size_t at = out.size();
  out.resize(at + roaring_bitmap_portable_size_in_bytes(bitmap));
  roaring_bitmap_portable_serialize(bitmap, out.data() + at);
}

}  // namespace vesk

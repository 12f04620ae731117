// Roaring bitmaps in their portable serialised form.
//
// Two variants exist (all integers little-endian):
//
//   without run containers            with run containers
//   u32 cookie = 12346                u32 = 12347 | (n - 1) << 16
//   u32 n (container count)           ceil(n / 8) bytes: bit i set = container i is a run container
//   n x (u16 key, u16 card - 1)       n x (u16 key, u16 card - 1)
//   n x u32 offset                    n x u32 offset, only when n >= 4
//   containers                        containers
//
// A container holds the values whose high 16 bits are its key (keys strictly
// ascending). Its low halves are stored as
//   array:  card x u16, strictly ascending      (card <= 4096, not a run container)
//   bitset: 1024 x u64                          (card > 4096, not a run container)
//   run:    u16 r, then r x (u16 start, u16 length - 1), sorted, disjoint
// and each offset is the byte position of its container from the start of the
// serialised bitmap.
//
// CRoaring trusts these bytes: a wrong cardinality or unsorted data would be
// read without complaint and corrupt memory later. decode_roaring_portable
// therefore checks every structural rule above before handing the bytes over.
#pragma once

#include <roaring/roaring.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace vesk {

constexpr uint32_t kRoaringCookieNoRuns = 12346;
constexpr uint32_t kRoaringCookieRuns = 12347;

// Checks that the bytes are exactly one well-formed portable bitmap.
Status validate_roaring_portable(std::string_view bytes);

// A new bitmap (free with roaring_bitmap_free) from validated bytes; run
// containers are converted, so the bitmap serialises without them.
Result<roaring_bitmap_t*> decode_roaring_portable(std::string_view bytes);

// Appends the portable form without run containers.
void encode_roaring_portable(const roaring_bitmap_t* bitmap, std::string& out);

// One container of validated portable bytes, pointing into them.
struct RoaringContainerView {
  enum class Kind : uint8_t { Array, Bitset, Run };
  uint16_t key;
  uint32_t card;
  Kind kind;
  const char* data;  // array: card x u16; bitset: 1024 x u64; run: u16 r, then r x (u16 start, u16 length - 1)
};
// Validates the bytes and lists their containers in order.
Status read_roaring_containers(std::string_view bytes, std::vector<RoaringContainerView>& out);

}  // namespace vesk

// The SDR index files, in the store's "index" directory, written plain also
// in an encrypted store.
//
// index_manifest.json: see index_manifest.h.
//
// sdr.idx: one record per posting bitmap, up to the end of the file; no
// header, count or checksum.
//
//   offset  size  field
//   0       2     position, u16 little-endian
//   2       8     L, byte length of the bitmap, u64 little-endian
//   10      L     the bitmap of document numbers, Roaring portable form
//
// The writer never uses run containers (cookie 12346; an empty bitmap is the
// cookie and a zero container count, L = 8); the reader takes both variants.
// Reading stops cleanly where fewer than 2 bytes are left; a record cut after
// its position, a zero L, an L larger than the bytes left, or a malformed
// bitmap is an error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "index/index_file_io.h"
#include "base/status.h"

namespace vesk {

inline constexpr char kIndexManifestFile[] = "index_manifest.json";
inline constexpr char kSdrIdxFile[] = "sdr.idx";

void append_sdr_idx_header(std::string& out, uint16_t position, uint64_t bitmap_length);

class SdrIdxReader {
 public:
  explicit SdrIdxReader(ByteSource& src) : src_(src) {}
  // The next record's position and bitmap bytes; false at the clean end.
  Result<bool> next(uint16_t& position, std::string& bitmap);

 private:
  ByteSource& src_;
};

}  // namespace vesk

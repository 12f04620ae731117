#include "index/sdr_index_format.h"

#include <cstring>

namespace vesk {

void append_sdr_idx_header(std::string& out, uint16_t position, uint64_t bitmap_length) {
  char b[10];
  b[0] = static_cast<char>(position & 0xff);
  b[1] = static_cast<char>(position >> 8);
  for (int i = 0; i < 8; ++i) b[2 + i] = static_cast<char>(bitmap_length >> (8 * i));
  out.append(b, sizeof b);
}

Result<bool> SdrIdxReader::next(uint16_t& position, std::string& bitmap) {
  char b[8];
  auto n = src_.read(b, 2);
  if (!n.ok() || *n < 2) return false;  // the end, a stray byte, or an unreadable tail
  position = static_cast<uint16_t>(static_cast<uint8_t>(b[0]) | static_cast<uint8_t>(b[1]) << 8);
  n = src_.read(b, 8);
  if (!n.ok()) return n.status();
  if (*n < 8) return Status::Runtime("sdr.idx: record for position " + std::to_string(position) + " cut inside its length");
  uint64_t len = 0;
  for (int i = 0; i < 8; ++i) len |= uint64_t{static_cast<uint8_t>(b[i])} << (8 * i);
  if (len == 0) return Status::Runtime("sdr.idx: empty bitmap for position " + std::to_string(position));
  // Checked before anything is reserved: a damaged length must not allocate.
  if (len > src_.remaining())
    return Status::Runtime("sdr.idx: bitmap for position " + std::to_string(position) + " runs past the end of the file");
  bitmap.resize(static_cast<size_t>(len));
  n = src_.read(bitmap.data(), bitmap.size());
  if (!n.ok()) return n.status();
  if (*n < len) return Status::Runtime("sdr.idx: bitmap for position " + std::to_string(position) + " is cut short");
  return true;
}

}  // namespace vesk

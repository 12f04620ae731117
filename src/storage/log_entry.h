// Entries of the record log (format in record_log_format.h): the form handed to
// and read from the log, and its encoding. The form kept in memory per id is
// in cached_log_entry.h.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "storage/crypto.h"

namespace vesk {

class BufferedWriter;

// A record's SDR positions: one immutable buffer shared by everyone who keeps
// them (the log's entry cache, indexes), so each record holds a single copy.
using SdrPositions = std::shared_ptr<const std::vector<uint16_t>>;
SdrPositions make_sdr_positions(std::vector<uint16_t> positions);
// The positions of `sdr`, empty for null.
inline std::span<const uint16_t> sdr_span(const SdrPositions& sdr) {
  return sdr ? std::span<const uint16_t>(*sdr) : std::span<const uint16_t>();
}

// An entry as appended and as read back by id.
struct LogEntry {
  std::string id;
  std::string tier;
  SdrPositions sdr;      // null reads as no positions
  std::string content;   // plain text; encrypted on the way to disk when keyed
  double created_at = 0.0;
  uint64_t offset = 0;   // filled by a read, ignored by an append
  float strength = 1.0f;
  float pin_factor = 1.0f;
  uint32_t reserved1 = 0;
  uint32_t reserved2 = 0;
};

// The fixed 79-byte part of an entry, decoded.
struct LogEntryFixed {
  std::string id;
  std::string tier;
  double created_at;
  float strength;
  float pin_factor;
  uint32_t reserved1;
  uint32_t reserved2;
  uint16_t sdr_count;    // b
  uint32_t payload_len;  // n
  uint8_t flag;
  uint64_t body_size() const { return 2ull * sdr_count + payload_len; }
};
LogEntryFixed decode_log_entry_fixed(const char* p);
// `count` little-endian u16 values at `p`.
std::vector<uint16_t> decode_sdr_positions(const char* p, size_t count);

// Appends the encoded entry to `out`: payload encrypted (flag 1) under `key`,
// plain (flag 0) without. Fails before touching `out` when the entry cannot be
// encoded (too many positions, text too long, encryption failure).
Status encode_log_entry(const LogEntry& entry, const SecretKey* key, std::string* out);
// Encodes the entry and hands it to the writer in one write.
Status write_log_entry(const LogEntry& entry, BufferedWriter& writer, const SecretKey* key);

}  // namespace vesk

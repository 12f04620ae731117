#include "storage/log_entry.h"

#include <algorithm>
#include <limits>

#include "storage/buffered_writer.h"
#include "base/coding.h"
#include "storage/record_log_format.h"
#include "base/utf8.h"

namespace vesk {

SdrPositions make_sdr_positions(std::vector<uint16_t> positions) {
  // Records without positions all share one empty buffer.
  static const SdrPositions kEmpty = std::make_shared<const std::vector<uint16_t>>();
  if (positions.empty()) return kEmpty;
  return std::make_shared<const std::vector<uint16_t>>(std::move(positions));
}

namespace {

// A fixed-width text field: lossy UTF-8, NULs stripped from both ends.
std::string decode_field(const char* p, size_t n) {
  std::string_view v(p, n);
  size_t b = v.find_first_not_of('\0');
  if (b == std::string_view::npos) return std::string();
  size_t e = v.find_last_not_of('\0');
  return decode_utf8_lossy(v.substr(b, e - b + 1));
}

void put_field(std::string* out, std::string_view text, size_t width) {
  size_t n = std::min(text.size(), width);
  out->append(text.data(), n);
  out->append(width - n, '\0');
}

}  // namespace

LogEntryFixed decode_log_entry_fixed(const char* p) {
  LogEntryFixed f;
  f.id = decode_field(p, kEntryIdSize);
  f.tier = decode_field(p + 32, kEntryTierSize);
  f.created_at = get_le<double>(p + 48);
  f.strength = get_le<float>(p + 56);
  f.pin_factor = get_le<float>(p + 60);
  f.reserved1 = get_le<uint32_t>(p + 64);
  f.reserved2 = get_le<uint32_t>(p + 68);
  f.sdr_count = get_le<uint16_t>(p + 72);
  f.payload_len = get_le<uint32_t>(p + 74);
  f.flag = static_cast<uint8_t>(p[78]);
  return f;
}

std::vector<uint16_t> decode_sdr_positions(const char* p, size_t count) {
  std::vector<uint16_t> out(count);
  for (size_t i = 0; i < count; ++i) out[i] = get_le<uint16_t>(p + 2 * i);
  return out;
}

Status encode_log_entry(const LogEntry& entry, const SecretKey* key, std::string* out) {
  auto sdr = sdr_span(entry.sdr);
  if (sdr.size() > std::numeric_limits<uint16_t>::max()) {
    return Status::Runtime("Too many SDR positions for one log entry: " + std::to_string(sdr.size()));
  }
  uint64_t payload_len = entry.content.size() + (key ? kEncryptionOverhead : 0);
  if (payload_len > std::numeric_limits<uint32_t>::max()) {
    return Status::Runtime("Record text too long for the log: " + std::to_string(entry.content.size()) + " bytes");
  }
  size_t start = out->size();
  out->reserve(start + kEntryFixedSize + 2 * sdr.size() + payload_len);
  put_field(out, entry.id, kEntryIdSize);
  put_field(out, entry.tier, kEntryTierSize);
  put_le(out, entry.created_at);
  put_le(out, entry.strength);
  put_le(out, entry.pin_factor);
  put_le(out, entry.reserved1);
  put_le(out, entry.reserved2);
  put_le(out, static_cast<uint16_t>(sdr.size()));
  put_le(out, static_cast<uint32_t>(payload_len));
  out->push_back(static_cast<char>(key ? kEntryEncrypted : 0));
  put_le_u16s(out, sdr);
  if (key) {
    Status st = append_encrypted_payload(entry.content, *key, out);
    if (!st.ok()) {
      out->resize(start);
      return st;
    }
  } else {
    out->append(entry.content);
  }
  return Status::Ok();
}

Status write_log_entry(const LogEntry& entry, BufferedWriter& writer, const SecretKey* key) {
  std::string bytes;
  VESK_RETURN_IF_ERROR(encode_log_entry(entry, key, &bytes));
  return writer.write(bytes);
}

}  // namespace vesk

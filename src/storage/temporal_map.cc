#include "storage/temporal_map.h"

#include <algorithm>
#include <cstdint>

#include "base/coding.h"
#include "storage/temporal_format.h"
#include "base/utf8.h"

namespace vesk {

std::string encode_temporal_map(const LinkPairs& pairs) {
  std::string out;
  out.append(kSideMapMagic);
  out.push_back(1);
  put_le<uint64_t>(&out, pairs.size());
  for (const auto& [key, value] : pairs) {
    put_le<uint64_t>(&out, key.size());
    out.append(key);
    put_le<uint64_t>(&out, value.size());
    out.append(value);
  }
  return out;
}

std::optional<std::unordered_map<std::string, std::string>> parse_temporal_map(std::string_view bytes) {
  if (bytes.size() < kSideMapHeaderSize || bytes.substr(0, 4) != kSideMapMagic || bytes[4] != 1) return std::nullopt;
  uint64_t count = get_le<uint64_t>(bytes.data() + 5);
  size_t pos = kSideMapHeaderSize;
  // Every length is checked against the bytes left before anything is taken,
  // so a damaged count or length cannot make us allocate beyond the file.
  auto take = [&](std::string* out) {
    if (bytes.size() - pos < 8) return false;
    uint64_t len = get_le<uint64_t>(bytes.data() + pos);
    pos += 8;
    if (len > bytes.size() - pos) return false;
    std::string_view text = bytes.substr(pos, static_cast<size_t>(len));
    if (!is_valid_utf8(text)) return false;
    out->assign(text);
    pos += static_cast<size_t>(len);
    return true;
  };
  std::unordered_map<std::string, std::string> pairs;
  pairs.reserve(static_cast<size_t>(std::min<uint64_t>(count, kSideMapReserveLimit)));
  for (uint64_t i = 0; i < count; ++i) {
    std::string key, value;
    if (!take(&key) || !take(&value)) return std::nullopt;
    pairs.insert_or_assign(std::move(key), std::move(value));
  }
  return pairs;
}

}  // namespace vesk

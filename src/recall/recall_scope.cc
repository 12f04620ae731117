#include "recall/recall_scope.h"

#include <sodium.h>

#include <algorithm>

#include "model/unicode_text.h"
#include "model/json_writer.h"

namespace vesk {

std::string recall_scope_key(std::string_view query, const std::optional<std::vector<std::string>>& namespaces) {
  std::vector<std::string> names = namespaces ? *namespaces : std::vector<std::string>{"default"};
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());

  std::string json;
  JsonWriter w(json);
  w.begin_array();
  w.string(to_lower_full(trim_unicode_white_space(query)));
  w.begin_array();
  for (const std::string& n : names) w.string(n);
  w.end_array();
  w.end_array();

  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(json.data()), json.size());
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(2 * sizeof digest);
  for (unsigned char b : digest) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

}  // namespace vesk

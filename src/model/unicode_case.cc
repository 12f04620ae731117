#include "model/unicode_case.h"

#include <unicode/bytestream.h>
#include <unicode/casemap.h>

#include "model/unicode_text.h"
#include "base/utf8.h"

namespace vesk {

std::string unicode_lower(std::string_view s) {
  std::string out;
  if (is_all_ascii(s)) {
    out.resize(s.size());
    for (size_t i = 0; i < s.size(); ++i) out[i] = ascii_lower(s[i]);
    return out;
  }
  // The case mapper copies ill-formed bytes through; replace them first so the
  // result is always UTF-8.
  std::string repaired;
  if (!is_valid_utf8(s)) s = repaired = decode_utf8_lossy(s);
  out.reserve(s.size());
  icu::StringByteSink<std::string> sink(&out);
  UErrorCode err = U_ZERO_ERROR;
  // The root locale gives the language-independent mapping.
  icu::CaseMap::utf8ToLower("", 0, icu::StringPiece(s.data(), static_cast<int32_t>(s.size())), sink, nullptr, err);
  if (U_FAILURE(err)) return std::string(s);
  return out;
}

}  // namespace vesk

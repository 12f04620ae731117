#include "model/unicode_case.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace vesk {

std::string unicode_lower(std::string_view utf8) {
  icu::UnicodeString text =
      icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  text.toLower(icu::Locale::getRoot());
  std::string out;
  text.toUTF8String(out);
  return out;
}

}  // namespace vesk

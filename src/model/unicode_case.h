// Unicode case mapping of UTF-8 text.
#pragma once

#include <string>
#include <string_view>

namespace vesk {

// Lower-cases by the full Unicode mapping, independent of any locale: one
// character may become several ("İ" becomes "i̇") and a capital sigma at the
// end of a word becomes "ς". Nothing is trimmed. Invalid UTF-8 sequences
// become U+FFFD.
std::string unicode_lower(std::string_view utf8);

// The same mapping under the name the indexes and the recall use.
inline std::string to_lower_full(std::string_view s) { return unicode_lower(s); }

}  // namespace vesk

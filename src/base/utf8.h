// UTF-8 well-formedness, as record texts and bytes read back from store files
// require it: no overlong forms, no surrogate code points, nothing above
// U+10FFFF, no truncated sequence.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// The offset of the first byte that does not start a well-formed UTF-8
// sequence, or none when all of `bytes` is valid.
std::optional<size_t> utf8_error_offset(std::string_view bytes);
inline bool is_valid_utf8(std::string_view bytes) { return !utf8_error_offset(bytes); }
inline bool utf8_valid(std::string_view s) { return is_valid_utf8(s); }

// `bytes` with every maximal ill-formed subpart replaced by U+FFFD, the
// substitution Unicode recommends (one replacement per broken sequence
// prefix).
std::string decode_utf8_lossy(std::string_view bytes);

}  // namespace vesk

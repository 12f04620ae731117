// UTF-8 checks for bytes read back from store files.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// The offset of the first byte that does not start a well-formed UTF-8
// sequence (overlong forms, surrogates and code points above U+10FFFF are
// ill-formed), or none when all of `bytes` is valid.
std::optional<size_t> utf8_error_offset(std::string_view bytes);
inline bool is_valid_utf8(std::string_view bytes) { return !utf8_error_offset(bytes); }

// `bytes` with every maximal ill-formed subpart replaced by U+FFFD, the
// substitution Unicode recommends (one replacement per broken sequence
// prefix).
std::string decode_utf8_lossy(std::string_view bytes);

}  // namespace vesk

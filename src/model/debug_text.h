// Texts quoted for error messages: double quotes around the text, with the
// quote, the backslash and control characters escaped, so a message shows
// exactly which value was refused (leading spaces and case included).
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace vesk {

// "\"a\\\"b\"" for a"b; \t \r \n \0 by name, other control characters as
// \u{hex}. Bytes of non-ASCII UTF-8 are kept.
std::string quote_debug(std::string_view text);

// ["a", "b"]: each item quoted as above.
std::string quote_debug_list(std::span<const std::string_view> items);

}  // namespace vesk

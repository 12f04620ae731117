// Lower-case hexadecimal text of byte strings (sealed audit lines).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// Two lower-case hex digits per byte.
std::string hex_encode(std::string_view bytes);
// The bytes of an even-length text of hex digits (either case); none for an
// odd length or any other character.
std::optional<std::string> hex_decode(std::string_view text);

}  // namespace vesk

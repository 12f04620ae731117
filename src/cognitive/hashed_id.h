// Ids the cognitive layers derive from content: the XXH3-64 hash (seed 0) of
// a byte string in lower-case hexadecimal, zero-padded to at least 12 digits.
#pragma once

#include <string>
#include <string_view>

namespace vesk {

std::string hashed_id_hex(std::string_view bytes);

}  // namespace vesk

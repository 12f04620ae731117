// UTF-8 validity as the record texts require it: no overlong forms, no
// surrogate code points, nothing above U+10FFFF, no truncated sequence.
#pragma once

#include <string_view>

namespace vesk {

bool utf8_valid(std::string_view s);

}  // namespace vesk

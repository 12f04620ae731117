// The token arithmetic of context capsules: a token is taken to be four
// Unicode code points, never bytes, so a text in any script costs the same
// per character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vesk {

// The number of code points of a UTF-8 text (bytes that do not continue a
// sequence).
uint64_t count_code_points(std::string_view text);

// max(1, ceil(code points / 4)).
uint64_t estimate_text_tokens(std::string_view text);

// The text whole when it has at most 4 x allowance code points; otherwise its
// first 4 x allowance - 1 code points and "…" (U+2026), exactly 4 x allowance
// code points in all, which never costs more than the allowance. An allowance
// of 0 gives the empty text.
std::string truncate_to_token_budget(std::string_view text, uint64_t allowance);

}  // namespace vesk

#include "exchange/context_capsule/capsule_tokens.h"

#include <algorithm>

namespace vesk {
namespace {

constexpr bool continues_sequence(char b) { return (static_cast<unsigned char>(b) & 0xC0) == 0x80; }

}  // namespace

uint64_t count_code_points(std::string_view text) {
  uint64_t n = 0;
  for (char b : text) n += continues_sequence(b) ? 0 : 1;
  return n;
}

uint64_t estimate_text_tokens(std::string_view text) { return std::max<uint64_t>(1, (count_code_points(text) + 3) / 4); }

std::string truncate_to_token_budget(std::string_view text, uint64_t allowance) {
  const uint64_t limit = allowance * 4;
  // Fewer bytes than the limit means fewer code points: no count needed.
  if (text.size() <= limit) return std::string(text);
  if (limit == 0) return {};
  // Walk to the start of code point number `limit - 1`; when the text ends
  // first, it fits whole.
  uint64_t seen = 0;
  size_t cut = text.size();
  for (size_t i = 0; i < text.size(); ++i) {
    if (continues_sequence(text[i])) continue;
    if (seen == limit - 1) {
      cut = i;
      // Whole when exactly `limit` code points remain from here on at most.
      size_t rest = 0;
      for (size_t k = i; k < text.size() && rest <= 1; ++k) rest += continues_sequence(text[k]) ? 0 : 1;
      if (rest <= 1) return std::string(text);
      break;
    }
    ++seen;
  }
  if (cut == text.size()) return std::string(text);
  std::string out(text.substr(0, cut));
  out.append("\u2026");
  return out;
}

}  // namespace vesk

#include "exchange/context_capsule/capsule_compaction.h"

#include <unordered_set>
#include <vector>

#include "model/unicode_text.h"

namespace vesk {
namespace {

constexpr std::string_view kFillerPrefixes[] = {
    "as previously mentioned, ",
    "for completeness, ",
    "in other words, ",
    "it is important to note that ",
};

bool starts_with_ignoring_ascii_case(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (ascii_lower(s[i]) != prefix[i]) return false;
  }
  return true;
}

// The segment with its white-space runs collapsed to single blanks.
std::string collapse_white_space(std::string_view segment) {
  std::string out;
  out.reserve(segment.size());
  size_t i = 0;
  bool pending_blank = false;
  while (i < segment.size()) {
    size_t j = i;
    const char32_t c = next_code_point(segment, j);
    if (is_unicode_white_space(c)) {
      pending_blank = !out.empty();
    } else {
      if (pending_blank) out.push_back(' ');
      pending_blank = false;
      out.append(segment.substr(i, j - i));
    }
    i = j;
  }
  return out;
}

// Steps 2 and 3 on one trimmed, non-empty segment.
std::string clean_segment(std::string_view segment) {
  std::string s = collapse_white_space(segment);
  for (std::string_view prefix : kFillerPrefixes) {
    // Every prefix is ASCII, so matching its bytes ignoring ASCII case also
    // puts its end on a character boundary of the segment.
    if (!starts_with_ignoring_ascii_case(s, prefix)) continue;
    return std::string(trim_unicode_white_space(std::string_view(s).substr(prefix.size())));
  }
  return s;
}

}  // namespace

std::string compact_capsule_text(std::string_view text) {
  std::vector<std::string> kept;
  std::unordered_set<std::string> seen;
  auto end_segment = [&](size_t start, size_t end) {
    std::string_view trimmed = trim_unicode_white_space(text.substr(start, end - start));
    if (trimmed.empty()) return;
    std::string s = clean_segment(trimmed);
    if (s.empty()) return;
    if (!seen.insert(s).second) return;
    kept.push_back(std::move(s));
  };
  size_t start = 0, i = 0;
  while (i < text.size()) {
    size_t j = i;
    const char32_t c = next_code_point(text, j);
    if (c == U'\n') {
      end_segment(start, j);
      start = j;
    } else if (c == U'.' || c == U'!' || c == U'?' || c == U';') {
      size_t k = j;
      if (j == text.size() || is_unicode_white_space(next_code_point(text, k))) {
        end_segment(start, j);
        start = j;
      }
    }
    i = j;
  }
  end_segment(start, text.size());
  std::string out;
  for (const std::string& s : kept) {
    if (!out.empty()) out.push_back(' ');
    out.append(s);
  }
  return out;
}

}  // namespace vesk

// Guard patterns: five fixed regular expressions that label sensitive content.
//
// The scan never changes, masks or refuses a content; it only labels the
// record being built:
//   tag_sensitive_content   appends "contact" (a telephone number or an
//                           e-mail address), "financial" (a wallet address)
//                           and "credential" (a password or API key written
//                           after its marker), each once, at the end;
//   classify_actionability  proposes "actionable" = "true" / "false" for a
//                           sensitive record (by a sensitive tag, or by an
//                           e-mail, wallet, API key or password in the text):
//                           "true" when it came through an interactive user
//                           channel ("voice", "telegram", "desktop", exact).
//
// The patterns (PCRE2, UTF with Unicode properties, so "\d", "\s", "\S" and
// "(?i)" are Unicode-aware while bracketed ASCII ranges stay ASCII):
//   API_KEY_RE   (?:sk-|api[_-]?key|token|secret)[:\s=]+[A-Za-z0-9_\-]{20,}
//   PASSWORD_RE  (?i)(?:password|passwd|пароль)[:\s=]+\S+
//   EMAIL_RE     [a-zA-Z0-9._%+-]+@[a-zA-Z0-9.-]+\.[a-zA-Z]{2,}
//   PHONE_RE     (?:\+?\d{1,3}[-.\s]?)?\(?\d{2,4}\)?[-.\s]?\d{3,4}[-.\s]?\d{2,4}
//   WALLET_RE    (?:0x[a-fA-F0-9]{40}|[13][a-km-zA-HJ-NP-Z1-9]{25,34}|T[a-zA-Z0-9]{33})
// Each is compiled once per process on first use (JIT where the library has
// it) and shared read-only by every store and thread; a search asks only
// whether a match exists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/string_hash.h"

namespace vesk {

enum class GuardPattern : uint8_t { ApiKey, Password, Email, Phone, Wallet };

// Whether the pattern matches anywhere in the text. Text that is not valid
// UTF-8 is searched in its valid parts.
bool guard_pattern_matches(GuardPattern pattern, std::string_view text);

// Runs each pattern at most once over one content, on first need, so the
// tagging and the actionability check share their searches; the same answers
// as guard_pattern_matches. A pattern is not run at all where one pass over
// the content's bytes shows that it cannot match: an e-mail address needs an
// "@", an API key one of its markers, a wallet address a run of at least 26
// ASCII letters and digits; in an ASCII text, a telephone number needs seven
// digits among characters a number is written with, and a password its
// marker "passw" in any case (in other texts Unicode digits, spaces and case
// folding widen what matches, so those two always run).
class GuardScan {
 public:
  explicit GuardScan(std::string_view content) : content_(content) {}
  bool matches(GuardPattern pattern);

 private:
  bool may_match(GuardPattern pattern);

  std::string_view content_;
  uint8_t done_ = 0, hits_ = 0;
  // From the pass over the bytes, made on first need.
  bool scanned_ = false, ascii_ = true, at_sign_ = false;
  size_t longest_alnum_run_ = 0;
  size_t phone_digits_ = 0;  // the most ASCII digits in one run of [0-9+()\-.\s]
};

// "voice", "telegram" or "desktop", exactly.
bool is_interactive_channel(std::optional<std::string_view> channel);

void tag_sensitive_content(std::string_view content, std::vector<std::string>& tags);
void tag_sensitive_content(GuardScan& scan, std::vector<std::string>& tags);

// Empty, or the one entry ("actionable", "true" | "false").
std::vector<std::pair<std::string, std::string>> classify_actionability(
    std::string_view content, const std::vector<std::string>& tags, std::optional<std::string_view> channel,
    const StringSet& sensitive_tags);
std::vector<std::pair<std::string, std::string>> classify_actionability(
    GuardScan& scan, const std::vector<std::string>& tags, std::optional<std::string_view> channel,
    const StringSet& sensitive_tags);

}  // namespace vesk

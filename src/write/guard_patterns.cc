#include "write/guard_patterns.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace vesk {
namespace {

struct PatternSource {
  const char* name;
  const char* regex;
};

// In GuardPattern order. The first marker of API_KEY_RE is the prefix with
// which a widely used AI service opens its secret keys.
constexpr std::array<PatternSource, 5> kSources = {{
    {"API_KEY_RE", R"((?:sk-|api[_-]?key|token|secret)[:\s=]+[A-Za-z0-9_\-]{20,})"},
    {"PASSWORD_RE", R"((?i)(?:password|passwd|пароль)[:\s=]+\S+)"},
    {"EMAIL_RE", R"([a-zA-Z0-9._%+-]+@[a-zA-Z0-9.-]+\.[a-zA-Z]{2,})"},
    {"PHONE_RE", R"((?:\+?\d{1,3}[-.\s]?)?\(?\d{2,4}\)?[-.\s]?\d{3,4}[-.\s]?\d{2,4})"},
    {"WALLET_RE", R"((?:0x[a-fA-F0-9]{40}|[13][a-km-zA-HJ-NP-Z1-9]{25,34}|T[a-zA-Z0-9]{33}))"},
}};

struct CodeFree {
  void operator()(pcre2_code* c) const { pcre2_code_free(c); }
};
struct MatchDataFree {
  void operator()(pcre2_match_data* m) const { pcre2_match_data_free(m); }
};

// The patterns never change; a failure to compile one is a defect of the build.
pcre2_code* compile(const PatternSource& source) {
  int error = 0;
  PCRE2_SIZE offset = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(source.regex), PCRE2_ZERO_TERMINATED,
                                   PCRE2_UTF | PCRE2_UCP | PCRE2_MATCH_INVALID_UTF, &error, &offset, nullptr);
  if (!code) {
    std::fprintf(stderr, "invalid %s regex\n", source.name);
    std::abort();
  }
  // Without JIT support the interpreter runs the same pattern.
  (void)pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
  return code;
}

using CompiledSet = std::array<std::unique_ptr<pcre2_code, CodeFree>, kSources.size()>;

// Compiled on first use, exactly once however many threads race to it.
const CompiledSet& compiled() {
  static const CompiledSet set = [] {
    CompiledSet s;
    for (size_t i = 0; i < kSources.size(); ++i) s[i].reset(compile(kSources[i]));
    return s;
  }();
  return set;
}

pcre2_match_data* thread_match_data() {
  thread_local std::unique_ptr<pcre2_match_data, MatchDataFree> data(pcre2_match_data_create(1, nullptr));
  return data.get();
}

}  // namespace

bool guard_pattern_matches(GuardPattern pattern, std::string_view text) {
  const pcre2_code* code = compiled()[static_cast<size_t>(pattern)].get();
  pcre2_match_data* data = thread_match_data();
  if (!data) return false;
  int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0, data, nullptr);
  return rc >= 0;
}

namespace {

// Whether `word` (lower-case ASCII) occurs in the text, ignoring ASCII case.
bool contains_ascii_caseless(std::string_view text, std::string_view word) {
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < word.size() && (text[i + k] | 0x20) == word[k]) ++k;
    if (k == word.size()) return true;
  }
  return false;
}

// Classes of bytes for the pass over a content. kPhone: the ASCII
// characters a telephone number is made of (digits, "+", "(", ")", "-", "."
// and the white space "\s" takes in ASCII).
enum : uint8_t { kAlnum = 1, kDigit = 2, kPhone = 4, kHigh = 8, kAt = 16 };
struct ByteClasses {
  uint8_t of[256] = {};
  constexpr ByteClasses() {
    for (int c = '0'; c <= '9'; ++c) of[c] = kAlnum | kDigit | kPhone;
    for (int c = 'a'; c <= 'z'; ++c) of[c] = of[c - 32] = kAlnum;
    for (char c : {'+', '(', ')', '-', '.', ' ', '\t', '\n', '\v', '\f', '\r'}) of[static_cast<uint8_t>(c)] = kPhone;
    of[static_cast<uint8_t>('@')] = kAt;
    for (int c = 0x80; c < 256; ++c) of[c] = kHigh;
  }
};
constexpr ByteClasses kClasses;

}  // namespace

// Each condition is one that every match needs, read off the pattern: the
// characters a match consists of are ASCII bytes, which never occur inside a
// multi-byte sequence, so a byte scan finds them in any text.
bool GuardScan::may_match(GuardPattern pattern) {
  if (!scanned_) {
    scanned_ = true;
    size_t run = 0, digits = 0;
    uint8_t seen = 0;
    for (unsigned char c : content_) {
      const uint8_t k = kClasses.of[c];
      seen |= k;
      run = (k & kAlnum) ? run + 1 : 0;
      longest_alnum_run_ = std::max(longest_alnum_run_, run);
      digits = (k & kPhone) ? digits + ((k & kDigit) != 0) : 0;
      phone_digits_ = std::max(phone_digits_, digits);
    }
    ascii_ = !(seen & kHigh);
    at_sign_ = seen & kAt;
  }
  switch (pattern) {
    case GuardPattern::ApiKey:
      return content_.find("sk-") != std::string_view::npos || content_.find("api") != std::string_view::npos ||
             content_.find("token") != std::string_view::npos || content_.find("secret") != std::string_view::npos;
    case GuardPattern::Password:
      // "password" and "passwd" both begin so; the Cyrillic marker and
      // caseless matches such as U+017F for "s" need other characters.
      return !ascii_ || contains_ascii_caseless(content_, "passw");
    case GuardPattern::Email:
      return at_sign_;
    case GuardPattern::Phone:
      // \d{2,4} \d{3,4} \d{2,4} with nothing but [-.\s+()] around them.
      return !ascii_ || phone_digits_ >= 7;
    case GuardPattern::Wallet:
      return longest_alnum_run_ >= 26;  // the shortest form: [13] and 25 more
  }
  return true;
}

bool GuardScan::matches(GuardPattern pattern) {
  const uint8_t bit = static_cast<uint8_t>(1u << static_cast<unsigned>(pattern));
  if (!(done_ & bit)) {
    done_ |= bit;
    if (may_match(pattern) && guard_pattern_matches(pattern, content_)) hits_ |= bit;
  }
  return hits_ & bit;
}

bool is_interactive_channel(std::optional<std::string_view> channel) {
  return channel && (*channel == "voice" || *channel == "telegram" || *channel == "desktop");
}

namespace {
void add_tag_once(std::vector<std::string>& tags, std::string_view tag) {
  for (const std::string& t : tags) {
    if (t == tag) return;
  }
  tags.emplace_back(tag);
}
}  // namespace

void tag_sensitive_content(GuardScan& scan, std::vector<std::string>& tags) {
  if (scan.matches(GuardPattern::Phone)) add_tag_once(tags, "contact");
  if (scan.matches(GuardPattern::Email)) add_tag_once(tags, "contact");
  if (scan.matches(GuardPattern::Wallet)) add_tag_once(tags, "financial");
  if (scan.matches(GuardPattern::Password) || scan.matches(GuardPattern::ApiKey)) add_tag_once(tags, "credential");
}

void tag_sensitive_content(std::string_view content, std::vector<std::string>& tags) {
  GuardScan scan(content);
  tag_sensitive_content(scan, tags);
}

std::vector<std::pair<std::string, std::string>> classify_actionability(GuardScan& scan,
                                                                        const std::vector<std::string>& tags,
                                                                        std::optional<std::string_view> channel,
                                                                        const StringSet& sensitive_tags) {
  bool sensitive = false;
  for (const std::string& tag : tags) {
    if (sensitive_tags.contains(tag)) {
      sensitive = true;
      break;
    }
  }
  if (!sensitive) {
    sensitive = scan.matches(GuardPattern::Email) || scan.matches(GuardPattern::Wallet) ||
                scan.matches(GuardPattern::ApiKey) || scan.matches(GuardPattern::Password);
  }
  if (!sensitive) return {};
  return {{"actionable", is_interactive_channel(channel) ? "true" : "false"}};
}

std::vector<std::pair<std::string, std::string>> classify_actionability(std::string_view content,
                                                                        const std::vector<std::string>& tags,
                                                                        std::optional<std::string_view> channel,
                                                                        const StringSet& sensitive_tags) {
  GuardScan scan(content);
  return classify_actionability(scan, tags, channel, sensitive_tags);
}

}  // namespace vesk

#include "write/guard_patterns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "model/config_taxonomy.h"

namespace vesk {
namespace {

using Tags = std::vector<std::string>;

TEST(GuardPatterns, TagsWhatEachPatternFinds) {
  struct Case {
    std::string content;
    Tags before;
    Tags after;
  };
  const std::vector<Case> cases = {
      {"call me at +1 555 123 4567 tomorrow", {}, {"contact"}},
      {"write to jane.doe@example.org", {"contact"}, {"contact"}},  // never twice
      {"send it to 0xabcdefABCDEFabcdefABCDEFabcdefABCDEFabcd", {"x"}, {"x", "financial"}},
      {"PASSWORD: hunter2", {}, {"credential"}},
      {"password hunter2", {}, {"credential"}},
      {"my ПАРОЛЬ=qwerty", {}, {"credential"}},  // Unicode case folding of the marker
      {"the word password", {}, {}},             // marker at the end: nothing follows
      {"token=abcdefghijABCDEFGHIJ", {}, {"credential"}},
      {"token=abcdefghijABCDEFGHI", {}, {}},  // 19 key characters
      {"TOKEN=abcdefghijABCDEFGHIJ", {}, {}},  // API keys are case-sensitive
      {"sk-: abcdefghijABCDEFGHIJ_-", {}, {"credential"}},
      {"a plain note with nothing in it", {}, {}},
      {"mail a@b.co and 0xabcdefABCDEFabcdefABCDEFabcdefABCDEFabcd secret=aaaaaaaaaaaaaaaaaaaaX",
       {},
       {"contact", "financial", "credential"}},
  };
  for (const Case& c : cases) {
    Tags tags = c.before;
    tag_sensitive_content(c.content, tags);
    EXPECT_EQ(tags, c.after) << c.content;
  }
}

TEST(GuardPatterns, DigitsAndSpacesAreUnicodeAware) {
  // Arabic-Indic digits and ideographic spaces still make a telephone number.
  EXPECT_TRUE(guard_pattern_matches(GuardPattern::Phone, "\u0665\u0665\u0665\u3000\u0661\u0662\u0663\u0664\u3000\u0665\u0666"));
  // Bracketed ASCII ranges stay ASCII: a Cyrillic letter is no e-mail character.
  EXPECT_FALSE(guard_pattern_matches(GuardPattern::Email, "\u0430@\u0431.\u0432\u0433"));
  // Invalid UTF-8 does not stop the search in the valid parts.
  EXPECT_TRUE(guard_pattern_matches(GuardPattern::Email, std::string("\xff\xfe a@b.co")));
}

// The scan skips a pattern where a byte pass shows it cannot match; its
// answers must be the patterns' own, over random texts made of markers,
// digits (ASCII and Arabic-Indic), separators, long runs of letters and
// digits, caseless look-alikes (U+017F, Cyrillic) and invalid bytes.
TEST(GuardPatterns, ScanAnswersAsThePatterns) {
  const std::vector<std::string> pieces = {
      "sk-", "api", "api_key", "apikey", "token", "secret", "TOKEN", "password", "PassWD", "pa\u017f\u017fword",
      "\u043f\u0430\u0440\u043e\u043b\u044c", "\u041f\u0410\u0420\u041e\u041b\u042c", ":", "=", " ", " ",
      "\u3000", "@", ".", "co", "example", "+", "(", ")", "-", "0x", "0", "1", "5", "7", "42", "\u0663",
      "abcdefABCDEF0123456789abcdefABCDEF012345", "1BvBMSEYstWetqTFn5Au4m4GFg7xJaNVN2",
      "TQn9Y2khEsLJW1ChVWFMSMeRDow5KcbLSE", "abcdefghijABCDEFGHIJ", "jane@example.org", "a@b", "\xff", "\xc3", "\u00e9", "x", "note"};
  const GuardPattern all[] = {GuardPattern::ApiKey, GuardPattern::Password, GuardPattern::Email, GuardPattern::Phone,
                              GuardPattern::Wallet};
  std::mt19937 rng(17);
  int hits[5] = {}, misses[5] = {};
  for (int t = 0; t < 4000; ++t) {
    std::string text;
    for (int k = 0, n = 1 + static_cast<int>(rng() % 14); k < n; ++k) {
      // Half the texts stay ASCII, where the scan skips more.
      const std::string& piece = pieces[rng() % pieces.size()];
      if (t % 2 == 0 && std::any_of(piece.begin(), piece.end(), [](char c) { return c & 0x80; })) continue;
      text += piece;
    }
    GuardScan scan(text);
    for (int p = 0; p < 5; ++p) {
      const bool expected = guard_pattern_matches(all[p], text);
      EXPECT_EQ(scan.matches(all[p]), expected) << "pattern " << p << " in " << text;
      (expected ? hits : misses)[p]++;
    }
  }
  for (int p = 0; p < 5; ++p) {
    EXPECT_GT(hits[p], 20) << "pattern " << p;
    EXPECT_GT(misses[p], 20) << "pattern " << p;
  }
}

TEST(GuardPatterns, ActionabilityBySensitiveTagOrContent) {
  const StringSet sensitive = tag_taxonomy_default().sensitive_tags;
  struct Case {
    std::string content;
    Tags tags;
    std::optional<std::string_view> channel;
    std::string expected;  // empty: no entry
  };
  const std::vector<Case> cases = {
      {"write to jane@example.org", {}, "voice", "true"},
      {"write to jane@example.org", {}, "Voice", "false"},
      {"write to jane@example.org", {}, std::nullopt, "false"},
      {"harmless", {"wallet"}, "telegram", "true"},
      {"harmless", {"Wallet"}, "telegram", ""},
      {"call +1 555 123 4567", {"contact"}, "desktop", ""},  // a telephone number alone is not sensitive
      {"secret=aaaaaaaaaaaaaaaaaaaa", {}, "cli", "false"},
  };
  for (const Case& c : cases) {
    auto entries = classify_actionability(c.content, c.tags, c.channel, sensitive);
    if (c.expected.empty()) {
      EXPECT_TRUE(entries.empty()) << c.content;
    } else {
      ASSERT_EQ(entries.size(), 1u) << c.content;
      EXPECT_EQ(entries[0].first, "actionable");
      EXPECT_EQ(entries[0].second, c.expected) << c.content;
    }
  }
}

TEST(GuardPatterns, FirstUseRacesCompileOnce) {
  std::vector<std::thread> threads;
  std::atomic<int> hits{0};
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&] {
      for (int k = 0; k < 200; ++k) hits += guard_pattern_matches(GuardPattern::Email, "x a@b.co y");
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(hits.load(), 1600);
}

}  // namespace
}  // namespace vesk

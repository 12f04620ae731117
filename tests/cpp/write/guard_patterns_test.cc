#include "write/guard_patterns.h"

#include <gtest/gtest.h>

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

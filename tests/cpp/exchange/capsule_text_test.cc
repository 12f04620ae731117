// The text rules of context capsules: terms, the token estimate and cut, and
// compaction.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "exchange/context_capsule/capsule_compaction.h"
#include "exchange/context_capsule/capsule_terms.h"
#include "exchange/context_capsule/capsule_tokens.h"

namespace vesk {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

TEST(CapsuleTerms, SplitsAtEveryNonAlphanumericAndKeepsDistinctLowerCasedPiecesInByteOrder) {
  struct Case {
    std::string text;
    std::vector<std::string> terms;
  };
  const Case cases[] = {
      {"deploy_schedule-Q3 at noon!", {"at", "deploy", "noon", "q3", "schedule"}},
      {"a b c x1 7", {"x1"}},                        // one-character pieces go
      {"Kiln kiln KILN", {"kiln"}},                  // one term per word
      {"ÉCOLE Straße ΟΔΟΣ", {"straße", "école", "οδος"}},  // full mapping, byte order
      {"z2\u00a0zz\u3000日本語", {"z2", "zz", "日本語"}},  // Unicode white space splits
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_THAT(capsule_terms(c.text), ElementsAreArray(c.terms)) << c.text;
  // The final sigma of the full mapping.
  EXPECT_THAT(capsule_terms("ΟΔΟΣ"), ElementsAre("οδος"));
}

TEST(CapsuleTerms, MatcherCountsTheTermsAllTextsShareWithThePurposeOnce) {
  const CapsuleTermMatcher purpose("Kiln glaze ÉCOLE firing-schedule x");
  struct Case {
    std::string content;
    std::vector<std::string> tags;
    std::string semantic_type;
    uint64_t shared;
  };
  const Case cases[] = {
      {"the KILN, the kiln and the glaze", {}, "fact", 2},
      {"nothing here", {"kiln"}, "firing", 2},  // tags and semantic type count
      {"école école", {}, "fact", 1},           // lower-cased non-ASCII piece
      {"x x x", {}, "fact", 0},                 // one-character words are no terms
      {"kilns glazed", {}, "fact", 0},          // whole terms only
      {"schedule", {"glaze"}, "kiln", 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(purpose.shared_terms(c.content, c.tags, c.semantic_type), c.shared) << c.content;
  }
  EXPECT_EQ(CapsuleTermMatcher("a b c").shared_terms("a b c", {}, "fact"), 0u);
}

TEST(CapsuleTerms, MatcherAgreesWithTheTermSetsOnGeneratedTexts) {
  // Words of many lengths (64 bytes among them), with separators of every
  // kind; every other text also has non-ASCII words and white space.
  const std::vector<std::string> words = {"a", "ab", "Kiln", "GLAZE", "x9", "zz", std::string(63, 'q'),
                                          std::string(64, 'Q'), std::string(65, 'q'), "7", "école", "Ünïcode"};
  const std::vector<std::string> separators = {" ", "-", "_", ".", "\n", ", ", "@", "`", "{", "[", "/", ":", "\u00a0"};
  std::mt19937 rng(54);
  const CapsuleTermMatcher purpose("kiln glaze zz x9 " + std::string(64, 'q') + " école ünïcode");
  const std::vector<std::string> purpose_terms = purpose.terms();
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const int n = static_cast<int>(rng() % 40);
    for (int i = 0; i < n; ++i) {
      const bool mixed = round % 2 == 1;
      text += words[rng() % (mixed ? words.size() : 10)];
      text += separators[rng() % (mixed ? separators.size() : separators.size() - 1)];
    }
    std::vector<std::string> shared;
    const std::vector<std::string> terms = capsule_terms(text);
    std::set_intersection(terms.begin(), terms.end(), purpose_terms.begin(), purpose_terms.end(),
                          std::back_inserter(shared));
    ASSERT_EQ(purpose.shared_terms(text, {}, ""), shared.size()) << text;
  }
}

TEST(CapsuleTokens, EstimateCountsCodePointsNotBytes) {
  EXPECT_EQ(estimate_text_tokens(""), 1u);
  EXPECT_EQ(estimate_text_tokens("abcd"), 1u);
  EXPECT_EQ(estimate_text_tokens("abcde"), 2u);
  EXPECT_EQ(estimate_text_tokens("éééé"), 1u);  // 8 bytes, 4 code points
  EXPECT_EQ(estimate_text_tokens("日本語日本"), 2u);
}

TEST(CapsuleTokens, CutKeepsATextThatFitsAndEndsALongerOneWithAnEllipsis) {
  struct Case {
    std::string text;
    uint64_t allowance;
    std::string cut;
  };
  const Case cases[] = {
      {"abcdefgh", 2, "abcdefgh"},              // exactly 4 x allowance
      {"abcdefghi", 2, "abcdefg\u2026"},        // one more: 7 and the ellipsis
      {"ééééééééé", 2, "ééééééé\u2026"},         // counted in code points
      {"éééééééé", 2, "éééééééé"},
      {"abc", 0, ""},
  };
  for (const Case& c : cases) {
    const std::string cut = truncate_to_token_budget(c.text, c.allowance);
    EXPECT_EQ(cut, c.cut) << c.text;
    EXPECT_LE(estimate_text_tokens(cut), std::max<uint64_t>(c.allowance, 1));
  }
}

TEST(CapsuleCompaction, DropsFillerRepeatsAndWhiteSpaceRunsWithinOneText) {
  struct Case {
    std::string text;
    std::string compacted;
  };
  const Case cases[] = {
      {"As previously mentioned, the deploy runs at noon.  The deploy runs at noon.",
       "the deploy runs at noon. The deploy runs at noon."},
      {"Step one.\nStep one.\nStep two.", "Step one. Step two."},
      {"a.b", "a.b"},
      {"Done!", "Done!"},
      {"For completeness,the list", "For completeness,the list"},
      {"FOR COMPLETENESS,   Keep it.", "Keep it."},
      {"in other words, yes; In Other Words, yes; it is important to note that  X holds?",
       "yes; X holds?"},
      {"  spaced\t\tout \u3000 words  ", "spaced out words"},
      {"line one\nline one", "line one"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(compact_capsule_text(c.text), c.compacted) << c.text;
}

}  // namespace
}  // namespace vesk

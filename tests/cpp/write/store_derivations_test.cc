#include "write/store_derivations.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "write/claim_certainty.h"

namespace vesk {
namespace {

TEST(StoreDerivations, PromotesNovelContentOneLevel) {
  struct Case {
    Level level;
    std::optional<float> best;
    Level expected;
  };
  for (const Case& c : std::vector<Case>{{Level::Working, std::nullopt, Level::Decisions},
                                         {Level::Working, 0.19999999f, Level::Decisions},
                                         {Level::Working, 0.2f, Level::Working},
                                         {Level::Decisions, 0.0f, Level::Domain},
                                         {Level::Domain, std::nullopt, Level::Domain},
                                         {Level::Identity, std::nullopt, Level::Identity}}) {
    EXPECT_EQ(promoted_level(c.level, c.best), c.expected);
  }
}

TEST(StoreDerivations, ConfidenceIsBaseTimesCertainty) {
  EXPECT_EQ(store_confidence("recorded", std::nullopt), 0.9f);
  EXPECT_EQ(store_confidence("inferred", ClaimCertainty::Hedged), 0.6f * 0.85f);
  EXPECT_EQ(store_confidence("retrieved", ClaimCertainty::Hearsay), 0.75f * 0.7f);
  EXPECT_EQ(store_confidence("generated", ClaimCertainty::Asserted), 0.5f);
}

TEST(StoreDerivations, IdentityPhrasesMatchWholeWords) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"Hi, my name is Ann", true},
      {"Where I was BORN", true},
      {"I\u2019m allergic to nuts", true},
      {"Мене звати Оля", true},
      {"my names is", false},
      {"tommy birthday", false},
      {"I was bornholm", false},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(has_identity_phrase(normalize_claim_text(text)), expected) << text;
  }
}

TEST(ClaimText, NormalisesToSpacedLowerCaseWords) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", " "},
      {"?!", " "},
      {"Hello,  World!", " hello world "},
      {"it\u2019s 42", " it's 42 "},
      {"ÀB-cd", " àb cd "},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(normalize_claim_text(text), expected) << text;
}

}  // namespace
}  // namespace vesk

namespace vesk {
namespace {

TEST(StoreDerivations, ParsesOutcomeAnswers) {
  const std::vector<std::pair<std::string, std::optional<OutcomePolarity>>> cases = {
      {"NEGATIVE", OutcomePolarity::Negative}, {" positive\n", OutcomePolarity::Positive},
      {"", std::nullopt},                      {"positively", std::nullopt},
      {"n\u00e9gative", std::nullopt},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(parse_polarity(text), expected) << text;
}

}  // namespace
}  // namespace vesk

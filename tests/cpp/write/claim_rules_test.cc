#include "write/claim_rules.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "write/phrase_automaton.h"

namespace vesk {
namespace {

using C = ClaimCertainty;

TEST(ClaimRules, ClassifiesByTheStrongestMarker) {
  struct Case {
    std::string text;
    C want;
  };
  const Case cases[] = {
      {"I heard the shop closed", C::Hearsay},
      {"He said it was fine", C::Hearsay},
      {"Said the manager: no", C::Hearsay},       // a reporting word that opens the text
      {"They told me so", C::Hearsay},
      {"It\u2019s said to be fine", C::Hearsay},  // "said" after "it's"
      {"Rumor has it", C::Hearsay},
      {"Мені сказали, що він прийде", C::Hearsay},
      {"Він сказав, що прийде", C::Hearsay},
      {"apparently it might rain", C::Hearsay},   // hearsay beats speculation
      {"I said it was fine", C::Asserted},
      {"We never said that", C::Asserted},        // first person two words back
      {"I want to say thanks", C::Asserted},      // "to say"
      {"Я сказав йому", C::Asserted},
      {"Ми не казали", C::Asserted},
      {"unheard of", C::Asserted},                // whole words only
      {"old sayings and rumors", C::Asserted},
      {"Може, завтра", C::Speculative},           // "може" opening the text
      {"може", C::Speculative},
      {"Це може", C::Asserted},                   // "може" elsewhere is no marker
      {"Можливо завтра", C::Speculative},
      {"Perhaps it is likely", C::Speculative},   // speculation beats a hedge
      {"i think it could be late", C::Speculative},
      {"It's probably fine", C::Hedged},
      {"ЗДАЄТЬСЯ, так", C::Hedged},
      {"я думаю", C::Hedged},
      {"The sky is blue", C::Asserted},
      {"", C::Asserted},
  };
  for (const Case& c : cases) EXPECT_EQ(classify_claim_rules(normalize_claim_text(c.text)), c.want) << c.text;
}

TEST(ClaimRules, ParsesAnswerWords) {
  const std::pair<std::string, std::optional<C>> certainties[] = {
      {"  ASSERTED ", C::Asserted}, {"Hedged\n", C::Hedged},  {"speculative", C::Speculative},
      {"\u00a0hearsay", C::Hearsay}, {"sure", std::nullopt},   {"", std::nullopt},
      {"as serted", std::nullopt},   {"ＨＥＤＧＥＤ", std::nullopt},  // only ASCII letters fold
  };
  for (const auto& [text, want] : certainties) EXPECT_EQ(parse_claim_certainty(text), want) << text;
  const std::pair<std::string, std::optional<OutcomePolarity>> polarities[] = {
      {"NEGATIVE", OutcomePolarity::Negative}, {" Positive\t", OutcomePolarity::Positive},
      {"1", std::nullopt}, {"", std::nullopt}, {"neutral", std::nullopt},
  };
  for (const auto& [text, want] : polarities) EXPECT_EQ(parse_polarity(text), want) << text;
}

TextClassifierHandle answering(std::optional<std::string> answer) {
  return std::make_shared<const TextClassifier>([answer](std::string_view) { return answer; });
}

TEST(ClaimRules, ClassifierVerdictFirstThenRules) {
  ClassifierSlot slot;
  const std::string hearsay = "I heard it works";
  EXPECT_EQ(classify_certainty(slot, false, hearsay), std::nullopt);
  EXPECT_EQ(classify_certainty(slot, true, hearsay), C::Hearsay);
  slot.set(answering("  ASSERTED "));
  EXPECT_EQ(classify_certainty(slot, false, hearsay), C::Asserted);
  EXPECT_EQ(classify_certainty(slot, true, hearsay), C::Asserted);
  for (std::optional<std::string> junk : {std::optional<std::string>("sure"), std::optional<std::string>()}) {
    slot.set(answering(junk));  // an unknown word, or a classifier that raised
    EXPECT_EQ(classify_certainty(slot, false, hearsay), std::nullopt);
    EXPECT_EQ(classify_certainty(slot, true, hearsay), C::Hearsay);
  }
  slot.set(nullptr);
  EXPECT_EQ(call_outcome_classifier(slot, "x"), std::nullopt);
  slot.set(answering("NEGATIVE"));
  EXPECT_EQ(call_outcome_classifier(slot, "x"), OutcomePolarity::Negative);
}

// The classifier runs with the slot unlocked: clearing the slot while a call
// is inside the classifier neither waits for it nor cuts it short.
TEST(ClaimRules, ClearingTheSlotDuringACallLetsTheCallFinish) {
  ClassifierSlot slot;
  std::promise<void> entered, release;
  std::shared_future<void> released = release.get_future().share();
  slot.set(std::make_shared<const TextClassifier>([&entered, released](std::string_view) {
    entered.set_value();
    released.wait();
    return std::optional<std::string>("hedged");
  }));
  auto verdict = std::async(std::launch::async, [&] { return call_claim_classifier(slot, "t"); });
  entered.get_future().wait();
  slot.set(nullptr);  // returns at once although the call is still running
  release.set_value();
  EXPECT_EQ(verdict.get(), C::Hedged);
  EXPECT_EQ(call_claim_classifier(slot, "t"), std::nullopt);
}

// Overlapping patterns, patterns inside patterns and shared prefixes, checked
// against a plain search at every position of random texts.
TEST(PhraseAutomaton, ReportsEveryPatternEndingAtEachPosition) {
  const std::vector<PhraseAutomaton::Pattern> patterns = {
      {"he", 1}, {"she", 2}, {"his", 4}, {"hers", 8}, {"e", 16}, {"ss", 32}, {"shes", 64}};
  const PhraseAutomaton automaton(patterns);
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (int i = 0, n = static_cast<int>(rng() % 40); i < n; ++i) text += "hesrix"[rng() % 6];
    std::vector<uint8_t> want(text.size() + 1, 0), got(text.size() + 1, 0);
    for (const auto& p : patterns) {
      for (size_t at = text.find(p.bytes); at != std::string::npos; at = text.find(p.bytes, at + 1))
        want[at + p.bytes.size()] |= p.marks;
    }
    automaton.scan(text, [&](size_t end, uint8_t marks) {
      got[end] |= marks;
      return true;
    });
    ASSERT_EQ(got, want) << text;
  }
}

}  // namespace
}  // namespace vesk

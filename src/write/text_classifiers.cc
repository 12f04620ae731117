#include "write/text_classifiers.h"

#include "model/unicode_text.h"

namespace vesk {
namespace {

std::optional<std::string> ask(const ClassifierSlot& slot, std::string_view text) {
  TextClassifierHandle classifier = slot.copy();
  if (!classifier || !*classifier) return std::nullopt;
  return (*classifier)(text);
}

}  // namespace

std::string_view outcome_polarity_label(OutcomePolarity p) {
  return p == OutcomePolarity::Negative ? "negative" : "positive";
}

std::optional<OutcomePolarity> parse_polarity(std::string_view text) {
  std::string word(trim_unicode_white_space(text));
  for (char& c : word) c = ascii_lower(c);
  if (word == "positive") return OutcomePolarity::Positive;
  if (word == "negative") return OutcomePolarity::Negative;
  return std::nullopt;
}

std::optional<ClaimCertainty> call_claim_classifier(const ClassifierSlot& slot, std::string_view text) {
  std::optional<std::string> answer = ask(slot, text);
  return answer ? parse_claim_certainty(*answer) : std::nullopt;
}

std::optional<OutcomePolarity> call_outcome_classifier(const ClassifierSlot& slot, std::string_view text) {
  std::optional<std::string> answer = ask(slot, text);
  return answer ? parse_polarity(*answer) : std::nullopt;
}

}  // namespace vesk

#include "audit/consequence_readout.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "model/unicode_text.h"

namespace vesk {
namespace {

std::string trimmed_ascii_lower(std::string_view s) {
  std::string out(trim_unicode_white_space(s));
  for (char& c : out) c = ascii_lower(c);
  return out;
}

constexpr std::array<std::string_view, 7> kSupportWords = {"ok",      "pass",     "passed",   "support",
                                                           "success", "supports", "supported"};
constexpr std::array<std::string_view, 7> kRefuteWords = {"fail",    "panic",   "refute", "failed",
                                                          "refutes", "refuted", "failure"};

bool one_of(const auto& words, std::string_view c) { return std::ranges::find(words, c) != words.end(); }

}  // namespace

ConsequencePolarity classify_consequence_outcome(const ConsequenceUnit& unit) {
  const std::string c = trimmed_ascii_lower(unit.consequence);
  if (unit.trust > 0 || one_of(kSupportWords, c)) return ConsequencePolarity::Supports;
  if (unit.trust < 0 || one_of(kRefuteWords, c)) return ConsequencePolarity::Refutes;
  return ConsequencePolarity::Inconclusive;
}

std::string consequence_unit_readout(const ConsequenceUnit& unit) {
  std::string out = "state `" + unit.situation + "` action `" + unit.action + "` consequence `" + unit.consequence +
                    "` trust " + std::to_string(unit.trust) + " scope [";
  for (size_t i = 0; i < unit.scope.size(); ++i) {
    if (i) out += ", ";
    out += unit.scope[i];
  }
  out += "]";
  return out;
}

}  // namespace vesk

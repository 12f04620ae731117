#include "audit/evidence_vocabulary.h"

#include <string>

#include "model/unicode_text.h"

namespace vesk {
namespace {

// Longer than every accepted name, so anything longer is refused unread.
constexpr size_t kLongestName = 16;

// The trimmed, ASCII-lower-cased text, or none when it cannot be a name.
std::optional<std::string> vocabulary_word(std::string_view text) {
  std::string_view t = trim_unicode_white_space(text);
  if (t.empty() || t.size() > kLongestName) return std::nullopt;
  std::string out(t);
  for (char& c : out) c = ascii_lower(c);
  return out;
}

}  // namespace

std::optional<VerificationStatus> parse_verification_status(std::string_view text) {
  auto w = vocabulary_word(text);
  if (!w) return std::nullopt;
  if (*w == "candidate") return VerificationStatus::Candidate;
  if (*w == "corroborated") return VerificationStatus::Corroborated;
  if (*w == "verified") return VerificationStatus::Verified;
  if (*w == "contested") return VerificationStatus::Contested;
  if (*w == "superseded") return VerificationStatus::Superseded;
  if (*w == "refuted") return VerificationStatus::Refuted;
  return std::nullopt;
}

std::optional<AnswerPermission> parse_answer_permission(std::string_view text) {
  auto w = vocabulary_word(text);
  if (!w) return std::nullopt;
  if (*w == "cite") return AnswerPermission::Cite;
  if (*w == "context_only" || *w == "context-only") return AnswerPermission::ContextOnly;
  if (*w == "block" || *w == "blocked") return AnswerPermission::Block;
  return std::nullopt;
}

}  // namespace vesk

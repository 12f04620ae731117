// The evidence vocabulary: how far a piece of evidence has been verified and
// how an answer may use it. Record metadata carries both as free text
// ("verification_status", "answer_permission"); these parsers read them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vesk {

// Values below Contested are supportive. The system parses statuses and never
// writes one back as text.
enum class VerificationStatus : uint8_t {
  Candidate = 0,
  Corroborated = 1,
  Verified = 2,
  Contested = 3,
  Superseded = 4,
  Refuted = 5,
};

constexpr bool is_supportive(VerificationStatus s) { return static_cast<uint8_t>(s) < 3; }

// Written back under the canonical names "cite", "context_only", "block".
enum class AnswerPermission : uint8_t { Cite = 0, ContextOnly = 1, Block = 2 };

// The text trimmed of Unicode White_Space and ASCII-lower-cased, then one of
// "candidate", "corroborated", "verified", "contested", "superseded",
// "refuted"; anything else (an empty text included) is none. Never fails.
std::optional<VerificationStatus> parse_verification_status(std::string_view text);

// The same trimming and lower-casing, then "cite"; "context_only" or
// "context-only"; "block" or "blocked". Anything else is none.
std::optional<AnswerPermission> parse_answer_permission(std::string_view text);

}  // namespace vesk

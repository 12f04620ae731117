// The evidence vocabulary: how far a piece of evidence has been verified,
// how an answer may use it, and the checks on a byte span of a registered
// source document. All pure functions of their arguments.
//
// A span is cut once out of the bytes registered for a source
// (verify_source_span_digest) and re-checked later against the bytes as they
// are now (verify_evidence_span); the admission rule turns the check, the
// verification status and the requested permission into the permission an
// answer gets.
//
// Re-check issues, in the order they are looked for (all are looked for):
//   kind 0 "span points to a different logical document"
//   kind 1 "span points to a different source revision"
//   kind 2 "source byte length changed"
//   kind 3 "complete source hash changed"
//   kind 5 "span range is empty or reversed"
//   kind 4 "span range is outside the supplied source bytes"
//   kind 6 "source fragment no longer matches its recorded hash" (only when
//          the range lies inside the current bytes)
//   kind 7 "page_start is greater than page_end"
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/evidence_source.h"

namespace vesk {

// Values below kContested are supportive.
enum class VerificationStatus : uint8_t { Candidate, Corroborated, Verified, Contested, Superseded, Refuted };
enum class AnswerPermission : uint8_t { Cite, ContextOnly, Block };

constexpr bool is_supportive(VerificationStatus s) { return static_cast<uint8_t>(s) < 3; }

// Both parsers drop White_Space at the ends and lower-case ASCII letters.
// Statuses: the six names. Permissions: "cite", "context_only" or
// "context-only", "block" or "blocked". Anything else: none.
std::optional<VerificationStatus> parse_verification_status(std::string_view text);
std::optional<AnswerPermission> parse_answer_permission(std::string_view text);
// "cite", "context_only" or "block".
std::string_view answer_permission_name(AnswerPermission p);

struct EvidenceSpan {
  std::string document_id;
  std::string revision_id;
  std::string span_hash;  // SHA-256 of the range's bytes, lower-case hex
  std::optional<std::string> cell_range;
  std::optional<uint32_t> page_start;
  std::optional<uint32_t> page_end;
  uint64_t byte_start = 0;  // inclusive
  uint64_t byte_end = 0;    // exclusive

  bool operator==(const EvidenceSpan&) const = default;
};

struct EvidenceSpanIssue {
  uint8_t kind = 0;
  std::string message;

  bool operator==(const EvidenceSpanIssue&) const = default;
};

struct EvidenceSpanCheck {
  std::vector<EvidenceSpanIssue> issues;
  std::string document_id;
  std::string revision_id;
  std::string span_hash;
  uint64_t byte_start = 0;
  uint64_t byte_end = 0;
  bool valid = false;  // no issue
};

enum class SpanCutError : uint8_t { SourceMismatch, OutOfBounds, Empty };
// "source bytes do not match the registered document revision",
// "source span is outside document bounds", "source span must not be empty".
std::string_view span_cut_error_text(SpanCutError e);

// The span [byte_start, byte_end) of the bytes registered for `source`,
// checked in this order: the bytes are the source's (length, digest), the
// range lies inside them (a reversed range is out of bounds), it is not
// empty.
std::variant<EvidenceSpan, SpanCutError> verify_source_span_digest(const EvidenceSource& source,
                                                                    std::string_view registered_bytes,
                                                                    uint64_t byte_start, uint64_t byte_end);
// The same without the first check, for bytes `source` was just built from.
std::variant<EvidenceSpan, SpanCutError> cut_registered_span(const EvidenceSource& source,
                                                              std::string_view registered_bytes,
                                                              uint64_t byte_start, uint64_t byte_end);

EvidenceSpanCheck verify_evidence_span(const EvidenceSource& source, std::string_view current_bytes,
                                       const EvidenceSpan& span);

// The check is of this span: same ids, hash and offsets.
bool evidence_key_eq(const EvidenceSpanCheck& check, const EvidenceSpan& span);

// Block unless the check is valid, of this span and the status supportive;
// then block when asked, context_only when asked or when the status is only
// a candidate, cite otherwise.
AnswerPermission evidence_admission(const EvidenceSpanCheck& check, const EvidenceSpan& span,
                                    VerificationStatus status, AnswerPermission requested);

}  // namespace vesk

#include "audit/evidence_vocabulary.h"

#include <array>

#include "base/sha256.h"
#include "model/unicode_text.h"

namespace vesk {
namespace {

// White_Space trimmed, ASCII letters lower-cased.
std::string folded(std::string_view text) {
  std::string out(trim_unicode_white_space(text));
  for (char& c : out) c = ascii_lower(c);
  return out;
}

}  // namespace

std::optional<VerificationStatus> parse_verification_status(std::string_view text) {
  static constexpr std::array<std::string_view, 6> kNames = {"candidate",  "corroborated", "verified",
                                                             "contested",  "superseded",   "refuted"};
  const std::string name = folded(text);
  for (size_t i = 0; i < kNames.size(); ++i) {
    if (name == kNames[i]) return static_cast<VerificationStatus>(i);
  }
  return std::nullopt;
}

std::optional<AnswerPermission> parse_answer_permission(std::string_view text) {
  const std::string name = folded(text);
  if (name == "cite") return AnswerPermission::Cite;
  if (name == "context_only" || name == "context-only") return AnswerPermission::ContextOnly;
  if (name == "block" || name == "blocked") return AnswerPermission::Block;
  return std::nullopt;
}

std::string_view answer_permission_name(AnswerPermission p) {
  switch (p) {
    case AnswerPermission::Cite:
      return "cite";
    case AnswerPermission::ContextOnly:
      return "context_only";
    case AnswerPermission::Block:
      return "block";
  }
  return "block";
}

std::string_view span_cut_error_text(SpanCutError e) {
  switch (e) {
    case SpanCutError::SourceMismatch:
      return "source bytes do not match the registered document revision";
    case SpanCutError::OutOfBounds:
      return "source span is outside document bounds";
    case SpanCutError::Empty:
      return "source span must not be empty";
  }
  return "";
}

std::variant<EvidenceSpan, SpanCutError> cut_registered_span(const EvidenceSource& source,
                                                              std::string_view registered_bytes,
                                                              uint64_t byte_start, uint64_t byte_end) {
  if (byte_end < byte_start || byte_end > registered_bytes.size()) return SpanCutError::OutOfBounds;
  if (byte_end == byte_start) return SpanCutError::Empty;
  EvidenceSpan span;
  span.document_id = source.document_id;
  span.revision_id = source.revision_id;
  span.span_hash = sha256_hex(registered_bytes.substr(byte_start, byte_end - byte_start));
  span.byte_start = byte_start;
  span.byte_end = byte_end;
  return span;
}

std::variant<EvidenceSpan, SpanCutError> verify_source_span_digest(const EvidenceSource& source,
                                                                    std::string_view registered_bytes,
                                                                    uint64_t byte_start, uint64_t byte_end) {
  if (registered_bytes.size() != source.byte_length || sha256_hex(registered_bytes) != source.source_hash) {
    return SpanCutError::SourceMismatch;
  }
  return cut_registered_span(source, registered_bytes, byte_start, byte_end);
}

EvidenceSpanCheck verify_evidence_span(const EvidenceSource& source, std::string_view current_bytes,
                                       const EvidenceSpan& span) {
  EvidenceSpanCheck check;
  auto issue = [&](uint8_t kind, const char* message) { check.issues.push_back({kind, message}); };
  if (span.document_id != source.document_id) issue(0, "span points to a different logical document");
  if (span.revision_id != source.revision_id) issue(1, "span points to a different source revision");
  if (current_bytes.size() != source.byte_length) issue(2, "source byte length changed");
  if (sha256_hex(current_bytes) != source.source_hash) issue(3, "complete source hash changed");
  if (span.byte_end <= span.byte_start) issue(5, "span range is empty or reversed");
  if (span.byte_end <= span.byte_start || span.byte_end > current_bytes.size()) {
    issue(4, "span range is outside the supplied source bytes");
  } else if (sha256_hex(current_bytes.substr(span.byte_start, span.byte_end - span.byte_start)) != span.span_hash) {
    issue(6, "source fragment no longer matches its recorded hash");
  }
  if (span.page_start && span.page_end && *span.page_start > *span.page_end) {
    issue(7, "page_start is greater than page_end");
  }
  check.document_id = span.document_id;
  check.revision_id = span.revision_id;
  check.span_hash = span.span_hash;
  check.byte_start = span.byte_start;
  check.byte_end = span.byte_end;
  check.valid = check.issues.empty();
  return check;
}

bool evidence_key_eq(const EvidenceSpanCheck& check, const EvidenceSpan& span) {
  return check.document_id == span.document_id && check.revision_id == span.revision_id &&
         check.span_hash == span.span_hash && check.byte_start == span.byte_start && check.byte_end == span.byte_end;
}

AnswerPermission evidence_admission(const EvidenceSpanCheck& check, const EvidenceSpan& span,
                                    VerificationStatus status, AnswerPermission requested) {
  if (!check.valid || !evidence_key_eq(check, span) || !is_supportive(status)) return AnswerPermission::Block;
  if (requested == AnswerPermission::Block) return AnswerPermission::Block;
  if (requested == AnswerPermission::ContextOnly || status == VerificationStatus::Candidate) {
    return AnswerPermission::ContextOnly;
  }
  return AnswerPermission::Cite;
}

}  // namespace vesk

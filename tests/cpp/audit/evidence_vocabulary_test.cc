#include "audit/evidence_vocabulary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audit/applicability.h"
#include "audit/retrieval_episode.h"

namespace vesk {
namespace {

using VS = VerificationStatus;
using AP = AnswerPermission;

TEST(EvidenceVocabulary, ParsersTrimAndFoldAsciiOnly) {
  EXPECT_EQ(parse_verification_status(" verified\u00a0"), VS::Verified);
  EXPECT_EQ(parse_verification_status("VERIFIED"), VS::Verified);
  for (const char* none : {"verified.", "", "   ", "\uff56erified"}) EXPECT_EQ(parse_verification_status(none), std::nullopt) << none;
  EXPECT_EQ(parse_answer_permission(" Context-Only "), AP::ContextOnly);
  EXPECT_EQ(parse_answer_permission("CONTEXT_only"), AP::ContextOnly);
  EXPECT_EQ(parse_answer_permission("BLOCKED"), AP::Block);
  EXPECT_EQ(parse_answer_permission("allow"), std::nullopt);
  EXPECT_EQ(parse_memory_route(" Entity-Graph "), MemoryRoute::Graph);
  EXPECT_EQ(parse_memory_route("semantic"), MemoryRoute::Documentary);
  EXPECT_EQ(parse_memory_route("x"), std::nullopt);
  EXPECT_EQ(normalize_evidence_key("  Kiln\t\u2003TEMP  \u00c9 "), "kiln temp \u00c9");
  EXPECT_EQ(normalize_evidence_key(" \u3000 "), "");
}

TEST(EvidenceVocabulary, CuttingASpan) {
  const std::string bytes = "0123456789";
  const EvidenceSource source = evidence_source_new("doc", "r1", "file:///doc", bytes);
  struct Case {
    uint64_t start, end;
    std::optional<SpanCutError> error;
  };
  for (const Case& c : {Case{3, 3, SpanCutError::Empty}, Case{5, 3, SpanCutError::OutOfBounds},
                        Case{2, 11, SpanCutError::OutOfBounds}, Case{7, 10, std::nullopt}}) {
    auto cut = verify_source_span_digest(source, bytes, c.start, c.end);
    if (c.error) {
      EXPECT_EQ(std::get<SpanCutError>(cut), *c.error) << c.start << ".." << c.end;
    } else {
      EXPECT_EQ(std::get<EvidenceSpan>(cut).span_hash, evidence_source_new("", "", "", "789").source_hash);
    }
  }
  EXPECT_EQ(std::get<SpanCutError>(verify_source_span_digest(source, "0123456788", 0, 1)),
            SpanCutError::SourceMismatch);
}

TEST(EvidenceVocabulary, RecheckFindsEveryIssueInOrder) {
  const std::string bytes = "the kiln reaches 1240 degrees";
  const EvidenceSource source = evidence_source_new("doc", "r1", "", bytes);
  const EvidenceSpan span = std::get<EvidenceSpan>(verify_source_span_digest(source, bytes, 4, 8));
  auto kinds = [&](std::string_view current, EvidenceSpan s) {
    std::vector<int> out;
    for (const auto& i : verify_evidence_span(source, current, s).issues) out.push_back(i.kind);
    return out;
  };
  EXPECT_EQ(kinds(bytes, span), std::vector<int>{});
  EXPECT_TRUE(verify_evidence_span(source, bytes, span).valid);
  EXPECT_EQ(kinds("the ki", span), (std::vector<int>{2, 3, 4}));
  std::string outside = bytes, inside = bytes;
  outside[20] = 'X';
  inside[5] = 'X';
  EXPECT_EQ(kinds(outside, span), (std::vector<int>{3}));
  EXPECT_EQ(kinds(inside, span), (std::vector<int>{3, 6}));
  EvidenceSpan odd = span;
  odd.document_id = "other";
  odd.revision_id = "r2";
  odd.byte_start = 9;
  odd.page_start = 4;
  odd.page_end = 2;
  EXPECT_EQ(kinds(bytes, odd), (std::vector<int>{0, 1, 5, 4, 7}));
  EXPECT_EQ(verify_evidence_span(source, bytes, odd).issues[2].message, "span range is empty or reversed");
  odd = span;
  odd.page_start = 3;
  EXPECT_EQ(kinds(bytes, odd), std::vector<int>{});

  const EvidenceSpanCheck good = verify_evidence_span(source, bytes, span);
  const EvidenceSpanCheck bad = verify_evidence_span(source, inside, span);
  struct Case {
    VS status;
    AP asked;
    AP granted;
  };
  for (const Case& c : {Case{VS::Candidate, AP::Cite, AP::ContextOnly}, Case{VS::Corroborated, AP::Cite, AP::Cite},
                        Case{VS::Refuted, AP::Cite, AP::Block}, Case{VS::Verified, AP::Block, AP::Block},
                        Case{VS::Verified, AP::ContextOnly, AP::ContextOnly}}) {
    EXPECT_EQ(evidence_admission(good, span, c.status, c.asked), c.granted);
    EXPECT_EQ(evidence_admission(bad, span, c.status, c.asked), AP::Block);
  }
  EvidenceSpan other = span;
  other.byte_end = 9;
  EXPECT_EQ(evidence_admission(good, other, VS::Verified, AP::Cite), AP::Block);
}

TEST(Applicability, DecisionsAndLists) {
  Record r;
  r.id = "r1";
  auto decide = [&](StringMap metadata, CurrentState state) {
    r.metadata = std::move(metadata);
    return evaluate_requirements(r, state);
  };
  auto none = decide({{"Applicability.require.os", "linux"}}, {});
  EXPECT_EQ(none.decision, "unknown");
  EXPECT_EQ(none.reasons, std::vector<std::string>{"no_declared_requirements"});
  EXPECT_EQ(none.requirements_total, 0u);

  auto use = decide({{"applicability.require. os ", "LINUX"}}, {{"os", {" linux ", "Linux"}}});
  EXPECT_EQ(use.decision, "use");
  EXPECT_EQ(use.matched_fields, std::vector<std::string>{"os"});
  EXPECT_EQ(decide({{"applicability.require.os", "\u00c9T\u00c9"}}, {{"os", {"\u00e9t\u00e9"}}}).decision, "reject");
  EXPECT_EQ(decide({{"applicability.require.os", "\u00e9t\u00e9"}}, {{"os", {"\u00c9T\u00c9"}}}).decision, "use");

  auto conflict = decide({{"applicability.require.os", "linux"}}, {{"os", {"Mac", "linux"}}});
  EXPECT_EQ(conflict.reasons, std::vector<std::string>{"conflicting_current_state"});
  EXPECT_EQ(conflict.conflicting_fields, (std::vector<ApplicabilityConflict>{{"os", {"linux", "mac"}}}));
  for (CurrentState missing : {CurrentState{}, CurrentState{{"os", {}}}, CurrentState{{"os", {" "}}},
                               CurrentState{{"OS", {"linux"}}}}) {
    EXPECT_EQ(decide({{"applicability.require.os", "linux"}}, missing).reasons,
              std::vector<std::string>{"missing_current_state"});
  }
  auto reject = decide({{"applicability.require.os", "linux"},
                        {"applicability.require.", "x"},
                        {"applicability.require.arch", " "},
                        {"applicability.require.gpu", "yes"},
                        {"applicability.require.shell", "bash"}},
                       {{"os", {"mac"}}, {"shell", {"BASH"}}});
  EXPECT_EQ(reject.decision, "reject");
  EXPECT_EQ(reject.reasons, std::vector<std::string>{"hard_requirement_mismatch"});
  EXPECT_EQ(reject.requirements_total, 5u);
  EXPECT_EQ(reject.invalid_requirement_fields, (std::vector<std::string>{"", "arch"}));
  EXPECT_EQ(reject.missing_fields, std::vector<std::string>{"gpu"});
  EXPECT_EQ(reject.matched_fields, std::vector<std::string>{"shell"});
  EXPECT_EQ(reject.mismatches, (std::vector<ApplicabilityMismatch>{{"os", "linux", {"mac"}}}));
  auto invalid = decide({{"applicability.require.", "x"}, {"applicability.require.gpu", "yes"}}, {});
  EXPECT_EQ(invalid.reasons, (std::vector<std::string>{"invalid_declared_requirement", "missing_current_state"}));
}

}  // namespace
}  // namespace vesk

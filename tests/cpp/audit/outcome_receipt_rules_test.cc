// The rules of a receipt request, its id and digest, and the checks of a
// stored receipt. Expected ids and digests were computed apart from this
// code: Python's hashlib over json.dumps(material, separators=(",", ":"),
// ensure_ascii=False).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "audit/outcome_receipt_integrity.h"
#include "audit/outcome_receipt_validation.h"
#include "audit/receipt_fixture.h"

namespace vesk {
namespace {

using testing::bare_receipt;

const std::string kA = "aaaaaaaaaaaa", kB = "bbbbbbbbbbbb";

TEST(OutcomeReceiptRules, OutcomeWords) {
  const struct {
    const char* text;
    std::optional<OutcomeKind> kind;  // none: refused
  } cases[] = {
      {"helpful", OutcomeKind::Helpful},         {" passed ", OutcomeKind::Helpful},
      {"\u3000Success\n", OutcomeKind::Helpful}, {"FAILURE", OutcomeKind::Unhelpful},
      {"failed", OutcomeKind::Unhelpful},        {"Unknown", OutcomeKind::Inconclusive},
      {"inconclusive", OutcomeKind::Inconclusive}, {"maybe ", std::nullopt},
      {"pass", std::nullopt},                    {"", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Result<OutcomeKind> got = parse_outcome_kind(c.text);
    if (c.kind) {
      ASSERT_TRUE(got.ok()) << got.status().message();
      EXPECT_EQ(*got, *c.kind);
    } else {
      ASSERT_FALSE(got.ok());
      EXPECT_EQ(got.status().kind(), ErrorKind::Value);
      EXPECT_EQ(got.status().message(),
                "invalid outcome '" + std::string(c.text) + "'; expected helpful, unhelpful, or inconclusive");
    }
  }
}

TEST(OutcomeReceiptRules, TextFields) {
  const struct {
    std::string value;
    bool ok;
  } cases[] = {
      {"t1", true},
      {" t1", true},  // kept as given: only a blank value fails
      {"   ", false},
      {"\u3000", false},
      {"", false},
      {std::string(128, 'x'), true},
      {std::string(129, 'x'), false},
      {std::string(63, 'x') + "\u00e9" + std::string(63, 'x'), true},  // 128 bytes
      {"a\u00a0b", true},
      {"a\u0085b", false},  // a C1 control
      {"a\x7f", false},
      {"a\tb", false},
      {std::string("a\0b", 3), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    Status st = check_receipt_text_field("task_id", c.value);
    EXPECT_EQ(st.ok(), c.ok);
    if (!c.ok) {
      EXPECT_EQ(st.message(), "task_id must be non-empty, control-free, and at most 128 bytes");
    }
  }
  EXPECT_EQ(check_receipt_id_list("candidate_record_ids", std::vector<std::string>{kA, kB, kA}).message(),
            "candidate_record_ids must not contain duplicates");
  EXPECT_EQ(check_receipt_id_list("ids", std::vector<std::string>{kA, "", kA}).message(),
            "ids must be non-empty, control-free, and at most 128 bytes")
      << "a malformed id is reported before a duplicate";
}

OutcomeReceiptInput valid_input() {
  OutcomeReceiptInput in;
  in.task_id = "t1";
  in.lineage_id = "l1";
  in.attempt_id = "a1";
  in.candidate_record_ids = {kA, kB};
  in.selected_record_ids = {kA};
  in.namespace_ = "default";
  in.provenance = {"sdk:python"};
  in.outcome = OutcomeKind::Helpful;
  return in;
}

OutcomeEvaluationEvidence verifier_evidence() {
  return OutcomeEvaluationEvidence{std::nullopt, std::nullopt, {{kA, OutcomeKind::Unhelpful}}, "v1"};
}

TEST(OutcomeReceiptRules, RequestChecksInOrder) {
  using Edit = std::function<void(OutcomeReceiptInput&)>;
  const struct {
    const char* what;
    Edit edit;
    const char* error;  // empty: passes
  } cases[] = {
      {"valid", [](auto&) {}, ""},
      {"blank task and no candidates", [](auto& in) { in.task_id = " "; in.candidate_record_ids.clear(); },
       "task_id must be non-empty, control-free, and at most 128 bytes"},
      {"attempt", [](auto& in) { in.attempt_id = std::string(129, 'a'); },
       "attempt_id must be non-empty, control-free, and at most 128 bytes"},
      {"namespace of two spaces", [](auto& in) { in.namespace_ = "  "; },
       "namespace must be non-empty, control-free, and at most 128 bytes"},
      {"no candidates", [](auto& in) { in.candidate_record_ids.clear(); in.selected_record_ids.clear(); },
       "candidate_record_ids must contain 1..=64 values"},
      {"65 candidates",
       [](auto& in) {
         in.candidate_record_ids.clear();
         for (int i = 0; i < 65; ++i) in.candidate_record_ids.push_back("c" + std::to_string(i));
         in.selected_record_ids = {"c0"};
       },
       "candidate_record_ids must contain 1..=64 values"},
      {"64 candidates",
       [](auto& in) {
         in.candidate_record_ids.clear();
         for (int i = 0; i < 64; ++i) in.candidate_record_ids.push_back("c" + std::to_string(i));
         in.selected_record_ids = {"c0"};
       },
       ""},
      {"one candidate", [](auto& in) { in.candidate_record_ids = {kA}; }, ""},
      {"candidate twice", [](auto& in) { in.candidate_record_ids = {kA, kB, kA}; },
       "candidate_record_ids must not contain duplicates"},
      {"selected twice", [](auto& in) { in.selected_record_ids = {kA, kA}; },
       "selected_record_ids must not contain duplicates"},
      {"selected not a candidate", [](auto& in) { in.selected_record_ids = {"cccccccccccc"}; },
       "selected_record_ids must be a subset of candidate_record_ids"},
      {"helpful, nothing selected", [](auto& in) { in.selected_record_ids.clear(); },
       "helpful and unhelpful outcomes require selected_record_ids"},
      {"unhelpful, nothing selected",
       [](auto& in) { in.selected_record_ids.clear(); in.outcome = OutcomeKind::Unhelpful; },
       "helpful and unhelpful outcomes require selected_record_ids"},
      {"inconclusive, nothing selected",
       [](auto& in) { in.selected_record_ids.clear(); in.outcome = OutcomeKind::Inconclusive; }, ""},
      {"superseded id blank", [](auto& in) { in.supersedes_receipt_id = "\t"; },
       "supersedes_receipt_id must be non-empty, control-free, and at most 128 bytes"},
      {"16 tokens", [](auto& in) { in.provenance.assign(16, "p"); }, ""},
      {"17 tokens", [](auto& in) { in.provenance.assign(17, "p"); }, "provenance may contain at most 16 tokens"},
      {"no tokens", [](auto& in) { in.provenance.clear(); }, ""},
      {"blank token", [](auto& in) { in.provenance = {"ok", " "}; },
       "provenance tokens must be non-empty, control-free, and at most 128 bytes"},
      {"evidence checked last",
       [](auto& in) {
         in.evidence = OutcomeEvaluationEvidence{std::nullopt, std::nullopt, {}, "v1"};
       },
       "verifier_id requires candidate_verdicts"},
      {"evidence against the candidates",
       [](auto& in) {
         in.evidence = verifier_evidence();
         in.evidence->candidate_verdicts[0].record_id = "cccccccccccc";
       },
       "candidate verdict record IDs must be a subset of candidate_record_ids"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    OutcomeReceiptInput in = valid_input();
    c.edit(in);
    Status st = validate_outcome_receipt_input(in);
    if (*c.error == '\0') {
      EXPECT_TRUE(st.ok()) << st.message();
    } else {
      EXPECT_EQ(st.message(), c.error);
      EXPECT_EQ(st.kind(), ErrorKind::Runtime);
    }
  }
}

TEST(OutcomeReceiptRules, EvidenceRules) {
  using V = std::vector<CandidateOutcomeVerdict>;
  const auto H = OutcomeKind::Helpful;
  const struct {
    const char* what;
    OutcomeEvaluationEvidence evidence;
    const char* error;
  } cases[] = {
      {"empty", {}, "outcome evaluation evidence must contain propensity or verifier evidence"},
      {"propensity", {"p1", 2500, {}, std::nullopt}, ""},
      {"verifier", {std::nullopt, std::nullopt, V{{kB, H}}, "v1"}, ""},
      {"both", {"p1", 1, V{{kB, H}, {kA, H}}, "v1"}, ""},
      {"policy alone", {"p1", std::nullopt, {}, std::nullopt},
       "logging_policy_id and selected_set_probability_bps must be supplied together"},
      {"probability alone", {std::nullopt, 2500, V{{kA, H}}, "v1"},
       "logging_policy_id and selected_set_probability_bps must be supplied together"},
      {"policy blank", {" ", 2500, {}, std::nullopt},
       "logging_policy_id must be non-empty, control-free, and at most 128 bytes"},
      {"probability 0", {"p1", 0, {}, std::nullopt}, "selected_set_probability_bps must be within 1..=10000"},
      {"probability 10001", {"p1", 10001, {}, std::nullopt}, "selected_set_probability_bps must be within 1..=10000"},
      {"probability 10000", {"p1", 10000, {}, std::nullopt}, ""},
      {"verifier without verdicts", {"p1", 1, {}, "v1"}, "verifier_id requires candidate_verdicts"},
      {"verdicts without verifier", {std::nullopt, std::nullopt, V{{kA, H}}, std::nullopt},
       "candidate_verdicts require verifier_id"},
      {"verifier blank", {std::nullopt, std::nullopt, V{{kA, H}}, ""},
       "verifier_id must be non-empty, control-free, and at most 128 bytes"},
      {"verdict id malformed", {std::nullopt, std::nullopt, V{{"a\nb", H}}, "v1"},
       "candidate_verdict record IDs must be non-empty, control-free, and at most 128 bytes"},
      {"record judged twice", {std::nullopt, std::nullopt, V{{kA, H}, {kA, OutcomeKind::Unhelpful}}, "v1"},
       "candidate_verdict record IDs must not contain duplicates"},
      {"not a candidate", {std::nullopt, std::nullopt, V{{"cccccccccccc", H}}, "v1"},
       "candidate verdict record IDs must be a subset of candidate_record_ids"},
  };
  const std::vector<std::string> candidates{kA, kB};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Status st = validate_outcome_evaluation_evidence(c.evidence, candidates);
    if (*c.error == '\0') {
      EXPECT_TRUE(st.ok()) << st.message();
    } else {
      EXPECT_EQ(st.message(), c.error);
    }
  }
}

TEST(OutcomeReceiptRules, IdDependsOnSchemaNamespaceTaskAndAttempt) {
  EXPECT_EQ(outcome_receipt_id(1, "default", "t1", "a1"), "b8ebb147f13d7598c76ffe43");
  EXPECT_EQ(outcome_receipt_id(2, "default", "t1", "a1"), "1017ed1f9643439a24c5e434");
  EXPECT_EQ(outcome_receipt_id(1, "w\u00f6rk", "task ", "a"), "45e4dda10c8b845949fffe96");
}

OutcomeReceipt schema2_receipt() {
  OutcomeReceipt r = bare_receipt();
  r.schema_version = 2;
  r.supersedes_receipt_id = "rc0";
  r.logging_policy_id = "p1";
  r.selected_set_probability_bps = 2500;
  r.candidate_verdicts = {{kA, OutcomeKind::Helpful}, {kB, OutcomeKind::Inconclusive}};
  r.verifier_id = "v1";
  return r;
}

TEST(OutcomeReceiptRules, DigestMaterialAndDigest) {
  OutcomeReceipt one = bare_receipt();
  EXPECT_EQ(outcome_receipt_digest_material(one).value(),
            R"([1,"rc1","t1","l1","a1",["aaaaaaaaaaaa","bbbbbbbbbbbb"],["aaaaaaaaaaaa"],"unhelpful",null,)"
            R"("default",["agent"],1709251199123])");
  EXPECT_EQ(outcome_receipt_integrity_digest(one).value(),
            "b4473d15ac721ff265c3117e8c745c46b6c0e434b541c62291ba181860dcc5d7");

  // Evidence fields of a schema 1 receipt are not part of its material.
  OutcomeReceipt stray = one;
  stray.verifier_id = "v1";
  EXPECT_EQ(outcome_receipt_digest_material(stray).value(), outcome_receipt_digest_material(one).value());

  OutcomeReceipt escaped = one;
  escaped.task_id = "t\"1\\ \u00e9\x7f";
  escaped.provenance = {"a\x01\tb\n\r\b\f"};
  EXPECT_EQ(outcome_receipt_digest_material(escaped).value(),
            "[1,\"rc1\",\"t\\\"1\\\\ \u00e9\x7f\",\"l1\",\"a1\",[\"aaaaaaaaaaaa\",\"bbbbbbbbbbbb\"],"
            "[\"aaaaaaaaaaaa\"],\"unhelpful\",null,\"default\",[\"a\\u0001\\tb\\n\\r\\b\\f\"],1709251199123]");
  EXPECT_EQ(outcome_receipt_integrity_digest(escaped).value(),
            "134dcce790bce232abdf57f4aed013aadd9dcd4fcb784d640b120241696c5e4c");

  OutcomeReceipt two = schema2_receipt();
  EXPECT_EQ(outcome_receipt_digest_material(two).value(),
            R"([2,"rc1","t1","l1","a1",["aaaaaaaaaaaa","bbbbbbbbbbbb"],["aaaaaaaaaaaa"],"unhelpful","rc0",)"
            R"("default",["agent"],1709251199123,"p1",2500,[{"record_id":"aaaaaaaaaaaa","outcome":"helpful"},)"
            R"({"record_id":"bbbbbbbbbbbb","outcome":"inconclusive"}],"v1"])");
  EXPECT_EQ(outcome_receipt_integrity_digest(two).value(),
            "8031d696487efd21976287c474c73c901974374d73fa16bd1c610f92aff7e1fb");
  OutcomeReceipt verifier_only = one;
  verifier_only.schema_version = 2;
  verifier_only.candidate_verdicts = {{kA, OutcomeKind::Helpful}};
  verifier_only.verifier_id = "v1";
  EXPECT_EQ(outcome_receipt_integrity_digest(verifier_only).value(),
            "1929ffe85f57ea70fab5ac5bd7cb6aae282ecd2489589a6074a03ab78077f8a5")
      << "absent evidence parts are nulls";

  OutcomeReceipt three = one;
  three.schema_version = 3;
  EXPECT_EQ(outcome_receipt_integrity_digest(three).status().message(), "unsupported outcome receipt schema version 3");
}

TEST(OutcomeReceiptRules, EveryStoredFieldButTheDigestIsCovered) {
  using Edit = std::function<void(OutcomeReceipt&)>;
  const std::vector<std::pair<const char*, Edit>> edits = {
      {"a record id", [](auto& r) { r.selected_record_ids[0] = kB; }},
      {"candidate order", [](auto& r) { std::swap(r.candidate_record_ids[0], r.candidate_record_ids[1]); }},
      {"time", [](auto& r) { r.recorded_at_ms += 1; }},
      {"outcome", [](auto& r) { r.outcome = OutcomeKind::Helpful; }},
      {"lineage", [](auto& r) { r.lineage_id = "l2"; }},
      {"supersession", [](auto& r) { r.supersedes_receipt_id.reset(); }},
      {"provenance", [](auto& r) { r.provenance.push_back("x"); }},
      {"probability", [](auto& r) { r.selected_set_probability_bps = 2501; }},
      {"a verdict", [](auto& r) { r.candidate_verdicts[1].outcome = OutcomeKind::Helpful; }},
      {"verifier", [](auto& r) { r.verifier_id = "v2"; }},
  };
  const std::string digest = outcome_receipt_integrity_digest(schema2_receipt()).value();
  for (const auto& [what, edit] : edits) {
    OutcomeReceipt r = schema2_receipt();
    edit(r);
    EXPECT_NE(outcome_receipt_integrity_digest(r).value(), digest) << what;
  }
}

TEST(OutcomeReceiptRules, StoredReceiptChecks) {
  auto sealed = [](OutcomeReceipt r) {
    if (auto d = outcome_receipt_integrity_digest(r); d.ok()) r.integrity_digest = *d;
    return r;
  };
  OutcomeReceipt v1_with_evidence = bare_receipt();
  v1_with_evidence.logging_policy_id = "p1";
  v1_with_evidence.selected_set_probability_bps = 10;
  OutcomeReceipt v2_without = bare_receipt();
  v2_without.schema_version = 2;
  OutcomeReceipt v2_bad = schema2_receipt();
  v2_bad.selected_set_probability_bps = 0;
  OutcomeReceipt v9 = bare_receipt();
  v9.schema_version = 9;
  OutcomeReceipt altered = sealed(bare_receipt());
  altered.recorded_at_ms += 1;

  const struct {
    const char* what;
    OutcomeReceipt receipt;
    const char* error;
  } cases[] = {
      {"schema 1", sealed(bare_receipt()), ""},
      {"schema 2", sealed(schema2_receipt()), ""},
      {"schema 1 with evidence", sealed(v1_with_evidence),
       "schema-v1 outcome receipt must not contain evaluation evidence"},
      {"schema 2 without", sealed(v2_without), "schema-v2 outcome receipt requires evaluation evidence"},
      {"schema 2, evidence breaks a rule", sealed(v2_bad), "selected_set_probability_bps must be within 1..=10000"},
      {"schema 9", v9, "unsupported outcome receipt schema version 9"},
      {"altered after sealing", altered, "outcome receipt integrity mismatch: rc1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Status st = check_stored_outcome_receipt(c.receipt);
    if (*c.error == '\0') {
      EXPECT_TRUE(st.ok()) << st.message();
    } else {
      EXPECT_EQ(st.message(), c.error);
    }
  }
}

}  // namespace
}  // namespace vesk

// The dicts of outcome receipts (made in the core and converted), consequence units and applicability
// decisions.
#include "audit_dicts.h"

#include "audit/outcome_receipt_dict.h"
#include "binding/json_result.h"

#include <gtest/gtest.h>

#include "binding/embedded_python.h"

namespace vesk::py {
namespace {

class AuditDictsTest : public EmbeddedPython {};

OutcomeReceipt plain_receipt() {
  OutcomeReceipt r;
  r.receipt_id = "rc1";
  r.task_id = "t";
  r.lineage_id = "l";
  r.attempt_id = "a";
  r.candidate_record_ids = {"r1", "r2"};
  r.selected_record_ids = {"r1"};
  r.outcome = OutcomeKind::Unhelpful;
  r.namespace_ = "default";
  r.recorded_at_ms = 1700000000123;
  r.integrity_digest = "ab";
  return r;
}

TEST_F(AuditDictsTest, ReceiptWithoutEvaluationEvidence) {
  bind("r", to_py(outcome_receipt_to_dict(plain_receipt())));
  EXPECT_EQ(eval("list(r)"),
            "['schema_version', 'receipt_id', 'task_id', 'lineage_id', 'attempt_id', 'candidate_record_ids', "
            "'selected_record_ids', 'outcome', 'supersedes_receipt_id', 'namespace', 'provenance', 'recorded_at_ms', "
            "'logging_policy_id', 'selected_set_probability_bps', 'candidate_verdicts', 'verifier_id', "
            "'integrity_digest']");
  EXPECT_EQ(eval("(r['schema_version'], r['outcome'], r['supersedes_receipt_id'], r['recorded_at_ms'])"),
            "(1, 'unhelpful', None, 1700000000123)");
  EXPECT_EQ(eval("(r['logging_policy_id'], r['selected_set_probability_bps'], r['candidate_verdicts'], "
                 "r['verifier_id'])"),
            "(None, None, [], None)");
}

TEST_F(AuditDictsTest, ReceiptWithEvaluationEvidence) {
  OutcomeReceipt r = plain_receipt();
  r.logging_policy_id = "uniform";
  r.selected_set_probability_bps = 10000;
  r.candidate_verdicts = {{"r1", OutcomeKind::Helpful}, {"r2", OutcomeKind::Inconclusive}};
  r.verifier_id = "judge";
  bind("r", to_py(outcome_receipt_to_dict(r)));
  EXPECT_EQ(eval("(r['logging_policy_id'], r['selected_set_probability_bps'], r['verifier_id'])"),
            "('uniform', 10000, 'judge')");
  EXPECT_EQ(eval("r['candidate_verdicts']"),
            "[{'record_id': 'r1', 'outcome': 'helpful'}, {'record_id': 'r2', 'outcome': 'inconclusive'}]");
}

TEST_F(AuditDictsTest, ConsequenceUnitWithPolarityAndReadout) {
  ConsequenceUnit u;
  u.record_id = "r9";
  u.situation = "deploy on friday";
  u.action = "skip tests";
  u.consequence = " FAILED ";
  u.trust = 0;
  u.scope = {"ci", "prod"};
  u.provenance = {"user"};
  u.links = {{"b1", "refutes"}};
  u.namespace_ = "ops";
  u.captured_at = 12.5;
  bind("u", consequence_unit_dict(u));
  EXPECT_EQ(eval("list(u)"),
            "['record_id', 'situation', 'action', 'consequence', 'trust', 'scope', 'provenance', 'links', "
            "'namespace', 'captured_at', 'polarity', 'readout']");
  EXPECT_EQ(eval("(u['trust'], u['links'], u['captured_at'], u['polarity'])"),
            "(0, {'b1': 'refutes'}, 12.5, 'refutes')");
  EXPECT_EQ(eval("u['readout']"),
            "'state `deploy on friday` action `skip tests` consequence ` FAILED ` trust 0 scope [ci, prod]'");
}

TEST_F(AuditDictsTest, ApplicabilityItemNestsItsDecision) {
  Record rec;
  rec.id = "r1";
  rec.content = "use the staging cluster";
  rec.level = Level::Domain;
  rec.strength = 0.9f;
  rec.salience = 0.5f;
  rec.tags = {"ops"};
  rec.metadata = {{"applicability.require.env", "staging"}};
  ApplicabilityDecision d;
  d.record_id = "r1";
  d.decision = "use";
  d.requirements_total = 1;
  d.matched_fields = {"env"};
  d.reasons = {"all_requirements_satisfied"};
  bind("i", applicability_item_dict({rec, 0.25f, d}));
  EXPECT_EQ(eval("list(i)"),
            "['id', 'content', 'score', 'level', 'strength', 'salience', 'tags', 'source_type', 'namespace', "
            "'semantic_type', 'metadata', 'applicability']");
  EXPECT_EQ(eval("(i['score'], i['level'], i['strength'], i['salience'], i['source_type'], i['semantic_type'])"),
            "(0.25, 'DOMAIN', 0.8999999761581421, 0.5, 'recorded', 'fact')");
  EXPECT_EQ(eval("i['applicability']"),
            "{'record_id': 'r1', 'decision': 'use', 'requirements_total': 1, 'matched_fields': ['env'], "
            "'missing_fields': [], 'invalid_requirement_fields': [], 'reasons': ['all_requirements_satisfied'], "
            "'conflicting_fields': [], 'mismatches': []}");
}

TEST_F(AuditDictsTest, ApplicabilityConflictsAndMismatches) {
  ApplicabilityDecision d;
  d.record_id = "r1";
  d.decision = "reject";
  d.conflicting_fields = {{"os", {"linux", "mac"}}};
  d.mismatches = {{"env", "Staging", {"prod"}}};
  bind("d", applicability_decision_dict(d));
  EXPECT_EQ(eval("(d['decision'], d['conflicting_fields'], d['mismatches'])"),
            "('reject', [{'field': 'os', 'values': ['linux', 'mac']}], "
            "[{'field': 'env', 'expected': 'Staging', 'actual': ['prod']}])");
}

}  // namespace
}  // namespace vesk::py

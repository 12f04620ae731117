#include "audit/outcome_receipt.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "audit/receipt_fixture.h"

namespace vesk {
namespace {

using ::testing::StartsWith;
using testing::bare_receipt;
using testing::kBareReceipt;

TEST(OutcomeReceipt, WrittenFormsRoundTrip) {
  OutcomeReceipt bare = bare_receipt();
  EXPECT_EQ(json_to_string(bare), kBareReceipt) << "a receipt without evidence writes 13 keys";

  OutcomeReceipt full = bare;
  full.schema_version = 2;
  full.supersedes_receipt_id = "rc0";
  full.logging_policy_id = "p1";
  full.selected_set_probability_bps = 2500;
  full.candidate_verdicts = {{"aaaaaaaaaaaa", OutcomeKind::Helpful}, {"bbbbbbbbbbbb", OutcomeKind::Inconclusive}};
  full.verifier_id = "v1";
  EXPECT_EQ(json_to_string(full),
            R"({"schema_version":2,"receipt_id":"rc1","task_id":"t1","lineage_id":"l1","attempt_id":"a1",)"
            R"("candidate_record_ids":["aaaaaaaaaaaa","bbbbbbbbbbbb"],"selected_record_ids":["aaaaaaaaaaaa"],)"
            R"("outcome":"unhelpful","supersedes_receipt_id":"rc0","namespace":"default","provenance":["agent"],)"
            R"("recorded_at_ms":1709251199123,"logging_policy_id":"p1","selected_set_probability_bps":2500,)"
            R"("candidate_verdicts":[{"record_id":"aaaaaaaaaaaa","outcome":"helpful"},)"
            R"({"record_id":"bbbbbbbbbbbb","outcome":"inconclusive"}],"verifier_id":"v1",)"
            R"("integrity_digest":"ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"})");
  for (const OutcomeReceipt& r : {bare, full}) EXPECT_EQ(json_parse<OutcomeReceipt>(json_to_string(r)).value(), r);
}

TEST(OutcomeReceipt, ReadingRules) {
  const std::string bare = kBareReceipt;
  auto replaced = [&](std::string_view from, std::string_view to) {
    std::string s = bare;
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  const struct {
    std::string json;
    const char* error;  // empty: reads
  } cases[] = {
      {replaced(R"("namespace":"default",)", ""), "missing field `namespace`"},
      {replaced(R"("schema_version":1,)", ""), "missing field `schema_version`"},
      {replaced(R"("supersedes_receipt_id":null,)", ""), ""},
      {replaced(R"("outcome":"unhelpful")", R"("outcome":{"unhelpful":null})"), ""},
      {replaced(R"("outcome":"unhelpful")", R"("outcome":"Unhelpful")"), "unknown variant `Unhelpful`"},
      {replaced(R"("schema_version":1)", R"("schema_version":65536)"), "invalid value: integer `65536`, expected u16"},
      {replaced(R"("recorded_at_ms":1709251199123)", R"("recorded_at_ms":-1)"), "invalid value: integer `-1`"},
      {replaced(R"("task_id":"t1")", R"("task_id":"t1","extra":{"x":[1]},"logging_policy_id":null)"), ""},
      {replaced(R"("task_id":"t1")", R"("task_id":"t1","task_id":"t2")"), "duplicate field `task_id`"},
      {replaced(R"("provenance":["agent"])", R"("provenance":["agent"],"selected_set_probability_bps":null)"), ""},
      {replaced(R"("provenance":["agent"])", R"("provenance":["agent"],"selected_set_probability_bps":70000)"),
       "invalid value: integer `70000`, expected u16"},
      {replaced(R"("provenance":["agent"])", R"("provenance":["agent"],"candidate_verdicts":[["aaaaaaaaaaaa"]])"),
       "invalid length 1, expected struct CandidateOutcomeVerdict with 2 elements"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    auto got = json_parse<OutcomeReceipt>(c.json);
    if (*c.error == '\0') {
      ASSERT_TRUE(got.ok()) << got.status().message();
      EXPECT_EQ(*got, bare_receipt());
    } else {
      ASSERT_FALSE(got.ok());
      EXPECT_THAT(got.status().message(), StartsWith(c.error));
    }
  }
  auto verdicts = json_parse<OutcomeReceipt>(
      replaced(R"("provenance":["agent"])", R"("provenance":["agent"],"candidate_verdicts":[["b","helpful"]])"));
  ASSERT_TRUE(verdicts.ok()) << verdicts.status().message();
  EXPECT_EQ(verdicts->candidate_verdicts, (std::vector<CandidateOutcomeVerdict>{{"b", OutcomeKind::Helpful}}));
}

}  // namespace
}  // namespace vesk

#include "audit/audit_entry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "audit/receipt_fixture.h"

namespace vesk {
namespace {

using ::testing::StartsWith;
using testing::bare_receipt;
using testing::kBareReceipt;

AuditEntry entry(AuditAction action, std::optional<std::string> context = std::nullopt) {
  return AuditEntry{1709251199000, "2024-02-29T23:59:59Z", std::move(action), std::move(context),
                    "session_1709251100000"};
}

TEST(AuditEntry, WrittenLinesAreByteExact) {
  const std::string head = R"({"timestamp":1709251199000,"time_iso":"2024-02-29T23:59:59Z","action":)";
  const std::string tail = R"(,"session_id":"session_1709251100000"})";
  const struct {
    AuditEntry entry;
    std::string action;
  } cases[] = {
      {entry(AuditAction::Close{}), R"("close")"},
      {entry(AuditAction::Retrieve{"what do I like", 3}),
       R"({"retrieve":{"query_preview":"what do I like","results_count":3}})"},
      {entry(AuditAction::Store{"aaaaaaaaaaaa", "I like tea"}, "ingest"),
       R"({"store":{"id":"aaaaaaaaaaaa","text_preview":"I like tea"}},"context":"ingest")"},
      {entry(AuditAction::Purge{"d1g", "history", {"journal", "log"}}),
       R"({"purge":{"record_digest":"d1g","scope":"history","removed_surfaces":["journal","log"]}})"},
      {entry(AuditAction::Correction{"belief", "b1", "retract", "wrong"}),
       R"({"correction":{"target_kind":"belief","target_id":"b1","operation":"retract","reason":"wrong"}})"},
      {entry(AuditAction::Synthesize{{"a", "b"}, "c"}), R"({"synthesize":{"source_ids":["a","b"],"result_id":"c"}})"},
      {entry(AuditAction::IntegrityCheck{true}), R"({"integrity_check":{"passed":true}})"},
      {entry(AuditAction::EncryptionEnabled{}), R"("encryption_enabled")"},
      {entry(AuditAction::OutcomeReceipt{bare_receipt()}),
       std::string(R"({"outcome_receipt":{"receipt":)") + kBareReceipt + "}}"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(serialize_audit_entry(c.entry), head + c.action + tail);
    auto back = parse_audit_entry(serialize_audit_entry(c.entry));
    ASSERT_TRUE(back.ok()) << back.status().message();
    EXPECT_EQ(*back, c.entry);
  }
  // The remaining variants round-trip too.
  for (AuditAction a : {AuditAction(AuditAction::Open{}), AuditAction(AuditAction::Delete{"x"}),
                        AuditAction(AuditAction::Update{"y"}), AuditAction(AuditAction::Crystallize{"z", "t"}),
                        AuditAction(AuditAction::Flush{})}) {
    EXPECT_EQ(parse_audit_entry(serialize_audit_entry(entry(a))).value().action, a) << a.tag();
  }
}

TEST(AuditEntry, ReadingRules) {
  auto line = [](std::string action, std::string more = "") {
    return R"({"timestamp":5,"time_iso":"1970-01-01T00:00:00Z","action":)" + action + more +
           R"(,"session_id":"session_1"})";
  };
  const struct {
    std::string json;
    const char* error;  // empty: reads
  } cases[] = {
      {line(R"("close")"), ""},
      {line(R"({"close":null})"), ""},
      {line(R"("close")", R"(,"context":null,"extra":[1,{"a":2}])"), ""},
      {line(R"("store")"), "invalid type: unit variant, expected struct variant"},
      {line(R"({"store":{"id":"a"}})"), "missing field `text_preview`"},
      {line(R"({"store":{"id":"a","id":"b","text_preview":""}})"), "duplicate field `id`"},
      {line(R"({"store":["a","b"]})"), ""},
      {line(R"({"store":["a"]})"), "invalid length 1, expected struct variant AuditAction::Store with 2 elements"},
      {line(R"({"store":"a"})"), "invalid type: string \"a\", expected struct variant AuditAction::Store"},
      {line(R"({"retrieve":{"query_preview":"q","results_count":-3}})"), "invalid value: integer `-3`, expected u64"},
      {line(R"("opened")"),
       "unknown variant `opened`, expected one of `open`, `store`, `retrieve`, `delete`, `purge`, `update`, "
       "`crystallize`, `synthesize`, `correction`, `outcome_receipt`, `flush`, `close`, `encryption_enabled`, "
       "`integrity_check`"},
      {line("7"), "expected value"},
      {R"({"timestamp":5,"time_iso":"x","action":"close"})", "missing field `session_id`"},
      {R"({"time_iso":"x","action":"close","session_id":"s"})", "missing field `timestamp`"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    auto got = parse_audit_entry(c.json);
    if (*c.error == '\0') {
      EXPECT_TRUE(got.ok()) << got.status().message();
    } else {
      ASSERT_FALSE(got.ok());
      EXPECT_THAT(got.status().message(), StartsWith(c.error));
    }
  }
}

}  // namespace
}  // namespace vesk

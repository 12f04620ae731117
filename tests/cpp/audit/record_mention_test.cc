// Which audit entries name a purged record.
#include "audit/record_mention.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

AuditEntry entry(AuditAction action, std::optional<std::string> context = std::nullopt) {
  return AuditEntry{1, "1970-01-01T00:00:01Z", std::move(action), std::move(context), "session_1"};
}

TEST(RecordMention, ActionRulesAndContext) {
  const PurgedRecordTrace record("rec-1", "Deploy the new release to the staging cluster on Friday morning with build_7731");
  OutcomeReceipt receipt;
  receipt.candidate_record_ids = {"other", "rec-1"};
  const struct {
    AuditEntry entry;
    bool names;
  } cases[] = {
      {entry(AuditAction::Store{"rec-1", "x"}), true},
      {entry(AuditAction::Store{"rec-2", "x"}), false},
      {entry(AuditAction::Delete{"rec-1"}), true},
      {entry(AuditAction::Update{"rec-1"}), true},
      {entry(AuditAction::Crystallize{"rec-1", "t"}), true},
      {entry(AuditAction::Synthesize{{"a", "rec-1"}, "r"}), true},
      {entry(AuditAction::Synthesize{{"a"}, "rec-1"}), true},
      {entry(AuditAction::Correction{"record", "rec-1", "op", "why"}), true},
      {entry(AuditAction::Correction{"belief", "b1", "op", "why"}, "about rec-1"), true},
      {entry(AuditAction::Correction{"belief", "b1", "op", "why"}, "about rec-2"), false},
      {entry(AuditAction::OutcomeReceipt{receipt}), true},
      {entry(AuditAction::Purge{"digest", "history", {"active"}}), false},
      {entry(AuditAction::Open{}, "quoting: Deploy the new release to the staging cluster on F..."), true},
      {entry(AuditAction::Open{}, "quoting: Deploy the new release"), false},
      // retrieve: the whole preview, a long part of it, a long query the
      // content holds, an identifier-like token; short words only: kept.
      {entry(AuditAction::Retrieve{"Deploy the new release to the staging cluster on F", 1}), true},
      {entry(AuditAction::Retrieve{"xx Deploy the new release to the staging cluster on F yy", 1}), true},
      {entry(AuditAction::Retrieve{"  the staging cluster  ", 1}), true},
      {entry(AuditAction::Retrieve{"when is build_7731 out", 1}), true},
      {entry(AuditAction::Retrieve{"staging on friday", 1}), false},
      {entry(AuditAction::Retrieve{"Deploy to", 1}), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(audit_entry_names_record(c.entry, record), c.names) << serialize_audit_entry(c.entry);
  }
}

TEST(RecordMention, ShortPreviewMatchesOnlyExactly) {
  // A record whose whole text is "ok" does not take every entry whose
  // context or query happens to hold "ok" with it.
  const PurgedRecordTrace record("rec-ok", "ok");
  EXPECT_FALSE(audit_entry_names_record(entry(AuditAction::Open{}, "the token is ok now"), record));
  EXPECT_FALSE(audit_entry_names_record(entry(AuditAction::Retrieve{"is it ok", 1}), record));
  EXPECT_TRUE(audit_entry_names_record(entry(AuditAction::Retrieve{"ok", 1}), record));
  EXPECT_TRUE(audit_entry_names_record(entry(AuditAction::Open{}, "rec-ok"), record));
}

TEST(RecordMention, IdentifierLikeTokens) {
  EXPECT_EQ(identifier_like_tokens("see build_7731 and abcdefgh and ab_c and x-1234567 ünïcode_1"),
            (std::vector<std::string_view>{"build_7731", "x-1234567", "ünïcode_1"}));
  EXPECT_TRUE(identifier_like_tokens("").empty());
}

}  // namespace
}  // namespace vesk

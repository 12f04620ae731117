// The correction log read back from audit journal files: entries written by
// the journal itself, then lines added by hand to show each rule.
#include "reports/correction_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "audit/audit_entry.h"
#include "base/fixed_env.h"
#include "base/hex.h"
#include "storage/audit_journal.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::FixedEnv;
using testing::slurp;
using testing::spit;
using testing::TempDir;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

AuditAction correction(std::string kind, std::string id, std::string op, std::string reason) {
  return AuditAction::Correction{std::move(kind), std::move(id), std::move(op), std::move(reason)};
}

std::vector<std::string> operations(const std::vector<CorrectionLogEntry>& log) {
  std::vector<std::string> out;
  for (const CorrectionLogEntry& e : log) out.push_back(e.operation);
  return out;
}

// A journal of one session in `dir` holding, among other entries, three
// corrections: deprecate, world_refute, plasticity.
fs::path write_journal(const fs::path& dir, StoreKey key, FixedEnv& env) {
  auto journal = open_audit_session(dir, key, env);
  EXPECT_TRUE(journal.ok());
  auto& j = **journal;
  EXPECT_TRUE(j.append_audit_entry(AuditAction::Store{"r1", "text"}).ok());
  EXPECT_TRUE(j.append_audit_entry(correction("belief", "b1", "deprecate", "wrong")).ok());
  env.advance(1.5);
  EXPECT_TRUE(j.append_audit_entry(correction("belief", "b2", "world_refute", "consequence_unit:u1")).ok());
  EXPECT_TRUE(j.append_audit_entry(AuditAction::Flush{}).ok());
  EXPECT_TRUE(j.append_audit_entry(correction("experience", "e1", "plasticity", "plasticity:a:b")).ok());
  return j.path();
}

void append(const fs::path& file, const std::string& bytes) { spit(file, slurp(file) + bytes); }

std::string sealed_line(const SecretKey& key, const std::string& json) {
  auto sealed = seal_payload(&key, json);
  EXPECT_TRUE(sealed.ok());
  return "AEF1:" + hex_encode(*sealed);
}

const char* const kPlainCorrection =
    R"({"timestamp":1,"time_iso":"1970-01-01T00:00:00Z","action":{"correction":{"target_kind":"policy_hint",)"
    R"("target_id":"p1","operation":"retract","reason":"r"}},"session_id":"session_1"})";

TEST(CorrectionLog, ReadsTheCorrectionsOfAPlainJournalInFileOrder) {
  TempDir dir;
  FixedEnv env(UtcInstant{1'750'000'000, 250'000'000});
  const fs::path file = write_journal(dir.path(), nullptr, env);
  const auto log = read_correction_log(env, file, nullptr);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], (CorrectionLogEntry{1'750'000'000'250, "2025-06-15T15:06:40Z", "belief", "b1", "deprecate", "wrong",
                                        "session_1750000000250"}));
  EXPECT_EQ(log[1].timestamp, 1'750'000'001'750u);
  EXPECT_THAT(operations(log), ElementsAre("deprecate", "world_refute", "plasticity"));
}

TEST(CorrectionLog, ALineThatIsNoAuditEntryIsSkippedAlone) {
  TempDir dir;
  FixedEnv env;
  const fs::path file = write_journal(dir.path(), nullptr, env);
  append(file, "{not json\n\n{\"timestamp\":1}\n" + std::string(kPlainCorrection) + "\n");
  EXPECT_THAT(operations(read_correction_log(env, file, nullptr)),
              ElementsAre("deprecate", "world_refute", "plasticity", "retract"));
}

TEST(CorrectionLog, DamageThatEmptiesTheWholeLog) {
  const SecretKey key = SecretKey::random();
  const SecretKey other = SecretKey::random();
  struct Case {
    const char* name;
    bool keyed;
    std::string extra;  // appended after the journal's own lines
  };
  const std::vector<Case> cases = {
      {"invalid UTF-8", false, "{\"x\":\"\xff\"}\n"},
      {"sealed line in a plain store", false, sealed_line(key, kPlainCorrection) + "\n"},
      {"plain line in a keyed store", true, std::string(kPlainCorrection) + "\n"},
      {"empty line in a keyed store", true, "\n"},
      {"bad hex", true, "AEF1:41454631zz\n"},
      {"sealed under another key", true, sealed_line(other, kPlainCorrection) + "\n"},
      {"sealed bytes that are not UTF-8", true, sealed_line(key, "\xff\xfe") + "\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    FixedEnv env;
    StoreKey store_key = c.keyed ? std::make_shared<const SecretKey>(key) : nullptr;
    const fs::path file = write_journal(dir.path(), store_key, env);
    ASSERT_EQ(read_correction_log(env, file, store_key.get()).size(), 3u) << c.name;
    append(file, c.extra);
    EXPECT_THAT(read_correction_log(env, file, store_key.get()), IsEmpty()) << c.name;
  }
}

TEST(CorrectionLog, SealedLinesOpenWithTheStoreKey) {
  TempDir dir;
  FixedEnv env;
  StoreKey key = std::make_shared<const SecretKey>(SecretKey::random());
  const fs::path file = write_journal(dir.path(), key, env);
  append(file, sealed_line(*key, kPlainCorrection) + "\n");
  EXPECT_THAT(operations(read_correction_log(env, file, key.get())),
              ElementsAre("deprecate", "world_refute", "plasticity", "retract"));
  EXPECT_THAT(read_correction_log(env, file, nullptr), IsEmpty());
}

TEST(CorrectionLog, ALastLineWithoutLineFeedIsAnEntryStillBeingWritten) {
  // Whether sealed or plain, and wherever the write stopped, the finished
  // entries stay readable.
  const SecretKey key = SecretKey::random();
  const std::string sealed = sealed_line(key, kPlainCorrection);
  const std::string plain = kPlainCorrection;
  struct Case {
    bool keyed;
    std::string partial;
  };
  const std::vector<Case> cases = {
      {false, plain.substr(0, 40)},
      {false, plain},                    // whole, but its line feed not yet written
      {false, "{\"x\":\"\xc3"},          // cut inside a character
      {true, sealed.substr(0, 3)},
      {true, sealed.substr(0, 101)},     // odd hex
      {true, sealed},
  };
  for (const Case& c : cases) {
    TempDir dir;
    FixedEnv env;
    StoreKey store_key = c.keyed ? std::make_shared<const SecretKey>(key) : nullptr;
    const fs::path file = write_journal(dir.path(), store_key, env);
    append(file, c.partial);
    EXPECT_THAT(operations(read_correction_log(env, file, store_key.get())),
                ElementsAre("deprecate", "world_refute", "plasticity"))
        << c.partial.size();
  }
}

TEST(CorrectionLog, MissingFileAndLongJournalsSpanningReadChunks) {
  TempDir dir;
  FixedEnv env;
  EXPECT_THAT(read_correction_log(env, dir / "brain.audit", nullptr), IsEmpty());
  // Lines longer than the read chunk, and many of them, read whole.
  const fs::path file = write_journal(dir.path(), nullptr, env);
  std::string reason(100'000, 'r');
  std::string big = kPlainCorrection;
  big.replace(big.find("\"reason\":\"r\""), 12, "\"reason\":\"" + reason + "\"");
  std::string bytes;
  for (int i = 0; i < 3; ++i) bytes += big + "\n";
  append(file, bytes);
  const auto log = read_correction_log(env, file, nullptr);
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[5].reason, reason);
}

TEST(CorrectionLog, TargetFilterIsExact) {
  std::vector<CorrectionLogEntry> log = {
      {1, "", "belief", "b1", "deprecate", "", ""},
      {2, "", "Belief", "b1", "deprecate", "", ""},
      {3, "", "belief", " b1", "deprecate", "", ""},
      {4, "", "belief", "b1", "world_confirm", "", ""},
  };
  const auto hits = correction_log_for_target(log, "belief", "b1");
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].timestamp, 1u);
  EXPECT_EQ(hits[1].timestamp, 4u);
}

}  // namespace
}  // namespace vesk

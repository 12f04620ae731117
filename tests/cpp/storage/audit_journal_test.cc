#include "storage/audit_journal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "audit/audit_entry.h"
#include "base/utc_time.h"
#include "base/fixed_env.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::FixedEnv;
using testing::slurp;
using testing::spit;
using testing::TempDir;
using ::testing::ElementsAre;
using ::testing::StartsWith;

std::vector<std::string> lines_of(const fs::path& p) {
  std::vector<std::string> out;
  std::istringstream in(slurp(p));
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::unique_ptr<AuditJournal> open_ok(const fs::path& dir, StoreKey key, Env& env, AuditJournalOptions o = {}) {
  auto j = open_audit_session(dir, std::move(key), env, std::move(o));
  EXPECT_TRUE(j.ok()) << j.status().message();
  return j.ok() ? std::move(j).value() : nullptr;
}

// A clock stopped at Unix milliseconds `ms`.
FixedEnv clock_at(uint64_t ms) { return FixedEnv(UtcInstant{static_cast<int64_t>(ms / 1000), static_cast<uint32_t>(ms % 1000) * 1'000'000}); }

AuditJournalOptions rotating_at(uint64_t rotate_bytes) {
  AuditJournalOptions o;
  o.rotate_bytes = rotate_bytes;
  return o;
}

constexpr uint64_t kLeapSecond = 1709251199000;  // 2024-02-29T23:59:59Z

TEST(AuditJournal, LinesAreByteExactAndDroppingAppendsClose) {
  TempDir dir;
  FixedEnv clock = clock_at(kLeapSecond);
  auto j = open_ok(dir.path(), nullptr, clock);
  EXPECT_EQ(j->session_id(), "session_1709251199000");
  ASSERT_TRUE(j->append_audit_entry(AuditAction::Retrieve{"tea?", 3}).ok());
  ASSERT_TRUE(j->append_audit_entry(AuditAction::Delete{"aaaaaaaaaaaa"}, "user asked").ok());
  EXPECT_EQ(lines_of(dir / "brain.audit").size(), 2u) << "each line is in the file when the append returns";
  j.reset();
  EXPECT_EQ(slurp(dir / "brain.audit"),
            R"({"timestamp":1709251199000,"time_iso":"2024-02-29T23:59:59Z",)"
            R"("action":{"retrieve":{"query_preview":"tea?","results_count":3}},"session_id":"session_1709251199000"})"
            "\n"
            R"({"timestamp":1709251199000,"time_iso":"2024-02-29T23:59:59Z","action":{"delete":{"id":"aaaaaaaaaaaa"}},)"
            R"("context":"user asked","session_id":"session_1709251199000"})"
            "\n"
            R"({"timestamp":1709251199000,"time_iso":"2024-02-29T23:59:59Z","action":"close",)"
            R"("session_id":"session_1709251199000"})"
            "\n");
}

TEST(AuditJournal, SessionsFollowTheClock) {
  TempDir dir;
  FixedEnv clock = clock_at(kLeapSecond);
  const uint64_t before = kLeapSecond;
  std::string first_session;
  {
    auto j = open_ok(dir.path(), nullptr, clock);
    first_session = j->session_id();
    ASSERT_TRUE(j->append_audit_entry(AuditAction::Store{"aaaaaaaaaaaa", "hello"}).ok());
  }
  clock.advance(0.002);
  { auto j = open_ok(dir.path(), nullptr, clock); }
  const uint64_t after = kLeapSecond + 2;

  auto lines = lines_of(dir / "brain.audit");
  ASSERT_EQ(lines.size(), 3u) << "the second session appends behind the first";
  std::vector<std::string> sessions;
  for (const auto& line : lines) {
    auto e = parse_audit_entry(line);
    ASSERT_TRUE(e.ok()) << e.status().message();
    EXPECT_GE(e->timestamp, before);
    EXPECT_LE(e->timestamp, after);
    EXPECT_EQ(e->time_iso, time_iso(e->timestamp / 1000));
    sessions.push_back(e->session_id);
  }
  EXPECT_EQ(sessions[0], first_session);
  EXPECT_EQ(sessions[1], first_session);
  EXPECT_NE(sessions[2], first_session);
  EXPECT_THAT(sessions[2], StartsWith("session_"));
}

TEST(AuditJournal, KeyedLinesAreSealedHex) {
  TempDir dir;
  StoreKey key = std::make_shared<const SecretKey>(SecretKey::random());
  {
    FixedEnv clock = clock_at(kLeapSecond);
    auto j = open_ok(dir.path(), key, clock);
    ASSERT_TRUE(j->append_audit_entry(AuditAction::Store{"aaaaaaaaaaaa", "secret text"}).ok());
  }
  auto lines = lines_of(dir / "brain.audit");
  ASSERT_EQ(lines.size(), 2u);
  const std::string close_json =
      R"({"timestamp":1709251199000,"time_iso":"2024-02-29T23:59:59Z","action":"close","session_id":"session_1709251199000"})";
  EXPECT_THAT(lines[1], StartsWith("AEF1:41454631"));
  EXPECT_EQ(lines[1].size(), 5 + 2 * (close_json.size() + 32));
  EXPECT_EQ(lines[0].find("secret"), std::string::npos);
  EXPECT_EQ(audit_line_json(key.get(), lines[1]).value(), close_json);
  EXPECT_THAT(audit_line_json(key.get(), lines[0]).value(), StartsWith(R"({"timestamp":1709251199000,)"));

  EXPECT_EQ(audit_line_json(key.get(), close_json).status().message(),
            "Plaintext payload in encrypted memory; explicit migration required");
  EXPECT_EQ(audit_line_json(nullptr, lines[1]).status().message(), "Password required for encrypted memory");
  EXPECT_FALSE(audit_line_json(key.get(), lines[1].substr(0, lines[1].size() - 1)).ok());
}

TEST(AuditJournal, RotatesOnlyPastTheLimitUnderUniqueNames) {
  TempDir dir;
  const std::string line = R"({"timestamp":1709251199000,"time_iso":"2024-02-29T23:59:59Z","action":"flush",)"
                           R"("session_id":"session_1709251199000"})"
                           "\n";
  // The limit is exactly two lines: the second line fills the file without
  // rotating it, the third takes it past and is the last of the rotated file.
  FixedEnv clock = clock_at(kLeapSecond);
  auto j = open_ok(dir.path(), nullptr, clock, rotating_at(2 * line.size()));
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(j->append_audit_entry(AuditAction::Flush{}).ok());
  EXPECT_EQ(slurp(dir / "brain.audit").size(), 2 * line.size());
  EXPECT_FALSE(fs::exists(dir / "brain.audit.1709251199000"));

  ASSERT_TRUE(j->append_audit_entry(AuditAction::Flush{}).ok());
  EXPECT_EQ(slurp(dir / "brain.audit.1709251199000"), line + line + line);
  EXPECT_EQ(slurp(dir / "brain.audit"), "");

  // A second rotation in the same millisecond takes the next free number.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(j->append_audit_entry(AuditAction::Flush{}).ok());
  EXPECT_EQ(slurp(dir / "brain.audit.1709251199000"), line + line + line);
  EXPECT_EQ(slurp(dir / "brain.audit.1709251199001"), line + line + line);
  ASSERT_TRUE(j->append_audit_entry(AuditAction::Flush{}).ok());
  EXPECT_EQ(slurp(dir / "brain.audit"), line);
}

TEST(AuditJournal, ConcurrentAppendsAndRotationsLoseNoLine) {
  TempDir dir;
  AuditJournalOptions o;
  o.rotate_bytes = 20000;
  auto j = open_ok(dir.path(), nullptr, Env::Default(), o);
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 300; ++i) {
        if (!j->append_audit_entry(AuditAction::Store{std::to_string(t), std::to_string(i)}).ok()) ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  j.reset();
  EXPECT_EQ(failures.load(), 0);
  size_t total = 0;
  auto names = Env::Default().list_dir(dir.path());
  ASSERT_TRUE(names.ok());
  EXPECT_GT(names->size(), 2u) << "the test rotated the journal more than once";
  for (const auto& name : *names) {
    auto lines = lines_of(dir / name);
    total += lines.size();
    for (const auto& l : lines) EXPECT_TRUE(parse_audit_entry(l).ok()) << name << ": " << l;
    if (name != "brain.audit") {
      EXPECT_GT(fs::file_size(dir / name), 20000u) << name;
    }
  }
  EXPECT_EQ(total, 4u * 300u + 1u) << "no line lost, none replaced by a rotation";
}

TEST(AuditJournal, AFailedRotationKeepsAuditing) {
  TempDir dir;
  FixedEnv clock = clock_at(kLeapSecond);
  FaultEnv env(clock);
  auto j = open_ok(dir.path(), nullptr, env, rotating_at(10));
  env.fail_rename("brain.audit.");
  EXPECT_EQ(j->append_audit_entry(AuditAction::Flush{}).message(), "injected rename failure");
  EXPECT_EQ(j->append_audit_entry(AuditAction::Flush{}).message(), "injected rename failure");
  EXPECT_EQ(lines_of(dir / "brain.audit").size(), 2u) << "both lines written to the old file";
  env.clear();
  ASSERT_TRUE(j->append_audit_entry(AuditAction::Flush{}).ok());
  EXPECT_EQ(lines_of(dir / "brain.audit.1709251199000").size(), 3u);
  ASSERT_TRUE(j->append_audit_entry(AuditAction::Flush{}).ok());
  EXPECT_EQ(lines_of(dir / "brain.audit.1709251199001").size(), 1u);
}

TEST(AuditJournal, TornLinesAreTakenBack) {
  TempDir dir;
  FixedEnv clock = clock_at(kLeapSecond);
  FaultEnv env(clock);
  // A crash left a line without its line feed: the next session cuts it.
  spit(dir / "brain.audit", "{\"timestamp\":1}\n{\"timesta");
  auto j = open_ok(dir.path(), nullptr, env);
  EXPECT_EQ(slurp(dir / "brain.audit"), "{\"timestamp\":1}\n");

  env.tear_writes_after("brain.audit", 10);
  EXPECT_FALSE(j->append_audit_entry(AuditAction::Flush{}).ok());
  env.clear();
  EXPECT_EQ(slurp(dir / "brain.audit"), "{\"timestamp\":1}\n") << "the partial line was taken back";
  ASSERT_TRUE(j->append_audit_entry(AuditAction::Flush{}).ok());
  auto lines = lines_of(dir / "brain.audit");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(parse_audit_entry(lines[1]).ok());

  spit(dir / "other", "");
  auto bad = open_audit_session(dir / "other", nullptr, Env::Default());
  EXPECT_FALSE(bad.ok()) << "a store directory that is a file cannot hold the journal";
}

}  // namespace
}  // namespace vesk

// The receipt index of the audit journal against a full read of the files:
// always the same answer, and no read of the files while only the journal
// wrote to them.
#include "storage/outcome_receipt_index.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "audit/audit_entry.h"
#include "audit/outcome_receipt_integrity.h"
#include "storage/audit_journal.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::slurp;
using testing::spit;
using testing::TempDir;

// Counts the audit files opened for reading, and runs a hook once, in the
// middle of the next read of a file whose path contains a given text.
class WatchingEnv : public FaultEnv {
 public:
  Result<std::unique_ptr<File>> open(const fs::path& path, OpenMode mode) override {
    auto f = FaultEnv::open(path, mode);
    if (!f.ok() || mode != OpenMode::kRead) return f;
    ++reads;
    return std::unique_ptr<File>(new HookedFile(this, path.string(), std::move(f).value()));
  }
  void during_read_of(std::string match, std::function<void()> hook) {
    hook_match_ = std::move(match);
    hook_ = std::move(hook);
  }

  std::atomic<int> reads{0};

 private:
  class HookedFile : public File {
   public:
    HookedFile(WatchingEnv* env, std::string path, std::unique_ptr<File> base)
        : env_(env), path_(std::move(path)), base_(std::move(base)) {}
    Result<size_t> read_at(uint64_t o, char* d, size_t n) override {
      if (env_->hook_ && path_.find(env_->hook_match_) != std::string::npos) std::exchange(env_->hook_, {})();
      return base_->read_at(o, d, n);
    }
    Status write_at(uint64_t o, std::string_view d) override { return base_->write_at(o, d); }
    Status sync() override { return base_->sync(); }
    Status truncate(uint64_t s) override { return base_->truncate(s); }
    Result<uint64_t> size() override { return base_->size(); }
    Result<FileStat> stat() override { return base_->stat(); }
    Status close() override { return base_->close(); }

   private:
    WatchingEnv* env_;
    std::string path_;
    std::unique_ptr<File> base_;
  };

  std::string hook_match_;
  std::function<void()> hook_;
};

// A receipt of task `task` that passes every check.
OutcomeReceipt sealed_receipt(const std::string& task, uint64_t ms, std::string lineage = "l1") {
  OutcomeReceipt r;
  r.task_id = task;
  r.lineage_id = std::move(lineage);
  r.attempt_id = "a1";
  r.candidate_record_ids = {"aaaaaaaaaaaa"};
  r.selected_record_ids = {"aaaaaaaaaaaa"};
  r.namespace_ = "default";
  r.provenance = {"test"};
  r.recorded_at_ms = ms;
  r.receipt_id = outcome_receipt_id(1, r.namespace_, r.task_id, r.attempt_id);
  r.integrity_digest = outcome_receipt_integrity_digest(r).value();
  return r;
}

std::string receipt_line(const OutcomeReceipt& r) {
  return serialize_audit_entry(AuditEntry{r.recorded_at_ms, "2024-01-01T00:00:00Z", AuditAction::OutcomeReceipt{r},
                                          std::nullopt, "session_1"}) +
         "\n";
}

std::vector<std::string> tasks(const std::vector<OutcomeReceipt>& rs) {
  std::vector<std::string> out;
  for (const OutcomeReceipt& r : rs) out.push_back(r.task_id);
  return out;
}

// What a full read of the directory gives, as the listing of its tasks, or
// the failure's message.
std::vector<std::string> full_read(const fs::path& dir, const SecretKey* key = nullptr) {
  auto files = audit_file_states(dir, Env::Default());
  EXPECT_TRUE(files.ok()) << files.status().message();
  auto read = read_outcome_receipts(dir, *files, nullptr, key, Env::Default());
  EXPECT_TRUE(read.ok()) << read.status().message();
  if (!read->failure.ok()) return {read->failure.message()};
  return tasks(read->receipts.list());
}

// The journal's answer in the same form.
std::vector<std::string> loaded(AuditJournal& j) {
  std::vector<std::string> out;
  Status st = j.load_outcome_receipts([&](const OutcomeReceiptSet& set) { out = tasks(set.list()); });
  if (!st.ok()) return {st.message()};
  return out;
}

std::unique_ptr<AuditJournal> open_journal(const fs::path& dir, StoreKey key, Env& env, uint64_t rotate_bytes) {
  AuditJournalOptions o;
  o.rotate_bytes = rotate_bytes;
  auto j = open_audit_session(dir, std::move(key), env, o);
  EXPECT_TRUE(j.ok()) << j.status().message();
  return std::move(j).value();
}

// Moves a file's modification time well away from now, as an edit made at
// another moment would, whatever the file system's clock tick.
void age(const fs::path& p) {
  fs::last_write_time(p, fs::last_write_time(p) - std::chrono::hours(1));
}

// Changes one digit of the first receipt digest of a file, keeping its
// size.
void alter_digest(const fs::path& file) {
  std::string bytes = slurp(file);
  const size_t at = bytes.find("\"integrity_digest\":\"");
  ASSERT_NE(at, std::string::npos);
  char& digit = bytes[at + 20];
  digit = digit == '0' ? '1' : '0';
  spit(file, bytes);
  age(file);
}

std::vector<std::string> rotated_names(const fs::path& dir) {
  std::vector<std::string> out;
  const std::vector<AuditFileState> files = audit_file_states(dir, Env::Default()).value();
  for (const auto& f : files) {
    if (f.name != "brain.audit") out.push_back(f.name);
  }
  return out;
}

TEST(OutcomeReceiptIndex, FollowsTheJournalsAppendsAndRotationsWithoutReading) {
  TempDir dir;
  StoreKey key = std::make_shared<const SecretKey>(SecretKey::random());
  WatchingEnv env;
  auto j = open_journal(dir.path(), key, env, 3000);
  // Receipts before the first load are read; the ones after are followed.
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(j->append_audit_entry(AuditAction::OutcomeReceipt{sealed_receipt("r" + std::to_string(i), 100 - i)}).ok());
  EXPECT_EQ(loaded(*j), full_read(dir.path(), key.get()));
  const int reads = env.reads.load();
  EXPECT_GT(reads, 0);
  for (int i = 4; i < 40; ++i) {
    AuditAction action = i % 3 ? AuditAction(AuditAction::Store{"aaaaaaaaaaaa", std::string(100, 'x')})
                               : AuditAction(AuditAction::OutcomeReceipt{sealed_receipt("r" + std::to_string(i), 50 + i % 7)});
    ASSERT_TRUE(j->append_audit_entry(action).ok()) << i;
    ASSERT_EQ(loaded(*j), full_read(dir.path(), key.get())) << i;
  }
  EXPECT_GE(rotated_names(dir.path()).size(), 3u) << "the test rotated the journal";
  EXPECT_EQ(env.reads.load(), reads) << "no audit file was read again";
  EXPECT_EQ(loaded(*j).size(), 16u);
}

TEST(OutcomeReceiptIndex, ReadsAgainWhenTheFilesChangeBehindItsBack) {
  struct Edit {
    const char* what;
    std::function<void(const fs::path& dir)> edit;
    bool read_again = true;
  };
  const Edit edits[] = {
      {"a digest altered in place in a rotated file",
       [](const fs::path& dir) { alter_digest(dir / rotated_names(dir).front()); }},
      {"a digest altered in place in the current file", [](const fs::path& dir) { alter_digest(dir / "brain.audit"); }},
      {"a rotated file removed", [](const fs::path& dir) { fs::remove(dir / rotated_names(dir).front()); }},
      {"an earlier rotated file added",
       [](const fs::path& dir) { spit(dir / "brain.audit.1", receipt_line(sealed_receipt("planted", 1))); }},
      {"a name that is no audit file added", [](const fs::path& dir) { spit(dir / "brain.audit.x", "garbage\n"); },
       false},
      {"the current file's last line cut away",
       [](const fs::path& dir) {
         std::string bytes = slurp(dir / "brain.audit");
         ASSERT_FALSE(bytes.empty());
         bytes.pop_back();
         const size_t lf = bytes.rfind('\n');
         bytes.resize(lf == std::string::npos ? 0 : lf + 1);
         spit(dir / "brain.audit", bytes);
       }},
      {"the current file renamed away",
       [](const fs::path& dir) { fs::rename(dir / "brain.audit", dir / "brain.audit.9999999999999"); }},
  };
  // Either the next load meets the edit, or an append of the journal does.
  for (const bool append_first : {false, true}) {
    for (const Edit& e : edits) {
      SCOPED_TRACE(std::string(e.what) + (append_first ? ", then an append" : ""));
      TempDir dir;
      WatchingEnv env;
      auto j = open_journal(dir.path(), nullptr, env, 600);
      // Two receipt lines fill a file: the seventh stays in the current one.
      for (int i = 0; i < 7; ++i) {
        ASSERT_TRUE(
            j->append_audit_entry(AuditAction::OutcomeReceipt{sealed_receipt("r" + std::to_string(i), i)}).ok());
      }
      ASSERT_EQ(loaded(*j).size(), 7u);
      ASSERT_FALSE(rotated_names(dir.path()).empty());
      const int reads = env.reads.load();
      e.edit(dir.path());
      // (The rotation of a file renamed away fails; the line is written.)
      if (append_first) (void)j->append_audit_entry(AuditAction::Flush{});
      EXPECT_EQ(loaded(*j), full_read(dir.path()));
      EXPECT_EQ(env.reads.load() > reads, e.read_again);
      // And the index goes on from there.
      (void)j->append_audit_entry(AuditAction::OutcomeReceipt{sealed_receipt("later", 99)});
      EXPECT_EQ(loaded(*j), full_read(dir.path()));
    }
  }
}

TEST(OutcomeReceiptIndex, AFailureInTheFilesStandsUntilTheyChange) {
  OutcomeReceipt tampered = sealed_receipt("tampered", 5);
  tampered.recorded_at_ms = 6;
  OutcomeReceipt v3 = sealed_receipt("v3", 5);
  v3.schema_version = 3;
  const std::string mismatch = "outcome receipt integrity mismatch: " + tampered.receipt_id;
  const struct {
    const char* what;
    bool keyed;
    std::string rotated;  // brain.audit.1
    std::string current;  // brain.audit, before the journal opens
    std::vector<std::string> expected;
  } cases[] = {
      {"garbage is skipped without a key", false, "not json\n{\"timestamp\":1}\n",
       receipt_line(sealed_receipt("kept", 5)), {"kept"}},
      {"a line that is not UTF-8", false, "\xff\xfe\n", receipt_line(sealed_receipt("kept", 5)),
       {"audit journal line is not valid UTF-8"}},
      {"torn and foreign lines are skipped", false, "{\"timestamp\":1,\"action\":{\"outcome_receipt\"\n",
       "AEF1\n[1,2]\n" + receipt_line(sealed_receipt("kept", 5)), {"kept"}},
      {"a tampered receipt", false, "", receipt_line(sealed_receipt("kept", 5)) + receipt_line(tampered), {mismatch}},
      {"the first failure in reading order", false, receipt_line(v3), receipt_line(tampered),
       {"unsupported outcome receipt schema version 3"}},
      {"a plain line in a keyed store", true, "", receipt_line(sealed_receipt("kept", 5)),
       {"plaintext audit entry in encrypted memory"}},
      {"a sealed line in a plain store", false, "", "AEF1:4145463100\n", {"Password required for encrypted memory"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    if (!c.rotated.empty()) spit(dir / "brain.audit.1", c.rotated);
    spit(dir / "brain.audit", c.current);
    StoreKey key = c.keyed ? std::make_shared<const SecretKey>(SecretKey::random()) : nullptr;
    WatchingEnv env;
    auto j = open_journal(dir.path(), key, env, 1 << 20);
    EXPECT_EQ(loaded(*j), c.expected);
    EXPECT_EQ(full_read(dir.path(), key.get()), c.expected);
    // The journal's own appends, receipts included, change nothing of it.
    const int reads = env.reads.load();
    ASSERT_TRUE(j->append_audit_entry(AuditAction::OutcomeReceipt{sealed_receipt("later", 9)}).ok());
    EXPECT_EQ(loaded(*j), full_read(dir.path(), key.get()));
    EXPECT_EQ(env.reads.load(), reads);
  }
}

TEST(OutcomeReceiptIndex, FileSystemErrorsAreNotRemembered) {
  TempDir dir;
  WatchingEnv env;
  auto j = open_journal(dir.path(), nullptr, env, 400);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(j->append_audit_entry(AuditAction::OutcomeReceipt{sealed_receipt("r" + std::to_string(i), i)}).ok());
  env.fail_reads("brain.audit.");
  EXPECT_EQ(loaded(*j), (std::vector<std::string>{"injected read failure"}));
  env.clear();
  EXPECT_EQ(loaded(*j), (std::vector<std::string>{"r0", "r1", "r2", "r3"}));
}

TEST(OutcomeReceiptIndex, AppendsDuringAFullReadAreKept) {
  TempDir dir;
  WatchingEnv env;
  auto j = open_journal(dir.path(), nullptr, env, 500);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(j->append_audit_entry(AuditAction::OutcomeReceipt{sealed_receipt("r" + std::to_string(i), i)}).ok());
  ASSERT_GE(rotated_names(dir.path()).size(), 2u);
  // While the first rotated file is read, the journal appends (and rotates).
  env.during_read_of("brain.audit.", [&] {
    for (int i = 5; i < 9; ++i) {
      ASSERT_TRUE(j->append_audit_entry(AuditAction::OutcomeReceipt{sealed_receipt("r" + std::to_string(i), i)}).ok());
    }
  });
  const std::vector<std::string> first = loaded(*j);
  EXPECT_EQ(first, full_read(dir.path()));
  EXPECT_EQ(first.size(), 9u);
  const int reads = env.reads.load();
  EXPECT_EQ(loaded(*j), first);
  EXPECT_EQ(env.reads.load(), reads) << "the appends made during the read need no second read";
}

TEST(OutcomeReceiptIndex, ConcurrentAppendsAndLoadsAgreeWithAFullRead) {
  TempDir dir;
  auto j = open_journal(dir.path(), nullptr, Env::Default(), 20000);
  std::atomic<bool> done{false};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        AuditAction a = i % 4 ? AuditAction(AuditAction::Store{std::to_string(t), std::string(60, 'x')})
                              : AuditAction(AuditAction::OutcomeReceipt{sealed_receipt(std::to_string(t * 1000 + i), i)});
        if (!j->append_audit_entry(a).ok()) ++failures;
      }
    });
  }
  std::thread reader([&] {
    while (!done) {
      if (!j->load_outcome_receipts([](const OutcomeReceiptSet&) {}).ok()) ++failures;
    }
  });
  for (auto& t : threads) t.join();
  done = true;
  reader.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(loaded(*j).size(), 150u);
  EXPECT_EQ(loaded(*j), full_read(dir.path()));
}

}  // namespace
}  // namespace vesk

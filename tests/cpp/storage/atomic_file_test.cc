#include "storage/atomic_file.h"

#include <gtest/gtest.h>

#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::slurp;
using testing::spit;
using testing::TempDir;

std::vector<std::string> names(const fs::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(AtomicFile, TemporaryNameReplacesOnlyTheLastExtension) {
  const std::string u = "0f8fad5b-d9cb-469f-a165-70867728950e";
  struct Case {
    const char* target;
    std::string temp;
  };
  const Case cases[] = {
      {"/s/beliefs.cog", "/s/beliefs." + u + ".tmp"},
      {"/s/a.b.c", "/s/a.b." + u + ".tmp"},
      {"/s/plain", "/s/plain." + u + ".tmp"},
      {"/s/.hidden", "/s/.hidden." + u + ".tmp"},
  };
  for (const Case& c : cases) EXPECT_EQ(atomic_temp_path(c.target, u).string(), c.temp);
  std::string fresh = *random_uuid_v4(Env::Default());
  ASSERT_EQ(fresh.size(), 36u);
  EXPECT_EQ(fresh[14], '4');
  EXPECT_NE(fresh, *random_uuid_v4(Env::Default()));
}

TEST(AtomicFile, WritesPlainOrSealedAndReadsBack) {
  TempDir dir;
  SecretKey key = SecretKey::random();
  for (const SecretKey* k : std::initializer_list<const SecretKey*>{nullptr, &key}) {
    fs::path target = dir / "beliefs.cog";
    ASSERT_TRUE(write_file_atomic(k, target, "{\"a\":1}", Env::Default()).ok());
    EXPECT_EQ(names(dir.path()), std::vector<std::string>{"beliefs.cog"});
    EXPECT_EQ(slurp(target).size(), k ? 7u + 32u : 7u);
    auto text = read_sealed_text_file(k, target, Env::Default());
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(*text, "{\"a\":1}");
  }
}

TEST(AtomicFile, FailuresLeaveTheOldContentAndNoTemporaryFile) {
  enum Fault { kWrite, kTornWrite, kSync, kRename };
  for (Fault fault : {kWrite, kTornWrite, kSync, kRename}) {
    TempDir dir;
    fs::path target = dir / "beliefs.cog";
    spit(target, "old");
    FaultEnv env;
    if (fault == kWrite) env.tear_writes_after("beliefs.", 0);
    if (fault == kTornWrite) env.tear_writes_after("beliefs.", 2);
    if (fault == kSync) env.fail_sync("beliefs.");
    if (fault == kRename) env.fail_rename("beliefs.cog");
    Status st = write_file_atomic(nullptr, target, "new content", env);
    EXPECT_FALSE(st.ok()) << "fault " << fault;
    EXPECT_EQ(slurp(target), "old");
    EXPECT_EQ(names(dir.path()), std::vector<std::string>{"beliefs.cog"}) << "fault " << fault;
  }
}

// A file written piece by piece can be forced along the way. A force that
// fails fails the finish, even when the final force works (a later force may
// no longer report the loss); otherwise the file is the one a single write
// gives.
TEST(AtomicFile, AFailedForceAlongTheWayFailsTheFinish) {
  for (bool fault : {false, true}) {
    SCOPED_TRACE(fault ? "the first force fails" : "every force works");
    TempDir dir;
    FaultEnv env;
    if (fault) env.fail_sync_once("beliefs.");
    auto staged = stage_file_atomic(dir / "beliefs.cog", env);
    ASSERT_TRUE(staged.ok());
    (*staged)->force_along(4);
    for (const char* piece : {"abcd", "efgh", "ij"}) ASSERT_TRUE((*staged)->append(piece).ok());
    const Status st = (*staged)->finish();
    EXPECT_EQ(st.ok(), !fault) << st.message();
    if (!fault) {
      ASSERT_TRUE((*staged)->publish().ok());
      EXPECT_EQ(slurp(dir / "beliefs.cog"), "abcdefghij");
    }
    staged->reset();
    EXPECT_EQ(names(dir.path()), fault ? std::vector<std::string>{} : std::vector<std::string>{"beliefs.cog"});
  }
}

TEST(AtomicFile, SealedTextReadFailures) {
  TempDir dir;
  SecretKey key = SecretKey::random();
  spit(dir / "bad.json", "\xff\xfe");
  EXPECT_FALSE(read_sealed_text_file(nullptr, dir / "bad.json", Env::Default()).ok());
  ASSERT_TRUE(write_file_atomic(&key, dir / "bad.json", "\xc3\x28", Env::Default()).ok());
  EXPECT_FALSE(read_sealed_text_file(&key, dir / "bad.json", Env::Default()).ok());
  auto missing = read_sealed_text_file(nullptr, dir / "missing.json", Env::Default());
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.status().message(), "No such file or directory");
}

}  // namespace
}  // namespace vesk

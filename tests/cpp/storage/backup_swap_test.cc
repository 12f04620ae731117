#include "storage/backup_swap.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

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

TEST(BackupSwap, ReplacesTheFileAndLeavesNothingBeside) {
  for (bool existed : {false, true}) {
    TempDir dir;
    const fs::path target = dir / "h.json";
    if (existed) spit(target, "old");
    spit(dir / "h.json.tmp", "a longer stale scratch");
    spit(dir / "h.json.bak", "stale");
    ASSERT_TRUE(replace_file_via_backup(target, "new", Env::Default()).ok());
    EXPECT_EQ(slurp(target), "new");
    EXPECT_EQ(names(dir.path()), std::vector<std::string>{"h.json"});
    mode_t m = ::umask(0);
    ::umask(m);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, static_cast<fs::perms>(0666 & ~m));
  }
}

TEST(BackupSwap, FailuresKeepACompleteFileUnderOneOfTheTwoNames) {
  enum Fault { kTornWrite, kSync, kToBackup, kIntoPlace };
  struct Case {
    Fault fault;
    std::vector<std::string> left;
  };
  const Case cases[] = {
      // The scratch file stays; the old file is untouched.
      {kTornWrite, {"h.json", "h.json.tmp"}},
      {kSync, {"h.json", "h.json.tmp"}},
      // The old file could not be moved aside: nothing else changed.
      {kToBackup, {"h.json", "h.json.tmp"}},
      // The new file could not be moved in: the backup goes back.
      {kIntoPlace, {"h.json", "h.json.tmp"}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const fs::path target = dir / "h.json";
    spit(target, "old");
    FaultEnv env;
    if (c.fault == kTornWrite) env.tear_writes_after("h.json.tmp", 1);
    if (c.fault == kSync) env.fail_sync("h.json.tmp");
    if (c.fault == kToBackup) env.fail_rename("h.json.bak");
    if (c.fault == kIntoPlace) env.fail_rename_from("h.json.tmp");
    Status st = replace_file_via_backup(target, "new", env);
    EXPECT_FALSE(st.ok()) << "fault " << c.fault;
    EXPECT_EQ(slurp(target), "old") << "fault " << c.fault;
    EXPECT_EQ(names(dir.path()), c.left) << "fault " << c.fault;
    // The next swap cleans up after the failed one.
    env.clear();
    ASSERT_TRUE(replace_file_via_backup(target, "new", env).ok());
    EXPECT_EQ(names(dir.path()), std::vector<std::string>{"h.json"});
  }
}

TEST(BackupSwap, AFailedFinalRenameWithoutAnOldFileLeavesOnlyTheScratch) {
  TempDir dir;
  FaultEnv env;
  env.fail_rename_from("h.json.tmp");
  EXPECT_EQ(replace_file_via_backup(dir / "h.json", "new", env).message(), "injected rename failure");
  EXPECT_EQ(names(dir.path()), std::vector<std::string>{"h.json.tmp"});
}

}  // namespace
}  // namespace vesk

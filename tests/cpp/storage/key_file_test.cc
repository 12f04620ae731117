#include "storage/key_file.h"

#include <gtest/gtest.h>

#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::slurp;
using testing::spit;
using testing::TempDir;

const char* kUnlockFailed = "Unable to unlock memory: invalid password or damaged key file";

TEST(KeyFile, PasswordCreatesThenUnlocksTheSameDataKey) {
  TempDir dir;
  auto created = open_store_key(dir.path(), "hunter2", Env::Default());
  ASSERT_TRUE(created.ok()) << created.status().message();
  ASSERT_TRUE(*created);
  EXPECT_EQ(slurp(dir / "memory.key").size(), 76u);

  auto again = open_store_key(dir.path(), "hunter2", Env::Default());
  ASSERT_TRUE(again.ok());
  EXPECT_TRUE(**again == **created);

  struct Case {
    std::optional<std::string_view> password;
    const char* error;
  };
  for (const Case& c : {Case{"hunter3", kUnlockFailed}, Case{"", kUnlockFailed},
                        Case{std::nullopt, "Password required for encrypted memory"}}) {
    auto r = open_store_key(dir.path(), c.password, Env::Default());
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.status().kind(), ErrorKind::OS);
    EXPECT_EQ(r.status().message(), c.error);
  }
}

TEST(KeyFile, PlainAndRefusedDirectories) {
  TempDir dir;
  auto plain = open_store_key(dir.path(), std::nullopt, Env::Default());
  ASSERT_TRUE(plain.ok());
  EXPECT_FALSE(*plain);

  auto empty = open_store_key(dir.path(), "", Env::Default());
  ASSERT_FALSE(empty.ok());
  EXPECT_EQ(empty.status().message(), "Encryption password must not be empty");

  spit(dir / "notes.txt", "anything at all");
  auto in_place = open_store_key(dir.path(), "pw", Env::Default());
  ASSERT_FALSE(in_place.ok());
  EXPECT_EQ(in_place.status().message(),
            "Cannot enable encryption on an existing store in place; migrate into a new empty directory to avoid "
            "leaving plaintext history");
  EXPECT_FALSE(std::filesystem::exists(dir / "memory.key"));
}

TEST(KeyFile, AnyDamageMakesItUnlockable) {
  TempDir dir;
  ASSERT_TRUE(open_store_key(dir.path(), "pw", Env::Default()).ok());
  const std::string good = slurp(dir / "memory.key");
  std::string flipped_salt = good, flipped_tag = good;
  flipped_salt[3] ^= 1;
  flipped_tag[75] ^= 1;
  for (const std::string& bad : {good.substr(0, 75), good + "x", good.substr(0, 10), flipped_salt, flipped_tag}) {
    spit(dir / "memory.key", bad);
    auto r = open_store_key(dir.path(), "pw", Env::Default());
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.status().message(), kUnlockFailed);
  }
}

TEST(KeyFile, FailedWriteOrSyncLeavesNoKeyFileBehind) {
  enum Fault { kTornWrite, kFailedSync };
  for (Fault fault : {kTornWrite, kFailedSync}) {
    TempDir dir;
    FaultEnv env;
    if (fault == kTornWrite) env.tear_writes_after("memory.key", 30);
    if (fault == kFailedSync) env.fail_sync("memory.key");
    EXPECT_FALSE(open_store_key(dir.path(), "pw", env).ok());
    EXPECT_FALSE(std::filesystem::exists(dir / "memory.key"));
    env.clear();
    // The directory is still empty, so encryption can still be turned on.
    auto retry = open_store_key(dir.path(), "pw", env);
    ASSERT_TRUE(retry.ok()) << retry.status().message();
    EXPECT_TRUE(*retry);
  }
}

}  // namespace
}  // namespace vesk

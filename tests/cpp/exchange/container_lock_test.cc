#include "exchange/capsule/container_lock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "storage/test_dir.h"

namespace vesk {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

// A monotonic clock that moves only when the lock sleeps; `on_sleep` runs
// after each sleep with the time waited so far.
class SteppedClock final : public LockWaitClock {
 public:
  std::chrono::nanoseconds now() override { return now_; }
  void sleep_for(std::chrono::nanoseconds d) override {
    sleeps.push_back(d);
    now_ += d;
    if (on_sleep) on_sleep(now_ - start_);
  }
  std::vector<std::chrono::nanoseconds> sleeps;
  std::function<void(std::chrono::nanoseconds)> on_sleep;

 private:
  std::chrono::nanoseconds start_ = 1000h, now_ = 1000h;
};

TEST(ContainerLock, GivesUpAfterThirtySecondsOfTwentyFiveMillisecondRetries) {
  TempDir dir;
  const fs::path container = dir / "backup.ctr";
  auto other = Env::Default().lock(fs::canonical(dir.path()) / "backup.ctr.lock");
  ASSERT_TRUE(other.ok());
  SteppedClock clock;
  auto lock = acquire_container_lock(container, Env::Default(), clock);
  ASSERT_FALSE(lock.ok());
  EXPECT_EQ(lock.status().message(), "Timed out after 30000 ms waiting for Vesk container mutation lock: " +
                                         (fs::canonical(dir.path()) / "backup.ctr.lock").native());
  ASSERT_EQ(clock.sleeps.size(), 1200u);
  for (auto d : clock.sleeps) EXPECT_EQ(d, 25ms);
}

TEST(ContainerLock, TakesTheLockAtTheFirstRetryAfterItsRelease) {
  TempDir dir;
  const fs::path container = dir / "backup.ctr";
  auto other = Env::Default().lock(fs::canonical(dir.path()) / "backup.ctr.lock");
  ASSERT_TRUE(other.ok());
  SteppedClock clock;
  clock.on_sleep = [&](std::chrono::nanoseconds waited) {
    if (waited == 1000ms) other->reset();
  };
  auto lock = acquire_container_lock(container, Env::Default(), clock);
  ASSERT_TRUE(lock.ok()) << lock.status().message();
  EXPECT_EQ(clock.sleeps.size(), 40u);  // the try right after the release takes it
}

TEST(ContainerLock, ALinkAndItsTargetShareOneLockFile) {
  TempDir dir;
  fs::create_directories(dir / "real");
  testing::spit(dir / "real/backup.ctr", "x");
  fs::create_directory_symlink(dir / "real", dir / "linked");
  fs::create_symlink(dir / "real/backup.ctr", dir / "alias.ctr");
  const fs::path expected = fs::canonical(dir / "real") / "backup.ctr.lock";
  for (const fs::path& p : {dir / "real/backup.ctr", dir / "linked/backup.ctr", dir / "alias.ctr"}) {
    EXPECT_EQ(container_lock_path(p).value(), expected) << p;
  }
  // Held through one spelling, refused through the other.
  auto held = acquire_container_lock(dir / "linked/backup.ctr", Env::Default());
  ASSERT_TRUE(held.ok());
  SteppedClock clock;
  EXPECT_FALSE(acquire_container_lock(dir / "alias.ctr", Env::Default(), clock).ok());
}

TEST(ContainerLock, PathsOfNewContainersAndPathsWithoutAName) {
  TempDir dir;
  auto made = container_lock_path(dir / "new/deeper/backup.ctr");
  ASSERT_TRUE(made.ok());
  EXPECT_EQ(*made, fs::canonical(dir / "new/deeper") / "backup.ctr.lock");
  for (const fs::path& p : {dir / "missing/..", fs::path("/"), fs::path("")}) {
    auto refused = container_lock_path(p);
    ASSERT_FALSE(refused.ok()) << p;
    EXPECT_EQ(refused.status().message(), "Vesk container path must include a file name") << p;
  }
  EXPECT_FALSE(container_lock_path(std::string("a\0b", 3)).ok());
}

TEST(ContainerLock, AFailedFileLockLetsTheMutexGo) {
  TempDir dir;
  fs::create_directories(dir / "backup.ctr.lock");  // a directory cannot be opened as the lock file
  auto mutation = ContainerMutation::begin(dir / "backup.ctr", Env::Default());
  ASSERT_FALSE(mutation.ok());
  EXPECT_EQ(mutation.status().message(),
            "Failed to open Vesk container mutation lock: " + (fs::canonical(dir.path()) / "backup.ctr.lock").native());
  ASSERT_TRUE(container_mutation_mutex().try_lock());
  container_mutation_mutex().unlock();
}

}  // namespace
}  // namespace vesk

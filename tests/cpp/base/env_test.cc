#include "base/env.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::TempDir;

TEST(EnvLock, SecondHolderIsRefusedInThisProcess) {
  TempDir dir;
  Env& env = Env::Default();
  auto first = env.lock(dir / "brain.lock");
  ASSERT_TRUE(first.ok());
  // Another spelling of the same file is the same file.
  auto second = env.lock(dir.path() / "." / "brain.lock");
  ASSERT_FALSE(second.ok());
  EXPECT_EQ(second.status().message(), "Resource temporarily unavailable");
  first->reset();
  EXPECT_TRUE(env.lock(dir / "brain.lock").ok());
}

TEST(Env, FileSizeComesFromMetadata) {
  TempDir dir;
  Env& env = Env::Default();
  testing::spit(dir / "f", "12345");
  ASSERT_TRUE(env.file_size(dir / "f").ok());
  EXPECT_EQ(*env.file_size(dir / "f"), 5u);
  auto missing = env.file_size(dir / "nope");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.status().message(), "No such file or directory");
}

TEST(Env, DirectoriesOneAtATimeAndErrorsKeepTheirNumber) {
  TempDir dir;
  Env& env = Env::Default();
  ASSERT_TRUE(env.create_dir(dir / "d").ok());
  Status again = env.create_dir(dir / "d");
  EXPECT_EQ(again.message(), "File exists");
  EXPECT_EQ(again.os_errno(), EEXIST);
  EXPECT_EQ(env.create_dir(dir / "missing/d").os_errno(), ENOENT);
  testing::spit(dir / "d/f", "x");
  EXPECT_EQ(env.remove_dir(dir / "d").os_errno(), ENOTEMPTY);
  ASSERT_TRUE(env.remove(dir / "d/f").ok());
  EXPECT_TRUE(env.remove_dir(dir / "d").ok());
  EXPECT_FALSE(env.exists(dir / "d"));
  EXPECT_EQ(env.open(dir / "none", OpenMode::kRead).status().os_errno(), ENOENT);
  // A failure that did not come from a system call carries no number.
  EXPECT_EQ(Status::OS("text").os_errno(), 0);
}

TEST(EnvLock, SecondHolderIsRefusedInAnotherProcess) {
  TempDir dir;
  int to_parent[2], to_child[2];
  ASSERT_EQ(pipe(to_parent), 0);
  ASSERT_EQ(pipe(to_child), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // The child holds the lock until the parent has tried to take it.
    auto held = Env::Default().lock(dir / "brain.lock");
    char c = held.ok() ? 'y' : 'n';
    (void)!write(to_parent[1], &c, 1);
    (void)!read(to_child[0], &c, 1);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(to_parent[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  EXPECT_FALSE(Env::Default().lock(dir / "brain.lock").ok());
  (void)!write(to_child[1], &c, 1);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(Env::Default().lock(dir / "brain.lock").ok()) << "released when the holder exits";
  for (int fd : {to_parent[0], to_parent[1], to_child[0], to_child[1]}) close(fd);
}

}  // namespace
}  // namespace vesk

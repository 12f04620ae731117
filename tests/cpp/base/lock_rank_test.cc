#include "base/lock_rank.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/guarded.h"

namespace vesk {
namespace {

std::vector<std::string> violations;

void record_violation(const LockRank& taken, const LockRank& held) {
  violations.push_back(std::string(taken.name) + " after " + held.name);
}

class LockRankTest : public ::testing::Test {
 protected:
  void SetUp() override {
    was_checking_ = lock_rank::checking();
    lock_rank::set_checking(true);
    lock_rank::set_violation_handler(&record_violation);
    violations.clear();
  }
  void TearDown() override {
    EXPECT_EQ(lock_rank::held_count(), 0) << "every handle forgot its rank";
    lock_rank::set_violation_handler(nullptr);
    lock_rank::set_checking(was_checking_);
  }
  bool was_checking_ = false;
};

TEST_F(LockRankTest, OnlyTheWrittenOrderPasses) {
  Guarded<int> a{LockRank{1, "a"}}, b{LockRank{2, "b"}}, c{LockRank{3, "c"}};
  MutexGuarded<int> m{LockRank{4, "m"}};
  Guarded<int> unranked;
  {
    auto ha = a.read();
    auto hb = b.write();
    auto hm = m.write();
    auto hu = unranked.read();  // never checked
  }
  {
    auto hc = c.read();
    auto ha = a.read();  // c then a: out of order
  }
  {
    auto hb = b.read();
    auto hb2 = b.read();  // the same lock again: can deadlock behind a writer
  }
  {
    // Skipping ranks is fine; going back down is not, whatever was skipped.
    auto ha = a.read();
    auto hc = c.write();
    auto hb = b.read();
  }
  EXPECT_EQ(violations, (std::vector<std::string>{"a after c", "b after b", "b after c"}));
}

TEST_F(LockRankTest, AHandleLetGoEarlyOrMovedForgetsItsRankOnce) {
  Guarded<int> a{LockRank{1, "a"}}, b{LockRank{2, "b"}};
  {
    auto hb = b.read();
    hb.unlock();
    auto ha = a.read();  // b is no longer held
    auto moved = std::move(ha);
    EXPECT_EQ(lock_rank::held_count(), 1);
  }
  EXPECT_EQ(lock_rank::held_count(), 0);
  // The helpers take the lock through a handle too.
  b.set(5);
  EXPECT_EQ(a.copy(), 0);
  EXPECT_TRUE(violations.empty());
}

TEST_F(LockRankTest, EachThreadKeepsItsOwnRanks) {
  Guarded<int> a{LockRank{1, "a"}}, b{LockRank{2, "b"}};
  auto hb = b.read();
  std::thread other([&] { auto ha = a.read(); });  // holds nothing else
  other.join();
  EXPECT_TRUE(violations.empty());
}

}  // namespace
}  // namespace vesk

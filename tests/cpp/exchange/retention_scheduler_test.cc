// The scheduler's timing through a clock the test holds: the thread waits
// until the test lets an interval pass, and the test waits (on a condition,
// never by sleeping) until the thread is back at its wait.
#include "exchange/capsule/retention_scheduler.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>

#include "base/fixed_env.h"
#include "exchange/capsule/container_reader.h"
#include "exchange/container_builder.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::ContainerBuilder;
using testing::FixedEnv;
using testing::TempDir;

class ManualClock final : public SchedulerClock {
 public:
  bool wait(StopSignal& stop, uint64_t interval_seconds) override {
    std::unique_lock<std::mutex> l(stop.mu);
    {
      std::lock_guard<std::mutex> g(mu_);
      signal_ = &stop;
      ++waits_;
      interval_ = interval_seconds;
    }
    cv_.notify_all();
    const uint64_t mine = waits_;
    stop.cv.wait(l, [&] { return stop.raised || fired_ >= mine; });
    return stop.raised;
  }
  // Lets the interval of the thread's current wait pass.
  void fire() {
    std::lock_guard<std::mutex> s(signal_->mu);
    {
      std::lock_guard<std::mutex> g(mu_);
      ++fired_;
    }
    signal_->cv.notify_all();
  }
  // Returns once the thread has begun its n-th wait.
  void await_wait(uint64_t n) {
    std::unique_lock<std::mutex> g(mu_);
    cv_.wait(g, [&] { return waits_ >= n; });
  }
  uint64_t interval() {
    std::lock_guard<std::mutex> g(mu_);
    return interval_;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  StopSignal* signal_ = nullptr;
  uint64_t waits_ = 0, fired_ = 0, interval_ = 0;
};

fs::path five_generations(const TempDir& dir) {
  ContainerBuilder b;
  for (int n = 1; n <= 5; ++n) b.add({{"brain.vesk", "records " + std::to_string(n)}});
  b.write(dir / "c.vesk");
  return dir / "c.vesk";
}

TEST(RetentionScheduler, PassesComeOneIntervalAfterEachOther) {
  TempDir dir;
  const fs::path p = five_generations(dir);
  FixedEnv env;
  ManualClock clock;
  RetentionPolicy policy;
  policy.max_generations = 2;
  auto scheduler = RetentionScheduler::start(p, 7, policy, env, clock).value();
  clock.await_wait(1);
  EXPECT_EQ(clock.interval(), 7u);
  EXPECT_EQ(scheduler->status().run_count, 0u);

  clock.fire();
  clock.await_wait(2);  // the pass has ended and been recorded
  RetentionSchedulerStatus s = scheduler->status();
  EXPECT_EQ(s.run_count, 1u);
  EXPECT_EQ(s.last_run_at, 1'750'000'000u);
  EXPECT_GT(s.last_reclaimed_bytes.value_or(0), 0u);
  EXPECT_FALSE(s.last_error);
  EXPECT_EQ(load_v2_container_state(p, env).value().generations.size(), 2u);

  // A failed pass is recorded and the thread goes on.
  fs::remove(p);
  clock.fire();
  clock.await_wait(3);
  s = scheduler->status();
  EXPECT_EQ(s.run_count, 2u);
  EXPECT_EQ(s.last_error, "No such file or directory (os error 2)");
  EXPECT_GT(s.last_reclaimed_bytes.value_or(0), 0u);  // kept from the last success
  EXPECT_TRUE(s.running);

  scheduler->stop();
  EXPECT_FALSE(scheduler->status().running);
}

TEST(RetentionScheduler, StartChecksBeforeAnyThread) {
  TempDir dir;
  const fs::path p = five_generations(dir);
  RetentionPolicy policy;
  policy.max_generations = 2;
  EXPECT_EQ(RetentionScheduler::start(p, 0, policy, Env::Default()).status().message(),
            "Vesk retention scheduler interval must be at least one second");
  EXPECT_EQ(RetentionScheduler::start(dir / "none.vesk", 1, policy, Env::Default()).status().message(),
            "No such file or directory (os error 2)");
}

TEST(RetentionScheduler, HugeIntervalWaitsForTheStopAlone) {
  TempDir dir;
  const fs::path p = five_generations(dir);
  RetentionPolicy policy;
  policy.max_generations = 1;
  auto scheduler = RetentionScheduler::start(p, UINT64_MAX, policy, Env::Default()).value();
  scheduler->stop();
  EXPECT_EQ(scheduler->status().run_count, 0u);
  EXPECT_EQ(load_v2_container_state(p, Env::Default()).value().generations.size(), 5u);
}

}  // namespace
}  // namespace vesk

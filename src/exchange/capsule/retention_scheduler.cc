#include "exchange/capsule/retention_scheduler.h"

#include <pthread.h>

#include <chrono>
#include <system_error>
#include <utility>

#include "exchange/capsule/container_retention.h"

namespace vesk {

namespace {

class SteadySchedulerClock final : public SchedulerClock {
 public:
  bool wait(StopSignal& stop, uint64_t interval_seconds) override {
    std::unique_lock<std::mutex> l(stop.mu);
    auto raised = [&] { return stop.raised; };
    using clock = std::chrono::steady_clock;
    const clock::time_point now = clock::now();
    const auto room = std::chrono::duration_cast<std::chrono::seconds>(clock::time_point::max() - now).count();
    if (interval_seconds >= static_cast<uint64_t>(room)) {
      stop.cv.wait(l, raised);
      return true;
    }
    return stop.cv.wait_until(l, now + std::chrono::seconds(interval_seconds), raised);
  }
};

uint64_t unix_seconds_or_zero(Env& env) {
  const double now = env.now_seconds();
  return now > 0 ? static_cast<uint64_t>(now) : 0;
}

}  // namespace

SchedulerClock& SchedulerClock::Default() {
  static SteadySchedulerClock clock;
  return clock;
}

Result<std::unique_ptr<RetentionScheduler>> RetentionScheduler::start(const fs::path& path,
                                                                      uint64_t interval_seconds,
                                                                      const RetentionPolicy& policy, Env& env,
                                                                      SchedulerClock& clock) {
  if (interval_seconds == 0) return Status::OS("Vesk retention scheduler interval must be at least one second");
  Result<RetentionPlan> trial = plan_retention(path, policy, env);
  if (!trial.ok()) return trial.status();
  auto shared = std::make_shared<Shared>();
  shared->status.path = path.native();
  shared->status.interval_seconds = interval_seconds;
  std::unique_ptr<RetentionScheduler> scheduler(new RetentionScheduler(shared));
  try {
    scheduler->thread_ = std::thread(&RetentionScheduler::run, shared, path, policy, std::ref(env), std::ref(clock));
  } catch (const std::system_error& e) {
    return Status::OS(e.code().message() + " (os error " + std::to_string(e.code().value()) + ")");
  }
  // Named here rather than by the thread, so the name is there when start
  // returns; a failure to name it only leaves the process's name on it.
  const std::string name = std::string(kRetentionThreadName).substr(0, 15);
  (void)pthread_setname_np(scheduler->thread_.native_handle(), name.c_str());
  return scheduler;
}

void RetentionScheduler::run(std::shared_ptr<Shared> shared, fs::path path, RetentionPolicy policy, Env& env,
                             SchedulerClock& clock) {
  const uint64_t interval = shared->status.interval_seconds;  // fixed before the thread started
  while (!clock.wait(shared->stop, interval)) {
    Result<RetentionApplyReport> pass = apply_container_retention_locked(path, policy, env);
    const uint64_t ended = unix_seconds_or_zero(env);
    std::unique_lock<std::shared_mutex> w(shared->status_mu);
    RetentionSchedulerStatus& s = shared->status;
    if (s.run_count != UINT64_MAX) ++s.run_count;
    s.last_run_at = ended;
    if (pass.ok()) {
      s.last_reclaimed_bytes = pass->compaction.reclaimed_bytes;
      s.last_error.reset();
    } else {
      s.last_error = pass.status().message();
    }
  }
  std::unique_lock<std::shared_mutex> w(shared->status_mu);
  shared->status.running = false;
}

void RetentionScheduler::stop() {
  shared_->stop.raise();
  if (thread_.joinable()) thread_.join();
  std::unique_lock<std::shared_mutex> w(shared_->status_mu);
  shared_->status.running = false;
}

RetentionSchedulerStatus RetentionScheduler::status() const {
  std::shared_lock<std::shared_mutex> r(shared_->status_mu);
  return shared_->status;
}

}  // namespace vesk

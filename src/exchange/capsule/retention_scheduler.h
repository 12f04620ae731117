// RetentionScheduler: one background thread that applies a retention policy
// to one container at a fixed interval.
//
// The thread ("vesk-capsule-retention", cut to the 15 bytes the system keeps
// of a thread name) waits one interval, runs apply_container_retention_locked
// (container_retention.h: the container mutation mutex and the container's
// lock file are taken and released by each pass), records the pass in the
// status, and waits again: the next pass comes one full interval after the
// previous one ended. A failed pass is recorded as last_error and does not
// end the thread. The thread never calls into Python.
//
// Stopping raises the stop signal and joins the thread; a pass in progress
// is finished first. Destroying the scheduler stops it.
//
// Locks: the stop signal's mutex is held only while waiting or raising; the
// status's reader-writer lock only while the status is copied or a pass is
// recorded, never across a pass.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <thread>

#include "base/env.h"
#include "base/status.h"
#include "exchange/capsule/retention_plan.h"

namespace vesk {

struct RetentionSchedulerStatus {
  std::string path;  // as given to start
  bool running = true;
  uint64_t interval_seconds = 0;
  uint64_t run_count = 0;  // saturates
  std::optional<uint64_t> last_run_at;           // Unix seconds when the last pass ended
  std::optional<uint64_t> last_reclaimed_bytes;  // of the last successful pass
  std::optional<std::string> last_error;         // of the last pass, when it failed
};

// The stop message of one scheduler.
struct StopSignal {
  std::mutex mu;
  std::condition_variable cv;
  bool raised = false;

  void raise() {
    {
      std::lock_guard<std::mutex> g(mu);
      raised = true;
    }
    cv.notify_all();
  }
};

// Time for the thread's waits.
class SchedulerClock {
 public:
  virtual ~SchedulerClock() = default;
  // Waits until `interval_seconds` have passed on a monotonic clock or `stop`
  // is raised; true when it was raised. An interval past what the clock can
  // represent waits for the stop alone.
  virtual bool wait(StopSignal& stop, uint64_t interval_seconds) = 0;
  // The steady clock.
  static SchedulerClock& Default();
};

inline constexpr const char* kRetentionThreadName = "vesk-capsule-retention";

class RetentionScheduler {
 public:
  // Checks and starts: "Vesk retention scheduler interval must be at least
  // one second" for 0; a trial plan (plan_retention) whose failure is
  // returned; the system's error when the thread cannot be made. `env` (the
  // passes' files and wall clock) and `clock` outlive the scheduler.
  static Result<std::unique_ptr<RetentionScheduler>> start(const fs::path& path, uint64_t interval_seconds,
                                                           const RetentionPolicy& policy, Env& env,
                                                           SchedulerClock& clock = SchedulerClock::Default());
  ~RetentionScheduler() { stop(); }
  RetentionScheduler(const RetentionScheduler&) = delete;
  RetentionScheduler& operator=(const RetentionScheduler&) = delete;

  // Raises the stop and waits for the thread; running is false afterwards.
  // Stopping again does nothing.
  void stop();
  RetentionSchedulerStatus status() const;

 private:
  struct Shared {
    StopSignal stop;
    mutable std::shared_mutex status_mu;
    RetentionSchedulerStatus status;
  };
  explicit RetentionScheduler(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
  static void run(std::shared_ptr<Shared> shared, fs::path path, RetentionPolicy policy, Env& env,
                  SchedulerClock& clock);

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace vesk

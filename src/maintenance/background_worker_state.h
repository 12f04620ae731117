// BackgroundWorkerState: what start_background installs in a store's
// background slot.
//
// No operation starts a worker thread, sets the running flag or advances the
// cycle counter: every state stays idle, and maintenance runs only when a
// caller runs it. The cycle reads the counter (the level fix's schedule) and
// the cross-connection phase leaves its lines here, for as long as the state
// stays installed; replacing or removing the state drops them.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/guarded.h"
#include "base/lock_rank.h"

namespace vesk {

struct BackgroundWorkerState {
  // `lines_rank`: the place of the lines' lock in the owner's lock order.
  explicit BackgroundWorkerState(LockRank lines_rank) : cross_connection_lines(lines_rank) {}
  BackgroundWorkerState(const BackgroundWorkerState&) = delete;
  BackgroundWorkerState& operator=(const BackgroundWorkerState&) = delete;
  // A state dropped with a worker still attached stops it and waits for it.
  ~BackgroundWorkerState() {
    running.store(false);
    std::lock_guard<std::mutex> g(worker_mu);
    if (worker && worker->joinable()) worker->join();
  }

  std::atomic<bool> running{false};
  std::mutex worker_mu;
  std::optional<std::thread> worker;  // guarded by worker_mu
  std::atomic<uint64_t> cycle{0};
  // The lines of the last cross-connection phase run while installed.
  Guarded<std::vector<std::string>> cross_connection_lines;
};

}  // namespace vesk

#include "store/vesk.h"

#include <algorithm>
#include <span>
#include <utility>

#include "storage/snapshot_files.h"

namespace vesk {

Vesk::Vesk(fs::path path, StoreKey key, Env& env)
    : path_(std::move(path)), key_(std::move(key)), env_(env), persistence_target_{path_, key_}, config_(path_) {}

Vesk::~Vesk() {
  stop_background();
  // The retention scheduler thread must not outlive the store it works for.
  (void)stop_container_retention_scheduler();
  // The record log closes itself when its last holder lets go, printing a
  // failure to standard error; the journal hands every frame to the file as
  // it is appended, so nothing is left to write there.
}

void Vesk::stop_background() {
  auto slot = maintenance_.background.write();
  if (std::shared_ptr<BackgroundWorkerState> state = std::move(*slot)) {
    state->running.store(false);
    std::optional<std::thread> thread;
    {
      std::lock_guard<std::mutex> g(state->worker_mu);
      thread.swap(state->worker);
    }
    // A worker that ended by a failure is joined all the same.
    if (thread && thread->joinable()) thread->join();
  }
}

void Vesk::start_background() {
  auto slot = maintenance_.background.write();
  if (*slot && (*slot)->running.load()) return;
  // The state replaced (its cycle counter and lines with it) goes once the
  // slot is released.
  std::shared_ptr<BackgroundWorkerState> replaced =
      std::exchange(*slot, std::make_shared<BackgroundWorkerState>(lock_order::kCrossConnectionLines));
  slot.unlock();
}

bool Vesk::is_background_running() const {
  auto slot = maintenance_.background.read();
  return *slot && (*slot)->running.load();
}

std::vector<std::string> Vesk::list_snapshots() const { return list_snapshot_labels(path_, env_); }

MaintenanceTrendSummary Vesk::maintenance_trend_summary() const {
  auto history = maintenance_.trends.read();
  return vesk::maintenance_trend_summary(*history);
}

std::vector<ReflectionSummary> Vesk::get_reflection_summaries(std::optional<uint64_t> limit) const {
  const uint64_t n = reflection_window_size(limit);
  auto summaries = maintenance_.reflection_summaries.read();
  std::vector<ReflectionSummary> out;
  out.reserve(std::min<uint64_t>(n, summaries->size()));
  for (auto it = summaries->rbegin(); it != summaries->rend() && out.size() < n; ++it) out.push_back(*it);
  return out;
}

ReflectionDigest Vesk::get_reflection_digest(std::optional<uint64_t> limit) const {
  auto summaries = maintenance_.reflection_summaries.read();
  const std::span<const ReflectionSummary> all(*summaries);
  const size_t n = std::min<uint64_t>(reflection_window_size(limit), all.size());
  return reflection_digest(all.last(n));
}

std::optional<ReflectionSummary> Vesk::latest_reflection_summary() const {
  auto summaries = maintenance_.reflection_summaries.read();
  if (summaries->empty()) return std::nullopt;
  return summaries->back();
}

}  // namespace vesk

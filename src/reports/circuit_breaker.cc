#include "reports/circuit_breaker.h"

#include <algorithm>
#include <string>

namespace vesk {

namespace {

// Whole seconds from `from` to `to`; 0 when `from` is later.
uint64_t whole_seconds(CircuitBreaker::Clock::time_point from, CircuitBreaker::Clock::time_point to) {
  if (from >= to) return 0;
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(to - from).count());
}

}  // namespace

void CircuitBreaker::record_failure(std::string_view tool, Clock::time_point now) {
  std::lock_guard lock(mu_);
  auto it = tools_.find(tool);
  if (it == tools_.end()) it = tools_.emplace(std::string(tool), ToolState{}).first;
  ToolState& s = it->second;
  std::erase_if(s.failures, [&](Clock::time_point t) { return whole_seconds(t, now) >= config_.failure_window_secs; });
  s.failures.push_back(now);
  if (s.failures.size() >= config_.failure_threshold)
    s.open_until = now + std::chrono::seconds(static_cast<int64_t>(config_.recovery_secs));
}

void CircuitBreaker::record_success(std::string_view tool) {
  std::lock_guard lock(mu_);
  auto it = tools_.find(tool);
  if (it != tools_.end()) tools_.erase(it);
}

bool CircuitBreaker::is_available(std::string_view tool, Clock::time_point now) {
  std::lock_guard lock(mu_);
  auto it = tools_.find(tool);
  if (it == tools_.end() || !it->second.open_until) return true;
  if (now >= *it->second.open_until) {
    it->second.open_until.reset();
    return true;
  }
  return false;
}

StringMap CircuitBreaker::health(Clock::time_point now) const {
  StringMap out;
  std::lock_guard lock(mu_);
  for (const auto& [tool, s] : tools_) {
    const auto recent = std::count_if(s.failures.begin(), s.failures.end(), [&](Clock::time_point t) {
      return whole_seconds(t, now) < config_.failure_window_secs;
    });
    if (s.open_until && now < *s.open_until) {
      out.emplace(tool, "UNAVAILABLE (" + std::to_string(whole_seconds(now, *s.open_until)) + "s cooldown, " +
                            std::to_string(recent) + " failures)");
    } else if (recent > 0) {
      out.emplace(tool, "degraded (" + std::to_string(recent) + " recent failures)");
    }
  }
  return out;
}

}  // namespace vesk

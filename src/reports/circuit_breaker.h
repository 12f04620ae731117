// The tool circuit breaker: per-tool failure bookkeeping that an agent feeds
// and asks before calling an external tool.
//
// A tool that fails `failure_threshold` times within `failure_window_secs`
// becomes unavailable for `recovery_secs`; a success forgets everything known
// about the tool. The state lives in memory only and starts empty with every
// store object. Times come from a monotonic clock; elapsed time is counted in
// whole seconds (the fraction dropped, 0 when the earlier instant is later).
//
// All operations serialise on one mutex and take no other lock while they
// hold it. Every operation has an overload taking `now` so that the rules can
// be exercised without waiting.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "base/string_hash.h"

namespace vesk {

// Per-tool circuit breaker configuration.
struct CircuitBreakerConfig {
  uint64_t failure_threshold = 3;      // Number of failures before circuit opens.
  uint64_t failure_window_secs = 600;  // Window in seconds for counting failures.
  uint64_t recovery_secs = 600;        // Cooldown in seconds after circuit opens.

  bool operator==(const CircuitBreakerConfig&) const = default;
};

class CircuitBreaker {
 public:
  using Clock = std::chrono::steady_clock;

  // What is known of one tool: failure times (oldest first) and, while the
  // circuit is open, the instant it closes again.
  struct ToolState {
    std::vector<Clock::time_point> failures;
    std::optional<Clock::time_point> open_until;
  };

  explicit CircuitBreaker(CircuitBreakerConfig config = {}) : config_(config) {}
  CircuitBreaker(const CircuitBreaker&) = delete;
  CircuitBreaker& operator=(const CircuitBreaker&) = delete;

  // The limits; fixed for the life of the breaker.
  const CircuitBreakerConfig& config() const { return config_; }

  // Drops failures that are a whole window old, records one at now, and opens
  // the circuit until now + recovery when the window then holds threshold or
  // more failures (a failure while open pushes the end further out).
  void record_failure(std::string_view tool) { record_failure(tool, Clock::now()); }
  void record_failure(std::string_view tool, Clock::time_point now);
  // Forgets the tool: failures and open state.
  void record_success(std::string_view tool);
  // False while the circuit is open; asked at or after the end of the
  // cooldown, closes it (the failure list stays) and answers true.
  bool is_available(std::string_view tool) { return is_available(tool, Clock::now()); }
  bool is_available(std::string_view tool, Clock::time_point now);
  // Status text of every tool that is not healthy:
  // "UNAVAILABLE ({}s cooldown, {} failures)" while open (whole seconds left,
  // failures within the window), else "degraded ({} recent failures)" when it
  // has failures within the window. Never closes an expired circuit.
  StringMap health() const { return health(Clock::now()); }
  StringMap health(Clock::time_point now) const;

 private:
  const CircuitBreakerConfig config_;
  mutable std::mutex mu_;
  StringKeyMap<ToolState> tools_;  // guarded by mu_
};

}  // namespace vesk

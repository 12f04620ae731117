// The clock that times maintenance phases: monotonic, so a wall-clock step
// (a time server, a suspended machine) never makes a phase look long or
// negative.
#pragma once

#include <chrono>

namespace vesk {

using PhaseInstant = std::chrono::steady_clock::time_point;

inline PhaseInstant phase_clock_now() { return std::chrono::steady_clock::now(); }

// Milliseconds from `start` to `end` as a 64-bit float (seconds plus
// nanoseconds / 1e9, times 1000); 0 when the clock read the end before the
// start.
inline double elapsed_ms(PhaseInstant start, PhaseInstant end) {
  if (end <= start) return 0.0;
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count();
  const auto secs = ns / 1'000'000'000;
  const auto frac = ns % 1'000'000'000;
  return (static_cast<double>(secs) + static_cast<double>(frac) / 1e9) * 1000.0;
}

}  // namespace vesk

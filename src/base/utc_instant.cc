#include "base/utc_instant.h"

#include <chrono>

namespace vesk {

namespace {
constexpr int64_t kNanosPerSecond = 1'000'000'000;
}  // namespace

UtcInstant system_utc_now() {
  const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
  int64_t s = ns / kNanosPerSecond, r = ns % kNanosPerSecond;
  if (r < 0) {
    r += kNanosPerSecond;
    --s;
  }
  return {s, static_cast<uint32_t>(r)};
}

double unix_seconds(UtcInstant t) {
  if (t.seconds < 0) return 0.0;
  return static_cast<double>(t.seconds) + static_cast<double>(t.nanos) / 1e9;
}

uint64_t unix_millis(UtcInstant t) {
  if (t.seconds < 0) return 0;
  return static_cast<uint64_t>(t.seconds) * 1000 + t.nanos / 1'000'000;
}

}  // namespace vesk

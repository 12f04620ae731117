// UtcInstant: a point in time as the store reads it from its clock.
//
// The store has one clock, Env::now() (base/env.h); every timestamp it writes
// (record times, audit times, log headers, provenance stamps) is derived from
// one reading of it by the conversions here, so a test that fixes the clock
// fixes every time the store writes.
#pragma once

#include <compare>
#include <cstdint>

namespace vesk {

// An instant as whole Unix seconds and nanoseconds into that second.
struct UtcInstant {
  int64_t seconds = 0;
  uint32_t nanos = 0;  // 0 .. 999,999,999
  auto operator<=>(const UtcInstant&) const = default;
};

// The operating system's wall clock, now. Only Env's default clock calls it.
UtcInstant system_utc_now();

// Unix seconds with the sub-second fraction (whole seconds plus nanos / 1e9);
// 0 for an instant before the epoch.
double unix_seconds(UtcInstant t);

// Whole Unix milliseconds (seconds x 1000 + nanos / 1,000,000); 0 for an
// instant before the epoch.
uint64_t unix_millis(UtcInstant t);

}  // namespace vesk

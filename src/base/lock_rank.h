// Lock ranks: a written lock order, checked while the program runs.
//
// A lock that takes part in an order gets a rank (a level and a name). A
// thread that already holds a ranked lock may only take locks of a higher
// level; taking one of the same or a lower level (or the same lock again) is
// a violation, which can deadlock against a thread that takes the two the
// other way round. The check keeps, per thread, the ranks it holds.
//
// Checking is on by default in debug builds (NDEBUG not defined) and off in
// release builds, where a lock costs one load of the switch; tests turn it on
// with set_checking(true). A violation calls the handler, which by default
// prints both ranks to standard error and aborts.
#pragma once

#include <atomic>
#include <cstdint>

namespace vesk {

struct LockRank {
  uint16_t level = 0;  // 0: not ranked, never checked
  const char* name = "";
};

namespace lock_rank {

namespace detail {
extern std::atomic<bool> checking;
}  // namespace detail

inline bool checking() { return detail::checking.load(std::memory_order_relaxed); }
void set_checking(bool on);

// Called with the rank being taken and the highest rank already held.
using ViolationHandler = void (*)(const LockRank& taken, const LockRank& held);
// Replaces the handler; null restores the default (print and abort).
void set_violation_handler(ViolationHandler handler);

// Bookkeeping of the calling thread; called only while checking() is on.
void acquired(const LockRank& rank);
void released(const LockRank& rank);
// The ranks the calling thread holds, lowest level first (for tests).
int held_count();

}  // namespace lock_rank
}  // namespace vesk

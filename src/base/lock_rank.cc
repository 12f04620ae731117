#include "base/lock_rank.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace vesk::lock_rank {

namespace detail {
#ifdef NDEBUG
std::atomic<bool> checking{false};
#else
std::atomic<bool> checking{true};
#endif
}  // namespace detail

namespace {

void print_and_abort(const LockRank& taken, const LockRank& held) {
  std::fprintf(stderr, "lock order violated: \"%s\" (level %u) taken while holding \"%s\" (level %u)\n", taken.name,
               static_cast<unsigned>(taken.level), held.name, static_cast<unsigned>(held.level));
  std::abort();
}

std::atomic<ViolationHandler> handler{&print_and_abort};

// The ranks this thread holds, in the order taken (levels ascending while
// the order is kept). A release may come out of order: handles can be
// unlocked early.
std::vector<LockRank>& held() {
  thread_local std::vector<LockRank> ranks;
  return ranks;
}

}  // namespace

void set_checking(bool on) { detail::checking.store(on, std::memory_order_relaxed); }

void set_violation_handler(ViolationHandler h) { handler.store(h ? h : &print_and_abort); }

void acquired(const LockRank& rank) {
  if (rank.level == 0) return;
  std::vector<LockRank>& ranks = held();
  const LockRank* highest = nullptr;
  for (const LockRank& r : ranks)
    if (!highest || r.level > highest->level) highest = &r;
  if (highest && highest->level >= rank.level) handler.load()(rank, *highest);
  ranks.push_back(rank);
}

void released(const LockRank& rank) {
  if (rank.level == 0) return;
  std::vector<LockRank>& ranks = held();
  auto it = std::find_if(ranks.rbegin(), ranks.rend(), [&](const LockRank& r) { return r.level == rank.level; });
  if (it != ranks.rend()) ranks.erase(std::next(it).base());
}

int held_count() { return static_cast<int>(held().size()); }

}  // namespace vesk::lock_rank

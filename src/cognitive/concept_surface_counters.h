// The concept surface's activity since the last maintenance cycle: how often
// it was asked, per scope, and how much it handed out. Readers add to the
// counters with atomic additions; the maintenance cycle reads each and sets
// it to 0 with one atomic exchange. No ordering with other data is relied on.
#pragma once

#include <atomic>
#include <cstdint>

namespace vesk {

struct ConceptSurfaceCounters {
  std::atomic<uint64_t> global_calls_since_last_cycle{0};
  std::atomic<uint64_t> namespace_calls_since_last_cycle{0};
  std::atomic<uint64_t> record_calls_since_last_cycle{0};
  std::atomic<uint64_t> concepts_returned_since_last_cycle{0};
  std::atomic<uint64_t> record_annotations_returned_since_last_cycle{0};
};

}  // namespace vesk

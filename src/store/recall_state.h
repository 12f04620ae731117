// RecallState: what recalls leave behind in an open store, none of it on
// disk except through a flush: the two answer caches, the caller sessions,
// the records whose activation changed since the last flush, and counters.
//
// Locks: sessions after records (store/lock_order.h); each cache, the
// pending set and the counters lock themselves (or are atomic) and are
// taken for one call at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "base/guarded.h"
#include "cognitive/recall_replay_baseline.h"
#include "model/scored_record.h"
#include "recall/activation.h"
#include "recall/recall_cache.h"
#include "recall/recall_settings.h"
#include "store/lock_order.h"

namespace vesk {

// Counters of the recall, search, cognitive and maintenance operations.
struct StoreCounters {
  std::atomic<uint64_t> recalls{0};
  std::atomic<uint64_t> searches{0};
  std::atomic<uint64_t> cognitive_ops{0};
  std::atomic<uint64_t> maintenance_runs{0};
};

struct RecallState {
  TextRecallCache text_cache;
  StructuredRecallCache structured_cache;
  Guarded<SessionMap> sessions{lock_order::kSessions};
  // May be taken while the record map is held for reading.
  PendingActivations pending_activations;
  Guarded<std::vector<RecallReplayBaseline>> recall_replay{lock_order::kRecallReplay};
  StoreCounters counters;
  RecallHitCounters hits;

  // Empties the text cache, then the structured cache.
  void clear_caches() {
    text_cache.clear();
    structured_cache.clear();
  }
};

}  // namespace vesk

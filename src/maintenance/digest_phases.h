// The digest phases of a maintenance cycle, its second phase group:
// consolidation of near-duplicates, cross-connections, task reminders and
// archival by rule, each timed into the cycle's timings, with the changed
// records written to the journal.
//
// The phases take the locks they need themselves (record map first, then the
// indexes, store/lock_order.h). The cycle hands their changed ids (archived,
// then merged away) to the index refresh. No phase changes a record yet:
// the outcome is empty but for the count of records at the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/guarded.h"
#include "base/string_hash.h"
#include "index/ngram_index.h"
#include "index/tag_index.h"
#include "maintenance/background_worker_state.h"
#include "maintenance/maintenance_cycle.h"
#include "maintenance/phase_reports.h"
#include "model/flat_map.h"
#include "model/record_map.h"
#include "storage/cognitive_store.h"

namespace vesk {

// The parts of the store the digest phases change.
struct DigestPhaseParts {
  Guarded<RecordMap>& records;
  Guarded<NgramIndex>& ngram;
  Guarded<TagIndex>& tags;
  Guarded<FlatStringMap<std::string>>& id_map;  // vesk_id -> record id
  CognitiveStore& journal;
  // The installed background worker state, or null; its cross-connection
  // lines receive the lines of this cycle.
  BackgroundWorkerState* background = nullptr;
};

struct DigestPhasesOutcome {
  std::vector<std::string> task_reminders;
  // Archived ids, then the ids merged away.
  std::vector<std::string> changed_ids;
  ConsolidationReport consolidation;
  uint64_t cross_connections = 0;
  uint64_t records_archived = 0;
};

// Also sets records_after_cycle of the cycle's hotspots to the number of
// records at the end.
DigestPhasesOutcome maintenance_digest_phases(const DigestPhaseParts& parts, CycleContext& cycle);

}  // namespace vesk

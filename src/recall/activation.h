// Post-recall activation: what a recall changes in the memory it touched.
//
// After the recall core has chosen its results, the bookkeeping
// (record_recall_activity) strengthens the first ten recalled records, links
// them to each other, notes them in the caller's session and as pending for
// the next flush, writes the retrieval to the audit journal, and counts the
// first six as recalled together in the co-recall graph.
//
// Lock order of the bookkeeping: the records map's write lock, then the
// session map's; both are released before the pending set's lock is taken,
// and that one before the plasticity state's. The audit hook runs while the
// first two are held.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/record.h"
#include "base/status.h"
#include "base/string_hash.h"
#include "model/scored_record.h"
#include "cognitive/topology.h"

namespace vesk {

inline constexpr size_t kActivatedResults = 10;
inline constexpr size_t kCoRecallResults = 6;

// The records of one caller session: every record a recall under that id
// activated. Lives in memory until end_session takes it out.
struct SessionRecall {
  StringSet record_ids;
  double started_at = 0.0;
  double last_recall_at = 0.0;
};
using SessionMap = StringKeyMap<SessionRecall>;

// Write access to the records map: the record with an id, or null. Valid
// while the caller holds the map's write lock.
using MutableRecordLookup = std::function<Record*(std::string_view id)>;

template <class Map>
MutableRecordLookup mutable_record_lookup(Map& records) {
  return [&records](std::string_view id) -> Record* {
    auto it = records.find(std::string(id));
    return it == records.end() ? nullptr : &it->second;
  };
}

// Wall-clock Unix seconds: the store's Env clock (Env::now_seconds).
using WallClock = std::function<double()>;

// For the first min(10, results) results, in rank order: each record found is
// activated (velocity 0.7 v + 0.3 min(1 / days, 100) with days since its last
// activation, at least 0.001; strength + 0.2 up to 1; count + 1; last
// activation now, the clock read anew per record), then every pair i < j is
// linked both ways with w' = min(w + (1 - w) * 0.05, 1) computed from record
// i's weight for j. With a session id the session entry is created when
// absent (also for no results) and gets all those ids and the time. The
// caller holds the records map's and the session map's write locks. Never
// fails; the result list is not changed.
void apply_recall_activation(std::span<const ScoredRecord> results, const MutableRecordLookup& records,
                             SessionMap& sessions, std::optional<std::string_view> session_id,
                             const WallClock& now);

// Record ids whose activation changed since the last flush; the flush writes
// their records to the journal and empties the set.
class PendingActivations {
 public:
  void note(std::span<const ScoredRecord> results, size_t limit = kActivatedResults);
  StringSet take();
  // Puts ids back after a failed flush; ids noted meanwhile stay.
  void restore(std::vector<std::string> ids);
  // Notes records changed outside a recall (the links of an ended session).
  void note_ids(std::span<const std::string> ids);
  bool contains(std::string_view id) const;
  size_t size() const;

 private:
  mutable std::mutex mu_;
  StringSet ids_;
};


// Appends the audit journal's `retrieve` entry: the first 50 characters of
// the query and the number of results. Left empty while no audit journal is
// open; a failure it reports is dropped.
using RetrieveAuditHook = std::function<Status(std::string_view query_preview, uint64_t results_count)>;

// Runs the activation step with the records map and the session map writable,
// holding the records map's write lock and then the session map's for the
// whole call.
using ActivationStep = std::function<void(const MutableRecordLookup& records, SessionMap& sessions)>;
using RecordsAndSessionsLock = std::function<void(const ActivationStep& step)>;

// The lock of a plain records map and session map, each behind its own
// reader-writer lock.
template <class Map>
RecordsAndSessionsLock lock_records_and_sessions(std::shared_mutex& records_mu, Map& records,
                                                 std::shared_mutex& sessions_mu, SessionMap& sessions) {
  return [&](const ActivationStep& step) {
    std::unique_lock records_lock(records_mu);
    std::unique_lock sessions_lock(sessions_mu);
    step(mutable_record_lookup(records), sessions);
  };
}

// What the bookkeeping works on in the main object.
struct RecallActivityTargets {
  RecordsAndSessionsLock records_and_sessions;
  RetrieveAuditHook audit_retrieve;
  PendingActivations& pending;
  PlasticityState& plasticity;
  WallClock now;
};

// The whole post-recall bookkeeping, in the lock order above: activation and
// the audit entry under the records and session locks, then the pending note,
// then, with at least two results, both directions of every pair of the first
// six whose record keys differ bumped in the co-recall graph. Never fails.
void record_recall_activity(const RecallActivityTargets& targets, std::span<const ScoredRecord> results,
                            std::string_view query, std::optional<std::string_view> session_id);

// The lighter bookkeeping of a scoped recall, which does its own activation:
// the activation under the records and session locks, then the pending note,
// then, with both locks released, the audit entry. No co-recall weights.
// Never fails.
void record_scoped_recall_activity(const RecallActivityTargets& targets, std::span<const ScoredRecord> results,
                                   std::string_view query, std::optional<std::string_view> session_id);

}  // namespace vesk

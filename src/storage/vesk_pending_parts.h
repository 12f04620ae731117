// STUBS, to be deleted piece by piece as the branches that build these parts
// are merged: the least the store object needs to compile and open, with the
// names the real parts use. Nothing here is meant to survive.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "model/journal_patch.h"
#include "model/record.h"
#include "model/status.h"
#include "recall/recall_result.h"
#include "storage/crypto.h"
#include "storage/env.h"

namespace vesk {

// ---- index: n-gram and term indexes (stub) ----
class NgramIndex {
 public:
  void insert(std::string_view id, std::string_view text) {}
  void remove(std::string_view id) {}
};
class Bm25Index {};
inline Bm25Index bm25_index_from_records(const RecordMap&) { return {}; }

// ---- embed: embedding store, function slot, caches, sessions (stub) ----
class EmbeddingStore {};
struct EmbeddingStoreLoad {
  std::unique_ptr<EmbeddingStore> store;
  std::optional<std::string> recovered_error;
};
inline Result<EmbeddingStoreLoad> load_embedding_store(const fs::path&, StoreKey,
                                                       const std::function<bool(std::string_view)>&,
                                                       Env& = Env::Default()) {
  return EmbeddingStoreLoad{std::make_unique<EmbeddingStore>(), std::nullopt};
}
class EmbeddingFnSlot {};
template <class V>
class RecallCache {
 public:
  void clear() {}
};
struct SessionRecall {};
using SessionMap = StringKeyMap<SessionRecall>;

// ---- persist: startup validation, layer loaders (stub) ----
struct StartupValidationEvent {
  std::string surface;
  std::string path;
  std::string status;
  std::optional<std::string> detail;
  bool recovered = false;
};
struct StartupValidationReport {
  uint64_t loaded_surfaces = 0;
  uint64_t missing_fallbacks = 0;
  uint64_t recovered_fallbacks = 0;
  uint64_t derived_skips = 0;
  bool has_recovery_warnings = false;
  std::vector<StartupValidationEvent> events;
  static StartupValidationReport from_events(std::vector<StartupValidationEvent> events) {
    StartupValidationReport r;
    r.events = std::move(events);
    return r;
  }
};
struct PersistenceTarget {
  fs::path dir;
  StoreKey key;
};
struct BeliefEngine {};
struct ConceptEngine {};
struct CausalEngine {};
struct PolicyEngine {};
struct Topology {};
struct PersistenceManifest {};
struct MaintenanceTrendSnapshot {};
struct ReflectionSummary {};
struct RecallReplayBaseline {};
using StartupEvents = std::vector<StartupValidationEvent>;
inline BeliefEngine load_belief_store(const PersistenceTarget&, const fs::path&, StartupEvents&) { return {}; }
inline ConceptEngine load_concept_store(const PersistenceTarget&, const fs::path&, StartupEvents&) { return {}; }
inline CausalEngine load_causal_store(const PersistenceTarget&, const fs::path&, StartupEvents&) { return {}; }
inline PolicyEngine load_policy_store(const PersistenceTarget&, const fs::path&, StartupEvents&) { return {}; }
inline Result<Topology> load_topology(const PersistenceTarget&) { return Topology{}; }
inline PersistenceManifest load_persistence_manifest(const fs::path&, StartupEvents&) { return {}; }
inline std::vector<MaintenanceTrendSnapshot> load_maintenance_trends(const fs::path&, const StoreKey&,
                                                                     StartupEvents&) {
  return {};
}
inline std::vector<ReflectionSummary> load_reflection_summaries(const fs::path&, const StoreKey&, StartupEvents&) {
  return {};
}
inline std::vector<RecallReplayBaseline> load_recall_replay(const fs::path&, const StoreKey&, StartupEvents&) {
  return {};
}
inline bool is_archive_protected(const Record& r, const StringSet& tags) {
  if (r.pinned || r.level == Level::Identity || r.valid_until || r.superseded_at) return true;
  for (const auto& t : r.tags) {
    if (t == "consequence-refute" || tags.contains(t)) return true;
  }
  return false;
}
inline size_t prune_weak_records_on_load(RecordMap& records, const StringSet& protected_tags) {
  return std::erase_if(records, [&](const auto& kv) {
    return !(kv.second.strength >= 0.05f) && !is_archive_protected(kv.second, protected_tags);
  });
}
inline StartupValidationEvent cold_records_event(std::string path, std::string detail) {
  return {"cold_records", std::move(path), "excluded_from_active_indexes", std::move(detail), false};
}

// ---- journal: audit journal (stub) ----
class AuditJournal {};
inline Result<std::unique_ptr<AuditJournal>> open_audit_session(const fs::path&, StoreKey, Env& = Env::Default()) {
  return std::make_unique<AuditJournal>();
}

}  // namespace vesk

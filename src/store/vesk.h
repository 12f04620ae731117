// Vesk: the main object, one open store directory.
//
// Every public operation of the system is a method on one Vesk, and every
// caller borrows it shared: several threads may be inside it at once. So the
// object is a set of parts, each behind a lock of its own (a Guarded<T>), an
// atomic, or fixed at open. Vesk::open (vesk_open.cc) builds the whole object
// from the directory; there is no half-open Vesk. flush() and close()
// (vesk_close.cc) make it durable and end it.
//
// Lock order. An operation that holds several parts at once takes them in
// this order and never the reverse:
//
//   taxonomy -> trust config       (the configuration block, read locks)
//   records                        (the record map)
//   duplicates                     (only while records is held)
//   recall index                   (while records is held, or alone)
//   n-gram index -> term index -> tag index -> id map
//   embedding store                (released before the next part is taken)
//   belief -> concept -> causal -> policy layers
//
// The journal writer's mutex (inside CognitiveStore) may be taken while the
// record map is held, never the reverse; pending recall activations may be
// taken while the record map is held for reading. The record log and the SDR
// index order their own internal locks (vesk_storage.h, sdr_index.h); the
// post-recall bookkeeping takes records, then sessions, and the topology only
// after both are released. No store lock is ever held while waiting for the
// Python interpreter lock: callbacks are copied out of their slots and called
// with every lock released.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cognitive/layer_placeholders.h"
#include "cognitive/persistence_manifest.h"
#include "cognitive/persistence_target.h"
#include "cognitive/startup_validation.h"
#include "index/bm25_index.h"
#include "index/embedding_fn.h"
#include "index/embedding_store.h"
#include "index/ngram_index.h"
#include "index/sdr_encoder.h"
#include "index/sdr_index.h"
#include "index/tag_index.h"
#include "store/runtime_config.h"
#include "model/journal_patch.h"
#include "model/record.h"
#include "base/status.h"
#include "base/string_hash.h"
#include "recall/activation.h"
#include "recall/recall_cache.h"
#include "recall/recall_record_index.h"
#include "recall/rerank_modes.h"
#include "model/scored_record.h"
#include "recall/recall_sessions.h"
#include "recall/recall_settings.h"
#include "storage/audit_journal.h"
#include "storage/cognitive_store.h"
#include "storage/crypto.h"
#include "base/env.h"
#include "base/guarded.h"
#include "storage/vesk_storage.h"
#include "write/claim_certainty.h"
#include "write/exact_duplicate.h"
#include "write/security_profile.h"
#include "write/source_credibility.h"
#include "write/store_derivations.h"
#include "write/store_request.h"
#include "write/synonyms.h"
#include "write/text_classifiers.h"

namespace vesk {

// vesk_id (or an old id) -> canonical record id.
using IdMap = StringMap;
// record id -> SDR of its content in the general range.
using RecordSdrMap = StringKeyMap<SharedSdr>;

// The background maintenance worker's state: nothing in the system starts
// one yet, but close() stops it when present.
struct BackgroundState {
  std::atomic<bool> running{false};
  std::mutex thread_mu;
  std::optional<std::thread> thread;
  std::atomic<uint64_t> cycle{0};
};

// The switches and limits that only the maintenance cycle reads.
struct MaintenanceSettings {
  std::array<bool, 3> switches{true, true, true};
  uint64_t limit = 512;
  uint64_t count = 3;
};

// A running container retention scheduler; stopping sends its thread the
// stop message and joins it.
struct RetentionScheduler {
  std::function<void()> stop_and_join;
};

// State parts whose subsystems are not built yet; each is the empty state a
// store opens with.
struct ResearchProjects {};
struct EpistemicRuntime {};
struct ExperienceQueue {};

// Modes of the recall variants and the write path, set by their setters.
struct StoreFlags {
  std::atomic<SecurityProfile> security_profile{SecurityProfile::Balanced};
  std::atomic<bool> claim_rules{false};
  // Shown by default; read by text recalls without any lock.
  std::atomic<bool> identity_block{true};
  std::atomic<ContextDateMode> context_dates{ContextDateMode::FirstHand};
  // Read by recalls without any lock; relaxed loads and stores suffice.
  std::atomic<BeliefRerankMode> belief_rerank{BeliefRerankMode::Limited};
  std::atomic<ConceptSurfaceMode> concept_surface{ConceptSurfaceMode::Inspect};
  std::atomic<CausalRerankMode> causal_rerank{CausalRerankMode::Limited};
  std::atomic<PolicyRerankMode> policy_rerank{PolicyRerankMode::Limited};
};

// Counters of the recall, search, cognitive and maintenance operations.
struct StoreCounters {
  std::atomic<uint64_t> recalls{0};
  std::atomic<uint64_t> searches{0};
  std::atomic<uint64_t> cognitive_ops{0};
  std::atomic<uint64_t> maintenance_runs{0};
};

class Vesk {
 public:
  // Opens (creating when needed) the store in `path`. Every failure leaves
  // nothing open and the directory unlocked; the message is the one the caller
  // sees (the binding raises it as OSError).
  static Result<std::unique_ptr<Vesk>> open(const fs::path& path, std::optional<std::string_view> password,
                                            Env& env = Env::Default());

  Vesk(const Vesk&) = delete;
  Vesk& operator=(const Vesk&) = delete;
  // A store dropped without close(): background work stops and the record
  // log closes on the way (a failure is printed to standard error).
  ~Vesk();

  // Persists pending recall activations (one kind-4 frame, sorted by id),
  // forces the journal, flushes the record log with its side map.
  Status flush();
  // stop_background, stop the retention scheduler, flush, save the SDR index,
  // force and close the journal, close the record log (releasing the
  // directory lock). A failed flush or journal force ends it there, leaving
  // the store usable; a failed SDR index save does not stop the close, and
  // is returned once everything else is closed. close() may be repeated.
  Status close();
  // Stops the background worker if one was started.
  void stop_background();
  bool is_background_running() const;

  // Labels of the snapshot files "<stem>_snapshot_<label>.json" beside the
  // store directory, sorted; empty when the directory cannot be read.
  std::vector<std::string> list_snapshots() const;

  // Sets the security profile and clears both recall caches.
  void set_security_profile(SecurityProfile profile);
  SecurityProfile security_profile() const { return flags.security_profile.load(); }

  // Empties the text-recall cache, then the structured-recall cache.
  void clear_recall_caches();

  // ---- The store road (write/vesk_store.cc) ----

  // Stores a new record, or touches the exact duplicate of a text record
  // already held, and returns a copy of what the record map now holds. Takes
  // no Python lock itself: the callbacks it calls take it for their call.
  Result<Record> store_with_channel_and_validity(StoreRequest request);
  // The system's own writers: no causal parent, no validity window, External.
  Result<Record> store_with_channel(StoreRequest request);
  // The Python store: External authority; the stored (or touched) id.
  Result<std::string> store(StoreRequest request);

  // A copy of the record with exactly this id, or none. No namespace, access
  // or validity filter.
  std::optional<Record> get(std::string_view id) const;
  // Records held in memory, all namespaces; only those of `level` when given.
  size_t count(std::optional<Level> level = std::nullopt) const;

  // The claim certainty of a text (the caller's classifier, then the built-in
  // rules when on), or not classified.
  std::optional<ClaimCertainty> classify_certainty(std::string_view text) const;
  // The outcome classifier's verdict on a text, or none without one.
  std::optional<OutcomePolarity> classify_outcome(std::string_view text) const;

  // ---- Text and structured recall, sessions, embeddings (recall/) ----

  // The rendered context of a query in the "provenance" layout (default 40
  // candidates, budget 8192, min_strength 0.1, connections expanded), or in
  // the "levels" layout (20 candidates, budget 2048). Served from the text
  // recall cache when no session id is given. Never fails; counts nothing
  // (the caller counts the answer in recall_hits).
  std::string recall(std::string_view query, std::optional<uint64_t> token_budget = std::nullopt,
                     std::optional<float> min_strength = std::nullopt,
                     std::optional<bool> expand_connections = std::nullopt,
                     std::optional<std::string> session_id = std::nullopt,
                     std::optional<std::vector<std::string>> namespaces = std::nullopt);
  std::string recall_levels(std::string_view query, std::optional<uint64_t> token_budget = std::nullopt,
                            std::optional<float> min_strength = std::nullopt,
                            std::optional<bool> expand_connections = std::nullopt,
                            std::optional<std::string> session_id = std::nullopt,
                            std::optional<std::vector<std::string>> namespaces = std::nullopt);
  // The scored results of a query (defaults top_k 20, min_strength 0.1,
  // connections expanded), served from the structured recall cache when no
  // session id is given; counted in recall_hits. Never fails.
  std::vector<ScoredRecord> recall_structured(std::string_view query, std::optional<size_t> top_k = std::nullopt,
                                              std::optional<float> min_strength = std::nullopt,
                                              std::optional<bool> expand_connections = std::nullopt,
                                              std::optional<std::string> session_id = std::nullopt,
                                              std::optional<std::vector<std::string>> namespaces = std::nullopt);
  // True when a record of the namespaces (none: "default") has valid_from or
  // valid_until set; such recalls empty both caches first and are not served
  // from them.
  bool has_temporal_validity(const std::optional<std::vector<std::string>>& namespaces) const;

  // Links the records a session noted (link_session_records) and forgets the
  // session; the changed records are queued for the next flush. None for a
  // session without an entry.
  std::optional<SessionLinks> end_session(std::string_view session_id);
  // record_history of the record with exactly this id; a Runtime error
  // "Record not found: {id}" otherwise.
  Result<StringMap> history(std::string_view record_id) const;

  // Stores a vector for an existing record and clears both recall caches.
  // Value errors: "Embedding record not found", and those of the put.
  Status store_embedding(std::string_view record_id, std::span<const float> vector);
  bool has_embeddings() const;

  // Where new record ids come from: random v4 UUID prefixes unless a test
  // sets a source (before any store runs) to force collisions.
  using RecordIdSource = std::function<Result<std::string>()>;
  void set_record_id_source(RecordIdSource source) { id_source_ = std::move(source); }

  // The path as given to open (shown by repr and in messages).
  const fs::path& path() const { return path_; }
  std::string path_display() const { return path_.string(); }
  const StoreKey& key() const { return key_; }
  bool is_encrypted() const { return key_ != nullptr; }
  Env& env() const { return env_; }

  // ---- Parts, in the order of the lock hierarchy where they take part ----

  // The configuration block: taxonomy, trust, maintenance, circuit breaker.
  RuntimeConfig config;

  CognitiveStore& journal() { return *journal_; }
  VeskStorage& storage() { return *storage_; }
  const std::shared_ptr<VeskStorage>& storage_handle() const { return storage_; }

  Guarded<RecordMap> records;
  // The possible exact duplicates by content; taken only while `records` is
  // held, and kept in step by every writer of the record map.
  MutexGuarded<DuplicateIndex> duplicates;
  // Namespaces holding records with a validity window, Identity-level ids.
  // Written only while `records` is held for writing, by every writer that
  // inserts, replaces or erases a record (or changes its namespace, level or
  // validity bounds); read with or without `records`.
  Guarded<RecallRecordIndex> recall_index;
  Guarded<NgramIndex> ngram;
  Guarded<Bm25Index> terms;
  Guarded<TagIndex> tags;
  Guarded<IdMap> id_map;
  // Locks itself; only ever extended.
  SynonymMap synonyms;

  const SdrEncoder sdr_encoder{};
  // Shared with the recall calls that search it; locks itself.
  std::shared_ptr<SdrIndex> sdr_index;
  Guarded<RecordSdrMap> record_sdrs;

  // Locks itself (vectors before the log writer).
  std::unique_ptr<EmbeddingStore> embeddings;

  Guarded<ResearchProjects> research;
  Guarded<CredibilityTables> credibility;

  Guarded<SessionMap> sessions;
  // Locks itself; may be taken while the record map is held for reading.
  PendingActivations pending_activations;
  Guarded<std::vector<RecallReplayBaseline>> recall_replay;
  RecallCache<std::string> text_cache;
  RecallCache<std::vector<ScoredRecord>> structured_cache;

  StoreCounters counters;
  RecallHitCounters recall_hits;

  Guarded<BeliefEngine> beliefs;
  Guarded<ConceptEngine> concepts;
  Guarded<CausalEngine> causal;
  Guarded<PolicyEngine> policies;
  // The co-recall graph, behind its own lock (the plasticity state).
  PlasticityState plasticity;
  Guarded<EpistemicRuntime> epistemic;
  MutexGuarded<ExperienceQueue> experience_queue;

  // Where the five layer files live: the store directory and the data key.
  const PersistenceTarget persistence_target;
  Guarded<std::vector<MaintenanceTrendSnapshot>> maintenance_trends;
  Guarded<std::vector<ReflectionSummary>> reflection_summaries;
  Guarded<PersistenceManifest> persistence_manifest;
  // The report of this open; never changes afterwards.
  Guarded<StartupValidationReport> startup_report;
  Guarded<MaintenanceSettings> maintenance_settings;

  Guarded<std::shared_ptr<BackgroundState>> background;
  MutexGuarded<std::unique_ptr<RetentionScheduler>> retention_scheduler;
  // Locks itself; open for the life of the object.
  std::unique_ptr<AuditJournal> audit;

  // Locks itself; copied out and called with no store lock held.
  EmbeddingFnSlot embedding_fn;
  ClassifierSlot claim_classifier;
  ClassifierSlot outcome_classifier;

  // Serialises record purges and outcome receipt captures; guards no data.
  std::mutex destructive_mutation_mu;

  StoreFlags flags;

 private:
  Vesk(fs::path path, StoreKey key, Env& env);

  // Steps of the store road.
  Result<std::string> draw_record_id() const;
  Result<std::optional<Record>> touch_exact_duplicate(const ResolvedStore& s);
  Result<Record> persist_new_record(Record r);
  // Links of a new record to its causal parent and to records that share its
  // tags, before its journal frame is written.
  void link_new_record(Record& r);
  // Relations of the new record's namespace inferred after it is stored.
  Status infer_store_relations(const Record& r);

  const fs::path path_;
  const StoreKey key_;
  Env& env_;
  std::unique_ptr<CognitiveStore> journal_;
  std::shared_ptr<VeskStorage> storage_;
  RecordIdSource id_source_;
};

// All four rerank modes Limited, or all four Off; written belief first, then
// concept surface, causal, policy. No recall cache is cleared.
void set_full_cognitive_stack(Vesk& store, bool enabled);

// ---- Steps of the open sequence, exposed for tests -------------------------

// Load-time repairs over the loaded map, in map order: pin from the record
// log, source-type confidence, incomplete supersedes, missing supersede times.
// Returns the repaired ids without repeats, in first-repair order.
std::vector<std::string> apply_load_time_repairs(RecordMap& records, const VeskStorage& storage);

// Inserts into the SDR index every record of the map it lacks, with the SDR
// the record log keeps for it. Returns how many were added.
size_t backfill_sdr_index(SdrIndex& index, const RecordMap& records, const VeskStorage& storage);

}  // namespace vesk

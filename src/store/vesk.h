// Vesk: the main object, one open store directory.
//
// Every public operation of the system is a method of one Vesk, and every
// caller borrows it shared: several threads may be inside it at once. Its
// state is private and grouped into parts, each with its own contract and
// locks (a Guarded<T> per lock, an atomic, or fixed at open):
//
//   RecordState      the record map and the tables keyed by it
//   SearchIndexes    n-gram, term, tag, SDR and embedding indexes, synonyms
//   RecallState      recall caches, sessions, pending activations, counters
//   CognitiveLayers  beliefs, concepts, causal patterns, policy hints, the
//                    co-recall graph
//   MaintenanceState side files, reports, background work
//   RuntimeConfig    taxonomy, trust model, maintenance configuration
//   StoreFlags       the recall and write modes (relaxed atomics)
//   callbacks        the embedding function and the two text classifiers
//
// The order in which several parts may be held at once is written in
// store/lock_order.h and checked in debug builds and the C++ tests.
//
// Every change of a record goes through RecordChanges (record_changes.h): it
// journals first, then updates the map and every table and index, clears the
// recall caches and writes the audit entry, with one undo path.
//
// Vesk::open (vesk_open.cc) builds the whole object from the directory; there
// is no half-open Vesk. flush() and close() (vesk_close.cc) make it durable
// and end it. Time and random ids come from the Env the store was opened with.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "audit/applicability.h"
#include "audit/audit_graph.h"
#include "audit/claim_evidence.h"
#include "audit/consequence_policy_hint.h"
#include "audit/consequence_unit.h"
#include "audit/consequence_verdict.h"
#include "audit/correction_log_entry.h"
#include "audit/decision_explanation.h"
#include "audit/outcome_receipt_validation.h"
#include "audit/retrieval_episode.h"
#include "base/env.h"
#include "base/guarded.h"
#include "base/status.h"
#include "base/string_hash.h"
#include "cognitive/persistence_target.h"
#include "entities/entity_graph.h"
#include "entities/entity_records.h"
#include "entities/family_graph.h"
#include "entities/persona.h"
#include "entities/project_digest.h"
#include "entities/project_records.h"
#include "entities/research_project.h"
#include "entities/relation_views.h"
#include "exchange/capsule/container_retention.h"
#include "exchange/capsule/container_writer.h"
#include "exchange/capsule/retention_scheduler.h"
#include "exchange/context_capsule/context_capsule.h"
#include "index/embedding_fn.h"
#include "maintenance/insight.h"
#include "maintenance/maintenance_report.h"
#include "maintenance/maintenance_trend_summary.h"
#include "model/config_taxonomy.h"
#include "model/config_trust.h"
#include "model/record.h"
#include "model/memory_tier.h"
#include "model/record_access.h"
#include "model/scored_record.h"
#include "recall/acl_recall.h"
#include "recall/activation.h"
#include "recall/recall_explanation.h"
#include "recall/recall_replay_diff.h"
#include "recall/recall_request.h"
#include "recall/recall_sessions.h"
#include "recall/record_search.h"
#include "recall/recall_settings.h"
#include "recall/epistemic_rerank.h"
#include "recall/rerank_modes.h"
#include "reports/belief_instability.h"
#include "reports/cognitive_read_view.h"
#include "reports/memory_health_digest.h"
#include "reports/contradiction_clusters.h"
#include "cognitive/surfaced_concept.h"
#include "reports/contradiction_review.h"
#include "reports/namespace_digest.h"
#include "reports/policy_governance.h"
#include "reports/recently_corrected_beliefs.h"
#include "reports/reflection_digest.h"
#include "reports/salience_summary.h"
#include "reports/security_report.h"
#include "reports/store_statistics.h"
#include "storage/audit_journal.h"
#include "storage/cognitive_store.h"
#include "storage/crypto.h"
#include "storage/labelled_snapshot.h"
#include "storage/vesk_storage.h"
#include "store/cognitive_layers.h"
#include "store/maintenance_state.h"
#include "store/recall_state.h"
#include "store/record_changes.h"
#include "store/record_state.h"
#include "store/runtime_config.h"
#include "store/search_indexes.h"
#include "write/claim_certainty.h"
#include "write/record_update.h"
#include "write/purge_report.h"
#include "write/security_profile.h"
#include "write/source_credibility.h"
#include "write/store_request.h"
#include "write/text_classifiers.h"

namespace vesk {

class RecallCandidates;

// Modes of the recall variants and the write path, set by their setters and
// read by the operations without any lock: each is one byte, written whole,
// so relaxed loads and stores suffice (a reader sees the old or the new mode).
struct StoreFlags {
  std::atomic<SecurityProfile> security_profile{SecurityProfile::Balanced};
  std::atomic<bool> claim_rules{false};
  std::atomic<bool> identity_block{true};
  std::atomic<ContextDateMode> context_dates{ContextDateMode::FirstHand};
  std::atomic<BeliefRerankMode> belief_rerank{BeliefRerankMode::Limited};
  std::atomic<ConceptSurfaceMode> concept_surface{ConceptSurfaceMode::Inspect};
  std::atomic<CausalRerankMode> causal_rerank{CausalRerankMode::Limited};
  std::atomic<PolicyRerankMode> policy_rerank{PolicyRerankMode::Limited};

  // The rerank passes' view of the four layers (held by the caller) with
  // the modes as they read now.
  RerankContext rerank_context(const BeliefEngine& beliefs, const ConceptEngine& concepts, const CausalEngine& causal,
                               const PolicyEngine& policies) const {
    constexpr auto kRelaxed = std::memory_order_relaxed;
    return RerankContext{
        .beliefs = beliefs,
        .concepts = concepts,
        .causal = causal,
        .policies = policies,
        .belief_mode = belief_rerank.load(kRelaxed),
        .concept_mode = concept_surface.load(kRelaxed),
        .causal_on = causal_rerank.load(kRelaxed) == CausalRerankMode::Limited,
        .policy_on = policy_rerank.load(kRelaxed) == PolicyRerankMode::Limited,
    };
  }
};

// The Python callables plugged into a store. Each slot locks itself; a
// callable is copied out and called with no store lock held.
struct StoreCallbacks {
  EmbeddingFnSlot embedding_fn;
  ClassifierSlot claim_classifier{lock_order::kClaimClassifier};
  ClassifierSlot outcome_classifier{lock_order::kOutcomeClassifier};
};

class Vesk {
 public:
  // Opens (creating when needed) the store in `path`. Every failure leaves
  // nothing open and the directory unlocked; the message is the one the caller
  // sees (the binding raises it as OSError). Time, random ids and files come
  // from `env` for the life of the store.
  static Result<std::unique_ptr<Vesk>> open(const fs::path& path, std::optional<std::string_view> password,
                                            Env& env = Env::Default());

  Vesk(const Vesk&) = delete;
  Vesk& operator=(const Vesk&) = delete;
  // A store dropped without close(): background work stops and the record
  // log closes on the way (a failure is printed to standard error).
  ~Vesk();

  // ---- Lifecycle (vesk.cc, vesk_close.cc) ----

  // Persists pending recall activations (one kind-4 frame, sorted by id),
  // forces the journal, flushes the record log with its side map.
  Status flush();
  // stop_background, stop the retention scheduler, flush, save the SDR index,
  // force and close the journal, close the record log (releasing the
  // directory lock). A failed flush or journal force ends it there, leaving
  // the store usable; a failed SDR index save does not stop the close, and
  // is returned once everything else is closed. close() may be repeated
  // until it succeeds; after that it does nothing.
  Status close();
  // Stops the background worker if one was started.
  void stop_background();
  bool is_background_running() const;
  // Installs a fresh idle background worker state (cycle counter 0, no
  // cross-connection lines) in place of the one installed, unless that one's
  // worker runs. Starts no thread: cycles run only through run_maintenance.
  void start_background();

  // Labels of the snapshot files "<stem>_snapshot_<label>.json" beside the
  // store directory, sorted; empty when the directory cannot be read.
  std::vector<std::string> list_snapshots() const;

  // ---- Labelled snapshots (vesk_snapshots.cc, storage/labelled_snapshot.h) ----

  // Flushes, then writes every record held in memory, in map order, to the
  // label's snapshot file (replaced whole) and returns its path. The label
  // must be 1 to 64 letters, digits, '-' or '_'; its message otherwise.
  Result<fs::path> snapshot(std::string_view label);
  // Puts the records of the label's snapshot file in place of the records
  // held in memory (RecordChanges::restore_all: memory only, nothing is
  // journaled, a reopen shows the records of before) and returns the number
  // of entries the file held. "Snapshot '{label}' not found" for a missing
  // file and for a label that could name a file elsewhere (a '/' or NUL);
  // a file that cannot be read or parsed fails with its own message. Either
  // way the store is unchanged.
  Result<uint64_t> rollback(std::string_view label);
  // The ids added, removed and modified (content, strength or level) from
  // snapshot a to snapshot b; failures as for rollback, a's first. Takes no
  // store lock and does not look at the live records.
  Result<SnapshotDiff> diff(std::string_view label_a, std::string_view label_b) const;

  // ---- Containers of the open store (vesk_containers.cc) ----

  // Each captures the store directory into a container: flush, save the SDR
  // index, parse the signing key when one is given, take the container
  // mutation mutex and the lock file of the container path
  // (exchange/capsule/container_lock.h), write, release in reverse order and
  // wipe the key. No store lock is held across the capture, so writes from
  // other threads may land while the files are read. Every failure is an OS
  // error with the message of the step that failed.
  Result<ContainerExportReport> export_container(const fs::path& output_path,
                                                 std::optional<std::string_view> signing_key);
  Result<ContainerWriteReport> append_container(const fs::path& container_path,
                                                std::optional<std::string_view> signing_key);
  // Captures as above, appends one generation and, when that succeeded,
  // applies retention to the container under the same mutex and lock, so no
  // other mutation comes between them. When the retention fails the call
  // fails with its error and the appended generation stays committed.
  Result<std::pair<ContainerWriteReport, RetentionApplyReport>> append_container_with_retention(
      const fs::path& container_path, std::optional<std::string_view> signing_key, const RetentionPolicy& policy);

  // The store's one container retention scheduler slot
  // (exchange/capsule/retention_scheduler.h). Start checks and starts a new
  // scheduler (a failure leaves a running one as it was), then, holding the
  // slot, stops the one in it and puts the new one in its place; it gives
  // the new scheduler's status as started. Stop empties the slot, waiting
  // for the thread (and a pass in progress), and tells whether there was
  // one. Status is none for an empty slot. Close and the destructor stop
  // the scheduler first.
  Result<RetentionSchedulerStatus> start_container_retention_scheduler(const fs::path& container_path,
                                                                       uint64_t interval_seconds,
                                                                       const RetentionPolicy& policy,
                                                                       SchedulerClock& clock = SchedulerClock::Default());
  bool stop_container_retention_scheduler();
  std::optional<RetentionSchedulerStatus> container_retention_scheduler_status() const;

  // The path as given to open (shown by repr and in messages).
  const fs::path& path() const { return path_; }
  bool is_encrypted() const { return key_ != nullptr; }
  Env& env() const { return env_; }

  // ---- The store road (vesk_store.cc) ----

  // Stores a new record, or touches the exact duplicate of a text record
  // already held, and returns a copy of what the record map now holds. Takes
  // no Python lock itself: the callbacks it calls take it for their call.
  Result<Record> store_with_channel_and_validity(StoreRequest request);
  // The system's own writers: no causal parent, no validity window, External.
  Result<Record> store_with_channel(StoreRequest request);
  // The Python store: External authority; the stored (or touched) id. Every
  // failure is a Runtime error.
  Result<std::string> store(StoreRequest request);

  // A copy of the record with exactly this id, or none. No namespace, access
  // or validity filter.
  std::optional<Record> get(std::string_view id) const;
  // Records held in memory, all namespaces; only those of `level` when given.
  size_t count(std::optional<Level> level = std::nullopt) const;
  // The namespaces of the records held, sorted, each once.
  std::vector<std::string> list_namespaces() const;

  // The claim certainty of a text (the caller's classifier, then the built-in
  // rules when on), or not classified.
  std::optional<ClaimCertainty> classify_certainty(std::string_view text) const;
  // The outcome classifier's verdict on a text, or none without one.
  std::optional<OutcomePolarity> classify_outcome(std::string_view text) const;

  // Where new record ids come from: the Env's random source unless a test
  // sets a source (before any store runs) to force collisions.
  using RecordIdSource = std::function<Result<std::string>()>;
  void set_record_id_source(RecordIdSource source) { id_source_ = std::move(source); }

  // ---- Connections and typed links (vesk_links.cc) ----

  // Links two records of one namespace both ways with `weight` (none: 0.5),
  // typed with `relationship` when one is given (an empty text too), else
  // keeping each side's earlier relation type. Both records are journaled as
  // one forced record batch before the map changes; a failure changes
  // nothing. Runtime errors, checked in this order: "Record {id_a} not
  // found", "Record {id_b} not found", "Cannot connect records across
  // namespaces ('{ns_a}' vs '{ns_b}')", "Connections require distinct
  // records and a finite weight in [0, 1]".
  Status connect(std::string_view id_a, std::string_view id_b, std::optional<float> weight = std::nullopt,
                 const std::optional<std::string>& relationship = std::nullopt);

  // The anchor record id of an entity, or none: the lookup the typed link
  // uses to carry a strong link between two entities' records over to their
  // anchors.
  using EntityAnchorLookup = std::function<std::optional<std::string>(std::string_view entity_id)>;
  // The typed link both ways between two records of one namespace, with
  // `weight` (none: 0.8) clamped into [0, 1] and `relation_type` as given.
  // Only a side whose weight or type differs is set and journaled (a full
  // record frame each, not forced), and the recall caches are emptied only
  // when something changed. With a weight of at least 0.8 between records of
  // two different entities ("entity_id"), the entities' anchors (found by
  // `anchor_of`, called with no lock held) are linked the same way. Runtime
  // errors, checked in this order: "Cannot link record to itself", "Relation
  // type must not be empty", "Relation weight must not be NaN", "Source
  // record {id} not found", "Target record {id} not found", "Cannot link
  // records across namespaces: {a} vs {b}", then the journal's error (a side
  // changes in memory only once journaled, so a retry writes the rest).
  Result<RelationEdge> link_records_core(std::string_view source_id, std::string_view target_id,
                                         std::optional<float> weight, std::string_view relation_type,
                                         const EntityAnchorLookup& anchor_of);

  // ---- Namespace move (vesk_move.cc) ----

  // Moves the record into `new_namespace` and cuts the links that would
  // cross namespaces: its own to existing records outside the new namespace,
  // and those that records of its old namespace hold to it. The moved record
  // and those records are journaled as one forced record batch before the
  // map changes; a failure changes nothing. A move into the namespace it
  // already has changes and writes nothing. Returns a copy of the moved
  // record, or none for an unknown id. Every failure is an OS error: the
  // namespace's validation message, or the journal's.
  Result<std::optional<Record>> move_record(std::string_view record_id, std::string_view new_namespace);

  // ---- JSON import (vesk_import.cc) ----

  // Restores the records of a JSON array of records (the form export_json
  // writes) as they are: no validation beyond the record form, no stamping,
  // no limits of the store road. Each is journaled as a new-record frame, in
  // array order, and replaces a record held under its id; every table and
  // index follows (record_changes.h, restore), the record log does not.
  // Returns the array's length. A text that does not parse fails with its
  // message and changes nothing; a journal failure keeps the records before
  // it. Every failure is a Runtime error.
  Result<uint64_t> import_json(std::string_view json_text);

  // ---- Promotion and salience (vesk_promotion.cc, write/promotion_rule.h) ----

  // Copies of the Working and Decisions records that may climb, with at
  // least `min_activations` (none: 5) and `min_strength` (none: 0.7), by
  // activations then strength, highest first, ties in the map's order.
  std::vector<Record> promotion_candidates(std::optional<uint64_t> min_activations = std::nullopt,
                                           std::optional<float> min_strength = std::nullopt) const;
  // Why the record may not climb, or none (also for an unknown id).
  std::optional<std::string> promotion_block_reason(std::string_view record_id) const;
  // Raises the record one level, journaled as a full record (not forced)
  // before the map changes, and returns the new level; none for an unknown
  // id or a blocked record. A journal failure is an OS error and changes
  // nothing. No index, SDR, tag or audit entry changes.
  Result<std::optional<Level>> promote_record(std::string_view record_id);
  // Sets the salience (clamped into [0, 1]), "salience_reason" to the trimmed
  // reason (removed when there is none or it is blank) and
  // "salience_marked_at" to now with three decimals; journaled as a full
  // record, not forced. Returns a copy, or none for an unknown id. A NaN
  // salience and a journal failure are Runtime errors and change nothing.
  Result<std::optional<Record>> mark_record_salience(std::string_view record_id, double salience,
                                                     std::optional<std::string_view> reason = std::nullopt);

  // ---- Relation edges and entities (vesk_relation_edges.cc, vesk_entities.cc) ----
  //
  // Reads of the typed connections and of the local entities ("entity_id"
  // metadata, entities/entity_records.h). Each read holds the record map's
  // read lock once, for its whole pass, and changes nothing; none fails.

  // The relation edges of one record (a record id given; none for an unknown
  // id) or of every record (entities/relation_edges.h); `limit` none: 32.
  std::vector<RelationEdge> collect_relation_edges(std::optional<std::string_view> record_id,
                                                   std::optional<size_t> limit, bool structural_only) const;
  // A record and its edges (one-record scan), or none for an unknown id.
  std::optional<RelationDigest> get_relation_digest(std::string_view record_id, std::optional<size_t> limit) const;
  // link_records_core, carrying a strong link between two entities' records
  // over to the entities' anchors.
  Result<RelationEdge> link_records(std::string_view source_id, std::string_view target_id,
                                    std::string_view relation_type, std::optional<float> weight);

  // The records of an entity (copies, in map order, within the namespace of
  // its first record), or none when no record holds the id.
  std::optional<EntityRecordGroup> find_entity_records(std::string_view entity_id) const;
  // A copy of the entity's anchor record, or none.
  std::optional<Record> sorted_entity_records(std::string_view entity_id) const;
  // The entity's typed edges to other entities (entities/entity_relations.h);
  // `limit` none: 32; an unknown entity gives none.
  std::vector<EntityRelationEdge> get_entity_relations(std::string_view entity_id,
                                                       std::optional<size_t> limit) const;
  // The typed link between the anchors of two entities. Runtime errors:
  // "Cannot link entity to itself" (before anything else), "Source entity
  // {id} not found", "Target entity {id} not found", then link_records_core's.
  Result<EntityRelationEdge> link_entities(std::string_view source_entity_id, std::string_view target_entity_id,
                                           std::string_view relation_type, std::optional<float> weight);
  // The inspect views of an entity (entities/entity_digest.h); none, or an
  // empty list, for an entity no record holds. The _for_record forms take
  // the record's "entity_id" (none without the record or the key).
  std::optional<EntityDigest> get_entity_digest(std::string_view entity_id) const;
  std::optional<EntityDigest> get_entity_digest_for_record(std::string_view record_id) const;
  std::optional<EntityGraphDigest> get_entity_graph_digest(std::string_view entity_id,
                                                           std::optional<size_t> limit) const;
  std::optional<EntityGraphDigest> get_entity_graph_digest_for_record(std::string_view record_id,
                                                                      std::optional<size_t> limit) const;
  std::vector<EntityGraphDigest> get_entity_graph_neighbors(std::string_view entity_id, std::optional<size_t> top_n,
                                                            std::optional<float> min_weight,
                                                            std::optional<std::string_view> relation_type_filter,
                                                            std::optional<size_t> edge_limit) const;

  // ---- Family, user profile and persona (vesk_family.cc, vesk_profile.cc) ----
  //
  // The family reads hold the record map's read lock once and cost the
  // anchor's connections: the anchor comes from the structural relation
  // index's profile records, never from a walk of the map. The writers store
  // and update through the store road and `update`; the profile and the
  // persona are found by `search` (level Identity, their one tag, limit 1,
  // namespace "default"), so they count in the search counters.

  // A copy of the first record in map order tagged "user-profile" (of
  // `namespace_` when given), or none.
  std::optional<Record> find_family_anchor(std::optional<std::string_view> namespace_) const;
  // The family graph of the anchor of `namespace_` (none: any namespace), or
  // none without an anchor.
  std::optional<FamilyGraphSnapshot> get_family_graph(std::optional<std::string_view> namespace_) const;
  // The family graph of the namespace of the record; none for an unknown id
  // or a namespace without an anchor.
  std::optional<FamilyGraphSnapshot> get_family_graph_for_record(std::string_view record_id) const;
  // The record as a member of its namespace's family graph, or none.
  std::optional<PersonDigest> get_person_digest(std::string_view record_id) const;
  // Stores a person (level Identity, tags ["family"], deduplication off) in
  // the namespace of the anchor of `namespace_` (none: any namespace), or in
  // `namespace_` without one, with the metadata of family_person_metadata.
  // Runtime errors: "Invalid family relation type: {type}" before anything
  // else, then the store road's.
  Result<std::string> store_family_person(std::string_view relation_type, std::string content,
                                          std::optional<StringMap> metadata,
                                          std::optional<std::string> namespace_);

  // Renders `fields` and stores them as a new pinned Identity profile in
  // "default", or merges them into the profile's metadata and renders the
  // merged map again through `update`. Returns the profile's id. Runtime
  // errors: the store road's or update's, "Profile record disappeared".
  Result<std::string> store_user_profile(const StringMap& fields);
  // The profile's whole metadata, ordered by key, or none without a profile.
  std::optional<std::map<std::string, std::string>> get_user_profile();
  // Stores the persona's prompt with its JSON ("persona_json") as a new
  // pinned Identity record tagged "agent-persona" in "default", or replaces
  // the content and the JSON of the persona record through `update`. Returns
  // the record's id. Runtime errors: "persona trait {name} must be finite"
  // (before anything is written), the store road's or update's, "Persona
  // record disappeared".
  Result<std::string> set_persona(const AgentPersona& persona);
  // The persona read back from the persona record, or none without one,
  // without "persona_json" or with a text that does not read.
  std::optional<AgentPersona> get_persona();

  // ---- Text and structured recall (vesk_recall.cc, vesk_recall_core.cc) ----

  // The rendered context of a query in the "provenance" layout (default 40
  // candidates, budget 8192, min_strength 0.1, connections expanded), or in
  // the "levels" layout (20 candidates, budget 2048). Served from the text
  // recall cache when no session id is given. Never fails; every answer,
  // cached or not, is counted in the recall hit counters.
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
  // recall or recall_levels by the layout's name ("provenance", the default,
  // or "levels"); any other name fails with the Value error `unknown recall
  // format "x"; expected levels or provenance` before any work.
  Result<std::string> recall_formatted(std::string_view query, std::optional<uint64_t> token_budget,
                                       std::optional<float> min_strength, std::optional<bool> expand_connections,
                                       std::optional<std::string> session_id,
                                       std::optional<std::vector<std::string>> namespaces,
                                       std::optional<std::string_view> format);
  // The scored results of a query (defaults top_k 20, min_strength 0.1,
  // connections expanded), served from the structured recall cache when no
  // session id is given; counted in the recall hit counters. Never fails.
  std::vector<ScoredRecord> recall_structured(std::string_view query, std::optional<size_t> top_k = std::nullopt,
                                              std::optional<float> min_strength = std::nullopt,
                                              std::optional<bool> expand_connections = std::nullopt,
                                              std::optional<std::string> session_id = std::nullopt,
                                              std::optional<std::vector<std::string>> namespaces = std::nullopt);
  // The recall core's answer (defaults as recall_structured's; no cache, no
  // hit counters) widened by the eligible records whose content contains the
  // query and, unless include_failures is false, the failure memories
  // (recall/full_recall.h), found through the substring and tag indexes;
  // sorted and cut to top_k + 15. Never fails.
  std::vector<ScoredRecord> recall_full(std::string_view query, std::optional<size_t> top_k = std::nullopt,
                                        std::optional<bool> include_failures = std::nullopt,
                                        std::optional<float> min_strength = std::nullopt,
                                        std::optional<bool> expand_connections = std::nullopt,
                                        std::optional<std::string> session_id = std::nullopt,
                                        std::optional<std::vector<std::string>> namespaces = std::nullopt);
  // Structured recall on behalf of `subject` (recall/acl_recall.h): every
  // record of the namespaces valid now is checked, the denied ones left out
  // of the ranking in enforce mode and reported in audit mode; then the
  // recall core's ranking (defaults as recall_structured's) over the rest,
  // the bookkeeping and the hit counters. No cache. Never fails.
  AclRecallAnswer recall_structured_acl(std::string_view query, AclEnforcement mode, const AccessRequest& subject,
                                        std::optional<size_t> top_k = std::nullopt,
                                        std::optional<float> min_strength = std::nullopt,
                                        std::optional<bool> expand_connections = std::nullopt,
                                        std::optional<std::string> session_id = std::nullopt,
                                        std::optional<std::vector<std::string>> namespaces = std::nullopt);
  // Explains again the stored baseline of `trace_id` (the newest of that
  // id) with its stored parameters, appending a baseline of its own, and
  // compares the new ranking with the stored one. The baseline is copied
  // under the history's read lock, released before the explanation runs. An
  // id not in the history is the Key error "Unknown or expired recall
  // trace: " + the id as passed, and nothing runs.
  struct RecallReplay {
    std::string original_trace_id;
    std::string replay_trace_id;
    RecallReplayDiff diff;
  };
  Result<RecallReplay> replay_recall(std::string_view trace_id);
  // True when a record of the namespaces (none: "default") has valid_from or
  // valid_until set; such recalls empty both caches first and are not served
  // from them.
  bool has_temporal_validity(const std::optional<std::vector<std::string>>& namespaces) const;

  // The one road of every query-driven recall: at most top_k (and at most
  // 100) results in their final order, with the post-recall bookkeeping.
  std::vector<ScoredRecord> recall_core(const RecallRequest& request);
  // The pipeline and rerank of recall_core without the bookkeeping, at the
  // given wall-clock time: what a recall would return, changing nothing.
  std::vector<ScoredRecord> recall_ranked(const RecallRequest& request, double now) const;

  RecallHitStats recall_hit_stats() const;
  void reset_recall_hit_stats();

  // ---- Point-in-time recall (vesk_point_in_time.cc) ----

  // Transaction-time recall: the pipeline for exactly top_k results (no
  // widening, no cognitive rerank, no cache, no hit counter) over the records
  // created at or before `timestamp` and valid at it, all namespaces of the
  // map filtered in place; then the post-recall bookkeeping on the results.
  // A NaN or infinite timestamp is the Runtime error "timestamp must be a
  // finite Unix timestamp", raised after the query was embedded and before
  // anything changes.
  Result<std::vector<ScoredRecord>> recall_at(const RecallRequest& request, double timestamp);
  // Business-time recall: the same over every record valid at `timestamp`,
  // whenever it was created; read-only, no bookkeeping.
  Result<std::vector<ScoredRecord>> recall_as_of(const RecallRequest& request, double timestamp) const;

  // ---- Tier recall (vesk_tier_recall.cc) ----

  // The records of one tier, at most `limit`. With a query: recall_core
  // (top_k 3 x limit, saturating; connections expanded; min_strength 0.1),
  // its results of the tier in its order. Without: the tier's records valid
  // now in the namespaces (none: "default"; exact names) that an anonymous
  // reader may see, highest importance first (ties in the record map's
  // order). Both count in the recall hit counters. Never fails.
  std::vector<Record> recall_tier(MemoryTier tier, std::optional<std::string_view> query, size_t limit,
                                  std::optional<std::vector<std::string>> namespaces);

  // ---- Search (vesk_search.cc, recall/record_search.h) ----

  // Copies of at most `limit` (none: 20) records that pass every filter of
  // the query, highest importance first, ties in the record map's order;
  // counted in the search counters. The Python search and the system's own
  // writers that look up their anchor records. Never fails.
  std::vector<Record> search(const SearchQuery& query);

  // ---- Explained recall (vesk_explain.cc, recall/recall_explanation.h) ----

  // Why a recall (defaults top_k 20, min_strength 0.1, connections expanded,
  // namespaces {"default"}) returns what it returns: its results as explained
  // items and the candidates it passed over with their reasons. Changes no
  // record, no cache and no audit entry; appends a replay baseline to the
  // recall replay history (dropping the oldest at 128) and saves it, a failed
  // save ignored. Fails only when the random source cannot give a trace id.
  Result<RecallExplanation> explain_recall(std::string_view query, std::optional<uint64_t> top_k = std::nullopt,
                                           std::optional<float> min_strength = std::nullopt,
                                           std::optional<bool> expand_connections = std::nullopt,
                                           std::optional<std::vector<std::string>> namespaces = std::nullopt);

  // ---- Sessions, history and embeddings (vesk_sessions.cc) ----

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
  // Sets (or with null clears) the embedding function and clears both recall
  // caches; stored vectors stay.
  void set_embedding_fn(EmbeddingFnHandle fn);

  // ---- Settings (vesk_settings.cc) ----

  // Sets the security profile and clears both recall caches.
  void set_security_profile(SecurityProfile profile);
  // The profile by name ("balanced" or "strict"); another name fails with
  // its Value error and changes nothing.
  Status set_security_profile(std::string_view profile);
  SecurityProfile security_profile() const { return flags_.security_profile.load(); }

  // Replaces the trust model whole; values are not checked. The recall
  // caches are kept.
  void set_trust_config(TrustConfig config);
  // Replaces only the fusion mode, then clears both recall caches. A text not
  // in kFusionModes fails with `unknown fusion mode "x"; expected one of
  // ["equal", "embedding_only", "family", "bm25_embedding"]` (a Value error)
  // and changes nothing.
  Status set_recall_fusion_mode(std::string_view mode);

  // Each parses its text (recall_settings.h) and stores the mode; a refused
  // text changes nothing. No recall cache is cleared.
  Status set_belief_rerank_mode(std::string_view mode);
  Status set_concept_surface_mode(std::string_view mode);
  Status set_causal_rerank_mode(std::string_view mode);
  Status set_policy_rerank_mode(std::string_view mode);
  // All four rerank modes Limited, or all four Off; written belief first,
  // then concept surface, causal, policy. No recall cache is cleared.
  void set_full_cognitive_stack(bool enabled);
  // The date mode and the identity flag change what a text recall renders:
  // both recall caches are emptied once the new value is in place.
  Status set_context_dates(std::string_view mode);
  void set_identity_block_enabled(bool enabled);
  void set_claim_rules_enabled(bool enabled);
  // Sets (or with null clears) a text classifier.
  void set_claim_classifier(TextClassifierHandle classifier);
  void set_outcome_classifier(TextClassifierHandle classifier);

  // The tag taxonomy, replaced whole (the recall caches stay) or copied.
  void set_taxonomy(TagTaxonomy taxonomy);
  TagTaxonomy taxonomy() const;
  // Merges the groups of the TOML file at `path` (through the store's Env);
  // the number of words read, or the file's OS error.
  Result<uint64_t> load_synonyms(const std::string& path);
  bool has_synonyms() const;

  // ---- Record access control (vesk_access.cc) ----

  // Sets "acl_visibility", writes the three lists (an empty list removes its
  // key) and sets or removes "acl_policy_version" (apply_record_acl); the
  // changed record is journaled as a full record, not forced, and both recall
  // caches are cleared. Returns a copy of the changed record, or none for an
  // unknown id. Errors: Value "visibility must be 'public' or 'restricted'"
  // and Runtime with the journal's message; either way nothing changes.
  Result<std::optional<Record>> set_record_acl(std::string_view record_id, const RecordAclChange& change);
  // The decision for `subject` on the record, or none for an unknown id.
  std::optional<AccessDecision> check_record_access(std::string_view record_id, const AccessRequest& subject) const;

  // ---- Record edits (vesk_update.cc, vesk_supersede.cc, vesk_record_marks.cc) ----

  // Changes the given fields of a record in place (write/record_update.h)
  // and returns a copy of it as changed, or none for an unknown id. Checked
  // before the lookup, each a Runtime error that changes nothing: the source
  // type's validity, "vesk.audit.v1.* metadata is reserved; use the audit
  // entity APIs", the reserved consequence tags and keys, a NaN strength
  // ("strength must not be NaN"; infinities clamp); the new content's claim
  // certainty is classified then, with no lock held. Under the seam's hold of
  // the record map: a raised source type fails; a new content is re-encoded
  // (SDR postings, record SDRs; the stored embedding is computed again once
  // the lock is released, or removed without an embedding function) and
  // reclassified, and the confidence follows the content and the source
  // type; the record is journaled whole (kind 2). Then the structural
  // relations of its namespace are inferred; their error is returned though
  // the update stands. The record log is not touched.
  Result<std::optional<Record>> update(std::string_view record_id, RecordUpdate change);
  // Stores a new version of a record and closes the old one; returns the new
  // version's id. Without `effective_at` it runs in the span "supersede" and
  // the version takes effect now. The new version: the given content, level
  // and tags (else the old record's; the reserved consequence tags refused
  // in given tags, guard tags added), the old record's content, source and
  // semantic types and namespace, the provenance of an agent, valid from the
  // effective time, caused by the old record, linked to the records sharing
  // its tags and "causal" 0.7 both ways with the old record. The old record
  // gets "superseded_by", `superseded_at` and a validity ending no later than
  // the effective time. Copies of every record that changes are staged under
  // the record map's write lock and written, after the new version's record
  // log entry, as one forced record batch; only then does the map change,
  // so a failed supersession changes nothing. The taxonomy and trust model
  // are copied before the record map is locked. Relation inference follows;
  // its failure is ignored. Runtime errors, in order: "effective_at must be
  // a finite Unix timestamp", the content's size, the reserved tags, "Record
  // '{id}' not found", "Record '{id}' is already superseded", "effective_at
  // must be later than the old record's valid_from", "A superseding version
  // must remain in namespace '{ns}'", the namespace's, the tag count's, the
  // record log's, "failed to atomically persist superseding version" (the
  // journal's error its cause).
  Result<std::string> supersede(std::string_view old_id, std::string new_content, std::optional<Level> level,
                                std::optional<std::vector<std::string>> tags,
                                std::optional<std::string> namespace_, std::optional<double> effective_at);
  Result<Record> supersede_record(std::string_view old_id, std::string new_content, double effective_at,
                                  std::optional<Level> level, std::optional<std::vector<std::string>> tags,
                                  std::optional<std::string> namespace_);
  // The record's "superseded_by" unless empty or "pending"; none otherwise
  // and for an unknown id.
  std::optional<std::string> superseded_by(std::string_view record_id) const;
  // The versions of the record's fact, oldest first: back along caused_by_id
  // while the parent names the current record as its successor, then
  // forward along "superseded_by"; each record once. Empty for an unknown id.
  std::vector<Record> version_chain(std::string_view record_id) const;
  // Replaces the whole validity window (an absent bound becomes absent) and
  // journals the record whole; returns a copy. Value errors, nothing
  // changed: "Record '{id}' not found", the window's messages, the journal's.
  Result<Record> set_temporal_validity(std::string_view record_id, std::optional<double> valid_from,
                                       std::optional<double> valid_until);
  // One verdict on a record (write/record_update.h apply_feedback), in the
  // span "feedback", journaled whole; false for an unknown id. Runtime error:
  // the journal's, nothing changed.
  Result<bool> feedback(std::string_view record_id, bool useful);
  // (useful, useless, useful - useless as a signed 32-bit number), or none
  // for an unknown id.
  std::optional<std::tuple<uint32_t, uint32_t, int32_t>> feedback_stats(std::string_view record_id) const;

  // ---- Maintenance (vesk_maintenance.cc, vesk_index_refresh.cc) ----

  // Runs one maintenance cycle on the calling thread (the concept and causal
  // phases side by side on the thread pool) and reports it; the cycle's
  // steps and locks are described in vesk_maintenance.cc. Failed saves and a
  // failed flush are dropped, so it returns no error; an exception of a
  // phase reaches the caller once the cycle's parallel work has ended.
  // Cycles of one store run one at a time: a second waits for the first.
  MaintenanceReport run_maintenance();
  // Takes records that a maintenance pass already removed from the record
  // map out of the n-gram, term and tag indexes (dropping a tag no record
  // carries any more), the id map (every entry naming them), the record SDR
  // map, the stored embeddings (a failed removal is passed over), the record
  // log's entry map and the SDR index. Takes the index locks one at a time
  // and none for an empty list; the caller may hold the record map.
  //
  // With `keep_embeddings` the stored embeddings stay: a demoted record is
  // still in the journal and comes back at the next open, vector and all.
  void refresh_indexes_after_maintenance(std::span<const std::string> ids, bool keep_embeddings = false);

  // ---- Stand-alone maintenance passes (vesk_reflect.cc, vesk_decay.cc) ----
  //
  // Each is one pass over the record map under its write lock, journalled
  // as one mutation batch (RecordChanges::Batch::rewrite_all); when the batch
  // cannot be written every record is put back and the Runtime error carries
  // the journal's message. Then, with the record map released, the index
  // refresh of the removed records and both recall caches emptied.

  // The counts of the reflection pass (maintenance/reflection_pass.h, its
  // reflect() form), by key: "promoted", "archived",
  // "promotion_blocked_conflict", "promotion_blocked_volatility",
  // "promotion_blocked_identity_threshold", "epistemic_records_updated".
  Result<StringKeyMap<uint64_t>> reflect();
  // Level decay (maintenance/decay_passes.h): (records decayed, archived).
  // More than 100 archived: the journal is compacted; a compaction failure
  // is returned, the decay staying in force.
  Result<std::pair<uint64_t, uint64_t>> decay();
  // Route-state decay: (records decayed, demoted). Demoted records leave
  // memory and the indexes but not the journal, which still holds them as
  // they were before the call, nor the stored embeddings.
  Result<std::pair<uint64_t, uint64_t>> decay_by_route_state();
  // Replaces the maintenance configuration with `config`, unchecked; a cycle
  // running meanwhile keeps the copy it took at its start.
  void configure_maintenance(MaintenanceConfig config) { config_.set_maintenance(std::move(config)); }

  // ---- Insights (vesk_insights.cc) ----

  // Runs the insight detectors (maintenance/insight_detectors.h) of
  // `phase`, 0, 1 or 2, or all three in that order when none, under the
  // record map's read lock, and hands their list to `use` before the lock is
  // let go, so a caller can build its own form of it from the same records.
  // A phase from 3 up is refused once the lock is taken: Value error
  // "Invalid phase {}. Must be 0, 1, or 2.", `use` not called.
  Status insights(std::optional<uint8_t> phase, const std::function<void(std::span<const Insight>)>& use) const;

  // ---- Audit entities and the audit graph (vesk_audit.cc) ----
  //
  // The only writers of the "vesk.audit.v1.*" metadata. Each change is made
  // on copies of its records under the record map's write lock, from the
  // resolution of the identifiers to the copies' return to the map, which
  // includes writing them as one forced patch list frame (kind 5): a frame
  // that cannot be written changes nothing. Both recall caches are emptied
  // after the lock is released. Every failure is a Runtime error; the
  // callers parse the vocabulary (audit/audit_vocabulary.h) first.

  // The audit graph (audit/audit_graph.h) of `namespace_` (none: every
  // namespace) at `valid_at` (none: now), built under the record map's read
  // lock from the records that hold an entity id.
  Result<AuditGraph> audit_graph(const std::optional<std::string>& namespace_,
                                 std::optional<double> valid_at = std::nullopt) const;
  // Makes the record `record_or_entity_id` denotes an audit entity of `kind`,
  // or confirms it as one, with `status` in force from now on (an event is
  // appended unless the last one already says so with no window), under its
  // existing entity id, else `canonical_id`, else its record id. Answers the
  // entity's node in the graph of its namespace just after the change. The
  // kind and the id of an entity never change.
  Result<AuditGraphNode> annotate_audit_entity(std::string_view record_or_entity_id, AuditEntityKind kind,
                                               AuditEntityStatus status,
                                               const std::optional<std::string>& canonical_id = std::nullopt);
  // Appends a status event with its validity window (none: open) to an
  // existing entity, unless the last event is the same. Answers the node at
  // the later of now and valid_from, so a future status shows as it will be.
  Result<AuditGraphNode> set_audit_entity_status(std::string_view record_or_entity_id, AuditEntityStatus status,
                                                 std::optional<double> valid_from = std::nullopt,
                                                 std::optional<double> valid_until = std::nullopt);
  // Stores the edge `relation` from one entity to another of its namespace
  // (an identical edge, window included, keeps its first recorded_at) and
  // connects the two records both ways with weight 1.0 and the relation's
  // name, replacing any connection between them. Answers the edge with its
  // times as stored.
  Result<StoredAuditGraphEdge> link_audit_entities(std::string_view from_record_or_entity_id,
                                                   std::string_view to_record_or_entity_id,
                                                   AuditRelationKind relation,
                                                   std::optional<double> valid_from = std::nullopt,
                                                   std::optional<double> valid_until = std::nullopt);

  // ---- Context capsules and the whole-store JSON (vesk_exchange.cc) ----

  // The context capsule of `namespace_` (none: "default") for `purpose` at
  // `valid_at` (none: now), built under the record map's read lock
  // (exchange/context_capsule/context_capsule.h). Value errors, checked in
  // this order before anything is read: the namespace's, "context capsule
  // purpose must not be empty" for a purpose of nothing but white space,
  // "valid_at must be a finite Unix timestamp".
  Result<ContextCapsule> build_context_capsule(std::string_view purpose, uint64_t token_budget,
                                               std::optional<std::string_view> namespace_ = std::nullopt,
                                               std::optional<double> valid_at = std::nullopt) const;
  // The same capsule with compacted texts and its compaction record; the
  // read lock is held across the plain and the compacted fill.
  Result<ContextCapsule> build_compacted_context_capsule(std::string_view purpose, uint64_t token_budget,
                                                         std::optional<std::string_view> namespace_ = std::nullopt,
                                                         std::optional<double> valid_at = std::nullopt) const;
  // Every record held in memory as the indented JSON array of their Record
  // JSON objects, in map order, written under the record map's read lock
  // ("[]" for an empty store; a non-finite float is null).
  std::string export_json() const;
  // The results of recall_structured for the query (top_k 20 when none; the
  // one namespace when given, all otherwise) as a context fragment
  // (exchange/context_fragment/context_fragment.h), "shared_from" this
  // store's directory. The recall's caching and bookkeeping take place.
  std::string export_context(std::string_view query, std::optional<size_t> top_k = std::nullopt,
                             std::optional<std::string> namespace_ = std::nullopt);
  // Stores each record of a context fragment through store_with_channel as
  // retrieved memory (default namespace, no promotion), then halves the
  // strength of the record the write returned (the existing one when
  // duplicate detection matched) through the record-change seam, one
  // record at a time; both recall caches are cleared at the end. Not
  // transactional: a failure at one record leaves those before it stored.
  // The number of fragment records; Runtime errors (the fragment's checks,
  // the write path's, the journal's).
  Result<uint64_t> import_context(std::string_view fragment_json);

  // ---- Foundations of the reports (vesk_reports.cc) ----

  // Shared locks on the record map and the four layers, in lock order, held
  // until the view dies (reports/cognitive_read_view.h).
  CognitiveReadView cognitive_read_view() const;
  // Copies of every policy hint and every causal pattern, in the layer's map
  // order, each taken under a view of its own.
  std::vector<PolicyHint> list_policy_hints() const;
  std::vector<CausalPattern> list_causal_patterns() const;
  // The correction entries of the current audit journal file, in file order
  // (reports/correction_log.h); empty without an open journal. Takes none of
  // the store's locks. Never fails.
  std::vector<CorrectionLogEntry> read_correction_log() const;
  // Advisory pressure by (namespace, domain) and the lifecycle counts of the
  // policy hints (reports/policy_governance.h), each under one cognitive
  // read view. Never fail.
  std::vector<PolicyPressureArea> get_policy_pressure_report(std::optional<std::string_view> namespace_,
                                                             std::optional<size_t> limit) const;
  PolicyLifecycleSummary get_policy_lifecycle_summary(std::optional<size_t> action_limit,
                                                      std::optional<size_t> domain_limit) const;
  // The memory health digest (reports/memory_health_digest.h): the reports
  // above run one after another with one limit (8 when none, at most 20),
  // each under its own shared locks, none held across two of them; the
  // correction log is read once. Never fails.
  MemoryHealthDigest get_memory_health_digest(std::optional<uint64_t> limit) const;
  // The cross-namespace digest (reports/namespace_digest.h) of the
  // namespaces the filter names (every one without a filter). The correction
  // log is read first, when that dimension is on; then the record map and
  // the belief, concept and causal layers are read under shared locks taken
  // once, in lock order, and held until the entries and pairs are built.
  // Never fails.
  CrossNamespaceDigest cross_namespace_digest(const std::optional<std::vector<std::string>>& filter,
                                              const CrossNamespaceDigestParams& params) const;

  // ---- Corrections of the cognitive layers (vesk_corrections.cc) ----

  // Each holds the one layer's write lock from the lookup through the save of
  // that layer's file; then clears the text and structured recall caches and
  // appends a correction entry to the audit journal (a failed append is
  // dropped). False for an unknown id, nothing touched. A failed save is a
  // Runtime error with the save's message, and the item is put back as it
  // was before the lock is released: nothing changed, nothing logged.
  // Deprecation halves the confidence (floor 0.05), scales the score with
  // it, and leaves the belief Unresolved with no winner and stability 0.
  Result<bool> deprecate_belief(std::string_view belief_id, std::string_view reason);
  // Removes the hint and its key's entry in the key index.
  Result<bool> retract_policy_hint(std::string_view hint_id, std::string_view reason);
  // Invalidated, with the reason and the time (again when already so).
  Result<bool> invalidate_causal_pattern(std::string_view pattern_id, std::string_view reason);

  // ---- The belief layer's questions and settings (belief_queries.cc) ----

  // Readers take the cognitive read view for the call; the threshold setter
  // takes the belief layer's write lock. None fails.
  // The id of the belief that holds a record through one of its hypotheses.
  std::optional<std::string> belief_id_for_record(std::string_view record_id) const;
  // Copies of the beliefs that pass the state filter (store/belief_queries.h),
  // in map order.
  std::vector<Belief> list_beliefs_by_state(std::optional<std::string_view> state = std::nullopt) const;
  // The cosine threshold of the embedding test of the next belief phases
  // (none turns the test off), stored as given: no range test.
  void set_embedding_claim_threshold(std::optional<float> threshold);
  // Contradiction clusters (reports/contradiction_clusters.h) of one
  // namespace or of all.
  std::vector<ContradictionCluster> get_contradiction_clusters(std::optional<std::string_view> namespace_,
                                                               std::optional<size_t> limit) const;
  // The clusters of one namespace (or of all) ranked for review
  // (reports/contradiction_review.h): the clusters under one read view, then
  // the causal and the policy dependents each under a view of their own;
  // scored with no lock held. Limit 10 when none, at most 50.
  std::vector<ContradictionReviewItem> get_contradiction_review_queue(std::optional<std::string_view> namespace_,
                                                                      std::optional<uint64_t> limit) const;
  // Copies of the beliefs the newest "belief" correction entries touched
  // (reports/recently_corrected_beliefs.h), under the belief layer's shared
  // lock held while the correction log is read. Limit 20 when none, at most
  // 100.
  std::vector<Belief> get_recently_corrected_beliefs(std::optional<uint64_t> limit) const;
  // The instability summary and the most volatile and least stable beliefs
  // (reports/belief_instability.h), each under one cognitive read view.
  BeliefInstabilitySummary get_belief_instability_summary() const;
  std::vector<Belief> get_high_volatility_beliefs(std::optional<float> min_volatility,
                                                  std::optional<size_t> limit) const;
  std::vector<Belief> get_low_stability_beliefs(std::optional<float> max_stability,
                                                std::optional<size_t> limit) const;

  // ---- The concept surface (concept_queries.cc) ----

  // Each takes the cognitive read view for the call and answers nothing
  // while the concept surface mode is off (no counter moves then). The two
  // getters run surface_concepts (cognitive/concept_surface.h) with the
  // limit (none: 10) and count their call and the concepts returned.
  std::vector<SurfacedConcept> get_surfaced_concepts(std::optional<size_t> limit) const;
  std::vector<SurfacedConcept> get_surfaced_concepts_for_namespace(std::string_view namespace_,
                                                                   std::optional<size_t> limit) const;
  // The surfaced concepts (all namespaces, at most 10) listing the record,
  // at most 3 in surfacing order; counts one record call and the concepts
  // taken as returned and as annotations.
  std::vector<SurfacedConcept> surfaced_concepts_for_results(std::string_view record_id) const;
  // The same for every result of one answer, surfacing once for all of
  // them; the counters move as if each record were asked alone. Empty
  // (not one list per result) while the mode is off.
  std::vector<std::vector<SurfacedConcept>> surfaced_concepts_for_results(
      std::span<const ScoredRecord> results) const;

  // ---- Store statistics, salience, the security report, the tool breaker (vesk_statistics.cc) ----

  // Counts of the in-memory records: per level with connections, and the
  // tag index's distinct tags (records, then the tag index, read-locked in
  // lock order); per tier; per namespace. Each under the record map's read
  // lock.
  StoreStats stats() const;
  TierStats tier_stats() const;
  StringKeyMap<uint64_t> namespace_stats() const;
  // The records scanned under the record map's read lock, released before
  // the classifier slot is read; the other facts are single reads.
  SecurityReport security_report() const;
  // The salience summary and the most salient records
  // (reports/salience_summary.h): only the record map's read lock, held
  // while counting or copying; the list is ordered after it is released.
  SalienceSummary get_salience_summary() const;
  std::vector<Record> get_high_salience_records(std::optional<float> min_salience,
                                                std::optional<size_t> limit) const;
  // The per-tool circuit breaker (reports/circuit_breaker.h), in memory only.
  void record_tool_failure(std::string_view tool_name) { config_.breaker().record_failure(tool_name); }
  void record_tool_success(std::string_view tool_name) { config_.breaker().record_success(tool_name); }
  bool is_tool_available(std::string_view tool_name) { return config_.breaker().is_available(tool_name); }
  StringMap tool_health() { return config_.breaker().health(); }
  // Read-only questions over the graph of every namespace as it stands now
  // (audit/claim_evidence.h, audit/decision_explanation.h): the graph is
  // built under the read lock, which is let go before the question is
  // answered, and dropped after. Errors are the graph build's and the
  // question's, all Runtime.
  Result<ClaimEvidenceTrace> trace_claim_evidence(std::string_view claim_id) const;
  Result<std::vector<ContradictionReport>> find_claim_conflicts(std::string_view claim_id) const;
  Result<DecisionExplanation> explain_decision(std::string_view decision_id) const;

  // ---- Source credibility (vesk_credibility.cc, write/source_credibility.h) ----

  // The rating of a url, under the tables' read lock.
  float get_credibility(std::string_view url) const;
  // Rates `domain` (lower-cased, nothing else changed) `score` clamped into
  // [0, 1], replacing an earlier override, under the tables' write lock. An
  // override applies to that exact host only. A NaN score is a Value error
  // "score must not be NaN" and changes nothing: clamped, it would rate a
  // host NaN and every finding of that host with it.
  Status set_credibility_override(std::string_view domain, double score);

  // ---- Outcome receipts (vesk_outcome_receipts.cc) ----

  // Stores the receipt of one attempt at a task in the audit journal and
  // returns it; a request that repeats the stored receipt of the same
  // namespace, task and attempt returns that receipt and writes nothing.
  // Serialised with other captures and record purges by the destructive-
  // mutation mutex, held throughout. In order, each failure a Runtime error
  // that writes nothing: the request's checks (outcome_receipt_validation.h)
  // and the namespace's; every candidate a record of the receipt's
  // namespace, in memory or else in the durable journal ("outcome receipt
  // candidate record does not exist: {id}", "outcome receipt candidate {id}
  // belongs to namespace {ns}, not {receipt ns}"); an enabled audit journal
  // ("outcome receipt capture requires the audit journal"); under the
  // journal's rewrite mutex, the stored receipts' failure, "conflicting
  // outcome receipt for namespace/task/attempt" for another request of the
  // same attempt, and for a supersession "superseded outcome receipt does
  // not exist" or "outcome receipt supersession must stay inside namespace
  // and lineage"; then the append's error. Verdicts are stored ascending by
  // record id; the time is the Env's clock.
  Result<OutcomeReceipt> capture_outcome_receipt(const OutcomeReceiptInput& input);
  // The stored receipts of the namespace and of the lineage (each filter
  // only when given, by equality), by recorded_at_ms, then receipt_id.
  // Runtime errors: "outcome receipt lookup requires the audit journal", and
  // the stored receipts' failure.
  Result<std::vector<OutcomeReceipt>> outcome_receipts(std::optional<std::string_view> namespace_,
                                                       std::optional<std::string_view> lineage_id) const;

  // ---- Consequence units, verdicts and hints (vesk_consequences.cc) ----

  // Captures one lived consequence as a unit record (audit/consequence_record.h)
  // through the store road (TrustedCapture, no deduplication) and returns it
  // with its record id. Links to records of the store become connections
  // (weight 0.8, the link's relation type; failures ignored). A unit that is
  // not inconclusive marks the beliefs its links name, under the belief
  // lock: a refutation makes a belief Refuted, a support moves EvidenceDebt
  // to Confirmed; when one changed, beliefs.cog is saved under that lock,
  // the recall caches are cleared and one correction entry per changed
  // belief is written after the lock is let go. Runtime errors, in order:
  // "Consequence situation cannot be empty", "Consequence action cannot be
  // empty", "Consequence result cannot be empty" (after trimming), the
  // namespace's (none: "default"), the store road's (nothing stored), the
  // save's (the unit stays stored, the beliefs changed in memory).
  Result<ConsequenceUnit> capture_consequence(std::string_view situation, std::string_view action,
                                              std::string_view consequence, int32_t trust,
                                              std::optional<std::vector<std::string>> scope,
                                              std::optional<std::vector<std::string>> provenance,
                                              std::optional<StringMap> links,
                                              std::optional<std::string> namespace_);
  // A world fact ("supports"/"support" or "refutes"/"refute", trimmed, ASCII
  // case ignored) captured as a unit of trust 1 or -1 with the consequence
  // "world fact: supports|refutes" and provenance "world:executable_judge";
  // its record id. Any other fact records nothing and answers none.
  Result<std::optional<std::string>> record_world_fact(std::string_view situation, std::string_view action,
                                                       std::string_view fact, std::optional<std::string> namespace_);
  // The unit held by the record with exactly this id, or none.
  std::optional<ConsequenceUnit> get_consequence_unit(std::string_view record_id) const;
  // Units of the namespace (none: all) whose situation, action, consequence,
  // a scope or a provenance entry contains the query (trimmed, ASCII case
  // ignored; empty: all), newest captured_at first (ties in map order), at
  // most `limit` (none: 20; clamped to 1..500).
  std::vector<ConsequenceUnit> get_consequence_units(std::optional<std::string_view> query,
                                                     std::optional<uint64_t> limit,
                                                     std::optional<std::string_view> namespace_) const;
  // The counts and verdict of the units of the namespace (none: all) whose
  // situation and action equal the asked ones, each trimmed with ASCII case
  // ignored.
  ConsequenceVerdict consequence_verdict(std::string_view situation, std::string_view action,
                                         std::optional<std::string_view> namespace_) const;
  // The hint for that verdict, with the caller's situation and action
  // trimmed.
  ConsequencePolicyHint policy_hint(std::string_view situation, std::string_view action,
                                    std::optional<std::string_view> namespace_) const;

  // ---- Retrieval episodes and applicability (vesk_evidence.cc) ----

  // A new retrieval episode (audit/retrieval_episode.h): routes, then query,
  // then each candidate id in the given order must be non-blank and, exactly
  // as given, the id of a stored record (checked under the read lock):
  // "retrieval candidate ID must not be empty", "retrieval candidate record
  // '{id}' does not exist". The episode keeps the trimmed ids and no
  // reference to the store.
  Result<RetrievalEpisode> start_retrieval_episode(std::string_view query, const std::vector<std::string>& candidate_ids,
                                                   const std::optional<std::vector<std::string>>& routes) const;
  // The applicability (audit/applicability.h) of the record `record_id` in
  // `current_state`, evaluated under the read lock; none for an unknown id.
  std::optional<ApplicabilityDecision> evaluate_applicability(std::string_view record_id,
                                                              const CurrentState& current_state) const;

  // ---- Research projects (vesk_research.cc, entities/research_project.h) ----
  //
  // The project map lives in memory only. Each operation holds its lock for
  // the lookup and change alone: credibility is read before the map is
  // taken, and records are written after it is let go.

  // A new active project of `topic` with its planned queries; a failed
  // random source is the only error.
  Result<ResearchProject> start_research(std::string_view topic, std::optional<std::string_view> depth);
  // Appends a plain finding (credibility of `url`, 0.5 without). Runtime
  // errors "Project {id} not found", "Project is not active".
  Status add_research_finding(std::string_view project_id, std::string_view query, std::string_view result,
                              std::optional<std::string_view> url);
  // Appends an evidence finding after the checks of
  // evaluate_evidence_finding, then the project's, and returns it.
  Result<ResearchFinding> add_research_evidence_finding(std::string_view project_id, std::string_view query,
                                                        std::string_view result, const EvidenceFindingInput& input);
  // Marks the project completed (again, if it was), sets its synthesis,
  // writes its anchor and stores its report; returns the report's id.
  Result<std::string> complete_research(std::string_view project_id, std::optional<std::string> synthesis);
  // Updates the project's anchor record (the first tagged "research-project"
  // with its id, in map order) to the project's content and six metadata
  // keys, or stores a new one; returns it as written. Takes no project lock.
  Result<Record> upsert_research_project_anchor(const ResearchProject& project);

  // ---- Projects and their records (vesk_projects.cc, entities/project_records.h) ----
  //
  // Anchors and members are found through the metadata value index by
  // "project_id", so a project costs its own records. The views hold the
  // records' read lock once for their read of the members; only the first
  // view or write of a research project without an anchor record writes
  // one (through upsert_research_project_anchor).

  // The project's anchor record, written from the in-memory research project
  // when no record holds it yet; Runtime "Project {id} not found" otherwise.
  Result<Record> ensure_project_anchor(std::string_view project_id);
  // The anchor and every member (any namespace), as copies. Safe without the
  // interpreter lock: the scoped recall calls it so.
  Result<ProjectRecordGroup> find_project_records(std::string_view project_id);
  // A note, task or todo of the project, stored in the anchor's namespace
  // with deduplication off; returns its id. `due_date` is for tasks.
  Result<std::string> store_project_record(ProjectRecordKind kind, std::string_view project_id, std::string content,
                                           std::optional<StringMap> metadata,
                                           std::optional<std::string_view> due_date = std::nullopt);
  // The views (entities/project_views.h); none when the project cannot be
  // resolved. The _for_record forms take the record's "project_id" (none
  // without the record or the key).
  std::optional<ProjectGraphSnapshot> get_project_graph(std::string_view project_id);
  std::optional<ProjectStatusSnapshot> get_project_status(std::string_view project_id);
  std::optional<ProjectTimelineSnapshot> get_project_timeline(std::string_view project_id);
  std::optional<ProjectDigest> get_project_digest(std::string_view project_id);
  std::optional<std::string> project_of_record(std::string_view record_id) const;

  // ---- Removal (vesk_delete.cc, vesk_purge.cc) ----

  // The logical delete: none when the record map does not hold the id
  // (nothing changes). Otherwise the record leaves memory and every index,
  // the links other records hold to it are cut, and both are journaled as
  // one forced mutation batch before anything changes (a failed write leaves
  // the record whole); then its embedding goes, the cognitive layers lose
  // what rests on it, and a "delete" audit entry is appended. A failure
  // after the batch is returned with the record already gone. The record
  // log keeps its entry until a purge rewrites the log.
  Result<std::optional<LayerRemovalCounts>> delete_record(std::string_view record_id);
  // The Python delete: under the balanced profile delete_record (true when
  // it removed the record); under the strict profile a history purge when
  // memory or the record log holds the id (its active_record_removed),
  // else false with nothing changed.
  Result<bool> delete_for_profile(std::string_view record_id);
  // Erases the record as far as `scope` reaches (write/purge_scope.h) and
  // appends a "purge" audit entry naming it only by its digest. Serialised
  // with other purges and receipt captures by the destructive-mutation
  // mutex. The embedding, SDR postings and record SDRs under the id are
  // removed also when the record was not in memory. Any failure ends the
  // purge with what was done staying done; every step tolerates a record
  // already gone, so a failed purge can be repeated.
  Result<PurgeReport> purge_record(std::string_view record_id, PurgeScope scope);

  // ---- Copies of the state kept beside the records ----

  // What the open found, and the manifest it normalised.
  StartupValidationReport startup_report() const { return maintenance_.startup_report.copy(); }
  PersistenceManifest persistence_manifest() const { return maintenance_.persistence_manifest.copy(); }
  // The whole maintenance trend history, oldest first.
  std::vector<MaintenanceTrendSnapshot> maintenance_trend_history() const { return maintenance_.trends.copy(); }
  // The trend summary of the whole history, computed under its read lock.
  MaintenanceTrendSummary maintenance_trend_summary() const;
  // The newest reflection summary; none before the first maintenance cycle.
  std::optional<ReflectionSummary> latest_reflection_summary() const;
  // Copies of the newest reflection summaries, newest first: the window of
  // `limit` (default 8, at most 32; 0 counts as 1; reports/reflection_digest.h).
  std::vector<ReflectionSummary> get_reflection_summaries(std::optional<uint64_t> limit = std::nullopt) const;
  // The digest of the same window, under the history's read lock only.
  ReflectionDigest get_reflection_digest(std::optional<uint64_t> limit = std::nullopt) const;

  // ---- Read views of the parts (inspection and tests) ----

  const RecordState& record_state() const { return records_; }
  const SearchIndexes& indexes() const { return indexes_; }
  const RecallState& recall_state() const { return recall_; }
  const CognitiveLayers& layers() const { return layers_; }
  const StoreFlags& flags() const { return flags_; }
  const RuntimeConfig& config() const { return config_; }
  const CognitiveStore& journal() const { return *journal_; }
  const VeskStorage& storage() const { return *storage_; }

 private:
  friend struct VeskTestAccess;
  // The pipeline, rerank and truncation of recall_ranked over `candidates`
  // (a lookup that may differ from the view's own); the caller holds the
  // records' and the recall index's read locks that the view reads.
  std::vector<ScoredRecord> rank_candidates(const RecallRequest& request, const RecallCandidates& view,
                                            const RecordLookup& candidates,
                                            const std::optional<std::vector<float>>& query_vector,
                                            const TrustConfig& trust, double now) const;
  // The ranking of recall_at (with `transaction_time`) and recall_as_of.
  Result<std::vector<ScoredRecord>> recall_point_in_time(const RecallRequest& request, double timestamp,
                                                         bool transaction_time) const;
  // Where the post-recall bookkeeping acts: this store's records, sessions,
  // audit graph, pending activations and co-recall weights.
  RecallActivityTargets recall_activity_targets();
  // The experience intake's access to the parts it changes.
  friend class StoreExperienceHost;

  Vesk(fs::path path, StoreKey key, Env& env);

  // The store road itself: stores a new record, or touches the exact
  // duplicate of a text record already held, and returns the id the map holds
  // it under. `copy`, when given, receives a copy of the record as the map
  // now holds it; the Python store needs only the id and asks for none.
  Result<std::string> store_road(StoreRequest request, Record* copy);
  // Steps of the store road.
  Result<std::string> draw_record_id() const;
  Result<std::optional<Record>> touch_exact_duplicate(const ResolvedStore& s);
  Result<std::string> persist_new_record(Record r, Record* copy);
  // Links of a new record to its causal parent and to records that share its
  // tags, made under the seam's hold of the record map before the record's
  // frame is written; the other halves, for the seam to journal and apply.
  std::vector<RecordPatch> link_new_record(Record& r, const RecordChanges::Batch& batch) const;
  // The structural relations of a namespace (write/structural_relations.h)
  // set both ways where they are missing or differ, after a store, an update
  // or a supersede. Changed records are journaled whole, not forced; the
  // first journal error is returned. Visits only the records the structural
  // relation index names, every one of them on every call.
  Status infer_store_relations(std::string_view namespace_);

  // The text recall of either layout, without counting the answer.
  std::string text_recall(bool levels, std::string_view query, std::optional<uint64_t> token_budget,
                          std::optional<float> min_strength, std::optional<bool> expand_connections,
                          std::optional<std::string> session_id, std::optional<std::vector<std::string>> namespaces);

  // The records tagged "consequence-unit" (found by the tag index), in map
  // order; `map` is the caller's read of the record map.
  std::vector<const Record*> consequence_unit_candidates(const RecordMap& map) const;
  // Takes everything resting on the record out of the cognitive layers and
  // rewrites the files of the layers that changed (vesk_delete.cc).
  Result<LayerRemovalCounts> purge_ids_from_cognitive_layers(std::string_view record_id);
  // The history scope of a purge (vesk_purge.cc): labelled snapshots, then
  // the audit files; (snapshots rewritten, audit lines removed).
  Result<std::pair<uint64_t, uint64_t>> purge_history(std::string_view record_id, std::string_view content);

  // Runs `view(anchor, members)` under the records' read lock on the
  // project's anchor and members (map order) as held in the map; when no
  // record anchors the project yet, ensure_project_anchor writes one first
  // (a research project) or the answer is none (vesk_projects.cc).
  template <class View>
  std::invoke_result_t<View, const Record&, std::span<const Record* const>> read_project(std::string_view project_id,
                                                                                         View&& view);

  // Empties the text-recall cache, then the structured-recall cache.
  void clear_recall_caches() { recall_.clear_caches(); }

  const fs::path path_;
  const StoreKey key_;
  Env& env_;
  // Where the five layer files live: the store directory and the data key.
  const PersistenceTarget persistence_target_;

  RuntimeConfig config_;
  StoreFlags flags_;
  StoreCallbacks callbacks_;

  std::unique_ptr<CognitiveStore> journal_;
  std::shared_ptr<VeskStorage> storage_;
  // Locks itself; open for the life of the object.
  std::unique_ptr<AuditJournal> audit_;

  RecordState records_;
  SearchIndexes indexes_;
  RecallState recall_;
  CognitiveLayers layers_;
  MaintenanceState maintenance_;
  Guarded<ResearchProjects> research_{lock_order::kResearch};
  Guarded<CredibilityTables> credibility_{lock_order::kCredibility};

  // The one writer of the record map and the tables keyed by it; built once
  // the journal, the record log and the audit journal are open.
  std::optional<RecordChanges> changes_;

  // Serialises record purges and outcome receipt captures; guards no data.
  std::mutex destructive_mutation_mu_;
  // Set by a close() that went through to the end.
  std::atomic<bool> closed_{false};

  RecordIdSource id_source_;
};

}  // namespace vesk

// Vesk::open: builds the store object from its directory.
//
// The steps run in a fixed order, each on what the previous ones built:
//   1 directory          2 key file           3 record log (directory lock)
//   4 SDR index files    5 journal header     6 journal replay
//   7 load-time repairs  8 weak records out   9 in-memory indexes
//  10 audit journal     11 layer and side files, each with a startup event
//  12 startup report    13 embeddings        14 defaults
// A failing step ends the open; whatever was built is released on the way out,
// and releasing the record log releases the directory lock.
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/parallel_invoke.h>

#include <atomic>

#include <algorithm>
#include <cmath>
#include <future>
#include <string>
#include <utility>
#include <vector>

#include "cognitive/surface_loaders.h"
#include "model/config_taxonomy.h"
#include "store/cold_records.h"
#include "storage/key_file.h"
#include "store/vesk.h"

namespace vesk {
namespace {

constexpr float kPinFactorThreshold = 100.0f;
constexpr float kWeakStrength = 0.05f;

float source_type_default_confidence(std::string_view source_type) {
  if (source_type == "recorded") return 0.9f;
  if (source_type == "retrieved") return 0.75f;
  if (source_type == "inferred") return 0.6f;
  return 0.5f;
}

bool near(float a, float b) { return std::fabs(a - b) < 0.001f; }

// Ids in the order they were first added, each once.
class RepairList {
 public:
  void add(const std::string& id) {
    if (seen_.insert(id).second) ids_.push_back(id);
  }
  std::vector<std::string> take() { return std::move(ids_); }

 private:
  StringSet seen_;
  std::vector<std::string> ids_;
};

// True when a was created before b; equal times go to the smaller id. A NaN
// time comes after every number.
bool earlier_successor(const Record& a, const Record& b) {
  bool a_nan = std::isnan(a.created_at), b_nan = std::isnan(b.created_at);
  if (a_nan != b_nan) return b_nan;
  if (!a_nan && a.created_at != b.created_at) return a.created_at < b.created_at;
  return a.id < b.id;
}

void repair_incomplete_supersedes(RecordMap& records, RepairList& repaired) {
  // Successors by the id they were caused by; built only when some record
  // waits for its successor.
  StringKeyMap<std::vector<const Record*>> caused_by;
  bool any_pending = false;
  for (const auto& [id, record] : records) {
    auto it = record.metadata.find("superseded_by");
    if (it != record.metadata.end() && it->second == "pending") {
      any_pending = true;
      break;
    }
  }
  if (!any_pending) return;
  for (const auto& [id, record] : records) {
    if (record.caused_by_id) caused_by[*record.caused_by_id].push_back(&record);
  }

  for (auto& [id, record] : records) {
    auto it = record.metadata.find("superseded_by");
    if (it == record.metadata.end() || it->second != "pending") continue;
    const Record* successor = nullptr;
    if (auto c = caused_by.find(id); c != caused_by.end()) {
      for (const Record* candidate : c->second) {
        if (candidate->namespace_ != record.namespace_) continue;
        if (!successor || earlier_successor(*candidate, *successor)) successor = candidate;
      }
    }
    if (successor) {
      it->second = successor->id;
      record.metadata["supersede_recovery"] = "linked_pending_successor";
      record.valid_until = successor->valid_from ? *successor->valid_from : successor->created_at;
      if (!record.superseded_at) record.superseded_at = successor->created_at;
    } else {
      record.metadata.erase(it);
      record.metadata["supersede_recovery"] = "reopened_incomplete_pending";
      record.valid_until.reset();
      record.superseded_at.reset();
    }
    repaired.add(id);
  }
}

void repair_missing_supersede_times(RecordMap& records, RepairList& repaired) {
  for (auto& [id, record] : records) {
    if (record.valid_until || record.superseded_at) continue;
    auto it = record.metadata.find("superseded_by");
    if (it == record.metadata.end() || it->second.empty() || it->second == "pending") continue;
    auto successor = records.find(it->second);
    if (successor == records.end()) continue;
    double at = successor->second.created_at;
    record.valid_until = at;
    record.superseded_at = at;
    repaired.add(id);
  }
}

std::string count_text(std::string_view before, size_t n, std::string_view after) {
  std::string s(before);
  s += std::to_string(n);
  s += after;
  return s;
}

}  // namespace

std::vector<std::string> apply_load_time_repairs(RecordMap& records, const VeskStorage& storage) {
  // The pin and confidence repairs look at one record each (and the record
  // log, under its read lock), so they run in parallel over the map's
  // records; the ids are then listed in map order.
  std::vector<std::pair<const std::string*, Record*>> order;
  order.reserve(records.size());
  for (auto& [id, record] : records) order.emplace_back(&id, &record);
  std::vector<uint8_t> fixed(order.size(), 0);
  std::atomic<bool> any_supersede{false};
  tbb::parallel_for(tbb::blocked_range<size_t>(0, order.size(), 512), [&](const tbb::blocked_range<size_t>& r) {
    for (size_t i = r.begin(); i != r.end(); ++i) {
      const std::string& id = *order[i].first;
      Record& record = *order[i].second;
      if (!record.pinned) {
        bool pin = storage.is_user_core(id);
        if (!pin) {
          std::shared_ptr<const CachedLogEntry> entry = storage.cached_entry(id);
          pin = entry && entry->pin_factor >= kPinFactorThreshold;
        }
        if (pin) {
          record.pinned = true;
          fixed[i] = 1;
        }
      }
      float default_confidence = source_type_default_confidence(record.source_type);
      if (near(record.confidence, 0.9f) && !near(default_confidence, 0.9f)) {
        record.confidence = default_confidence;
        fixed[i] = 1;
      }
      if (record.metadata.contains("superseded_by")) any_supersede.store(true, std::memory_order_relaxed);
    }
  });
  RepairList repaired;
  for (size_t i = 0; i < order.size(); ++i) {
    if (fixed[i]) repaired.add(*order[i].first);
  }
  // Both supersede repairs concern only records naming a successor.
  if (any_supersede.load()) {
    repair_incomplete_supersedes(records, repaired);
    repair_missing_supersede_times(records, repaired);
  }
  return repaired.take();
}

size_t backfill_sdr_index(SdrIndex& index, const RecordMap& records, const VeskStorage& storage) {
  size_t added = 0;
  for (const auto& [id, record] : records) {
    if (index.doc_of(id)) continue;
    std::shared_ptr<const CachedLogEntry> entry = storage.cached_entry(id);
    if (!entry || !entry->sdr) continue;
    index.insert(id, entry->sdr);
    ++added;
  }
  return added;
}

namespace {

// Step 9: the n-gram, term and tag indexes, the id map, the content index
// of possible duplicates and the recall index, from the records that stay in
// memory, each filled in map order. They are independent, so they are built
// side by side; the n-gram signatures, the bulk of the work, and the term
// lists are also spread over the thread pool.
void build_indexes(Vesk& v) {
  const RecordMap& records = v.records.unguarded();
  tbb::parallel_invoke(
      [&] {
        std::vector<NgramIndex::Entry> entries;
        entries.reserve(records.size());
        for (const auto& [id, record] : records) entries.push_back({id, record.content});
        v.ngram.unguarded().insert_all(entries);
      },
      [&] { v.terms.unguarded() = bm25_index_from_records(records); },
      [&] { v.recall_index.unguarded() = recall_record_index_from(records); },
      [&] {
        TagIndex& tags = v.tags.unguarded();
        IdMap& id_map = v.id_map.unguarded();
        DuplicateIndex& duplicates = v.duplicates.unguarded();
        for (const auto& [id, record] : records) {
          tags.add(id, record.tags);
          duplicates.note_insert(record);
          if (record.vesk_id) id_map[*record.vesk_id] = id;
        }
      });
}

}  // namespace

Result<std::unique_ptr<Vesk>> Vesk::open(const fs::path& path, std::optional<std::string_view> password, Env& env) {
  const std::string display = path.string();

  // 1. The directory, with every missing parent.
  VESK_RETURN_IF_ERROR(env.create_dirs(path).as(ErrorKind::OS));

  // 2. The data key, when the store has (or is to get) one.
  Result<StoreKey> key = open_store_key(path, password, env);
  if (!key.ok()) return key.status();

  // 4. The SDR index files, read while the record log is scanned: reading
  //    them takes no lock (every save replaces them by rename) and their
  //    result is used only once the record log is open. A load error does
  //    not fail the open: the index is rebuilt from the record log below
  //    and the startup report says so. The future waits for the load on
  //    every way out of this function.
  auto sdr_index = std::make_shared<SdrIndex>((path / "index").string(), env);
  std::future<Status> sdr_loaded = std::async(std::launch::async, [&sdr_index] { return sdr_index->load(); });

  // 3. The record log; from here the directory is locked. The log is
  //    scanned while the journal is opened and read (steps 5 and 6 do not
  //    need it); a failed scan is reported before anything they found.
  Result<std::shared_ptr<VeskStorage>> storage = VeskStorage::open_locked(path, *key, env);
  if (!storage.ok()) return storage.status();
  std::future<Status> scanned =
      std::async(std::launch::async, [log = *storage] { return log->finish_open(); });
  // The embedding files are read and parsed meanwhile too (step 13 uses
  // them; reading writes nothing).
  std::future<Result<EmbeddingFilesRead>> embeddings_read =
      std::async(std::launch::async, [&path, &env, k = *key] { return read_embedding_files(path, k, env); });

  // 5. The journal header, created or checked.
  Status journal_status = env.exists(path) ? Status::Ok() : env.create_dirs(path).as(ErrorKind::OS);
  Result<std::unique_ptr<CognitiveStore>> journal = journal_status.ok()
                                                        ? CognitiveStore::open(path, *key, env)
                                                        : Result<std::unique_ptr<CognitiveStore>>(journal_status);

  // 6. The records: the snapshot and the journal behind it.
  Result<CognitiveStore::LoadedState> loaded =
      journal.ok() ? (*journal)->load_cognitive_state() : Result<CognitiveStore::LoadedState>(journal.status());
  if (Status s = scanned.get(); !s.ok()) return s;
  if (!journal.ok()) return journal.status().as(ErrorKind::OS);
  if (!loaded.ok()) return Status::OS("failed to load persisted records from " + display);
  RecordMap records = std::move(loaded->records);
  std::vector<StartupValidationEvent> events;
  events.push_back(StartupValidationEvent{"records", display, "loaded",
                                          count_text("loaded ", records.size(), " records"), false});

  // 7. Load-time repairs, persisted together as one forced batch.
  std::vector<std::string> repaired = apply_load_time_repairs(records, **storage);
  if (!repaired.empty()) {
    std::vector<Record> batch;
    batch.reserve(repaired.size());
    for (const std::string& id : repaired) batch.push_back(records.at(id));
    if (!(*journal)->log_record_batch(batch).ok()) {
      return Status::OS("failed to persist recovered legacy record state");
    }
  }

  // 8. Weak records that nothing protects stay in the journal and the record
  //    log but out of memory and the indexes.
  const TagTaxonomy taxonomy = tag_taxonomy_default();
  size_t pruned = prune_weak_records_on_load(records, taxonomy.archive_protected_tags);
  if (pruned > 0) {
    events.push_back(cold_records_event((path / "brain.cog").string(),
                                        count_text("kept ", pruned, " demoted records in the durable journal")));
  }

  std::unique_ptr<Vesk> v(new Vesk(path, *key, env));
  v->storage_ = std::move(*storage);
  v->journal_ = std::move(*journal);
  v->records.unguarded() = std::move(records);

  // 9. The in-memory indexes, rebuilt from the records.
  build_indexes(*v);
  // A load that failed part way may hold some records with only part of
  // their postings; the index is emptied and built again from the SDRs the
  // record log keeps, so no record stays half-findable.
  if (Status loaded_sdr = sdr_loaded.get(); !loaded_sdr.ok()) {
    sdr_index->clear();
    events.push_back(StartupValidationEvent{"sdr_index", (path / "index").string(),
                                            std::string(kLoadErrorFallbackStatus),
                                            "rebuilt from the record log: " + loaded_sdr.message(), true});
  }
  // Records stored after the SDR index was last saved (a crash, a failed
  // save) would otherwise stay invisible to the SDR search for good: their
  // SDRs are still in the record log.
  backfill_sdr_index(*sdr_index, v->records.unguarded(), *v->storage_);
  v->sdr_index = std::move(sdr_index);

  // 10. The audit journal of this session.
  Result<std::unique_ptr<AuditJournal>> audit = open_audit_session(path, *key, env);
  if (!audit.ok()) return audit.status().as(ErrorKind::OS);
  v->audit = std::move(*audit);

  // 11. The cognitive layers and the side files; none of them can fail the
  //     open, each falls back to an empty state and records its event.
  const PersistenceTarget& target = v->persistence_target;
  const SecretKey* raw_key = key->get();
  v->beliefs.unguarded() = load_belief_store(target, path / kBeliefStoreFile, events, env);
  v->concepts.unguarded() = load_concept_store(target, path / kConceptStoreFile, events, env);
  v->causal.unguarded() = load_causal_store(target, path / kCausalStoreFile, events, env);
  v->plasticity.topology = topology_or_default(load_topology(target, env));
  v->policies.unguarded() = load_policy_store(target, path / kPolicyStoreFile, events, env);
  v->persistence_manifest.unguarded() = load_persistence_manifest(path, events, env);
  v->maintenance_trends.unguarded() = load_maintenance_trends(path, raw_key, events, env);
  v->reflection_summaries.unguarded() = load_reflection_summaries(path, raw_key, events, env);
  v->recall_replay.unguarded() = load_recall_replay(path, raw_key, events, env);

  // 12. The report of this open.
  v->startup_report.unguarded() = StartupValidationReport::from_events(events);

  // 13. The embeddings, keeping only vectors of records in memory. Damaged
  //     vectors can be computed again: the store opens without them and the
  //     report says so.
  const RecordMap& live = v->records.unguarded();
  Result<EmbeddingFilesRead> read = embeddings_read.get();
  if (!read.ok()) return read.status().as(ErrorKind::OS);
  Result<EmbeddingStoreLoad> embeddings = finish_embedding_load(
      std::move(read).value(), [&live](std::string_view id) { return live.find(id) != live.end(); }, env);
  if (!embeddings.ok()) return embeddings.status().as(ErrorKind::OS);
  v->embeddings = std::move(embeddings->store);
  if (embeddings->recovered_error) {
    events.push_back(StartupValidationEvent{"embeddings", v->embeddings->path().string(),
                                            std::string(kLoadErrorFallbackStatus), *embeddings->recovered_error,
                                            true});
    v->startup_report.unguarded() = StartupValidationReport::from_events(std::move(events));
  }

  // 14. Research and credibility; the configuration block, the caches, the
  //     counters and the flags start at their defaults with the object.
  v->credibility.unguarded() = default_domain_credibility();
  return v;
}

}  // namespace vesk

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
#include <future>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cognitive/surface_loaders.h"
#include "model/config_taxonomy.h"
#include "storage/key_file.h"
#include "storage/record_log_format.h"
#include "store/cold_records.h"
#include "store/load_repairs.h"
#include "store/vesk.h"

namespace vesk {
namespace {

std::string count_text(std::string_view before, size_t n, std::string_view after) {
  std::string s(before);
  s += std::to_string(n);
  s += after;
  return s;
}

// "a-b, c-d" for byte ranges [a, b).
std::string ranges_text(const std::vector<std::pair<uint64_t, uint64_t>>& ranges) {
  std::string out;
  for (const auto& [from, to] : ranges) {
    if (!out.empty()) out += ", ";
    out += std::to_string(from) + "-" + std::to_string(to);
  }
  return out;
}

// What the journal lost at this open, for its startup event; none when the
// journal was whole.
std::optional<std::string> journal_damage(const CognitiveStore& journal, const CognitiveStore::LoadedState& loaded) {
  const CognitiveStore::Repair& repair = journal.repair();
  const std::string name = journal.journal_path().filename().string();
  std::string detail;
  if (!repair.damaged_copy.empty()) {
    detail = name + ": removed damaged bytes " + ranges_text(repair.removed) + " of " +
             std::to_string(repair.old_size) + "; the whole journal as it was is kept in " +
             repair.damaged_copy.filename().string();
  }
  if (!loaded.skipped_ranges.empty()) {
    if (!detail.empty()) detail += "; ";
    detail += name + ": passed over damaged bytes " + ranges_text(loaded.skipped_ranges);
  }
  if (!loaded.unreadable_frames.empty()) {
    if (!detail.empty()) detail += "; ";
    detail += name + ": skipped " + std::to_string(loaded.unreadable_frames.size()) +
              " frames that could not be read, at offsets";
    for (size_t i = 0; i < loaded.unreadable_frames.size() && i < 10; ++i) {
      detail += (i ? ", " : " ") + std::to_string(loaded.unreadable_frames[i]);
    }
    if (loaded.unreadable_frames.size() > 10) detail += ", ...";
  }
  if (detail.empty()) return std::nullopt;
  return detail;
}

// Appends a log entry, with the SDR its store would have computed, for every
// record of the map that has none.
Status restore_log_entries(const RecordMap& records, const SdrEncoder& encoder, VeskStorage& storage) {
  for (const auto& [id, r] : records) {
    if (storage.cached_entry(id)) continue;
    LogEntry entry;
    entry.id = id;
    entry.tier = std::string(level_dna(r.level));
    entry.sdr = std::make_shared<const Sdr>(encode_sdr(encoder, r.content, sdr_range_for_level(r.level), SdrCase::Fold));
    entry.content = r.content;
    entry.created_at = r.created_at;
    entry.strength = r.strength;
    entry.pin_factor = r.pinned ? kPinnedPinFactor : 1.0f;
    if (auto appended = storage.append(entry); !appended.ok()) return appended.status();
  }
  return storage.flush();
}

}  // namespace

Result<std::unique_ptr<Vesk>> Vesk::open(const fs::path& path, std::optional<std::string_view> password, Env& env) {
  const std::string display = path.string();
  // The operating system would read such a path only up to the null byte,
  // and open (or create) another directory than the one asked for.
  if (display.find('\0') != std::string::npos) return Status::OS("store path contains a null byte");

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
  // The embedding files are read, parsed and laid out in the store's
  // vectors meanwhile too. When step 13 is to compact them, the snapshot is
  // also written and forced here under its temporary name; step 13 puts it
  // in place, so no file of the store changes before that step.
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
  if (!loaded.ok()) {
    return Status::OS("failed to load persisted records from " + display + ": " + loaded.status().message());
  }
  RecordMap records = std::move(loaded->records);
  std::vector<StartupValidationEvent> events;
  events.push_back(StartupValidationEvent{"records", display, "loaded",
                                          count_text("loaded ", records.size(), " records"), false});
  // Damage the journal held: every loss is reported, never passed over
  // silently.
  if (std::optional<std::string> lost = journal_damage(**journal, *loaded)) {
    events.push_back(StartupValidationEvent{"records", (*journal)->journal_path().string(),
                                            std::string(kLoadErrorFallbackStatus), std::move(*lost), true});
  }

  // Damage the record log held, cut away after a copy was kept.
  if (const VeskStorage::Repair& cut = (*storage)->repair(); !cut.damaged_copy.empty()) {
    const std::string name = (*storage)->log_path().filename().string();
    events.push_back(StartupValidationEvent{
        "record_log", (*storage)->log_path().string(), std::string(kLoadErrorFallbackStatus),
        name + ": cut at byte " + std::to_string(cut.cut_at) + " of " + std::to_string(cut.old_size) +
            ", where a damaged entry starts; the whole log as it was is kept in " +
            cut.damaged_copy.filename().string(),
        true});
  }
  // Records the record log holds that the journal lost (a damaged or missing
  // journal): the log keeps no record whole, so they cannot come back, but
  // the loss is reported. Removals the journal replayed are no loss.
  if ((*storage)->id_count() > records.size()) {
    size_t lost = 0;
    (*storage)->for_each_id([&](std::string_view id) {
      lost += !records.contains(id) && !loaded->removed_ids.contains(id);
    });
    if (lost > 0) {
      events.push_back(StartupValidationEvent{
          "records", (*journal)->journal_path().string(), std::string(kLoadErrorFallbackStatus),
          count_text("the journal lacks ", lost, " records that the record log holds entries for"), true});
    }
  }

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
  v->records_.records.unguarded() = std::move(records);
  v->indexes_.sdr_index = sdr_index;
  RecordChanges::Parts parts{v->records_, v->indexes_, v->recall_, *v->journal_, *v->storage_, nullptr};
  // Records whose log entries a damaged log lost get them back: the SDR
  // search reads a record's SDR from its entry, and the SDR index is filled
  // from the entries below.
  if (!v->storage_->repair().damaged_copy.empty()) {
    VESK_RETURN_IF_ERROR(restore_log_entries(v->records_.records.unguarded(), v->indexes_.sdr_encoder, *v->storage_)
                             .as(ErrorKind::OS));
  }

  // 9. The in-memory indexes, rebuilt from the records; the SDR index waits
  //    for its files.
  auto wait_for_sdr_files = [&] {
  // A load that failed part way may hold some records with only part of
  // their postings; the index is emptied and built again from the SDRs the
  // record log keeps, so no record stays half-findable.
    if (Status loaded_sdr = sdr_loaded.get(); !loaded_sdr.ok()) {
      sdr_index->clear();
      events.push_back(StartupValidationEvent{"sdr_index", (path / "index").string(),
                                              std::string(kLoadErrorFallbackStatus),
                                              "rebuilt from the record log: " + loaded_sdr.message(), true});
    }
  };
  RecordChanges(parts).load_all(wait_for_sdr_files);

  // 10. The audit journal of this session.
  Result<std::unique_ptr<AuditJournal>> audit = open_audit_session(path, *key, env);
  if (!audit.ok()) return audit.status().as(ErrorKind::OS);
  v->audit_ = std::move(*audit);
  parts.audit = v->audit_.get();
  v->changes_.emplace(parts);

  // 11. The cognitive layers and the side files; none of them can fail the
  //     open, each falls back to an empty state and records its event.
  const PersistenceTarget& target = v->persistence_target_;
  const SecretKey* raw_key = key->get();
  CognitiveLayers& layers = v->layers_;
  MaintenanceState& side = v->maintenance_;
  layers.beliefs.unguarded() = load_belief_store(target, path / kBeliefStoreFile, events, env);
  layers.concepts.unguarded() = load_concept_store(target, path / kConceptStoreFile, events, env);
  index_concept_records(layers.concepts.unguarded());
  layers.causal.unguarded() = load_causal_store(target, path / kCausalStoreFile, events, env);
  layers.plasticity.topology = topology_or_default(load_topology(target, env));
  layers.policies.unguarded() = load_policy_store(target, path / kPolicyStoreFile, events, env);
  side.persistence_manifest.unguarded() = load_persistence_manifest(path, events, env);
  side.trends.unguarded() = load_maintenance_trends(path, raw_key, events, env);
  side.reflection_summaries.unguarded() = load_reflection_summaries(path, raw_key, events, env);
  v->recall_.recall_replay.unguarded() = load_recall_replay(path, raw_key, events, env);

  // 12. The report of this open.
  side.startup_report.unguarded() = StartupValidationReport::from_events(events);

  // 13. The embeddings, keeping only vectors of records in memory. Damaged
  //     vectors can be computed again: the store opens without them and the
  //     report says so.
  const RecordMap& live = v->records_.records.unguarded();
  Result<EmbeddingFilesRead> read = embeddings_read.get();
  if (!read.ok()) return read.status().as(ErrorKind::OS);
  Result<EmbeddingStoreLoad> embeddings = finish_embedding_load(
      std::move(read).value(), [&live](std::string_view id) { return live.find(id) != live.end(); }, env);
  if (!embeddings.ok()) return embeddings.status().as(ErrorKind::OS);
  v->indexes_.embeddings = std::move(embeddings->store);
  if (embeddings->recovered_error) {
    events.push_back(StartupValidationEvent{"embeddings", v->indexes_.embeddings->path().string(),
                                            std::string(kLoadErrorFallbackStatus), *embeddings->recovered_error,
                                            true});
    side.startup_report.unguarded() = StartupValidationReport::from_events(std::move(events));
  }

  // 14. Research and credibility; the configuration block, the caches, the
  //     counters and the flags start at their defaults with the object.
  v->credibility_.unguarded() = default_domain_credibility();
  return v;
}

}  // namespace vesk

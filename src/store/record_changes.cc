#include "store/record_changes.h"

#include <tbb/parallel_invoke.h>

#include <utility>

#include "maintenance/record_change_detection.h"
#include "model/level.h"
#include "model/record_json.h"
#include "storage/cognitive_journal_format.h"
#include "write/store_links.h"

namespace vesk {

// ---- Insert ------------------------------------------------------------------

Status RecordChanges::Batch::insert(NewRecord n, std::optional<AuditAction> audit) {
  const Parts& p = owner_.parts_;
  RecordMap& map = **map_;
  Record& r = n.record;
  if (map.contains(r.id)) return Status::Runtime("Record id already in use: " + r.id);
  // The n-gram insert below misses the cache on 128 tables; its first
  // lines are fetched now, to land while the entry and the frame are written.
  p.indexes.ngram.read()->prefetch_insert(r.content);

  LogEntry entry;
  entry.id = r.id;
  entry.tier = std::string(level_dna(r.level));
  entry.sdr = n.sdr;
  entry.content = r.content;
  entry.created_at = r.created_at;
  entry.strength = r.strength;
  entry.pin_factor = r.pinned ? 100.0f : 1.0f;
  if (auto appended = p.storage.append(entry); !appended.ok()) return appended.status();

  for (const RecordPatch& link : n.back_links) {
    if (!map.contains(link.record_id)) return Status::Runtime("Record not found: " + link.record_id);
  }
  std::string frame;
  serialize_record(r, frame);
  std::string links;
  if (!n.back_links.empty()) serialize_record_patches(n.back_links, links);
  const CognitiveStore::Frame frames[] = {{FrameKind::kRecordInsert, frame}, {FrameKind::kRecordPatches, links}};
  const size_t frame_count = n.back_links.empty() ? 1 : 2;
  if (Status journaled = p.journal.append_cognitive_frames(std::span(frames, frame_count), false); !journaled.ok()) {
    // The entry's bytes stay in the log file, where the next open passes over
    // an entry that no journal frame names; the running store forgets it.
    p.storage.remove_entry(r.id);
    return journaled;
  }

  index_inserted(n);
  if (audit) audits_.push_back(std::move(*audit));
  changed_ = true;
  return Status::Ok();
}

void RecordChanges::Batch::index_inserted(NewRecord& n) {
  const Parts& p = owner_.parts_;
  RecordMap& map = **map_;
  Record& r = n.record;
  p.records.duplicates.write()->note_insert(r);
  p.records.recall_index.write()->note_insert(r);
  p.records.by_metadata(*map_).note_insert(r);
  p.records.structural(*map_).note_insert(r);
  p.indexes.ngram.write()->insert(r.id, r.content);
  p.indexes.sdr_index->insert(r.id, n.sdr);
  p.indexes.terms.write()->insert(r.id, r.content, r.namespace_);
  if (!r.tags.empty()) p.indexes.tags.write()->add(r.id, r.tags);
  p.records.id_map.write()->insert_or_assign(r.vesk_id.value_or(r.id), r.id);
  if (n.general_sdr) p.indexes.record_sdrs.write()->insert_or_assign(r.id, std::move(n.general_sdr));
  p.indexes.substrings.write()->insert(r.id, r.content);
  if (n.embed) embeddings_put_.emplace_back(r.id, std::move(n.embed));
  std::string id = r.id;
  map.insert_or_assign(std::move(id), std::move(r));
  apply_back_links(map, n.back_links);
}

// ---- Insert together -------------------------------------------------------------

Status RecordChanges::Batch::insert_together(NewRecord n, std::vector<Record> changed,
                                             std::string_view journal_failure, std::optional<AuditAction> audit) {
  const Parts& p = owner_.parts_;
  RecordMap& map = **map_;
  Record& r = n.record;
  if (map.contains(r.id)) return Status::Runtime("Record id already in use: " + r.id);
  if (!n.back_links.empty()) return Status::Runtime("insert_together takes the linked records whole");
  std::vector<Record*> held;
  held.reserve(changed.size());
  for (const Record& c : changed) {
    Record* h = map.find_value(c.id);
    if (!h) return Status::Runtime("Record not found: " + c.id);
    held.push_back(h);
  }

  LogEntry entry;
  entry.id = r.id;
  entry.tier = std::string(level_dna(r.level));
  entry.sdr = n.sdr;
  entry.content = r.content;
  entry.created_at = r.created_at;
  entry.strength = r.strength;
  entry.pin_factor = r.pinned ? 100.0f : 1.0f;
  if (auto appended = p.storage.append(entry); !appended.ok()) return appended.status();

  // The batch is written from the records in hand, the new one last, so a
  // replay meets the changed records before the record that links to them.
  changed.push_back(std::move(r));
  if (Status journaled = p.journal.log_record_batch(changed); !journaled.ok()) {
    p.storage.remove_entry(changed.back().id);
    return Status::Wrap(ErrorKind::Runtime, std::string(journal_failure), std::move(journaled));
  }
  n.record = std::move(changed.back());
  changed.pop_back();

  for (size_t i = 0; i < changed.size(); ++i) reindex_and_replace(*held[i], std::move(changed[i]));
  index_inserted(n);
  if (audit) audits_.push_back(std::move(*audit));
  changed_ = true;
  return Status::Ok();
}

// ---- Replace -------------------------------------------------------------------

Status RecordChanges::Batch::replace(Record next, std::optional<AuditAction> audit) {
  const Parts& p = owner_.parts_;
  RecordMap& map = **map_;
  Record* held = map.find_value(next.id);
  if (!held) return Status::Runtime("Record not found: " + next.id);

  std::string frame;
  serialize_record(next, frame);
  VESK_RETURN_IF_ERROR(p.journal.append_cognitive_frame(FrameKind::kRecordWrite, frame, false));

  reindex_and_replace(*held, std::move(next));
  if (audit) audits_.push_back(std::move(*audit));
  changed_ = true;
  return Status::Ok();
}

Status RecordChanges::Batch::replace(Record next, ContentRefresh refresh) {
  const Parts& p = owner_.parts_;
  const Record* held = (*map_)->find_value(next.id);
  if (!held) return Status::Runtime("Record not found: " + next.id);
  // Every position the held content can be posted under: its SDR in either
  // range (the range followed the level it had when posted), and the SDR its
  // record log entry keeps, which an open posts for a record the saved index
  // lacks. Clearing just these lists costs the same in any size of store,
  // where a full removal would ask every list of the index.
  std::vector<uint16_t> posted =
      encode_sdr(p.indexes.sdr_encoder, held->content, SdrRange::Core, SdrCase::Fold);
  const Sdr general = encode_sdr(p.indexes.sdr_encoder, held->content, SdrRange::General, SdrCase::Fold);
  posted.insert(posted.end(), general.begin(), general.end());
  if (CachedEntryPtr entry = p.storage.cached_entry(next.id)) {
    const std::vector<uint16_t> logged = entry->sdr().positions();
    posted.insert(posted.end(), logged.begin(), logged.end());
  }
  const std::string id = next.id;
  VESK_RETURN_IF_ERROR(replace(std::move(next)));
  // The old postings go first: an insert of an indexed id adds the new
  // positions to those it has.
  p.indexes.sdr_index->clear_positions(id, posted);
  if (refresh.sdr) p.indexes.sdr_index->insert(id, refresh.sdr);
  {
    auto sdrs = p.indexes.record_sdrs.write();
    if (refresh.general_sdr) {
      sdrs->insert_or_assign(id, std::move(refresh.general_sdr));
    } else {
      sdrs->erase(id);
    }
  }
  if (refresh.embed) {
    embeddings_put_.emplace_back(id, std::move(refresh.embed));
  } else {
    embeddings_removed_.push_back(id);
  }
  return Status::Ok();
}

// ---- Replace together -----------------------------------------------------------

Status RecordChanges::Batch::replace_together(std::vector<Record> next) {
  const Parts& p = owner_.parts_;
  return replace_held(std::move(next), [&](const std::vector<Record>& r) { return p.journal.log_record_batch(r); });
}

// ---- Patch ---------------------------------------------------------------------

Status RecordChanges::Batch::patch(std::vector<Record> next, std::span<const RecordPatch> patches) {
  const Parts& p = owner_.parts_;
  return replace_held(std::move(next), [&](const std::vector<Record>&) { return p.journal.log_record_patches(patches); });
}

Status RecordChanges::Batch::replace_held(std::vector<Record> next,
                                          const std::function<Status(const std::vector<Record>&)>& write_frame) {
  RecordMap& map = **map_;
  std::vector<Record*> held;
  held.reserve(next.size());
  for (const Record& r : next) {
    Record* h = map.find_value(r.id);
    if (!h) return Status::Runtime("Record not found: " + r.id);
    held.push_back(h);
  }

  VESK_RETURN_IF_ERROR(write_frame(next));

  for (size_t i = 0; i < next.size(); ++i) reindex_and_replace(*held[i], std::move(next[i]));
  changed_ = true;
  return Status::Ok();
}

void RecordChanges::Batch::reindex_and_replace(Record& held, Record next) {
  reindex(held, next);
  held = std::move(next);
}

void RecordChanges::Batch::reindex(const Record& before, const Record& next) {
  const Parts& p = owner_.parts_;
  const bool content = before.content != next.content;
  if (content || before.content_type != next.content_type) p.records.duplicates.write()->note_replace(before, next);
  p.records.recall_index.write()->note_replace(before, next);
  if (content) p.indexes.ngram.write()->insert(next.id, next.content);
  if (content || before.namespace_ != next.namespace_) {
    p.indexes.terms.write()->insert(next.id, next.content, next.namespace_);
  }
  if (before.tags != next.tags) {
    auto tags = p.indexes.tags.write();
    tags->remove(next.id);
    if (!next.tags.empty()) tags->add(next.id, next.tags);
  }
  if (before.vesk_id != next.vesk_id) {
    auto ids = p.records.id_map.write();
    if (before.vesk_id) {
      const std::string* held_id = ids->find(*before.vesk_id);
      if (held_id && *held_id == next.id) ids->erase(*before.vesk_id);
    }
    if (next.vesk_id) ids->insert_or_assign(*next.vesk_id, next.id);
  }
  if (content) p.indexes.substrings.write()->insert(next.id, next.content);
  p.records.by_metadata(*map_).note_replace(before, next);
  p.records.structural(*map_).note_replace(before, next);
}

// ---- A maintenance pass --------------------------------------------------------

Status RecordChanges::Batch::rewrite_all(const std::function<std::vector<std::string>(RecordMap&)>& pass,
                                         bool journal_removals) {
  const Parts& p = owner_.parts_;
  RecordMap& map = **map_;
  RecordMap before = map;
  const std::vector<std::string> removed = pass(map);
  const std::vector<const Record*> changed = changed_records(map, before);
  const std::span<const std::string> deletions =
      journal_removals ? std::span<const std::string>(removed) : std::span<const std::string>();
  if (Status st = p.journal.log_record_mutations_of(changed, deletions); !st.ok()) {
    map = std::move(before);
    return st;
  }
  for (const Record* next : changed)
    if (const Record* was = before.find_value(next->id)) reindex(*was, *next);
  for (const std::string& id : removed) {
    const Record* was = before.find_value(id);
    if (!was) continue;
    p.records.duplicates.write()->note_remove(was->id, was->content);
    p.records.recall_index.write()->note_remove(*was);
    p.records.by_metadata(*map_).note_remove(*was);
    p.records.structural(*map_).note_remove(*was);
    p.indexes.substrings.write()->remove(was->id);
  }
  changed_ = changed_ || !changed.empty() || !removed.empty();
  return Status::Ok();
}

// ---- Erase ---------------------------------------------------------------------

Status RecordChanges::Batch::erase(std::string_view id, std::optional<AuditAction> audit) {
  const Parts& p = owner_.parts_;
  RecordMap& map = **map_;
  const Record* held = map.find_value(id);
  if (!held) return Status::Runtime("Record not found: " + std::string(id));

  VESK_RETURN_IF_ERROR(p.journal.append_cognitive_frame(FrameKind::kRecordRemove, id, false));

  unindex_record(id);
  if (audit) audits_.push_back(std::move(*audit));
  changed_ = true;
  return Status::Ok();
}

void RecordChanges::Batch::unindex_record(std::string_view id) {
  RecordMap& map = **map_;
  const Record* held = map.find_value(id);
  if (!held) return;
  unindex(*held);
  embeddings_removed_.push_back(held->id);
  map.erase(std::string(id));
}

// ---- Remove (a delete) -----------------------------------------------------------

Status RecordChanges::Batch::remove(std::string_view id, std::optional<AuditAction> audit) {
  const Parts& p = owner_.parts_;
  RecordMap& map = **map_;
  if (!map.find_value(id)) return Status::Runtime("Record not found: " + std::string(id));

  // The records that link to it, as they will be, in map order.
  const std::string key(id);
  std::vector<Record> relinked;
  for (const auto& [other_id, other] : map) {
    // Most records hold no link at all: the empty tests spare them a hash
    // of the id per table.
    const bool caused = other.caused_by_id && *other.caused_by_id == id;
    if (!caused && (other.connections.empty() || !other.connections.contains(key)) &&
        (other.connection_types.empty() || !other.connection_types.contains(key))) {
      continue;
    }
    if (other_id == id) continue;
    Record next = other;
    next.connections.erase(key);
    next.connection_types.erase(key);
    if (caused) next.caused_by_id.reset();
    relinked.push_back(std::move(next));
  }
  const std::string removed[] = {std::string(id)};
  VESK_RETURN_IF_ERROR(p.journal.log_record_mutations(relinked, removed));

  unindex_record(id);
  for (Record& next : relinked) {
    if (Record* held = map.find_value(next.id)) reindex_and_replace(*held, std::move(next));
  }
  p.storage.remove_entry(id);
  if (audit) audits_.push_back(std::move(*audit));
  changed_ = true;
  return Status::Ok();
}

// ---- Restore -------------------------------------------------------------------

Status RecordChanges::Batch::restore(NewRecord n) {
  const Parts& p = owner_.parts_;
  RecordMap& map = **map_;
  Record& r = n.record;
  std::string frame;
  serialize_record(r, frame);
  VESK_RETURN_IF_ERROR(p.journal.append_cognitive_frame(FrameKind::kRecordInsert, frame, false));

  if (const Record* held = map.find_value(r.id)) unindex(*held);
  p.records.duplicates.write()->note_insert(r);
  p.records.recall_index.write()->note_insert(r);
  p.records.by_metadata(*map_).note_insert(r);
  p.records.structural(*map_).note_insert(r);
  p.indexes.ngram.write()->insert(r.id, r.content);
  p.indexes.sdr_index->insert(r.id, n.sdr);
  p.indexes.terms.write()->insert(r.id, r.content, r.namespace_);
  if (!r.tags.empty()) p.indexes.tags.write()->add(r.id, r.tags);
  p.records.id_map.write()->insert_or_assign(r.vesk_id.value_or(r.id), r.id);
  if (n.general_sdr) p.indexes.record_sdrs.write()->insert_or_assign(r.id, std::move(n.general_sdr));
  p.indexes.substrings.write()->insert(r.id, r.content);
  std::string id = r.id;
  map.insert_or_assign(std::move(id), std::move(r));
  changed_ = true;
  return Status::Ok();
}

void RecordChanges::Batch::unindex(const Record& r) {
  const Parts& p = owner_.parts_;
  p.records.duplicates.write()->note_remove(r.id, r.content);
  p.records.recall_index.write()->note_remove(r);
  p.records.by_metadata(*map_).note_remove(r);
  p.records.structural(*map_).note_remove(r);
  p.indexes.ngram.write()->remove(r.id);
  p.indexes.sdr_index->remove(r.id);
  p.indexes.terms.write()->remove(r.id);
  p.indexes.tags.write()->remove(r.id);
  {
    auto ids = p.records.id_map.write();
    const std::string& key = r.vesk_id ? *r.vesk_id : r.id;
    const std::string* held_id = ids->find(key);
    if (held_id && *held_id == r.id) ids->erase(key);
  }
  p.indexes.record_sdrs.write()->erase(r.id);
  p.indexes.substrings.write()->remove(r.id);
}

// ---- After the lock ------------------------------------------------------------

void RecordChanges::Batch::finish() {
  if (!map_) return;
  map_.reset();
  if (!changed_) return;
  const Parts& p = owner_.parts_;
  if (EmbeddingStore* store = p.indexes.embeddings.get()) {
    // Failures leave a vector behind, or a record without one: the next open
    // drops vectors of unknown records, and a vector can be stored again.
    for (auto& [id, embed] : embeddings_put_) {
      if (std::optional<std::vector<float>> vector = embed()) (void)embedding_store_put(*store, id, *vector);
    }
    for (const std::string& id : embeddings_removed_) (void)embedding_store_remove(*store, id);
  }
  if (p.audit) {
    for (AuditAction& action : audits_) (void)p.audit->append_audit_entry(std::move(action));
  }
  p.recall.clear_caches();
  changed_ = false;
}

// ---- The open -------------------------------------------------------------------

void RecordChanges::load_all(const std::function<void()>& sdr_index_ready) {
  const RecordMap& records = parts_.records.records.unguarded();
  tbb::parallel_invoke(
      [&] {
        std::vector<NgramIndex::Entry> entries;
        entries.reserve(records.size());
        for (const auto& [id, record] : records) entries.push_back({id, record.content});
        parts_.indexes.ngram.unguarded().insert_all(entries);
      },
      [&] { parts_.indexes.terms.unguarded() = bm25_index_from_records(records); },
      [&] {
        std::vector<SubstringIndex::Entry> entries;
        entries.reserve(records.size());
        for (const auto& [id, record] : records) entries.push_back({id, record.content});
        parts_.indexes.substrings.unguarded().insert_all(entries);
      },
      [&] { parts_.records.recall_index.unguarded() = recall_record_index_from(records); },
      [&] { parts_.records.by_metadata_unguarded().rebuild(records); },
      [&] { parts_.records.structural_unguarded().rebuild(records); },
      [&] {
        TagIndex& tags = parts_.indexes.tags.unguarded();
        IdMap& id_map = parts_.records.id_map.unguarded();
        DuplicateIndex& duplicates = parts_.records.duplicates.unguarded();
        for (const auto& [id, record] : records) {
          tags.add(id, record.tags);
          duplicates.note_insert(record);
          if (record.vesk_id) id_map[*record.vesk_id] = id;
        }
      });
  if (sdr_index_ready) sdr_index_ready();
  // Records stored after the SDR index was last saved (a crash, a failed
  // save) would otherwise stay invisible to the SDR search for good: their
  // SDRs are still in the record log.
  backfill_sdr_index(*parts_.indexes.sdr_index, records, parts_.storage);
}

size_t backfill_sdr_index(SdrIndex& index, const RecordMap& records, const VeskStorage& storage) {
  size_t added = 0;
  for (const auto& [id, record] : records) {
    if (index.doc_of(id)) continue;
    CachedEntryPtr entry = storage.cached_entry(id);
    if (!entry) continue;
    // The log keeps its SDRs packed; the index takes them as lists.
    index.insert(id, make_sdr_positions(entry->sdr().positions()));
    ++added;
  }
  return added;
}

}  // namespace vesk

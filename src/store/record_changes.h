// RecordChanges: the one seam through which a record enters, changes in or
// leaves an open store.
//
// Every writer of the record map (the store road, the duplicate touch, the
// open, the access-control setter, and every later writer) hands its change
// to this object, which applies it in one fixed order:
//
//   1. durable first: a new record's record log entry, then its journal
//      frame (an insert, with the patch list of the links other records get
//      to it in the same write; a full-record write; a removal; one forced
//      record batch or patch list for several records);
//   2. the record map, and with it the duplicates table, the recall index
//      and the metadata value index;
//   3. the search indexes and side tables: n-gram, terms, tags, the SDR index,
//      the id map, the record SDRs and the substring index;
//   4. with the record map's lock released: the stored embedding, the audit
//      entries, then both recall caches cleared.
//
// Steps 1 to 3 of a change run under the record map's write lock (a Batch
// holds it), so writers never interleave and a reader sees a record either
// before a change or after it, together with the tables that describe it.
// A change that cannot be journaled changes nothing: its one undo is taking
// back the record log entry that a new record wrote in step 1.
//
// What a replacement re-indexes follows what changed: content (n-gram,
// terms, substrings, duplicates), namespace (terms), tags (tags), level, namespace and
// validity (recall index), vesk_id (id map), the indexed metadata values
// (metadata value index). The SDR postings, the record SDRs and the stored
// embedding follow a new content only when the writer hands their
// ContentRefresh (an update does); the record log entry always describes
// the content a record was stored with.
//
// One change goes through the seam without being journaled: a rollback to a
// labelled snapshot (restore_all) replaces the records in memory only, so a
// reopen shows the journaled records again.
//
// One writer stays outside the seam by design: recall's bookkeeping
// (activation counts and strength, co-activation links, recall/activation.h,
// and the links of an ended session) changes only fields that no table
// indexes, under the record map's write lock, and the next flush journals the
// changed records as one batch.
//
// The embedding step runs after the lock is let go because it may call the
// caller's embedding function and append to and compact the embedding
// files; a vector that meanwhile outlives its record is dropped at the next
// open, which keeps only vectors of known records.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "audit/audit_action.h"
#include "base/status.h"
#include "index/sdr_encoder.h"
#include "model/journal_patch.h"
#include "model/metadata_value_index.h"
#include "model/record.h"
#include "storage/audit_journal.h"
#include "storage/cognitive_store.h"
#include "storage/vesk_storage.h"
#include "store/recall_state.h"
#include "store/record_state.h"
#include "store/search_indexes.h"

namespace vesk {

class RecordChanges {
 public:
  // The parts of the store object a change touches.
  struct Parts {
    RecordState& records;
    SearchIndexes& indexes;
    RecallState& recall;
    CognitiveStore& journal;
    VeskStorage& storage;
    AuditJournal* audit = nullptr;  // null while the store opens
  };

  // A new record, with what its writer computed before taking any lock.
  struct NewRecord {
    Record record;
    // In the level's range: posted in the SDR index and kept in the record
    // log entry.
    SharedSdr sdr;
    // In the general range: the record SDRs table.
    SharedSdr general_sdr;
    // Called once the record is in the map and every lock is released (it
    // may call the caller's Python embedding function); the vector it gives,
    // if any, is stored.
    std::function<std::optional<std::vector<float>>()> embed;
    // The other half of the new record's links, on records the map holds
    // (write/store_links.h): journaled as one patch list frame right behind
    // the record's own frame, in the same write and likewise not forced, so
    // that both land or neither; applied to the map with the record.
    std::vector<RecordPatch> back_links;
  };

  // What describes a record's new content besides its text, computed by
  // the writer with no lock held: the SDR in the level's range (replaces
  // the record's SDR postings), the SDR in the general range (the record
  // SDRs table), and the embedding call made once the lock is released (a
  // null call removes the stored vector, which would describe the old text).
  struct ContentRefresh {
    SharedSdr sdr;
    SharedSdr general_sdr;
    std::function<std::optional<std::vector<float>>()> embed;
  };

  class Batch;

  explicit RecordChanges(Parts parts) : parts_(parts) {}
  RecordChanges(const RecordChanges&) = delete;
  RecordChanges& operator=(const RecordChanges&) = delete;

  // Runs `f(Batch&)` holding the record map's write lock, then finishes what
  // the batch changed (step 4) with the lock released, also when `f` fails.
  template <class F>
  std::invoke_result_t<F, Batch&> apply(F&& f);

  // Fills every table and index from the records loaded at open: n-gram,
  // terms, tags, id map, duplicates and recall index from the map, side by
  // side; then, once `sdr_index_ready` has returned (the open waits there for
  // the SDR index files it reads meanwhile), the SDR index with every record
  // it lacks, from the SDRs the record log keeps. Only while the store object
  // is not shared yet.
  void load_all(const std::function<void()>& sdr_index_ready);

  // Rollback to a labelled snapshot (record_restore.cc): `entries`, in file
  // order, become the records held, a later entry of an id replacing an
  // earlier one, and every table kept in place of a scan of the map is
  // rebuilt from them: duplicates, recall index, metadata value index,
  // n-gram, tags and id map (an id map entry per vesk_id, the later entry
  // winning). Built aside first, then swapped in under the write locks of
  // the record map, the duplicates, the recall index, the n-gram index, the
  // tag index and the id map, taken in that order; both recall caches are
  // cleared before they are let go, so a reader sees the old records or the
  // new ones, never a mixture.
  //
  // Memory only, by design: nothing is journaled, logged or audited, and a
  // reopen shows the records as they were before. The term index, the SDR
  // index, the record SDRs and the stored embeddings stay as they were;
  // recall looks every candidate they name up in the map and drops what it
  // does not find. A table added to RecordState or SearchIndexes that
  // stands in for a scan of the map is rebuilt here too.
  void restore_all(std::vector<Record> entries);

 private:
  Parts parts_;
};

class RecordChanges::Batch {
 public:
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;
  ~Batch() { finish(); }

  const RecordMap& map() const { return **map_; }
  // The record with exactly this id, or null.
  const Record* find(std::string_view id) const { return (*map_)->find_value(id); }
  // The map's records by the values of the indexed metadata keys.
  const MetadataValueIndex& by_metadata() const { return owner_.parts_.records.by_metadata(*map_); }
  // The records the structural relation inference links.
  const StructuralRelationIndex& structural() const { return owner_.parts_.records.structural(*map_); }
  // The search indexes, for a read under the map's lock (the tag index for
  // the links of a new record).
  const SearchIndexes& indexes() const { return owner_.parts_.indexes; }

  // A new record under an id the map does not hold (a held id fails with a
  // Runtime error, nothing written: the writer draws another). Fails, with
  // nothing changed, with the record log's or the journal's error.
  Status insert(NewRecord r, std::optional<AuditAction> audit = std::nullopt);
  // The record with next.id becomes `next`. Fails, with nothing changed, for
  // an id the map does not hold ("Record not found: {id}") and with the
  // journal's error.
  Status replace(Record next, std::optional<AuditAction> audit = std::nullopt);
  // The same, for a record whose content the writer re-encoded: the SDR
  // postings, the record SDRs and the stored embedding follow `refresh`.
  Status replace(Record next, ContentRefresh refresh);
  // A new record together with changes to records the map holds: the new
  // record's log entry first, then `changed` in order and the new record last
  // as one record batch (kind 4) forced to stable storage, then the map and
  // every table. Nothing changes in memory unless the batch is written; when
  // it is not, the log entry is taken back and the journal's error is
  // returned wrapped in `journal_failure`. A held id for the new record, or
  // an id of `changed` the map does not hold, fails with nothing written.
  // `n.back_links` must be empty: the other records' halves are in `changed`.
  Status insert_together(NewRecord n, std::vector<Record> changed, std::string_view journal_failure,
                         std::optional<AuditAction> audit = std::nullopt);
  // The record leaves the map and every index; its stored embedding is
  // removed after the lock is released. Fails, with nothing changed, like
  // replace.
  Status erase(std::string_view id, std::optional<AuditAction> audit = std::nullopt);
  // A delete: the record leaves the map and every index, and every link
  // another record holds to it (a connection, its relation type, a causal
  // parent) is cut. One pass over the map finds those records; their new
  // forms and the removed id are journaled as one mutation batch (kind 6)
  // forced to stable storage before anything changes, so a failed write
  // changes nothing. Then, as for erase, plus the record log forgets the id
  // in memory (its entry stays in the file); the stored embedding goes
  // after the lock is released. Fails like replace.
  Status remove(std::string_view id, std::optional<AuditAction> audit = std::nullopt);
  // Each record of `next`, in order, replaces the held record with its id;
  // the records are journaled whole, as one record batch (kind 4) forced to
  // stable storage before the map changes, so they land together. Fails,
  // with nothing changed, for an id the map does not hold ("Record not
  // found: {id}") and with the journal's error. No audit entry is written.
  Status replace_together(std::vector<Record> next);
  // Each record of `next`, in order, replaces the held record with its id,
  // journaled not as whole records but as the one patch list `patches`
  // (kind 5, forced to stable storage before the map changes). The patches
  // must carry every difference between the held records and `next` (a
  // patch sets metadata entries and typed connections, nothing else), so
  // that a replay arrives where the map does. Fails, with nothing changed,
  // for an id the map does not hold ("Record not found: {id}") and with the
  // journal's error. No audit entry is written.
  Status patch(std::vector<Record> next, std::span<const RecordPatch> patches);
  // A record restored as it was exported (the JSON import): journaled as a
  // new-record frame (kind 1), not forced, and put in the map under its id,
  // replacing a record held under it, which first leaves every table and
  // index. Then the record enters all of them as a new record does (its SDRs
  // as computed by the caller), but the record log, the stored embedding and
  // the audit journal are not written. Fails, with nothing changed, with the
  // journal's error.
  Status restore(NewRecord r);
  // A maintenance pass over the whole map, with one journal batch and one
  // undo. `pass` changes and removes records of the map in place (it adds
  // none) and returns the ids it took out. Every record it changed (next_changed_record against a copy
  // taken before) and, when `journal_removals`, the removed ids go to the
  // journal as one forced mutation batch (kind 6); when that write fails the
  // copy is put back, so the pass leaves no trace, and the journal's error
  // is returned. Otherwise the tables follow what changed as for replace,
  // and the duplicates, the recall index, the metadata value index and the
  // structural relation index drop the removed records. What else names a removed record (search indexes,
  // side tables, stored embedding, record log entry) is for the caller's
  // index refresh, once the lock is released. No audit entry is written.
  Status rewrite_all(const std::function<std::vector<std::string>(RecordMap&)>& pass, bool journal_removals);

 private:
  friend class RecordChanges;
  explicit Batch(RecordChanges& owner) : owner_(owner), map_(owner.parts_.records.records.write()) {}
  // Steps 2 and 3 of an insert whose frames are written: every table, then
  // the map, then the back links.
  void index_inserted(NewRecord& n);
  // Steps 2 and 3 of a replacement whose frame is written: the tables
  // follow what changed, then the held record becomes `next`.
  void reindex_and_replace(Record& held, Record next);
  // Finds every record of `next` in the map, writes the frame with
  // `write_frame(next)` and, when it succeeds, puts each one in place of the
  // record it replaces.
  Status replace_held(std::vector<Record> next,
                      const std::function<Status(const std::vector<Record>&)>& write_frame);
  // The tables of a record that changed from `before` to `next`.
  void reindex(const Record& before, const Record& next);
  // Takes a held record out of every table and index (not the map, the
  // record log or the stored embedding).
  void unindex(const Record& r);
  // Steps 2 and 3 of a removal whose frame is written: the record leaves
  // the tables and the map.
  void unindex_record(std::string_view id);
  // Step 4, once: releases the lock first.
  void finish();

  RecordChanges& owner_;
  std::optional<Guarded<RecordMap>::WriteHandle> map_;
  bool changed_ = false;
  std::vector<AuditAction> audits_;
  std::vector<std::pair<std::string, std::function<std::optional<std::vector<float>>()>>> embeddings_put_;
  std::vector<std::string> embeddings_removed_;
};

// Inserts into the SDR index every record of the map it lacks, with the SDR
// the record log keeps for it. Returns how many were added.
size_t backfill_sdr_index(SdrIndex& index, const RecordMap& records, const VeskStorage& storage);

template <class F>
std::invoke_result_t<F, RecordChanges::Batch&> RecordChanges::apply(F&& f) {
  Batch batch(*this);
  if constexpr (std::is_void_v<std::invoke_result_t<F, Batch&>>) {
    std::forward<F>(f)(batch);
    batch.finish();
  } else {
    auto result = std::forward<F>(f)(batch);
    batch.finish();
    return result;
  }
}

}  // namespace vesk

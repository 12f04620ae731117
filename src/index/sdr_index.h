// SDR index: an inverted index from SDR positions to the records whose SDR
// holds them, and the SDR search.
//
// Each indexed record id gets a 32-bit document number (handed out in
// increasing order, never reused); each position owns a Roaring bitmap of
// document numbers. The index is saved to and loaded from the "index"
// directory (sdr_index_format.h) and is the only search index kept on disk.
//
// New records are posted in batches: insert() queues a new document, and
// once kPostBatch documents are queued a thread of the index posts them,
// position range by position range (so the lists are visited in address
// order, not in the random order of one record's positions), while the
// inserts go on. Every reader posts what is queued first, so the queue is
// never visible.
//
// Memory. A record posts one document number in each of its ~3,000-4,000
// positions, so postings dominate. Each position's postings are a
// PostingList (posting_list.h): chunks by the numbers' high 16 bits, with a
// small buffer that batches the appends of new records, whose numbers are
// always the largest yet; the chunks live in the index's own PostingMemory
// (posting_memory.h). The index keeps no record's SDR: a removal asks every
// list, which is rare beside the search and the store road.
//
// Locks: `ids_mu_` (id map, reverse map, next document number) before
// `bitmaps_mu_` before `queue_mu_`. A new document takes `ids_mu_` and
// `queue_mu_`; re-insert and remove take all three for writing; save takes
// the first two for reading; the search takes each alone, one at a time. A
// reader that finds a queue takes `bitmaps_mu_` for writing just to post it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "index/index_file_io.h"
#include "index/posting_list.h"
#include "index/sdr_count.h"
#include "index/sdr_encoder.h"
#include "base/status.h"
#include "base/env.h"
#include "model/scored_record.h"
#include "storage/packed_sdr.h"

namespace vesk {

class SdrIndex {
 public:
  // An index in memory only: save and load fail.
  SdrIndex();
  // index_dir: the store's "index" directory, where save and load work,
  // through `env`.
  SdrIndex(std::string index_dir, Env& env);
  ~SdrIndex();
  SdrIndex(const SdrIndex&) = delete;
  SdrIndex& operator=(const SdrIndex&) = delete;

  // Adds the record's positions. A new id gets the next document number (an
  // empty SDR too); an indexed id keeps its number and gains the positions.
  void insert(std::string_view id, const SharedSdr& sdr);
  // Removes the record from the maps and from every bitmap; bitmaps left
  // empty stay. An id that is not indexed is left alone.
  void remove(std::string_view id);
  // Takes an indexed record out of the lists of the given positions only,
  // keeping its document number: for a writer that knows every position
  // the record may be posted under (a content replaced in place), where
  // remove() would ask every list of the index. Other ids are left alone.
  void clear_positions(std::string_view id, std::span<const uint16_t> positions);

  // Writes index_manifest.json and sdr.idx into the index directory, plain
  // also in an encrypted store. Each is written to a temporary file with
  // ".tmp" appended to its name and forced to stable storage; only when both
  // are complete is sdr.idx.tmp renamed over sdr.idx, then the manifest over
  // its target. On failure the temporary files are removed and a target
  // whose rename had not happened keeps its old content. When the index has
  // not changed since this object loaded or saved both files, they already
  // hold its state and nothing is written.
  Status save() const;
  // Loads both files when both exist (otherwise does nothing). A malformed
  // manifest changes nothing; a damaged sdr.idx keeps the records read before
  // the damage. A manifest or bitmap that breaks the index's invariants
  // (repeated document numbers, numbers at or above next_doc_id) leaves the
  // index empty. Every failure is returned.
  Status load();
  // Empties the index: no records, no postings, document numbers from 0.
  void clear();

  // The same two operations on byte streams.
  Status save_to(ByteSink& manifest, ByteSink& sdr_idx) const;
  Status load_from(std::string_view manifest, ByteSource& sdr_idx);

  // The whole state in plain containers, for inspection and tests.
  struct Contents {
    uint32_t next_doc_id = 0;
    std::map<std::string, uint32_t> id_map;
    std::map<uint32_t, std::string> reverse;
    std::map<uint16_t, std::vector<uint32_t>> bitmaps;  // emptied bitmaps included
    bool operator==(const Contents&) const = default;
  };
  Contents contents() const;
  std::optional<uint32_t> doc_of(std::string_view id) const;
  size_t size() const;

  // The documents posted under a position, ascending (for tests). A copy
  // taken under the lock: the poster thread may change the list as soon as
  // the lock is released, so no reference to it is handed out.
  std::vector<uint32_t> postings(uint16_t position) const;

  // A batch is sealed for the poster thread once kPostBatch new documents
  // are queued. While the poster is still busy with the last one, the queue
  // grows on to kQueueMax at most (a place in a batch is kept in a byte);
  // there the inserter posts both batches itself.
  static constexpr size_t kPostBatch = 128;
  static constexpr size_t kQueueMax = 256;

 private:
  friend class SdrSearch;
  void clear_locked();
  PostingList& list_for_insert(uint16_t p) const {
    present_[p >> 6] |= uint64_t{1} << (p & 63);
    return lists_[p];
  }
  // The queue. New documents are queued in `filling_`; a full queue is
  // sealed (moved to `sealed_`) and posted by the poster thread while the
  // next one fills. Queued documents are ascending and above every posted
  // one. To post a batch, its postings are first sorted into 256 buckets by
  // the high byte of the position (a record's positions are ascending, so
  // each is a run of appends to one bucket). An entry is the document's
  // place in the batch (high byte) and the low byte of the position; each
  // bucket is in batch order.
  struct QueueBucket {
    uint16_t* entries = nullptr;
    uint32_t size = 0;
    uint32_t cap = 0;  // kept from batch to batch
  };
  struct FreeBuckets {
    void operator()(QueueBucket* b) const;
  };
  struct QueueBatch {
    QueueBatch();
    void add(uint32_t doc, const Sdr& sdr);
    std::vector<uint32_t> docs;
    std::unique_ptr<QueueBucket[], FreeBuckets> buckets;  // 256
  };
  struct Queued {
    uint32_t doc;
    SharedSdr sdr;  // strictly ascending, not empty
  };
  // Posts queued documents; the caller holds bitmaps_mu_ for writing, and
  // nothing else changes them meanwhile.
  void post_batch_locked(const std::vector<Queued>& queued) const;
  // Posts the sealed batch, then the filling one; the caller holds
  // bitmaps_mu_ for writing.
  void post_all_locked() const;
  // Posts everything queued, if anything is, taking bitmaps_mu_ for
  // writing; readers call it before they take the lock for reading.
  void post_queued() const;
  // Starts the poster thread unless it runs; whether it runs. Under queue_mu_.
  bool poster_running_locked();
  void poster_loop();
  bool present(uint16_t p) const { return present_[p >> 6] >> (p & 63) & 1; }
  template <class F>
  void for_each_present(F&& f) const;

  std::string dir_;
  Env* env_ = nullptr;  // null: in memory only

  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  mutable std::shared_mutex ids_mu_;
  std::unordered_map<std::string, uint32_t, Hash, std::equal_to<>> id_map_;
  std::unordered_map<uint32_t, const std::string*> reverse_;  // to the keys of id_map_
  uint32_t next_doc_id_ = 0;

  mutable std::shared_mutex bitmaps_mu_;
  struct FreeLists {
    void operator()(PostingList* l) const;
  };
  mutable PostingMemory memory_;  // the lists' chunks
  std::unique_ptr<PostingList[], FreeLists> lists_;  // one per position
  // Bit p set = position p has a bitmap (maybe emptied). Mutable, like the
  // queue below: posting the queue changes no contents a reader can see.
  mutable uint64_t present_[1024] = {};
  // Lock order: ids_mu_, bitmaps_mu_, queue_mu_. A new document is queued
  // under ids_mu_ and queue_mu_ alone, so stores go on while a batch is
  // posted; posting takes bitmaps_mu_ and reads the sealed batch, which no
  // one else changes until it is emptied under queue_mu_.
  mutable std::mutex queue_mu_;
  mutable std::condition_variable poster_wake_;
  mutable std::vector<Queued> filling_, sealed_;
  mutable QueueBatch batch_;  // the buckets of the batch being posted, under bitmaps_mu_
  mutable std::atomic<uint32_t> unposted_{0};  // queued documents not yet posted
  std::thread poster_;
  bool poster_failed_ = false;  // the thread could not be started: post inline
  bool stopping_ = false;
  mutable uint64_t version_ = 0;  // changes with every change of the postings
  // Under ids_mu_: counts every change of the id map or the postings, so a
  // save can tell that the files it last loaded or wrote still hold the
  // index (files_edits_, or kFilesDiffer).
  static constexpr uint64_t kFilesDiffer = UINT64_MAX;
  uint64_t edits_ = 0;
  mutable std::atomic<uint64_t> files_edits_{kFilesDiffer};
};

// The record log's SDR of a record id (its entry cache), or null.
using SdrLookup = std::function<const PackedSdr*(std::string_view id)>;
// The record id the store's id map keeps under a key, or null.
using IdMapLookup = std::function<const std::string*(std::string_view key)>;

// What one pass of the search used, for tests and tuning.
struct SdrSearchPass {
  size_t budget = 0;
  size_t bitmaps = 0;     // posting bitmaps counted
  size_t candidates = 0;  // documents rescored
  size_t resolved = 0;    // candidates with a record id
  size_t hits = 0;
};

// The SDR search: encodes the query (general range, folded), counts the
// query's rarest posting bitmaps per document, rescores the best-counted
// documents by Tanimoto similarity against the SDR the record log keeps for
// them, widens while too few visible hits were found, and returns at most
// top_k hits in the recall order. Hits are under the record id the id map
// resolves an indexed id to. The caller holds the read locks of the records
// map, the id map and the record log's entry cache.
RankedList collect_sdr(const SdrEncoder& encoder, const SdrIndex& index, const SdrLookup& log_sdrs,
                       const IdMapLookup& id_map, const RecordLookup& records, std::string_view query, size_t top_k,
                       std::span<const std::string> namespaces, std::vector<SdrSearchPass>* trace = nullptr);

}  // namespace vesk

// EmbeddingStore: at most one vector per record id, in memory and in the files
// "embeddings.cog" and "embeddings.log" of the store directory
// (embedding_format.h).
//
// Invariants of the vectors: each has at least one element, every element is
// finite, and all have one length (the dimension; an empty store accepts any
// length). A put appends one log frame, then changes memory; a removal and a
// compaction rewrite the snapshot atomically and delete the log.
//
// Locks, in this order: the vectors' reader-writer lock, then the log
// writer's mutex. Puts and removals hold the write lock for their whole run,
// file writes and compaction included; readers (scores, lookups, counts) take
// the read lock. The records map of the main object comes before this store
// in the main object's lock order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "index/embedding_matrix.h"
#include "base/status.h"
#include "model/scored_record.h"
#include "storage/atomic_file.h"
#include "storage/crypto.h"
#include "base/env.h"

namespace vesk {

inline constexpr std::string_view kEmbeddingNotFiniteMessage = "Embedding must be nonempty and finite";
inline constexpr std::string_view kEmbeddingDimensionMessage = "Embedding dimension mismatch";

class EmbeddingStore;

struct EmbeddingStoreLoad {
  std::unique_ptr<EmbeddingStore> store;
  // Set when the snapshot or the vectors read at open were damaged (did not
  // unseal or parse, or broke the invariants): the store then starts from an
  // empty map (plus any log frames that replayed) instead of failing the open,
  // since every vector can be computed again. The text says what was wrong;
  // the open sequence reports it as a recovered startup validation event.
  std::optional<std::string> recovered_error;
  // Log frames applied at open (0 when there was no log).
  uint64_t replayed_frames = 0;
  // True when the log held a torn or bad frame and was cut back.
  bool log_cut = false;
};

// Reads the snapshot, replays the log (cutting it back at the first bad
// frame), drops the vectors of ids that `record_exists` does not know, checks
// the invariants, and compacts when any frame was applied. I/O failures (a
// snapshot or log that exists but cannot be read, a failed cut or compaction)
// are returned as errors; damaged contents are not (see recovered_error).
Result<EmbeddingStoreLoad> load_embedding_store(const fs::path& dir, StoreKey key,
                                                const std::function<bool(std::string_view)>& record_exists,
                                                Env& env);

// The same in two halves, so that the files can be read while the rest of
// the store opens. read_embedding_files() reads the snapshot and the log into
// the store's vectors in file order (embedding_file_reader.h); when log
// frames were applied, so that the load will compact, it also writes and
// forces the snapshot of every vector read under its temporary name, not in
// place (nothing else is written, and a read result dropped unfinished
// removes that file). finish_embedding_load() cuts a torn log, keeps the
// vectors of existing records and compacts: it puts the staged snapshot in
// place when no vector was dropped, and writes one anew otherwise.
struct EmbeddingFilesRead {
  // Holds the vectors read, unless `staged` does.
  std::unique_ptr<EmbeddingStore> store;
  // Set when a vector read breaks the invariants: all of them then wait here,
  // since the checks come after the record filter (a vector of a record the
  // open drops cannot fail the load), and the store holds none.
  std::optional<StringKeyMap<std::vector<float>>> staged;
  std::optional<std::string> recovered_error;
  uint64_t frames = 0;    // log frames applied
  uint64_t log_end = 0;   // end of the last applied frame
  uint64_t log_size = 0;  // bytes of the log read
  // When frames were applied: the snapshot of every vector read, finished
  // but not in place, or the failure of staging it (the failure of the
  // compaction, unless a vector is dropped and the compaction writes anew).
  std::optional<Result<std::unique_ptr<StagedFile>>> prepared_snapshot;
};
Result<EmbeddingFilesRead> read_embedding_files(const fs::path& dir, StoreKey key, Env& env);
Result<EmbeddingStoreLoad> finish_embedding_load(EmbeddingFilesRead read,
                                                 const std::function<bool(std::string_view)>& record_exists,
                                                 Env& env);

// Inserts or replaces the vector of an id. Fails, changing nothing, with
// "Embedding must be nonempty and finite" for an empty vector or one with NaN
// or infinity, then with "Embedding dimension mismatch" when the store holds
// vectors of another length (both Value errors); with the I/O or sealing error
// when the frame cannot be appended (the log is cut back to where the frame
// started). When the log then holds more frames than max(1024, vectors) the
// store compacts; a failed compaction is returned, the new vector staying in
// memory and in the log.
Status embedding_store_put(EmbeddingStore& store, std::string_view id, std::span<const float> vector);

// Removes the vector of an id by compacting without it; an id without a vector
// writes nothing. On failure the vector stays.
Status embedding_store_remove(EmbeddingStore& store, std::string_view id);

// The ids a ranking may name, when it ranks for part of the store (a
// recall ranks only its own candidates).
struct EmbeddingCandidates {
  // Whether the vector of an id may be ranked.
  std::function<bool(std::string_view id)> accepts;
  // When the caller can list the ids accepts() takes: a walk that visits
  // each of them once (ids without a vector may be among them), each id
  // staying valid until embedding_scores returns. The ranking
  // then reads only the vectors of the listed ids where that costs less than
  // scanning every vector and testing the best ones; without a walk it
  // always scans and tests.
  std::function<void(const std::function<void(std::string_view id)>& visit)> list;
  // How many ids accepts() takes at most (0: not known): the number the
  // walk visits when there is one.
  size_t listed = 0;
};

// Cosine similarity ranking of the stored vectors against a query: none when
// there is no query or no stored vector; otherwise the (id, score) pairs whose
// score is above 0 (an empty query, or one of another length than the stored
// vectors, gives an empty list), ordered by score descending then id ascending
// in byte order, at most n of them. Scores are computed in 32-bit floats, each
// sum accumulated in index order. With candidates, only the vectors of the ids
// they accept are ranked: the first n are the first n of those, never fewer
// because other vectors lie nearer the query.
std::optional<RankedList> embedding_scores(const EmbeddingStore& store, const std::optional<std::vector<float>>& query,
                                           size_t n, const EmbeddingCandidates* candidates = nullptr);

class EmbeddingStore {
 public:
  EmbeddingStore(const EmbeddingStore&) = delete;
  EmbeddingStore& operator=(const EmbeddingStore&) = delete;

  const fs::path& path() const { return path_; }
  const fs::path& log_path() const { return log_path_; }

  size_t size() const;
  bool empty() const { return size() == 0; }
  // 0 when empty.
  size_t dimension() const;
  // A copy of the vector of an id, or none.
  std::optional<std::vector<float>> vector(std::string_view id) const;
  // Frames appended since the last compaction.
  uint64_t log_frames() const;

 private:
  friend Result<EmbeddingFilesRead> read_embedding_files(const fs::path&, StoreKey, Env&);
  friend Result<EmbeddingStoreLoad> finish_embedding_load(EmbeddingFilesRead,
                                                          const std::function<bool(std::string_view)>&, Env&);
  friend Status embedding_store_put(EmbeddingStore&, std::string_view, std::span<const float>);
  friend Status embedding_store_remove(EmbeddingStore&, std::string_view);
  friend std::optional<RankedList> embedding_scores(const EmbeddingStore&, const std::optional<std::vector<float>>&,
                                                    size_t, const EmbeddingCandidates*);

  EmbeddingStore(const fs::path& dir, StoreKey key, Env& env);

  // Appends one sealed frame at the end of the last good frame; on failure
  // cuts the file back there. Caller holds log_mu_.
  Status append_frame(std::string_view frame);
  // Writes the snapshot of every vector but `skip` (when given), or puts
  // `prepared` (a snapshot staged from the same vectors) in place, and
  // deletes the log. Caller holds the write lock of the vectors.
  Status compact(std::optional<std::string_view> skip, std::unique_ptr<StagedFile> prepared = nullptr);
  // The snapshot of every vector but `skip` in its temporary file, forced,
  // not yet in place. Its rows are formatted side by side a block at a time
  // and written in row order: streamed into the file for a plain store,
  // sealed whole for a keyed one.
  Result<std::unique_ptr<StagedFile>> stage_snapshot(std::optional<std::string_view> skip);

  const fs::path path_;
  const fs::path log_path_;
  const StoreKey key_;
  Env& env_;

  mutable std::shared_mutex mu_;
  EmbeddingMatrix vectors_;

  mutable std::mutex log_mu_;
  std::unique_ptr<File> log_file_;  // opened on the first append after a load or a compaction
  uint64_t log_end_ = 0;            // end of the last good frame
  uint64_t log_frames_ = 0;
};

}  // namespace vesk

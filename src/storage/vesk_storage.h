// VeskStorage: the directory lock, the record log and its side map.
//
// Owns "brain.lock", "brain.vesk" and "temporal.bin" (formats in
// record_log_format.h and temporal_format.h). Opening takes the directory lock
// and scans the log into an in-memory index by id (offset of the latest entry,
// its CachedLogEntry with the fixed fields and SDR positions but no text,
// membership of the "user_core" tier); appends go to a write buffer and become
// durable at flush(); close() flushes and releases the lock. The storage is
// shared by every thread of one store, and dropping the last reference closes
// it, reporting a failure on standard error.
//
// Locks, always taken in this order, never the reverse:
//   writer_mu_  (the writer slot; held for a whole append, flush, close, or a
//                purge rewrite through lock_writer())
//   index_mu_   (reader-writer; the id index)
//   entry link  (an atomic pointer inside each CachedLogEntry)
// reader_mu_ and lock_mu_ are taken last and alone. The counters and flags are
// atomics. read_entry() releases index_mu_ before it takes writer_mu_.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "base/status.h"
#include "storage/buffered_writer.h"
#include "storage/crypto.h"
#include "base/env.h"
#include "storage/cached_log_entry.h"
#include "storage/log_entry.h"
#include "storage/temporal_map.h"

namespace vesk {

class VeskStorage {
 public:
  // Held writer slot, proof for the whole-log rewrite helpers below.
  using WriterLock = std::unique_lock<std::mutex>;

  // Creates the directory, takes the lock, creates or scans the log (cutting a
  // torn tail) and loads the side map. Errors are of kind OS; a failure leaves
  // nothing open and the lock released.
  static Result<std::shared_ptr<VeskStorage>> open(const fs::path& dir, StoreKey key, Env& env);
  // The same in two halves, so that a caller can read other files of the
  // directory, under its lock, while the log is scanned: open_locked()
  // creates the directory, takes the lock, creates or checks the log's
  // header and opens the reader; finish_open() scans, loads the side map and
  // opens the writer. Nothing else may be called between the two. A failure
  // of either is of kind OS; the lock goes with the object.
  static Result<std::shared_ptr<VeskStorage>> open_locked(const fs::path& dir, StoreKey key,
                                                           Env& env);
  Status finish_open();

  VeskStorage(const VeskStorage&) = delete;
  VeskStorage& operator=(const VeskStorage&) = delete;
  // Closes; a failure is written to standard error.
  ~VeskStorage();

  // Buffers one entry and returns its offset. Durable only after flush(). On
  // failure the log is cut back to where the entry would have started; if even
  // that fails the writer is closed, so nothing is ever appended behind bytes
  // the next open would cut away.
  Result<uint64_t> append(const LogEntry& entry);
  // The latest entry for `id` with its offset, none for an unknown id.
  Result<std::optional<LogEntry>> read_entry(std::string_view id);
  // Forgets `id` in memory; its bytes stay in the log (it is back after the
  // next open) and links to it are cleared.
  void remove_entry(std::string_view id);
  // Writes out the buffer, rewrites the header count when it changed, forces
  // the log and rewrites the side map. Does nothing once closed.
  Status flush();
  // Flushes, then closes the files and releases the directory lock. A failed
  // flush closes nothing. Later closes do nothing.
  Status close();

  // Reads of the index.
  CachedEntryPtr cached_entry(std::string_view id) const;
  std::optional<uint64_t> offset_of(std::string_view id) const;
  bool is_user_core(std::string_view id) const;
  // Ids for which a "user_core" entry was scanned or appended (a later
  // "general" entry does not take an id out).
  std::unordered_set<std::string> user_core_ids() const;
  // (id, linked id) of every cached entry with a link.
  LinkPairs linked_pairs() const;
  size_t id_count() const;
  // Calls f(id) for every id the log holds an entry for, in no order, under
  // the index's read lock.
  void for_each_id(const std::function<void(std::string_view)>& f) const;

  // What the open's scan did to a damaged log: the whole file as it was is
  // copied beside it ("brain.vesk.damaged-<unix seconds>", forced) before it
  // is cut back to the last whole entry before the damage. Empty when the log
  // was whole (a torn tail is cut without a copy).
  struct Repair {
    fs::path damaged_copy;
    uint64_t cut_at = 0;
    uint64_t old_size = 0;
  };
  const Repair& repair() const { return repair_; }
  // Entries scanned plus appended minus removed.
  uint64_t entry_count() const { return entry_count_.load(); }

  const fs::path& dir() const { return dir_; }
  const fs::path& log_path() const { return log_path_; }
  const fs::path& side_map_path() const { return side_map_path_; }
  const StoreKey& key() const { return key_; }
  Env& env() const { return env_; }

  // Whole-log rewrite, for purges. The caller flushes, takes lock_writer(),
  // reads the surviving entries with read_entry() and collects linked_pairs();
  // writes a new file with create_log_file() and write_log_entry(), puts the
  // count at offset 8, forces it and renames it over the log; then calls
  // reopen_handles(), rebuild_index(), remap_cached_entries() and
  // write_temporal_sidecar().
  WriterLock lock_writer();
  // read_entry() for the holder of lock_writer(): writes pending appends out
  // through the held slot instead of waiting for it.
  Result<std::optional<LogEntry>> read_entry(std::string_view id, const WriterLock& held);
  // Closes both handles (the writer's buffer written out, errors ignored),
  // so the log file can be replaced; reopen_handles() opens them again.
  void close_handles(const WriterLock& held);
  // A fresh log file holding only its header (not forced to stable storage).
  static Status create_log_file(const fs::path& path, Env& env);
  // Reopens both handles on the log path; on failure the old ones stay.
  Status reopen_handles(const WriterLock& held);
  // Writes out pending appends, then rescans the log into the index.
  Status rebuild_index(const WriterLock& held);
  // Links id -> linked id for every pair whose ids are both cached.
  void remap_cached_entries(const std::unordered_map<std::string, std::string>& links);
  // Rewrites the side map from the cached links, through "temporal.tmp".
  Status write_temporal_sidecar();

 private:
  struct StringHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  struct Slot {
    uint64_t offset;
    CachedEntryPtr entry;
    bool user_core;
  };
  using Index = std::unordered_map<std::string, Slot, StringHash, std::equal_to<>>;

  VeskStorage(fs::path dir, StoreKey key, Env& env);

  // Scans the log into the index; cuts a torn tail. Returns the end offset of
  // the last whole entry.
  Result<uint64_t> scan();
  // Copies the whole log beside it before a damaged part is cut away.
  Status keep_damaged_copy(uint64_t size, uint64_t cut_at);
  void load_side_map();
  bool fresh_log_ = false;  // created by open_locked(): nothing to scan
  std::unique_ptr<File> pending_writer_;  // from open_locked() to finish_open()
  Status flush_locked();
  // The entry at `offset`, read through the reader handle.
  Result<std::optional<LogEntry>> read_entry_at(uint64_t offset);
  Status writer_unavailable() const;

  const fs::path dir_, log_path_, side_map_path_;
  const StoreKey key_;
  Env& env_;

  std::mutex writer_mu_;
  std::unique_ptr<BufferedWriter> writer_;  // null once closed
  Status writer_failure_;                   // why the writer was closed, if by a failure
  std::string scratch_;                     // encoding buffer of append()

  mutable std::shared_mutex index_mu_;
  Index index_;
  std::atomic<bool> any_links_{false};  // lets remove_entry skip the link sweep

  std::mutex reader_mu_;
  std::unique_ptr<File> reader_;

  std::mutex lock_mu_;
  std::unique_ptr<FileLock> lock_;

  std::atomic<uint64_t> entry_count_{0};
  std::atomic<bool> count_dirty_{false};
  Repair repair_;
  std::atomic<bool> unflushed_appends_{false};
};

}  // namespace vesk

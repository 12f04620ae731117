// CognitiveStore: the cognitive journal "brain.cog" and its snapshot
// "brain.snap", the durable home of the in-memory record map.
//
// Every change of records is appended as one checksummed frame (formats in
// cognitive_journal_format.h and cognitive_snapshot_format.h). Loading takes
// the snapshot when it is usable and replays the journal frames behind it;
// compaction rewrites the journal as one frame per live record and takes a
// fresh snapshot. With a data key every payload is sealed.
//
// Durability: every append hands its whole frame to the file before it
// returns, so the frame survives the death of the process; kinds 4, 5 and 6
// (batches, patch lists, mutation batches) are also forced to stable storage
// before the append returns, kinds 1 and 2 only by flush() or close(). A
// failed append cuts the file back to where its frame began; when even that
// fails the journal closes, so no frame is ever appended behind a partial one.
//
// Concurrency: one mutex guards the writer; it serialises appends, flush,
// close and compaction (held for the whole rewrite, so appends wait). Sealing
// and the CRC are computed before it is taken. Loading and replay read the
// files without it, up to the journal length they find when they start. The
// journal writer's mutex may be taken while the record map is held, never the
// reverse.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/journal_patch.h"
#include "model/record.h"
#include "base/status.h"
#include "storage/buffered_writer.h"
#include "storage/cognitive_journal_format.h"
#include "storage/journal_walk.h"
#include "storage/crypto.h"
#include "base/env.h"
#include "base/string_hash.h"

namespace vesk {

class CognitiveStore {
 public:
  static constexpr size_t kBufferSize = 8192;

  struct LoadedState {
    RecordMap records;
    uint64_t offset = kJournalHeaderSize;  // where the journal replay started
    // Byte ranges the replay passed over (no well-formed frame there), and
    // well-formed frames it could not use (not unsealing, or not reading as
    // their kind's form), by offset.
    std::vector<std::pair<uint64_t, uint64_t>> skipped_ranges;
    std::vector<uint64_t> unreadable_frames;
    // Ids that removal frames took out of the map during the replay.
    StringSet removed_ids;
  };

  // What the open did to a damaged journal before appending to it.
  struct Repair {
    // The whole journal as it was, copied beside it before anything changed
    // ("brain.cog.damaged-<unix seconds>"); empty when nothing was damaged.
    fs::path damaged_copy;
    // Byte ranges of the old file left out: passed-over ranges between whole
    // frames, and a damaged tail.
    std::vector<std::pair<uint64_t, uint64_t>> removed;
    uint64_t old_size = 0;
  };

  // Creates "brain.cog" holding only its header when it does not exist, or
  // checks the header of the existing one against the store's keyed state;
  // opens the writer at the end of the last whole frame. A torn tail (the
  // start of a frame a crash cut short) is cut silently. Other damage, found
  // by walking the frames when their heads do not lead cleanly to the end of
  // the file, is never cut without a copy: the file is first copied beside it
  // (forced to disk), then rewritten with every well-formed frame, byte for
  // byte and in order, without the damaged bytes (repair() says what went).
  // Errors are of kind OS:
  //   "Cognitive journal encryption mode mismatch; password or explicit migration required"
  //   "Unsupported cognitive journal format"
  //   the read error of a journal shorter than its header, or any I/O error.
  static Result<std::unique_ptr<CognitiveStore>> open(const fs::path& dir, StoreKey key, Env& env);

  CognitiveStore(const CognitiveStore&) = delete;
  CognitiveStore& operator=(const CognitiveStore&) = delete;
  ~CognitiveStore();

  // Appends one frame of `kind` holding `payload` (sealed when keyed), forced
  // to stable storage when `force`. "Cognitive store is closed" once closed;
  // sealing, write and sync errors otherwise, with nothing left in the file.
  Status append_cognitive_frame(FrameKind kind, std::string_view payload, bool force);
  // Several frames in one write, in order: either all of them are in the
  // file when it returns, or none (the same errors).
  struct Frame {
    FrameKind kind;
    std::string_view payload;
  };
  Status append_cognitive_frames(std::span<const Frame> frames, bool force);
  // The records as one JSON array, kind 4, forced. Empty: nothing, success.
  Status log_record_batch(std::span<const Record> records);
  // One mutation batch, kind 6, forced. Both lists empty: nothing, success.
  Status log_record_mutations(std::span<const Record> upserts, std::span<const std::string> deletions);
  // The patches as one JSON array, kind 5, forced. Empty: nothing, success.
  Status log_record_patches(std::span<const RecordPatch> patches);

  // The record map from the snapshot (when usable) and the journal behind it.
  // Fails when the journal is missing or unreadable. Damage is passed over
  // and listed: bytes where no well-formed frame starts (the replay goes on
  // at the next one), and frames that do not unseal or do not read as their
  // kind's form.
  Result<LoadedState> load_cognitive_state() const;
  // Replays the journal into `records` from byte `offset` (a frame start).
  Status replay_cognitive_log(RecordMap& records, uint64_t offset) const;
  // Rewrites both files from the durable state, leaving out `drop_id` when
  // given, and returns the map it wrote. Any failure after the old writer was
  // closed leaves the journal closed; "brain.cog" is always either the old or
  // the new complete journal.
  Result<RecordMap> compact_cognitive_store(std::optional<std::string_view> drop_id = std::nullopt);

  // Writes out the buffer and forces the journal to stable storage. Success
  // without doing anything once closed.
  Status flush();
  // Flushes, then closes the journal; a failed flush leaves it open. Later
  // calls do nothing.
  Status close();
  bool is_closed() const;

  const fs::path& journal_path() const { return journal_path_; }
  const fs::path& snapshot_path() const { return snapshot_path_; }
  const StoreKey& key() const { return key_; }
  const Repair& repair() const { return repair_; }

 private:
  CognitiveStore(const fs::path& dir, StoreKey key, Env& env);

  // The snapshot's records and covered length, or none when it is unusable
  // for a journal of `journal_size` bytes.
  std::optional<uint64_t> load_snapshot(RecordMap& records, uint64_t journal_size) const;
  // The stored bytes of a payload: sealed when keyed.
  Result<std::string> stored_form(std::string_view payload) const;
  Result<RecordMap> rewrite_locked(std::optional<std::string_view> drop_id);
  Status open_writer_locked(uint64_t position);
  // The replay, noting what it passed over in `report`.
  Status replay_into(RecordMap& records, uint64_t offset, LoadedState& report) const;
  // Keeps a copy of the damaged journal, then leaves out the walk's skipped
  // ranges and everything after its last whole frame.
  Status repair_damage(File& file, uint64_t size, const JournalWalk& walk);

  fs::path dir_;
  fs::path journal_path_;
  fs::path snapshot_path_;
  StoreKey key_;
  Env& env_;
  mutable std::mutex writer_mu_;
  std::unique_ptr<BufferedWriter> writer_;  // null once closed
  Repair repair_;
};

// One record from a whole frame payload; whitespace may follow the object,
// anything else fails ("trailing characters").
Result<Record> decode_record_payload(std::string_view payload);

}  // namespace vesk

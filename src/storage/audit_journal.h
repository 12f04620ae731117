// AuditJournal: the open audit journal of a store (format in
// audit_journal_format.h).
//
// Opened once by the store's open sequence and kept for the life of the store
// object; any thread may append. Each append stamps the entry with the time
// and the journal's session id, writes its line under the writer mutex and
// writes the buffer out before the mutex is released, so lines never
// interleave and a returned append is in the file. The JSON text and its
// sealing are prepared before the mutex is taken; the size check and the
// rotation happen under it, so two appends can never both rotate the file.
//
// Dropping the journal appends a final "close" entry, writes out and closes
// the file and wipes its copy of the key. Closing the store does not drop it.
//
// The journal also keeps the index of the outcome receipts its files hold
// (outcome_receipt_index.h), built by the first load_outcome_receipts and
// then told of every append and rotation, under the writer mutex.
//
// Locks: the rewrite mutex, then the writer mutex. Whoever must keep the
// audit files from being rewritten between reading them and appending to
// them (a receipt capture), or rewrites them (a history purge), holds the
// rewrite mutex across both; appends take only the writer mutex.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "audit/audit_action.h"
#include "audit/audit_entry.h"
#include "audit/outcome_receipt_set.h"
#include "base/status.h"
#include "storage/audit_journal_format.h"
#include "storage/buffered_writer.h"
#include "storage/crypto.h"
#include "storage/outcome_receipt_index.h"
#include "base/env.h"

namespace vesk {

struct AuditJournalOptions {
  // The size past which the file is rotated.
  uint64_t rotate_bytes = kAuditRotateBytes;
};

class AuditJournal {
 public:
  AuditJournal(const AuditJournal&) = delete;
  AuditJournal& operator=(const AuditJournal&) = delete;
  ~AuditJournal();

  // Appends one entry of `action` with an optional context text. Fails with
  // the sealing or I/O error (the partial line is taken back), or with "audit
  // writer is temporarily unavailable" when the file cannot be opened after a
  // failed rotation. A rotation whose rename fails is reported as an error
  // but the line is written and the journal keeps appending to the old file.
  Status append_audit_entry(AuditAction action, std::optional<std::string> context = std::nullopt);

  // Appends the "close" entry and closes the file; appends after it, and the
  // destructor, write nothing. The store calls it while it still holds its
  // directory's lock, so no later handle of the directory can see this one
  // write. Returns the append's error.
  Status close();

  // Brings the receipt index up to date with the audit files (reading them
  // all when it is not built or they are not as it accounts for them), then
  // calls `use` with their receipts under the writer mutex. Fails with the
  // first failure the files hold (outcome_receipt_index.h), or with the file
  // system's error; `use` is then not called. A full read runs without the
  // writer mutex, from the files' states taken under it, so appends go on
  // meanwhile and are added to its result; one full read runs at a time,
  // and a second caller waits for it.
  Status load_outcome_receipts(const std::function<void(const OutcomeReceiptSet&)>& use);

  // Held by whoever reads the audit files and must append before they can
  // be rewritten, and by whoever rewrites them; taken before the writer
  // mutex.
  std::mutex& rewrite_mutex() { return rewrite_mu_; }

  // Removes from the current file and every "brain.audit.*" file beside it
  // each line whose entry `names` accepts, and returns how many went. Lines
  // are read one at a time (a sealed line unsealed first); one that is not
  // an entry is kept, a sealed one that cannot be unsealed ends the rewrite
  // with that error. Kept lines keep their bytes. A file that loses a line
  // is rewritten through "<its path, last extension replaced by
  // audit.<uuid>.purge.tmp>", forced; the renames start only once every
  // such file is written (otherwise they are all removed). The rewrite
  // mutex and the writer mutex are held throughout, so receipt captures and
  // appends wait for the rewrite rather than being lost or landing in a
  // file about to be replaced; the writer is always reopened on
  // "brain.audit" (created when missing) before they go on.
  Result<uint64_t> remove_entries(const std::function<bool(const AuditEntry&)>& names);

  // False once close() ran: appends then write nothing.
  bool enabled() const { return enabled_.load(); }
  const std::string& session_id() const { return session_id_; }
  const fs::path& path() const { return path_; }

 private:
  friend Result<std::unique_ptr<AuditJournal>> open_audit_session(const fs::path& dir, StoreKey key, Env& env,
                                                                  AuditJournalOptions options);
  AuditJournal(const fs::path& dir, StoreKey key, Env& env, AuditJournalOptions options);

  uint64_t now_ms() const;
  Status open_writer_locked();
  Status rotate_locked();
  // The current file's metadata (through the writer when it is open), none
  // when it cannot be read. Under writer_mu_.
  std::optional<FileStat> current_stat();

  fs::path dir_;
  fs::path path_;
  std::string session_id_;
  std::optional<SecretKey> key_;  // a private copy, wiped when it dies
  // Set once opened, cleared by close(); appends while clear do nothing.
  std::atomic<bool> enabled_{false};
  // Files, and the clock of entry times and the session id.
  Env& env_;
  AuditJournalOptions options_;
  std::mutex rewrite_mu_;
  std::mutex writer_mu_;
  std::unique_ptr<BufferedWriter> writer_;  // null after a failed rotation
  OutcomeReceiptIndex receipts_;            // under writer_mu_
  std::condition_variable read_done_;       // a full read of receipts ended
};

// Opens (creating, 0666) "brain.audit" in `dir` for appending, cutting away a
// last line that has no line feed. The session id is "session_" and the
// current Unix milliseconds of the Env's clock.
Result<std::unique_ptr<AuditJournal>> open_audit_session(const fs::path& dir, StoreKey key, Env& env,
                                                         AuditJournalOptions options = {});

// The JSON text of one journal line (without its line feed): a sealed line is
// hex-decoded and unsealed with the key. Fails for a plain line in a keyed
// store, a sealed line in a plain store, and bad hex or ciphertext.
Result<std::string> audit_line_json(const SecretKey* key, std::string_view line);

}  // namespace vesk

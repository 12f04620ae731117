// The outcome receipts of an audit journal's files: one full read, and the
// index that keeps its result up to date while the journal appends.
//
// A full read takes the audit files in reading order (audit_files.h), each
// line by line (a trailing "\r" dropped; a last line without its line feed
// is read too):
//   - a line that is not UTF-8 is a failure;
//   - a line that begins with "AEF1:" is unsealed with the store key
//     (audit_line_json); failing that, or not giving UTF-8, is a failure;
//   - any other line is, in a store with a key, the failure "plaintext audit
//     entry in encrypted memory", and in a store without one the entry's
//     JSON text;
//   - a text that does not read as an audit entry (a torn or foreign line,
//     a receipt without a required member) is skipped without notice;
//   - the receipt of an "outcome_receipt" entry must pass
//     check_stored_outcome_receipt, else that is the failure.
// The first failure met in reading order ends the read: while the files are
// as they were, every query answers with it. Errors of the file system
// (listing, opening, reading) are not remembered: the next query tries
// again.
//
// The index accounts for the files it reflects by name, size and
// modification time. A query compares the directory's audit files with that
// account and reads everything again on any difference (an edit behind the
// store's back, a rewrite, a file removed or added). The journal reports
// each of its own appends with the current file's metadata before and after
// the line, and each rotation, so its own writing never costs a full read:
// an append that finds the current file other than accounted for drops the
// index instead. Appends made while a full read is under way are kept and
// replayed onto its result, so a busy journal does not make every query
// read again. Modification times are as fine as the file system keeps them:
// an edit that keeps a file's size within one tick of that clock after the
// journal's last look at it goes unseen until the next open.
//
// Not thread-safe: AuditJournal calls it under its writer lock, and reads
// the files without that lock, from a snapshot of their states, between
// begin_read() and install().
#pragma once

#include <memory>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <span>
#include <vector>

#include "audit/outcome_receipt_set.h"
#include "base/env.h"
#include "base/status.h"
#include "storage/audit_files.h"
#include "storage/crypto.h"

namespace vesk {

// What one full read found.
struct OutcomeReceiptRead {
  // The receipts read before the failure, when there is one.
  OutcomeReceiptSet receipts;
  // The first failure the files' content holds, in reading order.
  Status failure;
};

// Reads the audit files `files` of `dir` (as audit_file_states listed them),
// each up to the size noted there. The current file is read through
// `current` when given (opened while its state was taken, so a rotation
// since then does not matter), the others by name. Fails only with a file
// system error.
Result<OutcomeReceiptRead> read_outcome_receipts(const fs::path& dir, std::span<const AuditFileState> files,
                                                 File* current, const SecretKey* key, Env& env);

class OutcomeReceiptIndex {
 public:
  // Whether the index reflects exactly these files (a built index only).
  bool accounts_for(std::span<const AuditFileState> files) const {
    return built_ && std::equal(files_.begin(), files_.end(), files.begin(), files.end());
  }
  bool built() const { return built_; }
  // Whether a full read is under way: at most one at a time.
  bool reading() const { return reading_; }
  // Whether the journal's appends and rotations are to be reported, with
  // the metadata they need.
  bool wants_notes() const { return built_ || reading_; }

  // A full read begins: the index is dropped, and the appends and rotations
  // reported until install() are kept for it.
  void begin_read();
  // Takes the result of the full read of `files` and replays onto it what
  // was reported since begin_read(); the index may come out dropped, when
  // the files changed behind the journal's back meanwhile.
  void install(std::vector<AuditFileState> files, OutcomeReceiptRead read);
  // The full read failed: what was kept for it is forgotten.
  void abandon_read();

  // The failure the files hold (success when none), and the receipts.
  const Status& failure() const { return failure_; }
  const OutcomeReceiptSet& receipts() const { return receipts_; }

  // The journal appended one line, carrying `receipt` or not, at bytes
  // [line.first, line.second) of the current file; `before` and `after` are
  // the file's metadata around the write (none when it could not be read or
  // the file was missing). The line counts only when it went right after
  // what the index accounts for and the file ends with it.
  void note_append(const std::optional<FileStat>& before, std::pair<uint64_t, uint64_t> line,
                   const std::optional<FileStat>& after, const OutcomeReceipt* receipt);
  // The current file was renamed to `rotated_name`; `fresh` is the metadata
  // of the new current file, none when it could not be opened.
  void note_rotation(std::string_view rotated_name, const std::optional<FileStat>& fresh);
  // The journal no longer knows what its files hold (a write that failed
  // part way): the index is dropped, also after a read under way.
  void note_lost();

 private:
  // One report kept during a full read.
  struct Note {
    enum class Kind : uint8_t { Append, Rotation, Lost } kind;
    std::optional<FileStat> before;  // Append
    std::pair<uint64_t, uint64_t> line;
    std::optional<FileStat> after;   // Append; Rotation: the fresh file
    std::optional<OutcomeReceipt> receipt;
    std::string rotated_name;
  };

  void apply_append(const std::optional<FileStat>& before, std::pair<uint64_t, uint64_t> line,
                    const std::optional<FileStat>& after, const OutcomeReceipt* receipt);
  void apply_rotation(std::string_view rotated_name, const std::optional<FileStat>& fresh);
  void drop();
  // The accounted state of the current file, or null when it has none.
  AuditFileState* current();

  bool built_ = false;
  bool reading_ = false;
  std::vector<Note> notes_;            // while reading_
  std::vector<AuditFileState> files_;  // reading order
  OutcomeReceiptSet receipts_;
  Status failure_;
};

}  // namespace vesk

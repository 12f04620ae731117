// Whole-file replacement and whole-file reads of sealed files.
//
// A whole store file is never rewritten in place: the new bytes go to a fresh
// temporary file beside the target, are forced to stable storage, and the
// temporary file is renamed over the target. A reader therefore sees either the
// complete old content or the complete new content, never a mixture.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/status.h"
#include "storage/buffered_writer.h"
#include "storage/crypto.h"
#include "base/env.h"

namespace vesk {

// The temporary name an atomic write of `target` goes through: the target's
// extension replaced by "{uuid}.tmp" ("beliefs.cog" -> "beliefs.{uuid}.tmp";
// "a.b.c" -> "a.b.{uuid}.tmp"); a name without an extension, or whose only dot
// leads it (".hidden"), gets ".{uuid}.tmp" appended whole.
fs::path atomic_temp_path(const fs::path& target, std::string_view uuid);

// A fresh random version 4 UUID from the Env's random source, hyphenated
// lower case (36 characters).
Result<std::string> random_uuid_v4(Env& env);

// Seals `bytes` under the key (a plain copy without one) and replaces `target`
// with them: create-new temporary file, write, force, close, rename, force the
// directory. On any failure the temporary file is removed and the target keeps
// its old content (or, once the rename happened, the complete new one).
Status write_file_atomic(const SecretKey* key, const fs::path& target, std::string_view bytes,
                         Env& env);

// The same steps through a caller-chosen temporary name, which is created or
// emptied (not create-new) and not sealed. For files with a fixed scratch name.
Status replace_file_via(const fs::path& temp, const fs::path& target, std::string_view bytes,
                        Env& env);

// A whole-file replacement written piece by piece, for files too large to
// build in memory first; the two calls above are made of it. Bytes go through
// a 256 KiB buffer into the temporary file (never sealed), with write-behind
// (buffered_writer.h), so a large file is mostly on the device by the time
// finish() forces it. finish() writes out the buffer, forces the file to
// stable storage and closes it; publish() renames it over the target and
// forces the directory. Several staged files can all be finished before any
// is published, so that no target is replaced until every new file is
// complete. Dropped before a successful publish, the object removes its
// temporary file.
class StagedFile {
 public:
  // Large enough that a file of hundreds of megabytes (the SDR index) goes
  // out in few writes.
  static constexpr size_t kStagedBufferBytes = 256 * 1024;

  // Opens `temp` in `mode` (kWriteTruncate or kWriteCreateNew). When the open
  // fails nothing is removed: under create-new the name is someone else's.
  static Result<std::unique_ptr<StagedFile>> open(const fs::path& temp, const fs::path& target,
                                                   OpenMode mode,
                                                   Env& env);
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  Status append(std::string_view bytes);
  // From now on, each time another `every` bytes have been appended, a
  // helper thread forces the file while appending goes on, so that the disk
  // works while a large file is produced and finish() has little left to
  // force. finish() waits for the helper and fails with the first failure
  // of any of its forces (a later force may no longer report it).
  void force_along(uint64_t every);
  Status finish();
  // Fails unless finish() succeeded first.
  Status publish();

 private:
  class Forcer;

  StagedFile(Env& env, fs::path temp, fs::path target, std::unique_ptr<File> file);
  // Waits for the helper of force_along(); the first failure of its forces.
  Status stop_forcing();

  Env& env_;
  fs::path temp_, target_;
  std::optional<BufferedWriter> writer_;  // empty once closed
  std::unique_ptr<Forcer> forcer_;        // while force_along() is on
  bool finished_ = false;
  bool published_ = false;
};

// The temporary file of a write_file_atomic of `target`, created new under
// a fresh name, for a caller that appends the (already sealed) bytes piece by
// piece; finish() and publish() then complete the same steps.
Result<std::unique_ptr<StagedFile>> stage_file_atomic(const fs::path& target, Env& env);

// The whole file, unsealed under the key, as UTF-8 text. I/O errors (a missing
// file too) come back unchanged; bytes that are not UTF-8 are an error.
Result<std::string> read_sealed_text_file(const SecretKey* key, const fs::path& path, Env& env);

// Forces the parent directory of `path` to stable storage, so a rename into it
// survives a crash. Best effort: every failure is ignored.
void fsync_path_full(const fs::path& path, Env& env);

}  // namespace vesk

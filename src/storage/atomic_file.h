// Whole-file replacement and whole-file reads of sealed files.
//
// A whole store file is never rewritten in place: the new bytes go to a fresh
// temporary file beside the target, are forced to stable storage, and the
// temporary file is renamed over the target. A reader therefore sees either the
// complete old content or the complete new content, never a mixture.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "model/status.h"
#include "storage/crypto.h"
#include "storage/env.h"

namespace vesk {

// The temporary name an atomic write of `target` goes through: the target's
// extension replaced by "{uuid}.tmp" ("beliefs.cog" -> "beliefs.{uuid}.tmp";
// "a.b.c" -> "a.b.{uuid}.tmp"); a name without an extension, or whose only dot
// leads it (".hidden"), gets ".{uuid}.tmp" appended whole.
fs::path atomic_temp_path(const fs::path& target, std::string_view uuid);

// A fresh random version 4 UUID, hyphenated lower case (36 characters).
std::string random_uuid_v4();

// Seals `bytes` under the key (a plain copy without one) and replaces `target`
// with them: create-new temporary file, write, force, close, rename, force the
// directory. On any failure the temporary file is removed and the target keeps
// its old content (or, once the rename happened, the complete new one).
Status write_file_atomic(const SecretKey* key, const fs::path& target, std::string_view bytes,
                         Env& env = Env::Default());

// The same steps through a caller-chosen temporary name, which is created or
// emptied (not create-new) and not sealed. For files with a fixed scratch name.
Status replace_file_via(const fs::path& temp, const fs::path& target, std::string_view bytes,
                        Env& env = Env::Default());

// The whole file, unsealed under the key, as UTF-8 text. I/O errors (a missing
// file too) come back unchanged; bytes that are not UTF-8 are an error.
Result<std::string> read_sealed_text_file(const SecretKey* key, const fs::path& path, Env& env = Env::Default());

// Forces the parent directory of `path` to stable storage, so a rename into it
// survives a crash. Best effort: every failure is ignored.
void fsync_path_full(const fs::path& path, Env& env = Env::Default());

}  // namespace vesk

// Replacing a whole file through a fixed scratch name and a backup of the old
// content, for a file whose loader falls back to that backup.
//
// For a target "x.json" the two other names are "x.json.tmp" and
// "x.json.bak". The steps:
//   1. Open "x.json.tmp" for writing, created (0666 before the umask) or
//      emptied; write every byte, force the file to stable storage (retried
//      when a signal interrupts it) and close it. A failure returns, leaving
//      the scratch file behind (the next swap empties it).
//   2. Remove a "x.json.bak" left from before.
//   3. Rename "x.json", when it exists, to "x.json.bak".
//   4. Rename "x.json.tmp" to "x.json". When that fails and the backup
//      exists, the backup is renamed back (whatever that gives) and the
//      failure of the first rename returned.
//   5. Remove the backup.
// Any failure of steps 2, 3 and 5 is returned as it is. At every moment
// "x.json" or "x.json.bak" holds a complete content, the old or the new one,
// so a reader that takes the backup when the target is missing never sees a
// half-written file; after a failure a stale scratch or backup file may stay.
// The bytes are written as given (seal them first when the store has a key).
#pragma once

#include <string_view>

#include "base/env.h"
#include "base/status.h"

namespace vesk {

// The scratch and backup names of a target.
fs::path swap_scratch_path(const fs::path& target);
fs::path swap_backup_path(const fs::path& target);

Status replace_file_via_backup(const fs::path& target, std::string_view bytes, Env& env);

}  // namespace vesk

// Rewriting the record log ("brain.vesk") without the entries the storage no
// longer indexes: the last step of a purge that reaches the record log.
//
// The caller has made the storage forget the purged id (remove_entry). With
// the storage's writer slot held throughout, so appends wait:
//   1. Pending appends are written out and the log is forced.
//   2. Every id still indexed is read and its entry written, one at a time,
//      into "<stem>.vesk.<uuid>.purge.tmp" beside the log (a fresh 64-byte
//      header first, sealed payloads when the store has a key; the count at
//      offset 8), which is forced and closed. No whole log is held in
//      memory. Any failure here removes the temporary file; the log is
//      untouched.
//   3. The live log gets a backup name, "<stem>.vesk.<uuid>.purge.bak" (a
//      hard link, else a copy), then the temporary file is renamed over it
//      and the directory forced.
//   4. The handles are reopened and the index rebuilt from the new file. If
//      that fails the backup is renamed back and the index rebuilt from it.
//   5. The backup is removed, the linked ids noted before are put back and
//      the side map ("temporal.bin") rewritten.
// So "brain.vesk" always holds either the old or the new complete log.
// Entries are written in no particular order: the index is rebuilt from the
// file, and only the latest entry of each id survives.
#pragma once

#include "base/status.h"
#include "storage/vesk_storage.h"

namespace vesk {

Status rewrite_record_log(VeskStorage& storage);

}  // namespace vesk

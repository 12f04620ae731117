// The audit journal "brain.audit": one line of text per audit entry, in the
// order the appends happened, each ended by a line feed (0x0A).
//
//   store       line
//   without key the entry's compact JSON (audit_entry.h)
//   with key    "AEF1:" + lower-case hex of the sealed JSON (sealed_format.h);
//               the hex begins with "41454631", the sealed form's own magic;
//               5 + 2 x (JSON length + 32) characters
//
// All lines of a store take one form; readers of a keyed store refuse plain
// lines. Lines are appended whole and handed to the operating system before
// the append returns; the file is never forced to stable storage. A line
// that a crash left without its line feed is cut away when the journal is
// opened, so the next session's first line does not run into it.
//
// Rotation: once a line takes the file past 10485760 bytes (10 MiB; exactly
// that many does not rotate), the file is renamed to "brain.audit." followed
// by the Unix time in milliseconds (a later number when that name is taken)
// and a fresh "brain.audit" is begun. Readers take "brain.audit" and its
// rotated predecessors together.
#pragma once

#include <cstdint>
#include <string_view>

namespace vesk {

inline constexpr std::string_view kAuditFileName = "brain.audit";
inline constexpr std::string_view kAuditSealedPrefix = "AEF1:";
inline constexpr uint64_t kAuditRotateBytes = 10485760;

}  // namespace vesk

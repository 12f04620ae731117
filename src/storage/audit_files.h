// The files of an audit journal as they stand in its directory: the current
// file "brain.audit" and its rotated predecessors, "brain.audit." followed
// by one or more ASCII digits (audit_journal_format.h); every other name is
// not part of the journal.
//
// Reading order, the order in which the journal's lines were written: the
// rotated files by their names in byte order (not numeric order), then the
// current file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/status.h"

namespace vesk {

// One audit file as the directory showed it: its name and its metadata.
struct AuditFileState {
  std::string name;
  FileStat stat;

  bool operator==(const AuditFileState&) const = default;
};

bool is_rotated_audit_file_name(std::string_view name);
// Whether the audit file `a` is read before `b`.
bool audit_file_read_before(std::string_view a, std::string_view b);

// The audit files of `dir` with their metadata, in reading order. A file
// that disappears between the listing and its metadata is left out, so a
// journal caught without its current file lists its rotated files alone.
// Fails with the error of the listing, or of reading a file's metadata.
Result<std::vector<AuditFileState>> audit_file_states(const fs::path& dir, Env& env);

}  // namespace vesk

// Labelled snapshots: writing the records of a store to a snapshot file,
// reading one back, and comparing two (format in labelled_snapshot_format.h).
//
// Nothing here takes a store lock: the caller holds the record map while it
// serialises it, and reading or comparing files touches no store state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/status.h"
#include "model/record.h"
#include "model/record_map.h"
#include "storage/crypto.h"

namespace vesk {

// The label rules, length first; their messages as Runtime errors.
Status check_snapshot_label(std::string_view label);

// The file's JSON text: the records in map order, compact.
std::string labelled_snapshot_json(const RecordMap& records);

// The entries of the label's snapshot file of the store at `store_path`, in
// file order. "Snapshot '{label}' not found" when the label holds '/' or NUL
// (no path is formed) or when the file's metadata cannot be read; otherwise
// the read, unseal or JSON error of the file.
Result<std::vector<Record>> read_labelled_snapshot(const SecretKey* key, const fs::path& store_path,
                                                   std::string_view label, Env& env);

// The entries keyed by id in file order, a later entry replacing an earlier.
RecordMap snapshot_records_by_id(std::vector<Record> entries);

struct SnapshotDiff {
  std::vector<std::string> added;     // ids of b that a lacks, in b's order
  std::vector<std::string> removed;   // ids of a that b lacks, in a's order
  std::vector<std::string> modified;  // ids of both, in a's order, whose content,
                                      // strength (NaN always differs) or level differ
  bool operator==(const SnapshotDiff&) const = default;
};

// No other field counts: a change of tags, metadata, links or pinning alone
// is no modification.
SnapshotDiff diff_snapshots(const RecordMap& a, const RecordMap& b);

}  // namespace vesk

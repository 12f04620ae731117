// RecordState: the records of an open store and the tables keyed by them.
//
// Contract: these tables always describe the same records as the map. They
// change only through RecordChanges (record_changes.h), which journals a
// change before it touches any of them and updates all of them under the
// record map's write lock; everyone else reads.
//
// Locks (store/lock_order.h): records, then duplicates (only while records
// is held for writing), then the recall index; the id map comes after the
// search indexes' locks.
#pragma once

#include "base/guarded.h"
#include "base/string_hash.h"
#include "model/journal_patch.h"
#include "recall/recall_record_index.h"
#include "store/lock_order.h"
#include "write/exact_duplicate.h"

namespace vesk {

// vesk_id (or an old id) -> canonical record id.
using IdMap = StringMap;

struct RecordState {
  // Every record held in memory, in insertion order (the journal's order).
  Guarded<RecordMap> records{lock_order::kRecords};
  // The possible exact duplicates of a text, by content.
  MutexGuarded<DuplicateIndex> duplicates{lock_order::kDuplicates};
  // The record ids of each namespace, the namespaces holding records with a
  // validity window, Identity-level ids. Read with or without the record map.
  Guarded<RecallRecordIndex> recall_index{lock_order::kRecallIndex};
  Guarded<IdMap> id_map{lock_order::kIdMap};
};

}  // namespace vesk

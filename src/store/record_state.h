// RecordState: the records of an open store and the tables keyed by them.
//
// Contract: these tables always describe the same records as the map. They
// change only through RecordChanges (record_changes.h), which journals a
// change before it touches any of them (a rollback to a labelled snapshot,
// memory only by design, journals nothing) and updates all of them under the
// record map's write lock; everyone else reads.
//
// Locks (store/lock_order.h): records, then duplicates (only while records
// is held for writing), then the recall index; the id map comes after the
// search indexes' locks. The metadata value index has no lock of its own: it
// lives under the records' lock, reached only through a handle of it.
#pragma once

#include <string_view>

#include "audit/audit_metadata.h"
#include "base/guarded.h"
#include "base/string_hash.h"
#include "entities/entity_records.h"
#include "entities/project_records.h"
#include "model/flat_map.h"
#include "model/journal_patch.h"
#include "model/metadata_value_index.h"
#include "recall/recall_record_index.h"
#include "store/lock_order.h"
#include "write/exact_duplicate.h"
#include "write/structural_relation_index.h"

namespace vesk {

// vesk_id (or an old id) -> canonical record id.
using IdMap = FlatStringMap<std::string>;

// The metadata keys whose records are found by value without a walk of the
// map (model/metadata_value_index.h): the audit entity id, the local entity
// id (an entity's records and anchor), the project id (a project's anchor
// and members), and the keys a context capsule reads, so that a capsule
// reads no metadata of the records that hold none of them.
inline constexpr std::string_view kIndexedMetadataKeys[] = {
    kAuditEntityIdKey,   "acl_visibility", "answer_permission", "admission",
    "verification_status", "superseded_by", "status",           "project_status",
    kEntityIdKey,        kProjectIdKey,
};

struct RecordState {
  // Every record held in memory, in insertion order (the journal's order).
  Guarded<RecordMap> records{lock_order::kRecords};
  // The possible exact duplicates of a text, by content.
  MutexGuarded<DuplicateIndex> duplicates{lock_order::kDuplicates};
  // The record ids of each namespace, the namespaces holding records with a
  // validity window, Identity-level ids. Read with or without the record map.
  Guarded<RecallRecordIndex> recall_index{lock_order::kRecallIndex};
  Guarded<IdMap> id_map{lock_order::kIdMap};

  // Records by the values of kIndexedMetadataKeys, always describing the map
  // as it stands: the handle that reaches it is the proof that the records'
  // lock is held.
  const MetadataValueIndex& by_metadata(const Guarded<RecordMap>::ReadHandle&) const { return by_metadata_; }
  const MetadataValueIndex& by_metadata(const Guarded<RecordMap>::WriteHandle&) const { return by_metadata_; }
  MetadataValueIndex& by_metadata(Guarded<RecordMap>::WriteHandle&) { return by_metadata_; }
  // Only while the store object is not shared yet (its open).
  MetadataValueIndex& by_metadata_unguarded() { return by_metadata_; }

  // The records the structural relation inference links, by namespace; kept
  // like the metadata value index, under the records' lock.
  const StructuralRelationIndex& structural(const Guarded<RecordMap>::ReadHandle&) const { return structural_; }
  const StructuralRelationIndex& structural(const Guarded<RecordMap>::WriteHandle&) const { return structural_; }
  StructuralRelationIndex& structural(Guarded<RecordMap>::WriteHandle&) { return structural_; }
  StructuralRelationIndex& structural_unguarded() { return structural_; }

 private:
  MetadataValueIndex by_metadata_{kIndexedMetadataKeys};
  StructuralRelationIndex structural_;
};

}  // namespace vesk

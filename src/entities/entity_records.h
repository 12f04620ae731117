// Local entities: every record whose metadata "entity_id" holds the same text
// belongs to one entity, within one namespace, and one of its records, the
// anchor, stands for it.
//
// The group of an entity lives in the namespace of its first record in map
// order; records of the same id in other namespaces are left out. The anchor
// is the first record of the group under entity_record_order: a project's
// research-project record, else the owner's user-profile record, else the
// most durable, then the oldest, then the smallest id.
//
// These functions read a record map the caller holds locked (shared is
// enough) and find an entity's records through the map's metadata value
// index, which must index kEntityIdKey: they cost the entity's records, never
// a walk of the map. Entity ids are compared byte for byte, untrimmed; any
// text, the empty one included, is an entity id.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/metadata_value_index.h"
#include "model/record.h"
#include "model/record_map.h"

namespace vesk {

inline constexpr std::string_view kEntityIdKey = "entity_id";

// The records of one entity: copies, in map order.
struct EntityRecordGroup {
  std::string namespace_;
  std::vector<Record> records;
};

// The records of one entity as held in the map, in map order; valid while
// the caller holds the map's lock. Never empty.
struct EntityRecordView {
  std::string_view namespace_;
  std::vector<const Record*> records;
};

// True when `a` comes before `b`: tagged "research-project" first, then
// tagged "user-profile", then the higher level, then the smaller created_at
// (IEEE total order), then the smaller id (bytes). A total order over records
// of distinct ids.
bool entity_record_order(const Record& a, const Record& b);

// The entity's value of `r`, or none when it holds no "entity_id".
std::optional<std::string_view> record_entity_id(const Record& r);

// The entity's records, or none when no record holds the id.
std::optional<EntityRecordView> entity_records_view(const RecordMap& map, const MetadataValueIndex& index,
                                                    std::string_view entity_id);
// The same as copies.
std::optional<EntityRecordGroup> find_entity_records(const RecordMap& map, const MetadataValueIndex& index,
                                                     std::string_view entity_id);
// The first record of a view under entity_record_order.
const Record* entity_anchor(const EntityRecordView& view);
// The entity's anchor record as held in the map, or null for an unknown
// entity.
const Record* entity_anchor(const RecordMap& map, const MetadataValueIndex& index, std::string_view entity_id);

}  // namespace vesk

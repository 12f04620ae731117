// The relation reads and the typed link with entity anchors.
//
// The reads hold the record map's read lock for one pass each; the digest
// takes it twice (the record, then its edges), so a write in between can
// show the anchor fields and the edges from two states of the map.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "entities/relation_edges.h"
#include "store/vesk.h"

namespace vesk {

std::vector<RelationEdge> Vesk::collect_relation_edges(std::optional<std::string_view> record_id,
                                                       std::optional<size_t> limit, bool structural_only) const {
  auto records = records_.records.read();
  return vesk::collect_relation_edges(*records, record_id, limit, structural_only);
}

std::optional<RelationDigest> Vesk::get_relation_digest(std::string_view record_id,
                                                        std::optional<size_t> limit) const {
  std::optional<Record> record;
  {
    auto records = records_.records.read();
    const Record* held = records->find_value(record_id);
    if (!held) return std::nullopt;
    record = *held;
  }
  return relation_digest(*record, collect_relation_edges(record_id, limit, false));
}

Result<RelationEdge> Vesk::link_records(std::string_view source_id, std::string_view target_id,
                                        std::string_view relation_type, std::optional<float> weight) {
  // Called by link_records_core with no lock held.
  EntityAnchorLookup anchor_of = [this](std::string_view entity_id) -> std::optional<std::string> {
    auto records = records_.records.read();
    const Record* anchor = entity_anchor(*records, records_.by_metadata(records), entity_id);
    return anchor ? std::optional<std::string>(anchor->id) : std::nullopt;
  };
  return link_records_core(source_id, target_id, weight, relation_type, anchor_of);
}

}  // namespace vesk

// Inspect shapes of the typed relations between records: one edge, the
// relations around one record, and the structural relations inferred from
// record content with the records that gave the evidence.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/string_hash.h"

namespace vesk {

// An explicit typed relation; `structural` marks one the store inferred.
struct RelationEdge {
  std::string source_record_id;
  std::string target_record_id;
  std::string relation_type;
  double weight = 0.0;
  std::string namespace_;
  bool structural = false;

  bool operator==(const RelationEdge&) const = default;
};

// One record and its direct typed relations.
struct RelationDigest {
  std::string anchor_record_id;
  std::string namespace_;
  std::vector<std::string> anchor_tags;
  std::string anchor_content;
  uint64_t relation_count = 0;
  uint64_t structural_relations = 0;
  uint64_t non_structural_relations = 0;
  StringKeyMap<uint64_t> relation_types;  // relation type -> edges
  std::vector<std::string> linked_record_ids;
  std::vector<RelationEdge> edges;

  bool operator==(const RelationDigest&) const = default;
};

struct StructuralRelation {
  std::string source_record_id;
  std::string target_record_id;
  std::string relation_type;
  double weight = 0.0;
  std::string namespace_;
  std::vector<std::string> evidence_record_ids;

  bool operator==(const StructuralRelation&) const = default;
};

}  // namespace vesk

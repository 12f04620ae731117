#include "audit/audit_node_index.h"

#include <algorithm>
#include <string>

namespace vesk {

AuditNodeIndex::AuditNodeIndex(std::span<const AuditGraphNode> nodes) : nodes_(nodes) {
  by_entity_.reserve(nodes.size());
  by_record_.reserve(nodes.size());
  for (size_t i = 0; i < nodes.size(); ++i) {
    // emplace keeps the first position of an id seen twice.
    by_entity_.emplace(nodes[i].entity_id, i);
    by_record_.emplace(nodes[i].record_id, i);
  }
}

Result<const AuditGraphNode*> AuditNodeIndex::find(std::string_view identifier) const {
  size_t at = nodes_.size();
  if (auto it = by_entity_.find(identifier); it != by_entity_.end()) at = it->second;
  if (auto it = by_record_.find(identifier); it != by_record_.end()) at = std::min(at, it->second);
  if (at == nodes_.size()) return Status::Runtime("audit entity not found: " + std::string(identifier));
  return &nodes_[at];
}

}  // namespace vesk

// AuditNodeIndex: finds the nodes of one audit graph by entity id or record
// id without walking the node list. It answers exactly as find_audit_node
// (audit_graph.h) does: the first node in list order whose entity id or
// record id is the identifier. Both maps keep the first position of each id,
// and the smaller of the two positions is that first node.
//
// The index points into the graph's node list: the graph must outlive it and
// must not change while it is used.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <unordered_map>

#include "audit/audit_graph_rows.h"
#include "base/status.h"

namespace vesk {

class AuditNodeIndex {
 public:
  explicit AuditNodeIndex(std::span<const AuditGraphNode> nodes);

  // The node, or the Runtime error "audit entity not found: {identifier}".
  Result<const AuditGraphNode*> find(std::string_view identifier) const;

 private:
  std::span<const AuditGraphNode> nodes_;
  std::unordered_map<std::string_view, size_t> by_entity_;
  std::unordered_map<std::string_view, size_t> by_record_;
};

}  // namespace vesk

#include "audit/audit_graph_rows.h"

namespace vesk {

const JsonStruct<AuditGraphNode>& JsonCodec<AuditGraphNode>::fields() {
  static const JsonStruct<AuditGraphNode> s("struct AuditGraphNode",
                                            {
                                                json_field<&AuditGraphNode::entity_id>("entity_id"),
                                                json_field<&AuditGraphNode::record_id>("record_id"),
                                                json_field<&AuditGraphNode::namespace_>("namespace"),
                                                json_field<&AuditGraphNode::kind>("kind"),
                                                json_field<&AuditGraphNode::status>("status"),
                                                json_field<&AuditGraphNode::status_recorded_at>("status_recorded_at"),
                                                json_field<&AuditGraphNode::record_created_at>("record_created_at"),
                                                json_field<&AuditGraphNode::valid_from>("valid_from"),
                                                json_field<&AuditGraphNode::valid_until>("valid_until"),
                                                json_field<&AuditGraphNode::business_time_valid>("business_time_valid"),
                                                json_field<&AuditGraphNode::content_preview>("content_preview"),
                                            });
  return s;
}

const JsonStruct<StoredAuditGraphEdge>& JsonCodec<StoredAuditGraphEdge>::fields() {
  static const JsonStruct<StoredAuditGraphEdge> s("struct StoredAuditGraphEdge",
                                                  {
                                                      json_field<&StoredAuditGraphEdge::from_entity_id>("from_entity_id"),
                                                      json_field<&StoredAuditGraphEdge::from_record_id>("from_record_id"),
                                                      json_field<&StoredAuditGraphEdge::to_entity_id>("to_entity_id"),
                                                      json_field<&StoredAuditGraphEdge::to_record_id>("to_record_id"),
                                                      json_field<&StoredAuditGraphEdge::relation>("relation"),
                                                      json_field<&StoredAuditGraphEdge::recorded_at>("recorded_at"),
                                                      json_field<&StoredAuditGraphEdge::valid_from>("valid_from"),
                                                      json_field<&StoredAuditGraphEdge::valid_until>("valid_until"),
                                                  });
  return s;
}

}  // namespace vesk

#include "audit/audit_graph.h"

#include <algorithm>
#include <cmath>
#include <compare>
#include <map>
#include <utility>

#include "audit/audit_entity.h"
#include "audit/audit_vocabulary.h"

namespace vesk {
namespace {

constexpr size_t kPreviewChars = 240;

// Whether a status event or a stored edge counts at t.
template <class E>
bool in_effect(const E& e, double t) {
  return e.recorded_at <= t && (!e.valid_from || *e.valid_from <= t) && (!e.valid_until || *e.valid_until > t);
}

std::optional<double> round_optional(const std::optional<double>& v) {
  return v ? std::optional<double>(round_to_millisecond(*v)) : std::nullopt;
}

// The record's own validity window holds t; a bound must be finite to hold.
bool business_time_valid(const Record& r, double t) {
  return (!r.valid_from || (std::isfinite(*r.valid_from) && *r.valid_from <= t)) &&
         (!r.valid_until || (std::isfinite(*r.valid_until) && *r.valid_until > t));
}

// The node of one audit record at t, none when no status is in effect then.
Result<std::optional<AuditGraphNode>> node_at(const Record& r, const std::string& entity_id, double t) {
  VESK_RETURN_IF_ERROR(validate_audit_entity_id(entity_id));
  auto kind = read_audit_entity_kind(r);
  if (!kind.ok()) return kind.status();
  auto history = r.metadata.find(kAuditStatusEventsKey);
  if (history == r.metadata.end()) {
    return Status::Runtime("record " + r.id + " is missing " + std::string(kAuditStatusEventsKey));
  }
  auto events = parse_audit_status_events(history->second);
  if (!events.ok()) {
    return Status::Wrap(ErrorKind::Runtime, "record " + r.id + " has invalid " + std::string(kAuditStatusEventsKey),
                        events.status());
  }
  const AuditStatusEvent* chosen = nullptr;
  for (const AuditStatusEvent& e : *events) {
    if (!in_effect(e, t)) continue;
    if (!chosen || std::strong_order(e.recorded_at, chosen->recorded_at) >= 0) chosen = &e;
  }
  if (!chosen) return std::optional<AuditGraphNode>();

  AuditGraphNode node;
  node.entity_id = entity_id;
  node.record_id = r.id;
  node.namespace_ = r.namespace_;
  node.kind = *kind;
  node.status = chosen->status;
  node.status_recorded_at = round_to_millisecond(chosen->recorded_at);
  node.record_created_at = round_to_millisecond(r.created_at);
  node.valid_from = round_optional(r.valid_from);
  node.valid_until = round_optional(r.valid_until);
  node.business_time_valid = business_time_valid(r, t);
  node.content_preview = audit_content_preview(r.content);
  return std::optional<AuditGraphNode>(std::move(node));
}

}  // namespace

const JsonStruct<AuditGraph>& JsonCodec<AuditGraph>::fields() {
  static const JsonStruct<AuditGraph> s("struct AuditGraph",
                                        {
                                            json_field<&AuditGraph::schema_version>("schema_version"),
                                            json_field<&AuditGraph::evaluated_at>("evaluated_at"),
                                            json_field<&AuditGraph::namespace_>("namespace"),
                                            json_field<&AuditGraph::nodes>("nodes"),
                                            json_field<&AuditGraph::edges>("edges"),
                                        });
  return s;
}

double round_to_millisecond(double seconds) { return std::round(seconds * 1000.0) / 1000.0; }

std::string audit_content_preview(std::string_view content) {
  size_t end = 0, chars = 0;
  while (end < content.size()) {
    if ((static_cast<unsigned char>(content[end]) & 0xC0) != 0x80 && chars++ == kPreviewChars) break;
    ++end;
  }
  std::string preview(content.substr(0, end));
  if (end < content.size()) preview += "\u2026";
  return preview;
}

Result<AuditGraph> build_audit_graph(std::span<const Record* const> audit_records,
                                     const std::optional<std::string>& namespace_, double evaluated_at) {
  const double t = evaluated_at;
  if (!std::isfinite(t)) return Status::Runtime("evaluated_at must be finite");

  // First pass: the entities with a status at t, by entity id.
  std::map<std::string, AuditGraphNode> nodes;
  StringMap entity_of_record;
  for (const Record* r : audit_records) {
    if (r->created_at > t) continue;
    if (namespace_ && r->namespace_ != *namespace_) continue;
    auto id = r->metadata.find(kAuditEntityIdKey);
    if (id == r->metadata.end()) continue;
    auto node = node_at(*r, id->second, t);
    if (!node.ok()) return node.status();
    if (!*node) continue;
    auto [at, inserted] = nodes.try_emplace(id->second, std::move(**node));
    if (!inserted) return Status::Runtime("duplicate audit entity ID: " + id->second);
    entity_of_record.insert_or_assign(r->id, id->second);
  }

  // Second pass: the stored edges in force between two of those entities.
  std::vector<StoredAuditGraphEdge> edges;
  for (const Record* r : audit_records) {
    auto source_id = entity_of_record.find(r->id);
    if (source_id == entity_of_record.end()) continue;
    auto stored_edges = r->metadata.find(kAuditEdgesKey);
    if (stored_edges == r->metadata.end()) continue;
    auto stored = parse_audit_edges(stored_edges->second);
    if (!stored.ok()) {
      return Status::Wrap(ErrorKind::Runtime, "record " + r->id + " has invalid " + std::string(kAuditEdgesKey),
                          stored.status());
    }
    const AuditGraphNode& source = nodes.at(source_id->second);
    for (const StoredAuditEdge& e : *stored) {
      if (!in_effect(e, t)) continue;
      auto target = nodes.find(e.target);
      if (target == nodes.end()) continue;
      VESK_RETURN_IF_ERROR(check_audit_relation_kinds(source.kind, target->second.kind, e.relation));
      edges.push_back(StoredAuditGraphEdge{source.entity_id, source.record_id, target->second.entity_id,
                                           target->second.record_id, e.relation, round_to_millisecond(e.recorded_at),
                                           round_optional(e.valid_from), round_optional(e.valid_until)});
    }
  }
  std::stable_sort(edges.begin(), edges.end(), [](const StoredAuditGraphEdge& a, const StoredAuditGraphEdge& b) {
    if (a.from_entity_id != b.from_entity_id) return a.from_entity_id < b.from_entity_id;
    if (a.relation != b.relation) return a.relation < b.relation;
    if (a.to_entity_id != b.to_entity_id) return a.to_entity_id < b.to_entity_id;
    return std::strong_order(a.recorded_at, b.recorded_at) < 0;
  });

  AuditGraph graph;
  graph.evaluated_at = t;
  graph.namespace_ = namespace_;
  graph.nodes.reserve(nodes.size());
  for (auto& [id, node] : nodes) graph.nodes.push_back(std::move(node));
  graph.edges = std::move(edges);
  return graph;
}

Result<const AuditGraphNode*> find_audit_node(std::span<const AuditGraphNode> nodes, std::string_view identifier) {
  for (const AuditGraphNode& n : nodes) {
    if (n.entity_id == identifier || n.record_id == identifier) return &n;
  }
  return Status::Runtime("audit entity not found: " + std::string(identifier));
}

}  // namespace vesk

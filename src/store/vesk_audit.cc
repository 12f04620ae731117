// The audit entity operations and the audit graph of the store.
//
// The three writers run one shape: read the clock once (every recorded_at a
// call writes is that instant); under the record map's write lock (a batch of
// the record-change seam) resolve the identifiers, copy the records, check,
// change the copies, and hand them to the seam with the patches that carry
// the change; the seam writes the patch list as one forced frame, puts the
// copies back and, once the lock is released, empties both recall caches.
// Annotation and status changes then build the graph of the record's
// namespace (taking the read lock anew) to answer with the node: another
// writer may act in between, and the answer shows the store as the build
// finds it. A node that is not in that graph is reported after the change is
// stored.
//
// Resolving an entity id and checking that a new one is free ask the metadata
// value index, and the graph visits only the records that hold an entity id,
// so none of these walk the whole record map.
#include <algorithm>
#include <cmath>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "audit/audit_entity.h"
#include "audit/audit_vocabulary.h"
#include "store/vesk.h"

namespace vesk {
namespace {

// The entries an annotation or a status change rewrites.
constexpr std::string_view kEntityKeys[] = {kAuditEntityIdKey, kAuditEntityKindKey, kAuditStatusEventsKey};
constexpr std::string_view kEdgeKeys[] = {kAuditEdgesKey};

// Checked in this order, before any lock is taken.
Status check_window(std::optional<double> valid_from, std::optional<double> valid_until) {
  if (valid_from && !std::isfinite(*valid_from)) return Status::Runtime("valid_from must be finite");
  if (valid_until && !std::isfinite(*valid_until)) return Status::Runtime("valid_until must be finite");
  if (valid_from && valid_until && !(*valid_from < *valid_until)) {
    return Status::Runtime("valid_from must be earlier than valid_until");
  }
  return Status::Ok();
}

// What a change of one entity leaves for its answer.
struct ChangedEntity {
  std::string entity_id;
  std::string namespace_;
  double created_at = 0.0;
};

// The entity's node in `graph`, found by entity id only.
Result<AuditGraphNode> changed_node(const Result<AuditGraph>& graph, const std::string& entity_id,
                                    std::string_view not_visible) {
  if (!graph.ok()) return graph.status();
  for (const AuditGraphNode& node : graph->nodes) {
    if (node.entity_id == entity_id) return node;
  }
  return Status::Runtime(std::string(not_visible) + entity_id);
}

}  // namespace

Result<AuditGraph> Vesk::audit_graph(const std::optional<std::string>& namespace_,
                                     std::optional<double> valid_at) const {
  const double t = valid_at ? *valid_at : env_.now_seconds();
  auto map = records_.records.read();
  const std::vector<const Record*> audit_records =
      records_.by_metadata(map).records_with_key(*map, kAuditEntityIdKey);
  return build_audit_graph(audit_records, namespace_, t);
}

Result<ClaimEvidenceTrace> Vesk::trace_claim_evidence(std::string_view claim_id) const {
  auto graph = audit_graph(std::nullopt, std::max(0.0, env_.now_seconds()));
  if (!graph.ok()) return graph.status();
  return vesk::trace_claim_evidence(IndexedAuditGraph(*graph), claim_id);
}

Result<std::vector<ContradictionReport>> Vesk::find_claim_conflicts(std::string_view claim_id) const {
  auto graph = audit_graph(std::nullopt, std::max(0.0, env_.now_seconds()));
  if (!graph.ok()) return graph.status();
  return collect_claim_conflicts(IndexedAuditGraph(*graph), claim_id);
}

Result<DecisionExplanation> Vesk::explain_decision(std::string_view decision_id) const {
  auto graph = audit_graph(std::nullopt, std::max(0.0, env_.now_seconds()));
  if (!graph.ok()) return graph.status();
  return vesk::explain_decision(IndexedAuditGraph(*graph), decision_id);
}

Result<AuditGraphNode> Vesk::annotate_audit_entity(std::string_view record_or_entity_id, AuditEntityKind kind,
                                                   AuditEntityStatus status,
                                                   const std::optional<std::string>& canonical_id) {
  const double now = env_.now_seconds();
  ChangedEntity changed;
  Status stored = changes_->apply([&](RecordChanges::Batch& batch) -> Status {
    const std::optional<std::string> record_id =
        resolve_audit_record_id(batch.map(), batch.by_metadata(), record_or_entity_id);
    if (!record_id) return Status::Runtime("record or audit entity not found: " + std::string(record_or_entity_id));
    const Record* held = batch.find(*record_id);
    if (!held) return Status::Runtime("record not found: " + *record_id);
    Record copy = *held;

    const std::optional<std::string> existing = record_audit_entity_id(copy);
    std::string entity_id;
    if (existing) {
      if (canonical_id && *canonical_id != *existing) {
        return Status::Runtime("audit entity ID is immutable ('" + *existing + "' != '" + *canonical_id + "')");
      }
      entity_id = *existing;
    } else {
      entity_id = canonical_id.value_or(copy.id);
    }
    VESK_RETURN_IF_ERROR(validate_audit_entity_id(entity_id));
    for (const Record* other : batch.by_metadata().records_with_value(batch.map(), kAuditEntityIdKey, entity_id)) {
      if (other->id != copy.id) return Status::Runtime("audit entity ID is already assigned: " + entity_id);
    }
    // A record that has a kind but no entity id is not an entity yet: it
    // takes the new kind.
    if (existing) {
      auto stored_kind = read_audit_entity_kind(copy);
      if (!stored_kind.ok()) return stored_kind.status();
      if (*stored_kind != kind) {
        return Status::Runtime("audit entity kind is immutable for '" + entity_id + "' (" +
                               std::string(audit_entity_kind_name(*stored_kind)) +
                               " != " + std::string(audit_entity_kind_name(kind)) + ")");
      }
    }

    auto events = read_audit_status_events(copy);
    if (!events.ok()) return events.status();
    const bool confirmed = !events->empty() && events->back().status == status && !events->back().valid_from &&
                           !events->back().valid_until;
    if (!confirmed) events->push_back(AuditStatusEvent{status, now, std::nullopt, std::nullopt});
    VESK_RETURN_IF_ERROR(write_audit_entity_metadata(copy, entity_id, kind, *events));

    const RecordPatch patch = record_metadata_patch(copy, kEntityKeys, {});
    changed = ChangedEntity{entity_id, copy.namespace_, copy.created_at};
    std::vector<Record> next;
    next.push_back(std::move(copy));
    return batch.patch(std::move(next), std::span(&patch, 1));
  });
  if (!stored.ok()) return stored.as(ErrorKind::Runtime);

  const double at = std::max(now, changed.created_at) + 1e-6;
  return changed_node(audit_graph(changed.namespace_, at), changed.entity_id,
                      "audit entity was not visible after annotation: ");
}

Result<AuditGraphNode> Vesk::set_audit_entity_status(std::string_view record_or_entity_id, AuditEntityStatus status,
                                                     std::optional<double> valid_from,
                                                     std::optional<double> valid_until) {
  VESK_RETURN_IF_ERROR(check_window(valid_from, valid_until));
  const double now = env_.now_seconds();
  ChangedEntity changed;
  Status stored = changes_->apply([&](RecordChanges::Batch& batch) -> Status {
    const std::optional<std::string> record_id =
        resolve_audit_record_id(batch.map(), batch.by_metadata(), record_or_entity_id);
    if (!record_id) return Status::Runtime("audit entity not found: " + std::string(record_or_entity_id));
    const Record* held = batch.find(*record_id);
    if (!held) return Status::Runtime("record not found: " + *record_id);
    Record copy = *held;

    const std::optional<std::string> entity_id = record_audit_entity_id(copy);
    if (!entity_id || entity_id->empty()) {
      return Status::Runtime("record '" + copy.id + "' is not an audit entity");
    }
    auto kind = read_audit_entity_kind(copy);
    if (!kind.ok()) return kind.status();
    auto events = read_audit_status_events(copy);
    if (!events.ok()) return events.status();
    // Only the last event is compared: a status set again after another one
    // is a new event.
    const bool repeated = !events->empty() && events->back().status == status &&
                          events->back().valid_from == valid_from && events->back().valid_until == valid_until;
    if (!repeated) events->push_back(AuditStatusEvent{status, now, valid_from, valid_until});
    VESK_RETURN_IF_ERROR(write_audit_entity_metadata(copy, *entity_id, *kind, *events));

    const RecordPatch patch = record_metadata_patch(copy, kEntityKeys, {});
    changed = ChangedEntity{*entity_id, copy.namespace_, copy.created_at};
    std::vector<Record> next;
    next.push_back(std::move(copy));
    return batch.patch(std::move(next), std::span(&patch, 1));
  });
  if (!stored.ok()) return stored.as(ErrorKind::Runtime);

  // A status that starts later is answered as it will be then.
  double at = std::max(now, changed.created_at) + 1e-6;
  if (valid_from) at = std::max(at, *valid_from);
  return changed_node(audit_graph(changed.namespace_, at), changed.entity_id,
                      "audit entity was not visible after status update: ");
}

Result<StoredAuditGraphEdge> Vesk::link_audit_entities(std::string_view from_record_or_entity_id,
                                                       std::string_view to_record_or_entity_id,
                                                       AuditRelationKind relation, std::optional<double> valid_from,
                                                       std::optional<double> valid_until) {
  VESK_RETURN_IF_ERROR(check_window(valid_from, valid_until));
  const double now = env_.now_seconds();
  StoredAuditGraphEdge answer;
  Status stored = changes_->apply([&](RecordChanges::Batch& batch) -> Status {
    const std::optional<std::string> from_id =
        resolve_audit_record_id(batch.map(), batch.by_metadata(), from_record_or_entity_id);
    if (!from_id) return Status::Runtime("audit source not found: " + std::string(from_record_or_entity_id));
    const std::optional<std::string> to_id =
        resolve_audit_record_id(batch.map(), batch.by_metadata(), to_record_or_entity_id);
    if (!to_id) return Status::Runtime("audit target not found: " + std::string(to_record_or_entity_id));
    if (*from_id == *to_id) return Status::Runtime("self-referential audit edges are not allowed");
    const Record* from_held = batch.find(*from_id);
    if (!from_held) return Status::Runtime("record not found: " + *from_id);
    const Record* to_held = batch.find(*to_id);
    if (!to_held) return Status::Runtime("record not found: " + *to_id);
    Record source = *from_held;
    Record target = *to_held;

    if (source.namespace_ != target.namespace_) {
      return Status::Runtime("cannot link audit entities across namespaces ('" + source.namespace_ + "' vs '" +
                             target.namespace_ + "')");
    }
    const std::optional<std::string> source_entity = record_audit_entity_id(source);
    if (!source_entity) return Status::Runtime("record '" + source.id + "' is not an audit entity");
    const std::optional<std::string> target_entity = record_audit_entity_id(target);
    if (!target_entity) return Status::Runtime("record '" + target.id + "' is not an audit entity");
    auto source_kind = read_audit_entity_kind(source);
    if (!source_kind.ok()) return source_kind.status();
    auto target_kind = read_audit_entity_kind(target);
    if (!target_kind.ok()) return target_kind.status();
    VESK_RETURN_IF_ERROR(check_audit_relation_kinds(*source_kind, *target_kind, relation));

    auto edges = read_audit_edges(source);
    if (!edges.ok()) return edges.status();
    double recorded_at = now;
    auto same = std::find_if(edges->begin(), edges->end(), [&](const StoredAuditEdge& e) {
      return e.relation == relation && e.target == *target_entity && e.valid_from == valid_from &&
             e.valid_until == valid_until;
    });
    if (same != edges->end()) {
      recorded_at = same->recorded_at;
    } else {
      edges->push_back(StoredAuditEdge{relation, *target_entity, now, valid_from, valid_until});
      sort_audit_edges(*edges);
    }
    write_audit_edges(source, *edges);

    // Both records point at each other under the forward name.
    const std::string name(audit_relation_kind_name(relation));
    source.set_connection(target.id, 1.0f, name);
    target.set_connection(source.id, 1.0f, name);
    const RecordPatch patches[] = {
        record_metadata_patch(source, kEdgeKeys, {TypedConnectionPatch{target.id, 1.0f, name}}),
        record_metadata_patch(target, {}, {TypedConnectionPatch{source.id, 1.0f, name}}),
    };
    answer = StoredAuditGraphEdge{*source_entity, source.id,  *target_entity, target.id,
                                  relation,       recorded_at, valid_from,    valid_until};
    std::vector<Record> next;
    next.push_back(std::move(source));
    next.push_back(std::move(target));
    return batch.patch(std::move(next), patches);
  });
  if (!stored.ok()) return stored.as(ErrorKind::Runtime);
  return answer;
}

}  // namespace vesk

#include "audit/audit_entity.h"

#include <algorithm>
#include <compare>
#include <utility>

#include "model/unicode_text.h"

namespace vesk {
namespace {

constexpr size_t kMaxEntityIdBytes = 512;

bool is_control(char32_t c) { return c <= 0x1F || (c >= 0x7F && c <= 0x9F); }

Status invalid(const Record& record, std::string_view key, Status cause) {
  return Status::Wrap(ErrorKind::Runtime, "record " + record.id + " has invalid " + std::string(key),
                      std::move(cause));
}

template <class T>
Result<std::vector<T>> read_list(const Record& record, std::string_view key,
                                 Result<std::vector<T>> (*parse)(std::string_view)) {
  auto it = record.metadata.find(key);
  if (it == record.metadata.end()) return std::vector<T>{};
  auto list = parse(it->second);
  if (!list.ok()) return invalid(record, key, list.status());
  return list;
}

}  // namespace

Status validate_audit_entity_id(std::string_view id) {
  const std::string_view trimmed = trim_unicode_white_space(id);
  if (trimmed.empty()) return Status::Runtime("audit entity ID cannot be empty");
  if (trimmed.size() > kMaxEntityIdBytes) return Status::Runtime("audit entity ID cannot exceed 512 bytes");
  for (size_t i = 0; i < trimmed.size();) {
    if (is_control(next_code_point(trimmed, i))) {
      return Status::Runtime("audit entity ID cannot contain control characters");
    }
  }
  if (trimmed.size() != id.size()) return Status::Runtime("audit entity ID cannot have outer whitespace");
  return Status::Ok();
}

std::optional<std::string> record_audit_entity_id(const Record& record) {
  auto it = record.metadata.find(kAuditEntityIdKey);
  if (it == record.metadata.end()) return std::nullopt;
  return it->second;
}

Result<std::vector<AuditStatusEvent>> read_audit_status_events(const Record& record) {
  return read_list<AuditStatusEvent>(record, kAuditStatusEventsKey, parse_audit_status_events);
}

Result<std::vector<StoredAuditEdge>> read_audit_edges(const Record& record) {
  return read_list<StoredAuditEdge>(record, kAuditEdgesKey, parse_audit_edges);
}

Status write_audit_entity_metadata(Record& record, std::string_view entity_id, AuditEntityKind kind,
                                   std::span<const AuditStatusEvent> events) {
  VESK_RETURN_IF_ERROR(validate_audit_entity_id(entity_id));
  auto history = audit_status_events_value(events);
  if (!history.ok()) return history.status();
  record.metadata.insert_or_assign(std::string(kAuditEntityIdKey), std::string(entity_id));
  record.metadata.insert_or_assign(std::string(kAuditEntityKindKey), audit_entity_kind_value(kind));
  record.metadata.insert_or_assign(std::string(kAuditStatusEventsKey), std::move(*history));
  return Status::Ok();
}

void write_audit_edges(Record& record, std::span<const StoredAuditEdge> edges) {
  record.metadata.insert_or_assign(std::string(kAuditEdgesKey), audit_edges_value(edges));
}

void sort_audit_edges(std::vector<StoredAuditEdge>& edges) {
  std::stable_sort(edges.begin(), edges.end(), [](const StoredAuditEdge& a, const StoredAuditEdge& b) {
    if (a.relation != b.relation) return a.relation < b.relation;
    if (a.target != b.target) return a.target < b.target;
    return std::strong_order(a.recorded_at, b.recorded_at) < 0;
  });
}

std::optional<std::string> resolve_audit_record_id(const RecordMap& records, const MetadataValueIndex& index,
                                                   std::string_view identifier) {
  if (records.contains(identifier)) return std::string(identifier);
  if (const Record* r = index.first_with_value(records, kAuditEntityIdKey, identifier)) return r->id;
  return std::nullopt;
}

RecordPatch record_metadata_patch(const Record& record, std::span<const std::string_view> keys,
                                  std::vector<TypedConnectionPatch> connections) {
  RecordPatch patch;
  patch.record_id = record.id;
  for (std::string_view key : keys) {
    auto it = record.metadata.find(key);
    if (it != record.metadata.end()) patch.metadata.insert_or_assign(it->first, it->second);
  }
  patch.connections = std::move(connections);
  return patch;
}

}  // namespace vesk

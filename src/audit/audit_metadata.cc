#include "audit/audit_metadata.h"

#include <array>

namespace vesk {

namespace {

constexpr std::array<std::string_view, 7> kKindNames = {"source",   "claim",    "memory",      "decision",
                                                        "action",   "artifact", "verification"};
constexpr std::array<std::string_view, 10> kStatusNames = {"candidate",  "observed", "accepted", "verified",
                                                           "rejected",   "superseded", "blocked", "decided",
                                                           "completed",  "produced"};
constexpr std::array<std::string_view, 11> kRelationNames = {
    "supports", "refutes", "contradicts", "supersedes", "derived_from", "recalled_for",
    "used_evidence", "used_by", "caused", "produced", "verified_by"};

template <typename E, size_t N>
bool read_named(JsonReader& r, E& v, const std::array<std::string_view, N>& names) {
  size_t i = 0;
  if (!r.read_unit_variant(names, i)) return false;
  v = static_cast<E>(i);
  return true;
}

template <typename T>
std::string array_json(std::span<const T> items) {
  std::string out;
  JsonWriter w(out);
  w.begin_array();
  for (const T& e : items) json_write(w, e);
  w.end_array();
  return out;
}

}  // namespace

std::string_view audit_entity_kind_name(AuditEntityKind v) { return kKindNames.at(static_cast<size_t>(v)); }
std::string_view audit_entity_status_name(AuditEntityStatus v) { return kStatusNames.at(static_cast<size_t>(v)); }
std::string_view audit_relation_kind_name(AuditRelationKind v) { return kRelationNames.at(static_cast<size_t>(v)); }

bool JsonCodec<AuditEntityKind>::read(JsonReader& r, AuditEntityKind& v) { return read_named(r, v, kKindNames); }
bool JsonCodec<AuditEntityStatus>::read(JsonReader& r, AuditEntityStatus& v) {
  return read_named(r, v, kStatusNames);
}
bool JsonCodec<AuditRelationKind>::read(JsonReader& r, AuditRelationKind& v) {
  return read_named(r, v, kRelationNames);
}

const JsonStruct<AuditStatusEvent>& JsonCodec<AuditStatusEvent>::fields() {
  static const JsonStruct<AuditStatusEvent> s("struct AuditStatusEvent",
                                              {
                                                  json_field<&AuditStatusEvent::status>("s"),
                                                  json_field<&AuditStatusEvent::recorded_at>("r"),
                                                  json_field<&AuditStatusEvent::valid_from>("f", kJsonOmitEmpty),
                                                  json_field<&AuditStatusEvent::valid_until>("u", kJsonOmitEmpty),
                                              });
  return s;
}

const JsonStruct<StoredAuditEdge>& JsonCodec<StoredAuditEdge>::fields() {
  static const JsonStruct<StoredAuditEdge> s("struct StoredAuditEdge",
                                             {
                                                 json_field<&StoredAuditEdge::relation>("r"),
                                                 json_field<&StoredAuditEdge::target>("t"),
                                                 json_field<&StoredAuditEdge::recorded_at>("k"),
                                                 json_field<&StoredAuditEdge::valid_from>("f", kJsonOmitEmpty),
                                                 json_field<&StoredAuditEdge::valid_until>("u", kJsonOmitEmpty),
                                             });
  return s;
}

Result<AuditEntityKind> read_audit_entity_kind(const Record& record) {
  auto it = record.metadata.find(kAuditEntityKindKey);
  if (it == record.metadata.end()) {
    return Status::Runtime("record " + record.id + " is missing " + std::string(kAuditEntityKindKey));
  }
  auto kind = json_parse<AuditEntityKind>(it->second);
  if (!kind.ok()) {
    return Status::Wrap(ErrorKind::Runtime, "record " + record.id + " has invalid " + std::string(kAuditEntityKindKey),
                        kind.status());
  }
  return kind;
}

Result<std::vector<AuditStatusEvent>> parse_audit_status_events(std::string_view text) {
  return json_parse<std::vector<AuditStatusEvent>>(text);
}

Result<std::vector<StoredAuditEdge>> parse_audit_edges(std::string_view text) {
  return json_parse<std::vector<StoredAuditEdge>>(text);
}

std::string audit_entity_kind_value(AuditEntityKind kind) { return json_to_string(kind); }

Result<std::string> audit_status_events_value(std::span<const AuditStatusEvent> events) {
  if (events.empty()) return Status::Runtime("audit status history cannot be empty");
  return array_json(events);
}

std::string audit_edges_value(std::span<const StoredAuditEdge> edges) {
  return array_json(edges);
}

}  // namespace vesk

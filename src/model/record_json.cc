#include "model/record_json.h"

namespace vesk {

namespace {

constexpr std::string_view kLevelNames[] = {"Working", "Decisions", "Domain", "Identity"};

}  // namespace

bool JsonCodec<Level>::read(JsonReader& r, Level& v) {
  size_t i = 0;
  if (!r.read_unit_variant(kLevelNames, i)) return false;
  v = static_cast<Level>(i + 1);
  return true;
}

const JsonStruct<Record>& JsonCodec<Record>::fields() {
  static const JsonStruct<Record> s(
      "struct Record",
      {
          json_field<&Record::id>("id"),
          json_field<&Record::content>("content"),
          json_field<&Record::level>("level"),
          json_field<&Record::pinned>("pinned", kJsonDefault),
          json_field<&Record::strength>("strength"),
          json_field<&Record::activation_count>("activation_count"),
          json_field<&Record::created_at>("created_at"),
          json_field<&Record::last_activated>("last_activated"),
          json_field<&Record::valid_from>("valid_from", kJsonDefault),
          json_field<&Record::valid_until>("valid_until", kJsonDefault),
          json_field<&Record::superseded_at>("superseded_at", kJsonDefault),
          json_field<&Record::tags>("tags"),
          json_field<&Record::connections>("connections"),
          json_field<&Record::connection_types>("connection_types", kJsonDefault),
          json_field<&Record::content_type>("content_type"),
          json_field<&Record::metadata>("metadata"),
          json_field<&Record::vesk_id>("vesk_id"),
          json_field<&Record::caused_by_id>("caused_by_id"),
          json_field<&Record::namespace_>("namespace", kJsonDefault),
          json_field<&Record::source_type>("source_type", kJsonDefault),
          json_field<&Record::semantic_type>("semantic_type", kJsonDefault),
          json_field<&Record::activation_velocity>("activation_velocity", kJsonDefault),
          json_field<&Record::salience>("salience", kJsonDefault),
          json_field<&Record::confidence>("confidence", kJsonDefault),
          json_field<&Record::support_mass>("support_mass", kJsonDefault),
          json_field<&Record::conflict_mass>("conflict_mass", kJsonDefault),
          json_field<&Record::volatility>("volatility", kJsonDefault),
      });
  return s;
}

// Written member by member rather than through the field table: this is the
// hottest writer of the store (every journal frame).
void JsonCodec<Record>::write(JsonWriter& w, const Record& r) {
  w.begin_object();
  w.key("id");
  w.string(r.id);
  w.key("content");
  w.string(r.content);
  w.key("level");
  w.string(level_json_name(r.level));
  w.key("pinned");
  w.boolean(r.pinned);
  w.key("strength");
  w.f32(r.strength);
  w.key("activation_count");
  w.u64(r.activation_count);
  w.key("created_at");
  w.f64(r.created_at);
  w.key("last_activated");
  w.f64(r.last_activated);
  w.key("valid_from");
  json_write(w, r.valid_from);
  w.key("valid_until");
  json_write(w, r.valid_until);
  w.key("superseded_at");
  json_write(w, r.superseded_at);
  w.key("tags");
  json_write(w, r.tags);
  w.key("connections");
  json_write(w, r.connections);
  w.key("connection_types");
  json_write(w, r.connection_types);
  w.key("content_type");
  w.string(r.content_type);
  w.key("metadata");
  json_write(w, r.metadata);
  w.key("vesk_id");
  json_write(w, r.vesk_id);
  w.key("caused_by_id");
  json_write(w, r.caused_by_id);
  w.key("namespace");
  w.string(r.namespace_);
  w.key("source_type");
  w.string(r.source_type);
  w.key("semantic_type");
  w.string(r.semantic_type);
  w.key("activation_velocity");
  w.f32(r.activation_velocity);
  w.key("salience");
  w.f32(r.salience);
  w.key("confidence");
  w.f32(r.confidence);
  w.key("support_mass");
  w.u64(r.support_mass);
  w.key("conflict_mass");
  w.u64(r.conflict_mass);
  w.key("volatility");
  w.f32(r.volatility);
  w.end_object();
}

void serialize_record(const Record& record, std::string& out) {
  out.reserve(out.size() + record.content.size() + 600);
  JsonWriter w(out);
  JsonCodec<Record>::write(w, record);
}

void serialize_record_array(std::span<const Record> records, std::string& out) {
  JsonWriter w(out);
  w.begin_array();
  for (const Record& r : records) JsonCodec<Record>::write(w, r);
  w.end_array();
}

Result<Record> deserialize_record(JsonReader& reader) {
  Record r;
  if (!JsonCodec<Record>::read(reader, r)) return reader.status();
  return r;
}

Result<Record> deserialize_record_slice(std::span<const uint8_t> payload) {
  JsonReader reader(payload);
  Record r;
  if (!JsonCodec<Record>::read(reader, r) || !reader.end()) return reader.status();
  return r;
}

Result<std::vector<Record>> parse_record_list_json(std::string_view text) {
  return json_parse<std::vector<Record>>(text);
}

}  // namespace vesk

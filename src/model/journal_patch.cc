#include "model/journal_patch.h"

#include "model/record_json.h"

namespace vesk {

const JsonStruct<TypedConnectionPatch>& JsonCodec<TypedConnectionPatch>::fields() {
  static const JsonStruct<TypedConnectionPatch> s("struct TypedConnectionPatch",
                                                  {
                                                      json_field<&TypedConnectionPatch::target_id>("i"),
                                                      json_field<&TypedConnectionPatch::weight>("w"),
                                                      json_field<&TypedConnectionPatch::relation>("r"),
                                                  });
  return s;
}

const JsonStruct<RecordPatch>& JsonCodec<RecordPatch>::fields() {
  static const JsonStruct<RecordPatch> s(
      "struct RecordPatch",
      {
          json_field<&RecordPatch::record_id>("i"),
          json_field<&RecordPatch::metadata>("m", kJsonDefault | kJsonOmitEmpty),
          json_field<&RecordPatch::connections>("c", kJsonDefault | kJsonOmitEmpty),
      });
  return s;
}

const JsonStruct<CognitiveMutationBatch>& JsonCodec<CognitiveMutationBatch>::fields() {
  static const JsonStruct<CognitiveMutationBatch> s(
      "struct CognitiveMutationBatch",
      {
          json_field<&CognitiveMutationBatch::upserts>("u", kJsonDefault | kJsonOmitEmpty),
          json_field<&CognitiveMutationBatch::deletions>("d", kJsonDefault | kJsonOmitEmpty),
      });
  return s;
}

void serialize_record_patches(std::span<const RecordPatch> patches, std::string& out) {
  JsonWriter w(out);
  w.begin_array();
  for (const RecordPatch& p : patches) json_write(w, p);
  w.end_array();
}

namespace {

// About the JSON size of a record, from its counts alone: a batch of a
// maintenance pass can be hundreds of megabytes, and growing the text by
// doubling would copy it and touch fresh memory about twice over.
size_t json_size_hint(const Record& r) {
  return 640 + r.content.size() + r.content.size() / 8 + 30 * r.connections.size() +
         36 * r.connection_types.size() + 80 * r.metadata.size() + 24 * r.tags.size();
}

template <class Upserts, class Get>
void write_mutation_batch(const Upserts& upserts, Get get, std::span<const std::string> deletions, std::string& out) {
  size_t hint = out.size() + 16 + 16 * deletions.size();
  for (const auto& r : upserts) hint += json_size_hint(get(r));
  out.reserve(hint);
  JsonWriter w(out);
  w.begin_object();
  if (!upserts.empty()) {
    w.key("u");
    w.begin_array();
    for (const auto& r : upserts) json_write(w, get(r));
    w.end_array();
  }
  if (!deletions.empty()) {
    w.key("d");
    w.begin_array();
    for (const std::string& id : deletions) w.string(id);
    w.end_array();
  }
  w.end_object();
}

}  // namespace

void serialize_mutation_batch(std::span<const Record> upserts, std::span<const std::string> deletions,
                              std::string& out) {
  write_mutation_batch(upserts, [](const Record& r) -> const Record& { return r; }, deletions, out);
}

void serialize_mutation_batch(std::span<const Record* const> upserts, std::span<const std::string> deletions,
                              std::string& out) {
  write_mutation_batch(upserts, [](const Record* r) -> const Record& { return *r; }, deletions, out);
}

Result<std::vector<RecordPatch>> parse_record_patches(std::string_view payload) {
  return json_parse<std::vector<RecordPatch>>(payload);
}

Result<CognitiveMutationBatch> parse_mutation_batch(std::string_view payload) {
  return json_parse<CognitiveMutationBatch>(payload);
}

bool apply_record_patches(RecordMap& records, std::span<const RecordPatch> patches) {
  // Checked up front so a frame never leaves the map half-patched.
  if (records.empty()) return false;
  for (const RecordPatch& p : patches) {
    if (!records.contains(p.record_id)) return false;
  }
  for (const RecordPatch& p : patches) {
    Record& r = records.find(p.record_id)->second;
    for (const auto& [k, v] : p.metadata) r.metadata.insert_or_assign(k, v);
    for (const TypedConnectionPatch& c : p.connections) r.set_connection(c.target_id, c.weight, c.relation);
  }
  return true;
}

void apply_mutation_batch(RecordMap& records, CognitiveMutationBatch batch) {
  for (const std::string& id : batch.deletions) records.erase(id);
  for (Record& r : batch.upserts) {
    std::string id = r.id;
    records.insert_or_assign(std::move(id), std::move(r));
  }
}

}  // namespace vesk

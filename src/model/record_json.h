// The JSON form of a record: the payload of record frames in the cognitive
// journal and its snapshot, the element of journal batches, labelled
// snapshots and imported record lists.
//
// One object with 27 keys in field order (record.h), compact:
//   "id" "content" "level" "pinned" "strength" "activation_count" "created_at"
//   "last_activated" "valid_from" "valid_until" "superseded_at" "tags"
//   "connections" "connection_types" "content_type" "metadata" "vesk_id"
//   "caused_by_id" "namespace" "source_type" "semantic_type"
//   "activation_velocity" "salience" "confidence" "support_mass"
//   "conflict_mass" "volatility"
// "level" is the level's name ("Working"); 32-bit fields are written in their
// shortest 32-bit form, timestamps in their shortest 64-bit form, a non-finite
// float as null; absent optionals as null; maps follow their iteration order.
//
// Reading follows json_struct.h. Required keys: id, content, level, strength,
// activation_count, created_at, last_activated, tags, connections,
// content_type, metadata. The others default to: pinned false, the validity
// bounds none, connection_types empty, vesk_id and caused_by_id none,
// namespace "default", source_type "recorded", semantic_type "fact",
// confidence 0.9, the other numbers 0. "level" also reads from
// {"Identity":null}. The array form lists the 27 values in key order; it may
// end early only before pinned, the validity bounds, connection_types, or
// anywhere from namespace on ("invalid length {i}, expected struct Record
// with 27 elements" otherwise).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/json_struct.h"
#include "model/level.h"
#include "model/record.h"

namespace vesk {

template <>
struct JsonCodec<Level> {
  static bool read(JsonReader& r, Level& v);
  static void write(JsonWriter& w, const Level& v) { w.string(level_json_name(v)); }
};

template <>
struct JsonCodec<Record> {
  static const JsonStruct<Record>& fields();
  static bool read(JsonReader& r, Record& v) { return json_read_struct(r, v, fields()); }
  static void write(JsonWriter& w, const Record& v);
};

// Appends the record's JSON object to out.
void serialize_record(const Record& record, std::string& out);
// Appends the JSON array of the records to out ("[]" when empty).
void serialize_record_array(std::span<const Record> records, std::string& out);

// Reads one record at the reader's position and leaves the reader after it;
// works on a reader over text or over bytes.
Result<Record> deserialize_record(JsonReader& reader);
// A whole payload holding one record (a journal frame): only whitespace may
// follow it ("trailing characters").
Result<Record> deserialize_record_slice(std::span<const uint8_t> payload);
// A whole text holding one JSON array of records.
Result<std::vector<Record>> parse_record_list_json(std::string_view text);

}  // namespace vesk

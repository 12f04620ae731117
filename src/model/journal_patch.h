// Journal patch records: the two payloads of the cognitive journal that change
// records without rewriting each of them whole, and the rules that apply them
// to a record map.
//
// A patch list (frame kind 5) is a JSON array of RecordPatch objects; each
// merges metadata entries into one record and sets typed connections on it.
// A mutation batch (frame kind 6) is one CognitiveMutationBatch object that
// removes some records and inserts or replaces others. The keys are single
// letters because these forms are the stored format:
//
//   RecordPatch            {"i": id, "m": {key: value}, "c": [connection]}
//   TypedConnectionPatch   {"i": target id, "w": weight, "r": relation}
//   CognitiveMutationBatch {"u": [record], "d": [id]}
//
// Writing is compact; "m", "c", "u" and "d" are left out when empty, and a
// non-finite weight is written as null (which no reader accepts back, so
// callers never hand one in). Reading follows json_struct.h: the object form
// with exact keys (others skipped, duplicates and missing required keys
// refused) or the positional array form in field order; only "i" (and a
// connection's "w" and "r") is required. A weight must be a JSON number.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "model/json_struct.h"
#include "model/record.h"
#include "model/record_map.h"
#include "base/string_hash.h"

namespace vesk {

struct TypedConnectionPatch {
  std::string target_id;
  float weight = 0.0f;
  std::string relation;

  bool operator==(const TypedConnectionPatch&) const = default;
};

struct RecordPatch {
  std::string record_id;
  StringMap metadata;
  std::vector<TypedConnectionPatch> connections;

  bool operator==(const RecordPatch&) const = default;
};

struct CognitiveMutationBatch {
  std::vector<Record> upserts;
  std::vector<std::string> deletions;

  bool operator==(const CognitiveMutationBatch&) const = default;
};

template <>
struct JsonCodec<TypedConnectionPatch> : JsonStructCodec<TypedConnectionPatch> {
  static const JsonStruct<TypedConnectionPatch>& fields();
};
template <>
struct JsonCodec<RecordPatch> : JsonStructCodec<RecordPatch> {
  static const JsonStruct<RecordPatch>& fields();
};
template <>
struct JsonCodec<CognitiveMutationBatch> : JsonStructCodec<CognitiveMutationBatch> {
  static const JsonStruct<CognitiveMutationBatch>& fields();
};

// Appends the JSON array of the patches to out.
void serialize_record_patches(std::span<const RecordPatch> patches, std::string& out);
// Appends one mutation batch object to out, straight from the caller's lists.
void serialize_mutation_batch(std::span<const Record> upserts, std::span<const std::string> deletions,
                              std::string& out);
// The same frame from records held elsewhere (a pass journals the map's own
// records without copying them).
void serialize_mutation_batch(std::span<const Record* const> upserts, std::span<const std::string> deletions,
                              std::string& out);

// Whole payloads: only whitespace may follow the value ("trailing characters").
Result<std::vector<RecordPatch>> parse_record_patches(std::string_view payload);
Result<CognitiveMutationBatch> parse_mutation_batch(std::string_view payload);

// Applies a patch list all-or-nothing: when the map is empty or any patch
// names an id the map does not hold, nothing changes and the result is false.
// Otherwise, patch by patch in list order, the metadata entries replace or add
// keys (others stay) and each connection is set on the record with its weight
// clamped into [0, 1]; no other field changes.
bool apply_record_patches(RecordMap& records, std::span<const RecordPatch> patches);

// Removes every id of "d" (absent ids are ignored), then inserts every record
// of "u" under its own id, replacing any record with that id; an id named in
// both lists ends up present with the record from "u".
void apply_mutation_batch(RecordMap& records, CognitiveMutationBatch batch);

}  // namespace vesk

// Record: one memory of the store.
//
// A record is a plain value: it owns its texts, tags and maps, has no lock and
// no back reference. The store's record map owns the live records and hands
// out copies. Field order is also the key order of the record's JSON form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/connection_map.h"
#include "model/level.h"
#include "base/status.h"
#include "base/string_hash.h"

namespace vesk {

class Env;

// Target record id -> connection weight in [0, 1].
using WeightMap = ConnectionMap<float>;
// Target record id -> relation type.
using ConnectionTypeMap = ConnectionMap<CompactString>;

struct Record {
  std::string id;
  std::string content;
  Level level = Level::Working;
  bool pinned = false;
  float strength = 1.0f;
  uint32_t activation_count = 0;
  double created_at = 0.0;
  double last_activated = 0.0;
  std::optional<double> valid_from;
  std::optional<double> valid_until;
  std::optional<double> superseded_at;
  std::vector<std::string> tags;
  WeightMap connections;          // target id -> weight in [0, 1]
  ConnectionTypeMap connection_types;  // target id -> relation type
  std::string content_type = "text";
  StringMap metadata;
  std::optional<std::string> vesk_id;
  std::optional<std::string> caused_by_id;
  std::string namespace_ = "default";  // "namespace" is a C++ keyword
  std::string source_type = "recorded";
  std::string semantic_type = "fact";
  float activation_velocity = 0.0f;
  float salience = 0.0f;
  float confidence = 0.9f;
  uint32_t support_mass = 0;
  uint32_t conflict_mass = 0;
  float volatility = 0.0f;

  // The relation type kept for a target, or none.
  std::optional<std::string> connection_type(std::string_view target) const;
  // Sets weight (clamped into [0, 1]; an infinity clamps like any other value)
  // and type of the link to a target, replacing both. A NaN weight is refused:
  // nothing changes and the result is false.
  bool set_connection(std::string_view target, float weight, std::string_view relation_type);

  bool operator==(const Record&) const = default;
};

// 12 lower-case hex characters: the first 6 bytes of a random v4 UUID drawn
// from the Env's random source.
Result<std::string> new_record_id(Env& env);
// A record with every default set, the Env's clock read once, a fresh id.
Result<Record> new_record(std::string content, Level level, Env& env);

// The key of the first float field, in field order, that holds an infinity
// or NaN ("connections" for a connection weight), or none. The JSON form
// cannot carry such a value back, so writers of stored records check this
// before writing and refuse rather than lose the frame.
std::optional<std::string_view> non_finite_field(const Record& record);

Status validate_validity_window(std::optional<double> valid_from, std::optional<double> valid_until);
Status validate_namespace(std::string_view ns);
Status validate_source_type(std::string_view source_type);

}  // namespace vesk

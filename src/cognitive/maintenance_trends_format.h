// The maintenance trend history file "maintenance_trends.json".
//
// One JSON array of snapshots, oldest first, written pretty (two-space
// indentation, one element or member per line, ": " after keys, no newline
// after the closing bracket; history_file_save.h) and sealed as a whole when
// the store has a key (sealed_format.h). A maintenance cycle appends its
// snapshot before it writes, so a written file holds at least one; the file
// may hold more than the 32 a cycle keeps (the open loads all of them).
//
// Each snapshot is an object of 15 members, written in this order:
//
//   #   key                             JSON value
//   1   timestamp                       string: RFC 3339 UTC with "+00:00"
//   2   total_records                   integer, u64
//   3   records_archived                integer, u64
//   4   insights_found                  integer, u64
//   5   volatile_records                integer, u64
//   6   belief_churn                    number, 32-bit float
//   7   causal_rejection_rate           number, 32-bit float
//   8   policy_suppression_rate         number, 32-bit float
//   9   feedback_beliefs_touched        integer, u64
//   10  feedback_net_confidence_delta   number, 32-bit float
//   11  feedback_net_volatility_delta   number, 32-bit float
//   12  correction_events               integer, u64
//   13  cumulative_corrections          integer, u64
//   14  cycle_time_ms                   number, 64-bit float
//   15  dominant_phase                  string
//
// Integers are written in decimal, floats in the shortest form that reads
// back to the same value of their width; a float that is not finite is
// written as 0.0 (see history_file_save.h).
//
// Reading: every member is required ("missing field `dominant_phase`"); a
// member given twice refuses the file ("duplicate field `timestamp`");
// members of other names are skipped whatever they hold. A snapshot may also
// be a JSON array of the 15 values in the order above; fewer fail with
// "invalid length {n}, expected struct MaintenanceTrendSnapshot with 15
// elements", more with "trailing characters". Counts must be non-negative
// JSON integers; a float member takes any JSON number (narrowed to 32 bits
// where the table says so) and refuses null. One bad snapshot refuses the
// whole file.
#pragma once

#include <string_view>
#include <vector>

#include "base/status.h"
#include "cognitive/maintenance_trend_snapshot.h"
#include "model/json_struct.h"

namespace vesk {

inline constexpr char kMaintenanceTrendsFile[] = "maintenance_trends.json";

template <>
struct JsonCodec<MaintenanceTrendSnapshot> : JsonStructCodec<MaintenanceTrendSnapshot> {
  static const JsonStruct<MaintenanceTrendSnapshot>& fields();
};

// The whole text as the array above; errors carry " at line {} column {}".
Result<std::vector<MaintenanceTrendSnapshot>> parse_maintenance_trends(std::string_view text);

}  // namespace vesk

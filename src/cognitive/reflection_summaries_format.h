// The reflection summary history file "reflection_summaries.json".
//
// One JSON array of summaries, newest last, written pretty (two-space
// indentation, one element or member per line, ": " after keys, an empty
// array as "[]", no newline after the closing bracket; history_file_save.h)
// and sealed as a whole when the store has a key (sealed_format.h). An empty
// history is the text "[]". The writer writes the list it is given; keeping
// the newest 16 is the maintenance cycle's business, and the open loads all.
//
// Every key is written, always, in the order of these tables; there are no
// optional keys and no defaults.
//
// ReflectionSummary, 5 members:
//
//   key              JSON value
//   timestamp        string: the cycle's timestamp
//   digest           string: the digest line
//   dominant_phase   string: the cycle's dominant phase
//   report           object: ReflectionJobReport, below
//   findings         array of ReflectionFinding objects, below; may be empty
//
// ReflectionJobReport, 6 members:
//
//   key                      JSON value
//   jobs_run                 integer, u64
//   blocker_findings         integer, u64: task findings kept
//   contradiction_findings   integer, u64: contradiction findings kept
//   trend_findings           integer, u64: trend findings kept
//   total_findings           integer, u64: findings before the cut
//   capped                   true or false: whether the list was cut
//
// ReflectionFinding, 7 members:
//
//   key           JSON value
//   kind          string: "repeated_blocker", "unresolved_contradiction" or
//                 "trend_tension"
//   namespace     string
//   title         string
//   detail        string
//   related_ids   array of strings; may be empty
//   score         number, 32-bit float; a score that is not finite is
//                 written as 0.0 (see history_file_save.h)
//   severity      string: "low", "medium" or "high"
//
// Reading: a missing key refuses the file ("missing field `dominant_phase`"),
// a key given twice too ("duplicate field `score`"); keys of other names are
// skipped whatever they hold. A summary, report or finding may also be a JSON
// array of its values in table order, with exactly as many values as the
// table has rows. Strings must be JSON strings, counts non-negative
// integers, "capped" a boolean, "score" a JSON number; null is refused
// everywhere, "score" included. One bad element refuses the whole file. The
// kind and severity texts are taken as they are.
#pragma once

#include <string_view>
#include <vector>

#include "base/status.h"
#include "cognitive/reflection_summary.h"
#include "model/json_struct.h"

namespace vesk {

inline constexpr char kReflectionSummariesFile[] = "reflection_summaries.json";

template <>
struct JsonCodec<ReflectionFinding> : JsonStructCodec<ReflectionFinding> {
  static const JsonStruct<ReflectionFinding>& fields();
};
template <>
struct JsonCodec<ReflectionJobReport> : JsonStructCodec<ReflectionJobReport> {
  static const JsonStruct<ReflectionJobReport>& fields();
};
template <>
struct JsonCodec<ReflectionSummary> : JsonStructCodec<ReflectionSummary> {
  static const JsonStruct<ReflectionSummary>& fields();
};

// The whole text as the array above; errors carry " at line {} column {}".
Result<std::vector<ReflectionSummary>> parse_reflection_summaries(std::string_view text);

}  // namespace vesk

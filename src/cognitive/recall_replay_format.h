// The recall replay history file "recall_replay.json", and the two files a
// save passes through beside it.
//
// One JSON array of baselines, oldest first, written pretty (two-space
// indentation, one element or member per line, ": " after keys, an empty
// array as "[]", no newline after the closing bracket; history_file_save.h)
// and sealed as a whole when the store has a key (sealed_format.h). Each pair
// of "ranked" is an array of two and is spread over lines like any array.
//
// RecallReplayBaseline, 7 members, all required:
//
//   #  key                 JSON value
//   1  trace_id            string: "mem_" and 32 lower-case hex digits
//   2  query               string
//   3  top_k               integer, u64
//   4  min_strength        number, f32
//   5  expand_connections  true or false
//   6  namespaces          array of strings
//   7  ranked              array of [record id (string), score (number, f32)]
//                          pairs, in result order
//
// A float that is not finite is written as 0.0 (history_file_save.h), so one
// odd score never makes the history unloadable.
//
// Saving does not go through the common atomic write but through a swap of
// its own (storage/backup_swap.h): the new text is written and forced to
// "recall_replay.json.tmp", the old file is renamed to
// "recall_replay.json.bak", the new one into place, and the backup removed.
// At every moment one of "recall_replay.json" and "recall_replay.json.bak"
// holds a complete history; the loader reads the backup when the main file
// is missing (an interrupted save).
//
// Reading: a missing member refuses the file ("missing field `ranked`"), a
// member given twice too; members of other names are skipped. A baseline may
// also be a JSON array of its 7 values in table order. A pair must hold
// exactly two values ("invalid length 1, expected a tuple of size 2"). null
// is refused everywhere. The text is not trimmed before parsing: a blank file
// is an error. Of a longer history the loader keeps the last
// kRecallReplayLimit baselines.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "cognitive/recall_replay_baseline.h"
#include "model/json_struct.h"

namespace vesk {

inline constexpr char kRecallReplayFile[] = "recall_replay.json";

// The recall replay history keeps at most this many baselines.
inline constexpr size_t kRecallReplayLimit = 128;

template <>
struct JsonCodec<RecallReplayBaseline> : JsonStructCodec<RecallReplayBaseline> {
  static const JsonStruct<RecallReplayBaseline>& fields();
};

// The whole text as the array above, every element kept; errors carry
// " at line {} column {}".
Result<std::vector<RecallReplayBaseline>> parse_recall_replay(std::string_view text);

}  // namespace vesk

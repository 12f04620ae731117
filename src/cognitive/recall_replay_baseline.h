// RecallReplayBaseline: one explained recall, kept so that it can be run
// again later and its new ranking compared with the stored one.
//
// The store keeps the baselines as a history, oldest first, of at most
// kRecallReplayLimit (recall_replay_format.h), behind its own lock and in
// "recall_replay.json". Explaining a recall appends one (dropping the oldest
// at the limit) and saves the whole history; replaying a recall explains it
// again, so it appends one of its own.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/string_hash.h"

namespace vesk {

struct RecallReplayBaseline {
  std::string trace_id;  // "mem_" and 32 lower-case hex digits
  std::string query;
  uint64_t top_k = 0;
  float min_strength = 0.0f;
  bool expand_connections = false;
  // The namespaces searched: those asked for, or {"default"}.
  std::vector<std::string> namespaces;
  // The results in result order: record id and score.
  std::vector<std::pair<std::string, float>> ranked;

  bool operator==(const RecallReplayBaseline&) const = default;
};

// Removes, keeping the order of the rest, every baseline whose ranking holds
// one of `record_ids`; true when it removed any. A purge of records applies
// it to the history it saves, and again to the history it finds in memory
// when it installs its result, so that baselines appended meanwhile survive.
bool remove_baselines_ranking(std::vector<RecallReplayBaseline>& history, const StringSet& record_ids);

}  // namespace vesk

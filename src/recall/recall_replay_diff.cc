#include "recall/recall_replay_diff.h"

#include <cmath>
#include <cstddef>

#include "base/string_hash.h"

namespace vesk {

RecallReplayDiff diff_recall_rankings(const std::vector<std::pair<std::string, float>>& stored,
                                      const std::vector<std::pair<std::string, float>>& replayed) {
  RecallReplayDiff d;
  // First position of each id on either side (ids are distinct in a ranking).
  StringKeyMap<size_t> stored_at;
  StringKeyMap<float> replay_score;
  for (size_t i = 0; i < stored.size(); ++i) {
    d.original_record_ids.push_back(stored[i].first);
    stored_at.emplace(stored[i].first, i);
  }
  for (const auto& [id, score] : replayed) {
    d.replay_record_ids.push_back(id);
    replay_score.emplace(id, score);
  }
  d.ranking_stable = d.original_record_ids == d.replay_record_ids;
  for (size_t i = 0; i < replayed.size(); ++i) {
    auto it = stored_at.find(replayed[i].first);
    if (it == stored_at.end()) {
      d.added_record_ids.push_back(replayed[i].first);
    } else if (it->second != i) {
      d.moved_record_ids.push_back(replayed[i].first);
    }
  }
  for (const auto& [id, score] : stored) {
    auto it = replay_score.find(id);
    if (it == replay_score.end()) {
      d.removed_record_ids.push_back(id);
      continue;
    }
    const double delta = std::fabs(static_cast<double>(score) - static_cast<double>(it->second));
    if (delta > d.max_score_delta) d.max_score_delta = delta;  // false for NaN
  }
  return d;
}

}  // namespace vesk

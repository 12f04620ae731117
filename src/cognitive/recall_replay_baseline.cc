#include "cognitive/recall_replay_baseline.h"

#include <algorithm>

namespace vesk {

bool remove_baselines_ranking(std::vector<RecallReplayBaseline>& history, const StringSet& record_ids) {
  const size_t before = history.size();
  std::erase_if(history, [&](const RecallReplayBaseline& b) {
    return std::any_of(b.ranked.begin(), b.ranked.end(),
                       [&](const auto& entry) { return record_ids.contains(entry.first); });
  });
  return history.size() != before;
}

}  // namespace vesk

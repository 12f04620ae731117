// How a replayed recall's ranking moved against the stored one.
//
//   stable     the two id lists are equal element by element (two empty
//              lists are stable)
//   added      ids of the replay absent from the stored ranking, in the
//              replay's order
//   removed    ids of the stored ranking absent from the replay, in the
//              stored order
//   moved      ids of the replay found in the stored ranking at another
//              0-based position, in the replay's order
//   max delta  the largest |stored score - new score| over the ids on both
//              sides; 0.0 when none; a NaN difference is ignored
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vesk {

struct RecallReplayDiff {
  bool ranking_stable = true;
  std::vector<std::string> original_record_ids;
  std::vector<std::string> replay_record_ids;
  std::vector<std::string> added_record_ids;
  std::vector<std::string> removed_record_ids;
  std::vector<std::string> moved_record_ids;
  double max_score_delta = 0.0;

  bool operator==(const RecallReplayDiff&) const = default;
};

RecallReplayDiff diff_recall_rankings(const std::vector<std::pair<std::string, float>>& stored,
                                      const std::vector<std::pair<std::string, float>>& replayed);

}  // namespace vesk

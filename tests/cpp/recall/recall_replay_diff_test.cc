#include "recall/recall_replay_diff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vesk {
namespace {

using Ranking = std::vector<std::pair<std::string, float>>;
using Ids = std::vector<std::string>;

TEST(RecallReplayDiff, AddedRemovedMovedAndTheLargestDelta) {
  const RecallReplayDiff d = diff_recall_rankings({{"a", 0.9f}, {"b", 0.5f}, {"c", 0.4f}},
                                                  {{"b", 0.5f}, {"d", 0.8f}, {"a", 0.6f}});
  EXPECT_FALSE(d.ranking_stable);
  EXPECT_EQ(d.original_record_ids, (Ids{"a", "b", "c"}));
  EXPECT_EQ(d.replay_record_ids, (Ids{"b", "d", "a"}));
  EXPECT_EQ(d.added_record_ids, (Ids{"d"}));
  EXPECT_EQ(d.removed_record_ids, (Ids{"c"}));
  // Moved even with an unchanged score; "d" is added, not moved.
  EXPECT_EQ(d.moved_record_ids, (Ids{"b", "a"}));
  EXPECT_NEAR(d.max_score_delta, 0.3, 1e-6);
}

TEST(RecallReplayDiff, StableAndDegenerateRankings) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    Ranking stored, replayed;
    bool stable;
    double delta;
  };
  for (const Case& c : {
           Case{{}, {}, true, 0.0},
           Case{{}, {{"a", 0.7f}}, false, 0.0},  // nothing stored: no delta
           Case{{{"a", 0.5f}}, {{"a", 0.5f}}, true, 0.0},
           Case{{{"a", nan}, {"b", 0.2f}}, {{"a", 0.9f}, {"b", 0.25f}}, true, 0.05},  // NaN ignored
       }) {
    const RecallReplayDiff d = diff_recall_rankings(c.stored, c.replayed);
    EXPECT_EQ(d.ranking_stable, c.stable);
    EXPECT_NEAR(d.max_score_delta, c.delta, 1e-6);
    EXPECT_FALSE(std::isnan(d.max_score_delta));
  }
}

}  // namespace
}  // namespace vesk

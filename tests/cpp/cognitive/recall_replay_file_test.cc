// The recall replay history's file: its form, its save and what a purge takes
// out of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cognitive/history_file_save.h"
#include "cognitive/layer_fixtures.h"
#include "cognitive/recall_replay_format.h"
#include "cognitive/surface_loaders.h"
#include "cognitive/surface_savers.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::replay_baseline;
using testing::slurp;
using testing::spit;
using testing::TempDir;

std::vector<std::string> names(const fs::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(RecallReplayFile, SavedHistoryLoadsBackEqual) {
  const std::vector<RecallReplayBaseline> history = {replay_baseline(1), replay_baseline(2), replay_baseline(3)};
  StoreKey key = std::make_shared<const SecretKey>(SecretKey::random());
  for (StoreKey k : {StoreKey(), key}) {
    TempDir dir;
    // Left behind by an interrupted save: the swap empties and removes them.
    spit(dir / "recall_replay.json.tmp", "stale scratch");
    spit(dir / "recall_replay.json.bak", "stale backup");
    spit(dir / "recall_replay.json", "[]");
    ASSERT_TRUE(save_recall_replay(dir.path(), k.get(), history, Env::Default()).ok());
    EXPECT_EQ(names(dir.path()), std::vector<std::string>{"recall_replay.json"});
    EXPECT_EQ(slurp(dir / "recall_replay.json").substr(0, 4) == "AEF1", k != nullptr);

    std::vector<StartupValidationEvent> events;
    EXPECT_EQ(load_recall_replay(dir.path(), k.get(), events, Env::Default()), history);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].detail, "loaded 3 recall replay baselines");
  }
}

TEST(RecallReplayFile, WritesPrettyJsonWithEveryPairSpreadOut) {
  RecallReplayBaseline b = replay_baseline(7);
  b.ranked = {{"aaaaaaaaaaa1", 0.9f}, {"aaaaaaaaaaa2", std::numeric_limits<float>::quiet_NaN()}};
  b.namespaces = {"default"};
  EXPECT_EQ(history_json(std::vector{b}),
            "[\n"
            "  {\n"
            "    \"trace_id\": \"mem_00000000000000000000000000000007\",\n"
            "    \"query\": \"kiln temperature 7\",\n"
            "    \"top_k\": 5,\n"
            "    \"min_strength\": 0.1,\n"
            "    \"expand_connections\": true,\n"
            "    \"namespaces\": [\n"
            "      \"default\"\n"
            "    ],\n"
            "    \"ranked\": [\n"
            "      [\n"
            "        \"aaaaaaaaaaa1\",\n"
            "        0.9\n"
            "      ],\n"
            "      [\n"
            "        \"aaaaaaaaaaa2\",\n"
            "        0.0\n"
            "      ]\n"
            "    ]\n"
            "  }\n"
            "]");
}

TEST(RecallReplayFile, ReadingRules) {
  const std::string good =
      R"({"trace_id":"mem_1","query":"q","top_k":3,"min_strength":0.5,"expand_connections":true,)"
      R"("namespaces":["default"],"ranked":[["aaaaaaaaaaa1",0.5]])";
  struct Case {
    std::string text;
    const char* error;  // the start of the message; "" when the text loads
  };
  const Case cases[] = {
      {"[" + good + "}]", ""},
      {"[" + good + R"(,"note":[null]}])", ""},
      {R"([["mem_1","q",3,0.5,true,["default"],[["aaaaaaaaaaa1",0.5]]]])", ""},
      {R"([{"trace_id":"mem_1","query":"q","top_k":3,"min_strength":0.5,"expand_connections":true,)"
       R"("namespaces":[]}])",
       "missing field `ranked`"},
      {"[" + good + R"(,"top_k":4}])", "duplicate field `top_k`"},
      {R"([{"trace_id":"mem_1","query":"q","top_k":3,"min_strength":0.5,"expand_connections":true,)"
       R"("namespaces":[],"ranked":[["aaaaaaaaaaa1"]]}])",
       "invalid length 1, expected a tuple of size 2"},
      {R"([{"trace_id":"mem_1","query":"q","top_k":3,"min_strength":null,"expand_connections":true,)"
       R"("namespaces":[],"ranked":[]}])",
       "invalid type: null, expected f32"},
      {R"([["mem_1","q",3,0.5,true,[]]])", "invalid length 6, expected struct RecallReplayBaseline with 7 elements"},
  };
  for (const Case& c : cases) {
    auto parsed = parse_recall_replay(c.text);
    if (*c.error == '\0') {
      EXPECT_TRUE(parsed.ok()) << c.text << "\n" << parsed.status().message();
    } else {
      EXPECT_EQ(parsed.status().message().substr(0, std::string_view(c.error).size()), c.error) << c.text;
    }
  }
}

TEST(RecallReplayPurge, DropsEveryBaselineThatRanksAPurgedRecord) {
  std::vector<RecallReplayBaseline> history = {replay_baseline(1, "aaaaaaaaaaa1"), replay_baseline(2, "cccccccccccc"),
                                               replay_baseline(3, "aaaaaaaaaaa1"), replay_baseline(4, "dddddddddddd")};
  EXPECT_TRUE(remove_baselines_ranking(history, StringSet{"aaaaaaaaaaa1", "dddddddddddd"}));
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].trace_id, replay_baseline(2).trace_id);
  // Ranked second counts too; a record no baseline ranks changes nothing.
  EXPECT_TRUE(remove_baselines_ranking(history, StringSet{"bbbbbbbbbbbb"}));
  EXPECT_TRUE(history.empty());
  history = {replay_baseline(5)};
  EXPECT_FALSE(remove_baselines_ranking(history, StringSet{"zzzzzzzzzzzz"}));
  EXPECT_EQ(history.size(), 1u);
}

}  // namespace
}  // namespace vesk

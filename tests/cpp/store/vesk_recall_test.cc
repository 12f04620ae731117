#include <gtest/gtest.h>

#include "store/vesk_test_access.h"

#include "base/fixed_env.h"
#include "storage/test_dir.h"
#include "store/vesk.h"

namespace vesk {
namespace {

using testing::FixedEnv;
using testing::TempDir;

struct Store {
  TempDir dir;
  std::unique_ptr<Vesk> v;

  Store() { reopen(); }
  void reopen() {
    if (v) EXPECT_TRUE(v->close().ok());
    v.reset();
    auto opened = Vesk::open(dir.path(), std::nullopt);
    ASSERT_TRUE(opened.ok()) << opened.status().message();
    v = std::move(opened).value();
  }
  std::string add(std::string content, Level level = Level::Working) {
    StoreRequest r;
    r.content = std::move(content);
    r.level = level;
    r.auto_promote = false;
    auto id = v->store(std::move(r));
    EXPECT_TRUE(id.ok()) << id.status().message();
    return id.ok() ? *id : "";
  }
  uint32_t activations(const std::string& id) { return v->get(id)->activation_count; }
};

TEST(StructuredRecall, AValidityWindowOpensAndClosesWithTheStoreClock) {
  TempDir dir;
  FixedEnv clock({1'750'000'000, 0});
  auto v = Vesk::open(dir.path(), std::nullopt, clock);
  ASSERT_TRUE(v.ok()) << v.status().message();
  StoreRequest r;
  r.content = "the ferry to the island leaves at noon";
  r.valid_from = 1'750'000'100.0;
  r.valid_until = 1'750'000'200.0;
  auto stored = (*v)->store(std::move(r));
  ASSERT_TRUE(stored.ok()) << stored.status().message();
  EXPECT_EQ((*v)->get(*stored)->created_at, 1'750'000'000.0);

  auto found = [&] { return !(*v)->recall_structured("ferry island noon").empty(); };
  const struct {
    double at;
    bool visible;
  } steps[] = {{1'750'000'099.5, false}, {1'750'000'100.0, true}, {1'750'000'199.9, true}, {1'750'000'200.0, false}};
  for (const auto& step : steps) {
    clock.set_now({static_cast<int64_t>(step.at), static_cast<uint32_t>((step.at - static_cast<int64_t>(step.at)) * 1e9 + 0.5)});
    EXPECT_EQ(found(), step.visible) << std::fixed << step.at;
  }
  ASSERT_TRUE((*v)->close().ok());
}

TEST(TextRecall, CacheServesRepeatsButNeverSessionsOrTimeBoundNamespaces) {
  Store s;
  const std::string id = s.add("the harbour crane needs new cables");
  const std::string first = s.v->recall("harbour crane");
  EXPECT_NE(first.find("harbour crane needs new cables"), std::string::npos);
  EXPECT_EQ(s.activations(id), 1u);

  // Case and surrounding blanks do not matter to the key; a hit activates nothing.
  EXPECT_EQ(s.v->recall("  Harbour CRANE "), first);
  EXPECT_EQ(s.activations(id), 1u);
  // The levels layout and another budget are other entries.
  EXPECT_NE(s.v->recall_levels("harbour crane").find("[WORKING]"), std::string::npos);
  EXPECT_EQ(s.activations(id), 2u);
  // A session id always runs and never fills the cache.
  s.v->recall("harbour crane", std::nullopt, std::nullopt, std::nullopt, "s1");
  s.v->recall("harbour crane", std::nullopt, std::nullopt, std::nullopt, "s1");
  EXPECT_EQ(s.activations(id), 4u);
  s.v->recall("harbour crane");
  EXPECT_EQ(s.activations(id), 4u);

  // A record with a validity window in the namespace: every recall empties
  // both caches first, so nothing is served from them.
  StoreRequest timed;
  timed.content = "a timed note";
  timed.valid_until = Env::Default().now_seconds() + 3600;
  ASSERT_TRUE(s.v->store(std::move(timed)).ok());
  s.v->recall("harbour crane");
  s.v->recall("harbour crane");
  EXPECT_EQ(s.activations(id), 6u);
  s.v->recall_structured("harbour crane");
  s.v->recall_structured("harbour crane");
  EXPECT_EQ(s.activations(id), 8u);
  // Another namespace is not affected by it.
  EXPECT_EQ(s.v->recall("harbour crane", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                        std::vector<std::string>{"work"}),
            "");
  EXPECT_EQ(s.v->recall_state().text_cache.size(), 1u);
}

TEST(TextRecall, IdentityFactsTheQueryMissesFormTheBlockAlone) {
  Store s;
  s.add("my name is Ada and I live in Lisbon", Level::Identity);
  s.add("the garden gate squeaks");
  EXPECT_EQ(s.v->recall("zzqx"),
            "[ABOUT THE USER \u2014 first-hand facts that may matter]\n  - my name is Ada and I live in Lisbon\n\n");
  EXPECT_EQ(s.v->recall_hit_stats().recall_total, 1u);  // a non-empty answer
  // A fact that is itself recalled is not repeated in the block.
  const std::string found = s.v->recall("Ada Lisbon");
  EXPECT_NE(found.find("] my name is Ada"), std::string::npos) << found;
  EXPECT_EQ(found.find("[ABOUT THE USER"), std::string::npos) << found;
  // Hidden by the flag, an identity-only answer is empty.
  s.v->set_identity_block_enabled(false);
  EXPECT_EQ(s.v->recall("zzqy"), "");
  EXPECT_EQ(s.v->recall_hit_stats().recall_empty, 1u);
}

TEST(StructuredRecall, CountsEveryAnswerIncludingCacheHits) {
  Store s;
  s.add("orchard apples ripen in september");
  EXPECT_EQ(s.v->recall_structured("orchard").size(), 1u);
  EXPECT_EQ(s.v->recall_structured("ORCHARD ").size(), 1u);
  EXPECT_TRUE(s.v->recall_structured("orchard", 0).empty());
  EXPECT_TRUE(s.v->recall_structured("orchard", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                     std::vector<std::string>{})
                  .empty());
  EXPECT_EQ(s.v->recall_state().hits.recall_total.load(), 4u);
  EXPECT_EQ(s.v->recall_state().hits.recall_empty.load(), 2u);
}

TEST(EndSession, LinksPersistAcrossReopen) {
  Store s;
  const std::string a = s.add("alpha kiln firing schedule");
  const std::string b = s.add("alpha kiln glaze recipe");
  s.v->recall_structured("alpha kiln", std::nullopt, std::nullopt, false, "sess");
  // The recall itself linked the two (activation); the session adds a step.
  const float before = s.v->get(a)->connections.at(b);
  std::optional<SessionLinks> links = s.v->end_session("sess");
  ASSERT_TRUE(links);
  EXPECT_EQ(links->pairs_strengthened, 1u);
  EXPECT_EQ(links->session_records, 2u);
  const float after = s.v->get(a)->connections.at(b);
  EXPECT_FLOAT_EQ(after, before + (1 - before) * 0.05f);
  EXPECT_EQ(s.v->get(b)->connections.at(a), after);
  EXPECT_FALSE(s.v->end_session("sess"));

  s.reopen();
  EXPECT_EQ(s.v->get(a)->connections.at(b), after);
  EXPECT_EQ(s.v->get(b)->connections.at(a), after);
}

TEST(RecallSettings, FullStackTurnsEveryModeOnOrOff) {
  Store s;
  EXPECT_EQ(s.v->flags().concept_surface.load(), ConceptSurfaceMode::Inspect);
  s.v->set_full_cognitive_stack(false);
  EXPECT_EQ(s.v->flags().belief_rerank.load(), BeliefRerankMode::Off);
  EXPECT_EQ(s.v->flags().policy_rerank.load(), PolicyRerankMode::Off);
  s.v->set_full_cognitive_stack(true);
  EXPECT_EQ(s.v->flags().belief_rerank.load(), BeliefRerankMode::Limited);
  EXPECT_EQ(s.v->flags().concept_surface.load(), ConceptSurfaceMode::Limited);  // not the opening Inspect
  EXPECT_EQ(s.v->flags().causal_rerank.load(), CausalRerankMode::Limited);
}

}  // namespace
}  // namespace vesk

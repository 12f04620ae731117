#include <gtest/gtest.h>

#include <atomic>

#include "store/vesk_test_access.h"

#include "storage/test_dir.h"
#include "store/vesk.h"

namespace vesk {
namespace {

using testing::TempDir;

struct StoreFixture {
  TempDir dir;
  std::unique_ptr<Vesk> store;

  StoreFixture() {
    auto v = Vesk::open(dir.path(), std::nullopt);
    EXPECT_TRUE(v.ok()) << v.status().message();
    store = std::move(v).value();
  }
  std::string add(std::string content) {
    StoreRequest r;
    r.content = std::move(content);
    r.auto_promote = false;
    auto id = store->store(std::move(r));
    EXPECT_TRUE(id.ok()) << id.status().message();
    return id.ok() ? *id : "";
  }
  Record& edit(const std::string& id) { return VeskTestAccess::records(*store).records.unguarded().at(id); }
};

RecallRequest ask(std::string_view query, size_t top_k) {
  RecallRequest r;
  r.query = query;
  r.top_k = top_k;
  r.min_strength = 0.1f;
  return r;
}

std::vector<std::string> ids_of(const std::vector<ScoredRecord>& v) {
  std::vector<std::string> out;
  for (const auto& r : v) out.push_back(r.record.id);
  return out;
}

TEST(RecallCandidateCount, DoublesUpToOneHundred) {
  struct Case {
    size_t top_k, k;
  } cases[] = {{0, 0}, {1, 2}, {10, 20}, {40, 80}, {50, 100}, {150, 100}, {SIZE_MAX, 100}};
  for (const Case& c : cases) EXPECT_EQ(recall_candidate_count(c.top_k), c.k) << c.top_k;
}

TEST(RecallCore, FindsActivatesAndCapsAtOneHundred) {
  StoreFixture f;
  std::vector<std::string> ids;
  for (int i = 0; i < 130; ++i) ids.push_back(f.add("harbour crane report number " + std::to_string(i)));
  f.add("an unrelated note about lunch");

  auto results = f.store->recall_core(ask("harbour crane report", 150));
  EXPECT_GT(results.size(), 20u);
  EXPECT_LE(results.size(), 100u);
  for (size_t i = 1; i < results.size(); ++i) EXPECT_GE(results[i - 1].score, results[i].score);
  // The first ten are activated.
  EXPECT_EQ(f.store->get(results[0].record.id)->activation_count, 1u);
  EXPECT_EQ(f.store->get(results[10].record.id)->activation_count, 0u);

  EXPECT_TRUE(f.store->recall_core(ask("harbour crane report", 0)).empty());
  RecallRequest elsewhere = ask("harbour crane report", 5);
  elsewhere.namespaces = std::vector<std::string>{"work"};
  EXPECT_TRUE(f.store->recall_core(elsewhere).empty());
  elsewhere.namespaces = std::vector<std::string>{};
  EXPECT_TRUE(f.store->recall_core(elsewhere).empty());
}

TEST(RecallCore, KeepsTheRecordsValidNow) {
  StoreFixture f;
  const std::string ends = f.add("lighthouse keeper schedule ends");
  const std::string starts = f.add("lighthouse keeper schedule starts");
  const std::string later = f.add("lighthouse keeper schedule later");
  const double now = 1'800'000'000.0;
  f.edit(ends).valid_until = now;
  f.edit(starts).valid_from = now;
  f.edit(later).valid_from = now + 1;
  auto results = f.store->recall_ranked(ask("lighthouse keeper schedule", 10), now);
  EXPECT_EQ(ids_of(results), std::vector<std::string>{starts});
}

TEST(RecallCore, DropsLosingHypothesesInLimitedBeliefMode) {
  StoreFixture f;
  const std::string winner = f.add("the ferry leaves at nine");
  const std::string loser = f.add("the ferry leaves at ten");
  {
    auto beliefs = VeskTestAccess::layers(*f.store).beliefs.write();
    Belief& b = beliefs->beliefs["b"];
    b.id = "b";
    b.state = BeliefState::Resolved;
    b.winner_id = "h-win";
    beliefs->hypotheses["h-win"].id = "h-win";
    beliefs->hypotheses["h-win"].belief_id = "b";
    beliefs->hypotheses["h-lose"].id = "h-lose";
    beliefs->hypotheses["h-lose"].belief_id = "b";
    beliefs->record_index[winner] = "h-win";
    beliefs->record_index[loser] = "h-lose";
  }
  const double now = Env::Default().now_seconds();
  EXPECT_EQ(ids_of(f.store->recall_ranked(ask("the ferry leaves", 10), now)), std::vector<std::string>{winner});
  VeskTestAccess::flags(*f.store).belief_rerank = BeliefRerankMode::Shadow;
  EXPECT_EQ(f.store->recall_ranked(ask("the ferry leaves", 10), now).size(), 2u);
}

TEST(RecallCore, EmbedsTheQueryOnlyWhenVectorsAreStored) {
  StoreFixture f;
  const std::string a = f.add("glacier survey notes");
  f.add("glacier survey photos");
  auto calls = std::make_shared<std::atomic<int>>(0);
  f.store->set_embedding_fn(std::make_shared<const EmbeddingFn>([calls](std::string_view) {
    ++*calls;
    return std::optional<std::vector<float>>(std::vector<float>{1.0f, 0.0f});
  }));
  f.store->recall_core(ask("glacier survey", 5));
  EXPECT_EQ(calls->load(), 0);
  ASSERT_TRUE(embedding_store_put(*f.store->indexes().embeddings, a, std::vector<float>{1.0f, 0.0f}).ok());
  auto results = f.store->recall_core(ask("glacier survey", 5));
  EXPECT_EQ(calls->load(), 1);
  ASSERT_FALSE(results.empty());
  EXPECT_EQ(results[0].record.id, a);  // ranked first by both signals
}

TEST(StoreRecallSettings, FusionModeAndTrustModel) {
  StoreFixture f;
  VeskTestAccess::recall(*f.store).structured_cache.put("k", {});
  Status refused = f.store->set_recall_fusion_mode("bm25");
  EXPECT_EQ(refused.kind(), ErrorKind::Value);
  EXPECT_EQ(refused.message(),
            "unknown fusion mode \"bm25\"; expected one of [\"equal\", \"embedding_only\", \"family\", "
            "\"bm25_embedding\"]");
  EXPECT_EQ(f.store->config().trust().fusion_mode, "family");
  EXPECT_EQ(f.store->recall_state().structured_cache.size(), 1u);

  ASSERT_TRUE(f.store->set_recall_fusion_mode("equal").ok());
  EXPECT_EQ(f.store->config().trust().fusion_mode, "equal");
  EXPECT_EQ(f.store->recall_state().structured_cache.size(), 0u);

  TrustConfig t;
  t.fusion_mode = "anything";
  t.recency_half_life_days = 0.0f;
  VeskTestAccess::recall(*f.store).structured_cache.put("k", {});
  f.store->set_trust_config(t);
  EXPECT_EQ(f.store->config().trust(), t);
  EXPECT_EQ(f.store->recall_state().structured_cache.size(), 1u);  // kept
}

}  // namespace
}  // namespace vesk
